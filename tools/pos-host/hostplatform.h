#pragma once

// What the sample host needs from the operating system: finding its own folder, loading the
// library at run time, turning UTF-8 files into GBK and stopping between calls. One file per
// platform (hostplatform_posix.cpp, hostplatform_win.cpp); the host itself is the same.

#include <string>

// Called first: puts the standard streams into the state the host's output expects.
void initHostPlatform();
// The folder of the running executable, without a trailing separator.
std::string executableDir();
// The library and the scripted cashier as they are named beside the executable.
const char *defaultLibraryName();
const char *defaultRobotName();
// Loads a library; nullptr with a reason in error.
void *openLibrary(const std::string &path, std::string &error);
void *librarySymbol(void *library, const char *name);
void closeLibrary(void *library);
bool utf8ToGbk(const std::string &utf8, std::string &gbk);
// Prints "== paused after call N (pid P)" and waits until the process is told to go on.
void pauseAfterCall(int call);
