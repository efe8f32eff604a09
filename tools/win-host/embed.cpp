// The C++ half of the sample till: a small mingw-built DLL that uses the library's Qt and its
// exported QWinWidget (a C++ interface, so the caller must be built with the same compiler).
// The plain C host loads it after the library and calls these C functions.
#include <windows.h>

#include <QApplication>
#include <QDialog>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cstdio>
#include <stdexcept>

#include "entry/qwinwidget.h"

namespace {
int s_ticks = 0;
int s_queued = 0;
constexpr int kQueuedSignals = 5;
}

#define EMBED_EXPORT extern "C" __declspec(dllexport)

// Qt work that only Qt's event delivery can run: a repeating timer and queued signals. The
// host then runs nothing but its own message loop.
EMBED_EXPORT void __cdecl embed_probe_start()
{
    auto *timer = new QTimer(qApp);
    QObject::connect(timer, &QTimer::timeout, [] { ++s_ticks; });
    timer->start(20);
    auto *sender = new QObject(qApp);
    QObject::connect(
        sender, &QObject::objectNameChanged, qApp, [] { ++s_queued; }, Qt::QueuedConnection);
    for (int i = 0; i < kQueuedSignals; ++i)
        sender->setObjectName(QString::number(i));
}

EMBED_EXPORT void __cdecl embed_probe_result(int *ticks, int *queued)
{
    *ticks = s_ticks;
    *queued = s_queued;
}

// A modal Qt dialog over the host window, as a till integrator would show one.
EMBED_EXPORT int __cdecl embed_modal_check(HWND host, char *report, int size)
{
    auto *embedded = new QWinWidget(host);
    auto *dialog = new QDialog(embedded);
    dialog->setWindowTitle(QStringLiteral("会员"));
    auto *layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLineEdit(dialog));
    const int enabledBefore = IsWindowEnabled(host) ? 1 : 0;
    int enabledDuring = -1;
    QTimer::singleShot(300, dialog, [&] {
        enabledDuring = IsWindowEnabled(host) ? 1 : 0;
        dialog->accept();
    });
    embedded->showCentered();
    dialog->exec();
    const int enabledAfter = IsWindowEnabled(host) ? 1 : 0;
    delete embedded;
    std::snprintf(report, std::size_t(size), "host enabled before %d during %d after %d", enabledBefore, enabledDuring,
                  enabledAfter);
    return enabledDuring;
}

// A Qt event handler that lets an exception escape while the library's call runs its loops.
EMBED_EXPORT void __cdecl embed_throw_soon()
{
    QTimer::singleShot(100, qApp, [] { throw std::runtime_error("handler failed"); });
}
