// The library in real host processes: the sample host (no Qt), its returns and cancellations sent to
// the simulator over real HTTP, and a plain C host on a GLib main loop, where the library brings its
// own Qt application object and Qt's nested loops and the host's loop serve each other's timers.
#include <QFile>
#include <QJsonObject>
#include <QTest>

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
    void callsFailCleanly_data()
    {
        // garbage: a file of the GEN6 till written over with binary bytes
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("garbage");
        QTest::addColumn<QString>("message"); // how it ends: the driver's text may come first
        QTest::newRow("type 0, second entry name") << "header-type0.xml"
                                                   << "QTwCardTrans"
                                                   << ""
                                                   << "不支持支付管理";
        QTest::newRow("no header at all") << ""
                                          << "TwCardTrans"
                                          << ""
                                          << "交易类型错误";
        // Without a readable system type the till is taken for one whose database is SQL Server.
        QTest::newRow("binary plugin ini") << "header-lowercase-sale.xml"
                                           << "TwCardTrans"
                                           << "TwCouponPay5.ini"
                                           << "数据库打开失败！";
        // A lower-case "sale" is no type: the garbage database is never read.
        QTest::newRow("lower-case sale, database file is not a database") << "header-lowercase-sale.xml"
                                                                          << "TwCardTrans"
                                                                          << "pos.db"
                                                                          << "交易类型错误";
    }

    // Whatever the header or the till's files hold, the call fails with its message, leaving 7 to 12 untouched.
    void callsFailCleanly()
    {
        QFETCH(QString, header);
        QFETCH(QString, entry);
        QFETCH(QString, garbage);
        QFETCH(QString, message);
        TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH), QStringLiteral(CASHIER_ROBOT_PATH));
        till.writeGen6("http://127.0.0.1:9");
        if (!garbage.isEmpty())
            till.writeText(garbage, TestSupport::readFile(QStringLiteral(PLUGIN_PATH)).left(4096));
        till.writeText("answer", "wait 1500\nkey Return\nwait 1500\nkey Return\n");
        const TillFolder::HostRun run =
            till.runHost({header.isEmpty() ? "null" : doc(header), doc("goods-empty.xml"), "null", "null"},
                         {"--entry", entry, "--cashier", till.filePath("answer")});
        QVERIFY2(run.output.contains("return: 1\n"), qPrintable(run.output));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(run.params.keys(), (QList<int> {5, 6}));
        QCOMPARE(run.params.value(5), QByteArray("111111"));
        const QString shown = QString::fromUtf8(run.params.value(6));
        QVERIFY2(shown.endsWith(message), qPrintable(shown));
    }

    void returnsReachTheServer_data()
    {
        // server: the simulator's wallet or a scenario; agreedSize: Config/OutputBufferSize and the host's buffers;
        // params: 5, 6, 7, 11 and 12 ("" when untouched); body: what the server received; logged: a log excerpt
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("agreedSize");
        QTest::addColumn<QStringList>("params");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("logged");
        const QString noDiscount = "<?xml version='1.0' encoding='UTF-8'?>\n<DSC><Yh/></DSC>";
        const QString bothBack =
            QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001;CP0002</TradeNo>"
                           "<BuyerNo>S20261206001</BuyerNo><Total/></zfR></Zf></Op>");
        const QString bothCodes =
            QStringLiteral("code=%5B%22CP0001%22%2C%22CP0002%22%5D&orgCode=A01&origBizBillNo=B20261206001"
                           "&origSaleNo=S20261206001&sign=c4266c44019951be00af249bc1e78486&vipInfoId=V0001");
        QTest::newRow("cancel gives both coupons back")
            << "cancel"
            << "wallet-consumed.json"
            << "" << QStringList {"000000", "", "2000.00", noDiscount, bothBack} << bothCodes << "";
        QTest::newRow("void refunds the payment line")
            << "void"
            << "wallet-consumed.json"
            << ""
            << QStringList {"000000", "", "1000.00", noDiscount,
                            "<?xml version='1.0' "
                            "encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001</TradeNo><BuyerNo/><Total>10.00</Total></"
                            "zfR></Zf></Op>"}
            << "code=%5B%22CP0001%22%5D&orgCode=A01&origBizBillNo=B20261206001&origSaleNo=S20261206001&sign="
               "60cdce119bce026b13043e8bc9948f9a&vipInfoId=V0001"
            << "位置：口碑券待退款券号：\n内容：CP0001";
        QTest::newRow("refused") << "cancel"
                                 << "cancel-refused.json"
                                 << "" << QStringList {"111111", "线下交易券撤销接口失败，券已撤销", "", "", ""}
                                 << bothCodes << "位置：传出参数，交易失败\n内容：线下交易券撤销接口失败，券已撤销";
        QTest::newRow("agreed size too small to mean anything")
            << "cancel"
            << "wallet-consumed.json"
            << "32" << QStringList {"000000", "", "2000.00", noDiscount, bothBack} << bothCodes << "";
        // Support can still see in the log what the server did.
        QTest::newRow("payment document longer than agreed")
            << "cancel"
            << "wallet-consumed.json"
            << "128"
            << QStringList {"111111", "交易已在服务器完成，但传出参数超过约定的缓冲区大小（128字节），请联系管理员处理",
                            "", "", ""}
            << bothCodes << "位置：传出参数超过约定的缓冲区大小，未传出\n内容：金额：2000.00\n";
    }

    void returnsReachTheServer()
    {
        QFETCH(QString, kind);
        QFETCH(QString, server);
        QFETCH(QString, agreedSize);
        QFETCH(QStringList, params);
        QFETCH(QString, body);
        QFETCH(QString, logged);
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        QVERIFY2(sim.start({server.startsWith("wallet") ? "--wallet" : "--scenario", doc(server)}),
                 qPrintable(sim.errorString()));
        TillFolder till(QStringLiteral(POS_HOST_PATH), QStringLiteral(PLUGIN_PATH));
        till.writeGen6(sim.baseUrl());
        QStringList args;
        if (!agreedSize.isEmpty()) {
            till.writeIni("TwCouponPay5.ini", {{"Config/OutputBufferSize", agreedSize}});
            args << "--buffer-size" << QString::number(qMax(agreedSize.toInt(), 400));
        }
        const TillFolder::HostRun run = till.runHost(TestSupport::sampleDocuments(kind), args);
        QCOMPARE(run.exitCode, params.first() == "000000" ? 0 : 1);
        QStringList written;
        for (int p : {5, 6, 7, 11, 12})
            written << QString::fromUtf8(run.params.value(p));
        QCOMPARE(written, params);
        QVERIFY2(till.logText().contains(logged), qPrintable(logged));
        // A result the host never got must not read as a success in the log.
        QCOMPARE(till.logText().contains("交易成功"), params.first() == "000000");
        QStringList received;
        for (const QJsonObject &r : sim.requests())
            received << r.value("path").toString() + ' ' + r.value("contentType").toString()
                    + (r.value("signatureValid").toBool() ? " signed\n" : "\n") + r.value("body").toString();
        QCOMPARE(received,
                 QStringList {"/posPortal/offlineCancelCerti application/x-www-form-urlencoded signed\n" + body});
    }

    void glibHostLoopAndLibraryShareTheThread_data()
    {
        QTest::addColumn<QString>("platform");
        QTest::addColumn<bool>("secondCopy");
        QTest::addColumn<QStringList>("expected");
        const QString nested = "nested call: return 1, 111111, 上一笔交易仍在处理中，请稍后再试";
        const QString call = "call: return 1, 111111, 不支持支付管理";
        // Without a display Qt would end the process: the library creates nothing and fails the call.
        QTest::newRow("no display")
            << "" << false
            << QStringList {"qt before load: absent",
                            "application after load: none",
                            "call: return 1, 111111, 动态库无法显示界面（没有可用的显示设备），请联系管理员处理",
                            "host timer during the call: stalled",
                            "nested call: never fired",
                            "host loop ended",
                            "library still loaded after dlclose: no"};
        // A second file is a second library: its set-up finds the application object, pins and deletes nothing.
        QTest::newRow("second copy") << "offscreen" << true
                                     << QStringList {"qt before load: absent",
                                                     "application after load: created",
                                                     "second copy loaded: yes",
                                                     "application after second load: same",
                                                     "application after unloading the copy: same",
                                                     "copy still loaded: no",
                                                     nested,
                                                     call,
                                                     "host timer during the call: ran",
                                                     "host loop ended",
                                                     "library still loaded after dlclose: yes"};
    }

    void glibHostLoopAndLibraryShareTheThread()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the plain C host is not instrumented, so it cannot load the instrumented library");
#endif
        QFETCH(QString, platform);
        QFETCH(bool, secondCopy);
        QFETCH(QStringList, expected);
        TillFolder till(QStringLiteral(GLIB_HOST_PATH), QStringLiteral(PLUGIN_PATH));
        till.writeGen6("http://127.0.0.1:9");
        QStringList args {QStringLiteral(PLUGIN_PATH), doc("header-type0.xml"), doc("goods-empty.xml")};
        if (secondCopy) {
            args << till.filePath("libTwCouponPay5-copy.so");
            QVERIFY(QFile::copy(QStringLiteral(PLUGIN_PATH), args.last()));
        }
        const TillFolder::HostRun run = till.run(
            args, 60000, {{"QT_QPA_PLATFORM", platform}, {"DISPLAY", QString()}, {"WAYLAND_DISPLAY", QString()}});
        QCOMPARE(run.exitCode, 0);
        QCOMPARE(run.output.split('\n', Qt::SkipEmptyParts), expected);
    }
};

QTEST_GUILESS_MAIN(tst_PosHost)
#include "tst_poshost.moc"
