// Real hosts: the sample host against the simulator, and a C host on a GLib main loop serving the timers of the
// library's own Qt application as Qt's loops serve the host's.
#include <QFile>
#include <QJsonObject>
#include <QTest>
#include <QUrlQuery>

#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

static QString doc(const QString &name)
{
    return TestSupport::fixturePath("e2e/" + name);
}

class tst_PosHost : public QObject
{
    Q_OBJECT
private slots:
    // An unreadable system type is taken for SQL Server's; the call through the second entry name fails with its
    // message.
    void garbageSettingsFailTheCall()
    {
        TillFolder till;
        till.writeGen6("http://127.0.0.1:9");
        till.writeText("TwCouponPay5.ini", TestSupport::readFile(PLUGIN_PATH).left(4096));
        till.writeText("answer", "wait 1500\nkey Return\nwait 1500\nkey Return\n");
        const auto run = till.runHost({doc("header-lowercase-sale.xml"), doc("goods-empty.xml"), "null", "null"},
                                      {"--entry", "QTwCardTrans", "--cashier", till.filePath("answer")});
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.params.keys(), (QList<int> {5, 6})); // 7 to 12 untouched
        QCOMPARE(run.params[5], "111111");
        QVERIFY2(QString::fromUtf8(run.params[6]).endsWith("数据库打开失败！"), run.params[6].constData());
    }

    void returnsReachTheServer_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("agreedSize"); // Config/OutputBufferSize, and the host's buffers
        QTest::addColumn<QStringList>("params"); // 5, 6 and 7
        QTest::addColumn<QString>("codes"); // the server was asked to cancel
        QTest::addColumn<QString>("logged");
        const QString both = "[\"CP0001\",\"CP0002\"]";
        const QStringList bothBack {"000000", "", "2000.00"};
        QTest::newRow("cancel gives both coupons back") << "cancel" << 0 << bothBack << both << "";
        QTest::newRow("void refunds the payment line")
            << "void" << 0 << QStringList {"000000", "", "1000.00"} << "[\"CP0001\"]"
            << "位置：口碑券待退款券号：\n内容：CP0001";
        QTest::newRow("agreed size too small to mean anything") << "cancel" << 32 << bothBack << both << "";
        QTest::newRow("payment document longer than agreed")
            << "cancel" << 128
            << QStringList {"111111", "交易已在服务器完成，但传出参数超过约定的缓冲区大小（128字节），请联系管理员处理",
                            ""}
            << both << "位置：传出参数超过约定的缓冲区大小，未传出\n内容：金额：2000.00\n";
    }

    void returnsReachTheServer()
    {
        QFETCH(QString, kind);
        QFETCH(int, agreedSize);
        QFETCH(QStringList, params);
        QFETCH(QString, codes);
        SimProcess sim(SCRM_SIM_PATH);
        QVERIFY2(sim.start({"--wallet", doc("wallet-consumed.json")}), qPrintable(sim.errorString()));
        TillFolder till(POS_HOST_PATH, PLUGIN_PATH);
        till.writeGen6(sim.baseUrl());
        QStringList args;
        if (agreedSize) {
            till.writeIni("TwCouponPay5.ini", {{"Config/OutputBufferSize", agreedSize}});
            args << "--buffer-size" << QString::number(qMax(agreedSize, 400));
        }
        const auto run = till.runHost(TestSupport::sampleDocuments(kind), args);
        QStringList written;
        for (int p : {5, 6, 7})
            written << QString::fromUtf8(run.params.value(p));
        QCOMPARE(written, params);
        QFETCH(QString, logged);
        QVERIFY2(till.logText().contains(logged), qPrintable(logged));
        // A result the host never got must not read as a success in the log.
        QCOMPARE(till.logText().contains("交易成功"), params[0] == "000000");
        QStringList received;
        for (const QJsonObject &r : sim.requests())
            received << r.value("path").toString() + ' '
                    + QUrlQuery(r.value("body").toString()).queryItemValue("code", QUrl::FullyDecoded);
        QCOMPARE(received, QStringList {"/posPortal/offlineCancelCerti " + codes});
    }

    void glibHostLoopAndLibraryShareTheThread_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("secondCopy");
        QTest::addColumn<QString>("output");
        // Without a display Qt would end the process: the library creates nothing and fails the call.
        QTest::newRow("no display")
            << "" << false
            << "qt before load: absent\napplication after load: none\n"
               "call: return 1, 111111, 动态库无法显示界面（没有可用的显示设备），请联系管理员处理\n"
               "host timer during the call: stalled\nnested call: never fired\nhost loop ended\n"
               "library still loaded after dlclose: no\n";
        // A second file is a second library: its set-up finds the application object, pins and deletes nothing.
        QTest::newRow("second copy")
            << "offscreen" << true
            << "qt before load: absent\napplication after load: created\nsecond copy loaded: yes\n"
               "application after second load: same\napplication after unloading the copy: same\n"
               "copy still loaded: no\nnested call: return 1, 111111, 上一笔交易仍在处理中，请稍后再试\n"
               "call: return 1, 111111, 不支持支付管理\nhost timer during the call: ran\nhost loop ended\n"
               "library still loaded after dlclose: yes\n";
    }

    void glibHostLoopAndLibraryShareTheThread()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the plain C host cannot load an instrumented library");
#endif
        QFETCH(QString, platform);
        QFETCH(bool, secondCopy);
        TillFolder till(GLIB_HOST_PATH, PLUGIN_PATH);
        till.writeGen6("http://127.0.0.1:9");
        QStringList args {PLUGIN_PATH, doc("header-type0.xml"), doc("goods-empty.xml")};
        if (secondCopy) {
            args << till.filePath("libTwCouponPay5-copy.so");
            QVERIFY(QFile::copy(PLUGIN_PATH, args.last()));
        }
        const auto run = till.run(
            args, 60000, {{"QT_QPA_PLATFORM", platform}, {"DISPLAY", QString()}, {"WAYLAND_DISPLAY", QString()}});
        QCOMPARE(run.exitCode, 0);
        QTEST(run.output, "output");
    }
};

QTEST_GUILESS_MAIN(tst_PosHost)
#include "tst_poshost.moc"
