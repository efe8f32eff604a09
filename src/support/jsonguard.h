#pragma once

#include <QByteArray>

// Qt 5's JSON reader loses (and never frees) the first value of a key that an object names
// twice when that value is an object or an array. Every text from outside is checked here first,
// without building a single value, so that a misbehaving server cannot grow the host's memory
// one reply at a time.
namespace JsonGuard {

// True when some object of the text names the same key twice (keys compared after their escapes
// are read, as the reader compares them). A text that is not JSON gives false: the reader refuses
// it on its own.
bool repeatsKey(const QByteArray &utf8);

}
