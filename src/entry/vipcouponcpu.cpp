#include "entry/vipcouponcpu.h"

#include <QCoreApplication>

#include "records/inputdocuments.h"
#include "support/appsettings.h"

VipCouponCPU::VipCouponCPU()
    : QObject(nullptr)
    , m_Reversals(Reversals::journalPath(AppSettings::applicationDir()), m_LogWriter,
                  [this](const Gateway::ParamSet &params) { return sendReversal(params); })
{
    connect(&m_WaitThread, &QThread::finished, &m_WaitLoop, &QEventLoop::quit, Qt::UniqueConnection);
    connect(&m_VipCouponWidget, &VipCouponWidget::SigVipCouponPay, this, &VipCouponCPU::SlotVipCouponPay);
    connect(&m_VipCouponWidget, &VipCouponWidget::SignQueryCoupons, this, &VipCouponCPU::SlotQueryCoupons);
    connect(&m_VipCouponWidget, &VipCouponWidget::SignQueryCouponsforVip, this, &VipCouponCPU::SlotQueryCouponsforVip);
    connect(&m_VipCouponWidget, &VipCouponWidget::SignKeyPressed, this, &VipCouponCPU::SlotKeyPressed);
}

VipCouponCPU::~VipCouponCPU() = default;

bool VipCouponCPU::Initialize(QString &message)
{
    if (!m_PosDB.initDb(message)) {
        ShowMessage(QStringLiteral("数据库初始化失败：") + message);
        return false;
    }
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("初始化"), QStringLiteral("数据库初始化成功"));

    m_sSysType = AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/SysType"));
    if (!m_sSysType.contains(QLatin1String("GEN5"))) {
        if (m_sSysType != QLatin1String("GEN6")) {
            message = QStringLiteral("系统类型配置错误");
            ShowMessage(message);
            return false;
        }
        m_sOrgCode = AppSettings::readIni(AppSettings::kHostConfigIni, QStringLiteral("Config/OrgCode"));
        m_sPosNo = AppSettings::readIni(AppSettings::kHostConfigIni, QStringLiteral("Config/PosNo"));
    }
    m_sOptimalSolution = AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/OptimalSolution"));
    m_sOptimalNum = AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/OptimalNum"));

    m_PayRDetails.clear();
    m_PayNowRDetails.clear();
    m_VipCouponWidget.m_CouponPayDetails.clear();
    m_VipCouponWidget.m_DscDetails.clear();
    return true;
}

bool VipCouponCPU::ParseInputDocuments(const QString &header, const QString &goods, const QString &pay,
                                       const QString &udp2, QString &message)
{
    VipCouponWidget &dialog = m_VipCouponWidget;
    dialog.m_bPayOk = false;
    dialog.m_sErrMsg.clear();

    Records::InputRecords records;
    records.tranMain = dialog.m_TranMain;
    records.pluIndex = m_PluIndex;
    records.dscDetails = dialog.m_DscDetails;
    records.tranPayDetails = dialog.m_TranPayDetails;
    records.payRDetails = m_PayRDetails;
    records.payNowRDetails = m_PayNowRDetails;

    const bool ok = Records::parseInputDocuments(header, goods, pay, udp2, records, message);

    // Also after a failure: the records keep what the earlier steps stored.
    dialog.m_TranMain = records.tranMain;
    dialog.m_PluDetails = records.pluDetails;
    m_PluIndex = records.pluIndex;
    dialog.m_DscDetails = records.dscDetails;
    dialog.m_TranPayDetails = records.tranPayDetails;
    m_PayRDetails = records.payRDetails;
    m_PayNowRDetails = records.payNowRDetails;
    return ok;
}

void VipCouponCPU::ShowMessage(const QString &text)
{
    m_MessageWidget.ShowMessage(text);
}

int VipCouponCPU::AskQuestion(const QString &text)
{
    return m_QuestionMessage.AskQuestion(text);
}

void VipCouponCPU::writeLines(const LogLines &lines)
{
    for (const LogLine &line : lines)
        m_LogWriter.WriteLog(LogModule::kLibrary, line.function, line.text);
}

void VipCouponCPU::SlotVipCouponPay()
{
    m_WaitWidget.ShowWaiting();
    m_WaitWidget.repaint();
    QString message;
    if (BatchConsumeCoupons(message)) {
        m_VipCouponWidget.m_bPayOk = true;
    } else {
        m_VipCouponWidget.m_bPayOk = false;
        m_VipCouponWidget.m_sErrMsg = message;
    }
    m_VipCouponWidget.done(1);
    m_WaitWidget.close();
}

void VipCouponCPU::SlotQueryCoupons()
{
    requery(QStringLiteral("批量查询券"));
}

void VipCouponCPU::SlotQueryCouponsforVip()
{
    requery(QStringLiteral("没有券被选中，调用查询会员名下可用券接口"));
}

void VipCouponCPU::requery(const QString &logFunction)
{
    // A retry always logs as the plain re-query, whichever slot asked first.
    QString function = logFunction;
    for (;;) {
        m_WaitWidget.ShowWaiting();
        m_WaitWidget.repaint();
        m_LogWriter.WriteLog(LogModule::kTitle, function, QStringLiteral("begin"));
        QList<VipCouponDetail> coupons;
        QList<CouponPayDetail> pays;
        QList<GoodDetail> goods;
        QString error;
        if (QueryCoupons(1, coupons, pays, goods, error)) {
            m_WaitWidget.close();
            m_VipCouponWidget.RefreshCouponStates(coupons, pays, goods);
            return;
        }
        m_WaitWidget.close();
        if (AskQuestion(QStringLiteral("券查询接口调用失败，是否重试？\n若否则退出本次支付。")) == 1) {
            function = QStringLiteral("批量查询券");
            continue;
        }
        m_VipCouponWidget.m_bPayOk = false;
        m_VipCouponWidget.m_sErrMsg = error;
        m_VipCouponWidget.done(0);
        return;
    }
}
