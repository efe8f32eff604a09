// Reversing a consumption whose outcome is unknown: the coupons may be spent at the server while
// the till records a failed payment. The journal's rules live in Reversals; here is how one
// cancellation goes to the server and what its answer means.
#include "entry/vipcouponcpu.h"

#include "gateway/replies.h"
#include "gateway/requests.h"

namespace {

ReversalAnswer::Kind kindOf(Gateway::Failure failure)
{
    switch (failure) {
    case Gateway::Failure::Unreachable:
        return ReversalAnswer::Kind::Unreachable;
    case Gateway::Failure::TimedOut:
        return ReversalAnswer::Kind::TimedOut;
    case Gateway::Failure::Dropped:
        return ReversalAnswer::Kind::Dropped;
    case Gateway::Failure::Rejected:
        return ReversalAnswer::Kind::Rejected;
    case Gateway::Failure::ServerError:
        break;
    }
    return ReversalAnswer::Kind::NoReply;
}

}

ReversalAnswer VipCouponCPU::sendReversal(const Gateway::ParamSet &params)
{
    ReversalAnswer answer;
    const QString body = MakeSignedBody(params);
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("撤销不确定核销接口入参"), body);
    QString reply;
    if (!SendRequest(Gateway::cancelPath(), body, reply, answer.detail)) {
        answer.kind = kindOf(m_eLastFailure);
        return answer;
    }
    const Gateway::Envelope envelope = Gateway::readEnvelope(reply);
    switch (envelope.state) {
    case Gateway::EnvelopeState::Refused:
        answer.kind = ReversalAnswer::Kind::Refused;
        answer.detail = envelope.msg;
        return answer;
    case Gateway::EnvelopeState::Accepted: {
        // Taken whatever it lists: sending it again would only be refused as already cancelled.
        answer.kind = ReversalAnswer::Kind::Taken;
        const Gateway::CancelReply parsed = Gateway::parseCancelReply(reply);
        answer.listsCodes = parsed.ok;
        for (const VipCouponDetail &coupon : parsed.cancelled)
            answer.cancelledCodes.append(coupon.certiInfoCode);
        return answer;
    }
    default:
        answer.kind = ReversalAnswer::Kind::NoReply;
        answer.detail = Gateway::parseCancelReply(reply).message;
        return answer;
    }
}

void VipCouponCPU::ReverseConsumption(QString &message)
{
    const bool answerMayStillLand =
        m_eLastFailure == Gateway::Failure::TimedOut || m_eLastFailure == Gateway::Failure::Dropped;
    message += m_Reversals.consumptionUncertain(message, answerMayStillLand);
}

void VipCouponCPU::RetryPendingReversals()
{
    m_Reversals.retryPending();
}

bool VipCouponCPU::ConfirmConsumptionHandedOver(QString &message)
{
    QString error;
    if (m_Reversals.consumptionHandedOver(error))
        return true;
    // Without the record the till cannot tell a later call that this payment stands: it is
    // given back rather than left to be cancelled behind the host's back.
    message = QStringLiteral("交易结果无法记录（") + error + QStringLiteral("）");
    ReverseConsumption(message);
    return false;
}
