#include "support/appsettings.h"

#include <QCoreApplication>
#include <QSettings>

namespace AppSettings {

QString appFilePath(const char *fileName)
{
    return QCoreApplication::applicationDirPath() + QString::fromUtf8(fileName);
}

QString readIni(const char *fileName, const QString &key, const QString &defaultValue)
{
    QSettings settings(appFilePath(fileName), QSettings::IniFormat);
    return settings.value(key, defaultValue).toString();
}

}
