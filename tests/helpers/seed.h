#pragma once

#include <QMap>
#include <QStringList>
#include <QVariant>

// Files a till needs, written as the host writes them.
namespace Seed {
// Keys as "Group/Key"; an invalid value removes its key.
void writeIni(const QString &path, const QMap<QString, QVariant> &values);
// In one transaction; false with the error and the statement that failed.
bool runSqlite(const QString &path, const QStringList &statements, QString *error = nullptr);
// Statements end with ";", "--" starts a comment.
bool runSqliteScript(const QString &path, const QString &scriptPath, QString *error = nullptr);
// TwCouponPay5.ini, config.ini and a SQLite "pos.db" with empty key tables: organisation "A01", till "001".
void gen6Till(const QString &folder, const QString &url, int timeoutSeconds);
}
