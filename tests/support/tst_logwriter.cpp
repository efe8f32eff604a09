#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "support/logwriter.h"

class tst_LogWriter : public QObject
{
    Q_OBJECT
private slots:
    void entryHasFourLabelledLinesAndABlank_data();
    void entryHasFourLabelledLinesAndABlank();
    void dailyFileName();
    void firstEntryCreatesFolderAndFile();
    void entriesAppendInOrder();
    void midnightSplitsFiles();
    void readOnlyWorkingDirectoryLosesOnlyTheEntry();
    void writerKeepsItsFolderAfterDirectoryChange();

private:
    static QString readAll(const QString &path);
};

QString tst_LogWriter::readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromLocal8Bit(file.readAll());
}

void tst_LogWriter::entryHasFourLabelledLinesAndABlank_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << QStringLiteral("成功")
        << QStringLiteral("时间：2024-01-31 09:05:07:042\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：成功\n\n");
    QTest::newRow("empty text") << QString()
        << QStringLiteral("时间：2024-01-31 09:05:07:042\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：\n\n");
    QTest::newRow("line breaks kept") << QStringLiteral("a\nb")
        << QStringLiteral("时间：2024-01-31 09:05:07:042\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：a\nb\n\n");
}

void tst_LogWriter::entryHasFourLabelledLinesAndABlank()
{
    QFETCH(QString, text);
    QFETCH(QString, expected);
    const QDateTime when(QDate(2024, 1, 31), QTime(9, 5, 7, 42));
    QCOMPARE(Log::entryText(when, QStringLiteral("SCRM批量用券动态库"), QStringLiteral("解析参数"), text), expected);
}

void tst_LogWriter::dailyFileName()
{
    QCOMPARE(Log::fileNameFor(QDate(2024, 1, 31)), QStringLiteral("PayLog20240131.txt"));
    QCOMPARE(Log::fileNameFor(QDate(2026, 12, 6)), QStringLiteral("PayLog20261206.txt"));
}

void tst_LogWriter::firstEntryCreatesFolderAndFile()
{
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    LogWriter writer;
    QCOMPARE(writer.folder(), dir.path() + QStringLiteral("/LOG"));
    QVERIFY(!QDir(writer.folder()).exists());
    writer.writeEntryAt(QDateTime(QDate(2024, 1, 31), QTime(23, 0)), QStringLiteral("m"), QStringLiteral("f"),
                        QStringLiteral("t"));
    QCOMPARE(readAll(dir.path() + QStringLiteral("/LOG/PayLog20240131.txt")),
             QStringLiteral("时间：2024-01-31 23:00:00:000\n方式：m\n位置：f\n内容：t\n\n"));
}

void tst_LogWriter::entriesAppendInOrder()
{
    QTemporaryDir dir;
    LogWriter writer(dir.path() + QStringLiteral("/LOG"));
    const QDate day(2024, 2, 1);
    writer.writeEntryAt(QDateTime(day, QTime(8, 0, 0)), QStringLiteral("m"), QStringLiteral("one"), QStringLiteral("1"));
    writer.writeEntryAt(QDateTime(day, QTime(8, 0, 1)), QStringLiteral("m"), QStringLiteral("two"), QStringLiteral("2"));
    QCOMPARE(readAll(writer.filePathFor(day)),
             QStringLiteral("时间：2024-02-01 08:00:00:000\n方式：m\n位置：one\n内容：1\n\n"
                            "时间：2024-02-01 08:00:01:000\n方式：m\n位置：two\n内容：2\n\n"));
}

void tst_LogWriter::midnightSplitsFiles()
{
    QTemporaryDir dir;
    LogWriter writer(dir.path() + QStringLiteral("/LOG"));
    writer.writeEntryAt(QDateTime(QDate(2024, 2, 1), QTime(23, 59, 59, 999)), QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("late"));
    writer.writeEntryAt(QDateTime(QDate(2024, 2, 2), QTime(0, 0)), QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("early"));
    QVERIFY(readAll(writer.filePathFor(QDate(2024, 2, 1))).contains(QStringLiteral("内容：late")));
    QVERIFY(!readAll(writer.filePathFor(QDate(2024, 2, 1))).contains(QStringLiteral("early")));
    QVERIFY(readAll(writer.filePathFor(QDate(2024, 2, 2))).contains(QStringLiteral("内容：early")));
}

void tst_LogWriter::readOnlyWorkingDirectoryLosesOnlyTheEntry()
{
    // /proc refuses new folders even to root, as a read-only share on a till would.
    QVERIFY(QDir::setCurrent(QStringLiteral("/proc")));
    LogWriter writer;
    QVERIFY(QDir::setCurrent(QDir::tempPath()));
    QTest::ignoreMessage(QtDebugMsg, "\"更新日志文件夹创建失败，无法写日志\"");
    writer.WriteLog(QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("lost"));
    QVERIFY(!QDir(QStringLiteral("/proc/LOG")).exists());

    // A folder that exists but whose file cannot be opened: the entry is lost the same way.
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("LOG/") + Log::fileNameFor(QDate::currentDate())));
    LogWriter blocked(dir.path() + QStringLiteral("/LOG"));
    QTest::ignoreMessage(QtDebugMsg, "\"更新日志文件创建失败，无法写更新日志\"");
    blocked.WriteLog(QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("lost"));
}

void tst_LogWriter::writerKeepsItsFolderAfterDirectoryChange()
{
    QTemporaryDir first;
    QTemporaryDir second;
    QVERIFY(QDir::setCurrent(first.path()));
    LogWriter early;
    QVERIFY(QDir::setCurrent(second.path()));
    LogWriter late;
    early.WriteLog(QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("early"));
    late.WriteLog(QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("late"));
    QVERIFY(readAll(early.filePathFor(QDate::currentDate())).contains(QStringLiteral("内容：early")));
    QVERIFY(readAll(late.filePathFor(QDate::currentDate())).contains(QStringLiteral("内容：late")));
    QCOMPARE(early.folder(), first.path() + QStringLiteral("/LOG"));
    QCOMPARE(late.folder(), second.path() + QStringLiteral("/LOG"));
}

QTEST_GUILESS_MAIN(tst_LogWriter)
#include "tst_logwriter.moc"
