// Returns and cancellations as a till runs them: pos-host, the library and the simulator, each a
// real process talking real HTTP.
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "support/simprocess.h"
#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_Returns : public QObject
{
    Q_OBJECT
private slots:
    void cancelGivesBothCouponsBack();
    void voidRefundsThePaymentLine();
    void failuresReachTheCashier_data();
    void failuresReachTheCashier();
    void outputsRespectTheAgreedBufferSize_data();
    void outputsRespectTheAgreedBufferSize();
};

namespace {
const QString kSamples = QStringLiteral(SAMPLES_DIR);

QStringList cancelDocuments()
{
    return {kSamples + QStringLiteral("/cancel/header.xml"), kSamples + QStringLiteral("/cancel/goods.xml"),
            kSamples + QStringLiteral("/cancel/pay.json"), kSamples + QStringLiteral("/cancel/udp2.json")};
}

QStringList voidDocuments()
{
    return {kSamples + QStringLiteral("/void/header.xml"), kSamples + QStringLiteral("/void/goods.xml"),
            kSamples + QStringLiteral("/void/pay.xml"), kSamples + QStringLiteral("/void/udp2.json")};
}
}

void tst_Returns::cancelGivesBothCouponsBack()
{
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--wallet"), TestSupport::fixturePath(QStringLiteral("e2e/wallet-consumed.json"))}),
             qPrintable(sim.errorString()));
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl());

    const TillFolder::HostRun run = till.runHost(cancelDocuments());
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.output));
    QCOMPARE(run.params.value(5), QByteArray("000000"));
    QCOMPARE(run.params.value(7), QByteArray("2000.00"));
    QCOMPARE(QString::fromUtf8(run.params.value(11)),
             QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<DSC><Yh/></DSC>"));
    QCOMPARE(QString::fromUtf8(run.params.value(12)),
             QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001;CP0002</TradeNo>"
                            "<BuyerNo>S20261206001</BuyerNo><Total/></zfR></Zf></Op>"));
    QVERIFY(!run.params.contains(6));
    QVERIFY(!run.params.contains(8));

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    const QJsonObject request = requests.first();
    QCOMPARE(request.value(QStringLiteral("path")).toString(), QStringLiteral("/posPortal/offlineCancelCerti"));
    QCOMPARE(request.value(QStringLiteral("contentType")).toString(), QStringLiteral("application/x-www-form-urlencoded"));
    QVERIFY(request.value(QStringLiteral("signatureValid")).toBool());
    const QString body = request.value(QStringLiteral("body")).toString();
    QVERIFY2(body.startsWith(QStringLiteral("code=%5B%22CP0001%22%2C%22CP0002%22%5D&orgCode=A01&origBizBillNo=B20261206001"
                                            "&origSaleNo=S20261206001&sign=")),
             qPrintable(body));
    QVERIFY(body.endsWith(QStringLiteral("&vipInfoId=V0001")));

    // The coupons are back in the wallet: a second cancellation of the same codes is refused.
    const TillFolder::HostRun again = till.runHost(cancelDocuments());
    QCOMPARE(again.params.value(5), QByteArray("111111"));
    QVERIFY2(QString::fromUtf8(again.params.value(6)).startsWith(QStringLiteral("线下交易券撤销接口失败，")),
             again.params.value(6).constData());
}

void tst_Returns::voidRefundsThePaymentLine()
{
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--wallet"), TestSupport::fixturePath(QStringLiteral("e2e/wallet-consumed.json"))}),
             qPrintable(sim.errorString()));
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl());

    const TillFolder::HostRun run = till.runHost(voidDocuments());
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.output));
    QCOMPARE(run.params.value(7), QByteArray("1000.00"));
    QCOMPARE(QString::fromUtf8(run.params.value(11)),
             QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<DSC><Yh/></DSC>"));
    QCOMPARE(QString::fromUtf8(run.params.value(12)),
             QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001</TradeNo>"
                            "<BuyerNo/><Total>10.00</Total></zfR></Zf></Op>"));
    const QString body = sim.requests().value(0).value(QStringLiteral("body")).toString();
    QVERIFY2(body.startsWith(QStringLiteral("code=%5B%22CP0001%22%5D&orgCode=A01&origBizBillNo=B20261206001"
                                            "&origSaleNo=S20261206001&sign=")),
             qPrintable(body));
    QVERIFY(till.logText().contains(QStringLiteral("位置：口碑券待退款券号：\n内容：CP0001")));
}

void tst_Returns::failuresReachTheCashier_data()
{
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("message");
    QTest::newRow("refused") << QStringLiteral("refuse") << QStringLiteral("线下交易券撤销接口失败，券已撤销");
    QTest::newRow("nobody listening") << QStringLiteral("none")
        << QStringLiteral("线下交易券撤销接口失败网络错误，请再次尝试或联系管理员处理。错误代码:1 Connection refused");
    QTest::newRow("no server configured") << QStringLiteral("unset")
        << QStringLiteral("线下交易券撤销接口失败未配置接口地址！");
}

void tst_Returns::failuresReachTheCashier()
{
    QFETCH(QString, server);
    QFETCH(QString, message);
    SimProcess sim;
    QString url;
    if (server == QLatin1String("refuse")) {
        QVERIFY(sim.start({QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("e2e/cancel-refused.json"))}));
        url = sim.baseUrl();
    } else if (server == QLatin1String("none")) {
        // A port that was just free: nothing answers there.
        QVERIFY(sim.start());
        url = sim.baseUrl();
        QVERIFY(sim.stop());
    }
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(url);

    const TillFolder::HostRun run = till.runHost(cancelDocuments());
    QVERIFY(run.finished);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    QCOMPARE(QString::fromUtf8(run.params.value(6)), message);
    for (int p = 7; p <= 12; ++p)
        QVERIFY(!run.params.contains(p));
    QVERIFY(till.logText().contains(QStringLiteral("位置：传出参数，交易失败\n内容：") + message));
}

void tst_Returns::outputsRespectTheAgreedBufferSize_data()
{
    QTest::addColumn<QString>("agreed");
    QTest::addColumn<QByteArray>("resultCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("not agreed") << QString() << QByteArray("000000") << QString();
    QTest::newRow("too small to mean anything") << QStringLiteral("32") << QByteArray("000000") << QString();
    QTest::newRow("large enough") << QStringLiteral("400") << QByteArray("000000") << QString();
    QTest::newRow("payment document too long") << QStringLiteral("128") << QByteArray("111111")
        << QStringLiteral("交易已在服务器完成，但传出参数超过约定的缓冲区大小（128字节），请联系管理员处理");
}

void tst_Returns::outputsRespectTheAgreedBufferSize()
{
    QFETCH(QString, agreed);
    QFETCH(QByteArray, resultCode);
    QFETCH(QString, message);
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--wallet"), TestSupport::fixturePath(QStringLiteral("e2e/wallet-consumed.json"))}));
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl());
    if (!agreed.isEmpty())
        till.writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/OutputBufferSize"), agreed}});
    // The host passes buffers of exactly the agreed size (or 400 bytes when nothing was agreed).
    const QString hostSize = agreed.toInt() >= 64 ? agreed : QStringLiteral("400");
    const TillFolder::HostRun run = till.runHost(cancelDocuments(), {QStringLiteral("--buffer-size"), hostSize});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.params.value(5), resultCode);
    QCOMPARE(QString::fromUtf8(run.params.value(6)), message);
    if (!message.isEmpty()) {
        QVERIFY(!run.params.contains(11));
        QVERIFY(!run.params.contains(12));
        // Support can still see what the server did.
        QVERIFY(till.logText().contains(QStringLiteral("位置：sUdpOutXml2传出参数，交易成功")));
    }
}

QTEST_GUILESS_MAIN(tst_Returns)
#include "tst_returns.moc"
