#include "gateway/waitthread.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

#include "gateway/transport.h"
#include "support/appsettings.h"

namespace {
const QString kModule = QStringLiteral("SCRM批量用券动态库");

QString utf8UpToNul(const QByteArray &bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));
}
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
    if (m_sBaseUrl.isEmpty()) {
        error = Gateway::noBaseAddressMessage();
        return false;
    }
    m_sRequestUrl = m_sBaseUrl + path;
    m_LogWriter.WriteLog(kModule, QStringLiteral("请求地址"), m_sRequestUrl);
    m_sBody = body;
    return true;
}

void WaitThread::run()
{
    m_sReply.clear();
    m_sError.clear();
    m_bSuccess = false;

    // Created here: a network manager must live in the thread that uses it. A fresh one per
    // call, so no connection outlives the call.
    auto *manager = new QNetworkAccessManager;
    manager->setProxy(QNetworkProxy::NoProxy);

    QNetworkRequest request(QUrl(m_sRequestUrl, QUrl::TolerantMode));
    request.setHeader(QNetworkRequest::ContentTypeHeader, Gateway::contentTypeFor(m_sRequestUrl));
    QNetworkReply *reply = manager->post(request, m_sBody.toUtf8());

    QEventLoop loop;
    QTimer timer;
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit, Qt::UniqueConnection);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit, Qt::UniqueConnection);
    connect(&timer, &QTimer::timeout, &timer, &QTimer::stop, Qt::UniqueConnection);
    timer.start(m_nTimeOut);
    loop.exec();

    if (timer.isActive()) {
        timer.stop();
        if (reply->error() == QNetworkReply::NoError) {
            m_sReply = utf8UpToNul(reply->readAll());
            m_bSuccess = true;
        } else {
            // Every error, the protocol error 302 (an HTTP 400 answer among others) included,
            // is reported with its number; nothing is posted a second time.
            const int code = int(reply->error());
            const QString errorString = reply->errorString();
            reply->abort();
            m_sError = Gateway::networkErrorMessage(code, errorString);
        }
    } else {
        reply->abort();
        m_sError = Gateway::timeoutMessage();
    }
    // Deleted when the thread finishes; the reply goes with its manager.
    manager->deleteLater();
}
