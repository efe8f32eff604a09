#pragma once

#include <QApplication>
#include <QString>

// The Qt application object of a host that is not a Qt program, created when the library loads.
class QMfcApp : public QApplication
{
public:
    // Creates the application object unless one exists (then false), makes Qt's posted events
    // run inside the host's message loop and keeps the library loaded.
    static bool EnsureApplication(void *module);
    // Non-empty when the library could not create an application object: what is missing, in
    // words for the cashier (no display, Qt's platform plug-in, ...).
    static QString unavailableReason();
    // True once the library holds an extra reference to itself: it then stays loaded until the
    // process ends.
    static bool isPinned();
    // The thread message hook installed with the application object (nullptr for none).
    static void *messageHook();
    // What the message hook does each time the host takes a message: deliver every posted
    // event of every receiver, when there is an application object.
    static void deliverPostedEvents();

    // Whether the library's unload may delete the application object: only the one it
    // created, only while it exists, and for a pinned library (whose unload is the process's
    // end) only where the platform's teardown order allows it.
    static bool shouldDeleteAtUnload(bool owned, bool exists, bool pinned, bool teardownAtExitIsSafe);

    // Brackets one call of the entry: an exception that an event handler let escape meanwhile
    // ends the call's dialogs, and endCall() tells what it was (empty when none).
    static void beginCall();
    static QString endCall();

protected:
    // No exception may unwind into the host's Win32 frames that dispatch our events.
    bool notify(QObject *receiver, QEvent *event) override;

private:
    QMfcApp(int &argc, char **argv);
    void escapedException(const QString &what);
};
