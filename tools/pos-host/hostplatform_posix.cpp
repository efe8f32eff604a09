#include "hostplatform.h"

#include <dlfcn.h>
#include <iconv.h>
#include <limits.h>
#include <signal.h>
#include <unistd.h>

#include <iostream>
#include <vector>

void initHostPlatform() { }

std::string executableDir()
{
    char path[PATH_MAX] = {};
    const ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n <= 0)
        return ".";
    std::string full(path, std::size_t(n));
    return full.substr(0, full.find_last_of('/'));
}

const char *defaultLibraryName()
{
    return "libTwCouponPay5.so";
}

const char *defaultRobotName()
{
    return "libcashier-robot.so";
}

void *openLibrary(const std::string &path, std::string &error)
{
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        error = dlerror();
    return library;
}

void *librarySymbol(void *library, const char *name)
{
    return dlsym(library, name);
}

void closeLibrary(void *library)
{
    dlclose(library);
}

bool utf8ToGbk(const std::string &utf8, std::string &gbk)
{
    iconv_t cd = iconv_open("GBK", "UTF-8");
    if (cd == iconv_t(-1))
        return false;
    std::vector<char> out(utf8.size() * 2 + 16);
    char *in = const_cast<char *>(utf8.data());
    std::size_t inLeft = utf8.size();
    char *outPtr = out.data();
    std::size_t outLeft = out.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == std::size_t(-1))
        return false;
    gbk.assign(out.data(), out.size() - outLeft);
    return true;
}

void pauseAfterCall(int call)
{
    // Between calls nothing of the library runs: an observer sees the steady state.
    std::cout << "== paused after call " << call << " (pid " << getpid() << ")\n";
    std::cout.flush();
    raise(SIGSTOP);
}
