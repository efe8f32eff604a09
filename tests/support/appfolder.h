#pragma once

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include "support/seed.h"

// An "application directory" for in-process tests: INI files and databases the library reads
// from beside the host executable, plus a working directory for the daily log. Points the
// library at itself while alive.
class AppFolder
{
public:
    AppFolder();
    ~AppFolder();

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.path() + QLatin1Char('/') + name; }

    void writeIni(const QString &fileName, const QMap<QString, QVariant> &values) { Seed::writeIni(filePath(fileName), values); }
    bool runSql(const QString &databaseName, const QStringList &statements, QString *error = nullptr)
    {
        return Seed::runSqlite(filePath(databaseName), statements, error);
    }

    // GEN6 till: SQLite "pos.db", organisation "A01", till "001", server at url.
    void writeGen6(const QString &url = QString(), int timeoutSeconds = 5) { Seed::gen6Till(path(), url, timeoutSeconds); }
    // GEN5 till: its POS database is "SQL Server" reached through ODBC; here the ODBC driver
    // registered under that name is SQLite's, so the SQL Server code path runs for real.
    void writeGen5(const QString &url = QString(), int timeoutSeconds = 5);

    // Today's daily log ("" when there is none).
    QString logText() const;

private:
    QTemporaryDir m_dir;
};
