// A host that calls the entry again while a call is still running, as a till does from its own
// timer or window message handled inside our nested loops: the second call is refused at once
// and the running call ends with its own result.
#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QJsonObject>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>
#include <QTimer>

#include "entry/cardtrans.h"
#include "support/appfolder.h"
#include "support/logwriter.h"
#include "support/simprocess.h"
#include "ui/vipcouponwidget.h"

class tst_Reentrancy : public QObject
{
    Q_OBJECT
private slots:
    void secondCallIsRefusedWhileOneRuns_data();
    void secondCallIsRefusedWhileOneRuns();
    void nextCallRunsNormallyAfterARefusal();
};

namespace {

const QString kSamples = QStringLiteral(SAMPLES_DIR);
const char kUntouched[] = "\x01untouched\x01";
const QString kBusy = QStringLiteral("上一笔交易仍在处理中，请稍后再试");

enum class Phase { OpeningWait, ServerCall, CouponDialog, ClosingWait };

// The host's side of one call: GBK documents in, buffers it owns out.
class HostCall
{
public:
    explicit HostCall(const QString &folder)
    {
        const char *names[4] = {"/header.xml", "/goods.xml", "/pay.json", "/udp2.json"};
        for (int i = 0; i < 4; ++i) {
            QFile file(folder + QLatin1String(names[i]));
            if (file.open(QIODevice::ReadOnly))
                m_in[i] = QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(file.readAll()));
        }
        for (QByteArray &buffer : m_out) {
            buffer = QByteArray(1 << 16, '\0');
            memcpy(buffer.data(), kUntouched, sizeof(kUntouched));
        }
    }

    int run(LogWriter &log)
    {
        Entry::HostParameters params{{m_in[0].data(), m_in[1].data(), m_in[2].data(), m_in[3].data(),
                                      m_out[0].data(), m_out[1].data(), m_out[2].data(), m_out[3].data(),
                                      m_out[4].data(), m_out[5].data(), m_out[6].data(), m_out[7].data()}};
        return Entry::cardTrans(log, params);
    }

    // Parameter 5 to 12 as written, or "(untouched)".
    QString param(int number) const
    {
        const QByteArray text(m_out[number - 5].constData());
        return text == QByteArray(kUntouched) ? QStringLiteral("(untouched)") : QString::fromUtf8(text);
    }

private:
    QByteArray m_in[4];
    QByteArray m_out[8];
};

// True while the first call is inside the nested loop of phase, judged from what it has
// logged so far (a timer can only fire inside one of its loops).
bool inPhase(Phase phase, const QString &log)
{
    switch (phase) {
    case Phase::OpeningWait:
        return log.contains(QStringLiteral("内容：PrepareToShow")) && !log.contains(QStringLiteral("内容：等待框已开启"));
    case Phase::ServerCall:
        return log.contains(QStringLiteral("位置：接口请求内容")) && !log.contains(QStringLiteral("位置：调用成功"))
            && !log.contains(QStringLiteral("位置：调用失败"));
    case Phase::CouponDialog: {
        // The dialog is on the modal stack from its construction: wait until it lists coupons
        // and nothing covers it, i.e. its own modal loop runs.
        auto *dialog = qobject_cast<VipCouponWidget *>(QApplication::activeModalWidget());
        auto *table = dialog ? dialog->findChild<QTableView *>(QStringLiteral("tableView")) : nullptr;
        return table && table->model() && table->model()->rowCount() > 0;
    }
    case Phase::ClosingWait:
        return log.contains(QStringLiteral("内容：启动定时器")) && !log.contains(QStringLiteral("内容：WaitDlg.close\n"));
    }
    return false;
}

// A cancellation answered after a pause, so that the call waits for the server long enough.
QString writeSlowCancelScenario(const QTemporaryDir &dir)
{
    const QString path = dir.filePath(QStringLiteral("slow-cancel.json"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(R"({ "/posPortal/offlineCancelCerti": { "delayMs": 800, "bodyJson": { "code": "0", "msg": "ok",
                       "meta": { "data": [ { "certiInfoCode": "CP0001", "consumeAmount": "10.00" },
                                           { "certiInfoCode": "CP0002", "consumeAmount": "8.00" } ] } } } })");
    return path;
}

}

Q_DECLARE_METATYPE(Phase)

void tst_Reentrancy::secondCallIsRefusedWhileOneRuns_data()
{
    QTest::addColumn<QString>("documents");
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<QString>("resultCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("paymentDocument");
    QTest::addColumn<QStringList>("requests");

    const QString cancelled = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>CP0001;CP0002</TradeNo>"
                                             "<BuyerNo>S20261206001</BuyerNo><Total/></zfR></Zf></Op>");
    const QString untouched = QStringLiteral("(untouched)");
    const QStringList cancellation{QStringLiteral("/posPortal/offlineCancelCerti")};
    // The list, then the re-query that filling the dialog makes.
    const QStringList couponLists{QStringLiteral("/posPortal/offlineCertiList"),
                                  QStringLiteral("/posPortal/offlineCertiSelectList")};
    QTest::newRow("opening wait") << QStringLiteral("cancel") << Phase::OpeningWait
        << QStringLiteral("000000") << untouched << QStringLiteral("2000.00") << cancelled << cancellation;
    QTest::newRow("server call") << QStringLiteral("cancel") << Phase::ServerCall
        << QStringLiteral("000000") << untouched << QStringLiteral("2000.00") << cancelled << cancellation;
    QTest::newRow("closing wait") << QStringLiteral("cancel") << Phase::ClosingWait
        << QStringLiteral("000000") << untouched << QStringLiteral("2000.00") << cancelled << cancellation;
    // The cashier leaves the dialog right after the host's second attempt.
    QTest::newRow("coupon dialog") << QStringLiteral("sale") << Phase::CouponDialog
        << QStringLiteral("111111") << QStringLiteral("CLOSE") << untouched << untouched << couponLists;
}

void tst_Reentrancy::secondCallIsRefusedWhileOneRuns()
{
    QFETCH(QString, documents);
    QFETCH(Phase, phase);
    QFETCH(QString, resultCode);
    QFETCH(QString, message);
    QFETCH(QString, amount);
    QFETCH(QString, paymentDocument);
    QFETCH(QStringList, requests);

    QTemporaryDir scenarios;
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--wallet"), kSamples + QStringLiteral("/wallet.json"),
                        QStringLiteral("--scenario"), writeSlowCancelScenario(scenarios)}),
             qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 5);

    LogWriter log;
    HostCall first(kSamples + QLatin1Char('/') + documents);
    HostCall second(kSamples + QStringLiteral("/cancel"));
    bool firstRunning = false;
    bool secondRan = false;
    bool secondRanInsideFirst = false;
    int secondReturn = 0;

    // The host's timer: it polls until the first call sits in the wanted loop, then calls again.
    QTimer hostTimer;
    hostTimer.setInterval(10);
    connect(&hostTimer, &QTimer::timeout, [&] {
        if (secondRan || !inPhase(phase, app.logText()))
            return;
        secondRan = true;
        secondRanInsideFirst = firstRunning;
        secondReturn = second.run(log);
        if (phase == Phase::CouponDialog) {
            if (auto *exit = QApplication::activeModalWidget()->findChild<QAbstractButton *>(QStringLiteral("QbtnExit")))
                QTest::mouseClick(exit, Qt::LeftButton);
        }
    });
    // A first call that never reaches the wanted loop must fail the test, not hang it.
    QTimer guard;
    connect(&guard, &QTimer::timeout, [] {
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *dialog = qobject_cast<QDialog *>(window); dialog && dialog->isVisible())
                dialog->reject();
        }
    });
    hostTimer.start();
    guard.start(30000);

    firstRunning = true;
    const int firstReturn = first.run(log);
    firstRunning = false;
    hostTimer.stop();
    guard.stop();

    QVERIFY2(secondRan, "the first call never reached the loop in which the host calls again");
    QVERIFY(secondRanInsideFirst);
    QCOMPARE(secondReturn, 1);
    QCOMPARE(second.param(5), QStringLiteral("111111"));
    QCOMPARE(second.param(6), kBusy);
    for (int p = 7; p <= 12; ++p)
        QCOMPARE(second.param(p), QStringLiteral("(untouched)"));

    QCOMPARE(firstReturn, 1);
    QCOMPARE(first.param(5), resultCode);
    QCOMPARE(first.param(6), message);
    QCOMPARE(first.param(7), amount);
    QCOMPARE(first.param(12), paymentDocument);

    // The refused call neither asked the server nor started a second controller.
    const QString logText = app.logText();
    QCOMPARE(logText.count(QStringLiteral("拒绝重入")), 1);
    QCOMPARE(logText.count(QStringLiteral("内容：请稍等，调用动态库中")), 1);
    // Only the first call's own requests reached the server.
    QStringList paths;
    for (const QJsonObject &request : sim.requests())
        paths << request.value(QStringLiteral("path")).toString();
    QCOMPARE(paths, requests);
}

void tst_Reentrancy::nextCallRunsNormallyAfterARefusal()
{
    QTemporaryDir scenarios;
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--wallet"), kSamples + QStringLiteral("/wallet.json"),
                        QStringLiteral("--scenario"), writeSlowCancelScenario(scenarios)}),
             qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 5);
    LogWriter log;

    HostCall first(kSamples + QStringLiteral("/cancel"));
    HostCall refused(kSamples + QStringLiteral("/cancel"));
    QTimer::singleShot(100, [&] { refused.run(log); });
    first.run(log);
    QCOMPARE(refused.param(6), kBusy);

    // Once the running call is over the guard is down again: the host's next call is served.
    HostCall next(kSamples + QStringLiteral("/cancel"));
    QCOMPARE(next.run(log), 1);
    QCOMPARE(next.param(5), QStringLiteral("000000"));
    QCOMPARE(next.param(7), QStringLiteral("2000.00"));
    QCOMPARE(sim.requests().size(), 2);
}

QTEST_MAIN(tst_Reentrancy)
#include "tst_reentrancy.moc"
