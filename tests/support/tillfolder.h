#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

#include "support/seed.h"
#include "support/testsupport.h"

// A till laid out in a temporary folder, as the library finds it on a real POS: a copy of the
// host executable with the INI files beside it, a SQLite POS database, and a working directory
// that receives the LOG folder.
class TillFolder
{
public:
    // hostPath: the host program, copied into the till; pluginPath: the library it loads;
    // robotPath: the scripted cashier pos-host loads for "--cashier" (optional).
    TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath = QString());
    // pos-host, the library and (when declared) the scripted cashier the test was built with.
    TillFolder();

    bool isValid() const { return m_valid; }
    QString path() const { return m_dir.path(); }
    QString workDir() const { return m_dir.path() + QStringLiteral("/work"); }
    QString filePath(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // INI keys as "Group/Key" -> value, written with QSettings beside the host executable.
    void writeIni(const QString &fileName, const QMap<QString, QVariant> &values) { Seed::writeIni(filePath(fileName), values); }
    // GEN6 till with a SQLite POS database "pos.db" and the server at url.
    void writeGen6Config(const QString &url, int timeoutSeconds = 5) { Seed::gen6Till(path(), url, timeoutSeconds); }
    // Runs each statement on the database file (created when missing); false with the error.
    bool runSql(const QString &databaseName, const QStringList &statements, QString *error = nullptr)
    {
        return Seed::runSqlite(filePath(databaseName), statements, error);
    }
    void writeText(const QString &name, const QByteArray &content) { TestSupport::writeFile(filePath(name), content); }

    struct HostRun
    {
        int exitCode = -1;               // -1 as well when the host crashed or was killed
        bool finished = false;
        QString output;                  // stdout, UTF-8
        QMap<int, QByteArray> params;    // parameters written by the library, from --out-dir
    };
    // Runs pos-host from the till with the four documents (paths relative to the till or
    // absolute, "null" for a null pointer). UTF-8 documents are converted to GBK.
    // env overrides the host's environment; an empty value removes the variable.
    HostRun runHost(const QStringList &documents, const QStringList &extraArgs = {},
                    int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;
    // Runs the till's host with these arguments from the working directory, offscreen unless
    // env says otherwise.
    HostRun run(const QStringList &args, int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;

    // Today's daily log of the working directory ("" when there is none).
    QString logText() const { return TestSupport::dailyLog(workDir()); }

private:
    QTemporaryDir m_dir;
    QString m_host;
    QString m_plugin;
    QString m_robot;
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
