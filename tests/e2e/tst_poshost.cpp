// The library as a till uses it: the sample host (no Qt) loads it and calls the entry.
#include <QTest>

#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_PosHost : public QObject
{
    Q_OBJECT
private slots:
    void unsupportedTypesFail_data();
    void unsupportedTypesFail();
    void callLeavesTheStepsInTheLog();
    void missingConfigurationFailsWithoutClosingStep();
    void noDisplayLeavesTheHostRunning();
    void garbageConfigurationFailsCleanly_data();
    void garbageConfigurationFailsCleanly();
};

namespace {
QString doc(const char *name)
{
    return TestSupport::fixturePath(QStringLiteral("e2e/") + QLatin1String(name));
}
}

void tst_PosHost::unsupportedTypesFail_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("message");
    QTest::newRow("type 0") << doc("header-type0.xml") << QStringLiteral("TwCardTrans") << QStringLiteral("不支持支付管理");
    QTest::newRow("type 0, second name") << doc("header-type0.xml") << QStringLiteral("QTwCardTrans") << QStringLiteral("不支持支付管理");
    QTest::newRow("lower-case sale") << doc("header-lowercase-sale.xml") << QStringLiteral("TwCardTrans") << QStringLiteral("交易类型错误");
    QTest::newRow("no header at all") << QStringLiteral("null") << QStringLiteral("TwCardTrans") << QStringLiteral("交易类型错误");
}

void tst_PosHost::unsupportedTypesFail()
{
    QFETCH(QString, header);
    QFETCH(QString, entry);
    QFETCH(QString, message);
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));

    const TillFolder::HostRun run = till.runHost({header, doc("goods-empty.xml"), QStringLiteral("null"), QStringLiteral("null")},
                                                 {QStringLiteral("--entry"), entry});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 1);
    QVERIFY2(run.output.startsWith(QStringLiteral("return: 1\n")), qPrintable(run.output));
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    QCOMPARE(QString::fromUtf8(run.params.value(6)), message);
    // Parameters 7 to 12 stay as the host passed them.
    for (int p = 7; p <= 12; ++p)
        QVERIFY2(!run.params.contains(p), qPrintable(QStringLiteral("p%1 written").arg(p)));
    QVERIFY(run.output.contains(QStringLiteral("p12 payment document: (untouched)")));
}

void tst_PosHost::callLeavesTheStepsInTheLog()
{
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));
    const TillFolder::HostRun run = till.runHost({doc("header-type0.xml"), doc("goods-empty.xml"), QStringLiteral("null"), QStringLiteral("null")});
    QVERIFY(run.finished);

    const QString log = till.logText();
    const QStringList steps{
        QStringLiteral("位置：TwCardTrans\n内容：请稍等，调用动态库中"),
        QStringLiteral("位置：TwCardTrans\n内容：PrepareToShow"),
        QStringLiteral("位置：TwCardTrans\n内容：等待框已开启"),
        QStringLiteral("方式：晟岚会员用券动态库\n位置：传入交易主参数\n内容：<?xml"),
        QStringLiteral("<teller_name>张三</teller_name>"),
        QStringLiteral("位置：传入商品参数\n内容：<Goods><XD>1</XD></Goods>"),
        QStringLiteral("位置：传入支付参数\n内容：\n"),
        QStringLiteral("位置：传入Udp2参数\n内容：\n"),
        QStringLiteral("位置：初始化\n内容：数据库初始化成功"),
        QStringLiteral("位置：解析参数\n内容：成功"),
        QStringLiteral("方式：晟岚会员用券动态库\n位置：传出参数，交易失败\n内容：不支持支付管理"),
        QStringLiteral("位置：TwCardTrans\n内容：启动定时器"),
        QStringLiteral("位置：TwCardTrans\n内容：WaitDlg.close\n"),
        QStringLiteral("位置：TwCardTrans\n内容：WaitDlg.close End"),
    };
    int at = 0;
    for (const QString &step : steps) {
        const int found = log.indexOf(step, at);
        QVERIFY2(found >= 0, qPrintable(QStringLiteral("missing or out of order: ") + step + QStringLiteral("\n---\n") + log));
        at = found + step.size();
    }
}

void tst_PosHost::missingConfigurationFailsWithoutClosingStep()
{
    TillFolder till;
    QVERIFY(till.isValid());
    // No database type: the database cannot be set up, the cashier is told, the call fails.
    till.writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/SysType"), QStringLiteral("GEN6")}});
    till.writeText(QStringLiteral("answer"), "wait 1500\nkey Return\n");
    const TillFolder::HostRun run = till.runHost({doc("header-type0.xml"), doc("goods-empty.xml"), QStringLiteral("null"), QStringLiteral("null")},
                                                 {QStringLiteral("--cashier"), till.filePath(QStringLiteral("answer"))});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    QCOMPARE(QString::fromUtf8(run.params.value(6)), QStringLiteral("未设置数据库类型"));
    const QString log = till.logText();
    QVERIFY(log.contains(QStringLiteral("位置：提示信息\n内容：数据库初始化失败：未设置数据库类型")));
    QVERIFY(log.contains(QStringLiteral("位置：传出参数，交易失败\n内容：未设置数据库类型")));
    QVERIFY(!log.contains(QStringLiteral("启动定时器")));
}

void tst_PosHost::noDisplayLeavesTheHostRunning()
{
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));
    // Two calls: the host survives the first and gets the same clear answer again.
    const TillFolder::HostRun run = till.runHost(
        {doc("header-type0.xml"), doc("goods-empty.xml"), QStringLiteral("null"), QStringLiteral("null")},
        {QStringLiteral("--repeat"), QStringLiteral("2")}, 60000,
        {{QStringLiteral("QT_QPA_PLATFORM"), QString()}, {QStringLiteral("DISPLAY"), QString()},
         {QStringLiteral("WAYLAND_DISPLAY"), QString()}});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.output.count(QStringLiteral("p5  result code: 111111")), 2);
    QCOMPARE(QString::fromUtf8(run.params.value(6)), QStringLiteral("动态库无法显示界面（没有可用的显示设备），请联系管理员处理"));
    QVERIFY(till.logText().contains(QStringLiteral("内容：无法创建界面环境：no display")));
}

void tst_PosHost::garbageConfigurationFailsCleanly_data()
{
    QTest::addColumn<QByteArray>("pluginIni");
    QTest::addColumn<QByteArray>("hostIni");
    QTest::addColumn<QByteArray>("database");
    QTest::addColumn<QString>("message");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 131 + 7) % 256));
    const QByteArray gen6("[Config]\nSysType=GEN6\n");
    const QByteArray sqlite("[DataBase]\nDbType=SQLITE\nDBName=pos.db\n");
    // Without a readable system type the till is taken for one whose database is SQL Server.
    QTest::newRow("binary plugin ini") << binary << sqlite << QByteArray() << QStringLiteral("数据库打开失败！");
    QTest::newRow("binary host ini") << gen6 << binary << QByteArray() << QStringLiteral("未设置数据库类型");
    QTest::newRow("database file is not a database") << gen6 << sqlite << binary << QStringLiteral("交易类型错误");
    QTest::newRow("unterminated sections") << QByteArray("[Config\nSysType=GEN6\n[[[\n=\n") << sqlite << QByteArray()
        << QStringLiteral("数据库打开失败！");
}

void tst_PosHost::garbageConfigurationFailsCleanly()
{
    QFETCH(QByteArray, pluginIni);
    QFETCH(QByteArray, hostIni);
    QFETCH(QByteArray, database);
    QFETCH(QString, message);
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeText(QStringLiteral("TwCouponPay5.ini"), pluginIni);
    till.writeText(QStringLiteral("config.ini"), hostIni);
    till.writeText(QStringLiteral("GdPosCfg.ini"), hostIni);
    if (!database.isEmpty())
        till.writeText(QStringLiteral("pos.db"), database);
    // Whatever the configuration holds, the call ends, and a message box is answered.
    till.writeText(QStringLiteral("answer"), "wait 1500\nkey Return\nwait 1500\nkey Return\n");
    const TillFolder::HostRun run = till.runHost(
        {TestSupport::fixturePath(QStringLiteral("e2e/header-lowercase-sale.xml")), TestSupport::fixturePath(QStringLiteral("e2e/goods-empty.xml")),
         QStringLiteral("null"), QStringLiteral("null")},
        {QStringLiteral("--cashier"), till.filePath(QStringLiteral("answer"))});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    const QString text = QString::fromUtf8(run.params.value(6));
    QVERIFY2(text.endsWith(message), qPrintable(text));
}

QTEST_GUILESS_MAIN(tst_PosHost)
#include "tst_poshost.moc"
