// One server reply body through the parse of each of the five APIs. The transport hands the
// parsers the body decoded from UTF-8 up to its first NUL byte; the same happens here.

#include <cstddef>
#include <cstdint>

#include <QByteArray>

#include "fuzzchecks.h"
#include "gateway/replies.h"

namespace {

void checkCouponList(const Gateway::CouponListReply &reply)
{
    // Every check comes before the first append: a failure hands back no half-filled lists.
    if (!reply.ok) {
        FUZZ_CHECK(reply.coupons.isEmpty());
        FUZZ_CHECK(reply.pays.isEmpty());
        FUZZ_CHECK(reply.goods.isEmpty());
        return;
    }
    // The closing "YHQ" line comes exactly when goods lines carry a share.
    const bool endsWithCouponLine = !reply.pays.isEmpty() && reply.pays.last().certiInfoCode == QLatin1String("YHQ")
        && reply.pays.last().payTotal == QLatin1String("0.00");
    if (!reply.goods.isEmpty())
        FUZZ_CHECK(endsWithCouponLine);
    for (const GoodDetail &good : reply.goods) {
        FUZZ_CHECK(!good.apportionAmount.isEmpty());
        FUZZ_CHECK(good.apportionAmount != QLatin1String("0"));
    }
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<int>(size));
    const int nul = bytes.indexOf('\0');
    const QString reply = QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul));

    const Gateway::VipInfoReply vip = Gateway::parseVipInfoReply(reply);
    FUZZ_CHECK(vip.ok == vip.message.isEmpty());

    const Gateway::CouponListReply hidden =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Member, reply, QStringLiteral("0"));
    checkCouponList(hidden);
    const Gateway::CouponListReply shown =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Member, reply, QStringLiteral("1"));
    checkCouponList(shown);
    const Gateway::CouponListReply selected =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, reply, QStringLiteral("0"));
    checkCouponList(selected);
    // Hiding unavailable coupons can only drop some; the follow-up list keeps them all.
    FUZZ_CHECK(hidden.ok == shown.ok && shown.ok == selected.ok);
    FUZZ_CHECK(hidden.coupons.size() <= shown.coupons.size());
    FUZZ_CHECK(shown.coupons.size() == selected.coupons.size());

    const Gateway::ConsumeReply consume = Gateway::parseBatchConsumeReply(reply);
    FUZZ_CHECK(consume.ok == consume.message.isEmpty());
    // Batch consumption needs nothing beyond an accepted envelope: whatever another API
    // accepts, it accepts too.
    if (vip.ok || shown.ok)
        FUZZ_CHECK(consume.ok);

    const Gateway::CancelReply cancel = Gateway::parseCancelReply(reply);
    FUZZ_CHECK(cancel.ok == cancel.message.isEmpty());
    if (cancel.ok)
        FUZZ_CHECK(consume.ok);
    for (const VipCouponDetail &coupon : cancel.cancelled)
        FUZZ_CHECK(coupon.apportionType == QLatin1String("1") && coupon.goodsList.isEmpty());
    return 0;
}
