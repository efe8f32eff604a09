// The Windows build run by a till under Wine, the Linux build as reference.
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
QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
QTextCodec *gbk()
{
    return QTextCodec::codecForName("GBK");
}
QByteArray tool(const char *name, const QStringList &args)
{
    QProcess process;
    process.start(QString("i686-w64-mingw32-") + name, args);
    process.waitForFinished();
    return process.readAllStandardOutput();
}

struct Run
{
    int exitCode = -1; // also when it crashed or hung
    QByteArray out, err;
};

Run run(const QString &program, const QStringList &args, const QString &till)
{
    QProcess process;
    process.setWorkingDirectory(till + "/work");
    const bool wine = program.endsWith(".exe");
    if (!wine)
        process.setEnvironment(QProcess::systemEnvironment() << "QT_QPA_PLATFORM=offscreen"
                                                             << "LC_ALL=C.UTF-8");
    process.start(wine ? "wine" : program, wine ? QStringList {program} + args : args);
    if (!process.waitForFinished(180000))
        process.kill();
    process.waitForFinished();
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QByteArray todaysLog(const QString &till)
{
    return readAll(till + QDate::currentDate().toString("'/work/LOG/PayLog'yyyyMMdd'.txt'"));
}
}

class tst_Windows : public QObject
{
    Q_OBJECT
    QString m_dist = qEnvironmentVariable("TW_WIN_DIST"), m_winBuild = qEnvironmentVariable("TW_WIN_BUILD");
    QString m_linuxBuild = qEnvironmentVariable("TW_LINUX_BUILD"), m_source = qEnvironmentVariable("TW_SOURCE_DIR");

    bool layOutTill(const QString &till, const QString &url, bool windows, const QString &libDir = QString(),
                    const QString &leftOut = QString()) const
    {
        QStringList copies, links;
        if (windows) {
            for (const QFileInfo &entry : QDir(m_dist).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)) {
                if ((entry.suffix() == "dll" || entry.isDir())
                    && !QStringList {"samples", "sdk", leftOut}.contains(entry.fileName()))
                    links << entry.absoluteFilePath();
            }
            for (const QFileInfo &entry : QDir(m_dist + "/samples").entryInfoList({"*.exe", "*.dll"}, QDir::Files))
                (entry.suffix() == "exe" ? copies : links) << entry.absoluteFilePath();
            links << m_winBuild + "/libcashier-robot.dll" << m_winBuild + "/Qt5Test.dll";
        } else {
            for (const char *name : {"/pos-host", "/libTwCouponPay5.so", "/libcashier-robot.so"})
                copies << m_linuxBuild + QLatin1String(name);
        }
        bool ok = QDir().mkpath(till + "/work/out") && QDir().mkpath(till + '/' + libDir);
        for (const QString &file : copies)
            ok = ok && QFile::copy(file, till + '/' + QFileInfo(file).fileName());
        for (const QString &file : links)
            ok = ok && QFile::link(file, till + '/' + libDir + '/' + QFileInfo(file).fileName());
        Seed::gen6Till(till, url, 10);
        return ok && Seed::runSqliteScript(till + "/pos.db", m_source + "/samples/demo/keys-gen6.sql");
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(m_dist + "/TwCouponPay5.dll") && qEnvironmentVariableIsSet("WINEPREFIX"),
                 "run through scripts/windows/test.sh");
    }

    // Exports: the three entries undecorated, else only QWinWidget's members, vtable and type info.
    void shippedAsDocumented()
    {
        const QString dll = m_dist + "/TwCouponPay5.dll";
        const QString table =
            QString(tool("objdump", {"-p", dll})).section("[Ordinal/Name Pointer] Table", 1).section("\n\n", 0, 0);
        QStringList names;
        for (auto it = QRegularExpression("\\[\\s*\\d+\\] (\\S+)").globalMatch(table); it.hasNext();)
            names << it.next().captured(1);
        const QStringList entries {"TwCardTrans", "QTwCardTrans", "TwCardTransStd"};
        for (const QString &name : entries + QStringList {"_ZN10QWinWidget12showCenteredEv"})
            QVERIFY2(names.contains(name), qPrintable(name));
        const QRegularExpression widgetMember("^_Z(N|NK|TV|TI|TS|Th[n0-9_]*N)10QWinWidget");
        for (const QString &name : names)
            QVERIFY2(entries.contains(name) || widgetMember.match(name).hasMatch(), qPrintable(name));

        const QByteArray revision = readAll(m_winBuild + "/tw-version.txt").simplified().split(' ').value(1);
        const QByteArray version = tool("windres", {"-i", dll, "-O", "rc"});
        QVERIFY2(version.contains("\"FileVersion\", \"5.0.0.0\"")
                     && version.contains("\"SourceRevision\", \"" + revision + '"'),
                 version);
        QVERIFY(tool("objdump", {"-s", "-j", ".gnu_debuglink", dll}).contains("TwCouponPay5.dll")
                && tool("objdump", {"-h", m_dist + "/../TwCouponPay5.dll.debug"}).contains(".debug_info"));
        QVERIFY(QDir(m_dist).entryList({"*.ini"}, QDir::Files).isEmpty()
                && !QDir(m_dist + "/samples").entryList({"*.sample.ini"}).isEmpty());
    }

    void tillRunsAsOnLinux_data()
    {
        for (const char *column : {"folder", "pay", "wallet"})
            QTest::addColumn<QString>(column);
        // clang-format off
        QTest::newRow("VOID") << "void" << "pay.xml" << "tests/data/e2e/wallet-consumed.json";
        QTest::newRow("CANCEL") << "cancel" << "pay.json" << "tests/data/e2e/wallet-consumed.json";
        // Ticked by touch and by the GEN6 keyboard (keys in SQLite), then paid.
        QTest::newRow("SALE worked by the cashier") << "sale" << "pay.json" << "samples/wallet.json";
        // clang-format on
    }

    void tillRunsAsOnLinux()
    {
        QFETCH(QString, folder);
        QFETCH(QString, pay);
        QFETCH(QString, wallet);
        QStringList args {"--gbk", "--out-dir", "out"};
        if (folder == "sale")
            args << "--cashier" << m_source + "/samples/demo/cashier-sale.txt";
        for (const QString &document : QStringList {"header.xml", "goods.xml", pay, "udp2.json"})
            args << m_source + "/samples/" + folder + '/' + document;

        QList<QByteArray> params[2];
        QStringList requests[2], log[2];
        for (int windows = 0; windows < 2; ++windows) {
            QTemporaryDir till;
            SimProcess sim(m_linuxBuild + "/scrm-sim");
            QVERIFY2(sim.start({"--wallet", m_source + '/' + wallet}), qPrintable(sim.errorString()));
            QVERIFY(layOutTill(till.path(), sim.baseUrl(), windows));
            const Run result = run(till.filePath(windows ? "pos-host.exe" : "pos-host"), args, till.path());
            QVERIFY2(result.exitCode == 0, result.out + result.err);
            for (int p = 5; p <= 12; ++p) {
                const QByteArray value = readAll(till.filePath(QStringLiteral("work/out/p%1.txt").arg(p)));
                params[windows] << (windows ? value : gbk()->fromUnicode(QString::fromUtf8(value)));
            }
            for (QJsonObject request : sim.requests()) {
                request.remove("time");
                request.remove("headers");
                requests[windows] << QString::fromUtf8(QJsonDocument(request).toJson(QJsonDocument::Compact));
            }
            const QByteArray bytes = todaysLog(till.path());
            // CR LF on Windows, as editors there expect.
            QVERIFY(!windows || (bytes.contains("\r\n") && !bytes.contains("\n\n")));
            QString text = windows ? gbk()->toUnicode(bytes).replace("\r\n", "\n") : QString::fromUtf8(bytes);
            // Reversal ids and times differ per run.
            log[windows] = text.replace(QRegularExpression("记录[-0-9a-f]{36} 核销时间[-0-9T:]+"), "记录")
                               .replace(sim.baseUrl(), "SERVER")
                               .remove(QRegularExpression("时间：[^\n]*\n"))
                               .split('\n');
        }
        QCOMPARE(params[1].first(), QByteArray("000000"));
        QCOMPARE(params[1], params[0]);
        QCOMPARE(requests[1], requests[0]);
        QCOMPARE(log[1], log[0]);
    }

    void tillProgram_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("libDir");
        QTest::addColumn<QString>("leftOut"); // of dist/win32's top
        QTest::addColumn<int>("calls"); // of TwCardTransStd
        QTest::addColumn<QStringList>("expected"); // patterns of win-host's output
        // Qt would end the host inside LoadLibrary.
        const QString noPlatform = "动态库无法显示界面（缺少Qt平台插件文件Z:\\S+\\\\platforms\\\\qwindows\\.dll）";
        // 265 bytes in code page 936: the pin cannot go through GetModuleFileNameA's 256.
        const QString ownFolder = QString(55, QChar(0x5E93)) + '/' + QString(55, QChar(0x5E93));
        // clang-format off
        QTest::newRow("waits and a server call") << "call" << "" << "" << 0 << QStringList{"p5: 111111", "p6: 线下交易券撤销接口失败，券已撤销"};
        // Only the library's hook runs them before the host's next message.
        QTest::newRow("Qt events between calls") << "idle" << "" << "" << 0 << QStringList{
            "qt timer ticks [1-9]\\d*, queued signals 5, queued signals run before the host's next message 5"};
        QTest::newRow("modal child, focus back") << "modal" << "" << "" << 0 << QStringList{
            "host enabled before 1 during 0 after 1", "host focus back 1"};
        QTest::newRow("platform plug-in missing") << "entries" << "" << "platforms" << 200 << QStringList{
            "application: none", "p5: 111111", "p6: " + noPlatform, "other thread: 111111 " + noPlatform,
            "stdcall calls 200, stack intact 200, same outputs as cdecl 200"};
        // Qt would make an unaware till DPI-aware (under Wine all start at 2).
        QTest::newRow("kept in a folder of its own") << "entries" << ownFolder << "" << 3 << QStringList{
            "dpi awareness before (\\d) after \\1", "application: present", "p6: 不支持支付管理",
            "other thread: 111111 动态库只能在加载它的界面线程中调用", "still loaded after FreeLibrary: 1",
            "after loading again: same module 1, same application 1", "stdcall calls 3, stack intact 3, same outputs as cdecl 3",
            "call with a throwing handler: 111111 动态库内部错误"};
        // clang-format on
    }

    void tillProgram()
    {
        QFETCH(QString, mode);
        QFETCH(QString, libDir);
        QFETCH(QString, leftOut);
        QFETCH(int, calls);
        QFETCH(QStringList, expected);
        QTemporaryDir till;
        SimProcess sim(m_linuxBuild + "/scrm-sim");
        QVERIFY(sim.start({"--scenario", m_source + "/tests/windows/void-slow.json"}));
        QVERIFY(layOutTill(till.path(), sim.baseUrl(), true, libDir, leftOut));
        QStringList args;
        if (!libDir.isEmpty()) {
            for (const char *file : {"--lib", "/TwCouponPay5.dll", "--embed", "/win-host-embed.dll"})
                args << (*file == '-' ? file : "Z:" + till.filePath(libDir + file).replace('/', '\\'));
        }
        args << mode;
        if (mode == "call" || mode == "entries") { // the sample VOID's documents in GBK, as the till passes them
            const QStringList names {mode == "call" ? "samples/void/header.xml" : "tests/data/e2e/header-type0.xml",
                                     "samples/void/goods.xml", "samples/void/pay.xml", "samples/void/udp2.json"};
            for (const QString &name : names) {
                QFile document(till.filePath("work/" + QFileInfo(name).fileName()));
                QVERIFY(document.open(QIODevice::WriteOnly));
                document.write(gbk()->fromUnicode(QString::fromUtf8(readAll(m_source + '/' + name))));
                args << document.fileName();
            }
        }
        if (mode == "call")
            args << till.filePath("work/events.txt");
        if (calls > 0)
            args << QString::number(calls);

        const Run result = run(till.filePath("win-host.exe"), args, till.path());
        const QString out = gbk()->toUnicode(result.out);
        // A crash at exit may keep the exit code.
        QVERIFY2(result.exitCode == (mode == "call") && !result.err.contains("Unhandled exception"),
                 qPrintable(out + QString::fromLocal8Bit(result.err)));
        for (const QString &line : expected)
            QVERIFY2(out.contains(QRegularExpression(line)), qPrintable(line + '\n' + out));
        const QString log = gbk()->toUnicode(todaysLog(till.path()));
        const QString message = QRegularExpression("p6: ([^\r\n]+)").match(out).captured(1);
        QVERIFY2(message.isEmpty() || log.contains("内容：" + message), qPrintable(message));
        if (mode != "call")
            return;

        // Host paint and timer messages in each wait and the server call; stamps sort as text. A step is an entry's
        // place or content.
        auto stampOf = [&](const QString &step) {
            return QRegularExpression(
                       QString("时间：(\\S+ \\S+)\r\n方式：[^\r]*\r\n(位置：%1|位置：[^\r]*\r\n内容：%1)\r\n")
                           .arg(step))
                .match(log)
                .captured(1);
        };
        const QStringList events = QString(readAll(till.filePath("work/events.txt"))).split('\n');
        const QStringList phases {"PrepareToShow", "等待框已开启", "接口请求内容",
                                  "调用成功",      "启动定时器",   "WaitDlg.close"};
        for (int p = 0; p < phases.size(); p += 2) {
            const QString from = stampOf(phases[p]), to = stampOf(phases[p + 1]);
            QSet<QString> seen;
            for (const QString &event : events) {
                const QString at = event.mid(event.indexOf(' ') + 1);
                if (at >= from && at <= to)
                    seen << event.left(event.indexOf(' '));
            }
            QVERIFY2(!from.isEmpty() && !to.isEmpty() && seen.contains("paint") && seen.contains("timer"),
                     qPrintable(phases[p]));
        }
    }
};

QTEST_GUILESS_MAIN(tst_Windows)
#include "tst_windows.moc"
