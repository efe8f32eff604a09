// The Windows build as a till runs it: the DLL and sample hosts under Wine (code page 936, real windows on an X display), the Linux simulator on
// loopback, and the Linux build on the same inputs as reference.
#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include "helpers/seed.h"
#include "helpers/simprocess.h"

namespace {
QByteArray readAll(const QString &path) { QFile file(path); return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray(); }
QTextCodec *gbk() { return QTextCodec::codecForName("GBK"); }

struct Run { int exitCode = -1; QByteArray out, err; };   // -1 also when it crashed or hung

// A Windows program runs under Wine; either from the till's working directory.
Run run(const QString &program, const QStringList &args, const QString &till)
{
    QProcess process;
    process.setWorkingDirectory(till + QStringLiteral("/work"));
    if (program.endsWith(QLatin1String(".exe"))) {
        process.start(QStringLiteral("wine"), QStringList{program} + args);
    } else {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        process.setProcessEnvironment(environment);
        process.start(program, args);
    }
    if (!process.waitForFinished(180000))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QByteArray todaysLog(const QString &till) { return readAll(till + QDate::currentDate().toString(QStringLiteral("'/work/LOG/PayLog'yyyyMMdd'.txt'"))); }
}

class tst_Windows : public QObject
{
    Q_OBJECT
    QString m_dist = qEnvironmentVariable("TW_WIN_DIST"), m_winBuild = qEnvironmentVariable("TW_WIN_BUILD");
    QString m_linuxBuild = qEnvironmentVariable("TW_LINUX_BUILD"), m_source = qEnvironmentVariable("TW_SOURCE_DIR");

    // Host programs copied, DLLs and plug-in folders linked beside them as an integrator does; GEN6 keys in SQLite.
    bool layOutTill(const QString &till, const QString &url, bool windows) const
    {
        QStringList copies, links;
        if (windows) {
            for (const QFileInfo &entry : QDir(m_dist).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
                // The sample INI files stay out: the till writes its own, and must not write through a link.
                if (entry.suffix() == QLatin1String("exe"))
                    copies << entry.absoluteFilePath();
                else if (entry.isDir() || entry.suffix() == QLatin1String("dll"))
                    links << entry.absoluteFilePath();
            }
            links << m_winBuild + QStringLiteral("/libcashier-robot.dll") << m_winBuild + QStringLiteral("/Qt5Test.dll");
        } else {
            for (const char *name : {"/pos-host", "/libTwCouponPay5.so", "/libcashier-robot.so"})
                copies << m_linuxBuild + QLatin1String(name);
        }
        bool ok = QDir().mkpath(till + QStringLiteral("/work/out"));
        for (const QString &file : copies)
            ok = ok && QFile::copy(file, till + QLatin1Char('/') + QFileInfo(file).fileName());
        for (const QString &file : links)
            ok = ok && QFile::link(file, till + QLatin1Char('/') + QFileInfo(file).fileName());
        Seed::gen6Till(till, url, 10);
        return ok && Seed::runSqliteScript(till + QStringLiteral("/pos.db"), m_source + QStringLiteral("/samples/demo/keys-gen6.sql"));
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(m_dist + QStringLiteral("/TwCouponPay5.dll")) && QFile::exists(m_winBuild + QStringLiteral("/libcashier-robot.dll"))
                     && QFile::exists(m_linuxBuild + QStringLiteral("/scrm-sim")) && qEnvironmentVariableIsSet("WINEPREFIX")
                     && qEnvironmentVariableIsSet("DISPLAY"), "TW_WIN_DIST, TW_WIN_BUILD, TW_LINUX_BUILD, Wine: run through scripts/windows/test.sh");
    }

    // The two entries undecorated, and beside them only QWinWidget's members, vtable and type information.
    void exportTable()
    {
        QProcess objdump;   // the export directory as the cross toolchain reads it
        objdump.start(QStringLiteral("i686-w64-mingw32-objdump"), {QStringLiteral("-p"), m_dist + QStringLiteral("/TwCouponPay5.dll")});
        objdump.waitForFinished();
        const QString table = QString::fromLatin1(objdump.readAllStandardOutput())
                                  .section(QStringLiteral("[Ordinal/Name Pointer] Table"), 1).section(QStringLiteral("\n\n"), 0, 0);
        QStringList names;
        for (auto it = QRegularExpression(QStringLiteral("\\[\\s*\\d+\\] (\\S+)")).globalMatch(table); it.hasNext();)
            names << it.next().captured(1);
        for (const char *name : {"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidgetC1EP6HWND__P7QObject6QFlagsIN2Qt10WindowTypeEE",
                                 "_ZN10QWinWidget12showCenteredEv", "_ZN10QWinWidget8winEventEP6tagMSGPl", "_ZN10QWinWidget16staticMetaObjectE"})
            QVERIFY2(names.contains(QLatin1String(name)), name);
        const QRegularExpression widgetMember(QStringLiteral("^_Z(N|NK|TV|TI|TS|Th[n0-9_]*N)10QWinWidget"));
        for (const QString &name : names)
            QVERIFY2(name == QLatin1String("TwCardTrans") || name == QLatin1String("QTwCardTrans") || widgetMember.match(name).hasMatch(),
                     qPrintable(name));
    }

    void tillRunsAsOnLinux_data()
    {
        for (const char *column : {"folder", "pay", "wallet"})
            QTest::addColumn<QString>(column);
        QTest::newRow("VOID") << "void" << "pay.xml" << "tests/data/e2e/wallet-consumed.json";
        QTest::newRow("CANCEL") << "cancel" << "pay.json" << "tests/data/e2e/wallet-consumed.json";
        // Tick by touch, tick by the GEN6 keyboard (key table in the SQLite POS database), pay.
        QTest::newRow("SALE worked by the cashier") << "sale" << "pay.json" << "samples/wallet.json";
    }

    void tillRunsAsOnLinux()
    {
        QFETCH(QString, folder);
        QFETCH(QString, pay);
        QFETCH(QString, wallet);
        QStringList args{QStringLiteral("--gbk"), QStringLiteral("--out-dir"), QStringLiteral("out")};
        if (folder == QLatin1String("sale"))
            args << QStringLiteral("--cashier") << m_source + QStringLiteral("/samples/demo/cashier-sale.txt");
        for (const QString &document : {QStringLiteral("header.xml"), QStringLiteral("goods.xml"), pay, QStringLiteral("udp2.json")})
            args << m_source + QStringLiteral("/samples/") + folder + QLatin1Char('/') + document;

        // What must agree: parameters 5 to 12, each request but its time and headers, and the log with the server address and time stamps taken out.
        QList<QByteArray> params[2];
        QStringList requests[2], log[2];
        for (int windows = 0; windows < 2; ++windows) {
            QTemporaryDir till;
            SimProcess sim(m_linuxBuild + QStringLiteral("/scrm-sim"));
            QVERIFY2(sim.start({QStringLiteral("--wallet"), m_source + QLatin1Char('/') + wallet}), qPrintable(sim.errorString()));
            QVERIFY(layOutTill(till.path(), sim.baseUrl(), windows));
            const Run result = run(till.filePath(windows ? QStringLiteral("pos-host.exe") : QStringLiteral("pos-host")), args, till.path());
            QVERIFY2(result.exitCode == 0, result.out + result.err);
            for (int p = 5; p <= 12; ++p) {
                const QByteArray value = readAll(till.filePath(QStringLiteral("work/out/p%1.txt").arg(p)));
                params[windows] << (windows ? value : gbk()->fromUnicode(QString::fromUtf8(value)));
            }
            for (QJsonObject request : sim.requests()) {
                request.remove(QStringLiteral("time"));
                request.remove(QStringLiteral("headers"));
                requests[windows] << QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
            }
            const QByteArray bytes = todaysLog(till.path());
            // Lines end in CR LF on Windows, as an editor there expects them; the code page shows in the comparison.
            QVERIFY(!windows || (bytes.contains("\r\n") && !bytes.contains("\n\n")));
            QString text = windows ? gbk()->toUnicode(bytes).replace(QStringLiteral("\r\n"), QStringLiteral("\n")) : QString::fromUtf8(bytes);
            log[windows] = text.replace(sim.baseUrl(), QStringLiteral("SERVER")).remove(QRegularExpression(QStringLiteral("时间：[^\n]*\n"))).split('\n');
        }
        QCOMPARE(params[1].first(), QByteArray("000000"));
        QCOMPARE(params[1], params[0]);
        QCOMPARE(requests[1], requests[0]);
        QCOMPARE(log[1], log[0]);
    }

    void hostLoopKeepsRunning_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("header");
        QTest::addColumn<QStringList>("expected");   // patterns of win-host's output
        QTest::newRow("waits and a server call") << "call" << "samples/void/header.xml" << QStringList{QStringLiteral("p5: 111111"), QStringLiteral("p6: 线下交易券撤销接口失败，券已撤销")};
        // Qt's dispatcher runs them too, but only the library's hook runs them before the host's next message.
        QTest::newRow("Qt timers and queued signals between calls") << "idle" << "" << QStringList{QStringLiteral("qt timer ticks [1-9]\\d*, queued signals 5, queued signals run before the host's next message 5")};
        QTest::newRow("modal child disables the host, focus comes back") << "modal" << "" << QStringList{QStringLiteral("host enabled before 1 during 0 after 1"), QStringLiteral("host focus back 1")};
        QTest::newRow("load, unload, load again") << "reload" << "tests/data/e2e/header-type0.xml" << QStringList{QStringLiteral("first call: 111111 不支持支付管理"), QStringLiteral("still loaded after FreeLibrary: 1"), QStringLiteral("second call: 111111 不支持支付管理"), QStringLiteral("application after first load present, same object after second load 1, same module 1")};
    }

    void hostLoopKeepsRunning()
    {
        QFETCH(QString, mode);
        QFETCH(QString, header);
        QFETCH(QStringList, expected);
        QTemporaryDir till;
        SimProcess sim(m_linuxBuild + QStringLiteral("/scrm-sim"));
        QVERIFY(sim.start({QStringLiteral("--scenario"), m_source + QStringLiteral("/tests/windows/void-slow.json")}));
        QVERIFY(layOutTill(till.path(), sim.baseUrl(), true));
        QStringList args{mode};
        if (!header.isEmpty()) {   // the documents as the till passes them: GBK bytes
            const QStringList names{header, QStringLiteral("samples/void/goods.xml"), QStringLiteral("samples/void/pay.xml"),
                                    QStringLiteral("samples/void/udp2.json")};
            for (int i = 0; i < 4; ++i) {
                QFile document(till.filePath(QStringLiteral("work/doc%1.txt").arg(i)));
                QVERIFY(document.open(QIODevice::WriteOnly));
                document.write(gbk()->fromUnicode(QString::fromUtf8(readAll(m_source + QLatin1Char('/') + names[i]))));
                args << document.fileName();
            }
        }
        if (mode == QLatin1String("call"))
            args << till.filePath(QStringLiteral("work/events.txt"));

        const Run result = run(till.filePath(QStringLiteral("win-host.exe")), args, till.path());
        const QString out = gbk()->toUnicode(result.out);
        QVERIFY2(result.exitCode == (mode == QLatin1String("call") ? 1 : 0), qPrintable(out + QString::fromLocal8Bit(result.err)));
        // A crash at exit shows up on Wine's error output even when the exit code survives.
        QVERIFY2(!result.err.contains("Unhandled exception"), result.err.constData());
        for (const QString &line : expected)
            QVERIFY2(out.contains(QRegularExpression(line)), qPrintable(out));
        if (mode != QLatin1String("call"))
            return;

        // The host's own paint and timer messages inside each wait and the server call, placed by the log's time stamps.
        const QString log = gbk()->toUnicode(todaysLog(till.path()));
        const QString stampFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz");
        auto stampOf = [&](const QString &step) {
            // The step is named in the entry's place or, for the entry's own progress lines, its content.
            const QRegularExpression entry(QStringLiteral("时间：(\\S+ \\S+)\r\n方式：[^\r]*\r\n(位置：%1\r\n|位置：[^\r]*\r\n内容：%1\r\n)").arg(step));
            return QDateTime::fromString(entry.match(log).captured(1), stampFormat);
        };
        const QList<QByteArray> events = readAll(till.filePath(QStringLiteral("work/events.txt"))).split('\n');
        const QStringList phases{QStringLiteral("PrepareToShow"), QStringLiteral("等待框已开启"), QStringLiteral("接口请求内容"),
                                 QStringLiteral("调用成功"), QStringLiteral("启动定时器"), QStringLiteral("WaitDlg.close")};
        for (int p = 0; p < phases.size(); p += 2) {
            const QDateTime from = stampOf(phases[p]), to = stampOf(phases[p + 1]);
            QMap<QByteArray, int> counts;
            for (const QByteArray &event : events) {
                const QDateTime at = QDateTime::fromString(QString::fromLatin1(event.mid(event.indexOf(' ') + 1)), stampFormat);
                if (at >= from && at <= to)
                    ++counts[event.left(event.indexOf(' '))];
            }
            QVERIFY2(from.isValid() && to.isValid() && counts.value("paint") > 0 && counts.value("timer") > 0, qPrintable(phases[p]));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Windows)
#include "tst_windows.moc"
