// What the tills' tests rely on in the simulator: a badly signed request is refused the way the
// server refuses it, and the wallet consumes and gives back coupons whole batches at a time.
// Digests were worked out with md5sum, independently of both the simulator and the client.
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include "router.h"

using namespace ScrmSim;

class tst_Sim : public QObject
{
    Q_OBJECT
private slots:
    void badlySignedRequestIsRefused_data();
    void badlySignedRequestIsRefused();
    void walletConsumesAndGivesBackWholeBatches_data();
    void walletConsumesAndGivesBackWholeBatches();
};

void tst_Sim::badlySignedRequestIsRefused_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("msg");   // of the {"code":"1"} answer; the empty wallet knows no member
    const QString lookup = QStringLiteral("/posPortal/vipInfo");
    const QString consume = QStringLiteral("/posPortal/batchConsumeCerti");
    const QByteArray vipBody = R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0001"})";
    // md5("actualAmount=50.00&orgCode=A01&vipInfoId=V0001&ywType=0&key=<key>")
    const QByteArray consumeSign = "sign=886c5455f5a1d4679a396e3c69168d7f";
    // md5("bizType=0&orgCode=A01&vipInfoId=V0001&key=<key>")
    QTest::newRow("lookup signed") << lookup << QByteArray("sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001")
                                   << vipBody << "会员不存在";
    QTest::newRow("lookup, one digit wrong") << lookup << QByteArray("sign=78da762bf64f315097577be1b3681474&bizType=0&orgCode=A01&vipInfoId=V0001")
                                             << vipBody << "签名校验失败";
    QTest::newRow("lookup, body names another member")
        << lookup << QByteArray("sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001")
        << QByteArray(R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0002"})") << "签名参数与请求报文不一致";
    QTest::newRow("consumption signed") << consume << QByteArray() << "actualAmount=50.00&orgCode=A01&" + consumeSign + "&vipInfoId=V0001&ywType=0"
                                        << "会员不存在";
    QTest::newRow("consumption changed after signing") << consume << QByteArray()
        << "actualAmount=5.00&orgCode=A01&" + consumeSign + "&vipInfoId=V0001&ywType=0" << "签名校验失败";
    QTest::newRow("consumption without sign") << consume << QByteArray() << QByteArray("orgCode=A01") << "缺少签名参数sign";
}

void tst_Sim::badlySignedRequestIsRefused()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, body);
    QFETCH(QString, msg);
    Request request;
    request.path = path;
    request.query = query;
    request.body = body;
    request.headers.append(qMakePair(QStringLiteral("Content-Type"), query.isEmpty() ? QStringLiteral("application/x-www-form-urlencoded")
                                                                                     : QStringLiteral("application/json")));
    Router router;
    const Router::Outcome outcome = router.handle(request, QDateTime::currentDateTime());
    QCOMPARE(outcome.reply.status, 200);
    QCOMPARE(QString::fromUtf8(outcome.reply.body), QStringLiteral("{\"code\":\"1\",\"msg\":\"%1\"}").arg(msg));
}

void tst_Sim::walletConsumesAndGivesBackWholeBatches_data()
{
    QTest::addColumn<QStringList>("steps");     // "consume A,B" or "cancel A,B", member V0001 of the sample wallet
    QTest::addColumn<QStringList>("replies");   // code, msg and the coupons' amounts
    QTest::addColumn<QString>("consumed");      // afterwards
    QTest::newRow("consumed once") << QStringList{"consume Q20240001,Q20240002", "consume Q20240002"}
                                   << QStringList{"0 核销成功 Q20240001=5.00 Q20240002=10.00", "1 券Q20240002已使用"}
                                   << "Q20240001 Q20240002 Q20240005";
    QTest::newRow("one used, none consumed") << QStringList{"consume Q20240001,Q20240005"} << QStringList{"1 券Q20240005已使用"} << "Q20240005";
    QTest::newRow("twice in one batch") << QStringList{"consume Q20240001,Q20240001"} << QStringList{"1 券Q20240001已使用"} << "Q20240005";
    QTest::newRow("unknown code") << QStringList{"consume Q20240001,QX"} << QStringList{"1 券QX不存在"} << "Q20240005";
    QTest::newRow("given back, consumed again") << QStringList{"consume Q20240003", "cancel Q20240003,Q20240005", "consume Q20240003"}
        << QStringList{"0 核销成功 Q20240003=8.00", "0 撤销成功 Q20240003=8.00 Q20240005=15.00", "0 核销成功 Q20240003=8.00"} << "Q20240003";
    QTest::newRow("one not consumed, none given back") << QStringList{"cancel Q20240005,Q20240001"}
                                                       << QStringList{"1 券Q20240001未核销，不能撤销"} << "Q20240005";
}

void tst_Sim::walletConsumesAndGivesBackWholeBatches()
{
    QFETCH(QStringList, steps);
    QFile file(QStringLiteral(SAMPLES_DIR "/wallet.json"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    Wallet wallet;
    QString error;
    QVERIFY2(wallet.load(QJsonDocument::fromJson(file.readAll()).object(), &error), qPrintable(error));

    QStringList replies;
    for (const QString &step : steps) {
        const QStringList codes = step.section(QLatin1Char(' '), 1).split(QLatin1Char(','));
        FormFields fields{{"orgCode", "A01"}, {"vipInfoId", "V0001"}};
        QJsonObject reply;
        if (step.startsWith(QLatin1String("consume"))) {
            QJsonArray list;
            for (const QString &code : codes)
                list.append(QJsonObject{{"certiCode", code}, {"conSumeTotal", ""}});
            fields.insert(QStringLiteral("certiList"), QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact)));
            reply = wallet.batchConsume(fields);
        } else {
            fields.insert(QStringLiteral("code"), QString::fromUtf8(QJsonDocument(QJsonArray::fromStringList(codes)).toJson()));
            reply = wallet.cancel(fields);
        }
        const QJsonObject &answer = reply;
        const QJsonValue data = answer["meta"]["data"];
        QString summary = answer["code"].toString() + QLatin1Char(' ') + answer["msg"].toString();
        for (const QJsonValue &entry : data.isArray() ? data.toArray() : data["certiList"].toArray())
            summary += QLatin1Char(' ') + entry["certiInfoCode"].toString() + QLatin1Char('=') + entry["consumeAmount"].toString();
        replies << summary;
    }
    QTEST(replies, "replies");
    QStringList consumed;
    for (const char *code : {"Q20240001", "Q20240002", "Q20240003", "Q20240004", "Q20240005"}) {
        if (wallet.coupon(QLatin1String(code))->consumed)
            consumed << QLatin1String(code);
    }
    QTEST(consumed.join(QLatin1Char(' ')), "consumed");
}

QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
