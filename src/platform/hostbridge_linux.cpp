#include "platform/hostbridge_linux.h"

#include <dlfcn.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <map>

#include <QGuiApplication>
#include <QPointer>
#include <QWindow>

namespace HostBridge {

namespace {
constexpr short kKeyDown = -128; // high bit set, as GetKeyState reports a pressed key

struct NativeWindow
{
    long style = 0;
    HWND parent = 0;
    bool enabled = true;
};

struct WindowState
{
    std::map<HWND, NativeWindow> windows;
    HWND focus = 0;
    HWND active = 0;
    HWND top = 0;
    QPointer<QGuiApplication> trackedApplication;
};

WindowState &state()
{
    static WindowState s;
    // Windows moves the keyboard focus to a Qt window as soon as Qt activates it, so GetFocus
    // sees Qt's own windows too: follow Qt's activation.
    if (qGuiApp && s.trackedApplication != qGuiApp) {
        s.trackedApplication = qGuiApp;
        QObject::connect(qGuiApp, &QGuiApplication::focusWindowChanged, qGuiApp, [](QWindow *window) {
            if (window && window->handle()) {
                state().focus = HWND(window->winId());
                state().active = HWND(window->winId());
            }
        });
    }
    return s;
}

// The Qt window behind a native window id: one of ours, or (where the platform has real
// native windows) a foreign window wrapped once and kept for the life of the process.
QWindow *qtWindowFor(HWND id, bool wrapForeign)
{
    if (!id || !qGuiApp)
        return nullptr;
    const QList<QWindow *> windows = QGuiApplication::allWindows();
    for (QWindow *window : windows) {
        // handle() first: winId() would create a platform window that does not exist yet.
        if (window->handle() && HWND(window->winId()) == id)
            return window;
    }
    if (!wrapForeign || !supportsForeignWindows())
        return nullptr;
    return QWindow::fromWinId(WId(id));
}

}

ModuleHandle moduleOf(const void *address)
{
    Dl_info info;
    if (dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
}

std::string modulePath(ModuleHandle module)
{
    if (!module)
        return std::string();
    Dl_info info;
    if (dladdr(module, &info) == 0 || !info.dli_fname)
        return std::string();
    return info.dli_fname;
}

bool pinModule(ModuleHandle module)
{
    const std::string fileName = modulePath(module);
    if (fileName.empty())
        return false;
    // RTLD_NODELETE keeps the code mapped even after the host's dlclose().
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr
        || dlopen(fileName.c_str(), RTLD_NOW | RTLD_NODELETE) != nullptr;
}

unsigned long currentThreadId()
{
    return static_cast<unsigned long>(syscall(SYS_gettid));
}

HookHandle installMessageHook(MessageCallback)
{
    // Qt's GLib event dispatcher attaches its sources (posted events, timers, sockets) to the
    // thread's default GLib main context, so a host that runs a GLib main loop on this thread
    // dispatches them as part of its own loop: there is nothing to hook.
    return nullptr;
}

void removeMessageHook(HookHandle) { }

bool applicationTeardownAtExitIsSafe()
{
    // A pinned library's static objects are destroyed by exit(), after the Qt globals that
    // were first used after our load: QApplication's destructor would use them.
    return false;
}

std::string displayUnavailableReason(ModuleHandle)
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return std::string();
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display && *display) || (wayland && *wayland))
        return std::string();
    // Neither DISPLAY nor WAYLAND_DISPLAY is set, and QT_QPA_PLATFORM names no platform.
    return "没有可用的显示设备";
}

long setWindowStyle(HWND window, long style)
{
    if (!window)
        return 0;
    NativeWindow &native = state().windows[window];
    const long previous = native.style;
    native.style = style;
    return previous;
}

long windowStyle(HWND window)
{
    const WindowState &s = state();
    const auto found = s.windows.find(window);
    return found == s.windows.end() ? 0 : found->second.style;
}

HWND setParentWindow(HWND child, HWND parent)
{
    if (!child)
        return 0;
    NativeWindow &native = state().windows[child];
    const HWND previous = native.parent;
    native.parent = parent;
    if (supportsForeignWindows()) {
        if (QWindow *childWindow = qtWindowFor(child, false)) {
            QWindow *parentWindow = qtWindowFor(parent, true);
            if (parentWindow || !parent)
                childWindow->setParent(parentWindow);
        }
    }
    return previous;
}

HWND parentWindow(HWND child)
{
    const WindowState &s = state();
    const auto found = s.windows.find(child);
    return found == s.windows.end() ? 0 : found->second.parent;
}

bool enableWindow(HWND window, bool enable)
{
    if (!window)
        return false;
    NativeWindow &native = state().windows[window];
    const bool wasDisabled = !native.enabled;
    native.enabled = enable;
    return wasDisabled;
}

bool isWindowEnabled(HWND window)
{
    const WindowState &s = state();
    const auto found = s.windows.find(window);
    return found == s.windows.end() || found->second.enabled;
}

HWND setFocusWindow(HWND window)
{
    WindowState &s = state();
    const HWND previous = s.focus;
    if (QWindow *qtWindow = qtWindowFor(window, true))
        qtWindow->requestActivate();
    s.focus = window;
    return previous;
}

HWND focusWindow()
{
    return state().focus;
}

HWND setActiveWindow(HWND window)
{
    WindowState &s = state();
    const HWND previous = s.active;
    if (QWindow *qtWindow = qtWindowFor(window, true))
        qtWindow->requestActivate();
    s.active = window;
    return previous;
}

HWND activeWindow()
{
    return state().active;
}

bool bringWindowToTop(HWND window)
{
    if (!window)
        return false;
    WindowState &s = state();
    if (QWindow *qtWindow = qtWindowFor(window, true))
        qtWindow->raise();
    s.top = window;
    s.active = window;
    return true;
}

bool windowRect(HWND window, WindowRect &rect)
{
    // Only the process's own Qt windows have a known place here.
    QWindow *qtWindow = qtWindowFor(window, false);
    if (!qtWindow)
        return false;
    const QRect frame = qtWindow->frameGeometry();
    rect = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
    return true;
}

short keyState(int virtualKey)
{
    if (!qGuiApp)
        return 0;
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    switch (virtualKey) {
    case VK_SHIFT:
        modifier = Qt::ShiftModifier;
        break;
    case VK_CONTROL:
        modifier = Qt::ControlModifier;
        break;
    case VK_MENU:
        modifier = Qt::AltModifier;
        break;
    default:
        return 0;
    }
    return (QGuiApplication::queryKeyboardModifiers() & modifier) ? kKeyDown : 0;
}

HWND topWindow()
{
    return state().top;
}

bool supportsForeignWindows()
{
    // Of the Linux platform plug-ins only xcb wraps other programs' windows.
    return qGuiApp && QGuiApplication::platformName() == QLatin1String("xcb");
}

void resetWindowState()
{
    WindowState &s = state();
    s.windows.clear();
    s.focus = 0;
    s.active = 0;
    s.top = 0;
}

}
