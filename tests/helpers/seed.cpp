#include "helpers/seed.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlError>
#include <QSqlQuery>

void Seed::writeIni(const QString &path, const QMap<QString, QVariant> &values)
{
    QSettings settings(path, QSettings::IniFormat);
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        it->isValid() ? settings.setValue(it.key(), *it) : settings.remove(it.key());
}

bool Seed::runSqlite(const QString &path, const QStringList &statements, QString *error)
{
    static int serial = 0;
    const QString name = "seed" + QString::number(++serial);
    QString failure;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        if (!db.open() || !db.transaction())
            failure = db.lastError().text();
        QSqlQuery query(db);
        for (const QString &sql : statements)
            if (failure.isEmpty() && !query.exec(sql))
                failure = query.lastError().text() + " in " + sql;
        if (failure.isEmpty() && !db.commit())
            failure = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(name);
    return (error ? *error = failure : failure).isEmpty();
}

bool Seed::runSqliteScript(const QString &path, const QString &scriptPath, QString *error)
{
    QFile script(scriptPath);
    if (!script.open(QIODevice::ReadOnly) && error)
        *error = scriptPath + ": " + script.errorString();
    const QString text = QString::fromUtf8(script.readAll()).remove(QRegularExpression("--[^\n]*"));
    return script.isOpen() && runSqlite(path, text.split(QRegularExpression("\\s*;\\s*"), Qt::SkipEmptyParts), error);
}

void Seed::gen6Till(const QString &folder, const QString &url, int timeoutSeconds)
{
    writeIni(folder + "/TwCouponPay5.ini",
             {{"Config/Url", url}, {"Config/TimeOut", timeoutSeconds}, {"Config/SysType", "GEN6"}});
    writeIni(folder + "/config.ini",
             {{"Config/OrgCode", "A01"},
              {"Config/PosNo", "001"},
              {"DataBase/DbType", "SQLITE"},
              {"DataBase/DBName", "pos.db"}});
    runSqlite(folder + "/pos.db",
              {"create table if not exists tPosKeyDef(ScanCode integer, FuncValue text, KeyType text)",
               "create table if not exists tPosKeyDefDetail(OrgCode text, PosNo text, ScanCode text, FuncValue text, "
               "KeyType text)"});
}
