// A whole sale in one process: the entry, the controller, the real dialogs worked by the
// scripted cashier, and the simulator over real HTTP.
#include <dlfcn.h>

#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>

#include "entry/cardtrans.h"
#include "support/appfolder.h"
#include "support/logwriter.h"
#include "support/simprocess.h"
#include "support/testsupport.h"

class tst_Sale : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void tickTwoCouponsAndPay();
    void leavingTheDialogGivesClose();
    void refusedConsumptionFailsTheCall();
    void memberIsLookedUpFirst();
    void retryAnsweredYesQueriesAgain();
    void retryAnsweredNoEndsWithTheQueryMessage();

private:
    struct Outputs
    {
        QMap<int, QByteArray> params;   // only those the library wrote
        bool guardFired = false;
    };
    Outputs runSale(const QString &headerPath, const QString &script);
    bool startSim(SimProcess &sim, const QString &scenario = QString());
    void prepareTill(AppFolder &app, const QString &url);

    using RobotStart = int (*)(const char *);
    RobotStart m_robotStart = nullptr;
    QTemporaryDir m_scripts;
};

namespace {
const QString kSamples = QStringLiteral(SAMPLES_DIR);
const char kUntouched[] = "\x01untouched\x01";

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray gbk(const QByteArray &utf8)
{
    return QTextCodec::codecForName("GBK")->fromUnicode(QString::fromUtf8(utf8));
}

QStringList paths(const QList<QJsonObject> &requests)
{
    QStringList list;
    for (const QJsonObject &request : requests)
        list << request.value(QStringLiteral("path")).toString();
    return list;
}
}

void tst_Sale::initTestCase()
{
    void *robot = dlopen(CASHIER_ROBOT_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(robot, dlerror());
    m_robotStart = reinterpret_cast<RobotStart>(dlsym(robot, "cashier_robot_start"));
    QVERIFY(m_robotStart);
}

bool tst_Sale::startSim(SimProcess &sim, const QString &scenario)
{
    QStringList args{QStringLiteral("--wallet"), kSamples + QStringLiteral("/wallet.json")};
    if (!scenario.isEmpty())
        args << QStringLiteral("--scenario") << TestSupport::fixturePath(QStringLiteral("sale/") + scenario);
    return sim.start(args);
}

void tst_Sale::prepareTill(AppFolder &app, const QString &url)
{
    app.writeGen6(url, 5);
    const QString keys = QString::fromUtf8(readFile(kSamples + QStringLiteral("/demo/keys-gen6.sql")));
    QStringList statements;
    for (const QString &statement : keys.split(QLatin1Char(';'))) {
        QString sql;
        for (const QString &line : statement.split(QLatin1Char('\n')))
            sql += line.section(QStringLiteral("--"), 0, 0) + QLatin1Char(' ');
        if (!sql.trimmed().isEmpty())
            statements << sql.trimmed();
    }
    QString error;
    QVERIFY2(app.runSql(QStringLiteral("pos.db"), statements, &error), qPrintable(error));
}

tst_Sale::Outputs tst_Sale::runSale(const QString &headerPath, const QString &script)
{
    const QString scriptPath = m_scripts.filePath(QStringLiteral("cashier.txt"));
    QFile file(scriptPath);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(script.toUtf8());
    file.close();
    m_robotStart(QFile::encodeName(scriptPath).constData());

    QByteArray in[4] = {gbk(readFile(headerPath)), gbk(readFile(kSamples + QStringLiteral("/sale/goods.xml"))),
                        gbk(readFile(kSamples + QStringLiteral("/sale/pay.json"))),
                        gbk(readFile(kSamples + QStringLiteral("/sale/udp2.json")))};
    QVector<QByteArray> out(8, QByteArray(1 << 16, '\0'));
    for (QByteArray &buffer : out)
        memcpy(buffer.data(), kUntouched, sizeof(kUntouched));
    Entry::HostParameters params{{in[0].data(), in[1].data(), in[2].data(), in[3].data(), out[0].data(),
                                  out[1].data(), out[2].data(), out[3].data(), out[4].data(), out[5].data(),
                                  out[6].data(), out[7].data()}};
    // A script that no longer fits what the dialogs show must fail the test, not hang it.
    bool guardFired = false;
    QTimer guard;
    guard.setInterval(30000);
    connect(&guard, &QTimer::timeout, [&guardFired] {
        guardFired = true;
        if (QDialog *modal = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
            modal->reject();
    });
    guard.start();
    LogWriter log;
    const int rc = Entry::cardTrans(log, params);
    guard.stop();
    if (guardFired)
        qWarning("the scripted cashier did not finish the call: dialogs were closed by the guard");
    Outputs outputs;
    outputs.guardFired = guardFired;
    if (rc != 1)
        return outputs;
    for (int i = 0; i < 8; ++i) {
        const QByteArray text(out[i].constData());
        if (text != QByteArray(kUntouched))
            outputs.params.insert(i + 5, text);
    }
    return outputs;
}

void tst_Sale::tickTwoCouponsAndPay()
{
    SimProcess sim;
    QVERIFY2(startSim(sim), qPrintable(sim.errorString()));
    AppFolder app;
    prepareTill(app, sim.baseUrl());

    // A tap ticks the first coupon; the keyboard moves down and ticks the second; F12 pays.
    const Outputs out = runSale(kSamples + QStringLiteral("/sale/header.xml"),
                                QStringLiteral("await coupons\ntapcell 0 1\nawait dialog\nkey Down\nkey Left\nawait dialog\nkey F12\n"));
    QVERIFY(!out.guardFired);
    QCOMPARE(out.params.value(5), QByteArray("000000"));
    QCOMPARE(out.params.value(7), QByteArray("1500.00"));
    QCOMPARE(QString::fromUtf8(out.params.value(11)),
             QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<DSC><Yh>"
                            "<YhD><PluCode>P001</PluCode><PluId>100001</PluId><RowId>1</RowId><DscTotal>5.23</DscTotal><DscCount>2</DscCount><CouponCode>Q20240001</CouponCode></YhD>"
                            "<YhD><PluCode>P002</PluCode><PluId>100002</PluId><RowId>2</RowId><DscTotal>3.49</DscTotal><DscCount>2</DscCount><CouponCode>Q20240001</CouponCode></YhD>"
                            "<YhD><PluCode>P003</PluCode><PluId>100003</PluId><RowId>3</RowId><DscTotal>6.28</DscTotal><DscCount>1</DscCount><CouponCode>Q20240001</CouponCode></YhD>"
                            "</Yh></DSC>"));
    QCOMPARE(QString::fromUtf8(out.params.value(12)),
             QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<Op><Zf>"
                            "<zfR><TradeNo>Q20240001</TradeNo><BuyerNo>S20261206001</BuyerNo><Total>5.00</Total></zfR>"
                            "<zfR><TradeNo>Q20240002</TradeNo><BuyerNo>S20261206001</BuyerNo><Total>10.00</Total></zfR>"
                            "<zfR><TradeNo>Q20240001</TradeNo><OtherInfo>SCRM优惠券：15.00</OtherInfo><BuyerNo>S20261206001</BuyerNo><Total>0.00</Total></zfR>"
                            "</Zf></Op>"));
    QVERIFY(!out.params.contains(6));
    QVERIFY(!out.params.contains(8));

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(paths(requests), QStringList({QStringLiteral("/posPortal/offlineCertiList"),
                                           QStringLiteral("/posPortal/offlineCertiSelectList"),
                                           QStringLiteral("/posPortal/offlineCertiSelectList"),
                                           QStringLiteral("/posPortal/offlineCertiSelectList"),
                                           QStringLiteral("/posPortal/batchConsumeCerti")}));
    for (const QJsonObject &request : requests)
        QVERIFY(request.value(QStringLiteral("signatureValid")).toBool());
    // The last re-query sends both ticked coupons; the consumption sends its fields in key order.
    const QJsonObject lastQuery = QJsonDocument::fromJson(requests.at(3).value(QStringLiteral("body")).toString().toUtf8()).object();
    QCOMPARE(lastQuery.value(QStringLiteral("selectCertiItemList")).toArray().size(), 2);
    const QString consume = requests.at(4).value(QStringLiteral("body")).toString();
    QVERIFY2(consume.startsWith(QStringLiteral("actualAmount=86.00&bizBillNo=B20261206001&certiList=%5B%7B%22certiCode%22%3A%22Q20240001%22")),
             qPrintable(consume));
    QVERIFY(consume.contains(QStringLiteral("&orgCode=A01&saleNo=S20261206001&sign=")));
    QVERIFY(consume.endsWith(QStringLiteral("&vipInfoId=V0001&ywType=0")));
}

void tst_Sale::leavingTheDialogGivesClose()
{
    SimProcess sim;
    QVERIFY(startSim(sim));
    AppFolder app;
    prepareTill(app, sim.baseUrl());
    const Outputs out = runSale(kSamples + QStringLiteral("/sale/header.xml"), QStringLiteral("await coupons\nkey Escape\n"));
    QCOMPARE(out.params.value(5), QByteArray("111111"));
    QVERIFY(!out.guardFired);
    QCOMPARE(out.params.value(6), QByteArray("CLOSE"));
    for (int p = 7; p <= 12; ++p)
        QVERIFY(!out.params.contains(p));
    QVERIFY(!paths(sim.requests()).contains(QStringLiteral("/posPortal/batchConsumeCerti")));
}

void tst_Sale::refusedConsumptionFailsTheCall()
{
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("consume-refused.json")));
    AppFolder app;
    prepareTill(app, sim.baseUrl());
    const Outputs out = runSale(kSamples + QStringLiteral("/sale/header.xml"),
                                QStringLiteral("await coupons\nkey Left\nawait dialog\ntap btnPay\n"));
    QCOMPARE(out.params.value(5), QByteArray("111111"));
    QCOMPARE(QString::fromUtf8(out.params.value(6)), QStringLiteral("批量券核销接口返回失败券已被使用"));
    QVERIFY(app.logText().contains(QStringLiteral("位置：批量券核销接口返回错误\n内容：券已被使用")));
}

void tst_Sale::memberIsLookedUpFirst()
{
    SimProcess sim;
    QVERIFY(startSim(sim));
    AppFolder app;
    prepareTill(app, sim.baseUrl());
    const Outputs out = runSale(TestSupport::fixturePath(QStringLiteral("sale/header-vip-id-only.xml")),
                                QStringLiteral("await coupons\ntap bntExit\n"));
    QVERIFY(!out.guardFired);
    QCOMPARE(out.params.value(6), QByteArray("CLOSE"));
    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(paths(requests).mid(0, 2), QStringList({QStringLiteral("/posPortal/vipInfo"), QStringLiteral("/posPortal/offlineCertiList")}));
    QCOMPARE(requests.at(0).value(QStringLiteral("query")).toString().section(QLatin1Char('&'), 1),
             QStringLiteral("bizType=0&orgCode=A01&vipInfoId=V0001"));
    const QJsonObject list = QJsonDocument::fromJson(requests.at(1).value(QStringLiteral("body")).toString().toUtf8()).object();
    QCOMPARE(list.value(QStringLiteral("vipCode")).toString(), QStringLiteral("13800000001"));
    QVERIFY(requests.at(1).value(QStringLiteral("query")).toString().endsWith(QStringLiteral("&orgCode=A01&vipCode=13800000001")));
}

void tst_Sale::retryAnsweredYesQueriesAgain()
{
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("requery-fails-once.json")));
    AppFolder app;
    prepareTill(app, sim.baseUrl());
    // Two failing re-queries, each answered "1" (retry); the third one works; then leave.
    const Outputs out = runSale(kSamples + QStringLiteral("/sale/header.xml"),
                                QStringLiteral("wait 2500\nkey 1\nwait 2500\nkey 1\nawait coupons\nkey Escape\n"));
    QVERIFY(!out.guardFired);
    QCOMPARE(out.params.value(6), QByteArray("CLOSE"));
    const QString log = app.logText();
    const int first = log.indexOf(QStringLiteral("位置：没有券被选中，调用查询会员名下可用券接口\n内容：begin"));
    QVERIFY(first >= 0);
    QVERIFY(log.indexOf(QStringLiteral("位置：批量查询券\n内容：begin"), first) > first);
    QCOMPARE(paths(sim.requests()).count(QStringLiteral("/posPortal/offlineCertiSelectList")), 3);
}

void tst_Sale::retryAnsweredNoEndsWithTheQueryMessage()
{
    SimProcess sim;
    QVERIFY(startSim(sim, QStringLiteral("requery-fails.json")));
    AppFolder app;
    prepareTill(app, sim.baseUrl());
    const Outputs out = runSale(kSamples + QStringLiteral("/sale/header.xml"), QStringLiteral("wait 2500\nkey 0\n"));
    QCOMPARE(out.params.value(5), QByteArray("111111"));
    // The cashier chose to leave while the dialog was being filled: it never opens, and the
    // query's own message reaches the host, not "CLOSE".
    const QString message = QString::fromUtf8(out.params.value(6));
    QVERIFY2(message.startsWith(QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:401 ")), qPrintable(message));
    QCOMPARE(paths(sim.requests()).count(QStringLiteral("/posPortal/offlineCertiSelectList")), 1);
}

QTEST_MAIN(tst_Sale)
#include "tst_sale.moc"
