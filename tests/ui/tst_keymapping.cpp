#include <QTest>

#include "ui/keymapping.h"

using Keys::Action;
using Keys::Edition;

Q_DECLARE_METATYPE(Keys::Edition)
Q_DECLARE_METATYPE(Keys::Action)

class tst_KeyMapping : public QObject
{
    Q_OBJECT
private slots:
    void editionIsExact_data();
    void editionIsExact();
    void gen5ScanCodes_data();
    void gen5ScanCodes();
    void gen6ScanCodes_data();
    void gen6ScanCodes();
    void gen6KeysWithoutScanCode_data();
    void gen6KeysWithoutScanCode();
    void otherEditionScansLikeGen5();
    void functionNumbersGiveActions_data();
    void functionNumbersGiveActions();
};

void tst_KeyMapping::editionIsExact_data()
{
    QTest::addColumn<QString>("sysType");
    QTest::addColumn<Edition>("edition");
    QTest::newRow("GEN5") << "GEN5" << Edition::Gen5;
    QTest::newRow("GEN6") << "GEN6" << Edition::Gen6;
    QTest::newRow("lower case") << "gen6" << Edition::Other;
    QTest::newRow("trailing blank") << "GEN6 " << Edition::Other;
    QTest::newRow("GEN5 inside text") << "XGEN5" << Edition::Other;
    QTest::newRow("empty") << "" << Edition::Other;
}

void tst_KeyMapping::editionIsExact()
{
    QFETCH(QString, sysType);
    QFETCH(Edition, edition);
    QCOMPARE(Keys::editionOf(sysType), edition);
}

void tst_KeyMapping::gen5ScanCodes_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("scan");
    QTest::newRow("space") << int(Qt::Key_Space) << 32;
    QTest::newRow("plus") << int(Qt::Key_Plus) << 107;
    QTest::newRow("equal") << int(Qt::Key_Equal) << 107;
    QTest::newRow("minus") << int(Qt::Key_Minus) << 109;
    QTest::newRow("underscore") << int(Qt::Key_Underscore) << 109;
    QTest::newRow("A") << int(Qt::Key_A) << 65;
    QTest::newRow("M") << int(Qt::Key_M) << 77;
    QTest::newRow("Z") << int(Qt::Key_Z) << 90;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 27;
    QTest::newRow("tab") << int(Qt::Key_Tab) << 9;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << 8;
    QTest::newRow("insert") << int(Qt::Key_Insert) << 45;
    QTest::newRow("delete") << int(Qt::Key_Delete) << 46;
    QTest::newRow("home") << int(Qt::Key_Home) << 36;
    QTest::newRow("end") << int(Qt::Key_End) << 35;
    QTest::newRow("left") << int(Qt::Key_Left) << 37;
    QTest::newRow("up") << int(Qt::Key_Up) << 38;
    QTest::newRow("right") << int(Qt::Key_Right) << 39;
    QTest::newRow("down") << int(Qt::Key_Down) << 40;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 33;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 34;
    QTest::newRow("shift") << int(Qt::Key_Shift) << 16;
    QTest::newRow("control") << int(Qt::Key_Control) << 17;
    QTest::newRow("alt") << int(Qt::Key_Alt) << 18;
    QTest::newRow("F1") << int(Qt::Key_F1) << 112;
    QTest::newRow("F6") << int(Qt::Key_F6) << 117;
    QTest::newRow("F12") << int(Qt::Key_F12) << 123;
    QTest::newRow("slash unknown") << int(Qt::Key_Slash) << 0;
    QTest::newRow("paren unknown") << int(Qt::Key_ParenLeft) << 0;
    QTest::newRow("comma unknown") << int(Qt::Key_Comma) << 0;
    QTest::newRow("F13 unknown") << int(Qt::Key_F13) << 0;
    QTest::newRow("digit unknown") << int(Qt::Key_5) << 0;
}

void tst_KeyMapping::gen5ScanCodes()
{
    QFETCH(int, key);
    QFETCH(int, scan);
    int actual = -1;
    QVERIFY(Keys::scanCode(Edition::Gen5, key, actual));
    QCOMPARE(actual, scan);
}

void tst_KeyMapping::gen6ScanCodes_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("scan");
    QTest::newRow("space") << int(Qt::Key_Space) << 38;
    QTest::newRow("paren left") << int(Qt::Key_ParenLeft) << 40;
    QTest::newRow("paren right") << int(Qt::Key_ParenRight) << 40;
    QTest::newRow("plus") << int(Qt::Key_Plus) << 43;
    QTest::newRow("equal") << int(Qt::Key_Equal) << 43;
    QTest::newRow("comma") << int(Qt::Key_Comma) << 44;
    QTest::newRow("minus") << int(Qt::Key_Minus) << 45;
    QTest::newRow("underscore") << int(Qt::Key_Underscore) << 45;
    QTest::newRow("less") << int(Qt::Key_Less) << 60;
    QTest::newRow("greater") << int(Qt::Key_Greater) << 60;
    QTest::newRow("A") << int(Qt::Key_A) << 65;
    QTest::newRow("Q") << int(Qt::Key_Q) << 81;
    QTest::newRow("Z") << int(Qt::Key_Z) << 90;
    QTest::newRow("brace left") << int(Qt::Key_BraceLeft) << 91;
    QTest::newRow("brace right") << int(Qt::Key_BraceRight) << 91;
    QTest::newRow("escape") << int(Qt::Key_Escape) << 4;
    QTest::newRow("tab") << int(Qt::Key_Tab) << 5;
    QTest::newRow("backspace") << int(Qt::Key_Backspace) << 6;
    QTest::newRow("insert") << int(Qt::Key_Insert) << 3;
    QTest::newRow("delete") << int(Qt::Key_Delete) << 9;
    QTest::newRow("home") << int(Qt::Key_Home) << 10;
    QTest::newRow("end") << int(Qt::Key_End) << 11;
    QTest::newRow("left") << int(Qt::Key_Left) << 12;
    QTest::newRow("up") << int(Qt::Key_Up) << 13;
    QTest::newRow("right") << int(Qt::Key_Right) << 14;
    QTest::newRow("down") << int(Qt::Key_Down) << 15;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << 13;
    QTest::newRow("page down") << int(Qt::Key_PageDown) << 15;
    QTest::newRow("shift") << int(Qt::Key_Shift) << 20;
    QTest::newRow("control") << int(Qt::Key_Control) << 21;
    QTest::newRow("alt") << int(Qt::Key_Alt) << 23;
    QTest::newRow("F1") << int(Qt::Key_F1) << 24;
    QTest::newRow("F7") << int(Qt::Key_F7) << 30;
    QTest::newRow("F12") << int(Qt::Key_F12) << 35;
}

void tst_KeyMapping::gen6ScanCodes()
{
    QFETCH(int, key);
    QFETCH(int, scan);
    int actual = -1;
    QVERIFY(Keys::scanCode(Edition::Gen6, key, actual));
    QCOMPARE(actual, scan);
}

void tst_KeyMapping::gen6KeysWithoutScanCode_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("slash") << int(Qt::Key_Slash);
    QTest::newRow("digit") << int(Qt::Key_7);
    QTest::newRow("F13") << int(Qt::Key_F13);
    QTest::newRow("period") << int(Qt::Key_Period);
    QTest::newRow("return") << int(Qt::Key_Return);
}

void tst_KeyMapping::gen6KeysWithoutScanCode()
{
    QFETCH(int, key);
    int actual = -1;
    QVERIFY(!Keys::scanCode(Edition::Gen6, key, actual));
}

void tst_KeyMapping::otherEditionScansLikeGen5()
{
    int scan = -1;
    QVERIFY(Keys::scanCode(Edition::Other, Qt::Key_Up, scan));
    QCOMPARE(scan, 38);
    QVERIFY(Keys::scanCode(Edition::Other, Qt::Key_Slash, scan));
    QCOMPARE(scan, 0);
}

void tst_KeyMapping::functionNumbersGiveActions_data()
{
    QTest::addColumn<Edition>("edition");
    QTest::addColumn<QString>("funcValue");
    QTest::addColumn<Action>("action");
    QTest::newRow("gen5 1") << Edition::Gen5 << "1" << Action::PreviousRow;
    QTest::newRow("gen5 2") << Edition::Gen5 << "2" << Action::NextRow;
    QTest::newRow("gen5 3") << Edition::Gen5 << "3" << Action::Toggle;
    QTest::newRow("gen5 30") << Edition::Gen5 << "30" << Action::Exit;
    QTest::newRow("gen5 100") << Edition::Gen5 << "100" << Action::Pay;
    QTest::newRow("gen5 110 is gen6 only") << Edition::Gen5 << "110" << Action::None;
    QTest::newRow("gen5 4") << Edition::Gen5 << "4" << Action::None;
    QTest::newRow("gen5 abc") << Edition::Gen5 << "abc" << Action::None;
    QTest::newRow("gen5 empty") << Edition::Gen5 << "" << Action::None;
    QTest::newRow("gen5 hex is not decimal") << Edition::Gen5 << "0x1" << Action::None;
    QTest::newRow("gen6 110") << Edition::Gen6 << "110" << Action::PreviousRow;
    QTest::newRow("gen6 111") << Edition::Gen6 << "111" << Action::NextRow;
    QTest::newRow("gen6 112") << Edition::Gen6 << "112" << Action::Toggle;
    QTest::newRow("gen6 107") << Edition::Gen6 << "107" << Action::Exit;
    QTest::newRow("gen6 115") << Edition::Gen6 << "115" << Action::Pay;
    QTest::newRow("gen6 1 is gen5 only") << Edition::Gen6 << "1" << Action::None;
    QTest::newRow("gen6 abc") << Edition::Gen6 << "abc" << Action::None;
    QTest::newRow("other 1") << Edition::Other << "1" << Action::None;
    QTest::newRow("other 110") << Edition::Other << "110" << Action::None;
}

void tst_KeyMapping::functionNumbersGiveActions()
{
    QFETCH(Edition, edition);
    QFETCH(QString, funcValue);
    QFETCH(Action, action);
    QCOMPARE(Keys::actionFor(edition, funcValue), action);
}

QTEST_GUILESS_MAIN(tst_KeyMapping)
#include "tst_keymapping.moc"
