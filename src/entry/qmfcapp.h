#pragma once

#include <QApplication>
#include <QString>

// The Qt application object of a host that is not a Qt program, created when the library loads.
class QMfcApp : public QApplication
{
public:
    // Creates the application object unless one exists (then false). Keeps the library loaded.
    static bool EnsureApplication(void *module);
    // Non-empty when the library could not create an application object (no display, ...).
    static QString unavailableReason();
    // True once the library holds an extra reference to itself: it then stays loaded until the
    // process ends.
    static bool isPinned();

private:
    QMfcApp(int &argc, char **argv);
};
