// Each network fault through the real transport: the operation ends with its own message, the request is never posted
// again, and the log keeps what the transport saw.
#include <QFile>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

namespace {
enum class Api { CouponList, BatchConsume, Cancellation };

bool call(VipCouponCPU &cpu, Api api, QString &message)
{
    QList<VipCouponDetail> coupons;
    QList<CouponPayDetail> pays;
    QList<GoodDetail> goods;
    cpu.m_VipCouponWidget.m_TranMain.vip_id = "V0001";
    cpu.m_VipCouponWidget.m_TranMain.vip_no = "13800000001";
    return api == Api::CouponList  ? cpu.QueryCoupons(0, coupons, pays, goods, message)
        : api == Api::BatchConsume ? cpu.BatchConsumeCoupons(message)
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
        QTest::addColumn<QJsonObject>("fault"); // the reply; empty: nobody listens
        QTest::addColumn<Api>("api");
        QTest::addColumn<QString>("message"); // its start
        QTest::addColumn<QString>("logged"); // the transport's own log entry
        QTest::addColumn<int>("posts"); // requests received

        const QString ne = "网络错误，请再次尝试或联系管理员处理。错误代码:";
        const QString closed = ne + "2 Connection closed";
        const QString failed = "调用失败\n内容：";
        QTest::newRow("refused, cancellation")
            << QJsonObject() << Api::Cancellation << "线下交易券撤销接口失败" + ne + "1 Connection refused"
            << failed + ne + "1 Connection refused" << 0;
        QTest::newRow("no answer, coupon list")
            << QJsonObject {{"delayMs", 60000}} << Api::CouponList << "请求超时，请再次尝试或联系管理员处理"
            << failed + "请求超时，请再次尝试或联系管理员处理" << 1;
        QTest::newRow("http 500, cancellation")
            << QJsonObject {{"status", 500}, {"body", "server broke"}} << Api::Cancellation
            << "线下交易券撤销接口失败" + ne + "401 Error transferring http://127.0.0.1:" << failed + ne + "401 " << 1;
        // One byte past the 16 MB a reply may have.
        QTest::newRow("over 16 MB, coupon list")
            << QJsonObject {{"body", "abcdefgh"}, {"repeatBytes", 16777217}} << Api::CouponList
            << ne + "5 应答超过 16 MB，已中止接收" << failed + ne + "5 应答超过 16 MB，已中止接收" << 1;
        // The consumption may have been done: its cancellation follows, and, lost as well, is kept for the next call.
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

        SimProcess sim(SCRM_SIM_PATH);
        QVERIFY2(fault.isEmpty() ? sim.startRefusing() : sim.startFaulty(fault), qPrintable(sim.errorString()));
        AppFolder app;
        app.writeGen6(sim.baseUrl(), 1);
        VipCouponCPU cpu;
        QString actual;
        QVERIFY(!call(cpu, api, actual) && !cpu.m_WaitThread.isRunning());
        QCOMPARE(actual.left(message.size()), message);
        QTest::qWait(200); // time for a second POST to arrive, had there been one
        QCOMPARE(sim.requests().size(), posts);
        QCOMPARE(QFile::exists(app.filePath("TwCouponPay5.reversals.json")), posts == 2);
        QVERIFY(app.logText().contains("位置：" + logged));
    }
};
QTEST_MAIN(tst_Faults)
#include "tst_faults.moc"
