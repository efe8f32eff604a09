// Member lookup and the coupon list queries of the controller.
#include "entry/vipcouponcpu.h"

#include "gateway/replies.h"
#include "gateway/requests.h"

namespace {
// The controller's mode number: 0 the member's list, anything else the selection's.
Gateway::CouponListMode listModeOf(int mode)
{
    return mode == 0 ? Gateway::CouponListMode::Member : Gateway::CouponListMode::Selection;
}
}

bool VipCouponCPU::QueryVipInfo(QString &error)
{
    TranMainDetail &tranMain = m_VipCouponWidget.m_TranMain;
    const QString body = JsonToString(Gateway::vipInfoBody(tranMain));
    QString signedParams;
    const QString signature = MakeSign(Gateway::vipInfoSignParams(tranMain), signedParams);
    const QString path = Gateway::vipInfoPath() + signature + QLatin1Char('&') + signedParams;

    QString reply;
    QString transportError;
    if (!SendRequest(path, body, reply, transportError)) {
        error = QStringLiteral("会员查询接口失败");
        return false;
    }
    const Gateway::VipInfoReply parsed = Gateway::parseVipInfoReply(reply);
    if (!parsed.ok) {
        error = parsed.message;
        return false;
    }
    tranMain.vip_no = parsed.cardNo;
    return true;
}

bool VipCouponCPU::QueryCoupons(int mode, QList<VipCouponDetail> &coupons, QList<CouponPayDetail> &pays,
                                QList<GoodDetail> &goods, QString &error)
{
    VipCouponWidget &dialog = m_VipCouponWidget;
    if (dialog.m_TranMain.vip_no.isEmpty() && !dialog.m_TranMain.vip_id.isEmpty()) {
        if (!QueryVipInfo(error))
            return false;
    }
    if (dialog.m_TranMain.vip_no.isEmpty()) {
        error = QStringLiteral("非会员交易，不允许使用该支付方式");
        return false;
    }

    const Gateway::CouponListMode listMode = listModeOf(mode);
    Gateway::CouponQueryInput input;
    input.mode = listMode;
    input.tranMain = dialog.m_TranMain;
    input.goods = dialog.m_PluDetails;
    input.pays = dialog.m_TranPayDetails;
    input.optimalSolution = m_sOptimalSolution;
    input.optimalNum = m_sOptimalNum;
    input.memberPrice = dialog.HasMemberPrice();
    input.promotion = dialog.HasPromotion();
    if (listMode == Gateway::CouponListMode::Selection) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("选中券数量"),
                             QString::number(dialog.m_SelCouponDetails.size()));
        input.selected = dialog.m_SelCouponDetails;
    }
    const QString body = JsonToString(Gateway::couponQueryBody(input));
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("券查询接口参数"), body);

    QString signedParams;
    const QString signature = MakeSign(Gateway::couponQuerySignParams(dialog.m_TranMain), signedParams);
    const QString path = Gateway::couponListPath(listMode) + signature + QLatin1Char('&') + signedParams;

    const QString step = listMode == Gateway::CouponListMode::Selection
        ? QStringLiteral("选中此券并获取此券可用的其他优惠券列表 接口")
        : QStringLiteral("获取会员名下券 接口");
    m_LogWriter.WriteLog(LogModule::kLibrary, step, QStringLiteral("调用开始"));

    QString reply;
    if (!SendRequest(path, body, reply, error)) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("接口查询失败"), error);
        return false;
    }
    if (!ParseCouponList(mode, reply, coupons, pays, goods, error)) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("券查询错误"), error);
        return false;
    }
    m_LogWriter.WriteLog(LogModule::kLibrary, step, QStringLiteral("调用成功"));
    return true;
}

bool VipCouponCPU::ParseCouponList(int mode, const QString &reply, QList<VipCouponDetail> &coupons,
                                   QList<CouponPayDetail> &pays, QList<GoodDetail> &goods, QString &error)
{
    const Gateway::CouponListReply parsed =
        Gateway::parseCouponListReply(listModeOf(mode), reply, m_VipCouponWidget.m_TranMain.VipCouponNoCanShowType);
    writeLines(parsed.log);
    if (!parsed.ok) {
        error += parsed.message;
        return false;
    }
    coupons += parsed.coupons;
    pays += parsed.pays;
    goods += parsed.goods;
    return true;
}
