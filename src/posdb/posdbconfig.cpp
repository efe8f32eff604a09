#include "posdb/posdbconfig.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringList>
#include <QTextCodec>

#include "support/appsettings.h"
#include "support/inifile.h"

namespace HostDatabase {

namespace {

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

PosDbConfig readPosDbConfig(const QString &applicationDir)
{
    PosDbConfig config;
    const HostIni plugin(applicationDir, AppSettings::kPluginIni);
    const QString sysType = plugin.text("Config/SysType");

    if (sysType == QLatin1String("GEN6")) {
        const HostIni host(applicationDir, AppSettings::kHostConfigIni);
        config.dbType = host.text("DataBase/DbType");
        config.server = host.text("DataBase/ServiceName");
        config.databaseName = host.text("DataBase/DBName");
        config.userName = host.text("DataBase/UserName");
        config.password = host.text("DataBase/Password");
        config.port = host.number("DataBase/Port");
        return config;
    }

    // Older tills run SQL Server only; the credentials live in the plug-in's own INI file.
    config.dbType = QStringLiteral("SQLSERVER");
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

QString driverForType(const QString &upperType)
{
    if (upperType == QLatin1String("SQLITE"))
        return QStringLiteral("QSQLITE");
    if (upperType == QLatin1String("MYSQL"))
        return QStringLiteral("QMYSQL");
    if (upperType == QLatin1String("SQLSERVER") || upperType == QLatin1String("ACCESS"))
        return QStringLiteral("QODBC");
    if (upperType == QLatin1String("ORACLE"))
        return QStringLiteral("QOCI");
    return QString();
}

QString resolveBareFileName(const QString &path, const QString &applicationDir)
{
    const QString trimmed = path.trimmed();
    if (trimmed.contains(QLatin1Char(':')) || trimmed.contains(QLatin1Char('/'))
        || trimmed.contains(QLatin1Char('\\')))
        return trimmed;
    return QStringLiteral("%1/%2").arg(applicationDir, trimmed);
}

QString sqlServerConnectionString(const QString &server, const QString &databaseName)
{
    return QStringLiteral("DRIVER={SQL SERVER};SERVER=%1;DATABASE=%2").arg(server, databaseName);
}

QString accessConnectionString(const QString &path, const QString &userName,
                               const QString &password)
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
    return QStringLiteral("函数:") + operation + QStringLiteral("||执行:") + statement
        + QStringLiteral("||");
}

}
