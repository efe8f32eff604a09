# Cross-building the plug-in for 32-bit Windows tills with Debian's mingw-w64 (posix threads,
# so the compiler runtime matches the one Qt for Windows was built with).
#   cmake -DCMAKE_TOOLCHAIN_FILE=cmake/toolchain-mingw-i686.cmake -DCMAKE_PREFIX_PATH=<Qt for win32> ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)

set(TW_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER ${TW_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TW_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${TW_MINGW_TRIPLE}-windres)

# Headers and libraries come from the mingw sysroot and the Qt prefix only; programs (moc,
# uic, rcc) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# ctest runs the Windows unit tests under Wine (scripts/windows/test.sh sets up its prefix).
set(CMAKE_CROSSCOMPILING_EMULATOR wine)
