#pragma once

#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

// scrm-sim on a free loopback port, recording requests.
class SimProcess
{
public:
    explicit SimProcess(const QString &program) { m_process.setProgram(program); }
    ~SimProcess() { stop(); }

    bool start(const QStringList &args = QStringList(), int timeoutMs = 10000);
    bool startScenario(const QJsonObject &scenario, const QStringList &args = QStringList());
    bool startFaulty(const QJsonObject &reply);
    bool startRefusing() { return start() && stop(); }
    bool stop(int timeoutMs = 5000);

    QString baseUrl() const { return "http://127.0.0.1:" + QString::number(m_port); }
    QString errorString() const { return m_error; }
    QList<QJsonObject> requests() const;

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    int m_port = 0;
};
