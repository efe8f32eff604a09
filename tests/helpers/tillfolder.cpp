#include "helpers/tillfolder.h"

#include <QDir>
#include <QProcess>

#include "support/appsettings.h"

TillFolder::TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath)
    : m_host(filePath(QFileInfo(hostPath).fileName()))
    , m_plugin(pluginPath)
    , m_robot(robotPath)
{
    QDir().mkpath(workDir());
    if (!hostPath.isEmpty() && QFile::copy(hostPath, m_host))
        QFile::setPermissions(m_host, QFile::permissions(hostPath));
}

void TillFolder::writeGen5(const QString &url, int timeoutSeconds)
{
    writeIni("TwCouponPay5.ini",
             {{"Config/Url", url},
              {"Config/TimeOut", timeoutSeconds},
              {"Config/SysType", "GEN5"},
              {"Config/UserName", "sa"},
              {"Config/Password", "pos"}});
    // As the host writes it; SQLite's ODBC driver under that name.
    writeText("PosCfg.ini",
              "[SQL SERVER]\r\nLOCAL NAME=localhost\r\nLOCAL DBNAME=" + filePath("gen5.db").toUtf8() + "\r\n");
    writeText("odbcinst.ini", "[SQL SERVER]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
    qputenv("ODBCSYSINI", QFile::encodeName(path()));
    runSql("gen5.db", {"create table if not exists tJkPosKeyDef(ScanCode integer, FuncValue text, KeyType text)"});
}

TillFolder::HostRun TillFolder::runHost(const QStringList &documents, const QStringList &extraArgs, int timeoutMs) const
{
    const QString out = workDir() + "/out";
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QStringList args = QStringList {"--lib", m_plugin, "--gbk", "--out-dir", out} + extraArgs;
    if (!m_robot.isEmpty())
        args << "--robot" << m_robot;
    for (const QString &doc : documents)
        args << (doc == "null" || QDir::isAbsolutePath(doc) ? doc : filePath(doc));
    HostRun result = run(args, timeoutMs);
    for (int p = 5; p <= 12; ++p)
        if (QFile file(out + QString("/p%1.txt").arg(p)); file.open(QIODevice::ReadOnly))
            result.params.insert(p, file.readAll());
    return result;
}

TillFolder::HostRun TillFolder::run(const QStringList &args, int timeoutMs, const QMap<QString, QString> &env) const
{
    QProcess process;
    start(process, args, env);
    HostRun result;
    result.finished = process.waitForFinished(timeoutMs);
    result.exitCode = result.finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = QString::fromUtf8(process.readAllStandardOutput());
    return result;
}

void TillFolder::start(QProcess &process, const QStringList &args, const QMap<QString, QString> &env) const
{
    QProcessEnvironment vars = QProcessEnvironment::systemEnvironment();
    vars.insert("QT_QPA_PLATFORM", "offscreen");
    for (auto it = env.cbegin(); it != env.cend(); ++it)
        it->isEmpty() ? vars.remove(it.key()) : vars.insert(it.key(), *it);
    process.setWorkingDirectory(workDir());
    process.setProcessEnvironment(vars);
    process.start(m_host, args);
}

AppFolder::AppFolder()
    : TillFolder(QString(), QString())
{
    QDir::setCurrent(workDir());
    AppSettings::overrideApplicationDir(path());
}

AppFolder::~AppFolder()
{
    AppSettings::overrideApplicationDir(QString());
    QDir::setCurrent(QDir::tempPath());
}
