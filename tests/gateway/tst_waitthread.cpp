// The worker thread on its own: the request it prepares, what one run() leaves behind, and the
// rules that turn a finished reply into the caller's text.
#include <QNetworkReply>
#include <QSignalSpy>
#include <QTest>

#include "gateway/transport.h"
#include "gateway/waitthread.h"
#include "support/appfolder.h"
#include "support/simprocess.h"
#include "support/testsupport.h"

class tst_WaitThread : public QObject
{
    Q_OBJECT
private slots:
    void prepareJoinsBaseAndPath_data();
    void prepareJoinsBaseAndPath();
    void prepareWithoutBaseAddress();
    void replyErrorBecomesCashierText_data();
    void replyErrorBecomesCashierText();
    void redirectLogText_data();
    void redirectLogText();
    void replyForLog_data();
    void replyForLog();
    void runLeavesOutcome_data();
    void runLeavesOutcome();
    void runClearsPreviousOutcome();
};

namespace {
const QString kNetworkError = QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:");

QString logEntry(const QString &function, const QString &text)
{
    return QStringLiteral("位置：") + function + QStringLiteral("\n内容：") + text + QLatin1Char('\n');
}

// Runs one prepared request to its end; false when the thread did not finish (a hang).
bool runOnce(WaitThread &thread)
{
    QSignalSpy finished(&thread, &QThread::finished);
    thread.start();
    return thread.wait(30000) && (finished.count() == 1 || finished.wait(5000));
}
}

void tst_WaitThread::prepareJoinsBaseAndPath_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("url");
    QTest::newRow("plain") << QStringLiteral("http://10.1.2.3:8080") << QStringLiteral("/posPortal/batchConsumeCerti")
                           << QStringLiteral("http://10.1.2.3:8080/posPortal/batchConsumeCerti");
    QTest::newRow("slash on both sides kept") << QStringLiteral("http://scrm.example/") << QStringLiteral("/posPortal/vipInfo?sign=")
                                              << QStringLiteral("http://scrm.example//posPortal/vipInfo?sign=");
    QTest::newRow("no slash added") << QStringLiteral("http://scrm.example/api") << QStringLiteral("posPortal/x")
                                    << QStringLiteral("http://scrm.example/apiposPortal/x");
    QTest::newRow("query kept as given") << QStringLiteral("https://scrm.example:8443/gw")
                                         << QStringLiteral("/posPortal/offlineCertiList?sign=ab&orgCode=A01&vipCode=张 三")
                                         << QStringLiteral("https://scrm.example:8443/gw/posPortal/offlineCertiList?sign=ab&orgCode=A01&vipCode=张 三");
}

void tst_WaitThread::prepareJoinsBaseAndPath()
{
    QFETCH(QString, base);
    QFETCH(QString, path);
    QFETCH(QString, url);
    AppFolder app;
    app.writeGen6(base);

    WaitThread thread;
    QString error = QStringLiteral("untouched");
    QVERIFY(thread.PrepareRequest(path, QStringLiteral("{}"), error));
    QCOMPARE(error, QStringLiteral("untouched"));
    QCOMPARE(thread.requestUrl(), url);
    QVERIFY(app.logText().contains(logEntry(QStringLiteral("请求地址"), url)));
}

void tst_WaitThread::prepareWithoutBaseAddress()
{
    AppFolder app;
    app.writeGen6(QString());

    WaitThread thread;
    QString error;
    QVERIFY(!thread.PrepareRequest(QStringLiteral("/posPortal/vipInfo?sign="), QStringLiteral("{}"), error));
    QCOMPARE(error, QStringLiteral("未配置接口地址！"));
    QCOMPARE(thread.requestUrl(), QString());
    QVERIFY(!app.logText().contains(QStringLiteral("位置：请求地址")));
}

void tst_WaitThread::replyErrorBecomesCashierText_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("errorString");
    QTest::addColumn<QString>("message");
    QTest::newRow("refused") << int(QNetworkReply::ConnectionRefusedError) << QStringLiteral("Connection refused")
                             << kNetworkError + QStringLiteral("1 Connection refused");
    QTest::newRow("not found") << int(QNetworkReply::ContentNotFoundError) << QStringLiteral("server replied: Not Found")
                               << kNetworkError + QStringLiteral("203 server replied: Not Found");
    QTest::newRow("bad request keeps 302") << int(QNetworkReply::ProtocolInvalidOperationError) << QStringLiteral("Bad Request")
                                           << kNetworkError + QStringLiteral("302 Bad Request");
    QTest::newRow("handshake") << int(QNetworkReply::SslHandshakeFailedError) << QStringLiteral("SSL handshake failed")
                               << kNetworkError + QStringLiteral("6 SSL handshake failed");
    QTest::newRow("refused resend is a closed connection") << int(QNetworkReply::ContentReSendError)
                                                           << QStringLiteral("Unknown error")
                                                           << kNetworkError + QStringLiteral("2 Connection closed");
}

void tst_WaitThread::replyErrorBecomesCashierText()
{
    QFETCH(int, code);
    QFETCH(QString, errorString);
    QFETCH(QString, message);
    QCOMPARE(Gateway::replyErrorMessage(code, errorString), message);
}

void tst_WaitThread::redirectLogText_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("location");
    QTest::addColumn<QString>("text");
    QTest::newRow("found") << 302 << QByteArray("https://scrm.example/posPortal/vipInfo")
                           << QStringLiteral("HTTP 302 重定向到 https://scrm.example/posPortal/vipInfo");
    QTest::newRow("permanent without location") << 301 << QByteArray() << QStringLiteral("HTTP 301 重定向到 ");
    QTest::newRow("ok is no redirect") << 200 << QByteArray("https://x") << QString();
    QTest::newRow("top of the 3xx range") << 399 << QByteArray("/y") << QStringLiteral("HTTP 399 重定向到 /y");
    QTest::newRow("client error") << 400 << QByteArray("/z") << QString();
    QTest::newRow("no status") << 0 << QByteArray() << QString();
}

void tst_WaitThread::redirectLogText()
{
    QFETCH(int, status);
    QFETCH(QByteArray, location);
    QFETCH(QString, text);
    QCOMPARE(Gateway::redirectLogText(status, location), text);
}

void tst_WaitThread::replyForLog_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("logged");
    const QString limit(1048576, QLatin1Char('x'));
    QTest::newRow("short") << QStringLiteral("{\"code\":\"0\"}") << QStringLiteral("{\"code\":\"0\"}");
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("at the limit") << limit << limit;
    QTest::newRow("one over") << limit + QLatin1Char('y')
                              << limit + QStringLiteral("……（应答共 1048577 字符，日志只记录前 1048576 字符）");
}

void tst_WaitThread::replyForLog()
{
    QFETCH(QString, reply);
    QFETCH(QString, logged);
    QCOMPARE(Gateway::replyForLog(reply), logged);
}

void tst_WaitThread::runLeavesOutcome_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("replySize");
    QTest::addColumn<QString>("replyStart");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("logged");    // a further log entry of the thread, or empty

    const QString oversize = kNetworkError + QStringLiteral("5 应答超过 16 MB，已中止接收");
    QTest::newRow("sixteen megabytes taken") << QStringLiteral("/t/limit") << true << 16777216
                                             << QStringLiteral("abcdefghabcdefgh") << QString() << QString();
    QTest::newRow("one byte more refused") << QStringLiteral("/t/over") << false << 0 << QString() << oversize << QString();
    QTest::newRow("fifty megabytes refused") << QStringLiteral("/t/huge") << false << 0 << QString() << oversize << QString();
    QTest::newRow("trickled") << QStringLiteral("/t/trickle") << true << 28 << QStringLiteral("{\"code\":\"0\",\"trickled\":true}")
                              << QString() << QString();
    QTest::newRow("redirect") << QStringLiteral("/t/redirect") << true << 0 << QString() << QString()
                              << logEntry(QStringLiteral("重定向"), QStringLiteral("HTTP 302 重定向到 http://127.0.0.1:9/moved"));
    QTest::newRow("dropped before answer") << QStringLiteral("/t/drop") << false << 0 << QString()
                                           << kNetworkError + QStringLiteral("2 Connection closed") << QString();
    QTest::newRow("dropped mid body") << QStringLiteral("/t/cut") << false << 0 << QString()
                                      << kNetworkError + QStringLiteral("2 Connection closed") << QString();
    QTest::newRow("no answer in time") << QStringLiteral("/t/slow") << false << 0 << QString()
                                       << QStringLiteral("请求超时，请再次尝试或联系管理员处理") << QString();
}

void tst_WaitThread::runLeavesOutcome()
{
    QFETCH(QString, path);
    QFETCH(bool, success);
    QFETCH(int, replySize);
    QFETCH(QString, replyStart);
    QFETCH(QString, error);
    QFETCH(QString, logged);

    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("faults/transport.json"))}),
             qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 1);

    WaitThread thread;
    QString prepareError;
    QVERIFY(thread.PrepareRequest(path, QStringLiteral("{\"n\":1}"), prepareError));
    QVERIFY(runOnce(thread));
    QCOMPARE(thread.isSuccess(), success);
    QCOMPARE(thread.replyText().size(), replySize);
    QVERIFY(thread.replyText().startsWith(replyStart));
    QCOMPARE(thread.errorText(), error);
    // Every fault here reached the server exactly once: nothing is posted again.
    QCOMPARE(sim.requests().size(), 1);
    if (!logged.isEmpty())
        QVERIFY2(app.logText().contains(logged), qPrintable(app.logText()));
}

void tst_WaitThread::runClearsPreviousOutcome()
{
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("faults/transport.json"))}),
             qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 2);

    WaitThread thread;
    QString error;
    QVERIFY(thread.PrepareRequest(QStringLiteral("/t/seq"), QStringLiteral("a"), error));
    QVERIFY(runOnce(thread));
    QVERIFY(thread.isSuccess());
    QCOMPARE(thread.replyText(), QStringLiteral("first"));

    QVERIFY(thread.PrepareRequest(QStringLiteral("/t/500"), QStringLiteral("b"), error));
    QVERIFY(runOnce(thread));
    QVERIFY(!thread.isSuccess());
    QCOMPARE(thread.replyText(), QString());
    QVERIFY(thread.errorText().startsWith(kNetworkError + QStringLiteral("401 ")));

    QVERIFY(thread.PrepareRequest(QStringLiteral("/t/seq"), QStringLiteral("c"), error));
    QVERIFY(runOnce(thread));
    QVERIFY(thread.isSuccess());
    QCOMPARE(thread.replyText(), QStringLiteral("second"));
    QCOMPARE(thread.errorText(), QString());

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests.at(2).value(QStringLiteral("body")).toString(), QStringLiteral("c"));
}

QTEST_GUILESS_MAIN(tst_WaitThread)
#include "tst_waitthread.moc"
