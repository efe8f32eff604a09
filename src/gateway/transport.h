#pragma once

#include <QByteArray>
#include <QList>
#include <QSslCertificate>
#include <QString>

// The rules of one HTTP exchange with the SCRM server that need no network to decide.
namespace Gateway {

constexpr int kDefaultTimeoutMs = 20000;
// No SCRM answer comes near this; a larger one (a misconfigured address serving a download, a
// runaway server) would hold the till far past its time-out while it is read, decoded and
// logged, and could exhaust the host's memory.
constexpr qint64 kMaxReplyBytes = 16 * 1024 * 1024;
// The daily log keeps at most this much of one reply.
constexpr int kMaxLoggedReplyChars = 1024 * 1024;

// "Config/TimeOut" in seconds -> milliseconds. Missing, not an integer or negative: 20 s
// (a negative value would otherwise start no timer and leave the till waiting forever).
int timeoutMillis(const QString &configured);

// Form bodies for the consumption and the cancellation, JSON for everything else; decided on
// the whole URL, case-sensitively.
QString contentTypeFor(const QString &url);

QString noBaseAddressMessage(); // "未配置接口地址！"
QString timeoutMessage(); // "请求超时，请再次尝试或联系管理员处理"
QString networkErrorMessage(int errorCode, const QString &errorString);
// The cashier's text for a reply that ended in Qt's error errorCode. A server that closes the
// connection before answering makes Qt want to post again, which the transport forbids; that
// refusal (ContentReSendError, "Unknown error") is reported as what it is: the connection closed.
QString replyErrorMessage(int errorCode, const QString &errorString);

// Whether a request that failed may still have been carried out by the server. Only a failure
// that proves the request never reached it, or an HTTP 4xx answer (the server turned it away),
// leaves the server Untouched; a time-out, a connection lost after sending, an HTTP 5xx answer
// or a reply cut off for its size leave it Unknown.
enum class ServerSide { Untouched, Unknown };
// httpStatus 0 when no HTTP answer arrived.
ServerSide serverSideAfterError(int qtNetworkError, int httpStatus);

// How a failed exchange ended, for a request that may be sent again later (a reversal).
enum class Failure {
    Unreachable, // no connection, or no address configured: the server is out of reach
    TimedOut, // no complete answer within the time-out
    Dropped, // the connection ended without an answer
    Rejected, // HTTP 4xx other than 408 and 429: the server turns this request away for good
    ServerError // any other answer that is no reply: HTTP 5xx, 408, 429, 3xx, a reply cut for its size
};
// qtNetworkError and httpStatus as for serverSideAfterError; a time-out is said by the caller.
Failure failureAfterError(int qtNetworkError, int httpStatus);

// The cashier's text for a reply refused for its size: the transport's network error with
// Qt's number for the aborted reply (OperationCanceledError, 5).
QString oversizeMessage();
// The reply as the log keeps it: whole up to kMaxLoggedReplyChars, else that much and a note
// of the full length.
QString replyForLog(const QString &reply);

// The certificate authorities a till names through OpenSSL's own variables SSL_CERT_FILE (one
// PEM file) and SSL_CERT_DIR (folders separated by ':'). Empty when neither names a readable
// certificate: the library then trusts what Qt finds in the system's store.
QList<QSslCertificate> trustStoreCertificates(const QString &certFile, const QString &certDir);

// The log text for an answer that only points elsewhere (HTTP 3xx), for support to see where
// the server sent the till; empty for any other status. Redirects are not followed.
QString redirectLogText(int httpStatus, const QByteArray &location);

}
