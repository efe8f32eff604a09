#include "support/simprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>

SimProcess::SimProcess()
{
    m_process.setProgram(QStringLiteral(SCRM_SIM_PATH));
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
}

SimProcess::~SimProcess()
{
    stop();
}

bool SimProcess::start(const QStringList &args, int timeoutMs)
{
    QStringList arguments = args;
    if (!arguments.contains(QStringLiteral("--port")))
        arguments << QStringLiteral("--port") << QStringLiteral("0");
    const int recordAt = arguments.indexOf(QStringLiteral("--record"));
    if (recordAt >= 0 && recordAt + 1 < arguments.size()) {
        m_recordPath = arguments.at(recordAt + 1);
    } else {
        m_recordPath = m_dir.filePath(QStringLiteral("requests.jsonl"));
        arguments << QStringLiteral("--record") << m_recordPath;
    }
    m_process.setArguments(arguments);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs)) {
        m_error = m_process.errorString();
        return false;
    }

    QDeadlineTimer deadline(timeoutMs);
    while (!m_process.canReadLine()) {
        if (m_process.state() != QProcess::Running || deadline.hasExpired()
            || !m_process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())))) {
            if (m_process.canReadLine())
                break;
            m_error = QStringLiteral("no PORT line from scrm-sim: ")
                      + QString::fromLocal8Bit(m_process.readAllStandardError());
            stop();
            return false;
        }
    }
    const QByteArray line = m_process.readLine().trimmed();
    if (!line.startsWith("PORT ")) {
        m_error = QStringLiteral("unexpected first line from scrm-sim: ") + QString::fromUtf8(line);
        stop();
        return false;
    }
    m_port = line.mid(5).toInt();
    return m_port > 0;
}

bool SimProcess::stop(int timeoutMs)
{
    if (m_process.state() == QProcess::NotRunning)
        return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
    m_process.terminate();
    if (!m_process.waitForFinished(timeoutMs)) {
        m_process.kill();
        m_process.waitForFinished(timeoutMs);
        return false;
    }
    return m_process.exitStatus() == QProcess::NormalExit && m_process.exitCode() == 0;
}

QString SimProcess::baseUrl() const
{
    return QStringLiteral("http://127.0.0.1:%1").arg(m_port);
}

QList<QJsonObject> SimProcess::requests() const
{
    QList<QJsonObject> entries;
    QFile file(m_recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (!line.isEmpty())
            entries.append(QJsonDocument::fromJson(line).object());
    }
    return entries;
}
