#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "support/logwriter.h"

static QString readAll(const QString &path)
{
    QFile file(path);
    const QString text = file.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(file.readAll()) : QString();
#ifdef Q_OS_WIN
    // Support staff open the log in Notepad: every line ends in CR LF there.
    return text.count('\n') == text.count("\r\n") ? QString(text).replace("\r\n", "\n") : "a line without CR LF";
#else
    return text;
#endif
}

class tst_LogWriter : public QObject
{
    Q_OBJECT
private slots:
    void entriesGoToTheDailyFile()
    {
        QTemporaryDir dir;
        QVERIFY(QDir::setCurrent(dir.path()));
        const LogWriter writer;
        writer.writeEntryAt(QDateTime(QDate(2024, 1, 31), QTime(23, 59, 59, 999)), "模块", "解析参数", "a\nb");
        writer.writeEntryAt(QDateTime(QDate(2024, 2, 1), QTime(0, 0)), "m", "f", QString());
        QCOMPARE(readAll("LOG/PayLog20240131.txt"),
                 "时间：2024-01-31 23:59:59:999\n方式：模块\n位置：解析参数\n内容：a\nb\n\n");
        QCOMPARE(readAll("LOG/PayLog20240201.txt"), "时间：2024-02-01 00:00:00:000\n方式：m\n位置：f\n内容：\n\n");
        // /proc refuses new folders even to root, as a read-only share on a till would: only the entry is lost.
        QTest::ignoreMessage(QtDebugMsg, "\"更新日志文件夹创建失败，无法写日志\"");
        LogWriter("/proc/LOG").WriteLog("m", "f", "lost");
        QVERIFY(!QDir("/proc/LOG").exists());
    }

    // The HTTP worker thread logs as the host's thread does: an entry longer than one write must come out whole.
    void concurrentWritersKeepEveryEntryWhole()
    {
        QTemporaryDir dir;
        const QString folder = dir.filePath("LOG");
        auto writeMany = [&](const QString &name) {
            const LogWriter writer(folder);
            for (int i = 0; i < 200; ++i)
                writer.WriteLog(name, QString::number(i), QString(100000, 'x'));
        };
        std::unique_ptr<QThread> worker(QThread::create(writeMany, "worker"));
        worker->start();
        writeMany("host");
        QVERIFY(worker->wait(60000));
        const QStringList entries =
            readAll(LogWriter(folder).filePathFor(QDate::currentDate())).split("\n\n", Qt::SkipEmptyParts);
        QCOMPARE(entries.size(), 400);
        const QRegularExpression whole("^时间：[^\n]*\n方式：(host|worker)\n位置：\\d+\n内容：x+$");
        QCOMPARE(entries.filter(whole).size(), 400);
    }
};

QTEST_GUILESS_MAIN(tst_LogWriter)
#include "tst_logwriter.moc"
