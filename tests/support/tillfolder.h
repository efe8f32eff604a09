#pragma once

#include <QDate>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include "support/seed.h"
#include "support/testsupport.h"

class QProcess;

// A till laid out in a temporary folder, as the library finds it on a real POS: a copy of the
// host executable with the INI files and the POS database beside it, and a working directory
// that receives the LOG folder.
class TillFolder
{
public:
    // hostPath: the host program, copied into the till (none when empty); pluginPath: the library
    // it loads; robotPath: the scripted cashier pos-host loads for "--cashier" (optional).
    TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath = QString());
    // pos-host, the library and (when declared) the scripted cashier the test was built with.
    TillFolder();

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString workDir() const { return m_dir.path() + QStringLiteral("/work"); }
    QString filePath(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }
    // Today's daily log, "" when there is none.
    QString logText() const
    {
        return QString::fromLocal8Bit(TestSupport::readFile(workDir() + QDate::currentDate().toString(QStringLiteral("'/LOG/PayLog'yyyyMMdd'.txt'"))));
    }

    // INI keys as "Group/Key" -> value, written with QSettings.
    void writeIni(const QString &fileName, const QMap<QString, QVariant> &values) { Seed::writeIni(filePath(fileName), values); }
    void writeText(const QString &name, const QByteArray &content) { TestSupport::writeFile(filePath(name), content); }
    bool runSql(const QString &db, const QStringList &statements, QString *error = nullptr) { return Seed::runSqlite(filePath(db), statements, error); }
    // GEN6 till: SQLite "pos.db" with empty key tables, organisation "A01", till "001".
    void writeGen6(const QString &url = QString(), int timeoutSeconds = 5) { Seed::gen6Till(path(), url, timeoutSeconds); }
    void writeGen6Config(const QString &url, int timeoutSeconds = 5) { writeGen6(url, timeoutSeconds); }
    // GEN5 till: its POS database is "SQL Server" reached through ODBC; here the ODBC driver
    // registered under that name is SQLite's, so the SQL Server code path runs for real.
    void writeGen5(const QString &url = QString(), int timeoutSeconds = 5);

    struct HostRun
    {
        int exitCode = -1;               // -1 as well when the host crashed or was killed
        bool finished = false;
        QString output;                  // stdout, UTF-8
        QMap<int, QByteArray> params;    // parameters written by the library, from --out-dir
    };
    // Runs pos-host from the till with the four documents (paths relative to the till or
    // absolute, "null" for a null pointer). UTF-8 documents are converted to GBK.
    HostRun runHost(const QStringList &documents, const QStringList &extraArgs = {}, int timeoutMs = 60000) const;
    // Runs the till's host with these arguments; env overrides the environment (an empty value
    // removes the variable).
    HostRun run(const QStringList &args, int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;
    // Starts it the same way, from the working directory and offscreen unless env says otherwise.
    void start(QProcess &process, const QStringList &args, const QMap<QString, QString> &env = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_host, m_plugin, m_robot;
    bool m_valid = false;
};

#if defined(POS_HOST_PATH) && defined(PLUGIN_PATH)
inline TillFolder::TillFolder()
#ifdef CASHIER_ROBOT_PATH
    : TillFolder(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH), QStringLiteral(CASHIER_ROBOT_PATH))
#else
    : TillFolder(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH))
#endif
{
}
#endif
