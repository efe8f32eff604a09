#include "ui/couponrows.h"

#include <QHash>

#include "support/amounts.h"

namespace CouponRows {

namespace {
constexpr const char *kAvailable = "1";
constexpr const char *kNotAvailable = "0";
constexpr const char *kShared = "1";

using Amounts::twoDecimals;
using Amounts::valueOf;
}

QString faceValueText(const VipCouponDetail &coupon)
{
    if (coupon.certiMeType == QLatin1String("1"))
        return coupon.certiMeMin + QLatin1Char('-') + coupon.certiMeMax;
    return coupon.certiMe;
}

QStringList rowCells(const VipCouponDetail &coupon, int rowIndex)
{
    const QString tick =
        coupon.availableFlag == QLatin1String(kNotAvailable) ? QString::fromLatin1(kUnusable) : coupon.checkFlag;
    return {QString::number(rowIndex + 1), tick,           coupon.certiInfoCode, coupon.certiInfoName,
            faceValueText(coupon),         coupon.enddate, coupon.depict,        coupon.unAvailableRemark};
}

RowLook initialLook(const VipCouponDetail &coupon)
{
    return coupon.availableFlag == QLatin1String(kNotAvailable) ? RowLook::Unusable : RowLook::Standard;
}

int indexOfCode(const QList<VipCouponDetail> &coupons, const QString &code)
{
    for (int i = 0; i < coupons.size(); ++i) {
        if (coupons.at(i).certiInfoCode == code)
            return i;
    }
    return -1;
}

ToggleOutcome toggleOutcome(const QString &tickCell, const VipCouponDetail &coupon,
                            const QList<VipCouponDetail> &selected, int maxCount)
{
    if (tickCell == QLatin1String(kTicked))
        return ToggleOutcome::Untick;
    if (tickCell != QLatin1String(kUnticked))
        return ToggleOutcome::Unchanged;
    if (coupon.availableFlag != QLatin1String(kAvailable))
        return ToggleOutcome::Unchanged;
    if (coupon.apportionType == QLatin1String(kShared) && maxCount > 0 && !selected.isEmpty()) {
        int shared = 0;
        for (const VipCouponDetail &ticked : selected) {
            if (ticked.apportionType == QLatin1String(kShared))
                ++shared;
        }
        if (shared >= maxCount)
            return ToggleOutcome::LimitReached;
    }
    return ToggleOutcome::Tick;
}

QString limitMessage(int maxCount)
{
    return QStringLiteral("优惠券最大可用数量为") + QString::number(maxCount);
}

QVector<RowRefresh> planRefresh(const QList<VipCouponDetail> &rows, const QList<VipCouponDetail> &answer)
{
    // Answer positions by code, in answer order, so each row only looks at its own candidates.
    QHash<QString, QVector<int>> byCode;
    byCode.reserve(answer.size());
    for (int i = 0; i < answer.size(); ++i)
        byCode[answer.at(i).certiInfoCode].append(i);

    QVector<RowRefresh> plan(rows.size());
    for (int row = 0; row < rows.size(); ++row) {
        const VipCouponDetail &current = rows.at(row);
        const auto candidates = byCode.constFind(current.certiInfoCode);
        if (candidates == byCode.constEnd())
            continue;
        const bool wasUsable = current.availableFlag == QLatin1String(kAvailable);
        const bool wasUnusable = current.availableFlag == QLatin1String(kNotAvailable);
        for (int index : candidates.value()) {
            const bool nowUnusable = answer.at(index).availableFlag == QLatin1String(kNotAvailable);
            if (nowUnusable && wasUsable) {
                plan[row] = {RefreshChange::BecomesUnusable, index};
                break;
            }
            if (!nowUnusable && wasUnusable) {
                plan[row] = {RefreshChange::BecomesUsable, index};
                break;
            }
        }
    }
    return plan;
}

int maxCountFrom(const QString &iniValue)
{
    bool ok = false;
    const int value = iniValue.trimmed().toInt(&ok);
    return ok && value > 0 ? value : 0;
}

QString notPayText(const QString &trAmtInHundredths)
{
    return twoDecimals(valueOf(trAmtInHundredths) / 100.0);
}

QString selectedAmountText(const QList<VipCouponDetail> &selected)
{
    double sum = 0.0;
    for (const VipCouponDetail &coupon : selected)
        sum += valueOf(coupon.realCertiMe);
    return twoDecimals(sum);
}

QVector<int> columnWidths(int tableWidth, int scrollBarWidth)
{
    const int w = tableWidth - scrollBarWidth;
    const int u = w / 30;
    // A table too narrow for the fixed 20-pixel shift gets an empty face-value column rather
    // than a negative width.
    return {u, 2 * u, 6 * u, 5 * u, qMax(0, 3 * u - 20), 3 * u + 20, 5 * u, w - 25 * u};
}

ScreenStyles stylesForScreenWidth(int screenWidth)
{
    int top = 20, totals = 16, help = 14, table = 14, header = 14;
    if (screenWidth > 1599) {
        top = 24;
        totals = 20;
        help = 18;
        table = 17;
        header = 18;
    } else if (screenWidth == 800) {
        top = 18;
        totals = 14;
        help = 14;
        table = 10;
        header = 10;
    }
    ScreenStyles styles;
    styles.topBar = QStringLiteral("\tborder-bottom:1px solid #999999;font-size:%1px;").arg(top);
    styles.totals = QStringLiteral("border-radius:6px;\nbackground-color: rgb(255, 255, 255);\n"
                                   "color: rgb(0, 0, 0);\nfont-size:%1px")
                        .arg(totals);
    styles.help = QStringLiteral("font-size:%1px").arg(help);
    styles.table = QStringLiteral("QTableView{border-radius:6px;color: #000000; font-size:%1px}"
                                  "QHeaderView::section{background: #DEE2ED;height:60px;"
                                  "border:none;color: #000000;}")
                       .arg(table);
    styles.header = QStringLiteral("QHeaderView::section{border:none;font-size:%1px;"
                                   "background: #DEE2ED;color:#4A4A4A;}")
                        .arg(header);
    return styles;
}

}
