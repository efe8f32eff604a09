// Reversing a consumption whose answer was lost: the coupons may be spent at the server while
// the till records a failed payment, so they are cancelled at once, and a cancellation that
// cannot be completed is journalled and sent again at the start of later calls.
#include "entry/vipcouponcpu.h"

#include <QDateTime>

#include "entry/pendingreversals.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "support/appsettings.h"

namespace {

QString journalPath()
{
    return PendingReversals::journalPath(AppSettings::applicationDir());
}

QString paramsText(const Gateway::ParamSet &params)
{
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs.append(it.key() + QLatin1Char('=') + it.value());
    return pairs.join(QLatin1Char('&'));
}

}

VipCouponCPU::ReversalResult VipCouponCPU::sendReversal(const Gateway::ParamSet &params, QString &detail)
{
    const QString body = MakeSignedBody(params);
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("撤销不确定核销接口入参"), body);
    QString reply;
    if (!SendRequest(Gateway::cancelPath(), body, reply, detail))
        return ReversalResult::Pending;
    const Gateway::Envelope envelope = Gateway::readEnvelope(reply);
    if (envelope.state == Gateway::EnvelopeState::Refused) {
        // The server has answered: either the consumption never took place, or it will not
        // give the coupons back. Sending again would not change its answer.
        detail = envelope.msg;
        return ReversalResult::Refused;
    }
    // Taken: what the reply lists of the cancelled coupons changes nothing for a reversal, and
    // sending it again would only be refused as already cancelled.
    if (envelope.state == Gateway::EnvelopeState::Accepted)
        return ReversalResult::Done;
    detail = Gateway::parseCancelReply(reply).message;
    return ReversalResult::Pending;
}

void VipCouponCPU::ReverseConsumption(QString &message)
{
    const TranMainDetail &tranMain = m_VipCouponWidget.m_TranMain;
    const Gateway::ParamSet params = Gateway::reversalParams(tranMain, m_VipCouponWidget.m_SelCouponDetails);
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("核销结果不确定，撤销本次核销"), message);

    QString detail;
    const ReversalResult result = sendReversal(params, detail);
    switch (result) {
    case ReversalResult::Done:
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销"), QStringLiteral("成功"));
        message += QStringLiteral("。用券支付未完成，本次核销已撤销，券已退回会员");
        return;
    case ReversalResult::Refused:
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销被服务器拒绝"), detail);
        message += QStringLiteral("。用券支付未完成，服务器未撤销本次核销（") + detail
            + QStringLiteral("），请联系管理员核对券状态");
        return;
    case ReversalResult::Pending:
        break;
    }

    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销失败，记录待撤销"), detail);
    Gateway::PendingReversal entry;
    entry.createdAt = QDateTime::currentDateTime().toString(Qt::ISODate);
    entry.reason = message;
    entry.attempts = 1;
    entry.params = params;
    QString journalError;
    std::optional<QList<Gateway::PendingReversal>> entries = PendingReversals::load(journalPath(), journalError);
    if (!journalError.isEmpty())
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录"), journalError);
    if (entries)
        entries->append(entry);
    if (!entries || !PendingReversals::save(journalPath(), *entries, journalError)) {
        // The log then is the only record: it carries everything support needs to cancel by hand.
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败，请人工撤销"),
                             journalError + QStringLiteral(" ") + paramsText(params));
        message += QStringLiteral("。用券支付未完成，本次核销撤销失败且无法记录，请联系管理员撤销");
        return;
    }
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录"), paramsText(params));
    message += QStringLiteral("。用券支付未完成，本次核销的撤销尚未完成，将在下一笔交易开始时自动重试");
}

void VipCouponCPU::RetryPendingReversals()
{
    QString journalError;
    const std::optional<QList<Gateway::PendingReversal>> entries = PendingReversals::load(journalPath(), journalError);
    if (!journalError.isEmpty())
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录"), journalError);
    if (!entries || entries->isEmpty())
        return;

    // Once one cancellation goes unanswered the server is most likely unreachable: the others
    // wait for the next call rather than hold the cashier for a time-out each.
    QList<Gateway::PendingReversal> remaining;
    bool unanswered = false;
    for (Gateway::PendingReversal entry : *entries) {
        if (unanswered) {
            remaining.append(entry);
            continue;
        }
        ++entry.attempts;
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销"),
                             QStringLiteral("第%1次 ").arg(entry.attempts) + paramsText(entry.params));
        QString detail;
        switch (sendReversal(entry.params, detail)) {
        case ReversalResult::Done:
            m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销"), QStringLiteral("成功"));
            break;
        case ReversalResult::Refused:
            m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销被服务器拒绝"), detail);
            break;
        case ReversalResult::Pending:
            m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销失败"), detail);
            remaining.append(entry);
            unanswered = true;
            break;
        }
    }
    if (remaining.size() > 1)
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销"),
                             QStringLiteral("留待下一笔交易：%1条").arg(remaining.size()));
    if (!PendingReversals::save(journalPath(), remaining, journalError))
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败"), journalError);
}
