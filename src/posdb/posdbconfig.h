#pragma once

#include <QByteArray>
#include <QString>

// Where the host POS database is and how to reach it: settings and connection texts.
// Nothing here touches a database, so every rule can be checked on its own.
namespace HostDatabase {

// The host database types. None: the settings name no type; Other: a type we do not know,
// which has no driver, so nothing is ever opened for it.
enum class DbType { None, Sqlite, MySql, SqlServer, Oracle, Access, Other };

// How a type calls a stored procedure that takes parameters.
enum class ProcedureCall {
    None, // the type has no stored procedures
    Named, // "CALL p(:a,:b)"
    Marks, // "exec p ?,? output"
};

// All that differs between the types, one row each. An empty text: the type has no such thing.
struct DbTypeTraits
{
    DbType type;
    const char *name; // as the settings write it, upper-cased
    const char *driver; // Qt SQL driver
    const char *serverTimeSql; // one row with the server's clock in column "date"
    const char *execPrefix; // a procedure without arguments runs as prefix + name + suffix
    const char *execSuffix;
    ProcedureCall procedureCall;
};

// The settings' text in any case ("mysql", "SQLite"); an empty text is None, an unknown one Other.
DbType dbTypeFromText(const QString &text);
// None and Other have a row of empty texts.
const DbTypeTraits &dbTypeTraits(DbType type);

// The host keeps its database settings in one of three INI layouts, chosen by Config/SysType
// of the plug-in's own INI file. Missing files or keys read as empty texts and port 0.
struct PosDbConfig
{
    DbType dbType = DbType::None;
    QString server; // server, host, service name or Access connection file
    QString databaseName;
    QString userName;
    QString password;
    int port = 0;
};

PosDbConfig readPosDbConfig(const QString &applicationDir);

// A name without any of ":", "/" and "\" is a bare file name and lives in the application
// directory; anything else is used as given. The path is trimmed first.
QString resolveBareFileName(const QString &path, const QString &applicationDir);

QString sqlServerConnectionString(const QString &server, const QString &databaseName);
QString accessConnectionString(const QString &path, const QString &userName, const QString &password);

constexpr int kSqlServerDefaultPort = 1433;
constexpr int kOracleDefaultPort = 1521;
// Port 0 (or a negative one) in the settings means the server's usual port.
int portOrDefault(int configuredPort, int defaultPort);

// An Access connection file (a .udl written by Windows) may be UTF-8 or UTF-16 without
// anything in its name saying so; its text is recognised from the bytes.
QString decodeConnectionFile(const QByteArray &bytes);
// The database path: the text between the second "=" and the next ";", trimmed.
// Empty when the text has fewer than two "=".
QString accessPathFromConnectionText(const QString &text);
// A connection file path without a drive (":") is relative to the application directory.
QString resolveAccessPath(const QString &path, const QString &applicationDir);

// The trace every statement leaves in the caller's message: "函数:<op>||执行:<statement>||".
QString traceText(const QString &operation, const QString &statement);

}
