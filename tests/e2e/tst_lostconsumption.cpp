// Through pos-host and the simulator's wallet: coupons of a payment the host never got come back,
// those of one it recorded never do.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTest>

#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

namespace {

const QString kConsume = "/posPortal/batchConsumeCerti";
const QString kCancel = "/posPortal/offlineCancelCerti";
const QString kClosed = "网络错误，请再次尝试或联系管理员处理。错误代码:2 Connection closed";
const QString kCoupon = "Q20240001";
const QString kBack = "。用券支付未完成，本次核销已撤销，券已退回会员";

struct Till
{
    TillFolder folder;
    SimProcess sim {SCRM_SIM_PATH};
    bool start(const QJsonObject &scenario, int timeoutSeconds = 2)
    {
        if (!sim.startScenario(scenario, {"--wallet", SAMPLES_DIR "/wallet.json", "--state", state()}))
            return false;
        folder.writeGen6(sim.baseUrl(), timeoutSeconds);
        folder.writeText("cashier.txt", "await coupons\ntapcell 0 1\nawait dialog\ntap btnPay\n");
        return true;
    }
    QString state() const { return folder.filePath("wallet-state.json"); }
    QString journal() const { return folder.filePath("TwCouponPay5.reversals.json"); }
    QStringList saleArgs() const { return {"--cashier", folder.filePath("cashier.txt")}; }
    TillFolder::HostRun sale() const { return folder.runHost(TestSupport::sampleDocuments("sale"), saleArgs()); }
    TillFolder::HostRun cancel() const { return folder.runHost(TestSupport::sampleDocuments("cancel")); }

    QString coupon() const
    {
        const QString path = QFile::exists(state()) ? state() : SAMPLES_DIR "/wallet.json";
        for (const QJsonValue &member : QJsonDocument::fromJson(TestSupport::readFile(path))["members"].toArray())
            for (const QJsonValue &c : member["coupons"].toArray())
                if (c["certiInfoCode"].toString() == kCoupon)
                    return c["state"].toString();
        return QString();
    }
    QStringList journalStates() const
    {
        QStringList states;
        for (const QJsonValue &entry : QJsonDocument::fromJson(TestSupport::readFile(journal())).array())
            states << entry["state"].toString();
        return states;
    }
    int reversals() const
    {
        int count = 0;
        for (const QJsonObject &request : sim.requests())
            count += request["path"] == kCancel && request["fields"]["code"] == "[\"" + kCoupon + "\"]";
        return count;
    }
};

}

class tst_LostConsumption : public QObject
{
    Q_OBJECT
private slots:
    void couponsComeBack_data()
    {
        QTest::addColumn<QJsonObject>("scenario");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("reversals");
        QTest::addColumn<QString>("stateAfterSale");
        QTest::addColumn<QStringList>("journal");
        const QJsonObject lost {{"apply", true}, {"drop", true}};
        QTest::newRow("answer lost, cancelled at once")
            << QJsonObject {{kConsume, lost}} << kClosed + kBack << 1 << "available" << QStringList {};
        // The server's yes settles it, whatever its answer lists.
        QTest::newRow("cancellation taken, answer without its data")
            << QJsonObject {{kConsume, lost},
                            {kCancel, QJsonObject {{"apply", true}, {"bodyJson", QJsonObject {{"code", "0"}}}}}}
            << kClosed + kBack << 1 << "available" << QStringList {};
        QTest::newRow("cancellation lost too, sent by the next call")
            << QJsonObject {{kConsume, lost},
                            {kCancel, QJsonArray {QJsonObject {{"status", 503}}, QJsonObject {{"apply", true}}}}}
            << kClosed + "。用券支付未完成，本次核销的撤销尚未完成，将在下一笔交易开始时自动重试" << 1 << "consumed"
            << QStringList {"pending"};
        QTest::newRow("refusal is certain, nothing to cancel")
            << QJsonObject {{kConsume, QJsonObject {{"bodyJson", QJsonObject {{"code", "1"}, {"msg", "券已使用"}}}}}}
            << "批量券核销接口返回失败券已使用" << 0 << "available" << QStringList {};
        QTest::newRow("reply repeats a key")
            << QJsonObject {{kConsume, QJsonObject {{"apply", true}, {"body", R"({"code":"0","code":"0"})"}}}}
            << "接口异常，请检查接口配置是否正确或网络是否正常" + kBack << 1 << "available" << QStringList {};
    }
    void couponsComeBack()
    {
        QFETCH(QJsonObject, scenario);
        QFETCH(QString, message);
        QFETCH(int, reversals);
        QFETCH(QString, stateAfterSale);
        QFETCH(QStringList, journal);
        Till till;
        QVERIFY2(till.start(scenario), qPrintable(till.sim.errorString()));
        const TillFolder::HostRun sale = till.sale();
        QVERIFY2(sale.finished, qPrintable(sale.output));
        QCOMPARE(sale.params.value(5), "111111");
        QCOMPARE(QString::fromUtf8(sale.params.value(6)), message);
        QCOMPARE(till.reversals(), reversals);
        QCOMPARE(till.coupon(), stateAfterSale);
        QCOMPARE(till.journalStates(), journal);

        QVERIFY(till.cancel().finished);
        QVERIFY(!QFile::exists(till.journal()));
        QCOMPARE(till.coupon(), "available");
        QCOMPARE(till.folder.logText().count("位置：重试待撤销核销\n内容：成功"), journal.size());
    }

    void hostKilledWhileTheConsumptionWaits()
    {
        Till till;
        QVERIFY(till.start({{kConsume, QJsonObject {{"apply", true}, {"delayMs", 15000}}}}, 30));
        QStringList args {"--lib", PLUGIN_PATH, "--robot", CASHIER_ROBOT_PATH, "--gbk"};
        QProcess host;
        till.folder.start(host, args + till.saleArgs() + TestSupport::sampleDocuments("sale"));
        QTRY_VERIFY_WITH_TIMEOUT(till.sim.requests().value(3)["path"] == kConsume, 30000);
        host.kill();
        QVERIFY(host.waitForFinished());
        QCOMPARE(till.journalStates(), QStringList {"inFlight"});

        QVERIFY(till.cancel().finished);
        QCOMPARE(till.reversals(), 1);
        QCOMPARE(till.coupon(), "available");
        QVERIFY(!QFile::exists(till.journal()));
        QVERIFY(till.folder.logText().contains("位置：核销结果未知，转为待撤销"));
    }

    // A later paid sale of the same coupon voids the old entry.
    void staleEntryMeetsALaterPaidSale()
    {
        Till till;
        QVERIFY(till.start({{kConsume, QJsonArray {QJsonObject {{"status", 503}}, QJsonObject {{"apply", true}}}},
                            {kCancel,
                             QJsonArray {QJsonObject {{"status", 503}}, QJsonObject {{"status", 503}},
                                         QJsonObject {{"apply", true}}}}}));
        QCOMPARE(QString::fromUtf8(till.sale().params.value(5)), "111111");
        QCOMPARE(till.journalStates(), QStringList {"pending"});
        QCOMPARE(QString::fromUtf8(till.sale().params.value(5)), "000000");
        QVERIFY(!QFile::exists(till.journal()));
        QVERIFY(till.folder.logText().contains("位置：作废待撤销记录"));

        QVERIFY(till.cancel().finished);
        QCOMPARE(till.reversals(), 2);
        QCOMPARE(till.coupon(), "consumed");
    }

    void successTheHostCannotTakeIsReversed()
    {
        Till till;
        QVERIFY(till.start({}));
        till.folder.writeIni("TwCouponPay5.ini", {{"Config/OutputBufferSize", 200}});
        const TillFolder::HostRun sale = till.folder.runHost(TestSupport::sampleDocuments("sale"), till.saleArgs());
        QCOMPARE(QString::fromUtf8(sale.params.value(5)), "111111");
        QCOMPARE(QString::fromUtf8(sale.params.value(6)),
                 "传出参数超过约定的缓冲区大小（200字节），无法传出交易结果" + kBack);
        QCOMPARE(till.reversals(), 1);
        QCOMPARE(till.coupon(), "available");
    }

    void refusedEntryDoesNotHoldTheOthers()
    {
        Till till;
        QVERIFY(till.start(
            {{kCancel,
              QJsonArray {QJsonObject {{"status", 400}}, QJsonObject {{"bodyJson", QJsonObject {{"code", "0"}}}}}}}));
        till.folder.writeText("TwCouponPay5.reversals.json",
                              QJsonDocument(QJsonArray {QJsonObject {{"params", QJsonObject {{"code", R"(["R1"])"}}}},
                                                        QJsonObject {{"params", QJsonObject {{"code", R"(["R2"])"}}}}})
                                  .toJson());
        QVERIFY(till.cancel().finished);
        QVERIFY(till.cancel().finished);
        QStringList codes;
        for (const QJsonObject &request : till.sim.requests())
            codes << request["fields"]["code"].toString();
        QCOMPARE(codes, (QStringList {R"(["R1"])", R"(["R2"])", R"(["CP0001","CP0002"])", R"(["CP0001","CP0002"])"}));
        QCOMPARE(till.journalStates(), QStringList {"attention"});
        QVERIFY(till.folder.logText().contains("位置：待撤销记录需人工处理"));
    }
};

QTEST_GUILESS_MAIN(tst_LostConsumption)
#include "tst_lostconsumption.moc"
