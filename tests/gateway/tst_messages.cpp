// What the till sends (signatures, request bodies and parameters, which payment a return gives back) and what it makes
// of the server's answers. Digests were worked out with md5sum over "<signed text>&key=<signing key>". Rows marked
// "fuzz" are inputs the fuzz targets (fuzz/) turned up: a repeated key keeps its last value in Qt's parser.
#include <QtTest>

#include "gateway/replies.h"
#include "gateway/requests.h"
#include "helpers/testsupport.h"
#include "records/discounts.h"

using namespace Gateway;
using Pays = QList<TranPayDetail>;
Q_DECLARE_METATYPE(CouponListMode)
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
    // Fields in declaration order, teller_no to VipCouponNoCanShowType. Only the computed promotion flags are sent,
    // never the header's own ("0" here).
    return TranMainDetail {{},      {}, {},  "M1", "V9",   {},          {}, {},     {},     {},     "A01", "S200",
                           "88.50", {}, "0", "0",  "B100", "C001;C002", {}, "S100", "B050", "S199", {}};
}

QList<VipCouponDetail> selectedCoupons()
{
    // Fields in declaration order: index, outPluId, pluId, pluCode, pluName, transCount, shouldTotal, actualAmount,
    // shopClsId, shopClsCode, brandId, brandCode, apportionAmountAllType, apportionAmount, thresholdAmount,
    // unPayAmount.
    const GoodDetail milk {"1",  "P1", "S1", "6901", "牛奶", "2",    "60.00", "58.00",
                           "K1", "01", "B1", "BR1",  "",     "6.00", "",      "52.00"};
    const GoodDetail unknown {"2", "", "S9", "", "", "", "", "", "", "", "", "", "", "4.00", "", ""};
    VipCouponDetail first;
    first.certiInfoCode = ("C001");
    first.certiInfoId = ("9001");
    first.realCertiMe = ("10.00");
    first.certiMe = ("12.00");
    first.goodsList = {milk, unknown};
    VipCouponDetail second;
    second.index = ("3");
    second.certiInfoCode = ("C002");
    second.realCertiMe = ("5");
    return {first, second};
}

QString fields(const VipCouponDetail &c)
{
    QString goods;
    for (const GoodDetail &g : c.goodsList)
        goods += '['
            + QStringList {g.index,
                           g.outPluId,
                           g.pluId,
                           g.pluCode,
                           g.pluName,
                           g.transCount,
                           g.shouldTotal,
                           g.actualAmount,
                           g.shopClsId,
                           g.shopClsCode,
                           g.brandId,
                           g.brandCode,
                           g.apportionAmountAllType,
                           g.apportionAmount,
                           g.thresholdAmount,
                           g.unPayAmount}
                  .join('|')
            + ']';
    return QStringList {c.index,
                        c.certiInfoId,
                        c.certiInfoCode,
                        c.certiInfoName,
                        c.certiInfoStatus,
                        c.certiType,
                        c.certiTypeId,
                        c.certiTypeName,
                        c.certiMe,
                        c.certiMeType,
                        c.certiMeMin,
                        c.certiMeMax,
                        c.realCertiMe,
                        c.bgndate,
                        c.enddate,
                        c.depict,
                        c.vipId,
                        c.vipCode,
                        c.minConsume,
                        c.apportionType,
                        c.consumeCountLimit,
                        c.crossTypeUse,
                        c.availableFlag,
                        c.checkFlag,
                        c.unAvailableRemark}
               .join('|')
        + goods;
}

QString fullList()
{
    return QString::fromUtf8(TestSupport::fixture("gateway/couponlist-full.json"));
}
}

class tst_Messages : public QObject
{
    Q_OBJECT
private slots:
    void signing_data()
    {
        QTest::addColumn<ParamSet>("params");
        QTest::addColumn<QString>("paramText"); // the query form: signed text in the URL
        QTest::addColumn<QString>("signature");
        QTest::addColumn<QString>("body"); // the form body of the same fields
        // Nothing to sign: the query form still puts "&" before the key, the form body does not.
        QTest::newRow("all values empty") << ParamSet {{"orgCode", ""}, {"vipCode", ""}} << ""
                                          << "005c4fbc89872c4b686adc816798095e"
                                          << "orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipCode=";
        QTest::newRow("separators and chinese")
            << ParamSet {{"vipCode", "x=y"}, {"orgCode", "A&B"}, {"name", "会员"}}
            << "name=会员&orgCode=A&B&vipCode=x=y"
            << "e860203d951dc98636875092148aeb4f"
            << "name=%E4%BC%9A%E5%91%98&orgCode=A%26B&sign=e860203d951dc98636875092148aeb4f&vipCode=x%3Dy";
        QTest::newRow("upper-case key first")
            << ParamSet {{"vipInfoId", "9"}, {"bizType", "0"}, {"OrgCode", "A01"}}
            << "OrgCode=A01&bizType=0&vipInfoId=9"
            << "5ece5efa333c8cc7bb92e661bfa5653b"
            << "OrgCode=A01&bizType=0&sign=5ece5efa333c8cc7bb92e661bfa5653b&vipInfoId=9";
    }

    // signQuery and signFormBody over the same fields.
    void signing()
    {
        QFETCH(ParamSet, params);
        QTEST(signQuery(params).paramText, "paramText");
        QTEST(signQuery(params).signature, "signature");
        QTEST(signFormBody(params).body, "body");
    }

    void jsonToString()
    {
        const QJsonObject object {{"b", QJsonArray {QJsonObject {{"z", ""}, {"y", 1}}, "会员"}},
                                  {"a", QString::fromLatin1("x\0y", 3)},
                                  {"B", true}};
        QCOMPARE(Gateway::jsonToString(object),
                 "{\"B\":true,\"a\":\"x\\u0000y\",\"b\":[{\"y\":1,\"z\":\"\"},\"会员\"]}");
    }

    void discountFlags_data()
    {
        QTest::addColumn<QList<DscDetail>>("discounts");
        QTest::addColumn<bool>("promotion");
        QTest::addColumn<LogLine>("promotionLog");
        QTest::addColumn<bool>("memberPrice");
        QTest::addColumn<LogLine>("memberPriceLog");
        const QString none = "本单不存在促销", noMember = "本单不存在会员优惠价格", yes = "本单存在促销";
        QTest::newRow("no discounts") << QList<DscDetail>() << false << LogLine {none, "优惠数量：0"} << false
                                      << LogLine {noMember, "优惠数量：0"};
        QTest::newRow("1111 member price")
            << QList<DscDetail> {dsc("1111", "94")} << false << LogLine {none, "优惠数量：1"} << true
            << LogLine {"本单存在会员优惠价格", "促销类型：94"};
        QTest::newRow("0000 and 2222 never, 3333 TWZQ case matters")
            << QList<DscDetail> {dsc("0000", "95"), dsc("2222", "01"), dsc("3333", "TWZQ"), dsc("3333", "twzq")} << true
            << LogLine {yes, "m_probillno：3333,m_protype:twzq"} << false << LogLine {noMember, "优惠数量：4"};
        QTest::newRow("first counting line")
            << QList<DscDetail> {dsc("0000", "1"), dsc("1111", "94"), dsc("9999", "7"), dsc("3333", " 94")} << true
            << LogLine {yes, "m_probillno：9999,m_protype:7"} << true
            << LogLine {"本单存在会员优惠价格", "促销类型：94"};
    }

    // Records::hasPromotion and Records::hasMemberPrice over the same lines.
    void discountFlags()
    {
        QFETCH(QList<DscDetail>, discounts);
        LogLine promotion, memberPrice;
        QTEST(Records::hasPromotion(discounts, promotion), "promotion");
        QTEST(promotion, "promotionLog");
        QTEST(Records::hasMemberPrice(discounts, memberPrice), "memberPrice");
        QTEST(memberPrice, "memberPriceLog");
    }

    // Only the computed promotion flags are sent; the selection goes with the second list only.
    void couponQueryBody()
    {
        // PluDetail fields: PI, PC, PName, BC, ClsCode, BrandCode, Dep, DepId, DepName, SHP, PgN, SeN, PFsPrint, Price,
        // SC, Unit, ST, YS.
        const PluDetail milk {"P1", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "1", {}, {}, "2", {}, "58.00", "60.00", {}};
        const PluDetail returned {"P2", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "2", {}, {}, "-1", {}, "-3", "-3", {}};
        CouponQueryInput input {CouponListMode::Selection,
                                saleHeader(),
                                {milk, returned},
                                {TranPayDetail {"01", "20.00", {}, "E1"}},
                                selectedCoupons(),
                                "1",
                                "3",
                                true,
                                true};
        const QByteArray expected = TestSupport::fixture("gateway/couponquery-selection.json").trimmed();
        QCOMPARE(Gateway::jsonToString(Gateway::couponQueryBody(input)).toUtf8(), expected);
        input.mode = CouponListMode::Member;
        QJsonObject member = QJsonDocument::fromJson(expected).object();
        member.remove("selectCertiItemList");
        QCOMPARE(Gateway::couponQueryBody(input), member);
    }

    void signParams()
    {
        QCOMPARE(couponQuerySignParams(saleHeader()), (ParamSet {{"orgCode", "A01"}, {"vipCode", "M1"}}));
        // An empty organisation still travels in the member lookup's body, but is not signed.
        TranMainDetail noOrg = saleHeader();
        noOrg.OrgCode.clear();
        QCOMPARE(Gateway::jsonToString(vipInfoBody(noOrg)),
                 "{\"bizType\":\"0\",\"orgCode\":\"\",\"vipInfoId\":\"V9\"}");
        QCOMPARE(signQuery(vipInfoSignParams(noOrg)).paramText, "bizType=0&vipInfoId=V9");
    }

    void batchConsumeParams()
    {
        PluDetail milkLine;
        milkLine.DepId = "D1";
        milkLine.Dep = "01";
        milkLine.DepName = "食品";
        // The second goods line has no department in the index: its fields go out empty.
        const ParamSet params = Gateway::batchConsumeParams(saleHeader(), selectedCoupons(), {{"P1", milkLine}});
        QCOMPARE(params,
                 (ParamSet {{"actualAmount", "88.50"},
                            {"bizBillNo", "B100"},
                            {"orgCode", "A01"},
                            {"saleNo", "S200"},
                            {"vipInfoId", "V9"},
                            {"ywType", "0"},
                            {"certiList", TestSupport::fixture("gateway/consume-certilist.json").trimmed()}}));
    }

    // The return's origSaleNo is the payment line's external number when it has one; the header's otherwise
    // (tests/e2e).
    void returnParams()
    {
        QCOMPARE(Gateway::returnParams(saleHeader(), TranPayDetail {"Q1", "10.00", "C005;", "E77"}),
                 (ParamSet {{"code", "[\"C005\",\"\"]"},
                            {"orgCode", "A01"},
                            {"origBizBillNo", "B050"},
                            {"origSaleNo", "E77"},
                            {"vipInfoId", "V9"}}));
    }

    void planRefund_data()
    {
        QTest::addColumn<QString>("ssTotal");
        QTest::addColumn<QString>("trAmt"); // the limit, in hundredths
        QTest::addColumn<Pays>("payR"); // the sale's payment lines
        QTest::addColumn<Pays>("payNowR"); // refunds already made
        QTest::addColumn<QStringList>("refunded"); // payCode, payTotal, payNo, extPayNo; empty: refused
        QTest::addColumn<QString>("message");
        QTest::addColumn<LogLines>("log");
        const QString w = "口碑券待退款券号：", d = "口碑券已经退款券号：",
                      nothingLeft = "无可退的券或券退款金额录入不正确";
        const QString partial = "部分退货时不允许进行退券操作";
        const TranPayDetail c1 {"Q1", "10.00", "C1", ""};
        QTest::newRow("no original lines")
            << "10.00"
            << "1000" << Pays() << Pays {c1} << QStringList() << "非原单退货不允许进行退券操作" << LogLines();
        QTest::newRow("sum one cent over")
            << "10.00"
            << "1000" << Pays {{"01", "6.01", "X1", ""}, {"Q1", "4.00", "C1", ""}} << Pays() << QStringList() << partial
            << LogLines {{"1说明不是整单的全部退货", "10.01"}, {"2说明不是整单的全部退货", "10"}};
        QTest::newRow("partial, total in short form")
            << "-123.456789"
            << "-12346" << Pays {{"Q1", "100", "C1", ""}} << Pays() << QStringList() << partial
            << LogLines {{"1说明不是整单的全部退货", "100.00"}, {"2说明不是整单的全部退货", "123.457"}};
        QTest::newRow("limit below payment")
            << "12.00"
            << "1000" << Pays {{"Q1", "12.00", "C1", ""}} << Pays() << QStringList() << nothingLeft << LogLines();
        QTest::newRow("other methods only")
            << "10.00"
            << "1000" << Pays {{"01", "10.00", "X1", ""}} << Pays() << QStringList() << nothingLeft << LogLines();
        QTest::newRow("limit per line") << "12.00"
                                        << "600" << Pays {{"Q1", "6.00", "C1", ""}, {"Q1", "6.00", "C2", ""}} << Pays()
                                        << QStringList {"Q1", "6.00", "C1", ""} << ""
                                        << LogLines {{w, "C1"}, {w, "C2"}};
        QTest::newRow("refunded within tolerance") << "10.00"
                                                   << "1000" << Pays {c1} << Pays {{"Q1", "10.05", "C1", ""}}
                                                   << QStringList() << nothingLeft << LogLines {{w, "C1"}, {d, "C1"}};
        QTest::newRow("refund of another coupon or method")
            << "10.00"
            << "1000" << Pays {c1} << Pays {{"Q1", "10.00", "C9", ""}, {"01", "10.00", "C1", ""}}
            << QStringList {"Q1", "10.00", "C1", ""} << "" << LogLines {{w, "C1"}, {d, "C9"}};
        QTest::newRow("pairing restarts at same index")
            << "10.00"
            << "1000" << Pays {{"Q1", "5.00", "C1", ""}, {"Q1", "3.00", "C2", ""}, {"Q1", "2.00", "C3", "E3"}}
            << Pays {{"Q1", "3.00", "C2", ""}, {"Q1", "5.00", "C1", ""}} << QStringList {"Q1", "2.00", "C3", "E3"} << ""
            << LogLines {{w, "C1"}, {w, "C2"}, {w, "C3"}, {d, "C2"}, {d, "C1"}};
        QTest::newRow("one refund pairs one line")
            << "10.00"
            << "1000" << Pays {{"Q1", "5.00", "C1", "A"}, {"Q1", "5.00", "C1", "B"}} << Pays {{"Q1", "5.00", "C1", ""}}
            << QStringList {"Q1", "5.00", "C1", "B"} << "" << LogLines {{w, "C1"}, {w, "C1"}, {d, "C1"}};
        QTest::newRow("unreadable amount counts zero")
            << "10.00"
            << "1000" << Pays {{"Q1", "abc", "C1", ""}, {"01", "10.00", "X1", ""}} << Pays()
            << QStringList {"Q1", "abc", "C1", ""} << "" << LogLines {{w, "C1"}};
    }

    void planRefund()
    {
        QFETCH(QString, ssTotal);
        QFETCH(QString, trAmt);
        QFETCH(Pays, payR);
        QFETCH(Pays, payNowR);
        QFETCH(QStringList, refunded);
        TranMainDetail head;
        head.txn_type = "VOID";
        head.SsTotal = ssTotal;
        head.tr_amt = trAmt;
        head.pay_code = "Q1";
        const RefundPlan plan = Gateway::planRefund(head, payR, payNowR);
        const TranPayDetail &r = plan.refunded;
        QCOMPARE(plan.ok, !refunded.isEmpty());
        if (plan.ok)
            QCOMPARE((QStringList {r.payCode, r.payTotal, r.payNo, r.extPayNo}), refunded);
        else
            QTEST(plan.message, "message");
        QTEST(plan.log, "log");
    }

    void jsonText()
    {
        QCOMPARE(Gateway::jsonText(13800138000.0), "13800138000");
        QCOMPARE(Gateway::jsonText(-0.004), "-0.004");
        QCOMPARE(Gateway::jsonText(true) + Gateway::jsonText(QJsonValue::Null)
                     + Gateway::jsonText(QJsonObject {{"a", "b"}}),
                 "");
    }

    void readEnvelope_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<EnvelopeState>("state");
        QTest::addColumn<QString>("msg");
        QTest::newRow("not json") << "Bad Gateway" << EnvelopeState::NoAnswer << "";
        QTest::newRow("empty object") << "{}" << EnvelopeState::NoAnswer << "";
        QTest::newRow("array") << "[{\"code\":\"0\"}]" << EnvelopeState::NotObject << "";
        QTest::newRow("no code") << R"({"meta":{},"msg":"成功"})" << EnvelopeState::MissingCode << "成功";
        QTest::newRow("refused") << R"({"code":"1","msg":"会员不存在"})" << EnvelopeState::Refused << "会员不存在";
        QTest::newRow("refused as a fraction") << R"({"code":1.0})" << EnvelopeState::Refused << "";
        QTest::newRow("any code but 1") << R"({"code":"01","msg":"ok"})" << EnvelopeState::Accepted << "ok";
        // The reader keeps the last of two equal keys (and leaks the first): no answer of the API.
        QTest::newRow("key repeated") << R"({"code":"1","msg":"券已使用","code":"0"})" << EnvelopeState::NoAnswer << "";
        QTest::newRow("repeated deep down") << R"({"code":"0","meta":{"data":[{"a":[1],"a":[2]}]}})"
                                            << EnvelopeState::NoAnswer << "";
        QTest::newRow("repeated once escaped") << R"({"code":"1","c\u006fde":"0"})" << EnvelopeState::NoAnswer << "";
        QTest::newRow("same key in two objects") << R"({"code":"1","meta":{"code":"0"}})" << EnvelopeState::Refused << "";
    }

    void readEnvelope()
    {
        QFETCH(QString, reply);
        const Envelope envelope = Gateway::readEnvelope(reply);
        QTEST(envelope.state, "state");
        QTEST(envelope.msg, "msg");
    }

    void parseCouponListReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<int>>("counts"); // coupons, goods of the first coupon, goods carrying a share, pay lines
        QTest::addColumn<LogLines>("log"); // of a failure
        const QString missing = "解析会员名下券接口返回，缺少节点";
        const QString refusal = "进行券查询接口解析失败，错误详情";
        const QList<int> none {0, 0, 0, 0};
        QTest::newRow("not json") << "Bad Gateway" << false << "接口异常，请检查接口配置是否正确或网络是否正常" << none
                                  << LogLines();
        QTest::newRow("no code") << R"({"meta":{}})" << false << missing + "code" << none << LogLines();
        QTest::newRow("refused") << R"({"code":"1","msg":"会员不存在"})" << false << "会员不存在" << none
                                 << LogLines {{refusal, "会员不存在"}};
        QTest::newRow("bare") << R"({"code":"0","meta":{"data":{"certiList":[]}}})" << true << "" << none << LogLines();
        // Shares that round to zero leave no goods line and so no "YHQ" pay line either.
        QTest::newRow("zero shares")
            << R"({"code":0,"meta":{"data":{"certiList":[{"certiInfoCode":"C001"}],"payList":[],)"
               R"("goodsList":[{"apportionAmount":"0.00"},{"apportionAmount":"-0.001"}]}}})"
            << true << "" << QList<int> {1, 0, 0, 0} << LogLines();
    }

    void parseCouponListReply()
    {
        QFETCH(QString, reply);
        const CouponListReply r = Gateway::parseCouponListReply(CouponListMode::Selection, reply, "1");
        QTEST(r.ok, "ok");
        QTEST(r.message, "message");
        QTEST((QList<int> {r.coupons.size(), r.coupons.isEmpty() ? 0 : r.coupons[0].goodsList.size(), r.goods.size(),
                           r.pays.size()}),
              "counts");
        if (!r.ok)
            QTEST(r.log, "log");
    }

    void parseVipInfoReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("cardNo");
        const QString missing = "会员查询接口返回，缺少节点";
        QTest::newRow("found, msg ignored")
            << R"({"code":"0","msg":"失败","meta":{"data":{"cardNo":"M001"}}})" << true << ""
            << "M001";
        QTest::newRow("numeric card") << R"({"code":200,"meta":{"data":{"cardNo":13800138000}}})" << true << ""
                                      << "13800138000";
        QTest::newRow("not json") << "timeout" << false << "会员查询接口异常，请检查接口配置是否正确或网络是否正常"
                                  << "";
        QTest::newRow("no code") << R"({"meta":{"data":{"cardNo":"M"}}})" << false << missing + "code"
                                 << "";
        QTest::newRow("refused with msg")
            << R"({"code":1,"msg":"会员不存在"})" << false << "会员查询接口失败，会员不存在"
            << "";
        QTest::newRow("no card") << R"({"code":"0","meta":{"data":{"vipId":"9"}}})" << false << missing + "cardNo"
                                 << "";
    }

    void parseVipInfoReply()
    {
        QFETCH(QString, reply);
        const VipInfoReply r = Gateway::parseVipInfoReply(reply);
        QTEST(r.ok, "ok");
        QTEST(r.message, "message");
        QTEST(r.cardNo, "cardNo");
    }

    void parseBatchConsumeReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<LogLines>("log");
        QTest::newRow("accepted") << R"({"code":"0"})" << true << "" << LogLines {{"批量核销接口调用", "成功"}};
        QTest::newRow("refused with msg")
            << R"({"code":1,"msg":"券已使用"})" << false << "批量券核销接口返回失败券已使用"
            << LogLines {{"批量券核销接口返回错误", "券已使用"}};
        QTest::newRow("refused without msg") << R"({"code":"1"})" << false << "批量券核销接口返回失败" << LogLines();
        // Any other failure of the envelope reads as for the coupon lists.
        QTest::newRow("no code") << R"({"msg":"成功"})" << false << "解析会员名下券接口返回，缺少节点code"
                                 << LogLines();
    }

    void parseBatchConsumeReply()
    {
        QFETCH(QString, reply);
        const ConsumeReply r = Gateway::parseBatchConsumeReply(reply);
        QTEST(r.ok, "ok");
        QTEST(r.message, "message");
        QTEST(r.log, "log");
    }

    void parseCancelReply_data()
    {
        QTest::addColumn<QString>("reply");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("codes"); // given back
        QTest::addColumn<QStringList>("amounts");
        const QString missing = "线下交易券撤销接口返回，缺少节点";
        // The name in the reply is not taken over, and a coupon given back counts as shared by amount.
        QTest::newRow("two coupons")
            << R"({"code":"0","msg":"撤销成功","meta":{"data":[{"certiInfoCode":"C001","certiInfoName":"满100减10",)"
               R"("consumeAmount":"10.00"},{"certiInfoCode":"C002","consumeAmount":5.5}]}})"
            << true << "" << QStringList {"C001", "C002"} << QStringList {"10.00", "5.5"};
        // Coupons read before a faulty entry stay: the server did cancel them.
        QTest::newRow("second incomplete")
            << R"({"code":"0","meta":{"data":[{"certiInfoCode":"C001","consumeAmount":"10.00"},{"certiInfoCode":"C002"},)"
               R"({"certiInfoCode":"C003","consumeAmount":"1.00"}]}})"
            << false << missing + "consumeAmount" << QStringList {"C001"} << QStringList {"10.00"};
        QTest::newRow("entry not object") << R"({"code":"0","meta":{"data":["C001"]}})" << false
                                          << missing + "certiInfoCode" << QStringList() << QStringList();
        QTest::newRow("data not array") << R"({"code":"0","meta":{"data":{"certiInfoCode":"C1","consumeAmount":"1"}}})"
                                        << true << "" << QStringList() << QStringList();
        QTest::newRow("refused with msg") << R"({"code":"1","msg":"券已撤销"})" << false
                                          << "线下交易券撤销接口失败，券已撤销" << QStringList() << QStringList();
        QTest::newRow("not json") << "502 Bad Gateway" << false
                                  << "线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常" << QStringList()
                                  << QStringList();
    }

    void parseCancelReply()
    {
        QFETCH(QString, reply);
        const CancelReply r = Gateway::parseCancelReply(reply);
        QStringList codes, amounts;
        for (const VipCouponDetail &c : r.cancelled) {
            codes << c.certiInfoCode;
            amounts << c.realCertiMe;
            QCOMPARE(c.apportionType + c.certiInfoName, "1");
        }
        QTEST(r.ok, "ok");
        QTEST(r.message, "message");
        QTEST(codes, "codes");
        QTEST(amounts, "amounts");
    }

    void unavailableCouponsHiddenOnlyInFirstList_data()
    {
        QTest::addColumn<CouponListMode>("mode");
        QTest::addColumn<QString>("showType");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("done"); // the log's "完成<mode>-<show type>"
        const QStringList all {"C001", "C002", "C003", "C004"};
        QTest::newRow("first list hides") << CouponListMode::Member << "0" << QStringList {"C001", "C003"} << "完成0-0";
        QTest::newRow("first list no setting") << CouponListMode::Member << "" << all << "完成0-";
        QTest::newRow("select list keeps") << CouponListMode::Selection << "0" << all << "完成1-0";
    }

    void unavailableCouponsHiddenOnlyInFirstList()
    {
        QFETCH(CouponListMode, mode);
        QFETCH(QString, showType);
        QFETCH(QStringList, codes);
        QFETCH(QString, done);
        const CouponListReply parsed = Gateway::parseCouponListReply(mode, fullList(), showType);
        QVERIFY2(parsed.ok, qPrintable(parsed.message));
        QStringList shown;
        for (const VipCouponDetail &coupon : parsed.coupons)
            shown << coupon.certiInfoCode;
        QCOMPARE(shown, codes);
        QCOMPARE(parsed.log,
                 (LogLines {{"certilist解析", "开始"},
                            {"certiList.size", "4"},
                            {"certilist解析", done},
                            {"获取会员名下券成功，券列表长度为：", QString::number(codes.size())},
                            {"获取会员名下券成功，不可用券号为：", "C002 C004 "}}));
    }

    void couponListReadsEveryField()
    {
        const CouponListReply parsed = Gateway::parseCouponListReply(CouponListMode::Selection, fullList(), "1");
        QVERIFY2(parsed.ok, qPrintable(parsed.message));
        QStringList coupons;
        for (const VipCouponDetail &coupon : parsed.coupons)
            coupons << fields(coupon);
        QCOMPARE(
            coupons,
            (QStringList {"|9001|C001|满100减10|1|2|31|代金券|10.00|0|0|10|10.00|2026-01-01|2026-12-31|全场通用|V77|"
                          "13800138000|100|0|1|1|1|0|"
                          "[1|P1|S1|6901|牛奶|2|60.00|60.00|K1|01|B1|BR1|6.00|6.00|100|54.00][2|P2|S2|||||||||||0||]",
                          "|9002|C002|生日券|||||||||||||||||||0||未满足门槛", "|9003|C003||||||5||||4.5||||||||||1||",
                          "|9004|C004||||||||||||||||||||0||"}));
        // A goods line keeps its share at two decimals (0.005 rounds up, 0.001 and -0.004 do not count); every pay line
        // but the last comes from the reply, the last carries the discounts.
        QStringList goods;
        for (const GoodDetail &good : parsed.goods)
            goods << good.index + '=' + good.apportionAmount;
        QCOMPARE(goods, (QStringList {"1=0.50", "7=-1.2", "8=0.005"}));
        QStringList pays;
        for (const CouponPayDetail &pay : parsed.pays)
            pays << QStringList {pay.payTotal, pay.certiInfoId, pay.certiInfoCode, pay.certiInfoName}.join('|');
        QCOMPARE(pays, (QStringList {"10.00|9001|C001|满100减10", "0.00||YHQ|"}));
    }
};
QTEST_GUILESS_MAIN(tst_Messages)
#include "tst_messages.moc"
