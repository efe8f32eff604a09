// SendRequest against the simulator; fault kinds: tests/faults, content types: tests/e2e.
#include <memory>

#include <QApplication>
#include <QJsonArray>
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
            {"/t/utf8", QJsonObject {{"body", QString("会员券") + QChar(0) + "x"}}},
            {"/t/seq", QJsonArray {QJsonObject {{"body", "first"}}, QJsonObject {{"body", "second"}}}},
            {"/t/404", QJsonObject {{"status", 404}}},
            {"/t/slow", QJsonObject {{"delayMs", 60000}}},
            {"/t/trickle", QJsonObject {{"body", "{\"t\":1}"}, {"trickleMs", 5}}},
            {"/t/limit", QJsonObject {{"body", "abcdefgh"}, {"repeatBytes", 16777216}}},
            {"/t/redirect", QJsonObject {{"status", 302}, {"redirect", "http://127.0.0.1:9/m"}}},
            {"verify", false}};
        QVERIFY2(m_sim.startScenario(scenario), qPrintable(m_sim.errorString()));
    }

    void init() { (m_app = std::make_unique<AppFolder>())->writeGen6(m_sim.baseUrl(), 5); }
    void cleanup() { m_app.reset(); }

    void rulesWithoutNetwork()
    {
        const QList<int> millis {Gateway::timeoutMillis("abc"), Gateway::timeoutMillis("-3"),
                                 Gateway::timeoutMillis("99999999")};
        QCOMPARE(millis, (QList<int> {20000, 20000, 2147483647})); // a negative one would wait for ever
        QCOMPARE(Gateway::redirectLogText(399, "/y") + Gateway::redirectLogText(400, "/z"), "HTTP 399 重定向到 /y");
        m_app->writeGen6();
        QString error;
        QVERIFY(!WaitThread().PrepareRequest("/posPortal/vipInfo", {}, error));
        QCOMPARE(error, "未配置接口地址！");
    }

    void replyReachesCaller_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("logged");
        QTest::newRow("utf-8 up to the nul") << "/t/utf8" << QString("会员券") << QString();
        QTest::newRow("trickled, assembled") << "/t/trickle" << QString("{\"t\":1}") << QString();
        QTest::newRow("redirect not followed")
            << "/t/redirect" << QString() << logEntry("重定向", "HTTP 302 重定向到 http://127.0.0.1:9/m");
        // One byte more is refused: tests/faults.
        QTest::newRow("16 MB taken whole") << "/t/limit" << QString("abcdefgh").repeated(2097152)
                                           << "……（应答共 16777216 字符，日志只记录前 1048576 字符）\n";
    }

    void replyReachesCaller()
    {
        QFETCH(QString, path);
        QFETCH(QString, reply);
        QFETCH(QString, logged);
        VipCouponCPU cpu;
        QString received, error;
        QVERIFY(cpu.SendRequest(path, "{\"v\":\"张三\"}", received, error));
        QCOMPARE(received, reply);
        QCOMPARE(m_sim.requests().last().value("body").toString(), "{\"v\":\"张三\"}");
        const QString log = m_app->logText();
        QVERIFY(log.contains("位置：调用成功\n内容：" + reply.left(1048576)) && log.contains(logged));
        QVERIFY(log.size() < 2 * 1048576);
    }

    void outcomeDoesNotOutliveItsCall()
    {
        VipCouponCPU cpu;
        QString first, failed, second, error;
        const QList<bool> sent {cpu.SendRequest("/t/seq", "1", first, error),
                                cpu.SendRequest("/t/404", "2", failed, error),
                                cpu.SendRequest("/t/seq", "3", second, error)};
        QCOMPARE(sent, (QList<bool> {true, false, true}));
        QCOMPARE((QStringList {first, failed, second, cpu.m_WaitThread.errorText()}),
                 (QStringList {"first", "", "second", ""}));
    }

    // Input slipping past the overlay of a waiting request; the overlay goes with its call.
    void requestInsideAnothersWaitIsRefused()
    {
        m_app->writeGen6(m_sim.baseUrl(), 1);
        VipCouponCPU cpu;
        QString innerError, reply, error;
        const auto overlays = [] {
            int shown = 0;
            for (QWidget *widget : QApplication::topLevelWidgets())
                shown += qobject_cast<WaitWidget *>(widget) && widget->isVisible();
            return shown;
        };
        QList<int> shown;
        TestSupport::later(300, [&] {
            shown << overlays();
            if (cpu.SendRequest("/t/404", "{}", reply, innerError))
                innerError.clear();
        });
        const int before = m_sim.requests().size();
        QVERIFY(!cpu.SendRequest("/t/slow", "{}", reply, error));
        QCOMPARE(shown << overlays(), (QList<int> {1, 0}));
        QCOMPARE(innerError, "上一个接口请求仍在处理中，请稍候再试");
        QCOMPARE(m_sim.requests().size(), before + 1);
        QVERIFY(m_app->logText().contains(logEntry("异常", innerError)));
    }

private:
    SimProcess m_sim {QString(SCRM_SIM_PATH)};
    std::unique_ptr<AppFolder> m_app;
};
QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
