#include "entry/cardtrans.h"

#include <exception>

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>

#include "entry/qmfcapp.h"
#include "entry/resultdocuments.h"
#include "entry/vipcouponcpu.h"
#include "support/appsettings.h"
#include "support/hosttext.h"
#include "support/logwriter.h"

namespace Entry {

namespace {
const QString kFailure = QStringLiteral("111111");
const QString kSuccess = QStringLiteral("000000");

// Set while a call runs: a host that calls again from a timer or a window message handled in
// our nested loops must not start a second controller over the first.
bool s_callRunning = false;

// "Config/OutputBufferSize": the size in bytes that the host and the library agreed for every
// output buffer. Missing, not a number or below 64 bytes (too small for any message) keeps the
// interface as it is: no limit is known.
int agreedBufferSize()
{
    bool ok = false;
    const int size =
        AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/OutputBufferSize")).toInt(&ok);
    return ok && size >= 64 ? size : 0;
}

bool fits(const QString &text, int limit)
{
    return limit <= 0 || HostText::toLocal8Bit(text).size() + 1 <= limit;
}

// The failure message must reach the host even when it is longer than the agreed size.
void copyClipped(char *dst, const QString &text, int limit)
{
    if (fits(text, limit)) {
        HostText::copyOut(dst, text);
        return;
    }
    QString clipped = text;
    while (!clipped.isEmpty() && !fits(clipped, limit))
        clipped.chop(1);
    HostText::copyOut(dst, clipped);
}

void writeFailure(LogWriter &log, const HostParameters &params, const QString &message, int limit = 0)
{
    HostText::copyOut(params.at(5), kFailure);
    copyClipped(params.at(6), message, limit);
    log.WriteLog(LogModule::kTitle, QStringLiteral("传出参数，交易失败"), message);
}

// False, with nothing but the log written, when the documents do not fit the agreed size.
bool writeSuccess(LogWriter &log, const HostParameters &params, const VipCouponWidget &dialog, int limit)
{
    const ResultDocuments::SuccessResult result = ResultDocuments::buildSuccessResult(
        dialog.m_TranMain, dialog.m_SelCouponDetails, dialog.m_GoodDetails, dialog.m_CouponPayDetails);
    if (!fits(result.discountXml, limit) || !fits(result.paymentXml, limit) || !fits(result.amount, limit)) {
        // Kept in the log for support, without the success lines the host never got.
        log.WriteLog(LogModule::kTitle, QStringLiteral("传出参数超过约定的缓冲区大小，未传出"),
                     QStringLiteral("金额：") + result.amount + QStringLiteral("\n折扣文档：") + result.discountXml
                         + QStringLiteral("\n支付文档：") + result.paymentXml);
        return false;
    }
    HostText::copyOut(params.at(5), kSuccess);
    HostText::copyOut(params.at(7), result.amount);
    HostText::copyOut(params.at(11), result.discountXml);
    if (result.singlePayment) {
        HostText::copyOut(params.at(8), QString());
        HostText::copyOut(params.at(9), QString());
    } else {
        HostText::copyOut(params.at(12), result.paymentXml);
    }
    for (const LogLine &line : result.log)
        log.WriteLog(LogModule::kTitle, line.function, line.text);
    return true;
}

// Takes back a success written into the host's buffers before the call returned.
void withdrawSuccess(LogWriter &log, const HostParameters &params, const QString &message, int limit)
{
    for (int number : {7, 11, 12})
        HostText::copyOut(params.at(number), QString());
    writeFailure(log, params, message, limit);
}

void runFor(QEventLoop &loop, int milliseconds)
{
    QTimer::singleShot(milliseconds, &loop, [&loop] { loop.quit(); });
    loop.exec();
}

// The call proper; returns normally in every outcome.
void runCall(LogWriter &log, const HostParameters &params, int bufferSize, bool &resultWritten)
{
    VipCouponCPU cpu;
    VipCouponWidget &dialog = cpu.m_VipCouponWidget;
    const auto fail = [&](const QString &message) {
        writeFailure(log, params, message, bufferSize);
        resultWritten = true;
    };

    log.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"), QStringLiteral("请稍等，调用动态库中"));
    cpu.m_WaitWidget.SetWaitText(QObject::tr("请稍等，调用动态库中"));
    cpu.m_WaitWidget.ShowWaiting();
    log.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"), QStringLiteral("PrepareToShow"));

    // Lets the overlay paint and keeps the host's window responsive meanwhile.
    QEventLoop loop;
    runFor(loop, 600);
    log.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"), QStringLiteral("等待框已开启"));

    // Coupons of an earlier sale may still be spent at the server without a payment: their
    // cancellation goes first.
    cpu.RetryPendingReversals();

    static const char *const inputNames[4] = {"传入交易主参数", "传入商品参数", "传入支付参数", "传入Udp2参数"};
    QString documents[4];
    for (int i = 0; i < 4; ++i) {
        documents[i] = HostText::fromGbk(params.at(i + 1));
        log.WriteLog(LogModule::kTitle, QString::fromUtf8(inputNames[i]), documents[i]);
    }

    QString message;
    if (!cpu.Initialize(message)) {
        dialog.m_sErrMsg = message;
        fail(dialog.m_sErrMsg);
        return;
    }

    QString parseMessage;
    if (!cpu.ParseInputDocuments(documents[0], documents[1], documents[2], documents[3], parseMessage)) {
        dialog.m_sErrMsg = parseMessage;
        log.WriteLog(LogModule::kTitle, QStringLiteral("传入参数解析失败"), parseMessage);
    } else {
        log.WriteLog(LogModule::kTitle, QStringLiteral("解析参数"), QStringLiteral("成功"));
        const QString type = dialog.m_TranMain.txn_type;
        if (type == QLatin1String("SALE")) {
            QList<VipCouponDetail> coupons;
            QList<CouponPayDetail> pays;
            QList<GoodDetail> goods;
            QString queryMessage;
            if (!cpu.QueryCoupons(0, coupons, pays, goods, queryMessage)) {
                fail(queryMessage);
                return;
            }
            dialog.show(coupons, pays, goods);
        } else if (type == QLatin1String("VOID")) {
            cpu.ReturnCoupons(dialog.m_sErrMsg);
        } else if (type == QLatin1String("CANCEL")) {
            cpu.CancelPaymentCoupons(dialog.m_sErrMsg);
        } else if (type == QLatin1String("0")) {
            dialog.m_sErrMsg = QStringLiteral("不支持支付管理");
        } else {
            dialog.m_sErrMsg = QStringLiteral("交易类型错误");
        }
    }

    // A success written into the host's buffers stays there whatever happens next (see
    // cardTrans), so an exception in the closing steps must not leave the payment open to
    // a reversal either.
    struct Settle
    {
        VipCouponCPU &cpu;
        bool pending = false;
        ~Settle()
        {
            try {
                QString error;
                if (pending)
                    cpu.m_Reversals.consumptionHandedOver(error);
            } catch (...) { }
        }
    } settle {cpu};
    if (!dialog.m_bPayOk) {
        fail(dialog.m_sErrMsg);
    } else if (writeSuccess(log, params, dialog, bufferSize)) {
        resultWritten = settle.pending = true;
    } else if (cpu.m_Reversals.hasConsumptionInFlight()) {
        // The host cannot take the payment: the coupons go back to the member.
        QString message = QStringLiteral("传出参数超过约定的缓冲区大小（%1字节），无法传出交易结果").arg(bufferSize);
        cpu.ReverseConsumption(message);
        fail(message);
    } else {
        fail(QStringLiteral("交易已在服务器完成，但传出参数超过约定的缓冲区大小（%1字节），请联系管理员处理")
                 .arg(bufferSize));
    }

    cpu.m_WaitWidget.SetWaitText(QObject::tr("请稍等，关闭动态库中"));
    cpu.m_WaitWidget.ShowWaiting();
    log.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"), QStringLiteral("启动定时器"));
    runFor(loop, 400);
    log.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"), QStringLiteral("WaitDlg.close"));
    cpu.m_WaitWidget.close();
    log.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"), QStringLiteral("WaitDlg.close End"));

    // Last of all: until this is recorded, a till that dies has its coupons given back at its
    // next call.
    if (settle.pending) {
        settle.pending = false;
        QString withdrawn;
        if (!cpu.ConfirmConsumptionHandedOver(withdrawn))
            withdrawSuccess(log, params, withdrawn, bufferSize);
    }
}

} // namespace

int cardTrans(LogWriter &libraryLog, const HostParameters &params)
{
    // Every message, refusals included, keeps to the size the host agreed.
    const int bufferSize = agreedBufferSize();
    QCoreApplication *application = QCoreApplication::instance();
    if (!application) {
        QString reason = QMfcApp::unavailableReason();
        if (reason.isEmpty())
            reason = QStringLiteral("没有Qt应用对象");
        libraryLog.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"),
                            QStringLiteral("无法创建界面环境：") + reason);
        writeFailure(libraryLog, params, QStringLiteral("动态库无法显示界面（%1），请联系管理员处理").arg(reason),
                     bufferSize);
        return 1;
    }
    // A Qt console host's application object cannot carry windows: Qt would end the process at
    // the first dialog.
    if (!qobject_cast<QApplication *>(application)) {
        libraryLog.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"),
                            QStringLiteral("无法创建界面环境：宿主程序的Qt应用对象是")
                                + QString::fromLatin1(application->metaObject()->className())
                                + QStringLiteral("，不是QApplication，不能显示窗口"));
        writeFailure(libraryLog, params,
                     QStringLiteral("动态库无法显示界面（宿主程序的Qt环境不支持窗口），请联系管理员处理"), bufferSize);
        return 1;
    }
    // Widgets live on the application object's thread only.
    if (QThread::currentThread() != application->thread()) {
        libraryLog.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"),
                            QStringLiteral("调用来自界面线程以外的线程，拒绝调用"));
        writeFailure(libraryLog, params, QStringLiteral("动态库只能在加载它的界面线程中调用，请联系管理员处理"),
                     bufferSize);
        return 1;
    }
    if (s_callRunning) {
        libraryLog.WriteLog(LogModule::kLibrary, QStringLiteral("TwCardTrans"),
                            QStringLiteral("上一笔调用尚未结束，拒绝重入"));
        writeFailure(libraryLog, params, QStringLiteral("上一笔交易仍在处理中，请稍后再试"), bufferSize);
        return 1;
    }
    s_callRunning = true;
    bool resultWritten = false;
    QMfcApp::beginCall();
    try {
        runCall(libraryLog, params, bufferSize, resultWritten);
    } catch (const std::exception &e) {
        libraryLog.WriteLog(LogModule::kLibrary, QStringLiteral("异常"), QString::fromLocal8Bit(e.what()));
    } catch (...) {
        libraryLog.WriteLog(LogModule::kLibrary, QStringLiteral("异常"), QStringLiteral("未定义的异常"));
    }
    // A failure while closing must not turn a result the host already holds (coupons consumed
    // at the server) into a failure.
    const bool succeeded = resultWritten && qstrcmp(params.at(5), "000000") == 0;
    if (!QMfcApp::endCall().isEmpty() && !succeeded)
        resultWritten = false;
    if (!resultWritten)
        writeFailure(libraryLog, params, QStringLiteral("动态库内部错误，请联系管理员处理"), bufferSize);
    s_callRunning = false;
    return 1;
}

}
