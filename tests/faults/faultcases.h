#pragma once

// The five server operations and the server faults they are tried against, shared by the fault
// tests and the benchmark that times them.

#include <QString>
#include <QStringList>

#include "entry/vipcouponcpu.h"
#include "support/testsupport.h"

namespace FaultCases {

enum class Api { MemberLookup, CouponList, CouponSelection, BatchConsume, Cancellation };

inline QList<Api> apis()
{
    return {Api::MemberLookup, Api::CouponList, Api::CouponSelection, Api::BatchConsume, Api::Cancellation};
}

inline QString apiName(Api api)
{
    switch (api) {
    case Api::MemberLookup: return QStringLiteral("lookup");
    case Api::CouponList: return QStringLiteral("list0");
    case Api::CouponSelection: return QStringLiteral("list1");
    case Api::BatchConsume: return QStringLiteral("consume");
    case Api::Cancellation: return QStringLiteral("cancel");
    }
    return QString();
}

// Each names a scenario tests/data/faults/<name>.json, except "refused": nothing listens.
inline QStringList faults()
{
    return {QStringLiteral("refused"), QStringLiteral("no-answer"), QStringLiteral("drop"), QStringLiteral("cut"),
            QStringLiteral("http400"), QStringLiteral("http404"), QStringLiteral("http500"),
            QStringLiteral("redirect"), QStringLiteral("not-json"), QStringLiteral("empty"), QStringLiteral("huge"),
            QStringLiteral("trickle"), QStringLiteral("trickle-past-timeout"), QStringLiteral("late")};
}

inline QString scenarioPath(const QString &fault)
{
    return TestSupport::fixturePath(QStringLiteral("faults/") + fault + QStringLiteral(".json"));
}

// A sale as the entry would have parsed it: member V0001 / 13800000001 of A01, one ticked
// coupon, a coupon payment line to cancel.
inline void fillSale(VipCouponCPU &cpu)
{
    TranMainDetail &main = cpu.m_VipCouponWidget.m_TranMain;
    main.vip_id = QStringLiteral("V0001");
    main.vip_no = QStringLiteral("13800000001");
    main.OrgCode = QStringLiteral("A01");
    main.saleNo = QStringLiteral("S20261206001");
    main.bizBillNo = QStringLiteral("B20261206001");
    main.SsTotal = QStringLiteral("50.00");
    main.PayNo = QStringLiteral("Q20240001");
    main.Mch = QStringLiteral("S20261206001");
    main.VipCouponNoCanShowType = QStringLiteral("1");
    PluDetail plu;
    plu.PI = QStringLiteral("P001");
    plu.SeN = QStringLiteral("1");
    plu.SC = QStringLiteral("1");
    plu.YS = QStringLiteral("50.00");
    plu.ST = QStringLiteral("50.00");
    cpu.m_VipCouponWidget.m_PluDetails = {plu};
    VipCouponDetail coupon;
    coupon.certiInfoId = QStringLiteral("C1001");
    coupon.certiInfoCode = QStringLiteral("Q20240001");
    coupon.realCertiMe = QStringLiteral("5.00");
    cpu.m_VipCouponWidget.m_SelCouponDetails = {coupon};
}

// Runs the operation the way its caller does; the member lookup starts from the member id alone.
inline bool call(VipCouponCPU &cpu, Api api, QString &message)
{
    QList<VipCouponDetail> coupons;
    QList<CouponPayDetail> pays;
    QList<GoodDetail> goods;
    switch (api) {
    case Api::MemberLookup:
        cpu.m_VipCouponWidget.m_TranMain.vip_no.clear();
        return cpu.QueryVipInfo(message);
    case Api::CouponList:
        return cpu.QueryCoupons(0, coupons, pays, goods, message);
    case Api::CouponSelection:
        return cpu.QueryCoupons(1, coupons, pays, goods, message);
    case Api::BatchConsume:
        return cpu.BatchConsumeCoupons(message);
    case Api::Cancellation:
        return cpu.CancelPaymentCoupons(message);
    }
    return false;
}

}

Q_DECLARE_METATYPE(FaultCases::Api)
