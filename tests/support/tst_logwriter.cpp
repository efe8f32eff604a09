#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "support/logwriter.h"

class tst_LogWriter : public QObject
{
    Q_OBJECT
private slots:
    void entriesAppendToTheDailyFile_data();
    void entriesAppendToTheDailyFile();
    void unwritableFolderLosesOnlyTheEntry();
    void concurrentWritersKeepEveryEntryWhole();
};

static QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
}

void tst_LogWriter::entriesAppendToTheDailyFile_data()
{
    QTest::addColumn<QTime>("second");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("expected");
    const QString first = QStringLiteral("时间：2024-01-31 23:59:59:999\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：a\nb\n\n");
    QTest::newRow("same day, in order") << QTime(23, 59, 59, 999) << QStringLiteral("PayLog20240131.txt")
        << first + QStringLiteral("时间：2024-01-31 23:59:59:999\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：\n\n");
    QTest::newRow("midnight starts a file") << QTime(0, 0) << QStringLiteral("PayLog20240131.txt") << first;
}

void tst_LogWriter::entriesAppendToTheDailyFile()
{
    QFETCH(QTime, second);
    QFETCH(QString, file);
    QFETCH(QString, expected);
    QTemporaryDir dir;
    QVERIFY(QDir::setCurrent(dir.path()));
    const LogWriter writer;
    const QString module = QStringLiteral("SCRM批量用券动态库");
    writer.writeEntryAt(QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59, 999)), module, QStringLiteral("解析参数"),
                        QStringLiteral("a\nb"));
    const QDate secondDay = second.hour() == 0 ? QDate(2024, 2, 1) : QDate(2024, 1, 31);
    writer.writeEntryAt(QDateTime(secondDay, second), module, QStringLiteral("解析参数"), QString());
    QCOMPARE(readAll(dir.path() + QStringLiteral("/LOG/") + file), expected);
}

void tst_LogWriter::unwritableFolderLosesOnlyTheEntry()
{
    // /proc refuses new folders even to root, as a read-only share on a till would.
    const LogWriter writer(QStringLiteral("/proc/LOG"));
    QTest::ignoreMessage(QtDebugMsg, "\"更新日志文件夹创建失败，无法写日志\"");
    writer.WriteLog(QStringLiteral("m"), QStringLiteral("f"), QStringLiteral("lost"));
    QVERIFY(!QDir(QStringLiteral("/proc/LOG")).exists());
}

void tst_LogWriter::concurrentWritersKeepEveryEntryWhole()
{
    // The HTTP worker thread logs while the host's thread does; each holds its own writer.
    QTemporaryDir dir;
    const QString folder = dir.path() + QStringLiteral("/LOG");
    constexpr int kEntries = 200;
    // Longer than one write of the stream, so that an entry takes several writes to the file.
    const QString longText(100000, QLatin1Char('x'));
    auto writeMany = [&](const QString &name) {
        const LogWriter writer(folder);
        for (int i = 0; i < kEntries; ++i)
            writer.WriteLog(name, QString::number(i), longText);
    };
    QThread *worker = QThread::create(writeMany, QStringLiteral("worker"));
    worker->start();
    writeMany(QStringLiteral("host"));
    QVERIFY(worker->wait(60000));
    delete worker;

    const QStringList entries = readAll(LogWriter(folder).filePathFor(QDate::currentDate()))
                                    .split(QStringLiteral("\n\n"), Qt::SkipEmptyParts);
    QCOMPARE(entries.size(), 2 * kEntries);
    int host = 0;
    for (const QString &entry : entries) {
        const QStringList lines = entry.split(QLatin1Char('\n'));
        QCOMPARE(lines.size(), 4);
        QVERIFY(lines.at(1) == QStringLiteral("方式：host") || lines.at(1) == QStringLiteral("方式：worker"));
        QCOMPARE(lines.at(3), QStringLiteral("内容：") + longText);
        host += lines.at(1) == QStringLiteral("方式：host");
    }
    QCOMPARE(host, kEntries);
}

QTEST_GUILESS_MAIN(tst_LogWriter)
#include "tst_logwriter.moc"
