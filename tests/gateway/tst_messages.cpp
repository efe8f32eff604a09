#include <QtTest>

#include "gateway/replies.h"
#include "gateway/requests.h"
#include "helpers/testsupport.h"
#include "records/discounts.h"

using namespace Gateway;
using Pays = QList<TranPayDetail>;
Q_DECLARE_METATYPE(EnvelopeState)
Q_DECLARE_METATYPE(DscDetail)
Q_DECLARE_METATYPE(LogLine)
Q_DECLARE_METATYPE(TranPayDetail)

namespace {
DscDetail dsc(const QString &probillno, const QString &protype)
{
    return DscDetail {{}, {}, {}, {}, {}, probillno, {}, protype, {}, {}};
}

TranMainDetail saleHeader()
{
    return TranMainDetail {{},      {}, {},  "M1", "V9",   {},          {}, {},     {},     {},     "A01", "S200",
                           "88.50", {}, "0", "0",  "B100", "C001;C002", {}, "S100", "B050", "S199", {}};
}

QList<VipCouponDetail> selectedCoupons()
{
    VipCouponDetail first, second;
    first.certiInfoCode = "C001";
    first.certiInfoId = "9001";
    first.realCertiMe = "10.00";
    first.certiMe = "12.00";
    first.goodsList = {
        {"1", "P1", "S1", "6901", "牛奶", "2", "60.00", "58.00", "K1", "01", "B1", "BR1", "", "6.00", "", "52.00"},
        {"2", "", "S9", "", "", "", "", "", "", "", "", "", "", "4.00", "", ""}};
    second.index = "3";
    second.certiInfoCode = "C002";
    second.realCertiMe = "5";
    return {first, second};
}

QString fields(const VipCouponDetail &c)
{
    QString goods;
    for (const auto &g : c.goodsList)
        goods += '['
            + QStringList({g.index, g.outPluId, g.pluId, g.pluCode, g.pluName, g.transCount, g.shouldTotal,
                           g.actualAmount, g.shopClsId, g.shopClsCode, g.brandId, g.brandCode, g.apportionAmountAllType,
                           g.apportionAmount, g.thresholdAmount, g.unPayAmount})
                  .join('|')
            + ']';
    const QStringList head({c.index, c.certiInfoId, c.certiInfoCode, c.certiInfoName, c.certiInfoStatus, c.certiType,
                            c.certiTypeId, c.certiTypeName, c.certiMe, c.certiMeType, c.certiMeMin, c.certiMeMax,
                            c.realCertiMe}),
        tail({c.bgndate, c.enddate, c.depict, c.vipId, c.vipCode, c.minConsume, c.apportionType, c.consumeCountLimit,
              c.crossTypeUse, c.availableFlag, c.checkFlag, c.unAvailableRemark});
    return (head + tail).join('|') + goods;
}

CouponListReply fullList(CouponListMode mode, const QString &showType)
{
    return parseCouponListReply(mode, QString::fromUtf8(TestSupport::fixture("gateway/couponlist-full.json")),
                                showType);
}
}

class tst_Messages : public QObject
{
    Q_OBJECT
private slots:
    void signing()
    {
        const ParamSet params {{"vipCode", "x=y"}, {"orgCode", "A&B"}, {"name", "会员"}, {"Z", "1"}};
        const auto query = signQuery(params);
        QCOMPARE(query.paramText, "Z=1&name=会员&orgCode=A&B&vipCode=x=y");
        QCOMPARE(query.signature, "69e1eeab60cf34d84de8744b4369c3b6");
        QCOMPARE(signFormBody(params).body,
                 "Z=1&name=%E4%BC%9A%E5%91%98&orgCode=A%26B&sign=69e1eeab60cf34d84de8744b4369c3b6&vipCode=x%3Dy");
    }

    void discountFlags_data()
    {
        QTest::addColumn<QList<DscDetail>>("discounts");
        QTest::addColumn<bool>("promotion");
        QTest::addColumn<LogLine>("promotionLog");
        QTest::addColumn<bool>("memberPrice");
        QTest::addColumn<LogLine>("memberPriceLog");
        const QString yes = "本单存在促销";
        QTest::newRow("skipped bills, TWZQ exact")
            << QList<DscDetail> {dsc("0000", "95"), dsc("2222", "01"), dsc("3333", "TWZQ"), dsc("3333", "twzq")} << true
            << LogLine {yes, "m_probillno：3333,m_protype:twzq"} << false
            << LogLine {"本单不存在会员优惠价格", "优惠数量：4"};
        QTest::newRow("first counting line")
            << QList<DscDetail> {dsc("0000", "1"), dsc("1111", "94"), dsc("9999", "7"), dsc("3333", " 94")} << true
            << LogLine {yes, "m_probillno：9999,m_protype:7"} << true
            << LogLine {"本单存在会员优惠价格", "促销类型：94"};
    }

    void discountFlags()
    {
        QFETCH(QList<DscDetail>, discounts);
        LogLine promotion, memberPrice;
        QTEST(Records::hasPromotion(discounts, promotion), "promotion");
        QTEST(promotion, "promotionLog");
        QTEST(Records::hasMemberPrice(discounts, memberPrice), "memberPrice");
        QTEST(memberPrice, "memberPriceLog");
    }

    void requestBodies()
    {
        const PluDetail milk {"P1", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "1", {}, {}, "2", {}, "58.00", "60.00", {}};
        const PluDetail returned {"P2", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "2", {}, {}, "-1", {}, "-3", "-3", {}};
        CouponQueryInput input {CouponListMode::Selection,
                                saleHeader(),
                                {milk, returned},
                                {{"01", "20.00", {}, "E1"}},
                                selectedCoupons(),
                                "1",
                                "3",
                                true,
                                true};
        const QByteArray expected = TestSupport::fixture("gateway/couponquery-selection.json").trimmed();
        QCOMPARE(jsonToString(couponQueryBody(input)).toUtf8(), expected);
        input.mode = CouponListMode::Member;
        QJsonObject member = QJsonDocument::fromJson(expected).object();
        member.remove("selectCertiItemList");
        QCOMPARE(couponQueryBody(input), member);

        PluDetail milkLine;
        milkLine.DepId = "D1";
        milkLine.Dep = "01";
        milkLine.DepName = "食品";
        QCOMPARE(batchConsumeParams(saleHeader(), selectedCoupons(), {{"P1", milkLine}}),
                 (ParamSet {{"actualAmount", "88.50"},
                            {"bizBillNo", "B100"},
                            {"orgCode", "A01"},
                            {"saleNo", "S200"},
                            {"vipInfoId", "V9"},
                            {"ywType", "0"},
                            {"certiList", TestSupport::fixture("gateway/consume-certilist.json").trimmed()}}));

        QCOMPARE(returnParams(saleHeader(), {"Q1", "10.00", "C005;", "E77"}),
                 (ParamSet {{"code", "[\"C005\",\"\"]"},
                            {"orgCode", "A01"},
                            {"origBizBillNo", "B050"},
                            {"origSaleNo", "E77"},
                            {"vipInfoId", "V9"}}));
    }

    void planRefund_data()
    {
        QTest::addColumn<QString>("ssTotal");
        QTest::addColumn<QString>("trAmt");
        QTest::addColumn<Pays>("payR");
        QTest::addColumn<Pays>("payNowR");
        QTest::addColumn<QStringList>("refunded");
        QTest::addColumn<QString>("message");
        const TranPayDetail c1 {"Q1", "10.00", "C1", ""};
        QTest::newRow("no original lines")
            << "10.00"
            << "1000" << Pays() << Pays {c1} << QStringList() << "非原单退货不允许进行退券操作";
        QTest::newRow("sum one cent over") << "10.00"
                                           << "1000" << Pays {{"01", "6.01", "X1", ""}, {"Q1", "4.00", "C1", ""}}
                                           << Pays() << QStringList() << "部分退货时不允许进行退券操作";
        QTest::newRow("limit per line") << "16.01"
                                        << "600"
                                        << Pays {{"01", "4.00", "X1", ""},
                                                 {"Q1", "6.01", "C1", ""},
                                                 {"Q1", "6.00", "C2", ""},
                                                 {"Q1", "abc", "C3", ""}}
                                        << Pays() << QStringList {"6.00", "C2", ""} << "";
        QTest::newRow("within tolerance") << "10.00"
                                          << "1000" << Pays {c1} << Pays {{"Q1", "10.05", "C1", ""}} << QStringList()
                                          << "无可退的券或券退款金额录入不正确";
        // A refund pairs one line of its coupon, searched from the start again.
        QTest::newRow("pairing") << "13.00"
                                 << "1000"
                                 << Pays {{"Q1", "5.00", "C1", "A"},
                                          {"Q1", "3.00", "C2", ""},
                                          {"Q1", "5.00", "C1", "B"}}
                                 << Pays {{"Q1", "3.00", "C9", ""},
                                          {"01", "5.00", "C1", ""},
                                          {"Q1", "3.00", "C2", ""},
                                          {"Q1", "5.00", "C1", ""}}
                                 << QStringList {"5.00", "C1", "B"} << "";
    }

    void planRefund()
    {
        QFETCH(Pays, payR);
        QFETCH(Pays, payNowR);
        QFETCH(QString, ssTotal);
        QFETCH(QString, trAmt);
        TranMainDetail head;
        head.SsTotal = ssTotal;
        head.tr_amt = trAmt;
        head.pay_code = "Q1";
        const RefundPlan plan = Gateway::planRefund(head, payR, payNowR);
        const TranPayDetail &r = plan.refunded;
        QTEST((plan.ok ? QStringList {r.payTotal, r.payNo, r.extPayNo} : QStringList()), "refunded");
        QTEST(plan.message, "message");
    }

    // Fuzz findings: Qt's reader keeps the last of two equal keys.
    void readEnvelope_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<EnvelopeState>("state");
        QTest::newRow("empty object") << "{}" << EnvelopeState::NoAnswer;
        QTest::newRow("array") << R"([{"code":"0"}])" << EnvelopeState::NotObject;
        QTest::newRow("refused as a fraction") << R"({"code":1.0})" << EnvelopeState::Refused;
        QTest::newRow("any code but 1") << R"({"code":"01"})" << EnvelopeState::Accepted;
        QTest::newRow("key repeated") << R"({"code":"1","code":"0"})" << EnvelopeState::NoAnswer;
        QTest::newRow("repeated deep down")
            << R"({"code":"0","meta":{"data":[{"a":[1],"a":[2]}]}})" << EnvelopeState::NoAnswer;
        QTest::newRow("repeated once escaped") << R"({"code":"1","c\u006fde":"0"})" << EnvelopeState::NoAnswer;
        QTest::newRow("same key in two objects") << R"({"code":"1","meta":{"code":"0"}})" << EnvelopeState::Refused;
    }

    void readEnvelope()
    {
        QFETCH(QString, reply);
        QTEST(Gateway::readEnvelope(reply).state, "state");
    }

    void parseCouponListReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("items");
        QTest::newRow("no code") << R"({"meta":{}})"
                                 << "解析会员名下券接口返回，缺少节点code" << QStringList();
        QTest::newRow("refused") << R"({"code":"1","msg":"会员不存在"})"
                                 << "会员不存在" << QStringList();
        QTest::newRow("zero shares")
            << R"({"code":0,"meta":{"data":{"certiList":[{"certiInfoCode":"C001"}],"payList":[],)"
               R"("goodsList":[{"apportionAmount":"0.00"},{"apportionAmount":"-0.001"}]}}})"
            << "" << QStringList {"C001"};
    }

    void parseCouponListReply()
    {
        QFETCH(QString, reply);
        const CouponListReply r = Gateway::parseCouponListReply(CouponListMode::Selection, reply, "1");
        QStringList items;
        for (const auto &c : r.coupons)
            items << c.certiInfoCode;
        for (const auto &g : r.goods)
            items << g.index;
        for (const auto &p : r.pays)
            items << p.certiInfoCode;
        QCOMPARE(r.ok, r.message.isEmpty());
        QTEST(r.message, "message");
        QTEST(items, "items");
    }

    // Coupons read before a faulty entry stay: the server did cancel them.
    void cancelReply()
    {
        const CancelReply r = parseCancelReply(
            R"({"code":"0","meta":{"data":[{"certiInfoCode":"C001","certiInfoName":"满100减10","consumeAmount":5.5},)"
            R"({"certiInfoCode":"C002"},{"certiInfoCode":"C003","consumeAmount":"1.00"}]}})");
        QCOMPARE(r.ok ? QString() : r.message, "线下交易券撤销接口返回，缺少节点consumeAmount");
        QCOMPARE(r.cancelled.size(), 1);
        const auto &c = r.cancelled[0];
        QCOMPARE(c.certiInfoCode + '=' + c.realCertiMe + ' ' + c.apportionType + c.certiInfoName, "C001=5.5 1");
    }

    void couponListReadsEveryField()
    {
        const CouponListReply parsed = fullList(CouponListMode::Selection, "0");
        QStringList coupons;
        for (const auto &c : parsed.coupons)
            coupons << fields(c);
        QStringList hidden;
        for (const auto &c : fullList(CouponListMode::Member, "0").coupons)
            hidden << c.certiInfoCode;
        QCOMPARE(hidden, (QStringList {"C001", "C003"}));
        QCOMPARE(fullList(CouponListMode::Member, "").coupons.size(), 4);
        QCOMPARE(
            coupons,
            (QStringList {"|9001|C001|满100减10|1|2|31|代金券|10.00|0|0|10|10.00|2026-01-01|2026-12-31|全场通用|V77|"
                          "13800138000|100|0|1|1|1|0|"
                          "[1|P1|S1|6901|牛奶|2|60.00|60.00|K1|01|B1|BR1|6.00|6.00|100|54.00][2|P2|S2|||||||||||0||]",
                          "|9002|C002|生日券|||||||||||||||||||0||未满足门槛", "|9003|C003||||||5||||4.5||||||||||1||",
                          "|9004|C004||||||||||||||||||||0||"}));
        QStringList goods;
        for (const auto &g : parsed.goods)
            goods << g.index + '=' + g.apportionAmount;
        QCOMPARE(goods, (QStringList {"1=0.50", "7=-1.2", "8=0.005"}));
        QStringList pays;
        for (const auto &p : parsed.pays)
            pays << QStringList {p.payTotal, p.certiInfoId, p.certiInfoCode, p.certiInfoName}.join('|');
        QCOMPARE(pays, (QStringList {"10.00|9001|C001|满100减10", "0.00||YHQ|"}));
    }
};
QTEST_GUILESS_MAIN(tst_Messages)
#include "tst_messages.moc"
