#include "gateway/requests.h"

#include "support/amounts.h"

#include <cmath>

#include <QJsonArray>

namespace Gateway {

namespace {

using Amounts::twoDecimals;
using Amounts::valueOf;

QJsonObject goodsLineObject(const GoodDetail &good, const PluIndex &pluIndex)
{
    // The server knows the line by its own pluId; the department is ours, found by our goods id.
    const PluDetail plu = pluIndex.value(good.outPluId);
    QJsonObject o;
    o.insert(QStringLiteral("index"), good.index);
    o.insert(QStringLiteral("outPluId"), good.pluId);
    o.insert(QStringLiteral("pluCode"), good.pluCode);
    o.insert(QStringLiteral("pluName"), good.pluName);
    o.insert(QStringLiteral("transCount"), good.transCount);
    o.insert(QStringLiteral("shouldTotal"), good.shouldTotal);
    o.insert(QStringLiteral("actualAmount"), good.actualAmount);
    o.insert(QStringLiteral("shopClsId"), good.shopClsId);
    o.insert(QStringLiteral("shopClsCode"), good.shopClsCode);
    o.insert(QStringLiteral("brandId"), good.brandId);
    o.insert(QStringLiteral("brandCode"), good.brandCode);
    o.insert(QStringLiteral("apportionTotal"), good.apportionAmount);
    o.insert(QStringLiteral("unPayAmount"), good.unPayAmount);
    o.insert(QStringLiteral("depId"), plu.DepId);
    o.insert(QStringLiteral("depCode"), plu.Dep);
    o.insert(QStringLiteral("depName"), plu.DepName);
    return o;
}

}

QString couponListPath(CouponListMode mode)
{
    return mode == CouponListMode::Member ? QStringLiteral("/posPortal/offlineCertiList?sign=")
                                          : QStringLiteral("/posPortal/offlineCertiSelectList?sign=");
}

QString vipInfoPath()
{
    return QStringLiteral("/posPortal/vipInfo?sign=");
}

QString batchConsumePath()
{
    return QStringLiteral("/posPortal/batchConsumeCerti");
}

QString cancelPath()
{
    return QStringLiteral("/posPortal/offlineCancelCerti");
}

QJsonObject couponQueryBody(const CouponQueryInput &input)
{
    const TranMainDetail &head = input.tranMain;

    QJsonArray goods;
    for (const PluDetail &plu : input.goods) {
        QJsonObject o;
        o.insert(QStringLiteral("index"), plu.SeN);
        o.insert(QStringLiteral("outPluId"), plu.PI);
        o.insert(QStringLiteral("transCount"), plu.SC);
        o.insert(QStringLiteral("shouldTotal"), plu.YS);
        o.insert(QStringLiteral("actualAmount"), plu.ST);
        goods.append(o);
    }

    QJsonArray pays;
    for (const TranPayDetail &pay : input.pays) {
        QJsonObject o;
        o.insert(QStringLiteral("payCode"), pay.payCode);
        o.insert(QStringLiteral("payNo"), pay.payNo);
        o.insert(QStringLiteral("payTotal"), pay.payTotal);
        pays.append(o);
    }

    QJsonObject body;
    body.insert(QStringLiteral("bizBillNo"), head.bizBillNo);
    body.insert(QStringLiteral("code"), QString());
    body.insert(QStringLiteral("memPriceFlag"), input.memberPrice ? 1 : 0);
    body.insert(QStringLiteral("optimalNum"), input.optimalNum);
    body.insert(QStringLiteral("optimalSolution"), input.optimalSolution);
    body.insert(QStringLiteral("orderGoodsList"), goods);
    body.insert(QStringLiteral("orgCode"), head.OrgCode);
    body.insert(QStringLiteral("payList"), pays);
    body.insert(QStringLiteral("promFlag"), input.promotion ? 1 : 0);
    body.insert(QStringLiteral("saleNo"), head.saleNo);
    body.insert(QStringLiteral("vipCode"), head.vip_no);

    // Every mode but the first list goes to the select-list API, which needs the ticked coupons.
    if (input.mode == CouponListMode::Selection) {
        QJsonArray selected;
        for (const VipCouponDetail &coupon : input.selected) {
            QJsonObject o;
            o.insert(QStringLiteral("index"), coupon.index);
            o.insert(QStringLiteral("certiInfoId"), coupon.certiInfoId);
            selected.append(o);
        }
        body.insert(QStringLiteral("selectCertiItemList"), selected);
    }
    return body;
}

ParamSet couponQuerySignParams(const TranMainDetail &tranMain)
{
    return {{QStringLiteral("orgCode"), tranMain.OrgCode}, {QStringLiteral("vipCode"), tranMain.vip_no}};
}

QJsonObject vipInfoBody(const TranMainDetail &tranMain)
{
    QJsonObject body;
    body.insert(QStringLiteral("bizType"), QStringLiteral("0"));
    body.insert(QStringLiteral("orgCode"), tranMain.OrgCode);
    body.insert(QStringLiteral("vipInfoId"), tranMain.vip_id);
    return body;
}

ParamSet vipInfoSignParams(const TranMainDetail &tranMain)
{
    return {{QStringLiteral("bizType"), QStringLiteral("0")},
            {QStringLiteral("orgCode"), tranMain.OrgCode},
            {QStringLiteral("vipInfoId"), tranMain.vip_id}};
}

ParamSet batchConsumeParams(const TranMainDetail &tranMain, const QList<VipCouponDetail> &selected,
                            const PluIndex &pluIndex)
{
    QJsonArray coupons;
    for (const VipCouponDetail &coupon : selected) {
        QJsonArray goods;
        for (const GoodDetail &good : coupon.goodsList)
            goods.append(goodsLineObject(good, pluIndex));
        QJsonObject o;
        o.insert(QStringLiteral("index"), coupon.index);
        o.insert(QStringLiteral("certiCode"), coupon.certiInfoCode);
        o.insert(QStringLiteral("conSumeTotal"), coupon.realCertiMe);
        o.insert(QStringLiteral("goodList"), goods);
        coupons.append(o);
    }

    ParamSet params;
    params.insert(QStringLiteral("orgCode"), tranMain.OrgCode);
    params.insert(QStringLiteral("ywType"), QStringLiteral("0"));
    params.insert(QStringLiteral("vipInfoId"), tranMain.vip_id);
    params.insert(QStringLiteral("bizBillNo"), tranMain.bizBillNo);
    params.insert(QStringLiteral("saleNo"), tranMain.saleNo);
    params.insert(QStringLiteral("actualAmount"), tranMain.SsTotal);
    params.insert(QStringLiteral("certiList"), jsonToString(coupons));
    return params;
}

QString couponCodeArray(const QString &codes)
{
    QJsonArray array;
    const QStringList parts = codes.split(QLatin1Char(';'), Qt::KeepEmptyParts);
    for (const QString &part : parts)
        array.append(part);
    return jsonToString(array);
}

ParamSet cancelPaymentParams(const TranMainDetail &tranMain)
{
    ParamSet params;
    params.insert(QStringLiteral("orgCode"), tranMain.OrgCode);
    params.insert(QStringLiteral("vipInfoId"), tranMain.vip_id);
    params.insert(QStringLiteral("origBizBillNo"), tranMain.bizBillNo);
    params.insert(QStringLiteral("origSaleNo"), tranMain.Mch);
    params.insert(QStringLiteral("code"), couponCodeArray(tranMain.PayNo));
    return params;
}

ParamSet reversalParams(const TranMainDetail &tranMain, const QList<VipCouponDetail> &sent)
{
    // The cancellation of this payment, for the coupons the consumption sent.
    QJsonArray codes;
    for (const VipCouponDetail &coupon : sent)
        codes.append(coupon.certiInfoCode);
    ParamSet params = cancelPaymentParams(tranMain);
    params.insert(QStringLiteral("code"), jsonToString(codes));
    return params;
}

ParamSet returnParams(const TranMainDetail &tranMain, const TranPayDetail &refunded)
{
    ParamSet params;
    params.insert(QStringLiteral("orgCode"), tranMain.OrgCode);
    params.insert(QStringLiteral("vipInfoId"), tranMain.vip_id);
    params.insert(QStringLiteral("origBizBillNo"), tranMain.oriBillNo);
    params.insert(QStringLiteral("origSaleNo"), refunded.extPayNo.isEmpty() ? tranMain.oriSaleNo : refunded.extPayNo);
    params.insert(QStringLiteral("code"), couponCodeArray(refunded.payNo));
    return params;
}

RefundPlan planRefund(const TranMainDetail &tranMain, const QList<TranPayDetail> &payR,
                      const QList<TranPayDetail> &payNowR)
{
    RefundPlan plan;
    if (payR.isEmpty()) {
        plan.message = QStringLiteral("非原单退货不允许进行退券操作");
        return plan;
    }

    // Coupons go back only with the whole bill: the original payments must add up to the return.
    double paidTotal = 0;
    for (const TranPayDetail &pay : payR)
        paidTotal += valueOf(pay.payTotal);
    const double returnTotal = std::fabs(valueOf(tranMain.SsTotal));
    if (twoDecimals(returnTotal) != twoDecimals(std::fabs(paidTotal))) {
        plan.log.append({QStringLiteral("1说明不是整单的全部退货"), twoDecimals(paidTotal)});
        plan.log.append({QStringLiteral("2说明不是整单的全部退货"), QString::number(returnTotal, 'g', 6)});
        plan.message = QStringLiteral("部分退货时不允许进行退券操作");
        return plan;
    }

    // tr_amt is in hundredths; the limit applies to each coupon payment on its own.
    bool ok = false;
    const qint64 hundredths = tranMain.tr_amt.toLongLong(&ok, 10);
    const double limit = ok ? std::fabs(static_cast<double>(hundredths)) / 100.0 : 0.0;

    QList<TranPayDetail> toRefund;
    for (const TranPayDetail &pay : payR) {
        if (pay.payCode == tranMain.pay_code && valueOf(pay.payTotal) <= limit) {
            plan.log.append({QStringLiteral("口碑券待退款券号："), pay.payNo});
            toRefund.append(pay);
        }
    }
    QList<TranPayDetail> refunded;
    for (const TranPayDetail &pay : payNowR) {
        if (pay.payCode == tranMain.pay_code) {
            plan.log.append({QStringLiteral("口碑券已经退款券号："), pay.payNo});
            refunded.append(pay);
        }
    }

    // An earlier refund cancels one matching coupon payment; the host may round the amount
    // it stored, hence the tolerance.
    for (int i = 0; i < toRefund.size();) {
        const double wanted = std::fabs(valueOf(toRefund.at(i).payTotal));
        int match = -1;
        for (int j = 0; j < refunded.size(); ++j) {
            if (refunded.at(j).payNo == toRefund.at(i).payNo
                && std::fabs(wanted - std::fabs(valueOf(refunded.at(j).payTotal))) < 0.1) {
                match = j;
                break;
            }
        }
        if (match < 0) {
            ++i;
            continue;
        }
        refunded.removeAt(match);
        toRefund.removeAt(i);
    }

    if (toRefund.isEmpty()) {
        plan.message = QStringLiteral("无可退的券或券退款金额录入不正确");
        return plan;
    }
    plan.refunded = toRefund.first();
    plan.ok = true;
    return plan;
}

}
