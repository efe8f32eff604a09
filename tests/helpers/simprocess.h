#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

// scrm-sim as a child process on a free loopback port, recording every request it gets. Stops in the destructor.
class SimProcess
{
public:
    explicit SimProcess(const QString &program) { m_process.setProgram(program); }
    ~SimProcess() { stop(); }

    bool start(const QStringList &args = QStringList(), int timeoutMs = 10000);
    bool startScenario(const QJsonObject &scenario, const QStringList &args = QStringList());
    // Each of the five server operations gets reply (e.g. {"status":500}), however it was signed.
    bool startFaulty(const QJsonObject &reply);
    // A port that was just free, where connections are now refused.
    bool startRefusing() { return start() && stop(); }
    // True when it ended with exit code 0 on SIGTERM.
    bool stop(int timeoutMs = 5000);

    int port() const { return m_port; }
    QString baseUrl() const { return "http://127.0.0.1:" + QString::number(m_port); }
    QString errorString() const { return m_error; }
    QList<QJsonObject> requests() const; // in arrival order

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    int m_port = 0;
};
