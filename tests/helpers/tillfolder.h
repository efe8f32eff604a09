#pragma once

#include <QDate>
#include <QTemporaryDir>

#include "helpers/seed.h"
#include "helpers/testsupport.h"

class QProcess;

// A till as on a real POS: the host executable with the INI files and the POS database beside it, and a working
// directory that receives the LOG folder.
class TillFolder
{
public:
    // hostPath is copied into the till (none when empty); robotPath: pos-host's scripted cashier.
    TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath = QString());
    TillFolder(); // pos-host, the library and the scripted cashier the test was built with

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString workDir() const { return path() + "/work"; }
    QString filePath(const QString &name) const { return path() + '/' + name; }
    QString logText() const // today's, "" when there is none
    {
        return QString::fromLocal8Bit(
            TestSupport::readFile(workDir() + QDate::currentDate().toString("'/LOG/PayLog'yyyyMMdd'.txt'")));
    }
    void writeIni(const QString &name, const QMap<QString, QVariant> &values)
    {
        Seed::writeIni(filePath(name), values);
    }
    void writeText(const QString &name, const QByteArray &content) { TestSupport::writeFile(filePath(name), content); }
    bool runSql(const QString &db, const QStringList &statements, QString *error = nullptr)
    {
        return Seed::runSqlite(filePath(db), statements, error);
    }
    void writeGen6(const QString &url = QString(), int timeoutSeconds = 5)
    {
        Seed::gen6Till(path(), url, timeoutSeconds);
    }
    // Its "SQL Server" database is reached through ODBC: SQLite's driver under that name.
    void writeGen5(const QString &url = QString(), int timeoutSeconds = 5);

    // exitCode is -1 when the host crashed or was killed; output: stdout, UTF-8; params: as the library wrote them.
    struct HostRun
    {
        int exitCode = -1;
        bool finished = false;
        QString output;
        QMap<int, QByteArray> params;
    };
    // pos-host with the four documents (relative to the till or absolute, "null": none), as GBK.
    HostRun runHost(const QStringList &documents, const QStringList &extraArgs = {}, int timeoutMs = 60000) const;
    // The till's host from its working directory, offscreen unless env says otherwise ("" removes a variable).
    HostRun run(const QStringList &args, int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;
    void start(QProcess &process, const QStringList &args, const QMap<QString, QString> &env = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_host, m_plugin, m_robot;
    bool m_valid = false;
};

// While it lives, the library takes it for the host executable's folder, and its working directory is the current one.
class AppFolder : public TillFolder
{
public:
    AppFolder();
    ~AppFolder();
};

#if defined(POS_HOST_PATH) && defined(PLUGIN_PATH)
#ifndef CASHIER_ROBOT_PATH
#define CASHIER_ROBOT_PATH ""
#endif
inline TillFolder::TillFolder()
    : TillFolder(POS_HOST_PATH, PLUGIN_PATH, CASHIER_ROBOT_PATH)
{ }
#endif
