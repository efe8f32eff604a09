#pragma once

#include <QtGlobal>

// What the library exports: its C entry points and QWinWidget, nothing else (every other
// symbol is hidden by the build). Inside the library the names are exported, for a host that
// includes our headers they are imported.
#if defined(TW_BUILDING_PLUGIN)
#define TW_EXPORT Q_DECL_EXPORT
#else
#define TW_EXPORT Q_DECL_IMPORT
#endif

// The entry points keep C names, and on 32-bit Windows the caller-cleans cdecl convention the
// hosts are compiled against.
#if defined(_WIN32)
#define TW_CALL __cdecl
#else
#define TW_CALL
#endif
#define TW_C_EXPORT extern "C" TW_EXPORT
