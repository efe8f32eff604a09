#include "support/appsettings.h"

#include <QCoreApplication>
#include <QFileInfo>

#include "support/inifile.h"

namespace AppSettings {

namespace {
QString s_overrideDir;
}

QString applicationDir()
{
    if (!s_overrideDir.isEmpty())
        return s_overrideDir;
    if (QCoreApplication::instance())
        return QCoreApplication::applicationDirPath();
    // A host where no application object could be made (no display) still has its settings;
    // Qt answers only with an object, the kernel without one.
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalPath();
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
    const QString value = IniFile::valueInFile(appFilePath(fileName), key);
    return value.isNull() ? defaultValue : value;
}

}
