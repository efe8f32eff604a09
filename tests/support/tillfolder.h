#pragma once

#include <QByteArray>
#include <QMap>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVariant>

// A till laid out in a temporary folder, as the library finds it on a real POS: a copy of the
// host executable with the INI files beside it, a SQLite POS database, and a working directory
// that receives the LOG folder.
class TillFolder
{
public:
    TillFolder();

    bool isValid() const { return m_dir.isValid() && m_valid; }
    QString path() const { return m_dir.path(); }
    QString workDir() const { return m_dir.path() + QStringLiteral("/work"); }
    QString filePath(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    // INI keys as "Group/Key" -> value, written with QSettings beside the host executable.
    void writeIni(const QString &fileName, const QMap<QString, QVariant> &values);
    // GEN6 till with a SQLite POS database "pos.db" and the server at url.
    void writeGen6Config(const QString &url, int timeoutSeconds = 5);
    // Runs each statement on the database file (created when missing); false with the error.
    bool runSql(const QString &databaseName, const QStringList &statements, QString *error = nullptr);
    void writeText(const QString &name, const QByteArray &content);

    struct HostRun
    {
        int exitCode = -1;
        bool finished = false;
        QString output;                  // stdout, UTF-8
        QMap<int, QByteArray> params;    // parameters written by the library, from --out-dir
    };
    // Runs pos-host from the till with the four documents (paths relative to the till or
    // absolute, "null" for a null pointer). UTF-8 documents are converted to GBK.
    // env overrides the host's environment; an empty value removes the variable.
    HostRun runHost(const QStringList &documents, const QStringList &extraArgs = {},
                    int timeoutMs = 60000, const QMap<QString, QString> &env = {}) const;

    // Today's daily log of the working directory ("" when there is none).
    QString logText() const;

private:
    QTemporaryDir m_dir;
    bool m_valid = false;
};
