#pragma once

#include <QList>
#include <QString>

#include "records/records.h"
#include "support/logline.h"

// The success result handed back to the host: amount text and the two XML documents.
namespace ResultDocuments {

struct SuccessResult
{
    QString amount; // parameter 7
    bool singlePayment = false; // no coupon payment lines: parameters 8 and 9 become empty, 12 untouched
    QString discountXml; // parameter 11
    QString paymentXml; // parameter 12, empty in the single-payment case
    LogLines log; // module "晟岚会员用券动态库", in order
};

SuccessResult buildSuccessResult(const TranMainDetail &tranMain, const QList<VipCouponDetail> &selected,
                                 const QList<GoodDetail> &goods, const QList<CouponPayDetail> &pays);

// Qt DOM serialisation, no indentation: "<?xml version='1.0' encoding='UTF-8'?>\n<DSC>...".
QString discountDocument(const QList<GoodDetail> &goods, const QString &couponCodes);
QString paymentDocument(const QList<CouponPayDetail> &pays, const QString &couponCodes, double discountTotal,
                        const QString &buyerNo);

}
