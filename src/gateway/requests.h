#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>

#include "gateway/signing.h"
#include "records/records.h"
#include "support/logline.h"

// What each server call sends, built from the call's records. Pure functions, no I/O.
namespace Gateway {

// The two coupon list queries: the member's whole list for this sale, and the list that fits
// the coupons ticked so far.
enum class CouponListMode { Member = 0, Selection = 1 };

// API paths. The query-form paths end in "?sign=" and are followed by the signature,
// "&" and the signed parameter text.
QString couponListPath(CouponListMode mode); // "/posPortal/offlineCertiList?sign=" or the select list
QString vipInfoPath(); // "/posPortal/vipInfo?sign="
QString batchConsumePath(); // "/posPortal/batchConsumeCerti"
QString cancelPath(); // "/posPortal/offlineCancelCerti"

struct CouponQueryInput
{
    CouponListMode mode = CouponListMode::Member;
    TranMainDetail tranMain;
    QList<PluDetail> goods;
    QList<TranPayDetail> pays;
    QList<VipCouponDetail> selected; // sent as "selectCertiItemList" for Selection only
    QString optimalSolution;
    QString optimalNum;
    bool promotion = false;
    bool memberPrice = false;
};
QJsonObject couponQueryBody(const CouponQueryInput &input);
ParamSet couponQuerySignParams(const TranMainDetail &tranMain); // orgCode, vipCode

QJsonObject vipInfoBody(const TranMainDetail &tranMain);
ParamSet vipInfoSignParams(const TranMainDetail &tranMain); // bizType, orgCode, vipInfoId

// Every parameter of the consumption, "certiList" included; "sign" is added by signFormBody.
// The department fields come from pluIndex by each goods line's outPluId.
ParamSet batchConsumeParams(const TranMainDetail &tranMain, const QList<VipCouponDetail> &selected,
                            const PluIndex &pluIndex);

// "A;B" -> ["A","B"] as compact JSON; empty parts are kept.
QString couponCodeArray(const QString &codes);
ParamSet cancelPaymentParams(const TranMainDetail &tranMain); // CANCEL
// The cancellation of a consumption whose outcome is unknown: the sale's bill and flow number
// (Mch, which the consumption set to saleNo) and the codes of exactly the coupons it sent.
ParamSet reversalParams(const TranMainDetail &tranMain, const QList<VipCouponDetail> &sent);
ParamSet returnParams(const TranMainDetail &tranMain, const TranPayDetail &refunded); // VOID

// Which coupon payment of an earlier sale a return gives back (VOID).
struct RefundPlan
{
    bool ok = false;
    QString message; // why nothing can be refunded
    TranPayDetail refunded; // the first remaining line, when ok
    LogLines log; // module "SCRM批量用券动态库"
};
RefundPlan planRefund(const TranMainDetail &tranMain, const QList<TranPayDetail> &payR,
                      const QList<TranPayDetail> &payNowR);

}
