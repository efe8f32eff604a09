// POS keyboard keys: Qt key -> the host's scan code -> its function number (from the host's key
// tables: GEN6 in SQLite, GEN5 in "SQL Server" through ODBC, with an override per till) -> the
// dialog's action, and what the cashier is told when a key means nothing.
#include <QDialog>
#include <QLabel>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/testsupport.h"
#include "ui/keymapping.h"
#include "ui/messagewidget.h"

using Keys::Action;
using Keys::Edition;

Q_DECLARE_METATYPE(Keys::Edition)
Q_DECLARE_METATYPE(Keys::Action)

class tst_Keyboard : public QObject
{
    Q_OBJECT
private slots:
    void keysGiveScanCodes_data();
    void keysGiveScanCodes();
    void functionNumbersGiveActions_data();
    void functionNumbersGiveActions();
    void keyLooksUpItsFunction_data();
    void keyLooksUpItsFunction();
    void keyPressTellsTheCashier_data();
    void keyPressTellsTheCashier();
};

namespace {

// GEN6: F1 (24) and Up (13) defined, Up overridden for till 001; Escape (4) has no action.
// GEN5: Up (38) and F12 (123).
void prepareTill(AppFolder &app, const QString &sysType, const QString &orgCode = QStringLiteral("A01"))
{
    if (sysType == QLatin1String("GEN5")) {
        app.writeGen5();
        app.runSql(QStringLiteral("gen5.db"), {QStringLiteral("insert into tJkPosKeyDef values (38, '1', '1')"),
                                               QStringLiteral("insert into tJkPosKeyDef values (123, '100', '1')")});
        return;
    }
    app.writeGen6();
    app.writeIni(QStringLiteral("config.ini"), {{QStringLiteral("Config/OrgCode"), orgCode}});
    app.runSql(QStringLiteral("pos.db"), {QStringLiteral("insert into tPosKeyDef values (24, '110', '1')"),
                                          QStringLiteral("insert into tPosKeyDef values (13, '111', '1')"),
                                          QStringLiteral("insert into tPosKeyDef values (4, 'abc', '1')"),
                                          QStringLiteral("insert into tPosKeyDefDetail values ('A01', '001', '13', '115', '1')"),
                                          QStringLiteral("insert into tPosKeyDefDetail values ('A01', '002', '24', '107', '1')")});
}

}

void tst_Keyboard::keysGiveScanCodes_data()
{
    QTest::addColumn<Edition>("edition");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("scan");   // -1: no scan code, the key is not configured
    QTest::newRow("gen5 page up") << Edition::Gen5 << int(Qt::Key_PageUp) << 33;
    QTest::newRow("gen5 equal shares plus") << Edition::Gen5 << int(Qt::Key_Equal) << 107;
    QTest::newRow("other edition scans like gen5") << Edition::Other << int(Qt::Key_Up) << 38;
    QTest::newRow("gen6 paren right shares left") << Edition::Gen6 << int(Qt::Key_ParenRight) << 40;
    QTest::newRow("gen6 escape") << Edition::Gen6 << int(Qt::Key_Escape) << 4;
    QTest::newRow("gen6 letter") << Edition::Gen6 << int(Qt::Key_Q) << 81;
    QTest::newRow("gen6 F12") << Edition::Gen6 << int(Qt::Key_F12) << 35;
    QTest::newRow("gen6 digit") << Edition::Gen6 << int(Qt::Key_7) << -1;
}

void tst_Keyboard::keysGiveScanCodes()
{
    QFETCH(Edition, edition);
    QFETCH(int, key);
    QFETCH(int, scan);
    int actual = -1;
    QCOMPARE(Keys::scanCode(edition, key, actual), scan >= 0);
    QCOMPARE(actual, scan);
}

void tst_Keyboard::functionNumbersGiveActions_data()
{
    QTest::addColumn<QString>("sysType");
    QTest::addColumn<QString>("funcValue");
    QTest::addColumn<Action>("action");
    QTest::newRow("gen5 1") << "GEN5" << "1" << Action::PreviousRow;
    QTest::newRow("gen5 2") << "GEN5" << "2" << Action::NextRow;
    QTest::newRow("gen5 3") << "GEN5" << "3" << Action::Toggle;
    QTest::newRow("gen5 30") << "GEN5" << "30" << Action::Exit;
    QTest::newRow("gen5 100") << "GEN5" << "100" << Action::Pay;
    QTest::newRow("gen5 110 is gen6 only") << "GEN5" << "110" << Action::None;
    QTest::newRow("gen5 hex is not decimal") << "GEN5" << "0x1" << Action::None;
    QTest::newRow("gen6 110") << "GEN6" << "110" << Action::PreviousRow;
    QTest::newRow("gen6 111") << "GEN6" << "111" << Action::NextRow;
    QTest::newRow("gen6 112") << "GEN6" << "112" << Action::Toggle;
    QTest::newRow("gen6 107") << "GEN6" << "107" << Action::Exit;
    QTest::newRow("gen6 115") << "GEN6" << "115" << Action::Pay;
    QTest::newRow("gen6 1 is gen5 only") << "GEN6" << "1" << Action::None;
    QTest::newRow("edition is case-sensitive") << "gen6" << "110" << Action::None;
    QTest::newRow("edition has no blanks") << "GEN6 " << "110" << Action::None;
}

void tst_Keyboard::functionNumbersGiveActions()
{
    QFETCH(QString, sysType);
    QFETCH(QString, funcValue);
    QFETCH(Action, action);
    QCOMPARE(Keys::actionFor(Keys::editionOf(sysType), funcValue), action);
}

void tst_Keyboard::keyLooksUpItsFunction_data()
{
    QTest::addColumn<QString>("sysType");
    QTest::addColumn<QString>("orgCode");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("funcValue");
    QTest::addColumn<QString>("error");
    const QString notFound = QStringLiteral("未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from %1 where ScanCode=%2||"
                                            " TwPosConfig-KeyBoardGetFuncCode");
    QTest::newRow("gen6 key table") << "GEN6" << "A01" << int(Qt::Key_F1) << true << "110" << "";
    QTest::newRow("gen6 till override") << "GEN6" << "A01" << int(Qt::Key_PageUp) << true << "115" << "";
    // A quote in the till's own configuration must not turn into SQL.
    QTest::newRow("gen6 org code is bound") << "GEN6" << "A01' or '1'='1" << int(Qt::Key_Up) << true << "111" << "";
    QTest::newRow("gen6 no scan code") << "GEN6" << "A01" << int(Qt::Key_Slash) << false << "" << "该按键未配置";
    QTest::newRow("gen6 not defined") << "GEN6" << "A01" << int(Qt::Key_F2) << false << "" << notFound.arg("tPosKeyDef", "25");
    QTest::newRow("gen5 F12") << "GEN5" << "" << int(Qt::Key_F12) << true << "100" << "";
    QTest::newRow("gen5 slash looks up 0") << "GEN5" << "" << int(Qt::Key_Slash) << false << "" << notFound.arg("tJkPosKeyDef", "0");
}

void tst_Keyboard::keyLooksUpItsFunction()
{
    QFETCH(QString, sysType);
    QFETCH(QString, orgCode);
    QFETCH(int, key);
    QFETCH(bool, ok);
    QFETCH(QString, funcValue);
    QFETCH(QString, error);
    AppFolder app;
    prepareTill(app, sysType, orgCode);
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));
    QString value, failure;
    QCOMPARE(cpu.GetKeyFunctionCode(key, value, failure), ok);
    QCOMPARE(value, funcValue);
    QCOMPARE(failure, error);
}

void tst_Keyboard::keyPressTellsTheCashier_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("no scan code") << int(Qt::Key_Slash) << QStringList{"该按键未配置"};
    QTest::newRow("function without action") << int(Qt::Key_Escape) << QStringList{};
}

void tst_Keyboard::keyPressTellsTheCashier()
{
    QFETCH(int, key);
    QFETCH(QStringList, messages);
    AppFolder app;
    prepareTill(app, QStringLiteral("GEN6"));
    VipCouponCPU cpu;
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));
    cpu.m_VipCouponWidget.m_sErrMsg = QStringLiteral("unchanged");
    QStringList shown;
    ModalDriver cashier([&shown](QDialog &box) {
        if (qobject_cast<MessageWidget *>(&box)) {
            shown << box.findChild<QLabel *>(QStringLiteral("Qlbltishi"))->text();
            QTest::keyClick(&box, Qt::Key_Return);
        }
    });
    cpu.SlotKeyPressed(key);
    QVERIFY(!cashier.guardFired());
    QCOMPARE(shown, messages);
    QCOMPARE(cpu.m_VipCouponWidget.m_sErrMsg, QStringLiteral("unchanged"));
}

QTEST_MAIN(tst_Keyboard)
#include "tst_keyboard.moc"
