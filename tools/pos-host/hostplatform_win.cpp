#include "hostplatform.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <iostream>
#include <string>
#include <vector>

void initHostPlatform()
{
    // The printed parameters are the library's bytes: no CR LF translation on the way out.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::string executableDir()
{
    char path[MAX_PATH] = {};
    const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return ".";
    std::string full(path, n);
    return full.substr(0, full.find_last_of("\\/"));
}

const char *defaultLibraryName()
{
    return "TwCouponPay5.dll";
}

const char *defaultRobotName()
{
    return "libcashier-robot.dll";
}

void *openLibrary(const std::string &path, std::string &error)
{
    HMODULE library = LoadLibraryA(path.c_str());
    if (!library)
        error = "LoadLibraryA failed, error " + std::to_string(GetLastError());
    return reinterpret_cast<void *>(library);
}

void *librarySymbol(void *library, const char *name)
{
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void closeLibrary(void *library)
{
    FreeLibrary(static_cast<HMODULE>(library));
}

bool utf8ToGbk(const std::string &utf8, std::string &gbk)
{
    if (utf8.empty()) {
        gbk.clear();
        return true;
    }
    const int wideLength =
        MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), int(utf8.size()), nullptr, 0);
    if (wideLength <= 0)
        return false;
    std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), int(utf8.size()), wide.data(), wideLength);
    // Code page 936 is GBK, whatever code page this machine runs with.
    const int length = WideCharToMultiByte(936, 0, wide.data(), wideLength, nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return false;
    gbk.assign(std::size_t(length), '\0');
    WideCharToMultiByte(936, 0, wide.data(), wideLength, &gbk[0], length, nullptr, nullptr);
    return true;
}

void pauseAfterCall(int call)
{
    // Windows has no SIGSTOP: the observer lets the host go on with a line on its input.
    std::cout << "== paused after call " << call << " (pid " << GetCurrentProcessId() << ")\n";
    std::cout.flush();
    std::string line;
    std::getline(std::cin, line);
}
