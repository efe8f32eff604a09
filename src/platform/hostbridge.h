#pragma once

// What the library needs from the operating system to live inside a host process that is not
// a Qt program: the thread message hook, keeping the module loaded, and the native-window
// calls of QWinWidget. Windows has the real calls (hostbridge_win.cpp); elsewhere these are
// our own equivalents (hostbridge_linux.cpp). This header stays free of Qt so that the
// Windows implementation can be compiled against the Windows headers alone.

#include <cstdint>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
// The Windows types QWinWidget's interface is written in. A native window is the platform's
// window id (an X11 window, or the id Qt gives a window of this process).
using HWND = std::uintptr_t;
using UINT = unsigned int;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using DWORD = unsigned long;
using LONG = long;

struct POINT
{
    LONG x = 0;
    LONG y = 0;
};

struct MSG
{
    HWND hwnd = 0;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD time = 0;
    POINT pt;
};

constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr int VK_SHIFT = 0x10;
constexpr int VK_CONTROL = 0x11;
constexpr int VK_MENU = 0x12;
constexpr LONG WS_CHILD = 0x40000000L;
constexpr LONG WS_CLIPSIBLINGS = 0x04000000L;
constexpr LONG WS_CLIPCHILDREN = 0x02000000L;
constexpr int GWL_STYLE = -16;
#endif

namespace HostBridge {

// A handle that identifies this library's module (on Windows the HMODULE).
using ModuleHandle = void *;
// The handle of an installed thread message hook (on Windows the HHOOK).
using HookHandle = void *;

struct WindowRect
{
    long left = 0;
    long top = 0;
    long right = 0; // exclusive, as in a Windows RECT
    long bottom = 0;
};

// --- Loading ---------------------------------------------------------------------------------

// The module that contains the given address (our own code), or nullptr.
ModuleHandle moduleOf(const void *address);
// The module's full file name in UTF-8, whatever its length; empty when it cannot be read.
std::string modulePath(ModuleHandle module);
// Keeps the module in memory until the process ends, whatever the host unloads: loads its file
// once more (LoadLibraryA of the name GetModuleFileNameA reads into 256 bytes) or, when the name
// does not fit there, pins it with GetModuleHandleExW.
bool pinModule(ModuleHandle module);
// GetCurrentThreadId.
unsigned long currentThreadId();

// Called each time the host's thread takes a message from its queue.
using MessageCallback = void (*)();
// Makes `callback` run while the host's own message loop runs on this thread (Windows:
// SetWindowsHookExW WH_GETMESSAGE for GetCurrentThreadId(), passing on with CallNextHookEx;
// calls with a negative code go straight on, as Windows requires).
// Returns the hook handle; nullptr when the platform needs no hook (see the Linux file).
HookHandle installMessageHook(MessageCallback callback);
// Takes the hook out again (UnhookWindowsHookEx): at unload its procedure would go with us.
void removeMessageHook(HookHandle hook);
// Whether deleting the Qt application object at unload is safe once the library has pinned
// itself, i.e. when the unload only happens as the process ends.
bool applicationTeardownAtExitIsSafe();
// Why no Qt application object can be created here, in UTF-8 words for the cashier (empty when
// one can): no display, or Qt's platform plug-in missing beside the module or not loadable.
std::string displayUnavailableReason(ModuleHandle module);

// --- Native windows (QWinWidget) ------------------------------------------------------------

// SetWindowLongA(window, GWL_STYLE, style); returns the previous style.
long setWindowStyle(HWND window, long style);
// GetWindowLongA(window, GWL_STYLE).
long windowStyle(HWND window);
// SetParent; returns the previous parent (0 when there was none or the call failed).
HWND setParentWindow(HWND child, HWND parent);
// GetParent.
HWND parentWindow(HWND child);
// EnableWindow; returns true when the window was disabled before, as Windows does.
bool enableWindow(HWND window, bool enable);
// IsWindowEnabled.
bool isWindowEnabled(HWND window);
// SetFocus; returns the window that had the focus before.
HWND setFocusWindow(HWND window);
// GetFocus: the window of this thread that has the keyboard focus, 0 for none.
HWND focusWindow();
// SetActiveWindow; returns the window that was active before.
HWND setActiveWindow(HWND window);
// GetActiveWindow.
HWND activeWindow();
// BringWindowToTop.
bool bringWindowToTop(HWND window);
// GetWindowRect, in screen coordinates; false when the window is unknown.
bool windowRect(HWND window, WindowRect &rect);
// GetKeyState: negative while the key is down.
short keyState(int virtualKey);

}
