#pragma once

#include <QDate>
#include <QTemporaryDir>

#include "helpers/seed.h"
#include "helpers/testsupport.h"

class QProcess;

class TillFolder
{
public:
    TillFolder(const QString &hostPath, const QString &pluginPath, const QString &robotPath = QString());
    TillFolder();

    QString path() const { return m_dir.path(); }
    QString workDir() const { return path() + "/work"; }
    QString filePath(const QString &name) const { return path() + '/' + name; }
    QString logText() const
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
    void writeGen5(const QString &url = QString(), int timeoutSeconds = 5);

    // exitCode -1: crashed or killed.
    struct HostRun
    {
        int exitCode = -1;
        bool finished = false;
        QString output;
        QMap<int, QByteArray> params;
    };
    // documents: in the till, absolute or "null"
    HostRun runHost(const QStringList &documents, const QStringList &extraArgs = {}, int timeoutMs = 60000) const;
    // Offscreen; "" in env removes a variable.
    HostRun run(const QStringList &args, int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;
    void start(QProcess &process, const QStringList &args, const QMap<QString, QString> &env = {}) const;

private:
    QTemporaryDir m_dir;
    QString m_host, m_plugin, m_robot;
};

// The library's host folder and the working directory while it lives.
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
