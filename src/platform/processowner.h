#pragma once

#include <QString>

// Who holds an entry of a file that several processes of one till share. A process id alone is
// reused once its process has ended, so the owner text also carries when the process started.
namespace ProcessOwner {

// This process, or the running process pid, in a form no later process can be taken for;
// empty when pid names no process this one can see.
QString current();
QString ofProcess(qint64 pid);
// Whether the process that owner names still runs. A text that names no process gives false;
// a process this one may not look at counts as running.
bool isRunning(const QString &owner);

}
