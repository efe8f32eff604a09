// One HTTP exchange: the rules that need no network, then the controller's SendRequest (wait overlay, worker thread) against the simulator as a real
// process on loopback. The content type of each operation is proven by the runs in tests/e2e, where the simulator refuses a wrong one.
#include <memory>

#include <QApplication>
#include <QJsonArray>
#include <QLabel>
#include <QNetworkReply>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "gateway/transport.h"
#include "support/appfolder.h"
#include "support/simprocess.h"
#include "support/testsupport.h"

namespace {
QString logEntry(const QString &function, const QString &text) { return "位置：" + function + "\n内容：" + text + '\n'; }
}

class tst_Transport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QJsonObject scenario{
            {"/posPortal/offlineCertiList", QJsonObject{{"bodyJson", QJsonObject{{"code", "0"}}}}},
            {"/t/utf8", QJsonObject{{"body", QStringLiteral("会员券") + QChar(0) + QStringLiteral("after the nul")}}},
            {"/t/seq", QJsonArray{QJsonObject{{"body", "first"}}, QJsonObject{{"body", "second"}}}},
            {"/t/404", QJsonObject{{"status", 404}, {"body", "not here"}}},
            {"/t/slow", QJsonObject{{"delayMs", 60000}, {"body", "too late"}}},
            {"/t/trickle", QJsonObject{{"body", "{\"code\":\"0\",\"trickled\":true}"}, {"trickleMs", 5}}},
            {"/t/limit", QJsonObject{{"body", "abcdefgh"}, {"repeatBytes", 16777216}}},
            {"/t/redirect", QJsonObject{{"status", 302}, {"redirect", "http://127.0.0.1:9/moved"}}},
            {"verify", false}};
        QVERIFY2(m_sim.startScenario(scenario), qPrintable(m_sim.errorString()));
    }

    void init() { (m_app = std::make_unique<AppFolder>())->writeGen6(m_sim.baseUrl(), 5); }
    void cleanup() { m_app.reset(); }

    void rulesWithoutNetwork_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        auto timeout = [](const char *configured) { return QString::number(Gateway::timeoutMillis(QLatin1String(configured))) + QLatin1Char(' '); };
        // A negative value would start no timer and leave the till waiting for ever.
        QTest::newRow("time-out: 5, not a number, negative, huge") << timeout("5") + timeout("abc") + timeout("-3") + timeout("99999999") << "5000 20000 20000 2147483647 ";
        // Qt refuses to post again after a close before the answer; the till reports the close.
        QTest::newRow("refused resend is a closed connection") << Gateway::replyErrorMessage(QNetworkReply::ContentReSendError, "Unknown error") << QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:2 Connection closed");
        QTest::newRow("redirect without location") << Gateway::redirectLogText(301, QByteArray()) << "HTTP 301 重定向到 ";
        QTest::newRow("redirect, top of the range") << Gateway::redirectLogText(399, "/y") << "HTTP 399 重定向到 /y";
        QTest::newRow("ok and client error are no redirect") << Gateway::redirectLogText(200, "https://x") + Gateway::redirectLogText(400, "/z") << "";
        AppFolder noAddress;
        noAddress.writeGen6();
        QString error;
        QTest::newRow("no base address") << (WaitThread().PrepareRequest(QStringLiteral("/posPortal/vipInfo"), {}, error) ? QString() : error) << "未配置接口地址！";
        const QString limit(1048576, QLatin1Char('x'));
        QTest::newRow("reply logged whole") << Gateway::replyForLog(limit) << limit;
        QTest::newRow("reply logged shortened") << Gateway::replyForLog(limit + "y") << limit + "……（应答共 1048577 字符，日志只记录前 1048576 字符）";
    }

    void rulesWithoutNetwork()
    {
        QFETCH(QString, actual);
        QTEST(actual, "expected");
    }

    void replyReachesCaller_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("received");   // the path and query as the server saw them
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("logged");     // a further log entry of the exchange
        QTest::newRow("query encoded on the wire") << "/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=张三" << "/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=%E5%BC%A0%E4%B8%89" << "{\"code\":\"0\"}" << "";
        QTest::newRow("utf-8 up to the nul") << "/t/utf8" << "/t/utf8" << "会员券" << "";
        QTest::newRow("trickled, assembled") << "/t/trickle" << "/t/trickle" << "{\"code\":\"0\",\"trickled\":true}" << "";
        QTest::newRow("redirect not followed") << "/t/redirect" << "/t/redirect" << "" << logEntry("重定向", "HTTP 302 重定向到 http://127.0.0.1:9/moved");
        // One byte more is refused (tests/faults); the log keeps the first megabyte.
        QTest::newRow("sixteen megabytes taken whole") << "/t/limit" << "/t/limit" << QStringLiteral("abcdefgh").repeated(2097152) << "……（应答共 16777216 字符，日志只记录前 1048576 字符）\n";
    }

    void replyReachesCaller()
    {
        QFETCH(QString, path);
        QFETCH(QString, reply);
        QFETCH(QString, logged);
        const int before = m_sim.requests().size();
        VipCouponCPU cpu;
        const QString body = QStringLiteral("{\"vipCode\":\"张三\"}");
        QString received, error;
        QVERIFY2(cpu.SendRequest(path, body, received, error), qPrintable(error));
        QCOMPARE(received, reply);
        QCOMPARE(m_sim.requests().size(), before + 1);
        const QJsonObject request = m_sim.requests().last();
        const QString query = request.value("query").toString();
        QTEST(request.value("path").toString() + (query.isEmpty() ? QString() : QLatin1Char('?') + query), "received");
        QCOMPARE(request.value("method").toString() + QLatin1Char(' ') + request.value("contentType").toString() + QLatin1Char(' ')
                     + request.value("body").toString(), QStringLiteral("POST application/json ") + body);
        const QString log = m_app->logText();
        for (const QString &entry : {logEntry(QStringLiteral("接口请求内容"), body), logEntry(QStringLiteral("请求地址"), m_sim.baseUrl() + path),
                                     QStringLiteral("位置：调用成功\n内容：") + reply.left(1048576), logged})
            QVERIFY2(log.contains(entry), qPrintable(entry.left(200)));
        QVERIFY(log.size() < 2 * 1048576);
    }

    void outcomeDoesNotOutliveItsCall()
    {
        VipCouponCPU cpu;
        QString reply, failedReply, error;
        QVERIFY2(cpu.SendRequest(QStringLiteral("/t/seq"), QStringLiteral("1"), reply, error), qPrintable(error));
        QCOMPARE(reply, QStringLiteral("first"));
        QVERIFY(!cpu.SendRequest(QStringLiteral("/t/404"), QStringLiteral("2"), failedReply, error) && failedReply.isEmpty());
        QVERIFY(cpu.m_WaitThread.replyText().isEmpty());
        QVERIFY2(cpu.SendRequest(QStringLiteral("/t/seq"), QStringLiteral("3"), reply, error), qPrintable(error));
        QCOMPARE(reply, QStringLiteral("second"));
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
                overlayText += overlay->isVisible() ? overlay->findChild<QLabel *>(QStringLiteral("Qlabel_text"))->text() : QString();
            QString innerReply;
            innerSent = cpu.SendRequest(QStringLiteral("/t/404"), QStringLiteral("{}"), innerReply, innerError);
        });
        QVERIFY(!cpu.SendRequest(QStringLiteral("/t/slow"), QStringLiteral("{}"), reply, error));
        QCOMPARE(error, QStringLiteral("请求超时，请再次尝试或联系管理员处理"));
        QCOMPARE(overlayText, QStringLiteral("请稍等，处理中..."));
        QCOMPARE(innerSent ? QString() : innerError, QStringLiteral("上一个接口请求仍在处理中，请稍候再试"));
        QCOMPARE(m_sim.requests().size(), before + 1);
        QVERIFY(m_app->logText().contains(logEntry(QStringLiteral("异常"), innerError)));
        // The call's own overlay is gone with it.
        QVERIFY(overlays().isEmpty());
    }

private:
    SimProcess m_sim{QStringLiteral(SCRM_SIM_PATH)};
    std::unique_ptr<AppFolder> m_app;
};
QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
