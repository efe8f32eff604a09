// The controller: the set-up of a call (database first, then the till's configuration), what
// its operations refuse or log on their own, and one whole call through the entry.
#include <QApplication>
#include <QTest>

#include "entry/cardtrans.h"
#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/testsupport.h"

class tst_Controller : public QObject
{
    Q_OBJECT
private slots:
    void initializeChecksDatabaseThenSystemType_data();
    void initializeChecksDatabaseThenSystemType();
    void signingIsLogged();
    void couponsNeedAMember();
    void unreadableDocumentFailsTheCall();
};

namespace {
// Confirms whatever message box the controller opens, and remembers that it did.
void confirmNextMessage(bool *shown)
{
    TestSupport::later(200, [shown] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            *shown = true;
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
}

QString logEntry(const QString &function, const QString &text)
{
    return QStringLiteral("位置：") + function + QStringLiteral("\n内容：") + text + QLatin1Char('\n');
}
}

void tst_Controller::initializeChecksDatabaseThenSystemType_data()
{
    QTest::addColumn<QString>("sysType");
    QTest::addColumn<QString>("dbType");    // GEN6's config.ini
    QTest::addColumn<QString>("dbName");
    QTest::addColumn<QString>("message");   // empty: initialised
    QTest::addColumn<QString>("shown");     // the message box
    QTest::addColumn<QString>("orgCode");
    const QString wrongType = QStringLiteral("系统类型配置错误");
    QTest::newRow("GEN6 reads config.ini") << "GEN6" << "SQLITE" << "pos.db" << "" << "" << "A01";
    QTest::newRow("GEN5 skips config.ini") << "GEN5" << "" << "" << "" << "" << "";
    QTest::newRow("GEN5 inside longer text") << "POS-GEN5-2" << "" << "" << "" << "" << "";
    QTest::newRow("gen6 lower case") << "gen6" << "" << "" << wrongType << wrongType << "";
    QTest::newRow("GEN6 and a blank") << "GEN6 " << "" << "" << wrongType << wrongType << "";
    // The box carries a prefix, the returned message does not; nothing else is read.
    QTest::newRow("no database type") << "GEN6" << "" << "pos.db" << "未设置数据库类型" << "数据库初始化失败：未设置数据库类型" << "";
    QTest::newRow("type without driver") << "GEN6" << "DB2" << "pos.db" << "数据库打开失败！" << "数据库初始化失败：数据库打开失败！" << "";
    QTest::newRow("unreachable file") << "GEN6" << "SQLITE" << "/nonexistent/pos.db"
        << "unable to open database file Error opening database数据库打开失败！"
        << "数据库初始化失败：unable to open database file Error opening database数据库打开失败！" << "";
}

void tst_Controller::initializeChecksDatabaseThenSystemType()
{
    QFETCH(QString, sysType);
    QFETCH(QString, dbType);
    QFETCH(QString, dbName);
    QFETCH(QString, message);
    QFETCH(QString, shown);
    QFETCH(QString, orgCode);
    AppFolder app;
    // A working database for every kind of till: GEN6 reads config.ini, any other system type
    // reaches "SQL Server" through ODBC.
    app.writeGen6();
    app.writeGen5();
    app.writeIni(QStringLiteral("GdPosCfg.ini"), {{QStringLiteral("DataBase/Server"), QStringLiteral("localhost")},
                                                  {QStringLiteral("DataBase/DbName"), app.filePath(QStringLiteral("gen5.db"))}});
    app.writeIni(QStringLiteral("TwCouponPay5.ini"), {{"Config/SysType", sysType}, {"Config/OptimalNum", "3"}});
    if (sysType == QLatin1String("GEN6"))
        app.writeIni(QStringLiteral("config.ini"), {{"DataBase/DbType", dbType}, {"DataBase/DBName", dbName}});

    VipCouponCPU cpu;
    QString error;
    bool boxShown = false;
    if (!shown.isEmpty())
        confirmNextMessage(&boxShown);
    QCOMPARE(cpu.Initialize(error), message.isEmpty());
    QCOMPARE(error, message);
    QCOMPARE(boxShown, !shown.isEmpty());
    QCOMPARE(cpu.m_sOrgCode, orgCode);
    QCOMPARE(cpu.m_sPosNo, orgCode.isEmpty() ? QString() : QStringLiteral("001"));
    QCOMPARE(cpu.m_sOptimalNum, message.isEmpty() ? QStringLiteral("3") : QString());
    const QString log = app.logText();
    QCOMPARE(log.contains(logEntry(QStringLiteral("初始化"), QStringLiteral("数据库初始化成功"))), !shown.startsWith(QStringLiteral("数据库")));
    QCOMPARE(log.contains(QStringLiteral("位置：提示信息\n内容：") + shown + QLatin1Char('\n')), !shown.isEmpty());
}

void tst_Controller::signingIsLogged()
{
    AppFolder app;
    VipCouponCPU cpu;
    const Gateway::ParamSet params{{QStringLiteral("orgCode"), QStringLiteral("A01")}, {QStringLiteral("vipCode"), QString()}};
    QString signedText;
    QCOMPARE(cpu.MakeSign(params, signedText), QStringLiteral("cc396a1eb871e8e097ca5de54de443e2"));
    QCOMPARE(cpu.MakeSignedBody(params), QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode="));
    const QString log = app.logText();
    QVERIFY(log.contains(logEntry(QStringLiteral("签名字符串"), QStringLiteral("orgCode=A01&key=#%7315^QwerzP&!%XK482067~$91LHRtmbowkqpX8"))));
    QCOMPARE(log.count(logEntry(QStringLiteral("签名结果"), QStringLiteral("cc396a1eb871e8e097ca5de54de443e2"))), 2);
    QVERIFY(log.contains(logEntry(QStringLiteral("发送报文明文"), QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode="))));
}

void tst_Controller::couponsNeedAMember()
{
    AppFolder app;
    app.writeGen6(QStringLiteral("http://127.0.0.1:9"));
    VipCouponCPU cpu;
    QList<VipCouponDetail> coupons;
    QList<CouponPayDetail> pays;
    QList<GoodDetail> goods;
    QString error;
    QVERIFY(!cpu.QueryCoupons(0, coupons, pays, goods, error));
    QCOMPARE(error, QStringLiteral("非会员交易，不允许使用该支付方式"));
    QVERIFY(!app.logText().contains(QStringLiteral("位置：请求地址")));
}

void tst_Controller::unreadableDocumentFailsTheCall()
{
    AppFolder app;
    app.writeGen6(QStringLiteral("http://127.0.0.1:9"));
    QByteArray header("<M><txn_type>SALE</txn_type><pay_code>0308</pay_code></M>");
    QByteArray goods("<G><Plu><L><PI>P1</PI></L></Plu></G>");
    QByteArray pay("<Pay/>");
    QByteArray udp2("{}");
    QByteArray out[8];
    for (QByteArray &buffer : out)
        buffer = QByteArray(4096, '\0');
    Entry::HostParameters params{{header.data(), goods.data(), pay.data(), udp2.data(), out[0].data(), out[1].data(),
                                  out[2].data(), out[3].data(), out[4].data(), out[5].data(), out[6].data(), out[7].data()}};
    LogWriter libraryLog;
    QCOMPARE(Entry::cardTrans(libraryLog, params), 1);
    QCOMPARE(QByteArray(out[0].constData()), QByteArray("111111"));
    QCOMPARE(QString::fromLocal8Bit(out[1].constData()), QStringLiteral("p_sTranPayXml参数解析错误"));
    QCOMPARE(QByteArray(out[2].constData()) + out[6].constData() + out[7].constData(), QByteArray());
    const QString log = app.logText();
    QVERIFY(log.contains(logEntry(QStringLiteral("传入参数解析失败"), QStringLiteral("p_sTranPayXml参数解析错误"))));
    QVERIFY(!log.contains(QStringLiteral("位置：请求地址")));
    // The closing step runs after a failure too.
    QVERIFY2(log.contains(logEntry(QStringLiteral("TwCardTrans"), QStringLiteral("WaitDlg.close End"))), qPrintable(log.right(800)));
}

QTEST_MAIN(tst_Controller)
#include "tst_controller.moc"
