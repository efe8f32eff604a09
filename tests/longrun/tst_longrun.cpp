// A short long run: one sample-host process makes many calls in a row (sales by the scripted
// cashier, returns, cancellations, refusals), each with its expected result, and keeps no thread,
// file, connection or database handle from one call to the next. The host stops itself after each
// cycle; the test samples it through /proc, as an operator would, and lets it go on.
#include <signal.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include "support/seed.h"
#include "support/simprocess.h"
#include "support/tillfolder.h"

namespace {

const QString kLongRun = QStringLiteral(SAMPLES_DIR "/../tools/longrun");
constexpr int kCycles = 3;   // 5 calls each

// "<threads> threads, <fds> fds, <sockets> sockets, <handles on pos.db> database files"; the
// resident size is printed for a person to read.
QString sample(qint64 pid, int call)
{
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    const QString status = QString::fromLatin1(TestSupport::readFile(proc + QStringLiteral("/status")));
    qInfo("after call %d: VmRSS %s kB", call, qPrintable(QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(status).captured(1)));
    const QFileInfoList fds = QDir(proc + QStringLiteral("/fd")).entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
    QString targets;
    for (const QFileInfo &fd : fds)
        targets += fd.symLinkTarget() + QLatin1Char('\n');
    return QStringLiteral("%1 threads, %2 fds, %3 sockets, %4 database files")
        .arg(QRegularExpression(QStringLiteral("Threads:\\s+(\\d+)")).match(status).captured(1)).arg(fds.size())
        .arg(targets.count(QStringLiteral("socket:["))).arg(targets.count(QStringLiteral("pos.db")));
}

bool isStopped(qint64 pid)
{
    // "pid (comm) S ...": the state follows the last parenthesis.
    const QByteArray stat = TestSupport::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.mid(stat.lastIndexOf(')') + 2, 1) == "T";
}

}

class tst_LongRun : public QObject
{
    Q_OBJECT
private slots:
    void manyCallsLeaveNothingBehind()
    {
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        QVERIFY2(sim.start({QStringLiteral("--wallet"), QStringLiteral(SAMPLES_DIR "/wallet.json")}), qPrintable(sim.errorString()));
        TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH));
        till.writeGen6(sim.baseUrl(), 10);
        QString error;
        QVERIFY2(Seed::runSqliteScript(till.filePath("pos.db"), QStringLiteral(SAMPLES_DIR "/demo/keys-gen6.sql"), &error), qPrintable(error));
        // What each line of the plan must answer, call after call.
        QStringList expected;
        for (const QFileInfo &file : QDir(kLongRun + QStringLiteral("/expected")).entryInfoList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
            expected << QString::fromUtf8(TestSupport::readFile(file.filePath()));
        QCOMPARE(expected.size(), 5);

        QProcess host;
        till.start(host, {"--lib", PLUGIN_PATH, "--robot", CASHIER_ROBOT_PATH, "--gbk", "--cashier", kLongRun + "/cashier.txt", "--plan",
                          kLongRun + "/plan.txt", "--repeat", QString::number(kCycles), "--pause-after", "5,10,15"});
        QVERIFY2(host.waitForStarted(), qPrintable(host.errorString()));
        const qint64 pid = host.processId();

        QMap<int, QString> samples;
        QString output;
        const QRegularExpression paused(QStringLiteral("== paused after call (\\d+) "));
        // Generous: a hung call shows up as a failure here rather than as the suite's time-out.
        QDeadlineTimer deadline(110000);
        while (host.state() == QProcess::Running && !deadline.hasExpired()) {
            host.waitForReadyRead(200);
            output += QString::fromUtf8(host.readAllStandardOutput());
            const int call = paused.match(output.mid(output.lastIndexOf(QStringLiteral("== paused")))).captured(1).toInt();
            if (call == 0 || samples.contains(call))
                continue;
            // Sample only once the stop has taken effect: then nothing of the library runs.
            while (!isStopped(pid) && host.state() == QProcess::Running && !deadline.hasExpired())
                QThread::msleep(20);
            samples.insert(call, sample(pid, call));
            ::kill(pid_t(pid), SIGCONT);
        }
        QVERIFY2(host.state() == QProcess::NotRunning, qPrintable(QStringLiteral("the run did not finish:\n") + output.right(3000)));
        output += QString::fromUtf8(host.readAllStandardOutput());
        QCOMPARE(host.exitCode(), 1);   // the plan ends with a refusal

        // Every call answered, each with the result of its plan line; the cashier never got lost.
        QVERIFY2(!output.contains(QStringLiteral("cashier:")), qPrintable(output.right(3000)));
        output.remove(QRegularExpression(QStringLiteral("^== paused after call .*\\n"), QRegularExpression::MultilineOption));
        const QStringList blocks = output.split(QRegularExpression(QStringLiteral("^== call \\d+\\n"), QRegularExpression::MultilineOption)).mid(1);
        QCOMPARE(blocks.size(), kCycles * 5);
        for (int call = 0; call < blocks.size(); ++call)
            QVERIFY2(blocks.at(call) == expected.at(call % 5), qPrintable(QStringLiteral("call %1:\n").arg(call + 1) + blocks.at(call)));

        // Between calls the worker thread, the HTTP connections and the database are gone.
        QCOMPARE(samples.keys(), (QList<int>{5, 10, 15}));
        const QString settled = samples.first();
        QVERIFY2(!settled.startsWith(QLatin1String("0 ")) && !settled.contains(QLatin1String(" 0 fds"))
                     && settled.endsWith(QLatin1String(" 0 sockets, 0 database files")), qPrintable(settled));
        QCOMPARE(QStringList(samples.values()), (QStringList{settled, settled, settled}));
    }
};

QTEST_GUILESS_MAIN(tst_LongRun)
#include "tst_longrun.moc"
