#pragma once

#include <QByteArray>
#include <QString>

// Texts crossing the host boundary: documents arrive in GBK, results leave in the
// system's local 8-bit encoding, NUL-terminated, into buffers the host owns.
namespace HostText {

// A null pointer reads as an empty document.
QString fromGbk(const char *text);
QByteArray toLocal8Bit(const QString &text);

// Copies text (local 8-bit) and its terminator into dst. With maxSize > 0 the copy is refused
// (false, nothing written) when it would need more than maxSize bytes; a null dst is skipped.
bool copyOut(char *dst, const QString &text, int maxSize = 0);

}
