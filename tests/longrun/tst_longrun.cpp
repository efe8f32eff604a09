// A short long run: one sample-host process makes many calls in a row (sales worked by the
// scripted cashier, returns, cancellations, refusals), every one with its expected result, and
// keeps no thread, file, connection or database handle from one call to the next. The host stops
// itself between calls at fixed points; the test samples it from outside through /proc, as an
// operator would, and lets it go on. The resident size is printed for a person to read.
#include <signal.h>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include "support/seed.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_LongRun : public QObject
{
    Q_OBJECT
private slots:
    void manyCallsLeaveNothingBehind();
};

namespace {

const QString kLongRun = QStringLiteral(SAMPLES_DIR "/../tools/longrun");
constexpr int kCycles = 3;                 // 5 calls each
const QList<int> kPauses{5, 10, 15};       // after each cycle

struct Sample
{
    qint64 rssKb = 0;
    int threads = 0;
    int fds = 0;
    int sockets = 0;
    int databaseFiles = 0;   // open handles on the till's SQLite POS database
};

Sample sample(qint64 pid)
{
    Sample s;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    const QString status = QString::fromLatin1(TestSupport::readFile(proc + QStringLiteral("/status")));
    s.rssKb = QRegularExpression(QStringLiteral("VmRSS:\\s+(\\d+)")).match(status).captured(1).toLongLong();
    s.threads = QRegularExpression(QStringLiteral("Threads:\\s+(\\d+)")).match(status).captured(1).toInt();
    const QDir fdDir(proc + QStringLiteral("/fd"));
    for (const QString &fd : fdDir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        const QString target = QFile::symLinkTarget(fdDir.filePath(fd));
        ++s.fds;
        s.sockets += target.contains(QStringLiteral("socket:["));
        s.databaseFiles += target.contains(QStringLiteral("pos.db"));
    }
    return s;
}

QString describe(int call, const Sample &s)
{
    return QStringLiteral("after call %1: VmRSS %2 kB, %3 threads, %4 fds, %5 sockets, %6 database files")
        .arg(call).arg(s.rssKb).arg(s.threads).arg(s.fds).arg(s.sockets).arg(s.databaseFiles);
}

bool isStopped(qint64 pid)
{
    // "pid (comm) S ...": the state follows the last parenthesis.
    const QByteArray stat = TestSupport::readFile(QStringLiteral("/proc/%1/stat").arg(pid));
    return stat.mid(stat.lastIndexOf(')') + 2, 1) == "T";
}

}

void tst_LongRun::manyCallsLeaveNothingBehind()
{
    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(sim.start({QStringLiteral("--wallet"), QStringLiteral(SAMPLES_DIR "/wallet.json")}), qPrintable(sim.errorString()));
    TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH));
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl(), 10);
    QString error;
    QVERIFY2(Seed::runSqliteScript(till.filePath(QStringLiteral("pos.db")), QStringLiteral(SAMPLES_DIR "/demo/keys-gen6.sql"), &error),
             qPrintable(error));
    // What each line of the plan must answer, call after call.
    QStringList expected;
    for (const QFileInfo &file : QDir(kLongRun + QStringLiteral("/expected")).entryInfoList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
        expected << QString::fromUtf8(TestSupport::readFile(file.filePath()));
    QCOMPARE(expected.size(), 5);

    QProcess host;
    host.setWorkingDirectory(till.workDir());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    host.setProcessEnvironment(env);
    host.start(till.filePath(QStringLiteral("pos-host")),
               {QStringLiteral("--lib"), QStringLiteral(PLUGIN_PATH), QStringLiteral("--robot"), QStringLiteral(CASHIER_ROBOT_PATH),
                QStringLiteral("--gbk"), QStringLiteral("--cashier"), kLongRun + QStringLiteral("/cashier.txt"),
                QStringLiteral("--plan"), kLongRun + QStringLiteral("/plan.txt"), QStringLiteral("--repeat"),
                QString::number(kCycles), QStringLiteral("--pause-after"),
                QStringLiteral("%1,%2,%3").arg(kPauses.at(0)).arg(kPauses.at(1)).arg(kPauses.at(2))});
    QVERIFY2(host.waitForStarted(), qPrintable(host.errorString()));
    const qint64 pid = host.processId();

    QMap<int, Sample> samples;
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
        samples.insert(call, sample(pid));
        ::kill(pid_t(pid), SIGCONT);
    }
    if (host.state() == QProcess::Running) {
        ::kill(pid_t(pid), SIGCONT);
        host.kill();
        host.waitForFinished();
        QFAIL(qPrintable(QStringLiteral("the run did not finish; output so far:\n") + output.right(3000)));
    }
    output += QString::fromUtf8(host.readAllStandardOutput());
    QCOMPARE(host.exitCode(), 1);   // the plan ends with a refusal

    // Every call answered, each with the result of its plan line; the cashier never got lost.
    QVERIFY2(!output.contains(QStringLiteral("cashier:")), qPrintable(output.right(3000)));
    output.remove(QRegularExpression(QStringLiteral("^== paused after call .*\\n"), QRegularExpression::MultilineOption));
    const QStringList blocks = output.split(QRegularExpression(QStringLiteral("^== call \\d+\\n"), QRegularExpression::MultilineOption)).mid(1);
    QCOMPARE(blocks.size(), kCycles * 5);
    for (int call = 0; call < blocks.size(); ++call)
        QVERIFY2(blocks.at(call) == expected.at(call % 5), qPrintable(QStringLiteral("call %1:\n").arg(call + 1) + blocks.at(call)));

    QCOMPARE(samples.keys(), kPauses);
    const Sample warm = samples.value(kPauses.first());
    QVERIFY2(warm.threads > 0 && warm.fds > 0, qPrintable(describe(kPauses.first(), warm)));
    for (int call : kPauses.mid(1)) {
        const Sample later = samples.value(call);
        const QString where = describe(call, later) + QStringLiteral(" / ") + describe(kPauses.first(), warm);
        qInfo("%s", qPrintable(where));
        // Between calls the worker thread, the HTTP connections and the database are gone.
        QVERIFY2(later.threads == warm.threads && later.fds == warm.fds, qPrintable(where));
        QVERIFY2(later.sockets == 0 && later.databaseFiles == 0, qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(tst_LongRun)
#include "tst_longrun.moc"
