#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include "gateway/requests.h"
#include "records/records.h"
#include "support/logline.h"

// Reading the server's answers. Every function here is pure: reply text in, records, the
// cashier's message and the log lines to write out. The caller writes the lines through its
// own writer with the module "SCRM批量用券动态库", in list order.
namespace Gateway {

// A JSON value in its text form: strings as they are, numbers as decimal text, anything else empty.
QString jsonText(const QJsonValue &value);

enum class EnvelopeState {
    NoAnswer, // not JSON, or an object without members
    NotObject, // JSON, but not an object
    MissingCode, // object without "code"
    Refused, // "code" is "1"
    Accepted // any other "code"
};

struct Envelope
{
    EnvelopeState state = EnvelopeState::NoAnswer;
    QJsonObject root;
    bool hasMsg = false;
    QString msg;
};
Envelope readEnvelope(const QString &reply);

// Coupon list queries "/posPortal/offlineCertiList" and "/posPortal/offlineCertiSelectList".
struct CouponListReply
{
    bool ok = false;
    QString message;
    QList<VipCouponDetail> coupons;
    QList<CouponPayDetail> pays;
    QList<GoodDetail> goods;
    LogLines log;
};
CouponListReply parseCouponListReply(CouponListMode mode, const QString &reply, const QString &vipCouponNoCanShowType);

// Member lookup "/posPortal/vipInfo".
struct VipInfoReply
{
    bool ok = false;
    QString message;
    QString cardNo;
};
VipInfoReply parseVipInfoReply(const QString &reply);

// Batch consumption "/posPortal/batchConsumeCerti".
struct ConsumeReply
{
    bool ok = false;
    QString message;
    LogLines log;
};
ConsumeReply parseBatchConsumeReply(const QString &reply);

// Cancellation "/posPortal/offlineCancelCerti". On a failing "data" entry, the coupons read
// before it stay in cancelled.
struct CancelReply
{
    bool ok = false;
    QString message;
    QList<VipCouponDetail> cancelled;
};
CancelReply parseCancelReply(const QString &reply);

}
