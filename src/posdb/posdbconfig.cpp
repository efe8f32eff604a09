#include "posdb/posdbconfig.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>

#include "support/appsettings.h"
#include "support/inifile.h"

namespace HostDatabase {

namespace {

const DbTypeTraits kDbTypes[] = {
    {DbType::Sqlite, "SQLITE", "QSQLITE", "select datetime('now') as date", "", "", ProcedureCall::None},
    {DbType::MySql, "MYSQL", "QMYSQL", "select current_timestamp as date", "", "", ProcedureCall::None},
    {DbType::SqlServer, "SQLSERVER", "QODBC", "select getdate() as date", "exec ", " ", ProcedureCall::Marks},
    {DbType::Oracle, "ORACLE", "QOCI", "select sysdate as date from dual", "call ", "() ", ProcedureCall::Named},
    {DbType::Access, "ACCESS", "QODBC", "select getdate() as date", "", "", ProcedureCall::None},
};
const DbTypeTraits kNoType = {DbType::None, "", "", "", "", "", ProcedureCall::None};
const DbTypeTraits kOtherType = {DbType::Other, "", "", "", "", "", ProcedureCall::None};

class HostIni
{
public:
    HostIni(const QString &applicationDir, const char *fileName)
    {
        QFile file(applicationDir + QString::fromUtf8(fileName));
        if (file.open(QIODevice::ReadOnly))
            m_content = file.readAll();
    }
    QString text(const char *key) const { return IniFile::value(m_content, QString::fromUtf8(key)); }
    int number(const char *key) const { return text(key).toInt(); }

private:
    QByteArray m_content;
};

}

DbType dbTypeFromText(const QString &text)
{
    if (text.isEmpty())
        return DbType::None;
    const QString upper = text.toUpper();
    for (const DbTypeTraits &row : kDbTypes) {
        if (upper == QLatin1String(row.name))
            return row.type;
    }
    return DbType::Other;
}

const DbTypeTraits &dbTypeTraits(DbType type)
{
    for (const DbTypeTraits &row : kDbTypes) {
        if (row.type == type)
            return row;
    }
    return type == DbType::Other ? kOtherType : kNoType;
}

PosDbConfig readPosDbConfig(const QString &applicationDir)
{
    PosDbConfig config;
    const HostIni plugin(applicationDir, AppSettings::kPluginIni);
    const QString sysType = plugin.text("Config/SysType");

    if (sysType == QLatin1String("GEN6")) {
        const HostIni host(applicationDir, AppSettings::kHostConfigIni);
        config.dbType = dbTypeFromText(host.text("DataBase/DbType"));
        config.server = host.text("DataBase/ServiceName");
        config.databaseName = host.text("DataBase/DBName");
        config.userName = host.text("DataBase/UserName");
        config.password = host.text("DataBase/Password");
        config.port = host.number("DataBase/Port");
        return config;
    }

    // Older tills run SQL Server only; the credentials live in the plug-in's own INI file.
    config.dbType = DbType::SqlServer;
    config.userName = plugin.text("Config/UserName");
    config.password = plugin.text("Config/Password");
    config.port = kSqlServerDefaultPort;
    if (sysType == QLatin1String("GEN5")) {
        const HostIni host(applicationDir, AppSettings::kGen5PosCfgIni);
        config.server = host.text("SQL SERVER/LOCAL NAME");
        config.databaseName = host.text("SQL SERVER/LOCAL DBNAME");
    } else {
        const HostIni host(applicationDir, AppSettings::kGdPosCfgIni);
        config.server = host.text("DataBase/Server");
        config.databaseName = host.text("DataBase/DbName");
    }
    return config;
}

QString resolveBareFileName(const QString &path, const QString &applicationDir)
{
    const QString trimmed = path.trimmed();
    if (trimmed.contains(QLatin1Char(':')) || trimmed.contains(QLatin1Char('/')) || trimmed.contains(QLatin1Char('\\')))
        return trimmed;
    return QStringLiteral("%1/%2").arg(applicationDir, trimmed);
}

QString sqlServerConnectionString(const QString &server, const QString &databaseName)
{
    return QStringLiteral("DRIVER={SQL SERVER};SERVER=%1;DATABASE=%2").arg(server, databaseName);
}

QString accessConnectionString(const QString &path, const QString &userName, const QString &password)
{
    return QStringLiteral("DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=%1;UID=%2;PWD=%3")
        .arg(path, userName, password);
}

int portOrDefault(int configuredPort, int defaultPort)
{
    return configuredPort >= 1 ? configuredPort : defaultPort;
}

QString decodeConnectionFile(const QByteArray &bytes)
{
    // A byte-order mark settles it; Windows writes .udl files as UTF-16LE with one.
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF"))
        return QTextCodec::codecForName("UTF-16")->toUnicode(bytes);
    const QString utf8 = QString::fromUtf8(bytes.constData(), bytes.size());
    // Without a mark, ASCII text in UTF-16LE shows a zero as its second character.
    if (utf8.size() > 3 && utf8.at(1).unicode() == 0)
        return QTextCodec::codecForName("UTF-16LE")->toUnicode(bytes);
    return utf8;
}

QString accessPathFromConnectionText(const QString &text)
{
    const int first = text.indexOf(QLatin1Char('='));
    if (first < 0)
        return QString();
    const int second = text.indexOf(QLatin1Char('='), first + 1);
    if (second < 0)
        return QString();
    const int end = text.indexOf(QLatin1Char(';'), second + 1);
    const int length = end < 0 ? -1 : end - second - 1;
    return text.mid(second + 1, length).trimmed();
}

QString resolveAccessPath(const QString &path, const QString &applicationDir)
{
    if (path.contains(QLatin1Char(':')))
        return path;
    return QStringLiteral("%1/%2").arg(applicationDir, path);
}

QString traceText(const QString &operation, const QString &statement)
{
    return QStringLiteral("函数:") + operation + QStringLiteral("||执行:") + statement + QStringLiteral("||");
}

}
