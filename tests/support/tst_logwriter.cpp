#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "support/logwriter.h"

static QString readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    QString text = QString::fromLocal8Bit(file.readAll());
#ifdef Q_OS_WIN
    // Support staff open the log in Notepad: every line ends in CR LF there.
    if (text.count(QLatin1Char('\n')) != text.count(QStringLiteral("\r\n")))
        return QStringLiteral("a line without CR LF");
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
#endif
    return text;
}

class tst_LogWriter : public QObject
{
    Q_OBJECT
private slots:
    void entriesAppendToTheDailyFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        const LogWriter writer;
        const QString module = QStringLiteral("SCRM批量用券动态库");
        writer.writeEntryAt(QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59, 999)), module, "解析参数", "a\nb");
        writer.writeEntryAt(QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59, 999)), module, "解析参数", QString());
        writer.writeEntryAt(QDateTime(QDate(2024, 2, 1), QTime(0, 0)), module, "f", "t");
        QCOMPARE(
            readAll(dir.path() + "/LOG/PayLog20240131.txt"),
            QStringLiteral("时间：2024-01-31 23:59:59:999\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：a\nb\n\n"
                           "时间：2024-01-31 23:59:59:999\n方式：SCRM批量用券动态库\n位置：解析参数\n内容：\n\n"));
        QCOMPARE(readAll(dir.path() + "/LOG/PayLog20240201.txt"),
                 QStringLiteral("时间：2024-02-01 00:00:00:000\n方式：SCRM批量用券动态库\n位置：f\n内容：t\n\n"));
    }

    void unwritableFolderLosesOnlyTheEntry()
    {
        // /proc refuses new folders even to root, as a read-only share on a till would.
        const LogWriter writer(QStringLiteral("/proc/LOG"));
        QTest::ignoreMessage(QtDebugMsg, "\"更新日志文件夹创建失败，无法写日志\"");
        writer.WriteLog("m", "f", "lost");
        QVERIFY(!QDir(QStringLiteral("/proc/LOG")).exists());
    }

    void concurrentWritersKeepEveryEntryWhole()
    {
        // The HTTP worker thread logs while the host's thread does, each with its own writer; an
        // entry longer than one write of the stream must still come out whole.
        QTemporaryDir dir;
        const QString folder = dir.path() + QStringLiteral("/LOG");
        const QString longText(100000, QLatin1Char('x'));
        auto writeMany = [&](const QString &name) {
            const LogWriter writer(folder);
            for (int i = 0; i < 200; ++i)
                writer.WriteLog(name, QString::number(i), longText);
        };
        QThread *worker = QThread::create(writeMany, QStringLiteral("worker"));
        worker->start();
        writeMany(QStringLiteral("host"));
        QVERIFY(worker->wait(60000));
        delete worker;
        const QStringList entries =
            readAll(LogWriter(folder).filePathFor(QDate::currentDate())).split("\n\n", Qt::SkipEmptyParts);
        QCOMPARE(entries.size(), 400);
        QCOMPARE(entries.filter(QRegularExpression("^时间：[^\n]*\n方式：host\n位置：\\d+\n内容：x+$")).size(), 200);
        QCOMPARE(entries.filter(QRegularExpression("^时间：[^\n]*\n方式：worker\n位置：\\d+\n内容：x+$")).size(), 200);
    }
};

QTEST_GUILESS_MAIN(tst_LogWriter)
#include "tst_logwriter.moc"
