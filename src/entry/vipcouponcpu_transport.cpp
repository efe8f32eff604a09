#include "entry/vipcouponcpu.h"

#include <QObject>

#include "gateway/transport.h"

bool VipCouponCPU::SendRequest(const QString &path, const QString &body, QString &reply, QString &error)
{
    m_eLastServerSide = Gateway::ServerSide::Untouched;
    m_eLastFailure = Gateway::Failure::Unreachable;
    // A request started from inside another one's wait (input that slipped past the overlay)
    // would end the first request's thread while the server may be acting on it: refuse it.
    if (m_WaitLoop.isRunning()) {
        error = QStringLiteral("上一个接口请求仍在处理中，请稍候再试");
        m_LogWriter.WriteLog(LogModule::kLibrary, QObject::tr("异常"), error);
        return false;
    }

    WaitWidget overlay;
    overlay.SetWaitText(QObject::tr("请稍等，处理中..."));
    overlay.ShowWaiting();
    overlay.repaint();

    if (m_WaitThread.isRunning()) {
        m_LogWriter.WriteLog(LogModule::kLibrary, QObject::tr("异常"), QStringLiteral("发送仍在继续"));
        m_WaitThread.terminate();
    }
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("接口请求内容"), body);

    if (!m_WaitThread.PrepareRequest(path, body, error))
        return false;

    m_WaitThread.start(QThread::InheritPriority);
    m_WaitLoop.exec();

    const bool success = m_WaitThread.isSuccess();
    overlay.close();
    if (success) {
        reply = m_WaitThread.replyText();
        m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("调用成功"), Gateway::replyForLog(reply));
        return true;
    }
    error = m_WaitThread.errorText();
    m_eLastServerSide = m_WaitThread.serverSide();
    m_eLastFailure = m_WaitThread.failure();
    m_LogWriter.WriteLog(LogModule::kLibrary, QStringLiteral("调用失败"), error);
    return false;
}
