#include "helpers/simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

bool SimProcess::start(const QStringList &args, int timeoutMs)
{
    m_process.setArguments(args
                           + QStringList {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--record"),
                                          m_dir.filePath(QStringLiteral("requests.jsonl"))});
    m_process.start();
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine() && m_process.state() != QProcess::NotRunning && !deadline.hasExpired())
        m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    const QByteArray line = m_process.readLine().trimmed();
    m_port = line.startsWith("PORT ") ? line.mid(5).toInt() : 0;
    if (m_port > 0)
        return true;
    m_error = QStringLiteral("scrm-sim did not print its port: ") + QString::fromUtf8(line) + m_process.errorString()
        + QString::fromLocal8Bit(m_process.readAllStandardError());
    stop();
    return false;
}

bool SimProcess::startScenario(const QJsonObject &scenario, const QStringList &args)
{
    QFile file(m_dir.filePath(QStringLiteral("scenario.json")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(QJsonDocument(scenario).toJson()) < 0
        || !file.flush()) {
        m_error = file.errorString();
        return false;
    }
    return start(QStringList {QStringLiteral("--scenario"), file.fileName()} + args);
}

bool SimProcess::startFaulty(const QJsonObject &reply)
{
    QJsonObject scenario {{QStringLiteral("verify"), false}};
    for (const char *path : {"/posPortal/vipInfo", "/posPortal/offlineCertiList", "/posPortal/offlineCertiSelectList",
                             "/posPortal/batchConsumeCerti", "/posPortal/offlineCancelCerti"})
        scenario.insert(QLatin1String(path), reply);
    return startScenario(scenario);
}

bool SimProcess::stop(int timeoutMs)
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.terminate();
        if (!m_process.waitForFinished(timeoutMs)) {
            m_process.kill();
            m_process.waitForFinished(timeoutMs);
            return false;
        }
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QList<QJsonObject> SimProcess::requests() const
{
    QList<QJsonObject> entries;
    QFile file(m_dir.filePath(QStringLiteral("requests.jsonl")));
    for (const QByteArray &line : file.open(QIODevice::ReadOnly) ? file.readAll().split('\n') : QList<QByteArray>())
        if (!line.trimmed().isEmpty())
            entries << QJsonDocument::fromJson(line).object();
    return entries;
}
