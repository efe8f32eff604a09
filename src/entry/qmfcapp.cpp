#include "entry/qmfcapp.h"

#include "platform/hostbridge.h"
#include "support/logline.h"
#include "support/logwriter.h"

#include <exception>

#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QPointer>

namespace {
// Filled while the library's static objects are being built: a namespace-scope QString in this
// file might not be constructed yet at that moment, a function-local one always is.
QString &unavailableReasonText()
{
    static QString text;
    return text;
}

QString &escapedExceptionText()
{
    static QString text;
    return text;
}

void *s_hook = nullptr;
bool s_pinned = false;
bool s_inCall = false;

QString moduleFolder(void *module)
{
    const std::string path = HostBridge::modulePath(module);
    return path.empty() ? QString() : QFileInfo(QString::fromStdString(path)).absolutePath();
}

// QApplication keeps references to argc and argv for its whole life. On Windows they name the
// platform and the folder of its plug-in, so that neither QT_QPA_PLATFORM nor
// QT_QPA_PLATFORM_PLUGIN_PATH of the till's environment can bring in another program's plug-in.
struct Arguments
{
    QByteArray storage[5];
    char *argv[6] = {};
    int argc = 0;

    void set(const QString &folder)
    {
#ifdef Q_OS_WIN
        const QByteArray values[] = {"TwCouponPay5", "-platform", "windows", "-platformpluginpath",
                                     QDir::toNativeSeparators(folder + QStringLiteral("/platforms")).toLocal8Bit()};
        for (const QByteArray &value : values) {
            storage[argc] = value;
            argv[argc] = storage[argc].data();
            ++argc;
        }
#else
        Q_UNUSED(folder)
#endif
    }
};

Arguments &startArguments()
{
    static Arguments args;
    return args;
}

// Where Qt looks for plug-ins (platforms\, sqldrivers\, styles\, ...).
void restrictLibraryPaths(const QString &folder)
{
    if (folder.isEmpty())
        return;
#ifdef Q_OS_WIN
    // Only beside the library: neither the till's folder nor QT_PLUGIN_PATH, where another
    // program's Qt plug-ins may lie.
    QCoreApplication::setLibraryPaths({folder});
#else
    QCoreApplication::addLibraryPath(folder);
#endif
}
}

QMfcApp::QMfcApp(int &argc, char **argv)
    : QApplication(argc, argv)
{ }

bool QMfcApp::EnsureApplication(void *module)
{
    if (QCoreApplication::instance())
        return false;
    // Qt ends the whole process, and with it the till, when it cannot start.
    const std::string reason = HostBridge::displayUnavailableReason(module);
    if (!reason.empty()) {
        unavailableReasonText() = QString::fromStdString(reason);
#ifdef Q_OS_WIN
        // Unloading would take Qt's DLLs out of the process and a later load could not bring
        // them back cleanly: stay loaded, as with an application object.
        s_pinned = HostBridge::pinModule(module);
#endif
        return false;
    }
    s_hook = HostBridge::installMessageHook(&QMfcApp::deliverPostedEvents);
    const QString folder = moduleFolder(module);
#ifdef Q_OS_WIN
    // A plug-in leaves the process as it found it: without this Qt makes the till DPI-aware.
    QCoreApplication::setAttribute(Qt::AA_PluginApplication);
#endif
    restrictLibraryPaths(folder);
    Arguments &args = startArguments();
    args.set(folder);
    new QMfcApp(args.argc, args.argv);
    // Qt recomputes the paths as the application object starts: set them once more.
    restrictLibraryPaths(folder);
    s_pinned = HostBridge::pinModule(module);
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

void QMfcApp::beginCall()
{
    s_inCall = true;
    escapedExceptionText().clear();
}

QString QMfcApp::endCall()
{
    s_inCall = false;
    return escapedExceptionText();
}

bool QMfcApp::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &e) {
        escapedException(QString::fromLocal8Bit(e.what()));
    } catch (...) {
        escapedException(QStringLiteral("未知异常"));
    }
    return false;
}

void QMfcApp::escapedException(const QString &what)
{
    const QString text = what.isEmpty() ? QStringLiteral("未知异常") : what;
    LogWriter().WriteLog(LogModule::kLibrary, QStringLiteral("事件处理"), QStringLiteral("事件处理中的异常：") + text);
    if (!s_inCall)
        return;
    if (escapedExceptionText().isEmpty())
        escapedExceptionText() = text;
    // The call waits in its dialogs' loops: end them, the call then reports the failure.
    const QList<QWidget *> windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        QPointer<QDialog> dialog = qobject_cast<QDialog *>(window);
        if (dialog && dialog->isVisible())
            dialog->reject();
    }
}
