#pragma once

#include <cstdio>
#include <cstdlib>

#include <QString>

// A broken promise of the code under test is a finding: abort so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                                  \
    do {                                                                                       \
        if (!(condition)) {                                                                    \
            std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
            std::abort();                                                                      \
        }                                                                                      \
    } while (false)

namespace Fuzz {

// Texts with lone surrogates do not survive UTF-8; round-trip checks only hold without them.
inline bool survivesUtf8(const QString &text)
{
    return QString::fromUtf8(text.toUtf8()) == text;
}

}
