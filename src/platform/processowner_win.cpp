#include "platform/processowner.h"

#include <windows.h>

#include <QStringList>

namespace ProcessOwner {

namespace {

// The creation time is absolute (not since boot), so a pid and it name one process for good.
quint64 creationTime(HANDLE process)
{
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(process, &created, &exited, &kernel, &user))
        return 0;
    return (quint64(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}

QString current()
{
    return QStringLiteral("%1:%2").arg(GetCurrentProcessId()).arg(creationTime(GetCurrentProcess()));
}

QString ofProcess(qint64 pid)
{
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(pid));
    if (!process)
        return QString();
    const quint64 created = creationTime(process);
    CloseHandle(process);
    return QStringLiteral("%1:%2").arg(pid).arg(created);
}

bool isRunning(const QString &owner)
{
    const QStringList parts = owner.split(QLatin1Char(':'));
    bool pidOk = false;
    bool timeOk = false;
    const DWORD pid = parts.value(0).toULong(&pidOk);
    const quint64 created = parts.value(1).toULongLong(&timeOk);
    if (!pidOk || !timeOk || parts.size() != 2)
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process)
        return GetLastError() == ERROR_ACCESS_DENIED;
    DWORD exitCode = 0;
    const bool running =
        GetExitCodeProcess(process, &exitCode) && exitCode == STILL_ACTIVE && creationTime(process) == created;
    CloseHandle(process);
    return running;
}

}
