#include "support/appsettings.h"

#include <QCoreApplication>
#include <QSettings>

namespace AppSettings {

namespace {
QString s_overrideDir;
}

QString applicationDir()
{
    return s_overrideDir.isEmpty() ? QCoreApplication::applicationDirPath() : s_overrideDir;
}

void overrideApplicationDir(const QString &dir)
{
    s_overrideDir = dir;
}

QString appFilePath(const char *fileName)
{
    return applicationDir() + QString::fromUtf8(fileName);
}

QString readIni(const char *fileName, const QString &key, const QString &defaultValue)
{
    QSettings settings(appFilePath(fileName), QSettings::IniFormat);
    return settings.value(key, defaultValue).toString();
}

}
