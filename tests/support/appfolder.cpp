#include "support/appfolder.h"

#include <QDir>
#include <QFile>

#include "support/appsettings.h"
#include "support/testsupport.h"

AppFolder::AppFolder()
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

void AppFolder::writeGen5(const QString &url, int timeoutSeconds)
{
    writeIni(QStringLiteral("TwCouponPay5.ini"),
             {{QStringLiteral("Config/Url"), url}, {QStringLiteral("Config/TimeOut"), QString::number(timeoutSeconds)},
              {QStringLiteral("Config/SysType"), QStringLiteral("GEN5")}, {QStringLiteral("Config/UserName"), QStringLiteral("sa")},
              {QStringLiteral("Config/Password"), QStringLiteral("pos")}});
    // Written as the host writes it: a literal "[SQL SERVER]" section, keys with blanks.
    TestSupport::writeFile(filePath(QStringLiteral("PosCfg.ini")),
                           "[SQL SERVER]\r\nLOCAL NAME=localhost\r\nLOCAL DBNAME=" + filePath(QStringLiteral("gen5.db")).toUtf8() + "\r\n");
    TestSupport::writeFile(filePath(QStringLiteral("odbcinst.ini")),
                           "[SQL SERVER]\nDescription=SQLite3 in the place of SQL Server\n"
                           "Driver=/usr/lib/x86_64-linux-gnu/odbc/libsqlite3odbc.so\n");
    qputenv("ODBCSYSINI", QFile::encodeName(path()));
    runSql(QStringLiteral("gen5.db"), {QStringLiteral("create table if not exists tJkPosKeyDef(ScanCode integer, FuncValue text, KeyType text)")});
}

QString AppFolder::logText() const
{
    return TestSupport::dailyLog(filePath(QStringLiteral("work")));
}
