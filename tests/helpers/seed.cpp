#include "helpers/seed.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace Seed {

void writeIni(const QString &path, const QMap<QString, QVariant> &values)
{
    QSettings settings(path, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        it.value().isValid() ? settings.setValue(it.key(), it.value()) : settings.remove(it.key());
}

bool runSqlite(const QString &path, const QStringList &statements, QString *error)
{
    static int serial = 0;
    const QString connection = QStringLiteral("seed-%1").arg(++serial);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        // One transaction: a sync per statement makes seeding slow on a busy disk.
        if (!db.open() || !db.transaction())
            failure = db.lastError().text();
        QSqlQuery query(db);
        for (const QString &sql : statements)
            if (failure.isEmpty() && !query.exec(sql))
                failure = query.lastError().text() + QStringLiteral(" in ") + sql;
        if (failure.isEmpty() && !db.commit())
            failure = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return (error ? *error = failure : failure).isEmpty();
}

bool runSqliteScript(const QString &path, const QString &scriptPath, QString *error)
{
    QFile script(scriptPath);
    if (!script.open(QIODevice::ReadOnly) && error)
        *error = scriptPath + QStringLiteral(": ") + script.errorString();
    const QString text =
        QString::fromUtf8(script.readAll()).remove(QRegularExpression(QStringLiteral("--[^\n]*"))).trimmed();
    return script.isOpen()
        && runSqlite(path, text.split(QRegularExpression(QStringLiteral("\\s*;\\s*")), Qt::SkipEmptyParts), error);
}

void gen6Till(const QString &folder, const QString &url, int timeoutSeconds)
{
    writeIni(folder + QStringLiteral("/TwCouponPay5.ini"),
             {{QStringLiteral("Config/Url"), url},
              {QStringLiteral("Config/TimeOut"), timeoutSeconds},
              {QStringLiteral("Config/SysType"), QStringLiteral("GEN6")}});
    writeIni(folder + QStringLiteral("/config.ini"),
             {{QStringLiteral("Config/OrgCode"), QStringLiteral("A01")},
              {QStringLiteral("Config/PosNo"), QStringLiteral("001")},
              {QStringLiteral("DataBase/DbType"), QStringLiteral("SQLITE")},
              {QStringLiteral("DataBase/DBName"), QStringLiteral("pos.db")}});
    runSqlite(folder + QStringLiteral("/pos.db"),
              {QStringLiteral("create table if not exists tPosKeyDef(ScanCode integer, FuncValue text, KeyType text)"),
               QStringLiteral("create table if not exists tPosKeyDefDetail(OrgCode text, PosNo text, ScanCode text, "
                              "FuncValue text, KeyType text)")});
}

}
