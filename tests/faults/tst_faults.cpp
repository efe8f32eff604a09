// Each kind of server or network fault met by a server operation through the real transport: it ends with the
// operation's own message, the request is never posted again, and the log keeps what the transport saw. What a reply
// that is not the envelope reads as: tests/gateway.
#include <QFile>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

namespace {
enum class Api { MemberLookup, CouponList, BatchConsume, Cancellation };

bool call(VipCouponCPU &cpu, Api api, QString &message)
{
    QList<VipCouponDetail> coupons; // a coupon list's outputs
    QList<CouponPayDetail> pays;
    QList<GoodDetail> goods;
    // The lookup starts from the member id alone; the other operations know the card number.
    cpu.m_VipCouponWidget.m_TranMain.vip_id = "V0001";
    cpu.m_VipCouponWidget.m_TranMain.vip_no = api == Api::MemberLookup ? QString() : "13800000001";
    return api == Api::MemberLookup ? cpu.QueryVipInfo(message)
        : api == Api::CouponList    ? cpu.QueryCoupons(0, coupons, pays, goods, message)
        : api == Api::BatchConsume  ? cpu.BatchConsumeCoupons(message)
                                    : cpu.CancelPaymentCoupons(message);
}
}

Q_DECLARE_METATYPE(Api)

class tst_Faults : public QObject
{
    Q_OBJECT
private slots:
    void operationEndsWithItsMessage_data()
    {
        QTest::addColumn<QJsonObject>("fault"); // the simulator's reply; empty: nobody listens
        QTest::addColumn<Api>("api");
        QTest::addColumn<QString>("message"); // %1: the simulator's port
        QTest::addColumn<QString>("logged"); // the transport's own log entry
        QTest::addColumn<int>("posts"); // requests the server received

        const QString ne = "网络错误，请再次尝试或联系管理员处理。错误代码:";
        const QString closed = ne + "2 Connection closed";
        const QString failed = "调用失败\n内容：";
        QTest::newRow("refused, cancellation")
            << QJsonObject() << Api::Cancellation << "线下交易券撤销接口失败" + ne + "1 Connection refused"
            << failed + ne + "1 Connection refused" << 0;
        QTest::newRow("no answer, coupon list")
            << QJsonObject {{"delayMs", 60000}} << Api::CouponList << "请求超时，请再次尝试或联系管理员处理"
            << failed + "请求超时，请再次尝试或联系管理员处理" << 1;
        QTest::newRow("dropped, member lookup")
            << QJsonObject {{"drop", true}} << Api::MemberLookup << "会员查询接口失败" << failed + closed << 1;
        QTest::newRow("http 400, consumption") << QJsonObject {{"status", 400}, {"body", "bad"}} << Api::BatchConsume
                                               << ne
                + "302 Error transferring http://127.0.0.1:%1/posPortal/batchConsumeCerti - server replied: Bad Request"
                                               << failed + ne + "302 " << 1;
        QTest::newRow("http 500, cancellation")
            << QJsonObject {{"status", 500}, {"body", "server broke"}} << Api::Cancellation
            << "线下交易券撤销接口失败" + ne
                + "401 Error transferring http://127.0.0.1:%1/posPortal/offlineCancelCerti - server replied: Internal "
                  "Server Error"
            << failed + ne + "401 " << 1;
        QTest::newRow("empty, coupon list")
            << QJsonObject {{"body", ""}} << Api::CouponList << "接口异常，请检查接口配置是否正确或网络是否正常"
            << "调用成功\n内容：\n"
            << 1;
        // One byte past the 16 MB a reply may have (tests/gateway takes exactly 16 MB).
        QTest::newRow("over 16 MB, coupon list")
            << QJsonObject {{"body", "abcdefgh"}, {"repeatBytes", 16777217}} << Api::CouponList
            << ne + "5 应答超过 16 MB，已中止接收" << failed + ne + "5 应答超过 16 MB，已中止接收" << 1;
        // The consumption may have been carried out: its cancellation follows at once and, lost as well, is kept for
        // the next call.
        QTest::newRow("dropped, consumption")
            << QJsonObject {{"drop", true}} << Api::BatchConsume
            << closed + "。用券支付未完成，本次核销的撤销尚未完成，将在下一笔交易开始时自动重试"
            << "撤销本次核销失败，记录待撤销\n内容：" + closed << 2;
    }

    void operationEndsWithItsMessage()
    {
        QFETCH(QJsonObject, fault);
        QFETCH(Api, api);
        QFETCH(QString, message);
        QFETCH(QString, logged);
        QFETCH(int, posts);

        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        QVERIFY2(fault.isEmpty() ? sim.startRefusing() : sim.startFaulty(fault), qPrintable(sim.errorString()));
        AppFolder app;
        app.writeGen6(sim.baseUrl(), 1);
        VipCouponCPU cpu;
        QString actual;
        QVERIFY(!call(cpu, api, actual) && !cpu.m_WaitThread.isRunning());
        QCOMPARE(actual, message.contains("%1") ? message.arg(sim.port()) : message);
        // Time for a second POST to arrive, had there been one: nothing is ever sent twice.
        QTest::qWait(200);
        QCOMPARE(sim.requests().size(), posts);
        QCOMPARE(QFile::exists(app.filePath("TwCouponPay5.reversals.json")), posts == 2);
        QVERIFY2(app.logText().contains("位置：" + logged), qPrintable(app.logText().right(600)));
    }
};
QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
