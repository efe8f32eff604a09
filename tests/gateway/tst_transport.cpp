// One HTTP exchange: the rules that need no network, then the controller's SendRequest (wait
// overlay, worker thread) against the simulator as a real process on loopback.
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

class tst_Transport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void rulesWithoutNetwork_data();
    void rulesWithoutNetwork();
    void replyReachesCaller_data();
    void replyReachesCaller();
    void outcomeDoesNotOutliveItsCall();
    void replyOfSixteenMegabytesAtMost();
    void requestInsideAnothersWaitIsRefused();

private:
    SimProcess m_sim{QStringLiteral(SCRM_SIM_PATH)};
};

namespace {
const QString kNetworkError = QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:");
const QString kTimeout = QStringLiteral("请求超时，请再次尝试或联系管理员处理");

QString logEntry(const QString &function, const QString &text)
{
    return QStringLiteral("位置：") + function + QStringLiteral("\n内容：") + text + QLatin1Char('\n');
}

// Where a request goes, as the log names it; "!" and the cashier's message when nowhere.
QString requestUrl(const QString &base, const QString &path)
{
    AppFolder app;
    app.writeGen6(base);
    WaitThread thread;
    QString error;
    const bool prepared = thread.PrepareRequest(path, QStringLiteral("{}"), error);
    const QString log = app.logText();
    const QString entry = QStringLiteral("位置：请求地址\n内容：");
    const int at = log.indexOf(entry);
    return prepared ? log.mid(at + entry.size()).section(QLatin1Char('\n'), 0, 0) : QLatin1Char('!') + error + (at < 0 ? "" : " logged");
}

QJsonObject body(const char *text, int extra = 0)
{
    return extra ? QJsonObject{{"body", text}, {"repeatBytes", extra}} : QJsonObject{{"body", text}};
}
}

void tst_Transport::initTestCase()
{
    const QJsonObject scenario{
        {"/t/ok", QJsonObject{{"bodyJson", QJsonObject{{"code", "0"}}}}},
        {"/t/empty", body("")},
        {"/t/utf8", QJsonObject{{"body", QStringLiteral("会员券") + QChar(0) + QStringLiteral("after the nul")}}},
        {"/t/seq", QJsonArray{body("first"), body("second")}},
        {"/t/404", QJsonObject{{"status", 404}, {"body", "not here"}}},
        {"/t/slow", QJsonObject{{"delayMs", 60000}, {"body", "too late"}}},
        {"/t/trickle", QJsonObject{{"body", "{\"code\":\"0\",\"trickled\":true}"}, {"trickleMs", 5}}},
        {"/t/limit", body("abcdefgh", 16777216)},
        {"/t/over", body("abcdefgh", 16777217)},
        {"/t/redirect", QJsonObject{{"status", 302}, {"redirect", "http://127.0.0.1:9/moved"}}},
        {"/posPortal/offlineCertiList", QJsonObject{{"bodyJson", QJsonObject{{"code", "0"}}}}},
        {"verify", false}};
    QVERIFY2(m_sim.startScenario(scenario), qPrintable(m_sim.errorString()));
}

void tst_Transport::rulesWithoutNetwork_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    auto timeout = [](const char *configured) { return QString::number(Gateway::timeoutMillis(QLatin1String(configured))); };
    QTest::newRow("time-out missing") << timeout("") << "20000";
    QTest::newRow("time-out five seconds") << timeout("5") << "5000";
    QTest::newRow("time-out not a number") << timeout("abc") << "20000";
    QTest::newRow("time-out zero") << timeout("0") << "0";
    // A negative value would start no timer and leave the till waiting for ever.
    QTest::newRow("time-out negative") << timeout("-3") << "20000";
    QTest::newRow("time-out decimal") << timeout("2.5") << "20000";
    QTest::newRow("time-out huge is capped") << timeout("99999999") << "2147483647";
    const QString form = QStringLiteral("application/x-www-form-urlencoded");
    QTest::newRow("consumption is a form") << Gateway::contentTypeFor("http://h:1/posPortal/batchConsumeCerti") << form;
    QTest::newRow("cancellation is a form") << Gateway::contentTypeFor("http://h:1/posPortal/offlineCancelCerti") << form;
    QTest::newRow("lookup is json") << Gateway::contentTypeFor("http://h:1/posPortal/vipInfo?sign=ab&orgCode=A01") << "application/json";
    QTest::newRow("base address decides too") << Gateway::contentTypeFor("http://batchConsumeCerti:1/posPortal/vipInfo") << form;
    QTest::newRow("case matters") << Gateway::contentTypeFor("http://h:1/posPortal/BatchConsumeCerti") << "application/json";
    QTest::newRow("refused") << Gateway::replyErrorMessage(QNetworkReply::ConnectionRefusedError, "Connection refused")
                             << kNetworkError + "1 Connection refused";
    QTest::newRow("bad request keeps 302") << Gateway::replyErrorMessage(QNetworkReply::ProtocolInvalidOperationError, "Bad")
                                           << kNetworkError + "302 Bad";
    // Qt refuses to post again after a close before the answer; the till reports the close.
    QTest::newRow("refused resend is a closed connection") << Gateway::replyErrorMessage(QNetworkReply::ContentReSendError, "Unknown error")
                                                           << kNetworkError + "2 Connection closed";
    QTest::newRow("redirect without location") << Gateway::redirectLogText(301, QByteArray()) << "HTTP 301 重定向到 ";
    QTest::newRow("redirect, top of the range") << Gateway::redirectLogText(399, "/y") << "HTTP 399 重定向到 /y";
    QTest::newRow("ok is no redirect") << Gateway::redirectLogText(200, "https://x") << "";
    QTest::newRow("client error is no redirect") << Gateway::redirectLogText(400, "/z") << "";
    QTest::newRow("slash on both sides kept") << requestUrl("http://scrm.example/", "/posPortal/vipInfo?sign=")
                                              << "http://scrm.example//posPortal/vipInfo?sign=";
    QTest::newRow("no slash added") << requestUrl("http://scrm.example/api", "posPortal/x") << "http://scrm.example/apiposPortal/x";
    QTest::newRow("query kept as given") << requestUrl("https://s:8443/gw", "/posPortal/offlineCertiList?sign=ab&vipCode=张 三")
                                         << "https://s:8443/gw/posPortal/offlineCertiList?sign=ab&vipCode=张 三";
    QTest::newRow("no base address") << requestUrl("", "/posPortal/vipInfo?sign=") << "!未配置接口地址！";
    const QString limit(1048576, QLatin1Char('x'));
    QTest::newRow("reply logged whole") << Gateway::replyForLog(limit) << limit;
    QTest::newRow("reply logged shortened") << Gateway::replyForLog(limit + "y") << limit + "……（应答共 1048577 字符，日志只记录前 1048576 字符）";
}

void tst_Transport::rulesWithoutNetwork()
{
    QFETCH(QString, actual);
    QTEST(actual, "expected");
}

void tst_Transport::replyReachesCaller_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("received");   // the path and query as the server saw them
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("logged");     // a further log entry of the exchange
    QTest::newRow("json") << "/t/ok" << "/t/ok" << "{\"code\":\"0\"}" << "";
    QTest::newRow("query encoded on the wire") << "/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=张三"
                                               << "/posPortal/offlineCertiList?sign=cd34&orgCode=A01&vipCode=%E5%BC%A0%E4%B8%89"
                                               << "{\"code\":\"0\"}" << "";
    QTest::newRow("empty body") << "/t/empty" << "/t/empty" << "" << "";
    QTest::newRow("utf-8 up to the nul") << "/t/utf8" << "/t/utf8" << "会员券" << "";
    QTest::newRow("trickled, assembled") << "/t/trickle" << "/t/trickle" << "{\"code\":\"0\",\"trickled\":true}" << "";
    QTest::newRow("redirect not followed") << "/t/redirect" << "/t/redirect" << ""
                                           << logEntry("重定向", "HTTP 302 重定向到 http://127.0.0.1:9/moved");
}

void tst_Transport::replyReachesCaller()
{
    QFETCH(QString, path);
    QFETCH(QString, reply);
    QFETCH(QString, logged);
    AppFolder app;
    app.writeGen6(m_sim.baseUrl(), 2);
    const int before = m_sim.requests().size();
    VipCouponCPU cpu;
    const QString body = QStringLiteral("{\"vipCode\":\"张三\"}");
    QString received = QStringLiteral("untouched");
    QString error = QStringLiteral("untouched");
    QVERIFY2(cpu.SendRequest(path, body, received, error), qPrintable(error));
    QCOMPARE(received, reply);
    QCOMPARE(error, QStringLiteral("untouched"));
    const QList<QJsonObject> requests = m_sim.requests();
    QCOMPARE(requests.size(), before + 1);
    const QJsonObject request = requests.last();
    const QString query = request.value("query").toString();
    QTEST(request.value("path").toString() + (query.isEmpty() ? QString() : QLatin1Char('?') + query), "received");
    QCOMPARE(request.value("method").toString() + QLatin1Char(' ') + request.value("contentType").toString() + QLatin1Char(' ')
                 + request.value("body").toString(), QStringLiteral("POST application/json ") + body);
    const QString log = app.logText();
    QVERIFY(log.contains(logEntry(QStringLiteral("接口请求内容"), body)));
    QVERIFY(log.contains(logEntry(QStringLiteral("请求地址"), m_sim.baseUrl() + path)));
    QVERIFY2(log.contains(logEntry(QStringLiteral("调用成功"), reply)), qPrintable(log));
    QVERIFY(log.contains(logged));
}

void tst_Transport::outcomeDoesNotOutliveItsCall()
{
    AppFolder app;
    app.writeGen6(m_sim.baseUrl(), 2);
    VipCouponCPU cpu;
    QString reply;
    QString error;
    QVERIFY2(cpu.SendRequest(QStringLiteral("/t/seq"), QStringLiteral("1"), reply, error), qPrintable(error));
    QCOMPARE(reply, QStringLiteral("first"));
    QString failedReply;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/404"), QStringLiteral("2"), failedReply, error));
    QCOMPARE(failedReply, QString());
    QVERIFY(cpu.m_WaitThread.replyText().isEmpty());
    QVERIFY2(cpu.SendRequest(QStringLiteral("/t/seq"), QStringLiteral("3"), reply, error), qPrintable(error));
    QCOMPARE(reply, QStringLiteral("second"));
    QVERIFY(cpu.m_WaitThread.errorText().isEmpty());
}

void tst_Transport::replyOfSixteenMegabytesAtMost()
{
    AppFolder app;
    app.writeGen6(m_sim.baseUrl(), 5);
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

    reply.clear();
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/over"), QStringLiteral("{}"), reply, error));
    QCOMPARE(error, kNetworkError + QStringLiteral("5 应答超过 16 MB，已中止接收"));
    QCOMPARE(reply, QString());
}

void tst_Transport::requestInsideAnothersWaitIsRefused()
{
    AppFolder app;
    app.writeGen6(m_sim.baseUrl(), 2);
    const int before = m_sim.requests().size();
    VipCouponCPU cpu;
    QString overlayText;
    QString innerError;
    bool innerSent = true;
    // Input that slips past the overlay while the first request waits.
    TestSupport::later(300, [&] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *overlay = qobject_cast<WaitWidget *>(widget);
            auto *label = overlay ? overlay->findChild<QLabel *>(QStringLiteral("Qlabel_text")) : nullptr;
            if (label && overlay != &cpu.m_WaitWidget && overlay->isVisible())
                overlayText = label->text();
        }
        QString innerReply;
        innerSent = cpu.SendRequest(QStringLiteral("/t/ok"), QStringLiteral("{}"), innerReply, innerError);
    });
    QString reply;
    QString error;
    QVERIFY(!cpu.SendRequest(QStringLiteral("/t/slow"), QStringLiteral("{}"), reply, error));
    QCOMPARE(error, kTimeout);
    QCOMPARE(overlayText, QStringLiteral("请稍等，处理中..."));
    QVERIFY(!innerSent);
    QCOMPARE(innerError, QStringLiteral("上一个接口请求仍在处理中，请稍候再试"));
    QCOMPARE(m_sim.requests().size(), before + 1);
    QVERIFY(app.logText().contains(logEntry(QStringLiteral("异常"), innerError)));
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        auto *overlay = qobject_cast<WaitWidget *>(widget);
        QVERIFY(!overlay || overlay == &cpu.m_WaitWidget);
    }
}

QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"
