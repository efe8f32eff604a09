// What the till makes of the server's answers. Rows marked "fuzz" are inputs the fuzz targets
// (fuzz/) turned up: a repeated key keeps its last value in Qt's parser.
#include <QJsonObject>
#include <QtTest>

#include "gateway/replies.h"
#include "support/testsupport.h"

Q_DECLARE_METATYPE(Gateway::CouponListMode)

namespace {
QString text(const LogLines &log)
{
    QStringList lines;
    for (const LogLine &line : log)
        lines << line.function + QLatin1Char('|') + line.text;
    return lines.join(QStringLiteral(" / "));
}

// A failure as "! message", else what was read; then the log lines.
QString list(const QString &reply)
{
    const auto r = Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, reply, QStringLiteral("1"));
    // Coupons, goods of the first coupon, goods carrying a share, pay lines.
    const QString shape = QStringLiteral("%1/%2/%3/%4").arg(r.coupons.size()).arg(r.coupons.isEmpty() ? 0 : r.coupons[0].goodsList.size())
                              .arg(r.goods.size()).arg(r.pays.size());
    return r.ok ? shape : QStringLiteral("! ") + r.message + QStringLiteral(" ") + shape + QStringLiteral(" ") + text(r.log);
}

QString lookup(const QString &reply)
{
    const Gateway::VipInfoReply r = Gateway::parseVipInfoReply(reply);
    return r.ok ? QStringLiteral("card ") + r.cardNo : QStringLiteral("! ") + r.message + r.cardNo;
}

QString consume(const QString &reply)
{
    const Gateway::ConsumeReply r = Gateway::parseBatchConsumeReply(reply);
    return (r.ok ? QStringLiteral("ok ") : QStringLiteral("! ") + r.message + QLatin1Char(' ')) + text(r.log);
}

QString cancel(const QString &reply)
{
    const Gateway::CancelReply r = Gateway::parseCancelReply(reply);
    QString cancelled;
    for (const VipCouponDetail &coupon : r.cancelled)
        cancelled += QLatin1Char(' ') + coupon.certiInfoCode + QLatin1Char('=') + coupon.realCertiMe;
    return (r.ok ? QStringLiteral("ok") : QStringLiteral("! ") + r.message) + cancelled;
}

QString fields(const GoodDetail &g)
{
    return QStringList{g.index, g.outPluId, g.pluId, g.pluCode, g.pluName, g.transCount, g.shouldTotal, g.actualAmount, g.shopClsId,
                       g.shopClsCode, g.brandId, g.brandCode, g.apportionAmountAllType, g.apportionAmount, g.thresholdAmount,
                       g.unPayAmount}.join(QLatin1Char('|'));
}

QString fields(const VipCouponDetail &c)
{
    QString goods;
    for (const GoodDetail &g : c.goodsList)
        goods += QLatin1Char('[') + fields(g) + QLatin1Char(']');
    return QStringList{c.index, c.certiInfoId, c.certiInfoCode, c.certiInfoName, c.certiInfoStatus, c.certiType, c.certiTypeId,
                       c.certiTypeName, c.certiMe, c.certiMeType, c.certiMeMin, c.certiMeMax, c.realCertiMe, c.bgndate, c.enddate,
                       c.depict, c.vipId, c.vipCode, c.minConsume, c.apportionType, c.consumeCountLimit, c.crossTypeUse,
                       c.availableFlag, c.checkFlag, c.unAvailableRemark}.join(QLatin1Char('|')) + goods;
}

QString fullList()
{
    return QString::fromUtf8(TestSupport::fixture(QStringLiteral("gateway/couponlist-full.json")));
}
}

class tst_Replies : public QObject
{
    Q_OBJECT
private slots:
    void replyBecomesOutcome_data();
    void replyBecomesOutcome();
    void unavailableCouponsHiddenOnlyInFirstList_data();
    void unavailableCouponsHiddenOnlyInFirstList();
    void couponListReadsEveryField();
    void cancelledCouponCarriesCodeAndAmount();
};

void tst_Replies::replyBecomesOutcome_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("number as text") << Gateway::jsonText(13800138000.0) << "13800138000";
    QTest::newRow("small fraction as text") << Gateway::jsonText(-0.004) << "-0.004";
    QTest::newRow("bool, null, object as no text") << Gateway::jsonText(true) + Gateway::jsonText(QJsonValue::Null)
                                                          + Gateway::jsonText(QJsonObject{{"a", "b"}}) << "";

    const QString broken = QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常");
    const QString missing = QStringLiteral("! 解析会员名下券接口返回，缺少节点");
    const QString refusal = QStringLiteral("进行券查询接口解析失败，错误详情|");
    QTest::newRow("list: not json") << list("Bad Gateway") << "! " + broken + " 0/0/0/0 ";
    QTest::newRow("list: empty object") << list("{}") << "! " + broken + " 0/0/0/0 ";
    QTest::newRow("list: array") << list("[{\"code\":\"0\"}]") << "! 解析会员名下券接口返回，返回信息解析失败 0/0/0/0 ";
    QTest::newRow("list: no code") << list("{\"meta\":{}}") << missing + "code 0/0/0/0 ";
    QTest::newRow("list: refused") << list(R"({"code":"1","msg":"会员不存在"})") << "! 会员不存在 0/0/0/0 " + refusal + "会员不存在";
    QTest::newRow("list: refused without msg") << list(R"({"code":"1"})") << "!  0/0/0/0 " + refusal;
    QTest::newRow("list: refused as a number") << list(R"({"code":1,"msg":"停用","meta":{"data":{"certiList":[]}}})")
                                               << "! 停用 0/0/0/0 " + refusal + "停用";
    QTest::newRow("list: data at top level") << list(R"({"code":"0","data":{"certiList":[]}})") << missing + "meta 0/0/0/0 ";
    QTest::newRow("list: meta not object") << list(R"({"code":"0","meta":"data"})") << missing + "data 0/0/0/0 ";
    QTest::newRow("list: no certiList") << list(R"({"code":"0","meta":{"data":{"goodsList":[]}}})") << missing + "certiList 0/0/0/0 ";
    QTest::newRow("list: bare") << list(R"({"code":"0","meta":{"data":{"certiList":[]}}})") << "0/0/0/0";
    // Shares that round to zero leave no goods line and so no "YHQ" pay line either.
    QTest::newRow("list: zero shares") << list(R"({"code":0,"meta":{"data":{"certiList":[{"certiInfoCode":"C001"}],"payList":[],)"
                                               R"("goodsList":[{"apportionAmount":"0.00"},{"apportionAmount":"-0.001"}]}}})") << "1/0/0/0";
    QTest::newRow("list fuzz: repeated meta, array last") << list(R"({"code":"0","meta":{"data":{"certiList":[]}},"meta":{"data":[]}})")
                                                          << missing + "certiList 0/0/0/0 ";
    QTest::newRow("list fuzz: refusal overridden") << list(R"({"code":"1","msg":"券已使用","code":"0"})") << missing + "meta 0/0/0/0 ";
    QTest::newRow("list fuzz: acceptance overridden") << list(R"({"code":"0","meta":{"data":{"certiList":[]}},"code":1,"msg":{"m":[]},"msg":"已停用"})")
                                                      << "! 已停用 0/0/0/0 " + refusal + "已停用";
    QTest::newRow("list fuzz: repeated goods list") << list(R"({"code":0,"meta":{"data":{"certiList":[{"certiInf":[],"goodsList":[{"index":"1",)"
                                                            R"("apportionAmount":"0.00"}]}],"payList":[],"goodsList":[{"apportionAmount":"0.50"}],)"
                                                            R"("goodsList":[{"index":"2","apportionAmount":"-0.001"}]}}})") << "1/1/0/0";
    QTest::newRow("list fuzz: repeated goods list, share last")
        << list(R"({"code":"0","meta":{"data":{"certiList":[],"goodsList":[{"apportionAmount":"0"}],"goodsList":[{"apportionAmount":"0.5"}]}}})")
        << "0/0/1/1";
    QTest::newRow("list fuzz: certi list object then array")
        << list(R"({"code":"0","meta":{"data":{"certiList":{"x":[1]},"certiList":[{"certiInfoCode":"Q1"}]}}})") << "1/0/0/0";

    const QString lookupBroken = QStringLiteral("! 会员查询接口异常，请检查接口配置是否正确或网络是否正常");
    QTest::newRow("lookup: found, msg ignored") << lookup(R"({"code":"0","msg":"失败","meta":{"data":{"cardNo":"M001"}}})") << "card M001";
    QTest::newRow("lookup: code 200, numeric card") << lookup(R"({"code":200,"meta":{"data":{"cardNo":13800138000}}})") << "card 13800138000";
    QTest::newRow("lookup: empty code, empty card") << lookup(R"({"code":"","meta":{"data":{"cardNo":""}}})") << "card ";
    QTest::newRow("lookup: not json") << lookup("timeout") << lookupBroken;
    QTest::newRow("lookup: empty object") << lookup("{}") << lookupBroken;
    QTest::newRow("lookup: array") << lookup("[]") << "! 会员查询接口返回信息解析失败";
    QTest::newRow("lookup: no code") << lookup(R"({"meta":{"data":{"cardNo":"M"}}})") << "! 会员查询接口返回，缺少节点code";
    QTest::newRow("lookup: refused as a fraction") << lookup(R"({"code":1.0})") << "! 会员查询接口失败";
    QTest::newRow("lookup: refused with msg") << lookup(R"({"code":1,"msg":"会员不存在"})") << "! 会员查询接口失败，会员不存在";
    QTest::newRow("lookup: data at top level") << lookup(R"({"code":"0","data":{"cardNo":"M"}})") << "! 会员查询接口返回，缺少节点meta";
    QTest::newRow("lookup: no card") << lookup(R"({"code":"0","meta":{"data":{"vipId":"9"}}})") << "! 会员查询接口返回，缺少节点cardNo";

    QTest::newRow("consume: code 0") << consume(R"({"code":"0"})") << "ok 批量核销接口调用|成功";
    QTest::newRow("consume: any code but 1") << consume(R"({"code":"01","msg":"ok"})") << "ok 批量核销接口调用|成功";
    QTest::newRow("consume: refused with msg") << consume(R"({"code":1,"msg":"券已使用"})")
                                               << "! 批量券核销接口返回失败券已使用 批量券核销接口返回错误|券已使用";
    QTest::newRow("consume: refused without msg") << consume(R"({"code":"1"})") << "! 批量券核销接口返回失败 ";
    // Any other failure of the envelope reads as for the coupon lists.
    QTest::newRow("consume: no code") << consume(R"({"msg":"成功"})") << missing + "code ";

    const QString cancelMissing = QStringLiteral("! 线下交易券撤销接口返回，缺少节点");
    QTest::newRow("cancel: two coupons") << cancel(R"({"code":"0","msg":"撤销成功","meta":{"data":[{"certiInfoCode":"C001",)"
                                                   R"("consumeAmount":"10.00"},{"certiInfoCode":"C002","consumeAmount":5.5}]}})")
                                         << "ok C001=10.00 C002=5.5";
    // Coupons read before a faulty entry stay: the server did cancel them.
    QTest::newRow("cancel: second incomplete") << cancel(R"({"code":"0","meta":{"data":[{"certiInfoCode":"C001","consumeAmount":"10.00"},)"
                                                         R"({"certiInfoCode":"C002"},{"certiInfoCode":"C003","consumeAmount":"1.00"}]}})")
                                               << cancelMissing + "consumeAmount C001=10.00";
    QTest::newRow("cancel: entry not object") << cancel(R"({"code":"0","meta":{"data":["C001"]}})") << cancelMissing + "certiInfoCode";
    QTest::newRow("cancel: data not array") << cancel(R"({"code":"0","meta":{"data":{"certiInfoCode":"C1","consumeAmount":"1"}}})") << "ok";
    QTest::newRow("cancel: refused with msg") << cancel(R"({"code":"1","msg":"券已撤销"})") << "! 线下交易券撤销接口失败，券已撤销";
    QTest::newRow("cancel: refused without msg") << cancel(R"({"code":1})") << "! 线下交易券撤销接口失败";
    QTest::newRow("cancel: no code") << cancel(R"({"meta":{"data":[]}})") << cancelMissing + "code";
    QTest::newRow("cancel: no data") << cancel(R"({"code":"0","meta":{"list":[]}})") << cancelMissing + "data";
    QTest::newRow("cancel: not json") << cancel("502 Bad Gateway") << "! 线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常";
    QTest::newRow("cancel: array") << cancel(R"([{"code":"0"}])") << "! 线下交易券撤销接口返回信息解析失败";
    QTest::newRow("cancel fuzz: repeated data, last wins") << cancel(R"({"code":"0","meta":{"data":[{"certiInfoCode":"A","consumeAmount":1}],)"
                                                                     R"("data":[{"certiInfoCode":"B","consumeAmount":"2.50"}]}})")
                                                           << "ok B=2.50";
}

void tst_Replies::replyBecomesOutcome()
{
    QFETCH(QString, actual);
    QTEST(actual, "expected");
}

void tst_Replies::unavailableCouponsHiddenOnlyInFirstList_data()
{
    QTest::addColumn<Gateway::CouponListMode>("mode");
    QTest::addColumn<QString>("showType");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QString>("done");     // the log's "完成<mode>-<show type>"
    const QStringList all{"C001", "C002", "C003", "C004"};
    QTest::newRow("first list hides") << Gateway::CouponListMode::Member << "0" << QStringList{"C001", "C003"} << "完成0-0";
    QTest::newRow("first list shows") << Gateway::CouponListMode::Member << "1" << all << "完成0-1";
    QTest::newRow("first list no setting") << Gateway::CouponListMode::Member << "" << all << "完成0-";
    QTest::newRow("select list keeps") << Gateway::CouponListMode::Selection << "0" << all << "完成1-0";
}

void tst_Replies::unavailableCouponsHiddenOnlyInFirstList()
{
    QFETCH(Gateway::CouponListMode, mode);
    QFETCH(QString, showType);
    QFETCH(QStringList, codes);
    QFETCH(QString, done);
    const Gateway::CouponListReply parsed = Gateway::parseCouponListReply(mode, fullList(), showType);
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QStringList shown;
    for (const VipCouponDetail &coupon : parsed.coupons)
        shown << coupon.certiInfoCode;
    QCOMPARE(shown, codes);
    QCOMPARE(text(parsed.log), QStringLiteral("certilist解析|开始 / certiList.size|4 / certilist解析|%1 / 获取会员名下券成功，券列表长度为：|%2"
                                              " / 获取会员名下券成功，不可用券号为：|C002 C004 ").arg(done).arg(codes.size()));
}

void tst_Replies::couponListReadsEveryField()
{
    const Gateway::CouponListReply parsed = Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, fullList(), "1");
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QStringList coupons;
    for (const VipCouponDetail &coupon : parsed.coupons)
        coupons << fields(coupon);
    QCOMPARE(coupons, (QStringList{
        "|9001|C001|满100减10|1|2|31|代金券|10.00|0|0|10|10.00|2026-01-01|2026-12-31|全场通用|V77|13800138000|100|0|1|1|1|0|"
        "[1|P1|S1|6901|牛奶|2|60.00|60.00|K1|01|B1|BR1|6.00|6.00|100|54.00][2|P2|S2|||||||||||0||]",
        "|9002|C002|生日券|||||||||||||||||||0||未满足门槛",
        "|9003|C003||||||5||||4.5||||||||||1||",
        "|9004|C004||||||||||||||||||||0||"}));
    // A goods line keeps its share at two decimals (0.005 rounds up, 0.001 and -0.004 do not
    // count); every pay line but the last comes from the reply, the last carries the discounts.
    QStringList goods;
    for (const GoodDetail &good : parsed.goods)
        goods << good.index + QLatin1Char('=') + good.apportionAmount;
    QCOMPARE(goods, (QStringList{"1=0.50", "7=-1.2", "8=0.005"}));
    QStringList pays;
    for (const CouponPayDetail &pay : parsed.pays)
        pays << QStringList{pay.payTotal, pay.certiInfoId, pay.certiInfoCode, pay.certiInfoName}.join(QLatin1Char('|'));
    QCOMPARE(pays, (QStringList{"10.00|9001|C001|满100减10", "0.00||YHQ|"}));
}

void tst_Replies::cancelledCouponCarriesCodeAndAmount()
{
    const Gateway::CancelReply parsed = Gateway::parseCancelReply(
        QStringLiteral(R"({"code":"0","meta":{"data":[{"certiInfoCode":"C001","consumeAmount":"10.00","certiInfoName":"满100减10"}]}})"));
    QCOMPARE(parsed.cancelled.size(), 1);
    // The name in the reply is not taken over, and the coupon counts as shared by amount.
    QCOMPARE(fields(parsed.cancelled[0]), QStringLiteral("||C001||||||||||10.00|||||||1|||||"));
}

QTEST_GUILESS_MAIN(tst_Replies)
#include "tst_replies.moc"
