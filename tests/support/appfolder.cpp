#include "support/appfolder.h"

#include <QDate>
#include <QDir>
#include <QFile>

#include "support/appsettings.h"
#include "support/seed.h"

AppFolder::AppFolder()
    : m_previousDir(QDir::currentPath())
{
    QDir().mkpath(filePath(QStringLiteral("work")));
    QDir::setCurrent(filePath(QStringLiteral("work")));
    AppSettings::overrideApplicationDir(m_dir.path());
}

AppFolder::~AppFolder()
{
    AppSettings::overrideApplicationDir(QString());
    QDir::setCurrent(QDir::tempPath());
}

void AppFolder::writeIni(const QString &fileName, const QMap<QString, QVariant> &values)
{
    Seed::writeIni(filePath(fileName), values);
}

bool AppFolder::runSql(const QString &databaseName, const QStringList &statements, QString *error)
{
    return Seed::runSqlite(filePath(databaseName), statements, error);
}

void AppFolder::writeGen6(const QString &url, int timeoutSeconds)
{
    Seed::gen6Till(path(), url, timeoutSeconds);
}

void AppFolder::writeGen5(const QString &url, int timeoutSeconds)
{
    writeIni(QStringLiteral("TwCouponPay5.ini"),
             {{QStringLiteral("Config/Url"), url},
              {QStringLiteral("Config/TimeOut"), QString::number(timeoutSeconds)},
              {QStringLiteral("Config/SysType"), QStringLiteral("GEN5")},
              {QStringLiteral("Config/UserName"), QStringLiteral("sa")},
              {QStringLiteral("Config/Password"), QStringLiteral("pos")}});
    // Written as the host writes it: a literal "[SQL SERVER]" section, keys with blanks.
    QFile posCfg(filePath(QStringLiteral("PosCfg.ini")));
    if (posCfg.open(QIODevice::WriteOnly | QIODevice::Truncate))
        posCfg.write("[SQL SERVER]\r\nLOCAL NAME=localhost\r\nLOCAL DBNAME=" + filePath(QStringLiteral("gen5.db")).toUtf8()
                     + "\r\n");
    posCfg.close();
    QFile odbc(filePath(QStringLiteral("odbcinst.ini")));
    if (odbc.open(QIODevice::WriteOnly | QIODevice::Truncate))
        odbc.write("[SQL SERVER]\nDescription=SQLite3 in the place of SQL Server\n"
                   "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
    odbc.close();
    qputenv("ODBCSYSINI", QFile::encodeName(path()));
    runSql(QStringLiteral("gen5.db"),
           {QStringLiteral("create table if not exists tJkPosKeyDef(ScanCode integer, FuncValue text, KeyType text)")});
}

QString AppFolder::logText() const
{
    QFile file(filePath(QStringLiteral("work/LOG/PayLog")) + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
               + QStringLiteral(".txt"));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(file.readAll());
}
