// Giving consumed coupons back: the cancellation of this payment and the return of a sale.
#include "entry/vipcouponcpu.h"

#include "gateway/replies.h"
#include "gateway/requests.h"

bool VipCouponCPU::CancelPaymentCoupons(QString &message)
{
    VipCouponWidget &dialog = m_VipCouponWidget;
    const QString body = MakeSignedBody(Gateway::cancelPaymentParams(dialog.m_TranMain));
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("线下交易券撤销接口入参"), body);
    if (!SendCancelRequest(body, message))
        return false;

    CouponPayDetail line;
    line.certiInfoCode = dialog.m_TranMain.PayNo;
    dialog.m_CouponPayDetails.append(line);
    dialog.m_bPayOk = true;
    return true;
}

bool VipCouponCPU::ReturnCoupons(QString &message)
{
    VipCouponWidget &dialog = m_VipCouponWidget;
    const Gateway::RefundPlan plan = Gateway::planRefund(dialog.m_TranMain, m_PayRDetails, m_PayNowRDetails);
    writeLines(plan.log);
    if (!plan.ok) {
        message = plan.message;
        return false;
    }

    const QString body = MakeSignedBody(Gateway::returnParams(dialog.m_TranMain, plan.refunded));
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("线下交易券撤销接口入参"), body);
    if (!SendCancelRequest(body, message))
        return false;

    CouponPayDetail line;
    line.payTotal = plan.refunded.payTotal;
    line.certiInfoCode = plan.refunded.payNo;
    dialog.m_CouponPayDetails.append(line);
    dialog.m_bPayOk = true;
    return true;
}

bool VipCouponCPU::SendCancelRequest(const QString &body, QString &message)
{
    QString reply;
    QString transportError;
    if (!SendRequest(Gateway::cancelPath(), body, reply, transportError)) {
        message = QStringLiteral("线下交易券撤销接口失败") + transportError;
        return false;
    }
    const Gateway::CancelReply parsed = Gateway::parseCancelReply(reply);
    // Coupons read before a faulty entry stay recorded, as the server did cancel them.
    m_VipCouponWidget.m_SelCouponDetails += parsed.cancelled;
    if (!parsed.ok)
        message = parsed.message;
    return parsed.ok;
}
