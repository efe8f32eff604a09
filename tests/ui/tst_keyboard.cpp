// POS keyboard keys through the controller: scan code, the host's key tables, the override per
// till, and what the cashier is told when a key has no meaning.
#include <QApplication>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/testsupport.h"

class tst_Keyboard : public QObject
{
    Q_OBJECT
private slots:
    void gen6Lookup_data();
    void gen6Lookup();
    void gen5Lookup_data();
    void gen5Lookup();
    void tillTextsAreBoundNotSpliced();
    void keyWithoutScanCodeTellsTheCashier();
    void functionWithoutActionDoesNothing();
};

namespace {
const QString kSuffix = QStringLiteral(" TwPosConfig-KeyBoardGetFuncCode");

QStringList gen6Keys()
{
    return {QStringLiteral("insert into tPosKeyDef values (24, '110', '1')"),
            QStringLiteral("insert into tPosKeyDef values (13, '111', '1')"),
            QStringLiteral("insert into tPosKeyDef values (4, 'abc', '1')"),
            QStringLiteral("insert into tPosKeyDefDetail values ('A01', '001', '13', '115', '1')"),
            QStringLiteral("insert into tPosKeyDefDetail values ('A01', '002', '24', '107', '1')")};
}
}

void tst_Keyboard::gen6Lookup_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("funcValue");
    QTest::addColumn<QString>("error");
    QTest::newRow("F1 from the key table") << int(Qt::Key_F1) << true << QStringLiteral("110") << QString();
    QTest::newRow("Up overridden for this till") << int(Qt::Key_Up) << true << QStringLiteral("115") << QString();
    QTest::newRow("PageUp shares Up's scan code") << int(Qt::Key_PageUp) << true << QStringLiteral("115") << QString();
    QTest::newRow("slash has no scan code") << int(Qt::Key_Slash) << false << QString() << QStringLiteral("该按键未配置");
    QTest::newRow("F2 not defined") << int(Qt::Key_F2) << false << QString()
        << QStringLiteral("未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from tPosKeyDef where ScanCode=25||") + kSuffix;
}

void tst_Keyboard::gen6Lookup()
{
    QFETCH(int, key);
    QFETCH(bool, ok);
    QFETCH(QString, funcValue);
    QFETCH(QString, error);
    AppFolder app;
    app.writeGen6();
    QVERIFY(app.runSql(QStringLiteral("pos.db"), gen6Keys()));
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));

    QString value;
    QString failure;
    QCOMPARE(cpu.GetKeyFunctionCode(key, value, failure), ok);
    QCOMPARE(value, funcValue);
    QCOMPARE(failure, error);
}

void tst_Keyboard::gen5Lookup_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("funcValue");
    QTest::addColumn<QString>("error");
    QTest::newRow("Up is 38") << int(Qt::Key_Up) << true << QStringLiteral("1") << QString();
    QTest::newRow("F12 is 123") << int(Qt::Key_F12) << true << QStringLiteral("100") << QString();
    QTest::newRow("slash looks up 0") << int(Qt::Key_Slash) << false << QString()
        << QStringLiteral("未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from tJkPosKeyDef where ScanCode=0||") + kSuffix;
}

void tst_Keyboard::gen5Lookup()
{
    QFETCH(int, key);
    QFETCH(bool, ok);
    QFETCH(QString, funcValue);
    QFETCH(QString, error);
    AppFolder app;
    app.writeGen5();
    QVERIFY(app.runSql(QStringLiteral("gen5.db"),
                       {QStringLiteral("insert into tJkPosKeyDef values (38, '1', '1')"),
                        QStringLiteral("insert into tJkPosKeyDef values (123, '100', '1')")}));
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));

    QString value;
    QString failure;
    QCOMPARE(cpu.GetKeyFunctionCode(key, value, failure), ok);
    QCOMPARE(value, funcValue);
    QCOMPARE(failure, error);
    const QString log = app.logText();
    QVERIFY(log.contains(QStringLiteral("位置：按键查询语句\n内容：select FuncValue, KeyType from tJkPosKeyDef where ScanCode=")));
    if (ok)
        QVERIFY(log.contains(QStringLiteral("位置：按键查询结果\n内容：FuncValue:") + funcValue));
}

void tst_Keyboard::tillTextsAreBoundNotSpliced()
{
    AppFolder app;
    app.writeGen6();
    // A quote in the till's own configuration must not turn into SQL.
    app.writeIni(QStringLiteral("config.ini"), {{QStringLiteral("Config/OrgCode"), QStringLiteral("A01' or '1'='1")}});
    QVERIFY(app.runSql(QStringLiteral("pos.db"), gen6Keys()));
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));
    QString value;
    QString failure;
    QVERIFY(cpu.GetKeyFunctionCode(Qt::Key_F1, value, failure));
    QCOMPARE(value, QStringLiteral("110"));
}

void tst_Keyboard::keyWithoutScanCodeTellsTheCashier()
{
    AppFolder app;
    app.writeGen6();
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));
    bool answered = false;
    TestSupport::later(200, [&answered] {
        if (QWidget *box = QApplication::activeModalWidget()) {
            answered = true;
            QTest::keyClick(box, Qt::Key_Return);
        }
    });
    cpu.SlotKeyPressed(Qt::Key_Slash);
    QVERIFY(answered);
    QVERIFY(app.logText().contains(QStringLiteral("位置：提示信息\n内容：该按键未配置")));
    QVERIFY(!app.logText().contains(QStringLiteral("tPosKeyDef where")));
}

void tst_Keyboard::functionWithoutActionDoesNothing()
{
    AppFolder app;
    app.writeGen6();
    QVERIFY(app.runSql(QStringLiteral("pos.db"), gen6Keys()));
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));
    cpu.m_VipCouponWidget.m_sErrMsg = QStringLiteral("unchanged");
    // Escape is defined with the function text "abc": no action, no message box.
    cpu.SlotKeyPressed(Qt::Key_Escape);
    QCOMPARE(cpu.m_VipCouponWidget.m_sErrMsg, QStringLiteral("unchanged"));
    QVERIFY(!app.logText().contains(QStringLiteral("提示信息")));
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
