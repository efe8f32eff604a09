// The Windows side of the layer: thin calls into user32 and kernel32. No Qt here: this file is
// checked with the Windows headers alone.
#include "platform/hostbridge.h"

#include <windows.h>

#include <vector>

namespace HostBridge {

namespace {
constexpr DWORD kModuleNameBuffer = 256;

MessageCallback s_callback = nullptr;
HHOOK s_hook = nullptr;

// Runs inside the host's GetMessage/PeekMessage on the thread that installed it.
LRESULT CALLBACK getMessageHook(int code, WPARAM wParam, LPARAM lParam)
{
    if (code >= 0 && s_callback)
        s_callback();
    return CallNextHookEx(s_hook, code, wParam, lParam);
}

std::wstring widePath(HMODULE module)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameW(module, buffer.data(), DWORD(buffer.size()));
        if (length == 0)
            return std::wstring();
        if (length < buffer.size())
            return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

std::string utf8(const std::wstring &text)
{
    if (text.empty())
        return std::string();
    const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(std::size_t(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), int(text.size()), &out[0], length, nullptr, nullptr);
    return out;
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

std::string modulePath(ModuleHandle module)
{
    return module ? utf8(widePath(static_cast<HMODULE>(module))) : std::string();
}

bool pinModule(ModuleHandle module)
{
    if (!module)
        return false;
    char buffer[kModuleNameBuffer] = {};
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(module), buffer, kModuleNameBuffer);
    // A full buffer means the name was cut short: a long or multi-byte install path. Windows then
    // answers 256, Wine 255 with the name cut to fit.
    if (length > 0 && length < kModuleNameBuffer - 1)
        return LoadLibraryA(buffer) != nullptr;
    HMODULE pinned = nullptr;
    return GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                              static_cast<LPCWSTR>(module), &pinned)
        != FALSE;
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

std::string displayUnavailableReason(ModuleHandle module)
{
    // A Windows till always has a desktop, but Qt ends the whole process when its platform
    // plug-in cannot be loaded: try it first, the way Qt will load it, and let it go again.
    const std::wstring library = module ? widePath(static_cast<HMODULE>(module)) : std::wstring();
    const std::size_t slash = library.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return "无法读取动态库自身的路径，找不到Qt平台插件platforms\\qwindows.dll";
    const std::wstring plugin = library.substr(0, slash) + L"\\platforms\\qwindows.dll";
    if (GetFileAttributesW(plugin.c_str()) == INVALID_FILE_ATTRIBUTES)
        return "缺少Qt平台插件文件" + utf8(plugin);
    // No error box of the system's own over the till when a file it needs is missing.
    const UINT errorMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    // The same call as Qt's plug-in loader: a full path, the standard search for its imports.
    const HMODULE loaded = LoadLibraryExW(plugin.c_str(), nullptr, 0);
    const DWORD error = GetLastError();
    SetErrorMode(errorMode);
    if (!loaded)
        return "无法加载Qt平台插件文件" + utf8(plugin) + "（错误" + std::to_string(error) + "）";
    FreeLibrary(loaded);
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
