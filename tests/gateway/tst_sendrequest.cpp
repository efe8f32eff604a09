// One POST as the controller sends it: the wait overlay, the worker thread and the simulator
// as a real process on loopback.
#include <QApplication>
#include <QLabel>
#include <QSettings>
#include <QTest>
#include <QTimer>

#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "ui/waitwidget.h"

class tst_SendRequest : public QObject
{
    Q_OBJECT
private slots:
    void timeoutSetting_data();
    void timeoutSetting();
    void outcomeReachesCaller_data();
    void outcomeReachesCaller();
    void refusedConnectionIsNetworkError();
    void missingBaseAddressSendsNothing();
    void contentTypeAndBodyAsReceived_data();
    void contentTypeAndBodyAsReceived();
    void twoCallsReuseOneThread();
    void badRequestIsNotPostedAgain();
    void hostLoopRunsWhileWaiting();
    void largeReplyWholeButLogShortened();
};

namespace {
const QString kNetworkError = QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:");
const QString kTimeout = QStringLiteral("请求超时，请再次尝试或联系管理员处理");

bool startSim(SimProcess &sim)
{
    return sim.start({QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("faults/transport.json"))});
}

// A GEN6 till whose "Config/TimeOut" is written as given; a null text leaves the key out.
void writeTill(AppFolder &app, const QString &url, const QString &timeOut)
{
    app.writeGen6(url);
    QSettings ini(app.filePath(QStringLiteral("TwCouponPay5.ini")), QSettings::IniFormat);
    if (timeOut.isNull())
        ini.remove(QStringLiteral("Config/TimeOut"));
    else
        ini.setValue(QStringLiteral("Config/TimeOut"), timeOut);
    ini.sync();
}

QString logEntry(const QString &function, const QString &text)
{
    return QStringLiteral("位置：") + function + QStringLiteral("\n内容：") + text + QLatin1Char('\n');
}
}

void tst_SendRequest::timeoutSetting_data()
{
    QTest::addColumn<QString>("timeOut");
    QTest::addColumn<int>("millis");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("outcome");
    const QString reply = QStringLiteral("{\"code\":\"0\"}");
    QTest::newRow("missing") << QString() << 20000 << true << reply;
    QTest::newRow("five seconds") << QStringLiteral("5") << 5000 << true << reply;
    QTest::newRow("not a number") << QStringLiteral("abc") << 20000 << true << reply;
    QTest::newRow("zero times out at once") << QStringLiteral("0") << 0 << false << kTimeout;
    QTest::newRow("negative still ends") << QStringLiteral("-3") << 20000 << true << reply;
}

void tst_SendRequest::timeoutSetting()
{
    QFETCH(QString, timeOut);
    QFETCH(int, millis);
    QFETCH(bool, ok);
    QFETCH(QString, outcome);

    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, sim.baseUrl(), timeOut);

    VipCouponCPU cpu;
    QCOMPARE(cpu.m_WaitThread.timeoutMs(), millis);
    QString reply;
    QString error;
    QCOMPARE(cpu.SendRequest(QStringLiteral("/t/ok"), QStringLiteral("{}"), reply, error), ok);
    QCOMPARE(ok ? reply : error, outcome);
    QCOMPARE(ok ? error : reply, QString());
}

void tst_SendRequest::outcomeReachesCaller_data()
{
    QTest::addColumn<QString>("base");      // "%SIM%" stands for http://127.0.0.1:<port>
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("outcome");   // "%URL%" stands for the request URL
    QTest::addColumn<QString>("url");

    QTest::newRow("json reply") << QStringLiteral("%SIM%") << QStringLiteral("/t/ok") << true
                                << QStringLiteral("{\"code\":\"0\"}") << QStringLiteral("%SIM%/t/ok");
    QTest::newRow("empty body is a reply") << QStringLiteral("%SIM%") << QStringLiteral("/t/empty") << true
                                           << QString() << QStringLiteral("%SIM%/t/empty");
    QTest::newRow("utf-8 up to the nul") << QStringLiteral("%SIM%") << QStringLiteral("/t/utf8") << true
                                         << QStringLiteral("会员券") << QStringLiteral("%SIM%/t/utf8");
    QTest::newRow("trickled body assembled") << QStringLiteral("%SIM%") << QStringLiteral("/t/trickle") << true
                                             << QStringLiteral("{\"code\":\"0\",\"trickled\":true}")
                                             << QStringLiteral("%SIM%/t/trickle");
    // The URL keeps "//"; Qt itself writes the request line with a single leading slash.
    QTest::newRow("slash twice kept in url") << QStringLiteral("%SIM%/") << QStringLiteral("/t/ok") << true
                                             << QStringLiteral("{\"code\":\"0\"}") << QStringLiteral("%SIM%//t/ok");
    QTest::newRow("redirect not followed") << QStringLiteral("%SIM%") << QStringLiteral("/t/redirect") << true
                                           << QString() << QStringLiteral("%SIM%/t/redirect");
    QTest::newRow("http 404") << QStringLiteral("%SIM%") << QStringLiteral("/t/404") << false
                              << kNetworkError + QStringLiteral("203 Error transferring %URL% - server replied: Not Found")
                              << QStringLiteral("%SIM%/t/404");
    QTest::newRow("http 500") << QStringLiteral("%SIM%") << QStringLiteral("/t/500") << false
                              << kNetworkError + QStringLiteral("401 Error transferring %URL% - server replied: Internal Server Error")
                              << QStringLiteral("%SIM%/t/500");
    QTest::newRow("closed before answering") << QStringLiteral("%SIM%") << QStringLiteral("/t/drop") << false
                                             << kNetworkError + QStringLiteral("2 Connection closed")
                                             << QStringLiteral("%SIM%/t/drop");
    QTest::newRow("closed mid body") << QStringLiteral("%SIM%") << QStringLiteral("/t/cut") << false
                                     << kNetworkError + QStringLiteral("2 Connection closed")
                                     << QStringLiteral("%SIM%/t/cut");
    QTest::newRow("never answers") << QStringLiteral("%SIM%") << QStringLiteral("/t/slow") << false << kTimeout
                                   << QStringLiteral("%SIM%/t/slow");
}

void tst_SendRequest::outcomeReachesCaller()
{
    QFETCH(QString, base);
    QFETCH(QString, path);
    QFETCH(bool, ok);
    QFETCH(QString, outcome);
    QFETCH(QString, url);

    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    url.replace(QStringLiteral("%SIM%"), sim.baseUrl());
    outcome.replace(QStringLiteral("%URL%"), url);
    AppFolder app;
    writeTill(app, base.replace(QStringLiteral("%SIM%"), sim.baseUrl()), QStringLiteral("1"));

    VipCouponCPU cpu;
    const QString body = QStringLiteral("{\"orgCode\":\"A01\"}");
    QString reply = QStringLiteral("untouched");
    QString error = QStringLiteral("untouched");
    QCOMPARE(cpu.SendRequest(path, body, reply, error), ok);
    QCOMPARE(ok ? reply : error, outcome);
    QCOMPARE(ok ? error : reply, QStringLiteral("untouched"));
    QCOMPARE(sim.requests().size(), 1);

    const QString log = app.logText();
    QVERIFY(log.contains(logEntry(QStringLiteral("接口请求内容"), body)));
    QVERIFY(log.contains(logEntry(QStringLiteral("请求地址"), url)));
    QVERIFY2(log.contains(logEntry(ok ? QStringLiteral("调用成功") : QStringLiteral("调用失败"), outcome)), qPrintable(log));
    QVERIFY(!log.contains(ok ? QStringLiteral("位置：调用失败") : QStringLiteral("位置：调用成功")));
}

void tst_SendRequest::refusedConnectionIsNetworkError()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    const QString url = sim.baseUrl();
    QVERIFY(sim.stop());    // the port was just free: nothing listens there now
    AppFolder app;
    writeTill(app, url, QStringLiteral("2"));

    VipCouponCPU cpu;
    QString reply;
    QString error;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/posPortal/vipInfo?sign=x"), QStringLiteral("{}"), reply, error));
    QCOMPARE(error, kNetworkError + QStringLiteral("1 Connection refused"));
    QVERIFY(app.logText().contains(logEntry(QStringLiteral("调用失败"), error)));
}

void tst_SendRequest::missingBaseAddressSendsNothing()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, QString(), QStringLiteral("2"));

    VipCouponCPU cpu;
    QString reply;
    QString error;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/ok"), QStringLiteral("{\"a\":1}"), reply, error));
    QCOMPARE(error, QStringLiteral("未配置接口地址！"));
    QCOMPARE(reply, QString());
    QVERIFY(!cpu.m_WaitThread.isRunning());
    QVERIFY(sim.requests().isEmpty());

    const QString log = app.logText();
    QVERIFY(log.contains(logEntry(QStringLiteral("接口请求内容"), QStringLiteral("{\"a\":1}"))));
    QVERIFY(!log.contains(QStringLiteral("位置：请求地址")));
    QVERIFY(!log.contains(QStringLiteral("位置：调用失败")));
}

void tst_SendRequest::contentTypeAndBodyAsReceived_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("receivedPath");
    QTest::addColumn<QString>("receivedQuery");
    QTest::addColumn<QString>("contentType");
    const QString json = QStringLiteral("application/json");
    const QString form = QStringLiteral("application/x-www-form-urlencoded");
    QTest::newRow("member lookup") << QStringLiteral("/posPortal/vipInfo?sign=ab12&bizType=0&orgCode=A01")
                                   << QStringLiteral("{\"bizType\":\"0\",\"orgCode\":\"A01\",\"vipInfoId\":\"会员V1\"}")
                                   << QStringLiteral("/posPortal/vipInfo") << QStringLiteral("sign=ab12&bizType=0&orgCode=A01")
                                   << json;
    QTest::newRow("coupon list") << QStringLiteral("/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=张三")
                                 << QStringLiteral("{\"code\":\"\",\"orderGoodsList\":[]}")
                                 << QStringLiteral("/posPortal/offlineCertiList")
                                 << QStringLiteral("sign=cd34&orgCode=A01&vipCode=%E5%BC%A0%E4%B8%89") << json;
    QTest::newRow("coupon selection") << QStringLiteral("/posPortal/offlineCertiSelectList?sign=")
                                      << QStringLiteral("{\"selectCertiItemList\":[]}")
                                      << QStringLiteral("/posPortal/offlineCertiSelectList") << QStringLiteral("sign=")
                                      << json;
    QTest::newRow("consumption") << QStringLiteral("/posPortal/batchConsumeCerti")
                                 << QStringLiteral("actualAmount=86.00&certiList=%5B%5D&sign=ef&ywType=0")
                                 << QStringLiteral("/posPortal/batchConsumeCerti") << QString() << form;
    QTest::newRow("cancellation") << QStringLiteral("/posPortal/offlineCancelCerti")
                                  << QStringLiteral("code=%5B%22CP0001%22%5D&orgCode=A01&sign=12&vipInfoId=")
                                  << QStringLiteral("/posPortal/offlineCancelCerti") << QString() << form;
}

void tst_SendRequest::contentTypeAndBodyAsReceived()
{
    QFETCH(QString, path);
    QFETCH(QString, body);
    QFETCH(QString, receivedPath);
    QFETCH(QString, receivedQuery);
    QFETCH(QString, contentType);

    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, sim.baseUrl(), QStringLiteral("2"));

    VipCouponCPU cpu;
    QString reply;
    QString error;
    QVERIFY2(cpu.SendRequest(path, body, reply, error), qPrintable(error));
    QCOMPARE(reply, QStringLiteral("{\"code\":\"0\"}"));

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    const QJsonObject request = requests.first();
    QCOMPARE(request.value(QStringLiteral("method")).toString(), QStringLiteral("POST"));
    QCOMPARE(request.value(QStringLiteral("path")).toString(), receivedPath);
    QCOMPARE(request.value(QStringLiteral("query")).toString(), receivedQuery);
    QCOMPARE(request.value(QStringLiteral("contentType")).toString(), contentType);
    QCOMPARE(request.value(QStringLiteral("body")).toString(), body);
}

void tst_SendRequest::twoCallsReuseOneThread()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, sim.baseUrl(), QStringLiteral("2"));

    VipCouponCPU cpu;
    QString first;
    QString second;
    QString error;
    QVERIFY2(cpu.SendRequest(QStringLiteral("/t/seq"), QStringLiteral("1"), first, error), qPrintable(error));
    QVERIFY2(cpu.SendRequest(QStringLiteral("/t/seq"), QStringLiteral("2"), second, error), qPrintable(error));
    QCOMPARE(first, QStringLiteral("first"));
    QCOMPARE(second, QStringLiteral("second"));

    // A failure after a success leaves no reply behind, and a success after it no error.
    QString reply;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/404"), QStringLiteral("3"), reply, error));
    QCOMPARE(reply, QString());
    QVERIFY(cpu.m_WaitThread.replyText().isEmpty());
    QVERIFY(cpu.SendRequest(QStringLiteral("/t/ok"), QStringLiteral("4"), reply, error));
    QVERIFY(cpu.m_WaitThread.errorText().isEmpty());

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 4);
    QCOMPARE(requests.at(0).value(QStringLiteral("body")).toString(), QStringLiteral("1"));
    QCOMPARE(requests.at(1).value(QStringLiteral("body")).toString(), QStringLiteral("2"));
}

void tst_SendRequest::badRequestIsNotPostedAgain()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, sim.baseUrl(), QStringLiteral("2"));

    VipCouponCPU cpu;
    QString reply;
    QString error;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/400"), QStringLiteral("{\"x\":1}"), reply, error));
    QCOMPARE(error, kNetworkError + QStringLiteral("302 Error transferring ") + sim.baseUrl()
                        + QStringLiteral("/t/400 - server replied: Bad Request"));
    QCOMPARE(reply, QString());

    // Give a second POST, had there been one, the time to arrive.
    QTest::qWait(300);
    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().value(QStringLiteral("body")).toString(), QStringLiteral("{\"x\":1}"));
    QVERIFY(app.logText().contains(logEntry(QStringLiteral("调用失败"), error)));
}

void tst_SendRequest::hostLoopRunsWhileWaiting()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, sim.baseUrl(), QStringLiteral("1"));

    VipCouponCPU cpu;
    bool overlayUp = false;
    QString overlayText;
    TestSupport::later(300, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *overlay = qobject_cast<WaitWidget *>(widget);
            if (overlay && overlay != &cpu.m_WaitWidget && overlay->isVisible()) {
                overlayUp = true;
                if (auto *label = overlay->findChild<QLabel *>(QStringLiteral("Qlabel_text")))
                    overlayText = label->text();
            }
        }
    });
    QString reply;
    QString error;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/slow"), QStringLiteral("{}"), reply, error));
    QCOMPARE(error, kTimeout);
    QVERIFY(overlayUp);
    QCOMPARE(overlayText, QStringLiteral("请稍等，处理中..."));

    // The call's own overlay is gone once it returns.
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *overlay = qobject_cast<WaitWidget *>(widget);
        QVERIFY(!overlay || overlay == &cpu.m_WaitWidget);
    }
}

void tst_SendRequest::largeReplyWholeButLogShortened()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    writeTill(app, sim.baseUrl(), QStringLiteral("5"));

    VipCouponCPU cpu;
    QString reply;
    QString error;
    QVERIFY2(cpu.SendRequest(QStringLiteral("/t/limit"), QStringLiteral("{}"), reply, error), qPrintable(error));
    QCOMPARE(reply.size(), 16777216);
    QCOMPARE(reply.right(8), QStringLiteral("abcdefgh"));

    const QString log = app.logText();
    const int at = log.indexOf(QStringLiteral("位置：调用成功\n内容：abcdefgh"));
    QVERIFY(at >= 0);
    QVERIFY(log.indexOf(QStringLiteral("……（应答共 16777216 字符，日志只记录前 1048576 字符）\n"), at) > at);
    QVERIFY(log.size() < 2 * 1048576);
}

QTEST_MAIN(tst_SendRequest)
#include "tst_sendrequest.moc"
