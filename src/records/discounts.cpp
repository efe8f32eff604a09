#include "records/discounts.h"

namespace Records {

bool hasPromotion(const QList<DscDetail> &discounts, LogLine &log)
{
    for (const DscDetail &line : discounts) {
        const QString &bill = line.probillno;
        if (bill == QLatin1String("0000") || bill == QLatin1String("2222"))
            continue;
        bool counts = true;
        if (bill == QLatin1String("1111"))
            counts = line.protype == QLatin1String("95");
        else if (bill == QLatin1String("3333"))
            counts = line.protype != QLatin1String("94") && line.protype != QLatin1String("TWZQ");
        if (counts) {
            log = {QStringLiteral("本单存在促销"),
                   QStringLiteral("m_probillno：") + line.probillno + QStringLiteral(",m_protype:") + line.protype};
            return true;
        }
    }
    log = {QStringLiteral("本单不存在促销"), QStringLiteral("优惠数量：") + QString::number(discounts.size())};
    return false;
}

bool hasMemberPrice(const QList<DscDetail> &discounts, LogLine &log)
{
    for (const DscDetail &line : discounts) {
        if (line.protype == QLatin1String("94")) {
            log = {QStringLiteral("本单存在会员优惠价格"), QStringLiteral("促销类型：") + line.protype};
            return true;
        }
    }
    log = {QStringLiteral("本单不存在会员优惠价格"), QStringLiteral("优惠数量：") + QString::number(discounts.size())};
    return false;
}

}
