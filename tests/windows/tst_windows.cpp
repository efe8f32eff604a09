// The Windows build as a till runs it: the cross-built DLL and sample hosts under Wine (code page
// 936, real windows on an X display), the Linux simulator on loopback, and the Linux build run on
// the same inputs as the reference. Paths come from the environment (scripts/windows/test.sh).
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

class tst_Windows : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void exportTable_data();
    void exportTable();
    void tillRunsAsOnLinux_data();
    void tillRunsAsOnLinux();
    void hostLoopKeepsRunning_data();
    void hostLoopKeepsRunning();

private:
    QString m_dist, m_winBuild, m_linuxBuild, m_source;
};

namespace {

QString env(const char *name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(content);
}

QByteArray toGbk(const QByteArray &utf8)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(utf8));
}

QString fromGbk(const QByteArray &gbk)
{
    return QTextCodec::codecForName("GBK")->toUnicode(gbk);
}

// The names a PE file exports, read from its export directory.
QStringList peExports(const QByteArray &pe)
{
    auto u16 = [&](int at) { return int(quint8(pe[at]) | quint8(pe[at + 1]) << 8); };
    auto u32 = [&](int at) { return int(u16(at) | u16(at + 2) << 16); };
    const int coff = u32(0x3c) + 4;
    const int optional = coff + 20;
    const int sections = optional + u16(coff + 16);
    auto offset = [&](int rva) {
        for (int s = 0; s < u16(coff + 2); ++s) {
            const int h = sections + 40 * s;
            if (rva >= u32(h + 12) && rva < u32(h + 12) + u32(h + 16))
                return rva - u32(h + 12) + u32(h + 20);
        }
        return -1;
    };
    QStringList names;
    const int directory = offset(u32(optional + 96)); // PE32: the export entry of the data directories
    if (u16(optional) != 0x10b || directory < 0)
        return names;
    const int count = u32(directory + 24);
    const int table = offset(u32(directory + 32));
    for (int i = 0; i < count; ++i)
        names << QString::fromLatin1(pe.constData() + offset(u32(table + 4 * i)));
    return names;
}

struct Run
{
    int exitCode = -1;
    QByteArray out, err;
    QMap<int, QByteArray> params;
};

Run run(const QString &program, const QStringList &args, const QString &workDir,
        const QProcessEnvironment &environment, const QString &outDir = QString())
{
    QProcess process;
    process.setWorkingDirectory(workDir);
    process.setProcessEnvironment(environment);
    process.start(program, args);
    Run result;
    if (!process.waitForFinished(180000)) {
        process.kill();
        process.waitForFinished();
        result.err = "timed out";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    for (int p = 5; !outDir.isEmpty() && p <= 12; ++p) {
        const QString name = outDir + QStringLiteral("/p%1.txt").arg(p);
        if (QFile::exists(name))
            result.params.insert(p, readAll(name));
    }
    return result;
}

// The simulator on a free loopback port, recording every request.
class Sim
{
public:
    bool start(const QString &program, const QStringList &args, const QString &record)
    {
        m_process.start(program, args + QStringList{QStringLiteral("--port"), QStringLiteral("0"),
                                                     QStringLiteral("--record"), record});
        while (m_process.waitForReadyRead(10000)) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("PORT ")) {
                m_url = QStringLiteral("http://127.0.0.1:") + QString::fromLatin1(line.mid(5));
                return true;
            }
        }
        return false;
    }
    QString url() const { return m_url; }
    ~Sim()
    {
        m_process.terminate();
        m_process.waitForFinished();
    }

private:
    QProcess m_process;
    QString m_url;
};

// What must agree between the two builds: each request's path and signed fields (the port and
// the signature's time-dependent parts removed), parameters 5 to 12, and the log without stamps.
QStringList requestLines(const QString &record)
{
    QStringList lines;
    for (const QByteArray &line : readAll(record).split('\n')) {
        const QJsonObject request = QJsonDocument::fromJson(line).object();
        if (request.isEmpty())
            continue;
        QJsonObject copy = request;
        copy.remove(QStringLiteral("time"));
        copy.remove(QStringLiteral("headers"));
        lines << QString::fromUtf8(QJsonDocument(copy).toJson(QJsonDocument::Compact));
    }
    return lines;
}

QString normalizedLog(QString text, const QString &url)
{
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(url, QStringLiteral("SERVER"));
    text.remove(QRegularExpression(QStringLiteral("时间：[^\n]*\n")));
    return text;
}

// The INI files beside the till program and a SQLite POS database with GEN6 key definitions.
bool prepareTill(const QString &till, const QString &url, const QString &source)
{
    QFile ini(till + QStringLiteral("/TwCouponPay5.ini"));
    QFile config(till + QStringLiteral("/config.ini"));
    if (!ini.open(QIODevice::WriteOnly) || !config.open(QIODevice::WriteOnly))
        return false;
    ini.write("[Config]\nUrl=" + url.toLatin1() + "\nTimeOut=10\nSysType=GEN6\nDiscountCountMax=0\n");
    config.write("[Config]\nOrgCode=A01\nPosNo=001\n[DataBase]\nDbType=SQLITE\nDBName=pos.db\n");
    QProcess sqlite;
    sqlite.setStandardInputFile(source + QStringLiteral("/samples/demo/keys-gen6.sql"));
    sqlite.start(QStringLiteral("sqlite3"), {till + QStringLiteral("/pos.db")});
    return sqlite.waitForFinished() && sqlite.exitCode() == 0;
}

QString todaysLog(const QString &workDir)
{
    return workDir + QStringLiteral("/LOG/PayLog") + QDate::currentDate().toString(QStringLiteral("yyyyMMdd"))
        + QStringLiteral(".txt");
}

} // namespace

void tst_Windows::initTestCase()
{
    m_dist = env("TW_WIN_DIST");
    m_winBuild = env("TW_WIN_BUILD");
    m_linuxBuild = env("TW_LINUX_BUILD");
    m_source = env("TW_SOURCE_DIR");
    QVERIFY2(QFile::exists(m_dist + QStringLiteral("/TwCouponPay5.dll")), "TW_WIN_DIST names no dist/win32");
    QVERIFY2(QFile::exists(m_winBuild + QStringLiteral("/libcashier-robot.dll")), "TW_WIN_BUILD names no build");
    QVERIFY2(QFile::exists(m_linuxBuild + QStringLiteral("/scrm-sim")), "TW_LINUX_BUILD names no Linux build");
    QVERIFY2(!env("WINEPREFIX").isEmpty() && !env("DISPLAY").isEmpty(), "run through scripts/windows/test.sh");
}

void tst_Windows::exportTable_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exported");
    QTest::newRow("entry") << QStringLiteral("TwCardTrans") << true;
    QTest::newRow("twin entry") << QStringLiteral("QTwCardTrans") << true;
    QTest::newRow("no stdcall decoration") << QStringLiteral("_TwCardTrans@48") << false;
    QTest::newRow("QWinWidget constructor")
        << QStringLiteral("_ZN10QWinWidgetC1EP6HWND__P7QObject6QFlagsIN2Qt10WindowTypeEE") << true;
    QTest::newRow("QWinWidget::showCentered") << QStringLiteral("_ZN10QWinWidget12showCenteredEv") << true;
    QTest::newRow("QWinWidget::winEvent") << QStringLiteral("_ZN10QWinWidget8winEventEP6tagMSGPl") << true;
    QTest::newRow("QWinWidget meta-object") << QStringLiteral("_ZN10QWinWidget16staticMetaObjectE") << true;
    QTest::newRow("anything else") << QString() << false;
}

void tst_Windows::exportTable()
{
    QFETCH(QString, name);
    QFETCH(bool, exported);
    const QStringList names = peExports(readAll(m_dist + QStringLiteral("/TwCouponPay5.dll")));
    QVERIFY(names.size() > 2);
    if (!name.isEmpty()) {
        QCOMPARE(names.contains(name), exported);
        return;
    }
    // Beside the two entries, only QWinWidget's members, its vtable and its type information.
    for (const QString &n : names) {
        if (n != QLatin1String("TwCardTrans") && n != QLatin1String("QTwCardTrans"))
            QVERIFY2(QRegularExpression(QStringLiteral("^_Z(N|NK|TV|TI|TS|Th[n0-9_]*N)10QWinWidget")).match(n).hasMatch(),
                     qPrintable(n));
    }
}

void tst_Windows::tillRunsAsOnLinux_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QString>("wallet");
    QTest::addColumn<bool>("cashier");
    QTest::addColumn<QByteArray>("result");
    QTest::newRow("VOID") << QStringLiteral("void") << QStringLiteral("pay.xml")
                          << QStringLiteral("tests/data/e2e/wallet-consumed.json") << false << QByteArray("000000");
    QTest::newRow("CANCEL") << QStringLiteral("cancel") << QStringLiteral("pay.json")
                            << QStringLiteral("tests/data/e2e/wallet-consumed.json") << false << QByteArray("000000");
    // Tick by touch, tick by the GEN6 keyboard (key table in the SQLite POS database), pay.
    QTest::newRow("SALE worked by the cashier") << QStringLiteral("sale") << QStringLiteral("pay.json")
                                                << QStringLiteral("samples/wallet.json") << true << QByteArray("000000");
}

void tst_Windows::tillRunsAsOnLinux()
{
    QFETCH(QString, folder);
    QFETCH(QString, pay);
    QFETCH(QString, wallet);
    QFETCH(bool, cashier);
    QFETCH(QByteArray, result);

    const QString samples = m_source + QStringLiteral("/samples/") + folder + QLatin1Char('/');
    const QStringList documents{samples + QStringLiteral("header.xml"), samples + QStringLiteral("goods.xml"),
                                samples + pay, samples + QStringLiteral("udp2.json")};
    QStringList hostArgs{QStringLiteral("--gbk"), QStringLiteral("--out-dir"), QStringLiteral("out")};
    if (cashier)
        hostArgs << QStringLiteral("--cashier") << m_source + QStringLiteral("/samples/demo/cashier-sale.txt");
    hostArgs << documents;

    struct Side
    {
        QTemporaryDir till;
        QString url;
        Run run;
        QStringList requests;
        QString log;
    } onLinux, onWindows;

    for (Side *side : {&onLinux, &onWindows}) {
        const bool win = side == &onWindows;
        const QString till = side->till.path();
        QVERIFY(QDir().mkpath(till + QStringLiteral("/work/out")));
        Sim sim;
        QVERIFY(sim.start(m_linuxBuild + QStringLiteral("/scrm-sim"),
                          {QStringLiteral("--wallet"), m_source + QLatin1Char('/') + wallet},
                          till + QStringLiteral("/requests.jsonl")));
        side->url = sim.url();
        const QStringList programs = win
            ? QStringList{m_dist + QStringLiteral("/pos-host.exe")}
            : QStringList{m_linuxBuild + QStringLiteral("/pos-host"), m_linuxBuild + QStringLiteral("/libTwCouponPay5.so"),
                          m_linuxBuild + QStringLiteral("/libcashier-robot.so")};
        for (const QString &program : programs)
            QVERIFY(QFile::copy(program, till + QLatin1Char('/') + QFileInfo(program).fileName()));
        if (win) {
            // The DLLs and plug-in folders beside the till program, as an integrator copies them.
            const QFileInfoList entries = QDir(m_dist).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
            for (const QFileInfo &entry : entries) {
                if (entry.suffix() != QLatin1String("exe"))
                    QFile::link(entry.absoluteFilePath(), till + QLatin1Char('/') + entry.fileName());
            }
            for (const char *name : {"libcashier-robot.dll", "Qt5Test.dll"})
                QFile::link(m_winBuild + QLatin1Char('/') + QLatin1String(name), till + QLatin1Char('/') + QLatin1String(name));
        }
        QVERIFY(prepareTill(till, sim.url(), m_source));

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        if (win) {
            side->run = run(QStringLiteral("wine"), QStringList{till + QStringLiteral("/pos-host.exe")} + hostArgs,
                            till + QStringLiteral("/work"), environment, till + QStringLiteral("/work/out"));
        } else {
            environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
            environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
            side->run = run(till + QStringLiteral("/pos-host"), hostArgs, till + QStringLiteral("/work"), environment,
                            till + QStringLiteral("/work/out"));
        }
        side->requests = requestLines(till + QStringLiteral("/requests.jsonl"));
        const QByteArray log = readAll(todaysLog(till + QStringLiteral("/work")));
        side->log = normalizedLog(win ? fromGbk(log) : QString::fromUtf8(log), sim.url());
        if (win) {
            // The local code page with CR LF, as a Windows editor expects it.
            QVERIFY(log.contains("\r\n") && !log.contains(QByteArray("\n\n")));
            QVERIFY(log.contains(toGbk("方式：晟岚会员用券动态库")));
        }
    }

    QVERIFY2(onWindows.run.exitCode == onLinux.run.exitCode, onWindows.run.out + onWindows.run.err);
    QCOMPARE(onWindows.run.params.value(5), result);
    QCOMPARE(onWindows.run.params.keys(), onLinux.run.params.keys());
    for (auto it = onLinux.run.params.cbegin(); it != onLinux.run.params.cend(); ++it)
        QCOMPARE(onWindows.run.params.value(it.key()), toGbk(it.value()));
    QVERIFY(!onWindows.requests.isEmpty());
    QCOMPARE(onWindows.requests, onLinux.requests);
    QCOMPARE(onWindows.log.split(QLatin1Char('\n')), onLinux.log.split(QLatin1Char('\n')));
    if (cashier) {
        // Two coupons ticked, one of them through the POS key table in the SQLite database.
        const QJsonObject consume = QJsonDocument::fromJson(onWindows.requests.last().toUtf8()).object();
        QCOMPARE(consume.value(QStringLiteral("path")).toString(), QStringLiteral("/posPortal/batchConsumeCerti"));
        const QString coupons = consume.value(QStringLiteral("fields")).toObject().value(QStringLiteral("certiList")).toString();
        QCOMPARE(QJsonDocument::fromJson(coupons.toUtf8()).array().size(), 2);
    }
}

void tst_Windows::hostLoopKeepsRunning_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("header");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("waits and a server call")
        << QStringList{QStringLiteral("call")} << QStringLiteral("samples/void/header.xml")
        << QStringList{QStringLiteral("p5: 111111"), QStringLiteral("p6: 线下交易券撤销接口失败，券已撤销")};
    QTest::newRow("Qt timers and queued signals between calls")
        << QStringList{QStringLiteral("idle")} << QString()
        << QStringList{QStringLiteral("queued signals 5, queued signals run before the host's next message 5")};
    QTest::newRow("modal child disables the host, focus comes back")
        << QStringList{QStringLiteral("modal")} << QString()
        << QStringList{QStringLiteral("host enabled before 1 during 0 after 1"), QStringLiteral("host focus back 1")};
    QTest::newRow("load, unload, load again")
        << QStringList{QStringLiteral("reload")} << QStringLiteral("tests/data/e2e/header-type0.xml")
        << QStringList{QStringLiteral("first call: 111111 不支持支付管理"), QStringLiteral("still loaded after FreeLibrary: 1"),
                       QStringLiteral("second call: 111111 不支持支付管理"),
                       QStringLiteral("application after first load present, same object after second load 1, same module 1")};
}

void tst_Windows::hostLoopKeepsRunning()
{
    QFETCH(QStringList, args);
    QFETCH(QString, header);
    QFETCH(QStringList, expected);

    QTemporaryDir till;
    QVERIFY(QDir().mkpath(till.path() + QStringLiteral("/work")));
    const QFileInfoList entries = QDir(m_dist).entryInfoList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QFileInfo &entry : entries) {
        if (entry.suffix() == QLatin1String("exe"))
            QVERIFY(QFile::copy(entry.absoluteFilePath(), till.filePath(entry.fileName())));
        else
            QFile::link(entry.absoluteFilePath(), till.filePath(entry.fileName()));
    }
    Sim sim;
    QVERIFY(sim.start(m_linuxBuild + QStringLiteral("/scrm-sim"),
                      {QStringLiteral("--scenario"), m_source + QStringLiteral("/tests/windows/void-slow.json")},
                      till.filePath(QStringLiteral("requests.jsonl"))));
    QVERIFY(prepareTill(till.path(), sim.url(), m_source));
    if (!header.isEmpty()) {
        // The documents as the till passes them: GBK bytes.
        const QStringList names{header, QStringLiteral("samples/void/goods.xml"), QStringLiteral("samples/void/pay.xml"),
                                QStringLiteral("samples/void/udp2.json")};
        for (int i = 0; i < 4; ++i) {
            const QString name = QStringLiteral("work/doc%1.txt").arg(i + 1);
            writeFile(till.filePath(name), toGbk(readAll(m_source + QLatin1Char('/') + names[i])));
            args << till.filePath(name);
        }
    }
    if (args.first() == QLatin1String("call"))
        args << till.filePath(QStringLiteral("work/events.txt"));

    const Run result = run(QStringLiteral("wine"), QStringList{till.filePath(QStringLiteral("win-host.exe"))} + args,
                           till.filePath(QStringLiteral("work")), QProcessEnvironment::systemEnvironment());
    const QString out = fromGbk(result.out);
    QVERIFY2(result.exitCode == 0 || (args.first() == QLatin1String("call") && result.exitCode == 1),
             qPrintable(out + QString::fromLocal8Bit(result.err)));
    // A crash at exit shows up on Wine's error output even when the exit code survives.
    QVERIFY2(!result.err.contains("Unhandled exception"), result.err.constData());
    for (const QString &line : expected)
        QVERIFY2(out.contains(line), qPrintable(out));

    if (args.first() == QLatin1String("idle")) {
        const QRegularExpressionMatch ticks = QRegularExpression(QStringLiteral("qt timer ticks (\\d+)")).match(out);
        QVERIFY2(ticks.hasMatch() && ticks.captured(1).toInt() > 0, qPrintable(out));
    }
    if (args.first() == QLatin1String("call")) {
        // The host's own paint and timer messages inside each wait of the call, by the log's stamps.
        const QString log = fromGbk(readAll(todaysLog(till.filePath(QStringLiteral("work")))));
        auto stampOf = [&](const QString &place) {
            // The step is named in the entry's place or, for the entry's own progress lines, its content.
            const QRegularExpression entry(QStringLiteral("时间：(\\S+ \\S+)\r\n方式：[^\r]*\r\n(位置：%1\r\n|位置：[^\r]*\r\n内容：%1\r\n)")
                                               .arg(place));
            return QDateTime::fromString(entry.match(log).captured(1), QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz"));
        };
        QList<QPair<QDateTime, QString>> events;
        for (const QByteArray &line : readAll(till.filePath(QStringLiteral("work/events.txt"))).split('\n')) {
            if (!line.isEmpty())
                events << qMakePair(QDateTime::fromString(QString::fromLatin1(line.mid(line.indexOf(' ') + 1)),
                                                          QStringLiteral("yyyy-MM-dd hh:mm:ss:zzz")),
                                    QString::fromLatin1(line.left(line.indexOf(' '))));
        }
        const QStringList phases{QStringLiteral("PrepareToShow"), QStringLiteral("等待框已开启"), QStringLiteral("接口请求内容"),
                                 QStringLiteral("调用成功"), QStringLiteral("启动定时器"), QStringLiteral("WaitDlg.close")};
        for (int p = 0; p < phases.size(); p += 2) {
            const QDateTime from = stampOf(phases[p]), to = stampOf(phases[p + 1]);
            QVERIFY2(from.isValid() && to.isValid(), qPrintable(phases[p] + QLatin1Char(' ') + phases[p + 1]));
            int paints = 0, timers = 0;
            for (const auto &event : events) {
                if (event.first >= from && event.first <= to)
                    ++(event.second == QLatin1String("paint") ? paints : timers);
            }
            QVERIFY2(paints > 0 && timers > 0, qPrintable(QStringLiteral("%1: paint %2 timer %3").arg(phases[p]).arg(paints).arg(timers)));
        }
    }
}

QTEST_GUILESS_MAIN(tst_Windows)
#include "tst_windows.moc"
