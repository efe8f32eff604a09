// The Windows side of the layer: thin calls into user32 and kernel32. No Qt here: this file is
// checked with the Windows headers alone.
#include "platform/hostbridge.h"

#include <windows.h>

namespace HostBridge {

namespace {
constexpr DWORD kModuleNameBuffer = 256;

MessageCallback s_callback = nullptr;
HHOOK s_hook = nullptr;

// Runs inside the host's GetMessage/PeekMessage on the thread that installed it.
LRESULT CALLBACK getMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (s_callback)
        s_callback();
    return CallNextHookEx(s_hook, code, wParam, lParam);
}

}

ModuleHandle moduleOf(const void *address)
{
    HMODULE module = nullptr;
    const DWORD flags = GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT;
    if (!GetModuleHandleExA(flags, static_cast<LPCSTR>(address), &module))
        return nullptr;
    return module;
}

std::string moduleFileName(ModuleHandle module)
{
    if (!module)
        return std::string();
    char buffer[kModuleNameBuffer] = {};
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, kModuleNameBuffer);
    // A full buffer means the name was cut short.
    if (length == 0 || length >= kModuleNameBuffer)
        return std::string();
    return std::string(buffer, length);
}

bool pinModule(const std::string &fileName)
{
    return LoadLibraryA(fileName.c_str()) != nullptr;
}

unsigned long currentThreadId()
{
    return GetCurrentThreadId();
}

HookHandle installMessageHook(MessageCallback callback)
{
    s_callback = callback;
    s_hook = SetWindowsHookExW(WH_GETMESSAGE, getMessageHook, nullptr, GetCurrentThreadId());
    return s_hook;
}

void removeMessageHook(HookHandle hook)
{
    if (hook && UnhookWindowsHookEx(static_cast<HHOOK>(hook)) && hook == s_hook) {
        s_hook = nullptr;
        s_callback = nullptr;
    }
}

bool applicationTeardownAtExitIsSafe()
{
    // The loader detaches us before the Qt DLLs we import, so their globals still exist.
    return true;
}

std::string displayUnavailableReason()
{
    return std::string();
}

long setWindowStyle(HWND window, long style)
{
    return SetWindowLongA(window, GWL_STYLE, style);
}

long windowStyle(HWND window)
{
    return GetWindowLongA(window, GWL_STYLE);
}

HWND setParentWindow(HWND child, HWND parent)
{
    return SetParent(child, parent);
}

HWND parentWindow(HWND child)
{
    return GetParent(child);
}

bool enableWindow(HWND window, bool enable)
{
    return EnableWindow(window, enable ? TRUE : FALSE) != FALSE;
}

bool isWindowEnabled(HWND window)
{
    return IsWindowEnabled(window) != FALSE;
}

HWND setFocusWindow(HWND window)
{
    return SetFocus(window);
}

HWND focusWindow()
{
    return GetFocus();
}

HWND setActiveWindow(HWND window)
{
    return SetActiveWindow(window);
}

HWND activeWindow()
{
    return GetActiveWindow();
}

bool bringWindowToTop(HWND window)
{
    return BringWindowToTop(window) != FALSE;
}

bool windowRect(HWND window, WindowRect &rect)
{
    RECT r;
    if (!GetWindowRect(window, &r))
        return false;
    rect.left = r.left;
    rect.top = r.top;
    rect.right = r.right;
    rect.bottom = r.bottom;
    return true;
}

short keyState(int virtualKey)
{
    return GetKeyState(virtualKey);
}

}
