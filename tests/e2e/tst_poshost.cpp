// The library as a till uses it: the sample host (no Qt) loads it and calls the entry; returns
// and cancellations go to the simulator, each a real process talking real HTTP.
#include <QJsonObject>
#include <QTest>

#include "support/simprocess.h"
#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_PosHost : public QObject
{
    Q_OBJECT
private slots:
    void unsupportedTypesFail_data();
    void unsupportedTypesFail();
    void brokenConfigurationFailsCleanly_data();
    void brokenConfigurationFailsCleanly();
    void returnsReachTheServer_data();
    void returnsReachTheServer();
};

namespace {

QString doc(const char *name)
{
    return TestSupport::fixturePath(QStringLiteral("e2e/") + QLatin1String(name));
}

const QString kNoDocument = QStringLiteral("null");

}

void tst_PosHost::unsupportedTypesFail_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::newRow("type 0, second entry name") << doc("header-type0.xml") << "QTwCardTrans" << "不支持支付管理";
    QTest::newRow("lower-case sale") << doc("header-lowercase-sale.xml") << "TwCardTrans" << "交易类型错误";
    QTest::newRow("no header at all") << kNoDocument << "TwCardTrans" << "交易类型错误";
}

void tst_PosHost::unsupportedTypesFail()
{
    QFETCH(QString, header);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH));
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));
    const TillFolder::HostRun run = till.runHost({header, doc("goods-empty.xml"), kNoDocument, kNoDocument},
                                                 {QStringLiteral("--entry"), entry});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.startsWith(QStringLiteral("return: 1\n")), qPrintable(run.output));
    QCOMPARE(run.params.keys(), (QList<int>{5, 6}));   // 7 to 12 stay as the host passed them
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    QCOMPARE(QString::fromUtf8(run.params.value(6)), message);
}

void tst_PosHost::brokenConfigurationFailsCleanly_data()
{
    QTest::addColumn<QByteArray>("pluginIni");
    QTest::addColumn<QByteArray>("hostIni");
    QTest::addColumn<QByteArray>("database");
    QTest::addColumn<QString>("messageEnd");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 131 + 7) % 256));
    const QByteArray gen6("[Config]\nSysType=GEN6\n");
    const QByteArray sqlite("[DataBase]\nDbType=SQLITE\nDBName=pos.db\n");
    QTest::newRow("no database type") << gen6 << QByteArray() << QByteArray() << "未设置数据库类型";
    // Without a readable system type the till is taken for one whose database is SQL Server.
    QTest::newRow("binary plugin ini") << binary << sqlite << QByteArray() << "数据库打开失败！";
    QTest::newRow("database file is not a database") << gen6 << sqlite << binary << "交易类型错误";
    QTest::newRow("unterminated sections") << QByteArray("[Config\nSysType=GEN6\n[[[\n=\n") << sqlite << QByteArray()
                                           << "数据库打开失败！";
}

void tst_PosHost::brokenConfigurationFailsCleanly()
{
    QFETCH(QByteArray, pluginIni);
    QFETCH(QByteArray, hostIni);
    QFETCH(QByteArray, database);
    QFETCH(QString, messageEnd);
    TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH), QStringLiteral(CASHIER_ROBOT_PATH));
    QVERIFY(till.isValid());
    till.writeText(QStringLiteral("TwCouponPay5.ini"), pluginIni);
    till.writeText(QStringLiteral("config.ini"), hostIni);
    till.writeText(QStringLiteral("GdPosCfg.ini"), hostIni);
    if (!database.isEmpty())
        till.writeText(QStringLiteral("pos.db"), database);
    // Whatever the configuration holds, the call ends; the cashier confirms what she is told.
    till.writeText(QStringLiteral("answer"), "wait 1500\nkey Return\nwait 1500\nkey Return\n");
    const TillFolder::HostRun run = till.runHost({doc("header-lowercase-sale.xml"), doc("goods-empty.xml"), kNoDocument, kNoDocument},
                                                 {QStringLiteral("--cashier"), till.filePath(QStringLiteral("answer"))});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    QVERIFY2(QString::fromUtf8(run.params.value(6)).endsWith(messageEnd), run.params.value(6).constData());
}

void tst_PosHost::returnsReachTheServer_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("server");        // the simulator's wallet, or refusing every cancellation
    QTest::addColumn<QString>("agreedSize");    // Config/OutputBufferSize, and the host's buffers
    QTest::addColumn<QString>("resultCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("discounts");
    QTest::addColumn<QString>("payments");
    QTest::addColumn<QString>("body");          // what the server received
    QTest::addColumn<QString>("logged");

    const QString untouched;
    const QString noDiscount = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<DSC><Yh/></DSC>");
    const QString bothBack = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001;CP0002</TradeNo>"
                                            "<BuyerNo>S20261206001</BuyerNo><Total/></zfR></Zf></Op>");
    const QString bothCodes = QStringLiteral("code=%5B%22CP0001%22%2C%22CP0002%22%5D&orgCode=A01&origBizBillNo=B20261206001"
                                             "&origSaleNo=S20261206001&sign=c4266c44019951be00af249bc1e78486&vipInfoId=V0001");
    const QString tooLong = QStringLiteral("交易已在服务器完成，但传出参数超过约定的缓冲区大小（128字节），请联系管理员处理");
    QTest::newRow("cancel gives both coupons back") << "cancel" << "wallet" << "" << "000000" << untouched << "2000.00"
        << noDiscount << bothBack << bothCodes << "";
    QTest::newRow("void refunds the payment line") << "void" << "wallet" << "" << "000000" << untouched << "1000.00" << noDiscount
        << QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001</TradeNo><BuyerNo/><Total>10.00</Total></zfR></Zf></Op>")
        << QStringLiteral("code=%5B%22CP0001%22%5D&orgCode=A01&origBizBillNo=B20261206001&origSaleNo=S20261206001&sign=60cdce119bce026b13043e8bc9948f9a&vipInfoId=V0001")
        << QStringLiteral("位置：口碑券待退款券号：\n内容：CP0001");
    QTest::newRow("refused") << "cancel" << "refuse" << "" << "111111" << "线下交易券撤销接口失败，券已撤销" << untouched << untouched << untouched
        << bothCodes << "位置：传出参数，交易失败\n内容：线下交易券撤销接口失败，券已撤销";
    QTest::newRow("agreed size too small to mean anything") << "cancel" << "wallet" << "32" << "000000" << untouched
        << "2000.00" << noDiscount << bothBack << bothCodes << "";
    // Support can still see in the log what the server did.
    QTest::newRow("payment document longer than agreed") << "cancel" << "wallet" << "128" << "111111" << tooLong
        << untouched << untouched << untouched << bothCodes << "位置：传出参数超过约定的缓冲区大小，未传出\n内容：金额：2000.00\n";
}

void tst_PosHost::returnsReachTheServer()
{
    QFETCH(QString, kind);
    QFETCH(QString, server);
    QFETCH(QString, agreedSize);
    QFETCH(QString, resultCode);
    QFETCH(QString, message);
    QFETCH(QString, amount);
    QFETCH(QString, discounts);
    QFETCH(QString, payments);
    QFETCH(QString, body);
    QFETCH(QString, logged);

    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(sim.start(server == QLatin1String("wallet") ? QStringList{"--wallet", doc("wallet-consumed.json")}
                                                         : QStringList{"--scenario", doc("cancel-refused.json")}),
             qPrintable(sim.errorString()));
    TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH));
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl());
    QStringList args;
    if (!agreedSize.isEmpty()) {
        till.writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/OutputBufferSize"), agreedSize}});
        args << QStringLiteral("--buffer-size") << QString::number(qMax(agreedSize.toInt(), 400));
    }
    const TillFolder::HostRun run = till.runHost(TestSupport::sampleDocuments(kind), args);
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, resultCode == QLatin1String("000000") ? 0 : 1);
    QCOMPARE(QString::fromUtf8(run.params.value(5)), resultCode);
    QCOMPARE(QString::fromUtf8(run.params.value(6)), message);
    QCOMPARE(QString::fromUtf8(run.params.value(7)), amount);
    QCOMPARE(QString::fromUtf8(run.params.value(11)), discounts);
    QCOMPARE(QString::fromUtf8(run.params.value(12)), payments);
    QVERIFY2(till.logText().contains(logged), qPrintable(logged));

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().value(QStringLiteral("path")).toString(), QStringLiteral("/posPortal/offlineCancelCerti"));
    QCOMPARE(requests.first().value(QStringLiteral("contentType")).toString(), QStringLiteral("application/x-www-form-urlencoded"));
    QVERIFY(requests.first().value(QStringLiteral("signatureValid")).toBool());
    QCOMPARE(requests.first().value(QStringLiteral("body")).toString(), body);
}

QTEST_GUILESS_MAIN(tst_PosHost)
#include "tst_poshost.moc"
