#pragma once

#include <QDir>

#include "support/appsettings.h"
#include "support/tillfolder.h"

// A till folder for in-process tests: while it lives, the library takes it for the folder of
// the host executable, and its working directory is the current one.
class AppFolder : public TillFolder
{
public:
    AppFolder() : TillFolder(QString(), QString()) { QDir::setCurrent(workDir()); AppSettings::overrideApplicationDir(path()); }
    ~AppFolder() { AppSettings::overrideApplicationDir(QString()); QDir::setCurrent(QDir::tempPath()); }
};
