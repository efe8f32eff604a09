#pragma once

#include <cstdio>
#include <cstdlib>

#include <QString>

// A broken promise of the code under test is a finding: abort so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition);                         \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

namespace Fuzz {

// Texts with lone surrogates do not survive UTF-8; round-trip checks only hold without them.
inline bool survivesUtf8(const QString &text)
{
    return QString::fromUtf8(text.toUtf8()) == text;
}

// Qt's JSON reader drops a U+FEFF that opens a string, although the writer put it there (the
// bytes on the wire keep it). Reading back through Qt only judges our writer for other strings.
inline bool qtJsonReadsBack(const QString &text)
{
    return survivesUtf8(text) && !text.startsWith(QChar(0xFEFF));
}

}
