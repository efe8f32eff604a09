// A host that calls the entry again while a call is still running, as a till does from its own
// timer or window message handled inside our nested loops: the second call is refused at once,
// the running call ends with its own result, and the host's next call is served normally.
#include <QAbstractButton>
#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "support/appfolder.h"
#include "support/logwriter.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "ui/vipcouponwidget.h"

namespace {

enum class Phase { OpeningWait, ServerCall, CouponDialog, ClosingWait };

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
QJsonObject slowCancel()
{
    const QJsonArray lines{QJsonObject{{"certiInfoCode", "CP0001"}, {"consumeAmount", "10.00"}},
                           QJsonObject{{"certiInfoCode", "CP0002"}, {"consumeAmount", "8.00"}}};
    return {{"/posPortal/offlineCancelCerti",
             QJsonObject{{"delayMs", 800},
                         {"bodyJson", QJsonObject{{"code", "0"}, {"msg", "ok"}, {"meta", QJsonObject{{"data", lines}}}}}}}};
}

}

Q_DECLARE_METATYPE(Phase)

class tst_Reentrancy : public QObject
{
    Q_OBJECT
private slots:
    void secondCallIsRefusedWhileOneRuns_data();
    void secondCallIsRefusedWhileOneRuns();
};

void tst_Reentrancy::secondCallIsRefusedWhileOneRuns_data()
{
    QTest::addColumn<QString>("documents");
    QTest::addColumn<Phase>("phase");
    QTest::addColumn<QString>("resultCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QStringList>("requests");

    const QString cancel = QStringLiteral("/posPortal/offlineCancelCerti");
    QTest::newRow("opening wait") << "cancel" << Phase::OpeningWait << "000000" << "(untouched)" << "2000.00"
                                  << QStringList{cancel, cancel};
    QTest::newRow("server call") << "cancel" << Phase::ServerCall << "000000" << "(untouched)" << "2000.00"
                                 << QStringList{cancel, cancel};
    QTest::newRow("closing wait") << "cancel" << Phase::ClosingWait << "000000" << "(untouched)" << "2000.00"
                                  << QStringList{cancel, cancel};
    // The list and the re-query that filling the dialog makes; the cashier leaves the dialog
    // right after the host's second attempt.
    QTest::newRow("coupon dialog") << "sale" << Phase::CouponDialog << "111111" << "CLOSE" << "(untouched)"
        << QStringList{"/posPortal/offlineCertiList", "/posPortal/offlineCertiSelectList", cancel};
}

void tst_Reentrancy::secondCallIsRefusedWhileOneRuns()
{
    QFETCH(QString, documents);
    QFETCH(Phase, phase);
    QFETCH(QString, resultCode);
    QFETCH(QString, message);
    QFETCH(QString, amount);
    QFETCH(QStringList, requests);

    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(sim.startScenario(slowCancel(), {QStringLiteral("--wallet"), QStringLiteral(SAMPLES_DIR "/wallet.json")}),
             qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 5);

    LogWriter log;
    HostCall first(TestSupport::sampleDocuments(documents));
    HostCall second(TestSupport::sampleDocuments(QStringLiteral("cancel")));
    bool firstRunning = false;
    bool secondRanInsideFirst = false;
    int secondReturn = 0;
    // The host's timer: it polls until the first call sits in the wanted loop, then calls again.
    QTimer hostTimer;
    hostTimer.setInterval(10);
    connect(&hostTimer, &QTimer::timeout, [&] {
        if (!inPhase(phase, app.logText()))
            return;
        hostTimer.stop();
        secondRanInsideFirst = firstRunning;
        secondReturn = second.run(log);
        if (phase == Phase::CouponDialog)
            QTest::mouseClick(QApplication::activeModalWidget()->findChild<QAbstractButton *>(QStringLiteral("QbtnExit")),
                              Qt::LeftButton);
    });
    hostTimer.start();
    // A first call that never reaches the wanted loop must fail the test, not hang it.
    ModalDriver guard({}, 30000);
    firstRunning = true;
    const int firstReturn = first.run(log);
    firstRunning = false;

    QVERIFY2(!hostTimer.isActive(), "the first call never reached the loop in which the host calls again");
    QVERIFY(!guard.guardFired());
    QVERIFY(secondRanInsideFirst);
    QCOMPARE(secondReturn, 1);
    QCOMPARE(second.param(5), QStringLiteral("111111"));
    QCOMPARE(second.param(6), QStringLiteral("上一笔交易仍在处理中，请稍后再试"));
    for (int p = 7; p <= 12; ++p)
        QCOMPARE(second.param(p), QStringLiteral("(untouched)"));
    QCOMPARE(firstReturn, 1);
    QCOMPARE(first.param(5), resultCode);
    QCOMPARE(first.param(6), message);
    QCOMPARE(first.param(7), amount);
    // The refused call neither asked the server nor started a second controller.
    QCOMPARE(app.logText().count(QStringLiteral("拒绝重入")), 1);
    QCOMPARE(app.logText().count(QStringLiteral("内容：请稍等，调用动态库中")), 1);

    // Once the running call is over the guard is down again.
    HostCall next(TestSupport::sampleDocuments(QStringLiteral("cancel")));
    QCOMPARE(next.run(log), 1);
    QCOMPARE(next.param(5), QStringLiteral("000000"));
    QStringList paths;
    for (const QJsonObject &request : sim.requests())
        paths << request.value(QStringLiteral("path")).toString();
    QCOMPARE(paths, requests);
}

QTEST_MAIN(tst_Reentrancy)
#include "tst_reentrancy.moc"
