#include <QDir>
#include <QFile>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <QTest>

#include "entry/pendingreversals.h"
#include "gateway/replies.h"
#include "gateway/requests.h"
#include "gateway/reversaljournal.h"
#include "gateway/transport.h"

using Gateway::ServerSide;
Q_DECLARE_METATYPE(ServerSide)

class tst_Reversal : public QObject
{
    Q_OBJECT
private slots:
    void serverSideAfterError_data();
    void serverSideAfterError();
    void reversalCancelsExactlyTheCouponsSent();
    void journalSurvivesAReload();
    void unreadableJournalIsKeptAside();
    void numbersKeepEveryDigit_data();
    void numbersKeepEveryDigit();
};

void tst_Reversal::serverSideAfterError_data()
{
    QTest::addColumn<int>("qtError");
    QTest::addColumn<int>("httpStatus");
    QTest::addColumn<ServerSide>("expected");
    QTest::newRow("connection refused") << int(QNetworkReply::ConnectionRefusedError) << 0 << ServerSide::Untouched;
    QTest::newRow("host not found") << int(QNetworkReply::HostNotFoundError) << 0 << ServerSide::Untouched;
    QTest::newRow("TLS handshake") << int(QNetworkReply::SslHandshakeFailedError) << 0 << ServerSide::Untouched;
    QTest::newRow("HTTP 400") << int(QNetworkReply::ProtocolInvalidOperationError) << 400 << ServerSide::Untouched;
    QTest::newRow("HTTP 404") << int(QNetworkReply::ContentNotFoundError) << 404 << ServerSide::Untouched;
    QTest::newRow("connection closed") << int(QNetworkReply::RemoteHostClosedError) << 0 << ServerSide::Unknown;
    QTest::newRow("closed before the answer") << int(QNetworkReply::ContentReSendError) << 0 << ServerSide::Unknown;
    QTest::newRow("HTTP 500") << int(QNetworkReply::InternalServerError) << 500 << ServerSide::Unknown;
    QTest::newRow("HTTP 503") << int(QNetworkReply::ServiceUnavailableError) << 503 << ServerSide::Unknown;
    QTest::newRow("reply cut for its size") << int(QNetworkReply::OperationCanceledError) << 200 << ServerSide::Unknown;
}

void tst_Reversal::serverSideAfterError()
{
    QFETCH(int, qtError);
    QFETCH(int, httpStatus);
    QFETCH(ServerSide, expected);
    QCOMPARE(Gateway::serverSideAfterError(qtError, httpStatus), expected);
}

void tst_Reversal::reversalCancelsExactlyTheCouponsSent()
{
    TranMainDetail sale;
    sale.OrgCode = QStringLiteral("A01");
    sale.vip_id = QStringLiteral("V0001");
    sale.bizBillNo = QStringLiteral("B1");
    sale.saleNo = QStringLiteral("S1");
    sale.Mch = QStringLiteral("S1");
    sale.PayNo = QStringLiteral("not;these");
    VipCouponDetail first;
    first.certiInfoCode = QStringLiteral("Q1");
    VipCouponDetail second;
    second.certiInfoCode = QStringLiteral("Q\"2");
    const Gateway::ParamSet expected{{QStringLiteral("orgCode"), QStringLiteral("A01")},
                                     {QStringLiteral("vipInfoId"), QStringLiteral("V0001")},
                                     {QStringLiteral("origBizBillNo"), QStringLiteral("B1")},
                                     {QStringLiteral("origSaleNo"), QStringLiteral("S1")},
                                     {QStringLiteral("code"), QStringLiteral("[\"Q1\",\"Q\\\"2\"]")}};
    QCOMPARE(Gateway::reversalParams(sale, {first, second}), expected);
}

void tst_Reversal::journalSurvivesAReload()
{
    QTemporaryDir dir;
    const QString path = PendingReversals::journalPath(dir.path());
    QCOMPARE(path, dir.path() + QStringLiteral("/TwCouponPay5.reversals.json"));
    Gateway::PendingReversal entry;
    entry.createdAt = QStringLiteral("2026-12-06T10:00:00");
    entry.reason = QStringLiteral("请求超时");
    entry.attempts = 2;
    entry.params = {{QStringLiteral("code"), QStringLiteral("[\"Q1\"]")}, {QStringLiteral("orgCode"), QStringLiteral("门店")}};
    QString error;
    QVERIFY(PendingReversals::save(path, {entry, entry}, error));
    const QList<Gateway::PendingReversal> loaded = PendingReversals::load(path, error);
    QVERIFY2(error.isEmpty(), qPrintable(error));
    QCOMPARE(loaded.size(), 2);
    QCOMPARE(loaded.at(1).params, entry.params);
    QCOMPARE(loaded.at(1).attempts, 2);
    QCOMPARE(loaded.at(1).reason, entry.reason);
    QVERIFY(PendingReversals::save(path, {}, error));
    QVERIFY(!QFile::exists(path));
    QVERIFY(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

void tst_Reversal::unreadableJournalIsKeptAside()
{
    QTemporaryDir dir;
    const QString path = PendingReversals::journalPath(dir.path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[{\"params\": 5}]");
    file.close();
    QString error;
    QVERIFY(PendingReversals::load(path, error).isEmpty());
    QVERIFY(error.startsWith(QStringLiteral("待撤销记录文件无法读取，已移到 ")));
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY(files.first().startsWith(QStringLiteral("TwCouponPay5.reversals.json.unreadable-")));
}

void tst_Reversal::numbersKeepEveryDigit_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("expected");
    QTest::newRow("19-digit integer") << QByteArray("6212345678901234567") << "6212345678901234567";
    QTest::newRow("negative integer") << QByteArray("-9007199254740993") << "-9007199254740993";
    QTest::newRow("integer with exponent") << QByteArray("1e3") << "1000";
    QTest::newRow("amount") << QByteArray("12.50") << "12.5";
    QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << "1e+20";
}

void tst_Reversal::numbersKeepEveryDigit()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, expected);
    const QString reply = QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":{\"cardNo\":%1}}}").arg(QString::fromLatin1(json));
    QCOMPARE(Gateway::parseVipInfoReply(reply).cardNo, expected);
}

QTEST_GUILESS_MAIN(tst_Reversal)
#include "tst_reversal.moc"
