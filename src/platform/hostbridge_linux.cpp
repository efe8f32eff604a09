#include "platform/hostbridge.h"

#include <dlfcn.h>

#include <cstdlib>

namespace HostBridge {

ModuleHandle moduleOf(const void *address)
{
    Dl_info info;
    if (dladdr(address, &info) == 0)
        return nullptr;
    return info.dli_fbase;
}

std::string moduleFileName(ModuleHandle module)
{
    if (!module)
        return std::string();
    Dl_info info;
    if (dladdr(module, &info) == 0 || !info.dli_fname)
        return std::string();
    std::string name = info.dli_fname;
    // The Windows call fills a 256-byte buffer: longer names cannot be read.
    if (name.size() > 255)
        return std::string();
    return name;
}

bool pinModule(const std::string &fileName)
{
    // RTLD_NODELETE keeps the code mapped even after the host's dlclose().
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE) != nullptr
        || dlopen(fileName.c_str(), RTLD_NOW | RTLD_NODELETE) != nullptr;
}

void *installPostedEventHook()
{
    // Qt's GLib event dispatcher attaches its sources (posted events, timers, sockets) to the
    // thread's default GLib main context, so a host that runs a GLib main loop on this thread
    // dispatches them as part of its own loop: no hook is needed.
    return nullptr;
}

std::string displayUnavailableReason()
{
    const char *platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform)
        return std::string();
    const char *display = std::getenv("DISPLAY");
    const char *wayland = std::getenv("WAYLAND_DISPLAY");
    if ((display && *display) || (wayland && *wayland))
        return std::string();
    return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set and QT_QPA_PLATFORM names no platform";
}

}
