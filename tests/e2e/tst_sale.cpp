// Whole calls in one process as a host makes them: real dialogs worked by the scripted cashier, the simulator over
// HTTP.
#include <dlfcn.h>

#include <QAbstractButton>
#include <QApplication>
#include <QJsonObject>
#include <QTableView>
#include <QTest>

#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"
#include "support/logwriter.h"
#include "ui/vipcouponwidget.h"

using namespace TestSupport;

namespace {
const QString kList = "/posPortal/offlineCertiList", kRequery = "/posPortal/offlineCertiSelectList",
              kCancel = "/posPortal/offlineCancelCerti", u = "(untouched)";

QStringList outputs(const HostCall &call, int returned, int last)
{
    QStringList list {QString::number(returned)};
    for (int p = 5; p <= last; ++p)
        list << call.param(p);
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

    void callRuns_data()
    {
        QTest::addColumn<QString>("header"); // of tests/data/sale, else the sample's
        QTest::addColumn<QString>("scenario");
        // No script: a sample cancellation (a sale when loop is empty), which the host's timer calls again once the
        // log has loop's first text and not its second, or once the coupon dialog lists coupons.
        QTest::addColumn<QString>("script");
        QTest::addColumn<QStringList>("loop");
        QTest::addColumn<QStringList>("result"); // return, parameters 5, 6 (its start) and 7
        QTest::addColumn<QStringList>("paths");
        const QString slow = "cancel-slow.json";
        const QStringList closed {"1", "111111", "CLOSE", u}, cancelled {"1", "000000", u, "2000.00"};
        QTest::newRow("member looked up by id first")
            << "header-vip-id-only.xml" << slow << "await coupons\ntap bntExit\n"
            << QStringList {} << closed << QStringList {"/posPortal/vipInfo", kList, kRequery};
        QTest::newRow("retry answered yes")
            << QString() << "requery-fails-once.json"
            << "wait 2500\nkey 1\nwait 2500\nkey 1\nawait coupons\nkey Escape\n"
            << QStringList {} << closed << QStringList {kList, kRequery, kRequery, kRequery};
        QTest::newRow("retry answered no")
            << QString() << "requery-fails.json"
            << "wait 2500\nkey 0\n"
            << QStringList {} << QStringList {"1", "111111", "网络错误，请再次尝试或联系管理员处理。错误代码:401 ", u}
            << QStringList {kList, kRequery};
        // The opening wait stands for the closing one: the same timed loop.
        QTest::newRow("reentered: opening wait")
            << QString() << slow << QString() << QStringList {"内容：PrepareToShow", "内容：等待框已开启"} << cancelled
            << QStringList {kCancel, kCancel};
        QTest::newRow("reentered: server call")
            << QString() << slow << QString() << QStringList {"位置：接口请求内容", "位置：调用成功"} << cancelled
            << QStringList {kCancel, kCancel};
        QTest::newRow("reentered: coupon dialog")
            << QString() << slow << QString() << QStringList {} << closed << QStringList {kList, kRequery, kCancel};
    }

    void callRuns()
    {
        QFETCH(QString, header);
        QFETCH(QString, scenario);
        QFETCH(QString, script);
        QFETCH(QStringList, loop);
        QFETCH(QStringList, result);
        SimProcess sim(SCRM_SIM_PATH);
        QVERIFY2(sim.start({"--wallet", SAMPLES_DIR "/wallet.json", "--scenario", fixturePath("sale/" + scenario)}),
                 qPrintable(sim.errorString()));
        AppFolder app;
        app.writeGen6(sim.baseUrl(), 5);
        QString error;
        QVERIFY2(Seed::runSqliteScript(app.filePath("pos.db"), SAMPLES_DIR "/demo/keys-gen6.sql", &error),
                 qPrintable(error));
        app.writeText("cashier.txt", script.toUtf8());
        QVERIFY(m_robotStart(QFile::encodeName(app.filePath("cashier.txt")).constData()));
        QStringList documents = sampleDocuments(script.isEmpty() && !loop.isEmpty() ? "cancel" : "sale");
        if (!header.isEmpty())
            documents[0] = fixturePath("sale/" + header);
        LogWriter log;
        HostCall first(documents), second(sampleDocuments("cancel"));
        QStringList refused;
        // Timers fire only inside the first call's loops, so a stopped timer proves where the second call ran.
        QTimer hostTimer;
        connect(&hostTimer, &QTimer::timeout, [&] {
            const QString text = app.logText();
            auto *dialog = qobject_cast<VipCouponWidget *>(QApplication::activeModalWidget());
            auto *table = dialog ? dialog->findChild<QTableView *>("tableView") : nullptr;
            if (loop.isEmpty() ? !(table && table->model() && table->model()->rowCount() > 0)
                               : !text.contains(loop[0]) || text.contains(loop[1]))
                return;
            hostTimer.stop();
            refused = outputs(second, second.run(log), 12);
            if (dialog)
                QTest::mouseClick(dialog->findChild<QAbstractButton *>("QbtnExit"), Qt::LeftButton);
        });
        if (script.isEmpty())
            hostTimer.start(10);
        ModalDriver guard({}, 30000);
        QStringList out = outputs(first, first.run(log), 7);
        out[2].truncate(result[2].size());
        QCOMPARE(out, result);
        QVERIFY(!hostTimer.isActive() && !guard.guardFired());
        if (script.isEmpty()) {
            QCOMPARE(refused, (QStringList {"1", "111111", "上一笔交易仍在处理中，请稍后再试", u, u, u, u, u, u}));
            // The refused call neither asked the server nor started a second controller.
            QCOMPARE((QList<int> {app.logText().count("拒绝重入"), app.logText().count("内容：请稍等，调用动态库中")}),
                     (QList<int> {1, 1}));
            second.run(log);
            QCOMPARE(second.param(5), "000000"); // the guard is down again
        }
        QStringList paths;
        for (const QJsonObject &r : sim.requests())
            paths << r.value("path").toString(); // a badly signed one is refused
        QTEST(paths, "paths");
    }

private:
    int (*m_robotStart)(const char *) = nullptr;
};

QTEST_MAIN(tst_Sale)
#include "tst_sale.moc"
