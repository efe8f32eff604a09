#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include "support/logline.h"

// One entry of the daily pay log. Every object that logs on its own account holds one writer;
// all writers created in the same working directory append to the same daily file.
class LogWriter
{
public:
    LogWriter();
    explicit LogWriter(const QString &folder);

    // Never fails the caller: an entry that cannot be written is lost, with one qDebug line.
    void WriteLog(const QString &module, const QString &function, const QString &text) const;
    void writeEntryAt(const QDateTime &when, const QString &module, const QString &function, const QString &text) const;

    QString folder() const { return m_folder; }
    QString filePathFor(const QDate &day) const;

private:
    QString m_folder;
};

namespace Log {
// "PayLog" + yyyyMMdd + ".txt"
QString fileNameFor(const QDate &day);
// The five lines of one entry, joined by '\n', the last one empty.
QString entryText(const QDateTime &when, const QString &module, const QString &function, const QString &text);
}
