#include "platform/processowner.h"

#include <cerrno>
#include <signal.h>
#include <unistd.h>

#include <QFile>
#include <QStringList>

namespace ProcessOwner {

namespace {

// Field 22 of /proc/<pid>/stat: when the process started, in clock ticks since boot. The command
// name before it may hold spaces and parentheses, so fields count from its last ')'.
QByteArray startTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return QByteArray();
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 19 ? fields.at(19) : QByteArray();
}

QByteArray bootId()
{
    QFile file(QStringLiteral("/proc/sys/kernel/random/boot_id"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray();
}

}

QString current()
{
    return ofProcess(::getpid());
}

QString ofProcess(qint64 pid)
{
    const QByteArray ticks = startTicks(pid);
    if (ticks.isEmpty())
        return QString();
    return QStringLiteral("%1:%2:%3").arg(pid).arg(QString::fromLatin1(ticks), QString::fromLatin1(bootId()));
}

bool isRunning(const QString &owner)
{
    const QStringList parts = owner.split(QLatin1Char(':'));
    bool ok = false;
    const qint64 pid = parts.value(0).toLongLong(&ok);
    if (!ok || pid <= 0 || parts.size() != 3)
        return false;
    if (parts.at(2).toLatin1() != bootId())
        return false;
    const QByteArray ticks = startTicks(pid);
    if (!ticks.isEmpty())
        return ticks == parts.at(1).toLatin1();
    // No /proc to read: only whether some process has that id.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

}
