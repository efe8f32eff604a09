#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include "records/records.h"

// The coupon table's decisions, kept free of widgets: what a row shows, how a tap changes it,
// what a server answer does to it, and how the table is laid out for a screen.
namespace CouponRows {

constexpr int kColumnCount = 8;
constexpr int kTickColumn = 1;
constexpr int kCodeColumn = 2;
constexpr int kRuleColumn = 6;
constexpr int kRemarkColumn = 7;
constexpr int kRowHeight = 50;

// Texts of the tick column.
constexpr const char *kTicked = "1";
constexpr const char *kUnticked = "0";
constexpr const char *kUnusable = "2";

// Face value: a range for range coupons ("1"), else the plain value.
QString faceValueText(const VipCouponDetail &coupon);
// The eight cells of a freshly filled row; rowIndex counts from 0, the row number shown from 1.
QStringList rowCells(const VipCouponDetail &coupon, int rowIndex);

enum class RowLook { Standard, Ticked, Unusable };
// The look a freshly filled row starts with: a pre-ticked usable coupon keeps the plain look.
RowLook initialLook(const VipCouponDetail &coupon);

enum class ToggleOutcome { Unchanged, Untick, Tick, LimitReached };
// What a tap on the tick column does. maxCount <= 0 means no limit; only coupons shared over
// the goods ("apportionType" "1") count towards it.
ToggleOutcome toggleOutcome(const QString &tickCell, const VipCouponDetail &coupon,
                            const QList<VipCouponDetail> &selected, int maxCount);
// Index of the first coupon with this code, or -1.
int indexOfCode(const QList<VipCouponDetail> &coupons, const QString &code);
QString limitMessage(int maxCount);

enum class RefreshChange { None, BecomesUnusable, BecomesUsable };
struct RowRefresh
{
    RefreshChange change = RefreshChange::None;
    int answerIndex = -1; // the answer's coupon that replaces the row's coupon
};
// For every row, the first coupon of the answer with the row's code that changes the row.
// Linear in rows plus answer, so a re-query stays cheap on long coupon lists.
QVector<RowRefresh> planRefresh(const QList<VipCouponDetail> &rows, const QList<VipCouponDetail> &answer);

// "Config/DiscountCountMax": a negative or non-numeric value means no limit (0).
int maxCountFrom(const QString &iniValue);

// Amounts shown in the totals box, two decimals.
QString notPayText(const QString &trAmtInHundredths);
QString selectedAmountText(const QList<VipCouponDetail> &selected);

// Widths of the eight columns; they add up to the table width less the scroll bar (for any
// table wider than about 200 pixels).
QVector<int> columnWidths(int tableWidth, int scrollBarWidth);

struct ScreenStyles
{
    QString topBar;
    QString totals;
    QString help;
    QString table;
    QString header;
};
ScreenStyles stylesForScreenWidth(int screenWidth);

}
