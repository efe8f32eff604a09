#include "gateway/transport.h"

#include <limits>

#include <QDir>
#include <QNetworkReply>
#include <QObject>

namespace Gateway {

int timeoutMillis(const QString &configured)
{
    bool ok = false;
    const qint64 seconds = configured.toLongLong(&ok);
    if (!ok || seconds < 0)
        return kDefaultTimeoutMs;
    const qint64 millis = seconds * 1000;
    if (millis > std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return int(millis);
}

QString contentTypeFor(const QString &url)
{
    if (url.contains(QLatin1String("batchConsumeCerti")) || url.contains(QLatin1String("offlineCancelCerti")))
        return QStringLiteral("application/x-www-form-urlencoded");
    return QStringLiteral("application/json");
}

QString noBaseAddressMessage()
{
    return QStringLiteral("未配置接口地址！");
}

QString timeoutMessage()
{
    return QStringLiteral("请求超时，请再次尝试或联系管理员处理");
}

QString networkErrorMessage(int errorCode, const QString &errorString)
{
    return QObject::tr("网络错误，请再次尝试或联系管理员处理。错误代码:") + QString::number(errorCode)
        + QLatin1Char(' ') + errorString;
}

QString replyErrorMessage(int errorCode, const QString &errorString)
{
    if (errorCode == QNetworkReply::ContentReSendError)
        return networkErrorMessage(QNetworkReply::RemoteHostClosedError, QStringLiteral("Connection closed"));
    return networkErrorMessage(errorCode, errorString);
}

namespace {

// No connection was made, or it failed before the request went out.
bool requestNeverLeft(int qtNetworkError)
{
    switch (qtNetworkError) {
    case QNetworkReply::ConnectionRefusedError:
    case QNetworkReply::HostNotFoundError:
    case QNetworkReply::SslHandshakeFailedError:
    case QNetworkReply::ProxyConnectionRefusedError:
    case QNetworkReply::ProxyNotFoundError:
    case QNetworkReply::ProxyAuthenticationRequiredError:
    case QNetworkReply::ProtocolUnknownError:
        return true;
    default:
        return false;
    }
}

}

ServerSide serverSideAfterError(int qtNetworkError, int httpStatus)
{
    if (httpStatus >= 400 && httpStatus < 500)
        return ServerSide::Untouched;
    if (httpStatus >= 500)
        return ServerSide::Unknown;
    return requestNeverLeft(qtNetworkError) ? ServerSide::Untouched : ServerSide::Unknown;
}

Failure failureAfterError(int qtNetworkError, int httpStatus)
{
    if (httpStatus >= 400 && httpStatus < 500 && httpStatus != 408 && httpStatus != 429)
        return Failure::Rejected;
    if (httpStatus > 0)
        return Failure::ServerError;
    if (requestNeverLeft(qtNetworkError))
        return Failure::Unreachable;
    switch (qtNetworkError) {
    case QNetworkReply::NetworkSessionFailedError:
    case QNetworkReply::TemporaryNetworkFailureError:
    case QNetworkReply::UnknownNetworkError:
        return Failure::Unreachable;
    case QNetworkReply::TimeoutError:
    case QNetworkReply::ProxyTimeoutError:
        return Failure::TimedOut;
    case QNetworkReply::OperationCanceledError:
        return Failure::ServerError;
    default:
        return Failure::Dropped;
    }
}

QString oversizeMessage()
{
    return networkErrorMessage(QNetworkReply::OperationCanceledError,
                               QStringLiteral("应答超过 %1 MB，已中止接收").arg(kMaxReplyBytes / (1024 * 1024)));
}

QString replyForLog(const QString &reply)
{
    if (reply.size() <= kMaxLoggedReplyChars)
        return reply;
    return reply.left(kMaxLoggedReplyChars)
        + QStringLiteral("……（应答共 %1 字符，日志只记录前 %2 字符）").arg(reply.size()).arg(kMaxLoggedReplyChars);
}

QList<QSslCertificate> trustStoreCertificates(const QString &certFile, const QString &certDir)
{
    QList<QSslCertificate> certificates;
    if (!certFile.isEmpty())
        certificates += QSslCertificate::fromPath(certFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
    const QStringList folders = certDir.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString &folder : folders) {
        const QFileInfoList files = QDir(folder).entryInfoList(QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            // A hashed store holds each certificate twice (the file and its hash link).
            for (const QSslCertificate &certificate :
                 QSslCertificate::fromPath(file.filePath(), QSsl::Pem, QSslCertificate::PatternSyntax::FixedString)) {
                if (!certificates.contains(certificate))
                    certificates.append(certificate);
            }
        }
    }
    return certificates;
}

QString redirectLogText(int httpStatus, const QByteArray &location)
{
    if (httpStatus < 300 || httpStatus > 399)
        return QString();
    return QStringLiteral("HTTP %1 重定向到 %2").arg(httpStatus).arg(QString::fromUtf8(location));
}

}
