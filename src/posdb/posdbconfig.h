#pragma once

#include <QByteArray>
#include <QString>

// Where the host POS database is and how to reach it: settings and connection texts.
// Nothing here touches a database, so every rule can be checked on its own.
namespace HostDatabase {

// The host keeps its database settings in one of three INI layouts, chosen by Config/SysType
// of the plug-in's own INI file. Missing files or keys read as empty texts and port 0.
struct PosDbConfig
{
    QString dbType;         // as written in the host's settings; upper-cased when connecting
    QString server;         // server, host, service name or Access connection file
    QString databaseName;
    QString userName;
    QString password;
    int port = 0;
};

PosDbConfig readPosDbConfig(const QString &applicationDir);

// Qt SQL driver for an upper-cased database type; empty when the type has none.
QString driverForType(const QString &upperType);

// A name without any of ":", "/" and "\" is a bare file name and lives in the application
// directory; anything else is used as given. The path is trimmed first.
QString resolveBareFileName(const QString &path, const QString &applicationDir);

QString sqlServerConnectionString(const QString &server, const QString &databaseName);
QString accessConnectionString(const QString &path, const QString &userName,
                               const QString &password);

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
