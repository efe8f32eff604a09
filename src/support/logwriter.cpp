#include "support/logwriter.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QMutexLocker>
#include <QObject>
#include <QTextStream>

namespace Log {

QString fileNameFor(const QDate &day)
{
    return QStringLiteral("PayLog") + day.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".txt");
}

QString entryText(const QDateTime &when, const QString &module, const QString &function, const QString &text)
{
    QString entry;
    entry += QObject::tr("时间：") + when.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz")) + QLatin1Char('\n');
    entry += QObject::tr("方式：") + module + QLatin1Char('\n');
    entry += QObject::tr("位置：") + function + QLatin1Char('\n');
    entry += QObject::tr("内容：") + text + QLatin1Char('\n');
    entry += QLatin1Char('\n');
    return entry;
}

} // namespace Log

LogWriter::LogWriter()
    : m_folder(QDir::currentPath() + QStringLiteral("/LOG"))
{ }

LogWriter::LogWriter(const QString &folder)
    : m_folder(folder)
{ }

QString LogWriter::filePathFor(const QDate &day) const
{
    return m_folder + QLatin1Char('/') + Log::fileNameFor(day);
}

void LogWriter::WriteLog(const QString &module, const QString &function, const QString &text) const
{
    writeEntryAt(QDateTime::currentDateTime(), module, function, text);
}

namespace {
// Every writer of the process appends to the same daily file, the HTTP worker thread's among
// them: one entry at a time, so that entries never interleave and no folder creation races.
QMutex &fileMutex()
{
    static QMutex mutex;
    return mutex;
}
}

void LogWriter::writeEntryAt(const QDateTime &when, const QString &module, const QString &function,
                             const QString &text) const
{
    const QString entry = Log::entryText(when, module, function, text);
    QMutexLocker lock(&fileMutex());
    QDir dir(m_folder);
    if (!dir.exists() && !QDir().mkdir(m_folder)) {
        qDebug() << QObject::tr("更新日志文件夹创建失败，无法写日志");
        return;
    }
    QFile file(filePathFor(when.date()));
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Text)) {
        qDebug() << QObject::tr("更新日志文件创建失败，无法写更新日志");
        return;
    }
    // QIODevice::Text gives the platform's line end (CR LF on Windows), as the support staff expect.
    QTextStream stream(&file);
    stream << entry;
    stream.flush();
    file.close();
}
