#include "helpers/simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

bool SimProcess::start(const QStringList &args, int timeoutMs)
{
    m_process.setArguments(args + QStringList {"--port", "0", "--record", m_dir.filePath("requests.jsonl")});
    m_process.start();
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine() && m_process.waitForReadyRead(int(deadline.remainingTime()))) { }
    const QByteArray line = m_process.readLine().trimmed();
    m_port = line.startsWith("PORT ") ? line.mid(5).toInt() : 0;
    if (m_port > 0)
        return true;
    m_error = "no port from scrm-sim: " + line + m_process.errorString() + m_process.readAllStandardError();
    stop();
    return false;
}

bool SimProcess::startScenario(const QJsonObject &scenario, const QStringList &args)
{
    QFile file(m_dir.filePath("scenario.json"));
    if (file.open(QIODevice::WriteOnly) && file.write(QJsonDocument(scenario).toJson()) > 0 && file.flush())
        return start(QStringList {"--scenario", file.fileName()} + args);
    m_error = file.errorString();
    return false;
}

bool SimProcess::startFaulty(const QJsonObject &reply)
{
    QJsonObject scenario {{"verify", false}};
    for (const char *api :
         {"vipInfo", "offlineCertiList", "offlineCertiSelectList", "batchConsumeCerti", "offlineCancelCerti"})
        scenario.insert(QString("/posPortal/") + api, reply);
    return startScenario(scenario);
}

bool SimProcess::stop(int timeoutMs)
{
    m_process.terminate();
    if (m_process.state() == QProcess::NotRunning || m_process.waitForFinished(timeoutMs))
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.kill();
    m_process.waitForFinished(timeoutMs);
    return false;
}

QList<QJsonObject> SimProcess::requests() const
{
    QList<QJsonObject> entries;
    QFile file(m_dir.filePath("requests.jsonl"));
    for (const QByteArray &line : file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>())
        if (!line.trimmed().isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    return entries;
}
