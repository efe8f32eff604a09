#include "support/tillfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

TillFolder::TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath)
    : m_host(filePath(QFileInfo(hostPath).fileName()))
    , m_plugin(pluginPath)
    , m_robot(robotPath)
{
    m_valid = m_dir.isValid() && QDir().mkpath(workDir()) && QFile::copy(hostPath, m_host)
        && QFile::setPermissions(m_host, QFile::permissions(hostPath));
}

TillFolder::HostRun TillFolder::runHost(const QStringList &documents, const QStringList &extraArgs,
                                        int timeoutMs, const QMap<QString, QString> &env) const
{
    const QString outDir = workDir() + QStringLiteral("/out");
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    QStringList args{QStringLiteral("--lib"), m_plugin, QStringLiteral("--gbk"), QStringLiteral("--out-dir"), outDir};
    if (!m_robot.isEmpty())
        args << QStringLiteral("--robot") << m_robot;
    args += extraArgs;
    for (const QString &doc : documents)
        args << (doc == QLatin1String("null") || QDir::isAbsolutePath(doc) ? doc : filePath(doc));

    HostRun result = run(args, timeoutMs, env);
    for (int p = 5; p <= 12; ++p) {
        QFile file(outDir + QStringLiteral("/p%1.txt").arg(p));
        if (file.open(QIODevice::ReadOnly))
            result.params.insert(p, file.readAll());
    }
    return result;
}

TillFolder::HostRun TillFolder::run(const QStringList &args, int timeoutMs, const QMap<QString, QString> &env) const
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto it = env.cbegin(); it != env.cend(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    QProcess process;
    process.setWorkingDirectory(workDir());
    process.setProcessEnvironment(environment);
    process.start(m_host, args);
    HostRun result;
    result.finished = process.waitForFinished(timeoutMs);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    return result;
}
