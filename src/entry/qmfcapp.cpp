#include "entry/qmfcapp.h"

#include "platform/hostbridge.h"

#include <QFileInfo>

namespace {
// Filled while the library's static objects are being built: a namespace-scope QString in this
// file might not be constructed yet at that moment, a function-local one always is.
QString &unavailableReasonText()
{
    static QString text;
    return text;
}

// QApplication keeps references to argc and argv for its whole life.
int s_argc = 0;
char *s_argv[] = {nullptr};
void *s_hook = nullptr;
bool s_pinned = false;

// Qt looks for its plug-ins (platforms\qwindows.dll, sqldrivers\...) beside the host's
// executable; a till may keep this library and the folders it ships with somewhere else.
void addModuleFolderToLibraryPaths(void *module)
{
    const std::string fileName = HostBridge::moduleFileName(module);
    if (!fileName.empty())
        QCoreApplication::addLibraryPath(QFileInfo(QString::fromLocal8Bit(fileName.c_str())).absolutePath());
}
}

QMfcApp::QMfcApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

bool QMfcApp::EnsureApplication(void *module)
{
    if (QCoreApplication::instance())
        return false;
    // Without a display Qt would end the whole process, and with it the till.
    const std::string reason = HostBridge::displayUnavailableReason();
    if (!reason.empty()) {
        unavailableReasonText() = QString::fromStdString(reason);
        return false;
    }
    s_hook = HostBridge::installMessageHook(&QMfcApp::deliverPostedEvents);
    addModuleFolderToLibraryPaths(module);
    new QMfcApp(s_argc, s_argv);
    const std::string fileName = HostBridge::moduleFileName(module);
    if (!fileName.empty())
        s_pinned = HostBridge::pinModule(fileName);
    return true;
}

QString QMfcApp::unavailableReason()
{
    return unavailableReasonText();
}

bool QMfcApp::isPinned()
{
    return s_pinned;
}

void *QMfcApp::messageHook()
{
    return s_hook;
}

void QMfcApp::deliverPostedEvents()
{
    if (QCoreApplication::instance())
        QCoreApplication::sendPostedEvents();
}

bool QMfcApp::shouldDeleteAtUnload(bool owned, bool exists, bool pinned, bool teardownAtExitIsSafe)
{
    return owned && exists && (!pinned || teardownAtExitIsSafe);
}
