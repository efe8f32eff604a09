// The library inside a host that is a plain C program running a GLib main loop: the library
// brings its own Qt application object and keeps itself loaded, and Qt's nested loops and the
// host's own loop serve each other's timers.
#include <QFile>
#include <QTest>

#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_GlibHost : public QObject
{
    Q_OBJECT
private slots:
    void hostLoopAndLibraryShareTheThread_data();
    void hostLoopAndLibraryShareTheThread();
};

void tst_GlibHost::hostLoopAndLibraryShareTheThread_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<bool>("secondCopy");
    QTest::addColumn<QStringList>("expected");
    const QString nested = QStringLiteral("nested call: return 1, 111111, 上一笔交易仍在处理中，请稍后再试");
    const QString call = QStringLiteral("call: return 1, 111111, 不支持支付管理");
    QTest::newRow("offscreen display") << "offscreen" << false << QStringList{
        "qt before load: absent", "application after load: created", nested, call,
        "host timer during the call: ran", "host loop ended", "library still loaded after dlclose: yes"};
    // Qt would end the process without a display: the library creates nothing, does not pin
    // itself, and the call fails with a message instead.
    QTest::newRow("no display") << "" << false << QStringList{
        "qt before load: absent", "application after load: none",
        "call: return 1, 111111, 动态库无法显示界面（没有可用的显示设备），请联系管理员处理",
        "host timer during the call: stalled", "nested call: never fired", "host loop ended",
        "library still loaded after dlclose: no"};
    // A second file is a second library for the loader: its load-time set-up runs again, finds
    // the application object, and neither pins itself nor deletes it.
    QTest::newRow("second copy") << "offscreen" << true << QStringList{
        "qt before load: absent", "application after load: created", "second copy loaded: yes",
        "application after second load: same", "application after unloading the copy: same", "copy still loaded: no",
        nested, call, "host timer during the call: ran", "host loop ended", "library still loaded after dlclose: yes"};
}

void tst_GlibHost::hostLoopAndLibraryShareTheThread()
{
    QFETCH(QString, platform);
    QFETCH(bool, secondCopy);
    QFETCH(QStringList, expected);
    TillFolder till(QStringLiteral(GLIB_HOST_PATH), QStringLiteral(PLUGIN_PATH));
    QVERIFY(till.isValid());
    till.writeGen6Config(QStringLiteral("http://127.0.0.1:9"));
    QStringList args{QStringLiteral(PLUGIN_PATH), TestSupport::fixturePath(QStringLiteral("e2e/header-type0.xml")),
                     TestSupport::fixturePath(QStringLiteral("e2e/goods-empty.xml"))};
    if (secondCopy) {
        args << till.filePath(QStringLiteral("libTwCouponPay5-copy.so"));
        QVERIFY(QFile::copy(QStringLiteral(PLUGIN_PATH), args.last()));
    }
    const TillFolder::HostRun run = till.run(args, 60000,
        {{QStringLiteral("QT_QPA_PLATFORM"), platform}, {QStringLiteral("DISPLAY"), QString()},
         {QStringLiteral("WAYLAND_DISPLAY"), QString()}});
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.output.split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
}

QTEST_GUILESS_MAIN(tst_GlibHost)
#include "tst_glibhost.moc"
