#include "support/seed.h"

#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace Seed {

void writeIni(const QString &path, const IniValues &values)
{
    QSettings settings(path, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

bool runSqlite(const QString &path, const QStringList &statements, QString *error)
{
    static int serial = 0;
    const QString connection = QStringLiteral("seed-%1").arg(++serial);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        if (!ok && error)
            *error = db.lastError().text();
        for (const QString &sql : statements) {
            if (!ok)
                break;
            QSqlQuery query(db);
            ok = query.exec(sql);
            if (!ok && error)
                *error = query.lastError().text() + QStringLiteral(" in ") + sql;
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

void gen6Till(const QString &folder, const QString &url, int timeoutSeconds)
{
    writeIni(folder + QStringLiteral("/TwCouponPay5.ini"),
             {{QStringLiteral("Config/Url"), url},
              {QStringLiteral("Config/TimeOut"), QString::number(timeoutSeconds)},
              {QStringLiteral("Config/SysType"), QStringLiteral("GEN6")}});
    writeIni(folder + QStringLiteral("/config.ini"),
             {{QStringLiteral("Config/OrgCode"), QStringLiteral("A01")},
              {QStringLiteral("Config/PosNo"), QStringLiteral("001")},
              {QStringLiteral("DataBase/DbType"), QStringLiteral("SQLITE")},
              {QStringLiteral("DataBase/DBName"), QStringLiteral("pos.db")}});
    runSqlite(folder + QStringLiteral("/pos.db"),
              {QStringLiteral("create table if not exists tPosKeyDef(ScanCode integer, FuncValue text, KeyType text)"),
               QStringLiteral("create table if not exists tPosKeyDefDetail(OrgCode text, PosNo text, ScanCode text, FuncValue text, KeyType text)")});
}

}
