// A short long run: one sample-host process makes many calls in a row (sales worked by the
// scripted cashier, returns, cancellations, refusals) and must not grow. The host stops itself
// between calls at fixed points; the test samples it from outside through /proc, as an
// operator would, and lets it go on.
#include <signal.h>
#include <sys/types.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <QThread>

#include "support/simprocess.h"
#include "support/tillfolder.h"

class tst_LongRun : public QObject
{
    Q_OBJECT
private slots:
    void manyCallsInOneProcessDoNotGrow();
};

namespace {

const QString kSamples = QStringLiteral(SAMPLES_DIR);
const QString kLongRun = QStringLiteral(SAMPLES_DIR "/../tools/longrun");
constexpr int kCycles = 8;                 // 5 calls each
constexpr int kWarmUp = 10, kMiddle = 25, kEnd = 40;
constexpr qint64 kRssSlackKb = 16 * 1024;  // allocator and font caches settle; a leak does not

struct Sample
{
    qint64 rssKb = -1;
    int threads = -1;
    int fds = -1;
    int sockets = -1;
    int databaseFiles = -1;   // open handles on the till's SQLite POS database
};

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

char processState(qint64 pid)
{
    // "pid (comm) S ...": the state follows the last parenthesis.
    const QByteArray stat = readAll(QStringLiteral("/proc/%1/stat").arg(pid));
    const int close = stat.lastIndexOf(')');
    return close >= 0 && close + 2 < stat.size() ? stat.at(close + 2) : '?';
}

Sample sample(qint64 pid)
{
    Sample s;
    const QString proc = QStringLiteral("/proc/%1").arg(pid);
    const QString status = QString::fromLatin1(readAll(proc + QStringLiteral("/status")));
    const QRegularExpression rss(QStringLiteral("^VmRSS:\\s+(\\d+) kB"), QRegularExpression::MultilineOption);
    const QRegularExpression threads(QStringLiteral("^Threads:\\s+(\\d+)"), QRegularExpression::MultilineOption);
    s.rssKb = rss.match(status).captured(1).toLongLong();
    s.threads = threads.match(status).captured(1).toInt();
    s.fds = s.sockets = s.databaseFiles = 0;
    const QDir fdDir(proc + QStringLiteral("/fd"));
    for (const QString &fd : fdDir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
        ++s.fds;
        const QString target = QFile::symLinkTarget(fdDir.filePath(fd));
        const QString link = QString::fromLocal8Bit(QFile::encodeName(target));
        if (link.contains(QStringLiteral("socket:[")))
            ++s.sockets;
        if (link.contains(QStringLiteral("pos.db")))
            ++s.databaseFiles;
    }
    return s;
}

QString describe(int call, const Sample &s)
{
    return QStringLiteral("after call %1: VmRSS %2 kB, %3 threads, %4 fds, %5 sockets, %6 database files")
        .arg(call).arg(s.rssKb).arg(s.threads).arg(s.fds).arg(s.sockets).arg(s.databaseFiles);
}

// The SQLite statements of a SQL script, comments dropped.
QStringList statements(const QString &script)
{
    QStringList list;
    for (const QString &statement : script.split(QLatin1Char(';'))) {
        QString sql;
        for (const QString &line : statement.split(QLatin1Char('\n')))
            sql += line.section(QStringLiteral("--"), 0, 0) + QLatin1Char(' ');
        if (!sql.trimmed().isEmpty())
            list << sql.trimmed();
    }
    return list;
}

}

void tst_LongRun::manyCallsInOneProcessDoNotGrow()
{
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--wallet"), kSamples + QStringLiteral("/wallet.json")}), qPrintable(sim.errorString()));
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl(), 10);
    QString error;
    QVERIFY2(till.runSql(QStringLiteral("pos.db"),
                         statements(QString::fromUtf8(readAll(kSamples + QStringLiteral("/demo/keys-gen6.sql")))), &error),
             qPrintable(error));

    // What each line of the plan must answer, call after call.
    QStringList expected;
    for (const QString &name : QDir(kLongRun + QStringLiteral("/expected")).entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name))
        expected << QString::fromUtf8(readAll(kLongRun + QStringLiteral("/expected/") + name));
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
                QStringLiteral("%1,%2,%3").arg(kWarmUp).arg(kMiddle).arg(kEnd)});
    QVERIFY2(host.waitForStarted(), qPrintable(host.errorString()));
    const qint64 pid = host.processId();

    QMap<int, Sample> samples;
    QString output;
    const QRegularExpression paused(QStringLiteral("^== paused after call (\\d+) "), QRegularExpression::MultilineOption);
    // Generous: a hung call shows up as a failure here rather than as the suite's time-out.
    QDeadlineTimer deadline(110000);
    while (host.state() == QProcess::Running && !deadline.hasExpired()) {
        host.waitForReadyRead(200);
        output += QString::fromUtf8(host.readAllStandardOutput());
        const QRegularExpressionMatch match = paused.match(output.mid(output.lastIndexOf(QStringLiteral("== paused"))));
        if (!match.hasMatch() || samples.contains(match.captured(1).toInt()))
            continue;
        // Sample only once the stop has taken effect: then nothing of the library runs.
        while (processState(pid) != 'T' && host.state() == QProcess::Running && !deadline.hasExpired())
            QThread::msleep(20);
        samples.insert(match.captured(1).toInt(), sample(pid));
        ::kill(pid_t(pid), SIGCONT);
    }
    if (host.state() == QProcess::Running) {
        ::kill(pid_t(pid), SIGCONT);
        host.kill();
        host.waitForFinished();
        QFAIL(qPrintable(QStringLiteral("the run did not finish; output so far:\n") + output.right(3000)));
    }
    output += QString::fromUtf8(host.readAllStandardOutput());
    // The plan ends with a refusal, so the host's last result code is 111111.
    QCOMPARE(host.exitCode(), 1);

    // Every call answered, each with the result of its plan line; the cashier never got lost.
    QVERIFY2(!output.contains(QStringLiteral("cashier:")), qPrintable(output.right(3000)));
    output.remove(QRegularExpression(QStringLiteral("^== paused after call .*\\n"), QRegularExpression::MultilineOption));
    const QStringList blocks = output.split(QRegularExpression(QStringLiteral("^== call \\d+\\n"), QRegularExpression::MultilineOption)).mid(1);
    QCOMPARE(blocks.size(), kCycles * 5);
    for (int call = 0; call < blocks.size(); ++call)
        QVERIFY2(blocks.at(call) == expected.at(call % 5), qPrintable(QStringLiteral("call %1:\n").arg(call + 1) + blocks.at(call)));

    QCOMPARE(samples.keys(), QList<int>({kWarmUp, kMiddle, kEnd}));
    const Sample warm = samples.value(kWarmUp);
    for (int call : {kWarmUp, kMiddle, kEnd})
        qInfo("%s", qPrintable(describe(call, samples.value(call))));
    QVERIFY(warm.rssKb > 0 && warm.threads > 0 && warm.fds > 0);
    for (int call : {kMiddle, kEnd}) {
        const Sample later = samples.value(call);
        const QString where = describe(call, later) + QStringLiteral(" / ") + describe(kWarmUp, warm);
        // Between calls the worker thread, the HTTP connections and the database are gone.
        QVERIFY2(later.threads == warm.threads, qPrintable(where));
        QVERIFY2(later.fds == warm.fds, qPrintable(where));
        QVERIFY2(later.sockets == 0, qPrintable(where));
        QVERIFY2(later.databaseFiles == 0, qPrintable(where));
        QVERIFY2(later.rssKb <= warm.rssKb + kRssSlackKb, qPrintable(where));
    }
}

QTEST_GUILESS_MAIN(tst_LongRun)
#include "tst_longrun.moc"
