// The library inside a host that is a plain C program running a GLib main loop: the library
// brings its own Qt application object and keeps itself loaded, and Qt's nested loops and the
// host's own loop serve each other's timers.
#include <QFile>
#include <QProcess>
#include <QTest>

#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_GlibHost : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void hostLoopAndLibraryShareTheThread_data();
    void hostLoopAndLibraryShareTheThread();
    void secondCopyCreatesNoApplication();

private:
    QString buildHost(const TillFolder &till);
    QString m_compileOutput;
};

namespace {

const char kHostSource[] = SAMPLES_DIR "/../tools/glib-host/glib-host.c";

QString doc(const char *name)
{
    return TestSupport::fixturePath(QStringLiteral("e2e/") + QLatin1String(name));
}

struct HostRun
{
    bool finished = false;
    int exitCode = -1;
    QProcess::ExitStatus exitStatus = QProcess::CrashExit;
    QStringList lines;
};

HostRun runHost(const TillFolder &till, const QString &host, const QStringList &args,
                const QProcessEnvironment &env)
{
    HostRun run;
    QProcess process;
    process.setWorkingDirectory(till.workDir());
    process.setProcessEnvironment(env);
    process.start(host, args);
    run.finished = process.waitForFinished(60000);
    if (!run.finished) {
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitCode();
    run.exitStatus = process.exitStatus();
    run.lines = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    return run;
}

}

void tst_GlibHost::initTestCase()
{
    QVERIFY2(QFile::exists(QString::fromUtf8(kHostSource)), kHostSource);
}

// Built from the test, with the system's C compiler and GLib, into the till folder: the library
// reads its settings beside the host executable.
QString tst_GlibHost::buildHost(const TillFolder &till)
{
    const QString host = till.filePath(QStringLiteral("glib-host"));
    QProcess compile;
    compile.setProcessChannelMode(QProcess::MergedChannels);
    compile.start(QStringLiteral("sh"), {QStringLiteral("-c"),
        QStringLiteral("cc -std=c11 -Wall -Wextra -Werror -o '%1' '%2' $(pkg-config --cflags --libs glib-2.0) -ldl")
            .arg(host, QString::fromUtf8(kHostSource))});
    if (!compile.waitForFinished(120000) || compile.exitCode() != 0) {
        m_compileOutput = QString::fromLocal8Bit(compile.readAll());
        return QString();
    }
    return host;
}

void tst_GlibHost::hostLoopAndLibraryShareTheThread_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("offscreen display") << QStringLiteral("offscreen") << QStringList{
        QStringLiteral("qt before load: absent"),
        QStringLiteral("application after load: created"),
        QStringLiteral("nested call: return 1, 111111, 上一笔交易仍在处理中，请稍后再试"),
        QStringLiteral("call: return 1, 111111, 不支持支付管理"),
        QStringLiteral("host timer during the call: ran"),
        QStringLiteral("host loop ended"),
        QStringLiteral("library still loaded after dlclose: yes")};
    // Qt would end the process without a display: the library creates nothing, does not pin
    // itself, and the call fails with a message instead.
    QTest::newRow("no display") << QString() << QStringList{
        QStringLiteral("qt before load: absent"),
        QStringLiteral("application after load: none"),
        QStringLiteral("call: return 1, 111111, 动态库无法显示界面（没有可用的显示设备），请联系管理员处理"),
        QStringLiteral("host timer during the call: stalled"),
        QStringLiteral("nested call: never fired"),
        QStringLiteral("host loop ended"),
        QStringLiteral("library still loaded after dlclose: no")};
}

void tst_GlibHost::hostLoopAndLibraryShareTheThread()
{
    QFETCH(QString, platform);
    QFETCH(QStringList, expected);
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));
    const QString host = buildHost(till);
    QVERIFY2(!host.isEmpty(), qPrintable(m_compileOutput));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    if (!platform.isEmpty())
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), platform);

    const HostRun run = runHost(till, host, {QStringLiteral(PLUGIN_PATH), doc("header-type0.xml"), doc("goods-empty.xml")}, env);
    QVERIFY2(run.finished, qPrintable(run.lines.join(QLatin1Char('\n'))));
    QCOMPARE(run.exitStatus, QProcess::NormalExit);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.lines, expected);
}

void tst_GlibHost::secondCopyCreatesNoApplication()
{
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));
    const QString host = buildHost(till);
    QVERIFY2(!host.isEmpty(), qPrintable(m_compileOutput));
    // A second file is a second library for the loader: its load-time set-up runs again.
    const QString copy = till.filePath(QStringLiteral("libTwCouponPay5-copy.so"));
    QVERIFY(QFile::copy(QStringLiteral(PLUGIN_PATH), copy));

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const HostRun run = runHost(till, host, {QStringLiteral(PLUGIN_PATH), doc("header-type0.xml"), doc("goods-empty.xml"), copy}, env);
    QVERIFY2(run.finished, qPrintable(run.lines.join(QLatin1Char('\n'))));
    QCOMPARE(run.exitCode, 0);
    const QStringList expectedStart{
        QStringLiteral("qt before load: absent"),
        QStringLiteral("application after load: created"),
        QStringLiteral("second copy loaded: yes"),
        QStringLiteral("application after second load: same"),
        QStringLiteral("application after unloading the copy: same"),
        // The copy found an application object, so it neither pinned itself nor deleted it.
        QStringLiteral("copy still loaded: no"),
        QStringLiteral("nested call: return 1, 111111, 上一笔交易仍在处理中，请稍后再试"),
        QStringLiteral("call: return 1, 111111, 不支持支付管理")};
    QCOMPARE(run.lines.mid(0, expectedStart.size()), expectedStart);
    QCOMPARE(run.lines.last(), QStringLiteral("library still loaded after dlclose: yes"));
}

QTEST_GUILESS_MAIN(tst_GlibHost)
#include "tst_glibhost.moc"
