#pragma once

#include <QMap>
#include <QStringList>
#include <QVariant>

// Files a till needs, written the way the host writes them. INI values go in as "Group/Key".
namespace Seed {

// An invalid value removes its key, for a till whose settings lack it.
void writeIni(const QString &path, const QMap<QString, QVariant> &values);
// Runs the statements on a SQLite file (created when missing) in one transaction; false with the error and the
// statement that failed.
bool runSqlite(const QString &path, const QStringList &statements, QString *error = nullptr);
// The same for a script file: statements end with ";", "--" starts a comment.
bool runSqliteScript(const QString &path, const QString &scriptPath, QString *error = nullptr);
// A GEN6 till: TwCouponPay5.ini and config.ini in folder, a SQLite POS database "pos.db" with empty key tables,
// organisation "A01", till "001".
void gen6Till(const QString &folder, const QString &url, int timeoutSeconds);

}
