#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include "gateway/replies.h"
#include "support/testsupport.h"

using Gateway::EnvelopeState;

Q_DECLARE_METATYPE(Gateway::EnvelopeState)

namespace {

QString reply(const char *relativePath)
{
    return QString::fromUtf8(TestSupport::fixture(QStringLiteral("gateway/") + QLatin1String(relativePath)));
}

// "function|text", so a failing comparison prints both lists readably.
QStringList lines(const LogLines &log)
{
    QStringList result;
    for (const LogLine &line : log)
        result << line.function + QLatin1Char('|') + line.text;
    return result;
}

QStringList couponCodes(const QList<VipCouponDetail> &coupons)
{
    QStringList codes;
    for (const VipCouponDetail &coupon : coupons)
        codes << coupon.certiInfoCode;
    return codes;
}

const QString noAnswer = QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常");
const QString notObject = QStringLiteral("解析会员名下券接口返回，返回信息解析失败");
const QString noCode = QStringLiteral("解析会员名下券接口返回，缺少节点code");

}

class tst_Replies : public QObject
{
    Q_OBJECT
private slots:
    void jsonValuesReadAsText_data();
    void jsonValuesReadAsText();
    void envelopeClassifiesReplies_data();
    void envelopeClassifiesReplies();

    void couponListFailuresCarryTheirMessage_data();
    void couponListFailuresCarryTheirMessage();
    void unavailableCouponsHiddenOnlyInFirstList_data();
    void unavailableCouponsHiddenOnlyInFirstList();
    void couponFieldsReadAsText();
    void goodsWithoutShareDropped();
    void bareCouponListSucceeds();
    void zeroSharesAddNoCouponPayLine();

    void vipInfoReply_data();
    void vipInfoReply();

    void batchConsumeReply_data();
    void batchConsumeReply();

    void cancelReply_data();
    void cancelReply();
    void cancelledCouponCarriesOnlyCodeAndAmount();
};

void tst_Replies::jsonValuesReadAsText_data()
{
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("string") << QJsonValue(QStringLiteral("10.00")) << QStringLiteral("10.00");
    QTest::newRow("empty string") << QJsonValue(QString()) << QString();
    QTest::newRow("integer") << QJsonValue(1) << QStringLiteral("1");
    QTest::newRow("zero") << QJsonValue(0) << QStringLiteral("0");
    QTest::newRow("negative") << QJsonValue(-12) << QStringLiteral("-12");
    QTest::newRow("card number") << QJsonValue(13800138000.0) << QStringLiteral("13800138000");
    QTest::newRow("fraction") << QJsonValue(4.5) << QStringLiteral("4.5");
    QTest::newRow("small fraction") << QJsonValue(-0.004) << QStringLiteral("-0.004");
    QTest::newRow("bool") << QJsonValue(true) << QString();
    QTest::newRow("null") << QJsonValue(QJsonValue::Null) << QString();
    QTest::newRow("missing") << QJsonValue(QJsonValue::Undefined) << QString();
    QTest::newRow("object") << QJsonValue(QJsonObject{{"a", "b"}}) << QString();
}

void tst_Replies::jsonValuesReadAsText()
{
    QFETCH(QJsonValue, value);
    QFETCH(QString, text);
    QCOMPARE(Gateway::jsonText(value), text);
}

void tst_Replies::envelopeClassifiesReplies_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<EnvelopeState>("state");
    QTest::addColumn<bool>("hasMsg");
    QTest::addColumn<QString>("msg");
    QTest::newRow("empty text") << QString() << EnvelopeState::NoAnswer << false << QString();
    QTest::newRow("html") << QStringLiteral("<html>502</html>") << EnvelopeState::NoAnswer << false << QString();
    QTest::newRow("truncated") << QStringLiteral("{\"code\":\"0\"") << EnvelopeState::NoAnswer << false << QString();
    QTest::newRow("empty object") << QStringLiteral("{}") << EnvelopeState::NoAnswer << false << QString();
    QTest::newRow("array") << QStringLiteral("[]") << EnvelopeState::NotObject << false << QString();
    QTest::newRow("no code") << QStringLiteral("{\"msg\":\"x\"}") << EnvelopeState::MissingCode << true << QStringLiteral("x");
    QTest::newRow("refused text") << QStringLiteral("{\"code\":\"1\",\"msg\":\"拒绝\"}") << EnvelopeState::Refused << true << QStringLiteral("拒绝");
    QTest::newRow("refused number") << QStringLiteral("{\"code\":1}") << EnvelopeState::Refused << false << QString();
    QTest::newRow("refused fraction one") << QStringLiteral("{\"code\":1.0}") << EnvelopeState::Refused << false << QString();
    QTest::newRow("code zero") << QStringLiteral("{\"code\":\"0\",\"msg\":\"\"}") << EnvelopeState::Accepted << true << QString();
    QTest::newRow("code 200") << QStringLiteral("{\"code\":200}") << EnvelopeState::Accepted << false << QString();
    QTest::newRow("code empty") << QStringLiteral("{\"code\":\"\"}") << EnvelopeState::Accepted << false << QString();
    QTest::newRow("code 01") << QStringLiteral("{\"code\":\"01\"}") << EnvelopeState::Accepted << false << QString();
}

void tst_Replies::envelopeClassifiesReplies()
{
    QFETCH(QString, reply);
    QFETCH(EnvelopeState, state);
    QFETCH(bool, hasMsg);
    QFETCH(QString, msg);
    const Gateway::Envelope envelope = Gateway::readEnvelope(reply);
    QCOMPARE(envelope.state, state);
    QCOMPARE(envelope.hasMsg, hasMsg);
    QCOMPARE(envelope.msg, msg);
}

void tst_Replies::couponListFailuresCarryTheirMessage_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QStringList>("log");
    QTest::newRow("empty text") << QString() << noAnswer << QStringList();
    QTest::newRow("not json") << QStringLiteral("Bad Gateway") << noAnswer << QStringList();
    QTest::newRow("empty object") << QStringLiteral("{}") << noAnswer << QStringList();
    QTest::newRow("array") << QStringLiteral("[{\"code\":\"0\"}]") << notObject << QStringList();
    QTest::newRow("no code") << QStringLiteral("{\"meta\":{}}") << noCode << QStringList();
    QTest::newRow("refused with msg")
        << QStringLiteral("{\"code\":\"1\",\"msg\":\"会员不存在\"}") << QStringLiteral("会员不存在")
        << QStringList{QStringLiteral("进行券查询接口解析失败，错误详情|会员不存在")};
    QTest::newRow("refused only code")
        << QStringLiteral("{\"code\":\"1\"}") << QString()
        << QStringList{QStringLiteral("进行券查询接口解析失败，错误详情|")};
    QTest::newRow("refused numeric code")
        << QStringLiteral("{\"code\":1,\"msg\":\"停用\",\"meta\":{\"data\":{\"certiList\":[]}}}") << QStringLiteral("停用")
        << QStringList{QStringLiteral("进行券查询接口解析失败，错误详情|停用")};
    QTest::newRow("data at top level")
        << QStringLiteral("{\"code\":\"0\",\"data\":{\"certiList\":[]}}")
        << QStringLiteral("解析会员名下券接口返回，缺少节点meta") << QStringList();
    QTest::newRow("empty meta")
        << QStringLiteral("{\"code\":\"0\",\"meta\":{}}")
        << QStringLiteral("解析会员名下券接口返回，缺少节点data") << QStringList();
    QTest::newRow("meta not object")
        << QStringLiteral("{\"code\":\"0\",\"meta\":\"data\"}")
        << QStringLiteral("解析会员名下券接口返回，缺少节点data") << QStringList();
    QTest::newRow("no certiList")
        << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":{\"goodsList\":[]}}}")
        << QStringLiteral("解析会员名下券接口返回，缺少节点certiList") << QStringList();
}

void tst_Replies::couponListFailuresCarryTheirMessage()
{
    QFETCH(QString, reply);
    QFETCH(QString, error);
    QFETCH(QStringList, log);
    for (Gateway::CouponListMode mode : {Gateway::CouponListMode::Member, Gateway::CouponListMode::Selection}) {
        const Gateway::CouponListReply parsed = Gateway::parseCouponListReply(mode, reply, QStringLiteral("0"));
        QVERIFY(!parsed.ok);
        QCOMPARE(parsed.message, error);
        QCOMPARE(lines(parsed.log), log);
        QVERIFY(parsed.coupons.isEmpty());
        QVERIFY(parsed.pays.isEmpty());
        QVERIFY(parsed.goods.isEmpty());
    }
}

void tst_Replies::unavailableCouponsHiddenOnlyInFirstList_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("showType");
    QTest::addColumn<QStringList>("codes");
    QTest::addColumn<QStringList>("log");
    const QStringList all{"C001", "C002", "C003", "C004"};
    QTest::newRow("first list hides")
        << 0 << QStringLiteral("0") << QStringList{"C001", "C003"}
        << QStringList{QStringLiteral("certilist解析|开始"), QStringLiteral("certiList.size|4"),
                       QStringLiteral("certilist解析|完成0-0"), QStringLiteral("获取会员名下券成功，券列表长度为：|2"),
                       QStringLiteral("获取会员名下券成功，不可用券号为：|C002 C004 ")};
    QTest::newRow("first list shows")
        << 0 << QStringLiteral("1") << all
        << QStringList{QStringLiteral("certilist解析|开始"), QStringLiteral("certiList.size|4"),
                       QStringLiteral("certilist解析|完成0-1"), QStringLiteral("获取会员名下券成功，券列表长度为：|4"),
                       QStringLiteral("获取会员名下券成功，不可用券号为：|C002 C004 ")};
    QTest::newRow("first list no setting")
        << 0 << QString() << all
        << QStringList{QStringLiteral("certilist解析|开始"), QStringLiteral("certiList.size|4"),
                       QStringLiteral("certilist解析|完成0-"), QStringLiteral("获取会员名下券成功，券列表长度为：|4"),
                       QStringLiteral("获取会员名下券成功，不可用券号为：|C002 C004 ")};
    QTest::newRow("select list keeps")
        << 1 << QStringLiteral("0") << all
        << QStringList{QStringLiteral("certilist解析|开始"), QStringLiteral("certiList.size|4"),
                       QStringLiteral("certilist解析|完成1-0"), QStringLiteral("获取会员名下券成功，券列表长度为：|4"),
                       QStringLiteral("获取会员名下券成功，不可用券号为：|C002 C004 ")};
}

void tst_Replies::unavailableCouponsHiddenOnlyInFirstList()
{
    QFETCH(int, mode);
    QFETCH(QString, showType);
    QFETCH(QStringList, codes);
    QFETCH(QStringList, log);
    const Gateway::CouponListReply parsed = Gateway::parseCouponListReply(Gateway::CouponListMode(mode), reply("couponlist-full.json"), showType);
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QCOMPARE(parsed.message, QString());
    QCOMPARE(couponCodes(parsed.coupons), codes);
    QCOMPARE(lines(parsed.log), log);
}

void tst_Replies::couponFieldsReadAsText()
{
    const Gateway::CouponListReply parsed =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, reply("couponlist-full.json"), QStringLiteral("1"));
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QCOMPARE(parsed.coupons.size(), 4);

    const VipCouponDetail &c = parsed.coupons.at(0);
    QCOMPARE(c.index, QString());
    QCOMPARE(c.certiInfoId, QStringLiteral("9001"));
    QCOMPARE(c.certiInfoCode, QStringLiteral("C001"));
    QCOMPARE(c.certiInfoName, QStringLiteral("满100减10"));
    QCOMPARE(c.certiInfoStatus, QStringLiteral("1"));
    QCOMPARE(c.certiType, QStringLiteral("2"));
    QCOMPARE(c.certiTypeId, QStringLiteral("31"));
    QCOMPARE(c.certiTypeName, QStringLiteral("代金券"));
    QCOMPARE(c.certiMe, QStringLiteral("10.00"));
    QCOMPARE(c.certiMeType, QStringLiteral("0"));
    QCOMPARE(c.certiMeMin, QStringLiteral("0"));
    QCOMPARE(c.certiMeMax, QStringLiteral("10"));
    QCOMPARE(c.realCertiMe, QStringLiteral("10.00"));
    QCOMPARE(c.bgndate, QStringLiteral("2026-01-01"));
    QCOMPARE(c.enddate, QStringLiteral("2026-12-31"));
    QCOMPARE(c.depict, QStringLiteral("全场通用"));
    QCOMPARE(c.vipId, QStringLiteral("V77"));
    QCOMPARE(c.vipCode, QStringLiteral("13800138000"));
    QCOMPARE(c.minConsume, QStringLiteral("100"));
    QCOMPARE(c.apportionType, QStringLiteral("0"));
    QCOMPARE(c.consumeCountLimit, QStringLiteral("1"));
    QCOMPARE(c.crossTypeUse, QStringLiteral("1"));
    QCOMPARE(c.availableFlag, QStringLiteral("1"));
    QCOMPARE(c.checkFlag, QStringLiteral("0"));
    QCOMPARE(c.unAvailableRemark, QString());

    // A coupon keeps every goods line, even one without a share.
    QCOMPARE(c.goodsList.size(), 2);
    const GoodDetail &g = c.goodsList.at(0);
    QCOMPARE(g.index, QStringLiteral("1"));
    QCOMPARE(g.outPluId, QStringLiteral("P1"));
    QCOMPARE(g.pluId, QStringLiteral("S1"));
    QCOMPARE(g.pluCode, QStringLiteral("6901"));
    QCOMPARE(g.pluName, QStringLiteral("牛奶"));
    QCOMPARE(g.transCount, QStringLiteral("2"));
    QCOMPARE(g.shouldTotal, QStringLiteral("60.00"));
    QCOMPARE(g.actualAmount, QStringLiteral("60.00"));
    QCOMPARE(g.shopClsId, QStringLiteral("K1"));
    QCOMPARE(g.shopClsCode, QStringLiteral("01"));
    QCOMPARE(g.brandId, QStringLiteral("B1"));
    QCOMPARE(g.brandCode, QStringLiteral("BR1"));
    QCOMPARE(g.apportionAmountAllType, QStringLiteral("6.00"));
    QCOMPARE(g.apportionAmount, QStringLiteral("6.00"));
    QCOMPARE(g.thresholdAmount, QStringLiteral("100"));
    QCOMPARE(g.unPayAmount, QStringLiteral("54.00"));
    QCOMPARE(c.goodsList.at(1).apportionAmount, QStringLiteral("0"));
    QCOMPARE(c.goodsList.at(1).pluName, QString());

    QCOMPARE(parsed.coupons.at(1).unAvailableRemark, QStringLiteral("未满足门槛"));
    QVERIFY(parsed.coupons.at(1).goodsList.isEmpty());
    // Numbers in the reply become their decimal text.
    QCOMPARE(parsed.coupons.at(2).certiInfoId, QStringLiteral("9003"));
    QCOMPARE(parsed.coupons.at(2).certiMe, QStringLiteral("5"));
    QCOMPARE(parsed.coupons.at(2).realCertiMe, QStringLiteral("4.5"));
    QCOMPARE(parsed.coupons.at(2).availableFlag, QStringLiteral("1"));
    QCOMPARE(parsed.coupons.at(3).availableFlag, QStringLiteral("0"));

    QCOMPARE(parsed.pays.size(), 2);
    QCOMPARE(parsed.pays.at(0).payTotal, QStringLiteral("10.00"));
    QCOMPARE(parsed.pays.at(0).certiInfoId, QStringLiteral("9001"));
    QCOMPARE(parsed.pays.at(0).certiInfoCode, QStringLiteral("C001"));
    QCOMPARE(parsed.pays.at(0).certiInfoName, QStringLiteral("满100减10"));
}

void tst_Replies::goodsWithoutShareDropped()
{
    const Gateway::CouponListReply parsed =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Member, reply("couponlist-full.json"), QStringLiteral("1"));
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QStringList kept;
    for (const GoodDetail &good : parsed.goods)
        kept << good.index + QLatin1Char('=') + good.apportionAmount;
    // 0.001, -0.004, empty, missing and "abc" carry no share at two decimals; 0.005 rounds up.
    QCOMPARE(kept, (QStringList{"1=0.50", "7=-1.2", "8=0.005"}));
    QCOMPARE(parsed.goods.at(0).outPluId, QStringLiteral("P1"));
    QCOMPARE(parsed.goods.at(0).pluId, QStringLiteral("S1"));

    QCOMPARE(parsed.pays.size(), 2);
    const CouponPayDetail &last = parsed.pays.last();
    QCOMPARE(last.payTotal, QStringLiteral("0.00"));
    QCOMPARE(last.certiInfoId, QString());
    QCOMPARE(last.certiInfoCode, QStringLiteral("YHQ"));
    QCOMPARE(last.certiInfoName, QString());
}

void tst_Replies::bareCouponListSucceeds()
{
    const Gateway::CouponListReply parsed =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Member, reply("couponlist-bare.json"), QStringLiteral("0"));
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QVERIFY(parsed.coupons.isEmpty());
    QVERIFY(parsed.pays.isEmpty());
    QVERIFY(parsed.goods.isEmpty());
    QCOMPARE(lines(parsed.log),
             (QStringList{QStringLiteral("certilist解析|开始"), QStringLiteral("certiList.size|0"),
                          QStringLiteral("certilist解析|完成0-0"), QStringLiteral("获取会员名下券成功，券列表长度为：|0"),
                          QStringLiteral("获取会员名下券成功，不可用券号为：|")}));
}

void tst_Replies::zeroSharesAddNoCouponPayLine()
{
    const Gateway::CouponListReply parsed =
        Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, reply("couponlist-zero-shares.json"), QStringLiteral("0"));
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QCOMPARE(couponCodes(parsed.coupons), QStringList{"C001"});
    QVERIFY(parsed.goods.isEmpty());
    QVERIFY(parsed.pays.isEmpty());
}

void tst_Replies::vipInfoReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("cardNo");
    QTest::newRow("found")
        << QStringLiteral("{\"code\":\"0\",\"msg\":\"失败\",\"meta\":{\"data\":{\"cardNo\":\"M001\"}}}")
        << true << QString() << QStringLiteral("M001");
    QTest::newRow("code 200")
        << QStringLiteral("{\"code\":\"200\",\"meta\":{\"data\":{\"cardNo\":\"M002\",\"name\":\"张三\"}}}")
        << true << QString() << QStringLiteral("M002");
    QTest::newRow("numeric card")
        << QStringLiteral("{\"code\":0,\"meta\":{\"data\":{\"cardNo\":13800138000}}}")
        << true << QString() << QStringLiteral("13800138000");
    QTest::newRow("empty card")
        << QStringLiteral("{\"code\":0,\"meta\":{\"data\":{\"cardNo\":\"\"}}}")
        << true << QString() << QString();
    QTest::newRow("not json") << QStringLiteral("timeout") << false
        << QStringLiteral("会员查询接口异常，请检查接口配置是否正确或网络是否正常") << QString();
    QTest::newRow("empty object") << QStringLiteral("{}") << false
        << QStringLiteral("会员查询接口异常，请检查接口配置是否正确或网络是否正常") << QString();
    QTest::newRow("array") << QStringLiteral("[]") << false
        << QStringLiteral("会员查询接口返回信息解析失败") << QString();
    QTest::newRow("no code") << QStringLiteral("{\"meta\":{\"data\":{\"cardNo\":\"M\"}}}") << false
        << QStringLiteral("会员查询接口返回，缺少节点code") << QString();
    QTest::newRow("refused without msg") << QStringLiteral("{\"code\":\"1\"}") << false
        << QStringLiteral("会员查询接口失败") << QString();
    QTest::newRow("refused with msg") << QStringLiteral("{\"code\":1,\"msg\":\"会员不存在\"}") << false
        << QStringLiteral("会员查询接口失败，会员不存在") << QString();
    QTest::newRow("data at top level")
        << QStringLiteral("{\"code\":\"0\",\"data\":{\"cardNo\":\"M\"}}") << false
        << QStringLiteral("会员查询接口返回，缺少节点meta") << QString();
    QTest::newRow("empty meta") << QStringLiteral("{\"code\":\"0\",\"meta\":{}}") << false
        << QStringLiteral("会员查询接口返回，缺少节点data") << QString();
    QTest::newRow("no card") << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":{\"vipId\":\"9\"}}}") << false
        << QStringLiteral("会员查询接口返回，缺少节点cardNo") << QString();
}

void tst_Replies::vipInfoReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    QFETCH(QString, cardNo);
    const Gateway::VipInfoReply parsed = Gateway::parseVipInfoReply(reply);
    QCOMPARE(parsed.ok, ok);
    QCOMPARE(parsed.message, error);
    QCOMPARE(parsed.cardNo, cardNo);
}

void tst_Replies::batchConsumeReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("log");
    const QStringList accepted{QStringLiteral("批量核销接口调用|成功")};
    QTest::newRow("code 0") << QStringLiteral("{\"code\":\"0\"}") << true << QString() << accepted;
    QTest::newRow("code 200") << QStringLiteral("{\"code\":\"200\",\"msg\":\"ok\"}") << true << QString() << accepted;
    QTest::newRow("code empty") << QStringLiteral("{\"code\":\"\"}") << true << QString() << accepted;
    QTest::newRow("refused number with msg")
        << QStringLiteral("{\"code\":1,\"msg\":\"券已使用\"}") << false
        << QStringLiteral("批量券核销接口返回失败券已使用")
        << QStringList{QStringLiteral("批量券核销接口返回错误|券已使用")};
    QTest::newRow("refused without msg")
        << QStringLiteral("{\"code\":\"1\"}") << false << QStringLiteral("批量券核销接口返回失败") << QStringList();
    QTest::newRow("empty object") << QStringLiteral("{}") << false << noAnswer << QStringList();
    QTest::newRow("not json") << QStringLiteral("<html/>") << false << noAnswer << QStringList();
    QTest::newRow("empty text") << QString() << false << noAnswer << QStringList();
    QTest::newRow("array") << QStringLiteral("[]") << false << notObject << QStringList();
    QTest::newRow("no code") << QStringLiteral("{\"msg\":\"成功\"}") << false << noCode << QStringList();
}

void tst_Replies::batchConsumeReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QStringList, log);
    const Gateway::ConsumeReply parsed = Gateway::parseBatchConsumeReply(reply);
    QCOMPARE(parsed.ok, ok);
    QCOMPARE(parsed.message, message);
    QCOMPARE(lines(parsed.log), log);
}

void tst_Replies::cancelReply_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("cancelled");   // certiInfoCode=realCertiMe
    QTest::newRow("two coupons") << reply("cancel-two.json") << true << QString()
        << QStringList{"C001=10.00", "C002=5.5"};
    QTest::newRow("second incomplete") << reply("cancel-second-incomplete.json") << false
        << QStringLiteral("线下交易券撤销接口返回，缺少节点consumeAmount") << QStringList{"C001=10.00"};
    QTest::newRow("first without code")
        << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":[{\"consumeAmount\":\"1\"}]}}") << false
        << QStringLiteral("线下交易券撤销接口返回，缺少节点certiInfoCode") << QStringList();
    QTest::newRow("entry not object")
        << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":[\"C001\"]}}") << false
        << QStringLiteral("线下交易券撤销接口返回，缺少节点certiInfoCode") << QStringList();
    QTest::newRow("empty data") << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":[]}}") << true
        << QString() << QStringList();
    QTest::newRow("data not array")
        << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":{\"certiInfoCode\":\"C1\",\"consumeAmount\":\"1\"}}}")
        << true << QString() << QStringList();
    QTest::newRow("data null") << QStringLiteral("{\"code\":\"0\",\"meta\":{\"data\":null}}") << true
        << QString() << QStringList();
    QTest::newRow("refused with msg") << QStringLiteral("{\"code\":\"1\",\"msg\":\"券已撤销\"}") << false
        << QStringLiteral("线下交易券撤销接口失败，券已撤销") << QStringList();
    QTest::newRow("refused without msg") << QStringLiteral("{\"code\":1}") << false
        << QStringLiteral("线下交易券撤销接口失败") << QStringList();
    QTest::newRow("no code") << QStringLiteral("{\"meta\":{\"data\":[]}}") << false
        << QStringLiteral("线下交易券撤销接口返回，缺少节点code") << QStringList();
    QTest::newRow("no meta") << QStringLiteral("{\"code\":\"0\",\"data\":[]}") << false
        << QStringLiteral("线下交易券撤销接口返回，缺少节点meta") << QStringList();
    QTest::newRow("no data") << QStringLiteral("{\"code\":\"0\",\"meta\":{\"list\":[]}}") << false
        << QStringLiteral("线下交易券撤销接口返回，缺少节点data") << QStringList();
    QTest::newRow("empty object") << QStringLiteral("{}") << false
        << QStringLiteral("线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常") << QStringList();
    QTest::newRow("not json") << QStringLiteral("502 Bad Gateway") << false
        << QStringLiteral("线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常") << QStringList();
    QTest::newRow("array") << QStringLiteral("[{\"code\":\"0\"}]") << false
        << QStringLiteral("线下交易券撤销接口返回信息解析失败") << QStringList();
}

void tst_Replies::cancelReply()
{
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    QFETCH(QString, message);
    QFETCH(QStringList, cancelled);
    const Gateway::CancelReply parsed = Gateway::parseCancelReply(reply);
    QCOMPARE(parsed.ok, ok);
    QCOMPARE(parsed.message, message);
    QStringList got;
    for (const VipCouponDetail &coupon : parsed.cancelled)
        got << coupon.certiInfoCode + QLatin1Char('=') + coupon.realCertiMe;
    QCOMPARE(got, cancelled);
}

void tst_Replies::cancelledCouponCarriesOnlyCodeAndAmount()
{
    const Gateway::CancelReply parsed = Gateway::parseCancelReply(reply("cancel-two.json"));
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QCOMPARE(parsed.cancelled.size(), 2);
    const VipCouponDetail &c = parsed.cancelled.at(0);
    QCOMPARE(c.certiInfoCode, QStringLiteral("C001"));
    QCOMPARE(c.realCertiMe, QStringLiteral("10.00"));
    QCOMPARE(c.apportionType, QStringLiteral("1"));
    QCOMPARE(c.certiInfoName, QString());   // the reply has one, the record does not take it
    QCOMPARE(c.certiInfoId, QString());
    QCOMPARE(c.index, QString());
    QCOMPARE(c.certiMe, QString());
    QVERIFY(c.goodsList.isEmpty());
}

QTEST_GUILESS_MAIN(tst_Replies)
#include "tst_replies.moc"
