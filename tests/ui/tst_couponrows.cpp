#include <QTest>

#include "ui/couponrows.h"

using namespace CouponRows;

Q_DECLARE_METATYPE(CouponRows::ToggleOutcome)
Q_DECLARE_METATYPE(CouponRows::RefreshChange)
Q_DECLARE_METATYPE(CouponRows::RowLook)

namespace {

VipCouponDetail coupon(const QString &code, const QString &available = QStringLiteral("1"),
                       const QString &apportion = QStringLiteral("1"))
{
    VipCouponDetail c;
    c.certiInfoCode = code;
    c.availableFlag = available;
    c.apportionType = apportion;
    return c;
}

VipCouponDetail withAmount(const QString &realCertiMe)
{
    VipCouponDetail c;
    c.realCertiMe = realCertiMe;
    return c;
}

}

class tst_CouponRows : public QObject
{
    Q_OBJECT
private slots:
    void rowCellsShowTheCoupon_data();
    void rowCellsShowTheCoupon();
    void unusableCouponsStartGrey_data();
    void unusableCouponsStartGrey();
    void tapDecidesTheTick_data();
    void tapDecidesTheTick();
    void limitMessageNamesTheMaximum();
    void firstRowWithCodeIsFound_data();
    void firstRowWithCodeIsFound();
    void answerChangesRows_data();
    void answerChangesRows();
    void maxCountFromIni_data();
    void maxCountFromIni();
    void amountToPay_data();
    void amountToPay();
    void selectedAmount_data();
    void selectedAmount();
    void columnWidthsFillTheTable_data();
    void columnWidthsFillTheTable();
    void stylesFollowScreenWidth_data();
    void stylesFollowScreenWidth();
    void widestScreenStyleTexts();
};

void tst_CouponRows::rowCellsShowTheCoupon_data()
{
    QTest::addColumn<QString>("availableFlag");
    QTest::addColumn<QString>("checkFlag");
    QTest::addColumn<QString>("meType");
    QTest::addColumn<int>("rowIndex");
    QTest::addColumn<QStringList>("cells");

    QTest::newRow("plain value") << "1" << "0" << "0" << 0
        << QStringList{"1", "0", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""};
    QTest::newRow("range value") << "1" << "0" << "1" << 4
        << QStringList{"5", "0", "C001", "满100减10", "5-20", "2030-12-31", "全场通用", ""};
    QTest::newRow("pre-ticked") << "1" << "1" << "0" << 1
        << QStringList{"2", "1", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""};
    QTest::newRow("not usable wins over tick") << "0" << "1" << "0" << 2
        << QStringList{"3", "2", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""};
    QTest::newRow("other available flag") << "9" << "0" << "2" << 9
        << QStringList{"10", "0", "C001", "满100减10", "10", "2030-12-31", "全场通用", ""};
}

void tst_CouponRows::rowCellsShowTheCoupon()
{
    QFETCH(QString, availableFlag);
    QFETCH(QString, checkFlag);
    QFETCH(QString, meType);
    QFETCH(int, rowIndex);
    QFETCH(QStringList, cells);

    VipCouponDetail c;
    c.certiInfoCode = QStringLiteral("C001");
    c.certiInfoName = QStringLiteral("满100减10");
    c.certiMe = QStringLiteral("10");
    c.certiMeType = meType;
    c.certiMeMin = QStringLiteral("5");
    c.certiMeMax = QStringLiteral("20");
    c.enddate = QStringLiteral("2030-12-31");
    c.depict = QStringLiteral("全场通用");
    c.availableFlag = availableFlag;
    c.checkFlag = checkFlag;
    QCOMPARE(rowCells(c, rowIndex), cells);
}

void tst_CouponRows::unusableCouponsStartGrey_data()
{
    QTest::addColumn<QString>("availableFlag");
    QTest::addColumn<QString>("checkFlag");
    QTest::addColumn<RowLook>("look");
    QTest::newRow("usable") << "1" << "0" << RowLook::Standard;
    QTest::newRow("usable pre-ticked") << "1" << "1" << RowLook::Standard;
    QTest::newRow("not usable") << "0" << "0" << RowLook::Unusable;
    QTest::newRow("empty flag") << "" << "0" << RowLook::Standard;
}

void tst_CouponRows::unusableCouponsStartGrey()
{
    QFETCH(QString, availableFlag);
    QFETCH(QString, checkFlag);
    QFETCH(RowLook, look);
    VipCouponDetail c = coupon(QStringLiteral("A"), availableFlag);
    c.checkFlag = checkFlag;
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
    QTest::newRow("not usable stays") << "2" << "0" << "1" << QStringList{} << 0 << ToggleOutcome::Unchanged;
    QTest::newRow("unknown cell stays") << "" << "1" << "1" << QStringList{} << 0 << ToggleOutcome::Unchanged;
    QTest::newRow("unticked ticks") << "0" << "1" << "1" << QStringList{} << 0 << ToggleOutcome::Tick;
    QTest::newRow("unticked but flag 0") << "0" << "0" << "1" << QStringList{} << 0 << ToggleOutcome::Unchanged;
    QTest::newRow("unticked but flag 2") << "0" << "2" << "1" << QStringList{} << 0 << ToggleOutcome::Unchanged;
    QTest::newRow("max 2 reached") << "0" << "1" << "1" << QStringList{"1", "1"} << 2 << ToggleOutcome::LimitReached;
    QTest::newRow("max 2 one ticked") << "0" << "1" << "1" << QStringList{"1"} << 2 << ToggleOutcome::Tick;
    QTest::newRow("max 2 other kinds ticked") << "0" << "1" << "1" << QStringList{"1", "2", "0"} << 2 << ToggleOutcome::Tick;
    QTest::newRow("max 2 other kind tapped") << "0" << "1" << "2" << QStringList{"1", "1"} << 2 << ToggleOutcome::Tick;
    QTest::newRow("max 1 reached") << "0" << "1" << "1" << QStringList{"1"} << 1 << ToggleOutcome::LimitReached;
    QTest::newRow("max exceeded") << "0" << "1" << "1" << QStringList{"1", "1", "1"} << 2 << ToggleOutcome::LimitReached;
    QTest::newRow("no limit") << "0" << "1" << "1" << QStringList{"1", "1", "1"} << 0 << ToggleOutcome::Tick;
    QTest::newRow("negative is no limit") << "0" << "1" << "1" << QStringList{"1", "1"} << -1 << ToggleOutcome::Tick;
    QTest::newRow("untick ignores limit") << "1" << "1" << "1" << QStringList{"1", "1"} << 1 << ToggleOutcome::Untick;
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
        selected.append(coupon(QStringLiteral("S%1").arg(selected.size()), QStringLiteral("1"), kind));
    QCOMPARE(toggleOutcome(tickCell, coupon(QStringLiteral("T"), availableFlag, apportionType),
                           selected, maxCount),
             outcome);
}

void tst_CouponRows::limitMessageNamesTheMaximum()
{
    QCOMPARE(limitMessage(2), QStringLiteral("优惠券最大可用数量为2"));
    QCOMPARE(limitMessage(15), QStringLiteral("优惠券最大可用数量为15"));
}

void tst_CouponRows::firstRowWithCodeIsFound_data()
{
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("index");
    QTest::newRow("empty list") << QStringList{} << "A" << -1;
    QTest::newRow("missing") << QStringList{"A", "B"} << "C" << -1;
    QTest::newRow("first of two") << QStringList{"B", "A", "A"} << "A" << 1;
    QTest::newRow("case matters") << QStringList{"a"} << "A" << -1;
}

void tst_CouponRows::firstRowWithCodeIsFound()
{
    QFETCH(QStringList, codes);
    QFETCH(QString, code);
    QFETCH(int, index);
    QList<VipCouponDetail> list;
    for (const QString &c : codes)
        list.append(coupon(c));
    QCOMPARE(indexOfCode(list, code), index);
}

void tst_CouponRows::answerChangesRows_data()
{
    // Rows and answer as "code:availableFlag" pairs; the plan as "change@answerIndex" per row.
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("answer");
    QTest::addColumn<QStringList>("plan");

    QTest::newRow("usable becomes unusable") << QStringList{"A:1"} << QStringList{"A:0"}
                                             << QStringList{"unusable@0"};
    QTest::newRow("unusable becomes usable") << QStringList{"A:0"} << QStringList{"A:1"}
                                             << QStringList{"usable@0"};
    QTest::newRow("other flag counts as usable") << QStringList{"A:0"} << QStringList{"A:7"}
                                                 << QStringList{"usable@0"};
    QTest::newRow("no change") << QStringList{"A:1", "B:0"} << QStringList{"B:0", "A:1"}
                               << QStringList{"none", "none"};
    QTest::newRow("unmatched row stays") << QStringList{"A:1", "B:1"} << QStringList{"B:0"}
                                         << QStringList{"none", "unusable@0"};
    QTest::newRow("extra answer ignored") << QStringList{"A:1"} << QStringList{"Z:0", "A:1"}
                                          << QStringList{"none"};
    QTest::newRow("first changing duplicate wins") << QStringList{"A:1"}
                                                   << QStringList{"A:1", "A:0", "A:0"}
                                                   << QStringList{"unusable@1"};
    QTest::newRow("row flag 2 is neither") << QStringList{"A:2"} << QStringList{"A:0", "A:1"}
                                           << QStringList{"none"};
    QTest::newRow("empty answer") << QStringList{"A:1", "B:0"} << QStringList{}
                                  << QStringList{"none", "none"};
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
            list.append(coupon(pair.section(':', 0, 0), pair.section(':', 1, 1)));
        return list;
    };
    QStringList actual;
    for (const RowRefresh &step : planRefresh(toCoupons(rows), toCoupons(answer))) {
        switch (step.change) {
        case RefreshChange::None:
            actual << QStringLiteral("none");
            break;
        case RefreshChange::BecomesUnusable:
            actual << QStringLiteral("unusable@%1").arg(step.answerIndex);
            break;
        case RefreshChange::BecomesUsable:
            actual << QStringLiteral("usable@%1").arg(step.answerIndex);
            break;
        }
    }
    QCOMPARE(actual, plan);
}

void tst_CouponRows::maxCountFromIni_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("maxCount");
    QTest::newRow("two") << "2" << 2;
    QTest::newRow("zero") << "0" << 0;
    QTest::newRow("negative") << "-3" << 0;
    QTest::newRow("missing") << "" << 0;
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
    QTest::newRow("1250") << "1250" << "12.50";
    QTest::newRow("cents only") << "7" << "0.07";
    QTest::newRow("large") << "1234567" << "12345.67";
    QTest::newRow("empty") << "" << "0.00";
    QTest::newRow("not a number") << "x" << "0.00";
    QTest::newRow("decimal input") << "1999.9" << "20.00";
}

void tst_CouponRows::amountToPay()
{
    QFETCH(QString, trAmt);
    QFETCH(QString, text);
    QCOMPARE(notPayText(trAmt), text);
}

void tst_CouponRows::selectedAmount_data()
{
    QTest::addColumn<QStringList>("amounts");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << QStringList{} << "0.00";
    QTest::newRow("one") << QStringList{"10"} << "10.00";
    QTest::newRow("sum") << QStringList{"10.5", "2.25", "0.1"} << "12.85";
    QTest::newRow("non-number counts 0") << QStringList{"5", "abc", ""} << "5.00";
}

void tst_CouponRows::selectedAmount()
{
    QFETCH(QStringList, amounts);
    QFETCH(QString, text);
    QList<VipCouponDetail> selected;
    for (const QString &amount : amounts)
        selected.append(withAmount(amount));
    QCOMPARE(selectedAmountText(selected), text);
}

void tst_CouponRows::columnWidthsFillTheTable_data()
{
    QTest::addColumn<int>("tableWidth");
    QTest::addColumn<int>("scrollBarWidth");
    QTest::addColumn<QVector<int>>("widths");
    QTest::newRow("1024") << 1024 << 20 << QVector<int>{33, 66, 198, 165, 79, 119, 165, 179};
    QTest::newRow("780") << 780 << 20 << QVector<int>{25, 50, 150, 125, 55, 95, 125, 135};
    QTest::newRow("1900") << 1900 << 20 << QVector<int>{62, 124, 372, 310, 166, 206, 310, 330};
    QTest::newRow("too narrow") << 200 << 20 << QVector<int>{6, 12, 36, 30, 0, 38, 30, 30};
}

void tst_CouponRows::columnWidthsFillTheTable()
{
    QFETCH(int, tableWidth);
    QFETCH(int, scrollBarWidth);
    QFETCH(QVector<int>, widths);
    QCOMPARE(columnWidths(tableWidth, scrollBarWidth), widths);
}

void tst_CouponRows::stylesFollowScreenWidth_data()
{
    QTest::addColumn<int>("screenWidth");
    QTest::addColumn<QString>("topBar");
    QTest::addColumn<QString>("help");
    QTest::addColumn<QString>("tableFont");
    QTest::addColumn<QString>("headerFont");
    QTest::addColumn<QString>("totalsFont");
    QTest::newRow("800") << 800 << "\tborder-bottom:1px solid #999999;font-size:18px;"
                         << "font-size:14px" << "font-size:10px}" << "font-size:10px;" << "font-size:14px";
    QTest::newRow("801") << 801 << "\tborder-bottom:1px solid #999999;font-size:20px;"
                         << "font-size:14px" << "font-size:14px}" << "font-size:14px;" << "font-size:16px";
    QTest::newRow("1024") << 1024 << "\tborder-bottom:1px solid #999999;font-size:20px;"
                          << "font-size:14px" << "font-size:14px}" << "font-size:14px;" << "font-size:16px";
    QTest::newRow("1599") << 1599 << "\tborder-bottom:1px solid #999999;font-size:20px;"
                          << "font-size:14px" << "font-size:14px}" << "font-size:14px;" << "font-size:16px";
    QTest::newRow("1600") << 1600 << "\tborder-bottom:1px solid #999999;font-size:24px;"
                          << "font-size:18px" << "font-size:17px}" << "font-size:18px;" << "font-size:20px";
    QTest::newRow("640") << 640 << "\tborder-bottom:1px solid #999999;font-size:20px;"
                         << "font-size:14px" << "font-size:14px}" << "font-size:14px;" << "font-size:16px";
}

void tst_CouponRows::stylesFollowScreenWidth()
{
    QFETCH(int, screenWidth);
    QFETCH(QString, topBar);
    QFETCH(QString, help);
    QFETCH(QString, tableFont);
    QFETCH(QString, headerFont);
    QFETCH(QString, totalsFont);
    const ScreenStyles styles = stylesForScreenWidth(screenWidth);
    QCOMPARE(styles.topBar, topBar);
    QCOMPARE(styles.help, help);
    QVERIFY2(styles.table.contains(tableFont), qPrintable(styles.table));
    QVERIFY2(styles.header.contains(headerFont), qPrintable(styles.header));
    QVERIFY2(styles.totals.endsWith(totalsFont), qPrintable(styles.totals));
}

void tst_CouponRows::widestScreenStyleTexts()
{
    const ScreenStyles styles = stylesForScreenWidth(1920);
    QCOMPARE(styles.topBar, QStringLiteral("\tborder-bottom:1px solid #999999;font-size:24px;"));
    QCOMPARE(styles.totals, QStringLiteral("border-radius:6px;\nbackground-color: rgb(255, 255, 255);\n"
                                           "color: rgb(0, 0, 0);\nfont-size:20px"));
    QCOMPARE(styles.help, QStringLiteral("font-size:18px"));
    QCOMPARE(styles.table, QStringLiteral("QTableView{border-radius:6px;color: #000000; font-size:17px}"
                                          "QHeaderView::section{background: #DEE2ED;height:60px;"
                                          "border:none;color: #000000;}"));
    QCOMPARE(styles.header, QStringLiteral("QHeaderView::section{border:none;font-size:18px;"
                                           "background: #DEE2ED;color:#4A4A4A;}"));
}

QTEST_GUILESS_MAIN(tst_CouponRows)
#include "tst_couponrows.moc"
