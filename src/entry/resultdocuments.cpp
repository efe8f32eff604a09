#include "entry/resultdocuments.h"

#include "support/amounts.h"

#include <cmath>

#include <QDomDocument>
#include <QDomElement>

namespace ResultDocuments {

namespace {

using Amounts::twoDecimals;

QDomDocument newDocument()
{
    QDomDocument document;
    document.appendChild(
        document.createProcessingInstruction(QStringLiteral("xml"), QStringLiteral("version='1.0' encoding='UTF-8'")));
    return document;
}

// No text node for an empty value: the host expects <X/> rather than <X></X>.
void appendField(QDomDocument &document, QDomElement &parent, const QString &name, const QString &value)
{
    QDomElement element = document.createElement(name);
    if (!value.isEmpty())
        element.appendChild(document.createTextNode(value));
    parent.appendChild(element);
}

struct DiscountCoupons
{
    QString codes;
    double sum = 0.0;
};

// Only coupons shared out over the goods lines (apportionment type "1") are discounts.
DiscountCoupons discountCoupons(const QList<VipCouponDetail> &selected)
{
    DiscountCoupons coupons;
    QStringList codes;
    for (const VipCouponDetail &coupon : selected) {
        if (coupon.apportionType != QLatin1String("1"))
            continue;
        codes.append(coupon.certiInfoCode);
        coupons.sum += Amounts::valueOf(coupon.realCertiMe);
    }
    coupons.codes = codes.join(QLatin1Char(';'));
    return coupons;
}

} // namespace

QString discountDocument(const QList<GoodDetail> &goods, const QString &couponCodes)
{
    QDomDocument document = newDocument();
    QDomElement dsc = document.createElement(QStringLiteral("DSC"));
    document.appendChild(dsc);
    QDomElement yh = document.createElement(QStringLiteral("Yh"));
    dsc.appendChild(yh);
    for (const GoodDetail &good : goods) {
        QDomElement line = document.createElement(QStringLiteral("YhD"));
        appendField(document, line, QStringLiteral("PluCode"), good.pluCode);
        appendField(document, line, QStringLiteral("PluId"), good.pluId);
        appendField(document, line, QStringLiteral("RowId"), good.index);
        appendField(document, line, QStringLiteral("DscTotal"), good.apportionAmount);
        appendField(document, line, QStringLiteral("DscCount"), good.transCount);
        appendField(document, line, QStringLiteral("CouponCode"), couponCodes);
        yh.appendChild(line);
    }
    return document.toString(-1);
}

QString paymentDocument(const QList<CouponPayDetail> &pays, const QString &couponCodes, double discountTotal,
                        const QString &buyerNo)
{
    QDomDocument document = newDocument();
    QDomElement op = document.createElement(QStringLiteral("Op"));
    document.appendChild(op);
    QDomElement zf = document.createElement(QStringLiteral("Zf"));
    op.appendChild(zf);
    for (const CouponPayDetail &pay : pays) {
        QDomElement line = document.createElement(QStringLiteral("zfR"));
        const bool isDiscountCoupon = pay.certiInfoCode == QLatin1String("YHQ");
        appendField(document, line, QStringLiteral("TradeNo"), isDiscountCoupon ? couponCodes : pay.certiInfoCode);
        // A zero payment line stands for coupons that went into the goods prices; the host
        // shows the discount they gave instead. The text is compared as sent: "0" is no match.
        if (pay.payTotal == QLatin1String("0.00") && discountTotal > 0)
            appendField(document, line, QStringLiteral("OtherInfo"),
                        QStringLiteral("SCRM优惠券：") + twoDecimals(discountTotal));
        appendField(document, line, QStringLiteral("BuyerNo"), buyerNo);
        appendField(document, line, QStringLiteral("Total"), pay.payTotal);
        zf.appendChild(line);
    }
    return document.toString(-1);
}

SuccessResult buildSuccessResult(const TranMainDetail &tranMain, const QList<VipCouponDetail> &selected,
                                 const QList<GoodDetail> &goods, const QList<CouponPayDetail> &pays)
{
    SuccessResult result;

    double amount = 0.0;
    if (tranMain.txn_type == QLatin1String("SALE")) {
        for (const CouponPayDetail &pay : pays)
            amount += Amounts::valueOf(pay.payTotal);
    } else {
        amount = Amounts::valueOf(tranMain.tr_amt) / 100.0;
    }
    result.amount = twoDecimals(amount * 100.0);

    const DiscountCoupons coupons = discountCoupons(selected);
    double lineSum = 0.0;
    for (const GoodDetail &good : goods)
        lineSum += Amounts::valueOf(good.apportionAmount);
    const double discountTotal = lineSum > 0 ? lineSum : coupons.sum;

    result.discountXml = discountDocument(goods, coupons.codes);
    result.log.append({QStringLiteral("psUdpOutXml1传出参数，交易成功"), result.discountXml});

    if (pays.isEmpty()) {
        result.singlePayment = true;
        result.amount = QStringLiteral("0.00");
        result.log.append({QStringLiteral("传出参数，交易成功，只存在一笔支付"), QString()});
        return result;
    }

    result.paymentXml = paymentDocument(pays, coupons.codes, discountTotal, tranMain.Mch);
    result.log.append({QStringLiteral("sUdpOutXml2传出参数，交易成功"), result.paymentXml});
    return result;
}

} // namespace ResultDocuments
