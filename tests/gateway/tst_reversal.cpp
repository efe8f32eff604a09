// What decides and carries the cancellation of a consumption whose outcome is unknown, and the
// exact reading of the server's integers (card numbers, ids) that the cancellation relies on.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>

#include "entry/pendingreversals.h"
#include "entry/vipcouponcpu.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

using Gateway::ServerSide;
Q_DECLARE_METATYPE(ServerSide)

class tst_Reversal : public QObject
{
    Q_OBJECT
private slots:
    void serverSideAfterError_data()
    {
        QTest::addColumn<int>("qtError");
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<ServerSide>("expected");
        QTest::newRow("refused") << int(QNetworkReply::ConnectionRefusedError) << 0 << ServerSide::Untouched;
        QTest::newRow("host not found") << int(QNetworkReply::HostNotFoundError) << 0 << ServerSide::Untouched;
        QTest::newRow("TLS handshake") << int(QNetworkReply::SslHandshakeFailedError) << 0 << ServerSide::Untouched;
        QTest::newRow("HTTP 400") << int(QNetworkReply::ProtocolInvalidOperationError) << 400 << ServerSide::Untouched;
        QTest::newRow("closed") << int(QNetworkReply::RemoteHostClosedError) << 0 << ServerSide::Unknown;
        QTest::newRow("closed before the answer") << int(QNetworkReply::ContentReSendError) << 0 << ServerSide::Unknown;
        QTest::newRow("HTTP 503") << int(QNetworkReply::ServiceUnavailableError) << 503 << ServerSide::Unknown;
        QTest::newRow("cut for its size") << int(QNetworkReply::OperationCanceledError) << 200 << ServerSide::Unknown;
    }
    void serverSideAfterError()
    {
        QFETCH(int, qtError);
        QFETCH(int, httpStatus);
        QFETCH(ServerSide, expected);
        QCOMPARE(Gateway::serverSideAfterError(qtError, httpStatus), expected);
    }

    void reversalCancelsExactlyTheCouponsSent()
    {
        TranMainDetail sale;
        sale.OrgCode = "A01";
        sale.vip_id = "V0001";
        sale.bizBillNo = "B1";
        sale.Mch = "S1";
        sale.PayNo = "not;these";
        VipCouponDetail first, second;
        first.certiInfoCode = "Q1";
        second.certiInfoCode = "Q\"2";
        QCOMPARE(Gateway::reversalParams(sale, {first, second}),
                 (Gateway::ParamSet{{"orgCode", "A01"}, {"vipInfoId", "V0001"}, {"origBizBillNo", "B1"},
                                    {"origSaleNo", "S1"}, {"code", "[\"Q1\",\"Q\\\"2\"]"}}));
    }

    void journalSurvivesAReloadOrIsKeptAside()
    {
        QTemporaryDir dir;
        const QString path = PendingReversals::journalPath(dir.path());
        Gateway::PendingReversal entry{"2026-12-06T10:00:00", "请求超时", 2, {{"code", "[\"Q1\"]"}, {"orgCode", "门店"}}};
        QString error;
        QVERIFY(PendingReversals::save(path, {entry, entry}, error));
        const QList<Gateway::PendingReversal> loaded = PendingReversals::load(path, error).value_or(QList<Gateway::PendingReversal>());
        QVERIFY2(error.isEmpty() && loaded.size() == 2, qPrintable(error));
        QCOMPARE(loaded.at(1).params, entry.params);
        QCOMPARE(loaded.at(1).attempts, 2);
        QCOMPARE(loaded.at(1).reason, entry.reason);
        QVERIFY(PendingReversals::save(path, {}, error));
        QVERIFY(QDir(dir.path()).isEmpty());

        // What cannot be read is never written over: support finds it beside the new journal.
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[{\"params\": 5}]") > 0);
        file.close();
        QVERIFY(PendingReversals::load(path, error)->isEmpty());
        QVERIFY(error.startsWith(QStringLiteral("待撤销记录文件无法读取，已移到 ")));
        const QStringList files = QDir(dir.path()).entryList(QDir::Files);
        QVERIFY(files.size() == 1 && files.first().startsWith(QStringLiteral("TwCouponPay5.reversals.json.unreadable-")));

        // One that cannot be opened now (a folder stands in for a file another program holds) stays as it is.
        QVERIFY(QDir(dir.path()).mkdir(QFileInfo(path).fileName()));
        QVERIFY(!PendingReversals::load(path, error));
        QVERIFY(error.startsWith(QStringLiteral("待撤销记录文件暂时无法打开：")));
        QVERIFY(QFileInfo(path).isDir());
    }

    // With the server out of reach the first retry waits its time-out; the rest wait for a later call.
    void retriesStopAtTheFirstUnansweredOne()
    {
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        QVERIFY(sim.startRefusing());
        AppFolder app;
        app.writeGen6(sim.baseUrl());
        const QString path = PendingReversals::journalPath(app.path());
        QString error;
        QVERIFY(PendingReversals::save(path, {{"t1", "r1", 1, {{"code", "[\"Q1\"]"}}}, {"t2", "r2", 3, {{"code", "[\"Q2\"]"}}}}, error));
        VipCouponCPU().RetryPendingReversals();
        QStringList attempts;
        for (const Gateway::PendingReversal &entry : PendingReversals::load(path, error).value_or(QList<Gateway::PendingReversal>()))
            attempts << entry.createdAt + ':' + QString::number(entry.attempts);
        QCOMPARE(attempts, (QStringList{"t1:2", "t2:3"}));
        QVERIFY(app.logText().contains(QStringLiteral("位置：重试待撤销核销\n内容：留待下一笔交易：2条")));
    }

    void numbersKeepEveryDigit_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        QTest::newRow("19-digit integer") << QByteArray("6212345678901234567") << "6212345678901234567";
        QTest::newRow("negative, past 2^53") << QByteArray("-9007199254740993") << "-9007199254740993";
        QTest::newRow("integer with exponent") << QByteArray("1e3") << "1000";
        QTest::newRow("amount") << QByteArray("12.50") << "12.5";
        QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << "1e+20";
    }
    void numbersKeepEveryDigit()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const QString reply = "{\"code\":\"0\",\"meta\":{\"data\":{\"cardNo\":" + QString::fromLatin1(json) + "}}}";
        QCOMPARE(Gateway::parseVipInfoReply(reply).cardNo, expected);
    }

    void nineteenDigitsCrossTheTransport()
    {
        // The member known by id only: the lookup's card number is what the coupon query sends.
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        QVERIFY2(sim.startScenario({{"verify", false},
                                    {"/posPortal/vipInfo", QJsonObject{{"body", "{\"code\":\"0\",\"meta\":{\"data\":"
                                                                                "{\"cardNo\":6212345678901234567}}}"}}},
                                    {"/posPortal/offlineCertiList",
                                     QJsonObject{{"body", "{\"code\":\"0\",\"meta\":{\"data\":{\"certiList\":[{\"certiInfoId\":"
                                                          "9223372036854775807,\"certiInfoCode\":\"Q1\"}]}}}"}}}}),
                 qPrintable(sim.errorString()));
        AppFolder app;
        app.writeGen6(sim.baseUrl(), 5);
        VipCouponCPU cpu;
        cpu.m_VipCouponWidget.m_TranMain.vip_id = "V0001";
        QList<VipCouponDetail> coupons;
        QList<CouponPayDetail> pays;
        QList<GoodDetail> goods;
        QString error;
        QVERIFY2(cpu.QueryCoupons(0, coupons, pays, goods, error), qPrintable(error));
        QCOMPARE(coupons.size(), 1);
        QCOMPARE(coupons.first().certiInfoId, QStringLiteral("9223372036854775807"));
        QVERIFY(sim.requests().at(1).value("query").toString().endsWith("&vipCode=6212345678901234567"));
    }
};

QTEST_MAIN(tst_Reversal)
#include "tst_reversal.moc"
