#pragma once

#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The scrm-sim binary as a child process on a free loopback port. Every request it receives is
// recorded, so a test can check what the code under test really sent. Stops in the destructor.
class SimProcess
{
public:
    SimProcess();
    ~SimProcess();
    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    // Starts the simulator with args (e.g. {"--wallet", path}) plus "--port 0" and a record file
    // in a private temporary folder, unless args name their own. Waits for its "PORT n" line.
    bool start(const QStringList &args = QStringList(), int timeoutMs = 10000);
    // SIGTERM, then a kill if it does not end in time. True when it ended with exit code 0.
    bool stop(int timeoutMs = 5000);

    int port() const { return m_port; }
    QString baseUrl() const;                   // "http://127.0.0.1:<port>"
    QString recordPath() const { return m_recordPath; }
    QString errorString() const { return m_error; }
    QProcess &process() { return m_process; }

    // The record file read back, one object per request, in arrival order.
    QList<QJsonObject> requests() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_recordPath;
    QString m_error;
    int m_port = 0;
};
