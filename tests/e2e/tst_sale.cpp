// Whole sales in one process: the entry, the controller, the real dialogs worked by the scripted
// cashier, and the simulator over real HTTP.
#include <dlfcn.h>

#include <QDialog>
#include <QJsonObject>
#include <QLabel>
#include <QTemporaryDir>
#include <QTest>

#include "support/appfolder.h"
#include "support/logwriter.h"
#include "support/seed.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "ui/questionmessage.h"

class tst_Sale : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cashierWorksTheSale_data();
    void cashierWorksTheSale();

private:
    int (*m_robotStart)(const char *) = nullptr;
    QTemporaryDir m_scripts;
};

namespace {

const QString kRetry = QStringLiteral("券查询接口调用失败，是否重试？\n若否则退出本次支付。");
const QString kList = QStringLiteral("/posPortal/offlineCertiList");
const QString kRequery = QStringLiteral("/posPortal/offlineCertiSelectList");
const QString kConsume = QStringLiteral("/posPortal/batchConsumeCerti");

// What the server received, one "path?query\nbody\n" per request.
QStringList received(const QList<QJsonObject> &requests)
{
    QStringList list;
    for (const QJsonObject &r : requests)
        list << r.value(QStringLiteral("path")).toString() + QLatin1Char('?') + r.value(QStringLiteral("query")).toString()
                    + QLatin1Char('\n') + r.value(QStringLiteral("body")).toString() + QLatin1Char('\n');
    return list;
}

}

void tst_Sale::initTestCase()
{
    void *robot = dlopen(CASHIER_ROBOT_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(robot, dlerror());
    m_robotStart = reinterpret_cast<int (*)(const char *)>(dlsym(robot, "cashier_robot_start"));
    QVERIFY(m_robotStart);
}

void tst_Sale::cashierWorksTheSale_data()
{
    QTest::addColumn<QString>("header");     // a file of tests/data/sale, or the sample's
    QTest::addColumn<QString>("scenario");   // a file of tests/data/sale served besides the wallet
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("resultCode");
    QTest::addColumn<QString>("messageStart");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<QString>("payments");   // its start: the long run compares whole documents
    QTest::addColumn<QStringList>("paths");
    QTest::addColumn<QStringList>("sent");   // "n|text": request n, as "path?query\nbody\n", holds text
    QTest::addColumn<QStringList>("questions");

    const QString untouched = QStringLiteral("(untouched)");
    // A tap ticks the first coupon; the keyboard moves down and ticks the second; F12 pays.
    QTest::newRow("two coupons paid") << "" << ""
        << "await coupons\ntapcell 0 1\nawait dialog\nkey Down\nkey Left\nawait dialog\nkey F12\n"
        << "000000" << untouched << "1500.00" << "<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf><zfR><TradeNo>Q20240001</TradeNo>" << QStringList{kList, kRequery, kRequery, kRequery, kConsume}
        << QStringList{"3|\"selectCertiItemList\":[{\"certiInfoId\":\"C1001\",\"index\":\"\"},{\"certiInfoId\":\"C1002\",\"index\":\"\"}]",
                       "4|\nactualAmount=86.00&bizBillNo=B20261206001&certiList=%5B%7B%22certiCode%22%3A%22Q20240001%22",
                       "4|&orgCode=A01&saleNo=S20261206001&sign=", "4|&vipInfoId=V0001&ywType=0\n"}
        << QStringList{};
    QTest::newRow("escape leaves") << "" << "" << "await coupons\nkey Escape\n"
        << "111111" << "CLOSE" << untouched << untouched << QStringList{kList, kRequery} << QStringList{} << QStringList{};
    QTest::newRow("consumption refused") << "" << "consume-refused.json" << "await coupons\nkey Left\nawait dialog\ntap btnPay\n"
        << "111111" << "批量券核销接口返回失败券已被使用" << untouched << untouched << QStringList{kList, kRequery, kRequery, kConsume}
        << QStringList{} << QStringList{};
    QTest::newRow("member looked up by id first") << "header-vip-id-only.xml" << "" << "await coupons\ntap bntExit\n"
        << "111111" << "CLOSE" << untouched << untouched << QStringList{"/posPortal/vipInfo", kList, kRequery}
        << QStringList{"0|bizType=0&orgCode=A01&vipInfoId=V0001\n", "1|&orgCode=A01&vipCode=13800000001\n"}
        << QStringList{};
    // Two failing re-queries while the dialog fills, each answered "1" (retry); the third works.
    QTest::newRow("retry answered yes") << "" << "requery-fails-once.json"
        << "wait 2500\nkey 1\nwait 2500\nkey 1\nawait coupons\nkey Escape\n"
        << "111111" << "CLOSE" << untouched << untouched << QStringList{kList, kRequery, kRequery, kRequery} << QStringList{}
        << QStringList{kRetry, kRetry};
    // The dialog never opens, and the query's own message reaches the host, not "CLOSE".
    QTest::newRow("retry answered no") << "" << "requery-fails.json" << "wait 2500\nkey 0\n"
        << "111111" << "网络错误，请再次尝试或联系管理员处理。错误代码:401 " << untouched << untouched << QStringList{kList, kRequery}
        << QStringList{} << QStringList{kRetry};
}

void tst_Sale::cashierWorksTheSale()
{
    QFETCH(QString, header);
    QFETCH(QString, scenario);
    QFETCH(QString, script);
    QFETCH(QString, resultCode);
    QFETCH(QString, messageStart);
    QFETCH(QString, amount);
    QFETCH(QString, payments);
    QFETCH(QStringList, paths);
    QFETCH(QStringList, sent);
    QFETCH(QStringList, questions);

    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QStringList args{QStringLiteral("--wallet"), QStringLiteral(SAMPLES_DIR "/wallet.json")};
    if (!scenario.isEmpty())
        args << QStringLiteral("--scenario") << TestSupport::fixturePath(QStringLiteral("sale/") + scenario);
    QVERIFY2(sim.start(args), qPrintable(sim.errorString()));
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 5);
    QString error;
    QVERIFY2(Seed::runSqliteScript(app.filePath(QStringLiteral("pos.db")), QStringLiteral(SAMPLES_DIR "/demo/keys-gen6.sql"), &error),
             qPrintable(error));

    const QString scriptPath = m_scripts.filePath(QStringLiteral("cashier.txt"));
    QVERIFY(TestSupport::writeFile(scriptPath, script.toUtf8()));
    QVERIFY(m_robotStart(QFile::encodeName(scriptPath).constData()));
    QStringList documents = TestSupport::sampleDocuments(QStringLiteral("sale"));
    if (!header.isEmpty())
        documents[0] = TestSupport::fixturePath(QStringLiteral("sale/") + header);
    HostCall call(documents);
    // Watches the questions the robot answers; a script that no longer fits what the dialogs
    // show fails on the guard instead of hanging.
    QStringList asked;
    ModalDriver watcher([&asked](QDialog &dialog) {
        if (qobject_cast<QuestionMessage *>(&dialog))
            asked << dialog.findChild<QLabel *>(QStringLiteral("label_text"))->text();
    }, 30000);
    LogWriter log;
    QCOMPARE(call.run(log), 1);
    QVERIFY(!watcher.guardFired());

    QCOMPARE(call.param(5), resultCode);
    QVERIFY2(call.param(6).startsWith(messageStart), qPrintable(call.param(6)));
    QCOMPARE(call.param(7), amount);
    QCOMPARE(asked, questions);
    const QList<QJsonObject> requests = sim.requests();
    const QStringList texts = received(requests);
    QStringList actualPaths;
    for (const QString &text : texts)
        actualPaths << text.section(QLatin1Char('?'), 0, 0);
    QCOMPARE(actualPaths, paths);
    for (const QJsonObject &request : requests)
        QVERIFY(request.value(QStringLiteral("signatureValid")).toBool());
    for (const QString &fragment : sent) {
        const QString request = texts.value(fragment.section(QLatin1Char('|'), 0, 0).toInt());
        QVERIFY2(request.contains(fragment.section(QLatin1Char('|'), 1)), qPrintable(fragment + QStringLiteral(" in\n") + request));
    }
    QCOMPARE(call.param(12).left(payments.size()), payments);
}

QTEST_MAIN(tst_Sale)
#include "tst_sale.moc"
