// Whole calls in one process, made the way a host makes them: the entry, the controller, the real
// dialogs worked by the scripted cashier, the simulator over real HTTP; and a host that calls again
// while a call still runs, from its own timer or a window message handled in our nested loops.
#include <dlfcn.h>

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QJsonObject>
#include <QTableView>
#include <QTest>

#include "helpers/seed.h"
#include "helpers/simprocess.h"
#include "helpers/testsupport.h"
#include "helpers/tillfolder.h"
#include "support/logwriter.h"
#include "ui/questionmessage.h"
#include "ui/vipcouponwidget.h"

using TestSupport::sampleDocuments;

namespace {

const QString kRetry = "券查询接口调用失败，是否重试？\n若否则退出本次支付。";
const QString kList = "/posPortal/offlineCertiList";
const QString kRequery = "/posPortal/offlineCertiSelectList";
const QString kCancel = "/posPortal/offlineCancelCerti";

// True while the running call is in the nested loop named by loop: its first text logged, none of
// the others yet; no texts: the coupon dialog's loop once it lists coupons and nothing covers it.
bool inLoop(const QStringList &loop, const QString &log)
{
    if (loop.isEmpty()) {
        auto *dialog = qobject_cast<VipCouponWidget *>(QApplication::activeModalWidget());
        auto *table = dialog ? dialog->findChild<QTableView *>("tableView") : nullptr;
        return table && table->model() && table->model()->rowCount() > 0;
    }
    return log.contains(loop.first())
        && std::none_of(loop.begin() + 1, loop.end(), [&log](const QString &t) { return log.contains(t); });
}

// The simulator with the sample wallet (and a scenario of tests/data/sale), a GEN6 till with the
// demo's key tables that talks to it; "" or what went wrong.
QString startTill(SimProcess &sim, AppFolder &app, const QString &scenario)
{
    QStringList args {"--wallet", QStringLiteral(SAMPLES_DIR "/wallet.json")};
    if (!scenario.isEmpty())
        args << "--scenario" << TestSupport::fixturePath("sale/" + scenario);
    if (!sim.start(args))
        return sim.errorString();
    app.writeGen6(sim.baseUrl(), 5);
    QString error;
    return Seed::runSqliteScript(app.filePath("pos.db"), QStringLiteral(SAMPLES_DIR "/demo/keys-gen6.sql"), &error)
        ? QString()
        : error;
}

QStringList paths(const QList<QJsonObject> &requests)
{
    QStringList list;
    for (const QJsonObject &request : requests)
        list << request.value("path").toString() + (request.value("signatureValid").toBool() ? "" : " unsigned");
    return list;
}

}

class tst_Sale : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        void *robot = dlopen(CASHIER_ROBOT_PATH, RTLD_NOW | RTLD_LOCAL);
        m_robotStart = robot ? reinterpret_cast<int (*)(const char *)>(dlsym(robot, "cashier_robot_start")) : nullptr;
        QVERIFY2(m_robotStart, dlerror());
    }

    void cashierWorksTheSale_data()
    {
        // file: of tests/data/sale, the header (.xml) or a scenario besides the wallet; result: parameters 5, 6 (its
        // start) and 7; queries: how the query of each of the first requests ends
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("result");
        QTest::addColumn<QStringList>("paths");
        QTest::addColumn<QStringList>("queries");
        QTest::addColumn<QStringList>("questions");
        const QString untouched = "(untouched)";
        const QStringList closed {"111111", "CLOSE", untouched};
        QTest::newRow("escape leaves") << ""
                                       << "await coupons\nkey Escape\n"
                                       << closed << QStringList {kList, kRequery} << QStringList {} << QStringList {};
        QTest::newRow("consumption refused") << "consume-refused.json"
                                             << "await coupons\nkey Left\nawait dialog\ntap btnPay\n"
                                             << QStringList {"111111", "批量券核销接口返回失败券已被使用", untouched}
                                             << QStringList {kList, kRequery, kRequery, "/posPortal/batchConsumeCerti"}
                                             << QStringList {} << QStringList {};
        QTest::newRow("member looked up by id first")
            << "header-vip-id-only.xml"
            << "await coupons\ntap bntExit\n"
            << closed << QStringList {"/posPortal/vipInfo", kList, kRequery}
            << QStringList {"bizType=0&orgCode=A01&vipInfoId=V0001", "&orgCode=A01&vipCode=13800000001"}
            << QStringList {};
        // Two failing re-queries while the dialog fills, each answered "1" (retry); the third works.
        QTest::newRow("retry answered yes") << "requery-fails-once.json"
                                            << "wait 2500\nkey 1\nwait 2500\nkey 1\nawait coupons\nkey Escape\n"
                                            << closed << QStringList {kList, kRequery, kRequery, kRequery}
                                            << QStringList {} << QStringList {kRetry, kRetry};
        // The dialog never opens, and the query's own message reaches the host, not "CLOSE".
        QTest::newRow("retry answered no")
            << "requery-fails.json"
            << "wait 2500\nkey 0\n"
            << QStringList {"111111", "网络错误，请再次尝试或联系管理员处理。错误代码:401 ", untouched}
            << QStringList {kList, kRequery} << QStringList {} << QStringList {kRetry};
    }

    void cashierWorksTheSale()
    {
        QFETCH(QString, file);
        QFETCH(QString, script);
        QFETCH(QStringList, result);
        QFETCH(QStringList, paths);
        QFETCH(QStringList, queries);
        QFETCH(QStringList, questions);
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        AppFolder app;
        QCOMPARE(startTill(sim, app, file.endsWith(".json") ? file : QString()), QString());
        app.writeText("cashier.txt", script.toUtf8());
        QVERIFY(m_robotStart(QFile::encodeName(app.filePath("cashier.txt")).constData()));
        QStringList documents = sampleDocuments("sale");
        if (file.endsWith(".xml"))
            documents[0] = TestSupport::fixturePath("sale/" + file);
        HostCall call(documents);
        // Keeps the questions the robot answers; a script that no longer fits fails on the guard.
        QStringList asked;
        ModalDriver watcher(
            [&asked](QDialog &dialog) {
                if (qobject_cast<QuestionMessage *>(&dialog))
                    asked << TestSupport::labelText(dialog, "label_text");
            },
            30000);
        LogWriter log;
        QCOMPARE(call.run(log), 1);
        QVERIFY(!watcher.guardFired());
        QCOMPARE((QStringList {call.param(5), call.param(6).left(result.at(1).size()), call.param(7)}), result);
        QCOMPARE(asked, questions);
        const QList<QJsonObject> requests = sim.requests();
        QCOMPARE(::paths(requests), paths);
        for (int i = 0; i < queries.size(); ++i)
            QVERIFY2(requests.value(i).value("query").toString().endsWith(queries[i]), qPrintable(queries[i]));
    }

    void secondCallIsRefusedWhileOneRuns_data()
    {
        // loop: where the host calls again, as inLoop() reads it; result: the running call's return and parameters
        // 5 to 7
        QTest::addColumn<QString>("documents");
        QTest::addColumn<QStringList>("loop");
        QTest::addColumn<QStringList>("result");
        QTest::addColumn<QStringList>("requests");
        const QStringList cancelled {"1", "000000", "(untouched)", "2000.00"};
        // The opening wait stands for the closing one: both are the same timed loop.
        QTest::newRow("opening wait") << "cancel" << QStringList {"内容：PrepareToShow", "内容：等待框已开启"}
                                      << cancelled << QStringList {kCancel, kCancel};
        QTest::newRow("server call") << "cancel"
                                     << QStringList {"位置：接口请求内容", "位置：调用成功", "位置：调用失败"}
                                     << cancelled << QStringList {kCancel, kCancel};
        // Filling the dialog lists and re-queries; the cashier leaves right after the second attempt.
        QTest::newRow("coupon dialog") << "sale" << QStringList {}
                                       << QStringList {"1", "111111", "CLOSE", "(untouched)"}
                                       << QStringList {kList, kRequery, kCancel};
    }

    void secondCallIsRefusedWhileOneRuns()
    {
        QFETCH(QString, documents);
        QFETCH(QStringList, loop);
        QFETCH(QStringList, result);
        QFETCH(QStringList, requests);
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        AppFolder app;
        QCOMPARE(startTill(sim, app, "cancel-slow.json"), QString());
        LogWriter log;
        HostCall first(sampleDocuments(documents));
        HostCall second(sampleDocuments("cancel"));
        QStringList refused;
        // The host's timer: it polls until the first call sits in the wanted loop, then calls again.
        // Timers only fire inside the first call's loops, so a stopped timer proves where it ran.
        QTimer hostTimer;
        connect(&hostTimer, &QTimer::timeout, [&] {
            if (!inLoop(loop, app.logText()))
                return;
            hostTimer.stop();
            refused << QString::number(second.run(log));
            for (int p = 5; p <= 12; ++p)
                refused << second.param(p);
            if (loop.isEmpty())
                QTest::mouseClick(QApplication::activeModalWidget()->findChild<QAbstractButton *>("QbtnExit"),
                                  Qt::LeftButton);
        });
        hostTimer.start(10);
        ModalDriver guard({}, 30000); // a first call that never reaches the wanted loop fails, not hangs
        const QString firstReturn = QString::number(first.run(log));
        QVERIFY2(!hostTimer.isActive(), "the first call never reached the loop in which the host calls again");
        QVERIFY(!guard.guardFired());
        QCOMPARE(refused,
                 (QStringList {"1", "111111", "上一笔交易仍在处理中，请稍后再试", "(untouched)", "(untouched)",
                               "(untouched)", "(untouched)", "(untouched)", "(untouched)"}));
        QCOMPARE((QStringList {firstReturn, first.param(5), first.param(6), first.param(7)}), result);
        // The refused call neither asked the server nor started a second controller.
        QCOMPARE(app.logText().count("拒绝重入"), 1);
        QCOMPARE(app.logText().count("内容：请稍等，调用动态库中"), 1);

        // Once the running call is over the guard is down again.
        HostCall next(sampleDocuments("cancel"));
        next.run(log);
        QCOMPARE(next.param(5), "000000");
        QCOMPARE(paths(sim.requests()), requests);
    }

private:
    int (*m_robotStart)(const char *) = nullptr;
};

QTEST_MAIN(tst_Sale)
#include "tst_sale.moc"
