#pragma once

#include <QList>
#include <QString>

// The two module texts of the daily log: the library's own progress lines, and the lines that
// carry inputs, outputs and what the cashier was shown (the dialogs' title).
namespace LogModule {
inline const QString kLibrary = QStringLiteral("SCRM批量用券动态库");
inline const QString kTitle = QStringLiteral("晟岚会员用券动态库");
}

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
