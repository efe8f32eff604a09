// The controller's set-up for a call: database first, then the till's configuration.
#include <QApplication>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/testsupport.h"

class tst_Controller : public QObject
{
    Q_OBJECT
private slots:
    void initializeBySystemType_data();
    void initializeBySystemType();
    void databaseFailureIsShownWithPrefix_data();
    void databaseFailureIsShownWithPrefix();
    void initializeReadsOptimalSettingsAndEmptiesLists();
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
}

void tst_Controller::initializeBySystemType_data()
{
    QTest::addColumn<QString>("sysType");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("orgCode");
    QTest::newRow("GEN6 reads config.ini") << QStringLiteral("GEN6") << true << QString() << QStringLiteral("A01");
    QTest::newRow("GEN5 skips config.ini") << QStringLiteral("GEN5") << true << QString() << QString();
    QTest::newRow("GEN5 inside longer text") << QStringLiteral("POS-GEN5-2") << true << QString() << QString();
    QTest::newRow("gen6 lower case") << QStringLiteral("gen6") << false << QStringLiteral("系统类型配置错误") << QString();
    QTest::newRow("GEN6 and a blank") << QStringLiteral("GEN6 ") << false << QStringLiteral("系统类型配置错误") << QString();
    QTest::newRow("empty") << QString() << false << QStringLiteral("系统类型配置错误") << QString();
}

void tst_Controller::initializeBySystemType()
{
    QFETCH(QString, sysType);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QString, orgCode);

    AppFolder app;
    // Every till here has a working database for its kind: GEN6 reads config.ini, every other
    // system type reaches "SQL Server" through ODBC.
    app.writeGen6();
    app.writeGen5();
    app.writeIni(QStringLiteral("GdPosCfg.ini"),
                 {{QStringLiteral("DataBase/Server"), QStringLiteral("localhost")},
                  {QStringLiteral("DataBase/DbName"), app.filePath(QStringLiteral("gen5.db"))}});
    app.writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/SysType"), sysType}});

    VipCouponCPU cpu;
    QString error;
    bool boxShown = false;
    if (!ok)
        confirmNextMessage(&boxShown);
    QCOMPARE(cpu.Initialize(error), ok);
    QCOMPARE(error, message);
    QCOMPARE(boxShown, !ok);
    QCOMPARE(cpu.m_sOrgCode, orgCode);
    QCOMPARE(cpu.m_sPosNo, orgCode.isEmpty() ? QString() : QStringLiteral("001"));
    QVERIFY(app.logText().contains(QStringLiteral("位置：初始化\n内容：数据库初始化成功")));
    if (!ok)
        QVERIFY(app.logText().contains(QStringLiteral("位置：提示信息\n内容：系统类型配置错误")));
}

void tst_Controller::databaseFailureIsShownWithPrefix_data()
{
    QTest::addColumn<QString>("dbType");
    QTest::addColumn<QString>("dbName");
    QTest::addColumn<QString>("messageStart");
    QTest::addColumn<QString>("messageEnd");
    QTest::newRow("no type") << QString() << QStringLiteral("pos.db") << QStringLiteral("未设置数据库类型") << QStringLiteral("未设置数据库类型");
    QTest::newRow("type without driver") << QStringLiteral("DB2") << QStringLiteral("pos.db") << QStringLiteral("数据库打开失败！") << QStringLiteral("数据库打开失败！");
    QTest::newRow("unreachable file") << QStringLiteral("SQLITE") << QStringLiteral("/nonexistent/folder/pos.db") << QString() << QStringLiteral("数据库打开失败！");
}

void tst_Controller::databaseFailureIsShownWithPrefix()
{
    QFETCH(QString, dbType);
    QFETCH(QString, dbName);
    QFETCH(QString, messageStart);
    QFETCH(QString, messageEnd);

    AppFolder app;
    app.writeGen6();
    app.writeIni(QStringLiteral("config.ini"),
                 {{QStringLiteral("DataBase/DbType"), dbType}, {QStringLiteral("DataBase/DBName"), dbName}});
    app.writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/OptimalNum"), QStringLiteral("3")}});

    VipCouponCPU cpu;
    QString error;
    bool boxShown = false;
    confirmNextMessage(&boxShown);
    QVERIFY(!cpu.Initialize(error));
    QVERIFY(boxShown);
    QVERIFY2(error.startsWith(messageStart) && error.endsWith(messageEnd), qPrintable(error));
    // The box carries the prefix, the returned message does not.
    QVERIFY(app.logText().contains(QStringLiteral("位置：提示信息\n内容：数据库初始化失败：") + error));
    QVERIFY(!error.startsWith(QStringLiteral("数据库初始化失败：")));
    QVERIFY(cpu.m_sSysType.isEmpty());
    QVERIFY(cpu.m_sOptimalNum.isEmpty());
}

void tst_Controller::initializeReadsOptimalSettingsAndEmptiesLists()
{
    AppFolder app;
    app.writeGen6();
    app.writeIni(QStringLiteral("TwCouponPay5.ini"),
                 {{QStringLiteral("Config/OptimalSolution"), QStringLiteral("1")},
                  {QStringLiteral("Config/OptimalNum"), QStringLiteral("3")}});
    VipCouponCPU cpu;
    cpu.m_PayRDetails.append(TranPayDetail());
    cpu.m_PayNowRDetails.append(TranPayDetail());
    cpu.m_VipCouponWidget.m_CouponPayDetails.append(CouponPayDetail());
    cpu.m_VipCouponWidget.m_DscDetails.append(DscDetail());
    QString error;
    QVERIFY2(cpu.Initialize(error), qPrintable(error));
    QCOMPARE(cpu.m_sSysType, QStringLiteral("GEN6"));
    QCOMPARE(cpu.m_sOptimalSolution, QStringLiteral("1"));
    QCOMPARE(cpu.m_sOptimalNum, QStringLiteral("3"));
    QVERIFY(cpu.m_PayRDetails.isEmpty());
    QVERIFY(cpu.m_PayNowRDetails.isEmpty());
    QVERIFY(cpu.m_VipCouponWidget.m_CouponPayDetails.isEmpty());
    QVERIFY(cpu.m_VipCouponWidget.m_DscDetails.isEmpty());
}

QTEST_MAIN(tst_Controller)
#include "tst_controller.moc"
