#pragma once

#include <string>

// What the library needs from the operating system to live inside a host process that is not
// a Qt program. Windows has the real calls; elsewhere these are our own equivalents.
namespace HostBridge {

// A handle that identifies this library's module (on Windows the HMODULE).
using ModuleHandle = void *;

// The module that contains the given address (our own code), or nullptr.
ModuleHandle moduleOf(const void *address);
// The module's file name; empty when it cannot be read.
std::string moduleFileName(ModuleHandle module);
// Loads the file once more so that the module stays in memory until the process ends.
bool pinModule(const std::string &fileName);

// Makes Qt's posted events get delivered while the host's own loop runs. Returns an opaque
// hook handle (nullptr when nothing had to be installed).
void *installPostedEventHook();

// Why no Qt application object can be created here (empty when one can), e.g. no display.
std::string displayUnavailableReason();

}
