#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

// The scrm-sim binary (path from the test, e.g. SCRM_SIM_PATH) as a child process on a free loopback port, recording
// every request so a test can check what was really sent. Stops in the destructor.
class SimProcess
{
public:
    explicit SimProcess(const QString &program) { m_process.setProgram(program); }
    ~SimProcess() { stop(); }

    // Starts it with args (e.g. {"--wallet", path}), or serving the JSON of a scenario file.
    bool start(const QStringList &args = QStringList(), int timeoutMs = 10000);
    bool startScenario(const QJsonObject &scenario, const QStringList &args = QStringList());
    // Every one of the five server operations gets reply (e.g. {"status":500}), however it was signed.
    bool startFaulty(const QJsonObject &reply);
    // A port that was just free and where nothing listens now: connections are refused.
    bool startRefusing() { return start() && stop(); }
    // SIGTERM, then a kill if it does not end in time. True when it ended with exit code 0.
    bool stop(int timeoutMs = 5000);

    int port() const { return m_port; }
    QString baseUrl() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_port); }
    QString errorString() const { return m_error; }
    QList<QJsonObject> requests() const; // in arrival order
private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    int m_port = 0;
};
