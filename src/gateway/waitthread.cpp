#include "gateway/waitthread.h"

#include <cstring>

#include <QEventLoop>
#include <QIODevice>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSslConfiguration>
#include <QTimer>
#include <QUrl>

#include "gateway/transport.h"
#include "support/appsettings.h"

namespace {

QString utf8UpToNul(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}

// The request body as a device that cannot be rewound. Qt's HTTP layer silently posts a request
// again when the server closes the connection before answering; a consumption or cancellation
// posted twice may be applied twice. A body that cannot be read a second time makes Qt give up
// with an error instead.
class OneShotBody : public QIODevice
{
public:
    explicit OneShotBody(const QByteArray &bytes, QObject *parent = nullptr)
        : QIODevice(parent)
        , m_bytes(bytes)
    {
        open(QIODevice::ReadOnly);
    }

    bool isSequential() const override { return true; }
    bool reset() override { return false; }
    qint64 size() const override { return m_bytes.size(); }
    qint64 bytesAvailable() const override { return m_bytes.size() - m_position + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 count = qMin<qint64>(maxSize, m_bytes.size() - m_position);
        std::memcpy(data, m_bytes.constData() + m_position, size_t(count));
        m_position += count;
        return count;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray m_bytes;
    qint64 m_position = 0;
};
}

WaitThread::WaitThread(QObject *parent)
    : QThread(parent)
{
    m_sBaseUrl = AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/Url"));
    m_nTimeOut = Gateway::timeoutMillis(
        AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/TimeOut"), QStringLiteral("20")));
}

WaitThread::~WaitThread()
{
    // The controller only destroys us after finished(); never leave a running thread behind.
    if (isRunning())
        wait();
}

bool WaitThread::PrepareRequest(const QString &path, const QString &body, QString &error)
{
    m_eServerSide = Gateway::ServerSide::Untouched;
    m_eFailure = Gateway::Failure::Unreachable;
    if (m_sBaseUrl.isEmpty()) {
        error = Gateway::noBaseAddressMessage();
        return false;
    }
    m_sRequestUrl = m_sBaseUrl + path;
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("请求地址"), m_sRequestUrl);
    m_sBody = body;
    return true;
}

void WaitThread::run()
{
    m_sReply.clear();
    m_sError.clear();
    m_bSuccess = false;
    m_eServerSide = Gateway::ServerSide::Unknown;

    // Created here: a network manager must live in the thread that uses it. A fresh one per
    // call, so no connection outlives the call.
    auto *manager = new QNetworkAccessManager;
    manager->setProxy(QNetworkProxy::NoProxy);

    QNetworkRequest request(QUrl(m_sRequestUrl, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, Gateway::contentTypeFor(m_sRequestUrl));
    if (request.url().scheme() == QLatin1String("https")) {
        // Qt 5 reads only the built-in system folders; a till that names its trust store the
        // way OpenSSL programs do would otherwise fail every handshake with its own CA.
        const QList<QSslCertificate> trusted = Gateway::trustStoreCertificates(qEnvironmentVariable("SSL_CERT_FILE"),
                                                                               qEnvironmentVariable("SSL_CERT_DIR"));
        if (!trusted.isEmpty()) {
            QSslConfiguration tls = request.sslConfiguration();
            tls.setCaCertificates(trusted);
            request.setSslConfiguration(tls);
        }
    }
    const QByteArray bodyBytes = m_sBody.toUtf8();
    // Qt sends this length itself for a byte array; a device needs it said.
    request.setHeader(QNetworkRequest::ContentLengthHeader, bodyBytes.size());
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    auto *body = new OneShotBody(bodyBytes, manager);
    QNetworkReply *reply = manager->post(request, body);

    QEventLoop loop;
    QTimer timer;
    bool oversize = false;
    connect(reply, &QNetworkReply::downloadProgress, &loop, [&loop, &oversize](qint64 received, qint64 total) {
        if (received > Gateway::kMaxReplyBytes || total > Gateway::kMaxReplyBytes) {
            oversize = true;
            loop.quit();
        }
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit, Qt::UniqueConnection);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit, Qt::UniqueConnection);
    connect(&timer, &QTimer::timeout, &timer, &QTimer::stop, Qt::UniqueConnection);
    timer.start(m_nTimeOut);
    loop.exec();

    if (oversize) {
        timer.stop();
        reply->abort();
        m_sError = Gateway::oversizeMessage();
        m_eFailure = Gateway::Failure::ServerError;
    } else if (timer.isActive()) {
        timer.stop();
        if (reply->error() == QNetworkReply::NoError) {
            m_sReply = utf8UpToNul(reply->readAll());
            m_bSuccess = true;
            // Not followed, and the empty body fails the caller's parse: say where it pointed.
            const QString redirect = Gateway::redirectLogText(
                reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->rawHeader("Location"));
            if (!redirect.isEmpty())
                m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("重定向"), redirect);
        } else {
            // Every error, the protocol error 302 (an HTTP 400 answer among others) included,
            // is reported with its number; nothing is posted a second time.
            const int code = int(reply->error());
            const QString errorString = reply->errorString();
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            m_eServerSide = Gateway::serverSideAfterError(code, status);
            m_eFailure = Gateway::failureAfterError(code, status);
            reply->abort();
            m_sError = Gateway::replyErrorMessage(code, errorString);
        }
    } else {
        reply->abort();
        m_sError = Gateway::timeoutMessage();
        m_eFailure = Gateway::Failure::TimedOut;
    }
    // Deleted when the thread finishes; the reply and the body go with their manager.
    manager->deleteLater();
}
