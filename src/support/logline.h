#pragma once

#include <QList>
#include <QString>

// A log entry that a pure function wants written; the caller knows the module and the writer.
struct LogLine
{
    QString function;
    QString text;
};

inline bool operator==(const LogLine &a, const LogLine &b)
{
    return a.function == b.function && a.text == b.text;
}

using LogLines = QList<LogLine>;
