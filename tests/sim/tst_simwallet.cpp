// The simulator's wallet: coupon availability, amount sharing, consumption and cancellation.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "support/testsupport.h"
#include "wallet.h"

using namespace ScrmSim;

namespace {

Wallet loadWallet(const QByteArray &json)
{
    Wallet wallet;
    QString error;
    if (!wallet.load(QJsonDocument::fromJson(json).object(), &error))
        qFatal("wallet fixture: %s", qPrintable(error));
    return wallet;
}

Wallet rulesWallet()
{
    return loadWallet(TestSupport::fixture(QStringLiteral("sim/wallet-rules.json")));
}

Wallet sampleWallet()
{
    QFile file(QStringLiteral(SAMPLES_DIR "/wallet.json"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("samples/wallet.json missing");
    return loadWallet(file.readAll());
}

QJsonObject cartLine(const char *index, const char *plu, const char *amount)
{
    return QJsonObject{{"index", index}, {"outPluId", plu}, {"transCount", "1"},
                       {"shouldTotal", amount}, {"actualAmount", amount}};
}

// Member V9001's cart: 10.00 + 20.00.
QJsonObject rulesQuery(const QStringList &selectedIds)
{
    QJsonArray selected;
    for (const QString &id : selectedIds)
        selected.append(QJsonObject{{"index", ""}, {"certiInfoId", id}});
    return QJsonObject{{"orgCode", "B02"}, {"vipCode", "13900000009"},
                       {"orderGoodsList", QJsonArray{cartLine("1", "P1", "10.00"), cartLine("2", "P2", "20.00")}},
                       {"selectCertiItemList", selected}};
}

// The sample sale: P001 20.00, P002 18.50, P003 11.50, 50.00 in all.
QJsonObject sampleQuery()
{
    return QJsonObject{{"orgCode", "A01"}, {"vipCode", "13800000001"},
                       {"orderGoodsList", QJsonArray{cartLine("1", "P001", "20.00"), cartLine("2", "P002", "18.50"),
                                                     cartLine("3", "P003", "11.50")}}};
}

QJsonObject couponByCode(const QJsonObject &envelope, const QString &code)
{
    for (const QJsonValue &coupon : envelope["meta"]["data"]["certiList"].toArray()) {
        if (coupon["certiInfoCode"].toString() == code)
            return coupon.toObject();
    }
    return QJsonObject();
}

QStringList column(const QJsonArray &lines, const char *member)
{
    QStringList values;
    for (const QJsonValue &line : lines)
        values << line[QLatin1String(member)].toString();
    return values;
}

FormFields consumeFields(const QString &member, const QStringList &codes)
{
    QJsonArray list;
    for (const QString &code : codes)
        list.append(QJsonObject{{"certiCode", code}, {"conSumeTotal", ""}, {"goodList", QJsonArray()}, {"index", ""}});
    return FormFields{{"orgCode", "B02"}, {"vipInfoId", member}, {"ywType", "0"},
                      {"certiList", QString::fromUtf8(QJsonDocument(list).toJson(QJsonDocument::Compact))}};
}

FormFields cancelFields(const QString &codeArray)
{
    return FormFields{{"orgCode", "B02"}, {"vipInfoId", "V9001"}, {"origBizBillNo", "B1"}, {"origSaleNo", "S1"},
                      {"code", codeArray}};
}

QString code(const QJsonObject &envelope)
{
    return envelope["code"].toString();
}

}

class tst_SimWallet : public QObject
{
    Q_OBJECT
private slots:
    void shareByAmount_data();
    void shareByAmount();
    void couponSharesAddUpToTheirAmount_data();
    void couponSharesAddUpToTheirAmount();
    void availabilityFollowsSelection_data();
    void availabilityFollowsSelection();
    void selectionFillsPayAndGoodsLists();
    void memberLookup_data();
    void memberLookup();
    void consumeTwiceIsRefused();
    void refusedBatchConsumesNothing_data();
    void refusedBatchConsumesNothing();
    void cancelGivesBack();
    void cancelRefusals_data();
    void cancelRefusals();
    void stateSurvivesSaveAndLoad();
};

void tst_SimWallet::shareByAmount_data()
{
    QTest::addColumn<qint64>("amount");
    QTest::addColumn<QList<qint64>>("lines");
    QTest::addColumn<QList<qint64>>("shares");

    QTest::newRow("sample cart") << qint64(500) << QList<qint64>{2000, 1850, 1150} << QList<qint64>{200, 185, 115};
    QTest::newRow("thirds, last takes rest") << qint64(1000) << QList<qint64>{1000, 1000, 1000} << QList<qint64>{333, 333, 334};
    QTest::newRow("half cent rounds up") << qint64(5) << QList<qint64>{100, 100} << QList<qint64>{3, 2};
    QTest::newRow("negative line skipped") << qint64(500) << QList<qint64>{2000, -300, 3000} << QList<qint64>{200, 0, 300};
    QTest::newRow("zero line at the end") << qint64(500) << QList<qint64>{2000, 3000, 0} << QList<qint64>{200, 300, 0};
    QTest::newRow("capped at the cart") << qint64(1000) << QList<qint64>{300, 200} << QList<qint64>{300, 200};
    QTest::newRow("no overshoot") << qint64(2) << QList<qint64>{1, 1, 1, 1} << QList<qint64>{1, 1, 0, 0};
    QTest::newRow("empty cart") << qint64(500) << QList<qint64>{0, 0} << QList<qint64>{0, 0};
    QTest::newRow("no lines") << qint64(500) << QList<qint64>{} << QList<qint64>{};
}

void tst_SimWallet::shareByAmount()
{
    QFETCH(qint64, amount);
    QFETCH(QList<qint64>, lines);
    QFETCH(QList<qint64>, shares);
    QCOMPARE(ScrmSim::shareByAmount(amount, lines), shares);
}

void tst_SimWallet::couponSharesAddUpToTheirAmount_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<QStringList>("shares");
    QTest::newRow("5.00") << QStringLiteral("Q20240001") << QStringList{"2.00", "1.85", "1.15"};
    QTest::newRow("10.00") << QStringLiteral("Q20240002") << QStringList{"4.00", "3.70", "2.30"};
    QTest::newRow("8.00") << QStringLiteral("Q20240003") << QStringList{"3.20", "2.96", "1.84"};
    QTest::newRow("20.00 not fitting") << QStringLiteral("Q20240004") << QStringList{"8.00", "7.40", "4.60"};
}

void tst_SimWallet::couponSharesAddUpToTheirAmount()
{
    QFETCH(QString, code);
    QFETCH(QStringList, shares);
    const QJsonObject coupon = couponByCode(sampleWallet().couponList(sampleQuery(), false), code);
    const QJsonArray goods = coupon["goodsList"].toArray();
    QCOMPARE(column(goods, "apportionAmount"), shares);
    QCOMPARE(column(goods, "outPluId"), (QStringList{"P001", "P002", "P003"}));
    QCOMPARE(column(goods, "pluId"), (QStringList{"100001", "100002", "100003"}));
}

void tst_SimWallet::availabilityFollowsSelection_data()
{
    QTest::addColumn<bool>("withSelection");
    QTest::addColumn<QStringList>("selected");
    // One entry per coupon QA..QF: availableFlag + checkFlag, then the remark.
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QStringList>("remarks");

    const QString tooMuch = QStringLiteral("券金额超出订单可用金额");
    const QString sameType = QStringLiteral("不可与已选同类券叠加使用");
    const QString below = QStringLiteral("未达到最低消费金额40.00元");
    const QString used = QStringLiteral("券已使用");

    QTest::newRow("list") << false << QStringList()
                          << QStringList{"10", "10", "10", "10", "00", "00"}
                          << QStringList{"", "", "", "", below, used};
    QTest::newRow("list ignores selection") << false << QStringList{"B"}
                                            << QStringList{"10", "10", "10", "10", "00", "00"}
                                            << QStringList{"", "", "", "", below, used};
    QTest::newRow("one type 2 ticked") << true << QStringList{"B"}
                                       << QStringList{"10", "11", "00", "10", "00", "00"}
                                       << QStringList{"", "", sameType, "", below, used};
    QTest::newRow("cart filled") << true << QStringList{"B", "D"}
                                 << QStringList{"00", "11", "00", "11", "00", "00"}
                                 << QStringList{tooMuch, "", tooMuch, "", below, used};
    QTest::newRow("ticked one no longer fits") << true << QStringList{"D", "B", "A"}
                                               << QStringList{"00", "11", "00", "11", "00", "00"}
                                               << QStringList{tooMuch, "", tooMuch, "", below, used};
    QTest::newRow("consumed ticked") << true << QStringList{"F"}
                                     << QStringList{"10", "10", "10", "10", "00", "00"}
                                     << QStringList{"", "", "", "", below, used};
    QTest::newRow("unknown id ticked") << true << QStringList{"ZZ"}
                                       << QStringList{"10", "10", "10", "10", "00", "00"}
                                       << QStringList{"", "", "", "", below, used};
}

void tst_SimWallet::availabilityFollowsSelection()
{
    QFETCH(bool, withSelection);
    QFETCH(QStringList, selected);
    QFETCH(QStringList, flags);
    QFETCH(QStringList, remarks);

    const QJsonObject envelope = rulesWallet().couponList(rulesQuery(selected), withSelection);
    QCOMPARE(code(envelope), QStringLiteral("0"));
    const QJsonArray coupons = envelope["meta"]["data"]["certiList"].toArray();
    QStringList actualFlags;
    for (const QJsonValue &coupon : coupons)
        actualFlags << coupon["availableFlag"].toString() + coupon["checkFlag"].toString();
    QCOMPARE(actualFlags, flags);
    QCOMPARE(column(coupons, "unAvailableRemark"), remarks);
}

void tst_SimWallet::selectionFillsPayAndGoodsLists()
{
    const QJsonObject envelope = rulesWallet().couponList(rulesQuery({"B", "D"}), true);
    const QJsonObject data = envelope["meta"]["data"].toObject();
    const QJsonArray pays = data["payList"].toArray();
    QCOMPARE(column(pays, "certiInfoCode"), (QStringList{"QB", "QD"}));
    QCOMPARE(column(pays, "payTotal"), (QStringList{"5.00", "25.00"}));
    QCOMPARE(column(pays, "certiInfoName"), (QStringList{"五元代金券", "二十五元券"}));

    // B shares 1.67 + 3.33, D 8.33 + 16.67: together the whole cart.
    const QJsonArray goods = data["goodsList"].toArray();
    QCOMPARE(column(goods, "apportionAmount"), (QStringList{"10.00", "20.00"}));
    QCOMPARE(column(goods, "unPayAmount"), (QStringList{"0.00", "0.00"}));
    const QJsonArray bGoods = couponByCode(envelope, "QB")["goodsList"].toArray();
    QCOMPARE(column(bGoods, "apportionAmount"), (QStringList{"1.67", "3.33"}));
    QCOMPARE(column(bGoods, "apportionAmountAllType"), (QStringList{"10.00", "20.00"}));

    const QJsonObject unticked = rulesWallet().couponList(rulesQuery({}), false);
    const QJsonArray none = unticked["meta"]["data"]["goodsList"].toArray();
    QCOMPARE(column(none, "apportionAmount"), (QStringList{"0.00", "0.00"}));
}

void tst_SimWallet::memberLookup_data()
{
    QTest::addColumn<QString>("vipInfoId");
    QTest::addColumn<QString>("orgCode");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("known") << QStringLiteral("V0001") << QStringLiteral("A01")
                           << QByteArray(R"({"code":"0","meta":{"data":{"cardNo":"13800000001","vipInfoId":"V0001"}},"msg":"成功"})");
    QTest::newRow("other shop") << QStringLiteral("V0001") << QStringLiteral("A02")
                                << QByteArray(R"({"code":"1","msg":"会员不存在"})");
    QTest::newRow("unknown") << QStringLiteral("V0009") << QStringLiteral("A01")
                             << QByteArray(R"({"code":"1","msg":"会员不存在"})");
}

void tst_SimWallet::memberLookup()
{
    QFETCH(QString, vipInfoId);
    QFETCH(QString, orgCode);
    QFETCH(QByteArray, reply);
    const QJsonObject body{{"bizType", "0"}, {"orgCode", orgCode}, {"vipInfoId", vipInfoId}};
    QCOMPARE(QJsonDocument(sampleWallet().vipInfo(body)).toJson(QJsonDocument::Compact), reply);
}

void tst_SimWallet::consumeTwiceIsRefused()
{
    Wallet wallet = rulesWallet();
    const QJsonObject first = wallet.batchConsume(consumeFields("V9001", {"QA", "QB"}));
    QCOMPARE(QJsonDocument(first).toJson(QJsonDocument::Compact),
             QByteArray(R"({"code":"0","meta":{"data":{"certiList":[{"certiInfoCode":"QA","consumeAmount":"10.00"},)"
                        R"({"certiInfoCode":"QB","consumeAmount":"5.00"}]}},"msg":"核销成功"})"));
    const QJsonObject second = wallet.batchConsume(consumeFields("V9001", {"QB"}));
    QCOMPARE(code(second), QStringLiteral("1"));
    QCOMPARE(second["msg"].toString(), QStringLiteral("券QB已使用"));

    // A later list shows the consumed coupons as used.
    const QJsonObject list = wallet.couponList(rulesQuery({}), false);
    QCOMPARE(couponByCode(list, "QA")["availableFlag"].toString(), QStringLiteral("0"));
    QCOMPARE(couponByCode(list, "QA")["unAvailableRemark"].toString(), QStringLiteral("券已使用"));
    QCOMPARE(couponByCode(list, "QB")["certiInfoStatus"].toString(), QStringLiteral("2"));
}

void tst_SimWallet::refusedBatchConsumesNothing_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("msg");
    QTest::newRow("one already used") << QStringLiteral("V9001") << QStringList{"QA", "QF"} << QStringLiteral("券QF已使用");
    QTest::newRow("same code twice") << QStringLiteral("V9001") << QStringList{"QA", "QA"} << QStringLiteral("券QA已使用");
    QTest::newRow("unknown code") << QStringLiteral("V9001") << QStringList{"QA", "QX"} << QStringLiteral("券QX不存在");
    QTest::newRow("another member's") << QStringLiteral("V9001") << QStringList{"QA", "QG"} << QStringLiteral("券QG不存在");
    QTest::newRow("unknown member") << QStringLiteral("V0000") << QStringList{"QA"} << QStringLiteral("会员不存在");
    QTest::newRow("empty list") << QStringLiteral("V9001") << QStringList{} << QStringLiteral("核销券列表为空");
}

void tst_SimWallet::refusedBatchConsumesNothing()
{
    QFETCH(QString, member);
    QFETCH(QStringList, codes);
    QFETCH(QString, msg);
    Wallet wallet = rulesWallet();
    const QJsonObject reply = wallet.batchConsume(consumeFields(member, codes));
    QCOMPARE(code(reply), QStringLiteral("1"));
    QCOMPARE(reply["msg"].toString(), msg);
    QVERIFY(wallet.coupon("QA"));
    QCOMPARE(wallet.coupon("QA")->consumed, false);
}

void tst_SimWallet::cancelGivesBack()
{
    Wallet wallet = rulesWallet();
    QCOMPARE(code(wallet.batchConsume(consumeFields("V9001", {"QD"}))), QStringLiteral("0"));
    const QJsonObject reply = wallet.cancel(cancelFields(R"(["QD","QF"])"));
    QCOMPARE(QJsonDocument(reply).toJson(QJsonDocument::Compact),
             QByteArray(R"({"code":"0","meta":{"data":[{"certiInfoCode":"QD","consumeAmount":"25.00"},)"
                        R"({"certiInfoCode":"QF","consumeAmount":"1.50"}]},"msg":"撤销成功"})"));
    QCOMPARE(wallet.coupon("QD")->consumed, false);
    QCOMPARE(wallet.coupon("QF")->consumed, false);
    // Given back, the coupon can be consumed again.
    QCOMPARE(code(wallet.batchConsume(consumeFields("V9001", {"QD"}))), QStringLiteral("0"));
}

void tst_SimWallet::cancelRefusals_data()
{
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("msg");
    QTest::newRow("not consumed") << QStringLiteral(R"(["QF","QA"])") << QStringLiteral("券QA未核销，不能撤销");
    QTest::newRow("unknown") << QStringLiteral(R"(["QF","QX"])") << QStringLiteral("券QX不存在");
    QTest::newRow("empty code") << QStringLiteral(R"([""])") << QStringLiteral("券不存在");
    QTest::newRow("twice in one call") << QStringLiteral(R"(["QF","QF"])") << QStringLiteral("券QF未核销，不能撤销");
    QTest::newRow("not an array") << QStringLiteral("QF") << QStringLiteral("code格式错误");
    QTest::newRow("empty array") << QStringLiteral("[]") << QStringLiteral("撤销券列表为空");
}

void tst_SimWallet::cancelRefusals()
{
    QFETCH(QString, codes);
    QFETCH(QString, msg);
    Wallet wallet = rulesWallet();
    const QJsonObject reply = wallet.cancel(cancelFields(codes));
    QCOMPARE(code(reply), QStringLiteral("1"));
    QCOMPARE(reply["msg"].toString(), msg);
    QCOMPARE(wallet.coupon("QF")->consumed, true);
}

void tst_SimWallet::stateSurvivesSaveAndLoad()
{
    Wallet wallet = rulesWallet();
    QCOMPARE(code(wallet.batchConsume(consumeFields("V9001", {"QC"}))), QStringLiteral("0"));
    Wallet reloaded;
    QString error;
    QVERIFY2(reloaded.load(wallet.toJson(), &error), qPrintable(error));
    QCOMPARE(reloaded.coupon("QC")->consumed, true);
    QCOMPARE(reloaded.coupon("QA")->consumed, false);
    QCOMPARE(reloaded.coupon("QF")->consumedCents, qint64(150));
}

QTEST_GUILESS_MAIN(tst_SimWallet)
#include "tst_simwallet.moc"
