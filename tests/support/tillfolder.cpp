#include "support/tillfolder.h"

#include "support/seed.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QProcess>

TillFolder::TillFolder()
{
    if (!m_dir.isValid())
        return;
    const QString host = filePath(QStringLiteral("pos-host"));
    m_valid = QDir().mkpath(workDir()) && QFile::copy(QStringLiteral(POS_HOST_PATH), host)
        && QFile::setPermissions(host, QFile::permissions(QStringLiteral(POS_HOST_PATH)));
}

void TillFolder::writeIni(const QString &fileName, const QMap<QString, QVariant> &values)
{
    Seed::writeIni(filePath(fileName), values);
}

void TillFolder::writeGen6Config(const QString &url, int timeoutSeconds)
{
    Seed::gen6Till(path(), url, timeoutSeconds);
}

bool TillFolder::runSql(const QString &databaseName, const QStringList &statements, QString *error)
{
    return Seed::runSqlite(filePath(databaseName), statements, error);
}

void TillFolder::writeText(const QString &name, const QByteArray &content)
{
    QFile file(filePath(name));
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(content);
}

TillFolder::HostRun TillFolder::runHost(const QStringList &documents, const QStringList &extraArgs,
                                        int timeoutMs, const QMap<QString, QString> &env) const
{
    HostRun run;
    const QString outDir = workDir() + QStringLiteral("/out");
    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);

    QStringList args{QStringLiteral("--lib"), QStringLiteral(PLUGIN_PATH), QStringLiteral("--gbk"),
                     QStringLiteral("--robot"), QStringLiteral(CASHIER_ROBOT_PATH),
                     QStringLiteral("--out-dir"), outDir};
    args += extraArgs;
    for (const QString &doc : documents)
        args << (doc == QLatin1String("null") || QDir::isAbsolutePath(doc) ? doc : filePath(doc));

    QProcess process;
    process.setWorkingDirectory(workDir());
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto it = env.cbegin(); it != env.cend(); ++it) {
        if (it.value().isEmpty())
            environment.remove(it.key());
        else
            environment.insert(it.key(), it.value());
    }
    process.setProcessEnvironment(environment);
    process.start(filePath(QStringLiteral("pos-host")), args);
    run.finished = process.waitForFinished(timeoutMs);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.output = QString::fromUtf8(process.readAllStandardOutput());
    for (int p = 5; p <= 12; ++p) {
        QFile file(outDir + QStringLiteral("/p%1.txt").arg(p));
        if (file.open(QIODevice::ReadOnly))
            run.params.insert(p, file.readAll());
    }
    return run;
}

QString TillFolder::logText() const
{
    QFile file(workDir() + QStringLiteral("/LOG/PayLog") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
               + QStringLiteral(".txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(file.readAll());
}
