// The coupon table's decisions without a widget: row texts, taps, server answers, layout.
#include <QTest>

#include "support/testsupport.h"
#include "ui/couponrows.h"

using namespace CouponRows;
using TestSupport::coupon;

Q_DECLARE_METATYPE(CouponRows::ToggleOutcome)
Q_DECLARE_METATYPE(CouponRows::RowLook)

class tst_CouponRows : public QObject
{
    Q_OBJECT
private slots:
    void rowShowsTheCoupon_data();
    void rowShowsTheCoupon();
    void tapDecidesTheTick_data();
    void tapDecidesTheTick();
    void answerChangesRows_data();
    void answerChangesRows();
    void maxCountFromIni_data();
    void maxCountFromIni();
    void amountToPay_data();
    void amountToPay();
    void columnsFillTheTable_data();
    void columnsFillTheTable();
    void fontsFollowScreenWidth_data();
    void fontsFollowScreenWidth();
};

void tst_CouponRows::rowShowsTheCoupon_data()
{
    QTest::addColumn<QString>("availableFlag");
    QTest::addColumn<QString>("checkFlag");
    QTest::addColumn<QString>("meType");
    QTest::addColumn<int>("rowIndex");
    QTest::addColumn<QStringList>("cells");
    QTest::addColumn<RowLook>("look");
    QTest::newRow("plain value") << "1" << "0" << "0" << 0
        << QStringList{"1", "0", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""} << RowLook::Standard;
    QTest::newRow("range value") << "1" << "0" << "1" << 4
        << QStringList{"5", "0", "C001", "满100减10", "5-20", "2030-12-31", "全场通用", ""} << RowLook::Standard;
    QTest::newRow("pre-ticked keeps the plain look") << "1" << "1" << "0" << 1
        << QStringList{"2", "1", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""} << RowLook::Standard;
    QTest::newRow("not usable wins over tick") << "0" << "1" << "0" << 2
        << QStringList{"3", "2", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""} << RowLook::Unusable;
}

void tst_CouponRows::rowShowsTheCoupon()
{
    QFETCH(QString, availableFlag);
    QFETCH(QString, checkFlag);
    QFETCH(QString, meType);
    QFETCH(int, rowIndex);
    QFETCH(QStringList, cells);
    QFETCH(RowLook, look);
    VipCouponDetail c = coupon(QStringLiteral("C001"), availableFlag);
    c.certiInfoName = QStringLiteral("满100减10");
    c.certiMeType = meType;
    c.certiMeMin = QStringLiteral("5");
    c.certiMeMax = QStringLiteral("20");
    c.depict = QStringLiteral("全场通用");
    c.unAvailableRemark.clear();
    c.checkFlag = checkFlag;
    QCOMPARE(rowCells(c, rowIndex), cells);
    QCOMPARE(initialLook(c), look);
}

void tst_CouponRows::tapDecidesTheTick_data()
{
    QTest::addColumn<QString>("tickCell");
    QTest::addColumn<QString>("availableFlag");
    QTest::addColumn<QString>("apportionType");
    QTest::addColumn<QStringList>("selectedApportion");
    QTest::addColumn<int>("maxCount");
    QTest::addColumn<ToggleOutcome>("outcome");
    QTest::newRow("ticked unticks") << "1" << "1" << "1" << QStringList{"1"} << 2 << ToggleOutcome::Untick;
    QTest::newRow("untick ignores the limit") << "1" << "1" << "1" << QStringList{"1", "1"} << 1 << ToggleOutcome::Untick;
    QTest::newRow("not usable stays") << "2" << "0" << "1" << QStringList{} << 0 << ToggleOutcome::Unchanged;
    QTest::newRow("unticked ticks") << "0" << "1" << "1" << QStringList{} << 0 << ToggleOutcome::Tick;
    QTest::newRow("unticked but flag 2") << "0" << "2" << "1" << QStringList{} << 0 << ToggleOutcome::Unchanged;
    QTest::newRow("max 2 reached") << "0" << "1" << "1" << QStringList{"1", "1"} << 2 << ToggleOutcome::LimitReached;
    QTest::newRow("max 2, other kinds ticked") << "0" << "1" << "1" << QStringList{"1", "2", "0"} << 2 << ToggleOutcome::Tick;
    QTest::newRow("max 2, other kind tapped") << "0" << "1" << "2" << QStringList{"1", "1"} << 2 << ToggleOutcome::Tick;
    QTest::newRow("negative is no limit") << "0" << "1" << "1" << QStringList{"1", "1"} << -1 << ToggleOutcome::Tick;
}

void tst_CouponRows::tapDecidesTheTick()
{
    QFETCH(QString, tickCell);
    QFETCH(QString, availableFlag);
    QFETCH(QString, apportionType);
    QFETCH(QStringList, selectedApportion);
    QFETCH(int, maxCount);
    QFETCH(ToggleOutcome, outcome);
    QList<VipCouponDetail> selected;
    for (const QString &kind : selectedApportion)
        selected << coupon(QStringLiteral("S%1").arg(selected.size()), QStringLiteral("1"), kind);
    QCOMPARE(toggleOutcome(tickCell, coupon(QStringLiteral("T"), availableFlag, apportionType), selected, maxCount),
             outcome);
}

void tst_CouponRows::answerChangesRows_data()
{
    // Rows and answer as "code:availableFlag"; the plan as "change@answerIndex" per row.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QStringList>("plan");
    QTest::newRow("usable becomes unusable") << QStringList{"A:1"} << QStringList{"A:0"} << QStringList{"unusable@0"};
    QTest::newRow("other flag counts as usable") << QStringList{"A:0"} << QStringList{"A:7"} << QStringList{"usable@0"};
    QTest::newRow("no change, any order") << QStringList{"A:1", "B:0"} << QStringList{"B:0", "A:1"} << QStringList{"none", "none"};
    QTest::newRow("unmatched row stays") << QStringList{"A:1", "B:1"} << QStringList{"B:0"} << QStringList{"none", "unusable@0"};
    QTest::newRow("first changing duplicate wins") << QStringList{"A:1"} << QStringList{"A:1", "A:0", "A:0"} << QStringList{"unusable@1"};
    QTest::newRow("row flag 2 is neither") << QStringList{"A:2"} << QStringList{"A:0", "A:1"} << QStringList{"none"};
    QTest::newRow("rows sharing a code") << QStringList{"A:1", "A:0"} << QStringList{"A:0", "A:1"}
                                         << QStringList{"unusable@0", "usable@1"};
}

void tst_CouponRows::answerChangesRows()
{
    QFETCH(QStringList, rows);
    QFETCH(QStringList, answer);
    QFETCH(QStringList, plan);
    auto toCoupons = [](const QStringList &pairs) {
        QList<VipCouponDetail> list;
        for (const QString &pair : pairs)
            list << coupon(pair.section(':', 0, 0), pair.section(':', 1, 1));
        return list;
    };
    QStringList actual;
    for (const RowRefresh &step : planRefresh(toCoupons(rows), toCoupons(answer))) {
        if (step.change == RefreshChange::None)
            actual << QStringLiteral("none");
        else
            actual << (step.change == RefreshChange::BecomesUsable ? QStringLiteral("usable@%1")
                                                                   : QStringLiteral("unusable@%1")).arg(step.answerIndex);
    }
    QCOMPARE(actual, plan);
}

void tst_CouponRows::maxCountFromIni_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("maxCount");
    QTest::newRow("two") << "2" << 2;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("not a number") << "abc" << 0;
    QTest::newRow("padded") << " 4 " << 4;
}

void tst_CouponRows::maxCountFromIni()
{
    QFETCH(QString, value);
    QFETCH(int, maxCount);
    QCOMPARE(maxCountFrom(value), maxCount);
}

void tst_CouponRows::amountToPay_data()
{
    QTest::addColumn<QString>("trAmt");
    QTest::addColumn<QString>("text");
    QTest::newRow("cents only") << "7" << "0.07";
    QTest::newRow("large") << "1234567" << "12345.67";
    QTest::newRow("not a number") << "x" << "0.00";
    QTest::newRow("decimal input") << "1999.9" << "20.00";
}

void tst_CouponRows::amountToPay()
{
    QFETCH(QString, trAmt);
    QFETCH(QString, text);
    QCOMPARE(notPayText(trAmt), text);
}

void tst_CouponRows::columnsFillTheTable_data()
{
    QTest::addColumn<int>("tableWidth");
    QTest::addColumn<QVector<int>>("widths");
    QTest::newRow("1024") << 1024 << QVector<int>{33, 66, 198, 165, 79, 119, 165, 179};
    QTest::newRow("too narrow") << 200 << QVector<int>{6, 12, 36, 30, 0, 38, 30, 30};
}

void tst_CouponRows::columnsFillTheTable()
{
    QFETCH(int, tableWidth);
    QFETCH(QVector<int>, widths);
    QCOMPARE(columnWidths(tableWidth, 20), widths);
}

void tst_CouponRows::fontsFollowScreenWidth_data()
{
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QString>("topBarFont");
    QTest::addColumn<QString>("tableFont");
    QTest::newRow("800") << 800 << "font-size:18px;" << "font-size:10px}";
    QTest::newRow("801") << 801 << "font-size:20px;" << "font-size:14px}";
    QTest::newRow("1600") << 1600 << "font-size:24px;" << "font-size:17px}";
}

void tst_CouponRows::fontsFollowScreenWidth()
{
    QFETCH(int, screenWidth);
    QFETCH(QString, topBarFont);
    QFETCH(QString, tableFont);
    const ScreenStyles styles = stylesForScreenWidth(screenWidth);
    QVERIFY2(styles.topBar.endsWith(topBarFont), qPrintable(styles.topBar));
    QVERIFY2(styles.table.contains(tableFont), qPrintable(styles.table));
}

QTEST_GUILESS_MAIN(tst_CouponRows)
#include "tst_couponrows.moc"
