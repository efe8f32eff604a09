#pragma once

#include <QDate>
#include <QMap>
#include <QTemporaryDir>
#include <QVariant>

#include "helpers/seed.h"
#include "helpers/testsupport.h"

class QProcess;

// A till in a temporary folder as on a real POS: a copy of the host executable with the INI files
// and the POS database beside it, and a working directory that receives the LOG folder.
class TillFolder
{
public:
    // hostPath is copied into the till (none when empty); robotPath: pos-host's scripted cashier.
    TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath = QString());
    // pos-host, the library and (when declared) the scripted cashier the test was built with.
    TillFolder();

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString workDir() const { return m_dir.path() + "/work"; }
    QString filePath(const QString &name) const { return m_dir.path() + '/' + name; }
    // Today's daily log, "" when there is none.
    QString logText() const
    {
        return QString::fromLocal8Bit(
            TestSupport::readFile(workDir() + QDate::currentDate().toString("'/LOG/PayLog'yyyyMMdd'.txt'")));
    }

    // INI keys as "Group/Key" -> value, written with QSettings.
    void writeIni(const QString &fileName, const QMap<QString, QVariant> &values)
    {
        Seed::writeIni(filePath(fileName), values);
    }
    void writeText(const QString &name, const QByteArray &content) { TestSupport::writeFile(filePath(name), content); }
    bool runSql(const QString &db, const QStringList &statements, QString *error = nullptr)
    {
        return Seed::runSqlite(filePath(db), statements, error);
    }
    // GEN6 till: SQLite "pos.db" with empty key tables, organisation "A01", till "001".
    void writeGen6(const QString &url = QString(), int timeoutSeconds = 5)
    {
        Seed::gen6Till(path(), url, timeoutSeconds);
    }
    // GEN5 till: its "SQL Server" POS database is reached through ODBC, here SQLite's driver under that name.
    void writeGen5(const QString &url = QString(), int timeoutSeconds = 5);

    // exitCode is -1 as well when the host crashed or was killed; output is stdout, UTF-8; params
    // are the parameters the library wrote, from --out-dir.
    struct HostRun
    {
        int exitCode = -1;
        bool finished = false;
        QString output;
        QMap<int, QByteArray> params;
    };
    // Runs pos-host with the four documents (relative to the till or absolute, "null": none), as GBK.
    HostRun runHost(const QStringList &documents, const QStringList &extraArgs = {}, int timeoutMs = 60000) const;
    // Runs the till's host; env overrides the environment (an empty value removes the variable).
    HostRun run(const QStringList &args, int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;
    // Starts it the same way, from the working directory and offscreen unless env says otherwise.
    void start(QProcess &process, const QStringList &args, const QMap<QString, QString> &env = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_host, m_plugin, m_robot;
    bool m_valid = false;
};

// A till folder for in-process tests: while it lives, the library takes it for the folder of the host executable, and
// its working directory is the current one.
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
    : TillFolder(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH), QStringLiteral(CASHIER_ROBOT_PATH))
{ }
#endif
