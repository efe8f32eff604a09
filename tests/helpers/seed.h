#pragma once

#include <QMap>
#include <QStringList>
#include <QVariant>

namespace Seed {
// Keys as "Group/Key"; an invalid value removes its key.
void writeIni(const QString &path, const QMap<QString, QVariant> &values);
bool runSqlite(const QString &path, const QStringList &statements, QString *error = nullptr);
bool runSqliteScript(const QString &path, const QString &scriptPath, QString *error = nullptr);
void gen6Till(const QString &folder, const QString &url, int timeoutSeconds);
}
