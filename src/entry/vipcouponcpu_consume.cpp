// Consuming the ticked coupons at the server in one request.
#include "entry/vipcouponcpu.h"

#include "gateway/replies.h"
#include "gateway/requests.h"

bool VipCouponCPU::BatchConsumeCoupons(QString &message)
{
    VipCouponWidget &dialog = m_VipCouponWidget;
    // The result documents report the sale flow number as the consumption sent it.
    dialog.m_TranMain.Mch = dialog.m_TranMain.saleNo;

    const QString body =
        MakeSignedBody(Gateway::batchConsumeParams(dialog.m_TranMain, dialog.m_SelCouponDetails, m_PluIndex));
    // Whatever the server may do with the request is on the disk before it leaves: a till that
    // dies while it waits cancels it at its next call.
    if (!m_Reversals.beginConsumption(Gateway::reversalParams(dialog.m_TranMain, dialog.m_SelCouponDetails), message))
        return false;
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("进行券核销接口"), QStringLiteral("调用开始"));

    QString reply;
    if (!SendRequest(Gateway::batchConsumePath(), body, reply, message)) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("批量券核销接口查询失败"), message);
        if (m_eLastServerSide == Gateway::ServerSide::Unknown)
            ReverseConsumption(message);
        else
            m_Reversals.consumptionRefused();
        return false;
    }
    if (!ParseBatchConsumeReply(reply, message)) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("批量券核销错误"), message);
        // Only the envelope's own "no" is a certain answer; anything else that came back may
        // stand for a consumption the server did carry out.
        if (Gateway::readEnvelope(reply).state != Gateway::EnvelopeState::Refused)
            ReverseConsumption(message);
        else
            m_Reversals.consumptionRefused();
        return false;
    }
    return true;
}

bool VipCouponCPU::ParseBatchConsumeReply(const QString &reply, QString &message)
{
    const Gateway::ConsumeReply parsed = Gateway::parseBatchConsumeReply(reply);
    writeLines(parsed.log);
    if (!parsed.ok)
        message = parsed.message;
    return parsed.ok;
}
