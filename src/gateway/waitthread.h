#pragma once

#include <QThread>
#include <QString>

#include "gateway/transport.h"
#include "support/logwriter.h"

// Runs one HTTP POST to the SCRM server at a time, off the host's thread, so that the host's
// screen stays painted while the caller waits in its own event loop.
class WaitThread : public QThread
{
    Q_OBJECT
public:
    explicit WaitThread(QObject *parent = nullptr);
    ~WaitThread() override;

    // Checks the configuration and stores the request; false with the cashier's text when no
    // server address is configured.
    bool PrepareRequest(const QString &path, const QString &body, QString &error);

    // Read by the caller after finished().
    bool isSuccess() const { return m_bSuccess; }
    QString replyText() const { return m_sReply; }
    QString errorText() const { return m_sError; }
    // After a failure: whether the server may have carried the request out all the same.
    Gateway::ServerSide serverSide() const { return m_eServerSide; }
    Gateway::Failure failure() const { return m_eFailure; }
    int timeoutMs() const { return m_nTimeOut; }

protected:
    void run() override;

private:
    QString m_sReply;
    bool m_bSuccess = false;
    QString m_sError;
    QString m_sBody;
    LogWriter m_LogWriter;
    QString m_sBaseUrl;
    QString m_sRequestUrl;
    int m_nTimeOut = 20000;
    Gateway::ServerSide m_eServerSide = Gateway::ServerSide::Untouched;
    Gateway::Failure m_eFailure = Gateway::Failure::Unreachable;
};
