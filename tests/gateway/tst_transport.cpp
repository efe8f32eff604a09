// One HTTP exchange: the rules that need no network, then the controller's SendRequest (wait overlay, worker thread)
// against the simulator as a real process on loopback. The content type of each operation is proven by the runs in
// tests/e2e, where the simulator refuses a wrong one.
#include <memory>

#include <QApplication>
#include <QJsonArray>
#include <QLabel>
#include <QNetworkReply>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "gateway/transport.h"
#include "helpers/simprocess.h"
#include "helpers/testsupport.h"
#include "helpers/tillfolder.h"

using TestSupport::logEntry;

class tst_Transport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QJsonObject scenario {
            {"/posPortal/offlineCertiList", QJsonObject {{"bodyJson", QJsonObject {{"code", "0"}}}}},
            {"/t/utf8", QJsonObject {{"body", QString("会员券") + QChar(0) + "after the nul"}}},
            {"/t/seq", QJsonArray {QJsonObject {{"body", "first"}}, QJsonObject {{"body", "second"}}}},
            {"/t/404", QJsonObject {{"status", 404}, {"body", "not here"}}},
            {"/t/slow", QJsonObject {{"delayMs", 60000}, {"body", "too late"}}},
            {"/t/trickle", QJsonObject {{"body", "{\"code\":\"0\",\"trickled\":true}"}, {"trickleMs", 5}}},
            {"/t/limit", QJsonObject {{"body", "abcdefgh"}, {"repeatBytes", 16777216}}},
            {"/t/redirect", QJsonObject {{"status", 302}, {"redirect", "http://127.0.0.1:9/moved"}}},
            {"verify", false}};
        QVERIFY2(m_sim.startScenario(scenario), qPrintable(m_sim.errorString()));
    }

    void init() { (m_app = std::make_unique<AppFolder>())->writeGen6(m_sim.baseUrl(), 5); }
    void cleanup() { m_app.reset(); }

    void timeoutMillis_data()
    {
        QTest::addColumn<QString>("configured"); // Config/TimeOut, seconds
        QTest::addColumn<int>("millis");
        QTest::newRow("5") << "5" << 5000;
        QTest::newRow("not a number") << "abc" << 20000;
        // A negative value would start no timer and leave the till waiting for ever.
        QTest::newRow("negative") << "-3" << 20000;
        QTest::newRow("huge") << "99999999" << 2147483647;
    }

    void timeoutMillis()
    {
        QFETCH(QString, configured);
        QTEST(Gateway::timeoutMillis(configured), "millis");
    }

    void redirectLogText_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("location");
        QTest::addColumn<QString>("text");
        QTest::newRow("without location") << 301 << QByteArray() << "HTTP 301 重定向到 ";
        QTest::newRow("top of the range") << 399 << QByteArray("/y") << "HTTP 399 重定向到 /y";
        QTest::newRow("client error is none") << 400 << QByteArray("/z") << "";
    }

    void redirectLogText()
    {
        QFETCH(int, status);
        QFETCH(QByteArray, location);
        QTEST(Gateway::redirectLogText(status, location), "text");
    }

    // Qt refuses to post again after a close before the answer; the till reports the close.
    void replyErrorMessage()
    {
        QCOMPARE(Gateway::replyErrorMessage(QNetworkReply::ContentReSendError, "Unknown error"),
                 "网络错误，请再次尝试或联系管理员处理。错误代码:2 Connection closed");
    }

    void replyForLog()
    {
        const QString limit(1048576, 'x');
        QCOMPARE(Gateway::replyForLog(limit), limit);
        QCOMPARE(Gateway::replyForLog(limit + "y"), limit + "……（应答共 1048577 字符，日志只记录前 1048576 字符）");
    }

    void prepareRequestNeedsABaseAddress()
    {
        m_app->writeGen6();
        QString error;
        QVERIFY(!WaitThread().PrepareRequest("/posPortal/vipInfo", {}, error));
        QCOMPARE(error, "未配置接口地址！");
    }

    void replyReachesCaller_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("received"); // the path and query as the server saw them
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("logged"); // a further log entry of the exchange
        QTest::newRow("query encoded on the wire")
            << "/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=张三"
            << "/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=%E5%BC%A0%E4%B8%89"
            << "{\"code\":\"0\"}"
            << "";
        QTest::newRow("utf-8 up to the nul") << "/t/utf8"
                                             << "/t/utf8"
                                             << "会员券"
                                             << "";
        QTest::newRow("trickled, assembled") << "/t/trickle"
                                             << "/t/trickle"
                                             << "{\"code\":\"0\",\"trickled\":true}"
                                             << "";
        QTest::newRow("redirect not followed")
            << "/t/redirect"
            << "/t/redirect"
            << "" << logEntry("重定向", "HTTP 302 重定向到 http://127.0.0.1:9/moved");
        // One byte more is refused (tests/faults); the log keeps the first megabyte.
        QTest::newRow("sixteen megabytes taken whole") << "/t/limit"
                                                       << "/t/limit" << QString("abcdefgh").repeated(2097152)
                                                       << "……（应答共 16777216 字符，日志只记录前 1048576 字符）\n";
    }

    void replyReachesCaller()
    {
        QFETCH(QString, path);
        QFETCH(QString, reply);
        QFETCH(QString, logged);
        const int before = m_sim.requests().size();
        VipCouponCPU cpu;
        const QString body = "{\"vipCode\":\"张三\"}";
        QString received, error;
        QVERIFY2(cpu.SendRequest(path, body, received, error), qPrintable(error));
        QCOMPARE(received, reply);
        QCOMPARE(m_sim.requests().size(), before + 1);
        const QJsonObject request = m_sim.requests().last();
        const QString query = request.value("query").toString();
        QTEST(request.value("path").toString() + (query.isEmpty() ? QString() : '?' + query), "received");
        QCOMPARE(request.value("method").toString() + ' ' + request.value("contentType").toString() + ' '
                     + request.value("body").toString(),
                 "POST application/json " + body);
        const QString log = m_app->logText();
        for (const QString &entry : {logEntry("接口请求内容", body), logEntry("请求地址", m_sim.baseUrl() + path),
                                     "位置：调用成功\n内容：" + reply.left(1048576), logged})
            QVERIFY2(log.contains(entry), qPrintable(entry.left(200)));
        QVERIFY(log.size() < 2 * 1048576);
    }

    void outcomeDoesNotOutliveItsCall()
    {
        VipCouponCPU cpu;
        QString reply, failedReply, error;
        QVERIFY2(cpu.SendRequest("/t/seq", "1", reply, error), qPrintable(error));
        QCOMPARE(reply, "first");
        QVERIFY(!cpu.SendRequest("/t/404", "2", failedReply, error) && failedReply.isEmpty());
        QVERIFY(cpu.m_WaitThread.replyText().isEmpty());
        QVERIFY2(cpu.SendRequest("/t/seq", "3", reply, error), qPrintable(error));
        QCOMPARE(reply, "second");
        QVERIFY(cpu.m_WaitThread.errorText().isEmpty());
    }

    void requestInsideAnothersWaitIsRefused()
    {
        m_app->writeGen6(m_sim.baseUrl(), 1);
        const int before = m_sim.requests().size();
        VipCouponCPU cpu;
        QString overlayText, innerError, reply, error;
        bool innerSent = true;
        auto overlays = [&cpu] {
            QList<WaitWidget *> found;
            for (QWidget *widget : QApplication::topLevelWidgets())
                if (auto *overlay = qobject_cast<WaitWidget *>(widget); overlay && overlay != &cpu.m_WaitWidget)
                    found << overlay;
            return found;
        };
        // Input that slips past the overlay while the first request waits.
        TestSupport::later(300, [&] {
            for (WaitWidget *overlay : overlays())
                overlayText += overlay->isVisible() ? overlay->findChild<QLabel *>("Qlabel_text")->text() : QString();
            QString innerReply;
            innerSent = cpu.SendRequest("/t/404", "{}", innerReply, innerError);
        });
        QVERIFY(!cpu.SendRequest("/t/slow", "{}", reply, error));
        QCOMPARE(error, "请求超时，请再次尝试或联系管理员处理");
        QCOMPARE(overlayText, "请稍等，处理中...");
        QCOMPARE(innerSent ? QString() : innerError, "上一个接口请求仍在处理中，请稍候再试");
        QCOMPARE(m_sim.requests().size(), before + 1);
        QVERIFY(m_app->logText().contains(logEntry("异常", innerError)));
        // The call's own overlay is gone with it.
        QVERIFY(overlays().isEmpty());
    }

private:
    SimProcess m_sim {QString(SCRM_SIM_PATH)};
    std::unique_ptr<AppFolder> m_app;
};
QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
