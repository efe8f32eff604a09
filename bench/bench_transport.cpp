// What one server call costs the till, and how long each server fault keeps the cashier waiting.
//
// roundTrip: SendRequest (overlay, worker thread, fresh network manager, wait loop) against a
// plain POST of the same bytes from one long-lived QNetworkAccessManager, and the pieces in
// between, all against the same scrm-sim on loopback in one run.
// faultTimes: each server operation against each fault with "Config/TimeOut" = 1, once each;
// the rows print a table line "| fault | operation | message | ms |" (docs/faults.md).
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTest>
#include <QThread>

#include "entry/vipcouponcpu.h"
#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

class bench_Transport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip_data();
    void roundTrip();
    void faultTimes_data();
    void faultTimes();
};

namespace {
const QString kPath = QStringLiteral("/t/ok");
const QString kBody = QStringLiteral("{\"bizType\":\"0\",\"orgCode\":\"A01\",\"vipInfoId\":\"V0001\"}");

enum class Way { SendRequest, WaitThreadOnly, ThreadStartOnly, FreshManager, LongLivedManager, LongLivedNewConnection };

// One POST on the calling thread, waiting in a local loop, as the worker does.
QByteArray postAndWait(QNetworkAccessManager &manager, const QUrl &url, const QByteArray &body, bool closeAfter = false)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (closeAfter)
        request.setRawHeader("Connection", "close");
    QNetworkReply *reply = manager.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QByteArray bytes = reply->readAll();
    reply->deleteLater();
    return bytes;
}

class EmptyThread : public QThread
{
protected:
    void run() override { }
};

enum class Api { MemberLookup, CouponList, CouponSelection, BatchConsume, Cancellation };
const char *const kApiNames[] = {"lookup", "list0", "list1", "consume", "cancel"};

// The simulator's reply to every server operation, per fault; none: nothing listens.
QList<QPair<QString, QJsonObject>> faults()
{
    const QJsonObject cardNo {{"code", "0"}, {"meta", QJsonObject {{"data", QJsonObject {{"cardNo", "13800000001"}}}}}};
    return {{"refused", {}},
            {"no-answer", {{"delayMs", 60000}}},
            {"drop", {{"drop", true}}},
            {"cut",
             {{"body", "{\"code\":\"0\",\"meta\":{\"data\":{\"cardNo\":\"13800000001\"}}}"}, {"dropAfterBytes", 10}}},
            {"http400", {{"status", 400}, {"body", "bad request"}, {"contentType", "text/plain"}}},
            {"http404", {{"status", 404}, {"body", "not here"}, {"contentType", "text/plain"}}},
            {"http500", {{"status", 500}, {"body", "server broke"}, {"contentType", "text/plain"}}},
            {"redirect", {{"status", 302}, {"redirect", "http://127.0.0.1:9/moved"}}},
            {"not-json", {{"body", "<html><body>Service Unavailable</body></html>"}, {"contentType", "text/html"}}},
            {"empty", {{"body", ""}}},
            {"huge", {{"body", "abcdefgh"}, {"repeatBytes", 52428800}}},
            {"trickle", {{"body", "{\"code\":\"1\",\"msg\":\"slow\"}"}, {"trickleMs", 5}}},
            {"trickle-past-timeout", {{"body", QString(200, QLatin1Char('x'))}, {"trickleMs", 50}}},
            {"late", {{"delayMs", 2500}, {"bodyJson", cardNo}}}};
}

// A sale as the entry would have parsed it: member V0001 / 13800000001 of A01, one ticked
// coupon, a coupon payment line to cancel.
void fillSale(VipCouponCPU &cpu)
{
    TranMainDetail &main = cpu.m_VipCouponWidget.m_TranMain;
    main.vip_id = QStringLiteral("V0001");
    main.vip_no = QStringLiteral("13800000001");
    main.OrgCode = QStringLiteral("A01");
    main.saleNo = main.Mch = QStringLiteral("S20261206001");
    main.bizBillNo = QStringLiteral("B20261206001");
    main.SsTotal = QStringLiteral("50.00");
    main.PayNo = QStringLiteral("Q20240001");
    main.VipCouponNoCanShowType = QStringLiteral("1");
    PluDetail plu;
    plu.PI = QStringLiteral("P001");
    plu.SeN = plu.SC = QStringLiteral("1");
    plu.YS = plu.ST = QStringLiteral("50.00");
    cpu.m_VipCouponWidget.m_PluDetails = {plu};
    VipCouponDetail coupon;
    coupon.certiInfoId = QStringLiteral("C1001");
    coupon.certiInfoCode = QStringLiteral("Q20240001");
    coupon.realCertiMe = QStringLiteral("5.00");
    cpu.m_VipCouponWidget.m_SelCouponDetails = {coupon};
}

// Runs the operation the way its caller does; the member lookup starts from the member id alone.
bool call(VipCouponCPU &cpu, Api api, QString &message)
{
    QList<VipCouponDetail> coupons;
    QList<CouponPayDetail> pays;
    QList<GoodDetail> goods;
    switch (api) {
    case Api::MemberLookup:
        cpu.m_VipCouponWidget.m_TranMain.vip_no.clear();
        return cpu.QueryVipInfo(message);
    case Api::CouponList:
        return cpu.QueryCoupons(0, coupons, pays, goods, message);
    case Api::CouponSelection:
        return cpu.QueryCoupons(1, coupons, pays, goods, message);
    case Api::BatchConsume:
        return cpu.BatchConsumeCoupons(message);
    case Api::Cancellation:
        return cpu.CancelPaymentCoupons(message);
    }
    return false;
}
}

Q_DECLARE_METATYPE(Way)
Q_DECLARE_METATYPE(Api)

static SimProcess *s_sim = nullptr;

void bench_Transport::initTestCase()
{
    s_sim = new SimProcess(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(s_sim->startScenario({{"/t/ok", QJsonObject {{"bodyJson", QJsonObject {{"code", "0"}}}}}}),
             qPrintable(s_sim->errorString()));
}

void bench_Transport::cleanupTestCase()
{
    delete s_sim;
    s_sim = nullptr;
}

void bench_Transport::roundTrip_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("SendRequest") << Way::SendRequest;
    QTest::newRow("WaitThread start+run, no overlay") << Way::WaitThreadOnly;
    QTest::newRow("thread start+finish, no request") << Way::ThreadStartOnly;
    QTest::newRow("fresh manager per POST, same thread") << Way::FreshManager;
    QTest::newRow("one long-lived manager") << Way::LongLivedManager;
    QTest::newRow("one long-lived manager, new connection per POST") << Way::LongLivedNewConnection;
}

void bench_Transport::roundTrip()
{
    QFETCH(Way, way);
    AppFolder app;
    app.writeGen6(s_sim->baseUrl(), 5);
    const QUrl url(s_sim->baseUrl() + kPath);
    const QByteArray bodyBytes = kBody.toUtf8();

    switch (way) {
    case Way::SendRequest: {
        VipCouponCPU cpu;
        QString reply;
        QString error;
        QVERIFY(cpu.SendRequest(kPath, kBody, reply, error));
        QBENCHMARK {
            cpu.SendRequest(kPath, kBody, reply, error);
        }
        QCOMPARE(reply, QStringLiteral("{\"code\":\"0\"}"));
        break;
    }
    case Way::WaitThreadOnly: {
        WaitThread thread;
        QString error;
        QVERIFY(thread.PrepareRequest(kPath, kBody, error));
        QBENCHMARK {
            thread.start();
            thread.wait();
        }
        QCOMPARE(thread.replyText(), QStringLiteral("{\"code\":\"0\"}"));
        break;
    }
    case Way::ThreadStartOnly: {
        EmptyThread thread;
        QBENCHMARK {
            thread.start();
            thread.wait();
        }
        break;
    }
    case Way::FreshManager: {
        QByteArray reply;
        QBENCHMARK {
            QNetworkAccessManager manager;
            manager.setProxy(QNetworkProxy::NoProxy);
            reply = postAndWait(manager, url, bodyBytes);
        }
        QCOMPARE(reply, QByteArray("{\"code\":\"0\"}"));
        break;
    }
    case Way::LongLivedManager: {
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QByteArray reply = postAndWait(manager, url, bodyBytes);
        QBENCHMARK {
            reply = postAndWait(manager, url, bodyBytes);
        }
        QCOMPARE(reply, QByteArray("{\"code\":\"0\"}"));
        break;
    }
    case Way::LongLivedNewConnection: {
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QByteArray reply = postAndWait(manager, url, bodyBytes, true);
        QBENCHMARK {
            reply = postAndWait(manager, url, bodyBytes, true);
        }
        QCOMPARE(reply, QByteArray("{\"code\":\"0\"}"));
        break;
    }
    }
}

void bench_Transport::faultTimes_data()
{
    QTest::addColumn<QJsonObject>("reply");
    QTest::addColumn<Api>("api");
    for (const auto &fault : faults()) {
        for (int api = 0; api < 5; ++api)
            QTest::addRow("%s %s", qPrintable(fault.first), kApiNames[api]) << fault.second << Api(api);
    }
}

void bench_Transport::faultTimes()
{
    QFETCH(QJsonObject, reply);
    QFETCH(Api, api);

    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(reply.isEmpty() ? sim.startRefusing() : sim.startFaulty(reply), qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 1);
    VipCouponCPU cpu;
    fillSale(cpu);

    QString message;
    // Timed by hand, not by QBENCHMARK: a benchmark function is run twice, and the second run
    // would meet a simulator whose scenario sequence has moved on.
    QElapsedTimer clock;
    clock.start();
    call(cpu, api, message);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(!message.isEmpty());
    // Ports and signatures differ per run: the table shows the message with the URL shortened.
    const int at = message.indexOf(QStringLiteral("http://127.0.0.1:"));
    const QString shown = at < 0 ? message
                                 : message.left(at) + QStringLiteral("<url>")
            + message.mid(message.indexOf(QStringLiteral(" - server replied"), at));
    const QString row = QString::fromLatin1(QTest::currentDataTag());
    qInfo().noquote() << QStringLiteral("| %1 | %2 | %3 | %4 |")
                             .arg(row.section(QLatin1Char(' '), 0, 0), row.section(QLatin1Char(' '), 1), shown)
                             .arg(elapsed);
}

QTEST_MAIN(bench_Transport)
#include "bench_transport.moc"
