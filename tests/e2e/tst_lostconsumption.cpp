// A consumption whose answer is lost may have spent the coupons at the server while the till
// records a failed payment: the sample host's call cancels them at once, or journals the
// cancellation for the next call, and the member's wallet at the server ends as it began.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

class tst_LostConsumption : public QObject
{
    Q_OBJECT
private slots:
    void couponsComeBack_data();
    void couponsComeBack();
};

namespace {

const QString kConsume = QStringLiteral("/posPortal/batchConsumeCerti");
const QString kCancel = QStringLiteral("/posPortal/offlineCancelCerti");
const QString kClosed = QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:2 Connection closed");

// The state the wallet keeps of one coupon; the simulator writes its state file only once the
// wallet has changed.
QString couponState(const QString &statePath, const QString &code)
{
    const QJsonObject wallet = QJsonDocument::fromJson(TestSupport::readFile(
        QFile::exists(statePath) ? statePath : QStringLiteral(SAMPLES_DIR "/wallet.json"))).object();
    for (const QJsonValue &member : wallet.value(QStringLiteral("members")).toArray())
        for (const QJsonValue &coupon : member.toObject().value(QStringLiteral("coupons")).toArray())
            if (coupon.toObject().value(QStringLiteral("certiInfoCode")).toString() == code)
                return coupon.toObject().value(QStringLiteral("state")).toString();
    return QString();
}

QStringList paths(const QList<QJsonObject> &requests)
{
    QStringList list;
    for (const QJsonObject &request : requests)
        list << request.value(QStringLiteral("path")).toString();
    return list.mid(list.indexOf(kConsume));
}

}

void tst_LostConsumption::couponsComeBack_data()
{
    QTest::addColumn<QJsonObject>("scenario");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("sent");         // from the consumption on
    QTest::addColumn<QString>("stateAfterSale");   // coupon Q20240001 at the server
    QTest::addColumn<bool>("journalled");

    QTest::newRow("answer lost, cancelled at once")
        << QJsonObject{{kConsume, QJsonObject{{"apply", true}, {"drop", true}}}}
        << kClosed + "。用券支付未完成，本次核销已撤销，券已退回会员" << QStringList{kConsume, kCancel}
        << "available" << false;
    // The server's yes settles it, whatever its answer lists.
    QTest::newRow("cancellation taken, answer without its data")
        << QJsonObject{{kConsume, QJsonObject{{"apply", true}, {"drop", true}}},
                       {kCancel, QJsonObject{{"apply", true}, {"bodyJson", QJsonObject{{"code", "0"}}}}}}
        << kClosed + "。用券支付未完成，本次核销已撤销，券已退回会员" << QStringList{kConsume, kCancel}
        << "available" << false;
    QTest::newRow("cancellation lost too, sent by the next call")
        << QJsonObject{{kConsume, QJsonObject{{"apply", true}, {"drop", true}}},
                       {kCancel, QJsonArray{QJsonObject{{"status", 503}}, QJsonObject{{"apply", true}}}}}
        << kClosed + "。用券支付未完成，本次核销的撤销尚未完成，将在下一笔交易开始时自动重试"
        << QStringList{kConsume, kCancel} << "consumed" << true;
    QTest::newRow("refusal is certain, nothing to cancel")
        << QJsonObject{{kConsume, QJsonObject{{"bodyJson", QJsonObject{{"code", "1"}, {"msg", "券已使用"}}}}}}
        << "批量券核销接口返回失败券已使用" << QStringList{kConsume} << "available" << false;
}

void tst_LostConsumption::couponsComeBack()
{
    QFETCH(QJsonObject, scenario);
    QFETCH(QString, message);
    QFETCH(QStringList, sent);
    QFETCH(QString, stateAfterSale);
    QFETCH(bool, journalled);

    TillFolder till;
    QVERIFY(till.isValid());
    const QString state = till.filePath(QStringLiteral("wallet-state.json"));
    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(sim.startScenario(scenario, {QStringLiteral("--wallet"), QStringLiteral(SAMPLES_DIR "/wallet.json"),
                                          QStringLiteral("--state"), state}),
             qPrintable(sim.errorString()));
    till.writeGen6(sim.baseUrl(), 2);
    // Edited by hand on the till, comments and all: the controller and the POS database must
    // read it alike, or the sale never reaches the coupon dialog.
    till.writeText(QStringLiteral("TwCouponPay5.ini"),
                   "[config]\r\nsystype = GEN6 ;till type\r\nUrl=" + sim.baseUrl().toUtf8() + "  # SCRM\r\nTimeOut=2\r\n");
    till.writeText(QStringLiteral("cashier.txt"), "await coupons\ntapcell 0 1\nawait dialog\ntap btnPay\n");

    const TillFolder::HostRun sale = till.runHost(TestSupport::sampleDocuments(QStringLiteral("sale")),
                                                  {QStringLiteral("--cashier"), till.filePath(QStringLiteral("cashier.txt"))});
    QVERIFY2(sale.finished, qPrintable(sale.output));
    QCOMPARE(QString::fromUtf8(sale.params.value(5)), QStringLiteral("111111"));
    QCOMPARE(QString::fromUtf8(sale.params.value(6)), message);
    QCOMPARE(paths(sim.requests()), sent);
    if (sent.size() > 1)
        QCOMPARE(sim.requests().last().value(QStringLiteral("fields")).toObject().value(QStringLiteral("code")).toString(),
                 QStringLiteral("[\"Q20240001\"]"));
    QCOMPARE(couponState(state, QStringLiteral("Q20240001")), stateAfterSale);
    const QString journal = till.filePath(QStringLiteral("TwCouponPay5.reversals.json"));
    QCOMPARE(QFile::exists(journal), journalled);

    // The next call, whatever it is, first settles what the server is still owed.
    const TillFolder::HostRun next = till.runHost(TestSupport::sampleDocuments(QStringLiteral("cancel")));
    QVERIFY(next.finished);
    QVERIFY(!QFile::exists(journal));
    QCOMPARE(couponState(state, QStringLiteral("Q20240001")), QStringLiteral("available"));
    QCOMPARE(till.logText().count(QStringLiteral("位置：重试待撤销核销\n内容：成功")), journalled ? 1 : 0);
}

QTEST_GUILESS_MAIN(tst_LostConsumption)
#include "tst_lostconsumption.moc"
