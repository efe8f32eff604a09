// What the till sends (signatures, request bodies and parameters, which payment a return gives back) and what it makes of the server's answers.
// Digests were worked out with md5sum over "<signed text>&key=<signing key>". Rows marked "fuzz" are inputs the fuzz targets (fuzz/) turned up: a
// repeated key keeps its last value in Qt's parser.
#include <QtTest>

#include "gateway/replies.h"
#include "gateway/requests.h"
#include "records/discounts.h"
#include "support/testsupport.h"

using Gateway::ParamSet;
Q_DECLARE_METATYPE(Gateway::CouponListMode)

namespace {
QString text(const ParamSet &params)
{
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs << it.key() + QLatin1Char('=') + it.value();
    return pairs.join(QLatin1Char(' '));
}

QString text(const LogLines &log)
{
    QStringList lines;
    for (const LogLine &line : log)
        lines << line.function + QLatin1Char('|') + line.text;
    return lines.join(QStringLiteral(" / "));
}

// Query form: the signed text in the URL and the digest; then the form body of the same fields.
QString signedForms(const ParamSet &params)
{
    const Gateway::QuerySignature query = Gateway::signQuery(params);
    return query.paramText + QStringLiteral(" | ") + query.signature + QStringLiteral(" | ") + Gateway::signFormBody(params).body;
}

// "probillno/protype" per discount line: whether each flag is set (1 or 0), and its log line.
QString flags(const QStringList &lines)
{
    QList<DscDetail> discounts;
    for (const QString &line : lines)
        discounts << DscDetail{{}, {}, {}, {}, {}, line.section('/', 0, 0), {}, line.section('/', 1), {}, {}};
    LogLine promotion;
    LogLine memberPrice;
    const bool hasPromotion = Records::hasPromotion(discounts, promotion);
    const bool hasMemberPrice = Records::hasMemberPrice(discounts, memberPrice);
    return QStringLiteral("%1 %2 / %3 %4").arg(hasPromotion).arg(text({promotion})).arg(hasMemberPrice).arg(text({memberPrice}));
}

TranMainDetail saleHeader()
{
    // Fields in declaration order, teller_no to VipCouponNoCanShowType. Only the computed promotion flags are sent, never the header's own ("0"
    // here).
    return TranMainDetail{{}, {}, {}, "M1", "V9", {}, {}, {}, {}, {}, "A01", "S200", "88.50", {}, "0", "0", "B100", "C001;C002", {},
                          "S100", "B050", "S199", {}};
}

QList<VipCouponDetail> selectedCoupons()
{
    // Fields in declaration order: index, outPluId, pluId, pluCode, pluName, transCount, shouldTotal, actualAmount, shopClsId, shopClsCode, brandId,
    // brandCode, apportionAmountAllType, apportionAmount, thresholdAmount, unPayAmount.
    const GoodDetail milk{"1", "P1", "S1", "6901", "牛奶", "2", "60.00", "58.00", "K1", "01", "B1", "BR1", "", "6.00", "", "52.00"};
    const GoodDetail unknown{"2", "", "S9", "", "", "", "", "", "", "", "", "", "", "4.00", "", ""};
    VipCouponDetail first;
    first.certiInfoCode = QStringLiteral("C001");
    first.certiInfoId = QStringLiteral("9001");
    first.realCertiMe = QStringLiteral("10.00");
    first.certiMe = QStringLiteral("12.00");
    first.goodsList = {milk, unknown};
    VipCouponDetail second;
    second.index = QStringLiteral("3");
    second.certiInfoCode = QStringLiteral("C002");
    second.realCertiMe = QStringLiteral("5");
    return {first, second};
}

QString couponQuery(Gateway::CouponListMode mode)
{
    // PluDetail fields: PI, PC, PName, BC, ClsCode, BrandCode, Dep, DepId, DepName, SHP, PgN, SeN, PFsPrint, Price, SC, Unit, ST, YS.
    const PluDetail milk{"P1", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "1", {}, {}, "2", {}, "58.00", "60.00", {}};
    const PluDetail returned{"P2", {}, {}, {}, {}, {}, {}, {}, {}, {}, {}, "2", {}, {}, "-1", {}, "-3", "-3", {}};
    const Gateway::CouponQueryInput input{mode, saleHeader(), {milk, returned}, {TranPayDetail{"01", "20.00", {}, "E1"}},
                                          selectedCoupons(), "1", "3", true, true};
    return Gateway::jsonToString(Gateway::couponQueryBody(input));
}

// "payCode,payTotal,payNo,extPayNo" per payment line; the refunded line or the message, then the log with "待" for "口碑券待退款券号：|" and "已" for
// "口碑券已经退款券号：|".
QString refund(const char *ssTotal, const char *trAmt, const QStringList &payR, const QStringList &payNowR)
{
    QList<TranPayDetail> lines[2];
    for (int list = 0; list < 2; ++list) {
        for (const QString &line : list ? payNowR : payR) {
            const QStringList f = line.split(QLatin1Char(','));
            lines[list] << TranPayDetail{f[0], f[1], f[2], f[3]};
        }
    }
    TranMainDetail head;
    head.txn_type = QStringLiteral("VOID");
    head.SsTotal = QLatin1String(ssTotal);
    head.tr_amt = QLatin1String(trAmt);
    head.pay_code = QStringLiteral("Q1");
    const Gateway::RefundPlan plan = Gateway::planRefund(head, lines[0], lines[1]);
    const TranPayDetail &r = plan.refunded;
    QString outcome = plan.ok ? QStringList{r.payCode, r.payTotal, r.payNo, r.extPayNo}.join(QLatin1Char(',')) : plan.message;
    outcome += QStringLiteral(" / ") + text(plan.log);
    return outcome.replace(QStringLiteral("口碑券待退款券号：|"), QStringLiteral("待")).replace(QStringLiteral("口碑券已经退款券号：|"), QStringLiteral("已"));
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

// Each coupon given back as "code=amount/apportionType" and any name taken over from the reply.
QString cancel(const QString &reply)
{
    const Gateway::CancelReply r = Gateway::parseCancelReply(reply);
    QString cancelled;
    for (const VipCouponDetail &c : r.cancelled)
        cancelled += QLatin1Char(' ') + c.certiInfoCode + QLatin1Char('=') + c.realCertiMe + QLatin1Char('/') + c.apportionType + c.certiInfoName;
    return (r.ok ? QStringLiteral("ok") : QStringLiteral("! ") + r.message) + cancelled;
}

QString fields(const VipCouponDetail &c)
{
    QString goods;
    for (const GoodDetail &g : c.goodsList)
        goods += QLatin1Char('[') + QStringList{g.index, g.outPluId, g.pluId, g.pluCode, g.pluName, g.transCount, g.shouldTotal,
                                               g.actualAmount, g.shopClsId, g.shopClsCode, g.brandId, g.brandCode, g.apportionAmountAllType,
                                               g.apportionAmount, g.thresholdAmount, g.unPayAmount}.join(QLatin1Char('|')) + QLatin1Char(']');
    return QStringList{c.index, c.certiInfoId, c.certiInfoCode, c.certiInfoName, c.certiInfoStatus, c.certiType, c.certiTypeId,
                       c.certiTypeName, c.certiMe, c.certiMeType, c.certiMeMin, c.certiMeMax, c.realCertiMe, c.bgndate, c.enddate,
                       c.depict, c.vipId, c.vipCode, c.minConsume, c.apportionType, c.consumeCountLimit, c.crossTypeUse,
                       c.availableFlag, c.checkFlag, c.unAvailableRemark}.join(QLatin1Char('|')) + goods;
}

QString fullList() { return QString::fromUtf8(TestSupport::fixture(QStringLiteral("gateway/couponlist-full.json"))); }
}

class tst_Messages : public QObject
{
    Q_OBJECT
private slots:
    void sentAsBuilt_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("empty value left out of the signature, sent in the form") << signedForms({{"orgCode", "A01"}, {"vipCode", ""}}) << "orgCode=A01 | cc396a1eb871e8e097ca5de54de443e2 | orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=";
        // Nothing to sign: the query form still puts "&" before the key, the form body does not.
        QTest::newRow("all values empty") << signedForms({{"orgCode", ""}, {"vipCode", ""}}) << " | 005c4fbc89872c4b686adc816798095e | orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipCode=";
        QTest::newRow("separators and chinese") << signedForms({{"vipCode", "x=y"}, {"orgCode", "A&B"}, {"name", "会员"}}) << "name=会员&orgCode=A&B&vipCode=x=y | e860203d951dc98636875092148aeb4f | name=%E4%BC%9A%E5%91%98&orgCode=A%26B&sign=e860203d951dc98636875092148aeb4f&vipCode=x%3Dy";
        QTest::newRow("only unreserved characters stay") << signedForms({{"code", "[\"A 1+/%\"]"}}) << "code=[\"A 1+/%\"] | 544a2e76b0708305c258c0e5c5ae162f | code=%5B%22A%201%2B%2F%25%22%5D&sign=544a2e76b0708305c258c0e5c5ae162f";
        QTest::newRow("upper-case key first") << signedForms({{"vipInfoId", "9"}, {"bizType", "0"}, {"OrgCode", "A01"}}) << "OrgCode=A01&bizType=0&vipInfoId=9 | 5ece5efa333c8cc7bb92e661bfa5653b | OrgCode=A01&bizType=0&sign=5ece5efa333c8cc7bb92e661bfa5653b&vipInfoId=9";
        QTest::newRow("json compact, in key order") << Gateway::jsonToString(QJsonObject{{"b", QJsonArray{QJsonObject{{"z", ""}, {"y", 1}}, "会员"}}, {"a", QString::fromLatin1("x\0y", 3)}, {"B", true}}) << "{\"B\":true,\"a\":\"x\\u0000y\",\"b\":[{\"y\":1,\"z\":\"\"},\"会员\"]}";

        const QString none = QStringLiteral("0 本单不存在促销|优惠数量：");
        const QString noMember = QStringLiteral("0 本单不存在会员优惠价格|优惠数量：");
        QTest::newRow("flags, no discounts") << flags({}) << none + "0 / " + noMember + "0";
        QTest::newRow("flags, empty bill number") << flags({"/"}) << "1 本单存在促销|m_probillno：,m_protype: / " + noMember + "1";
        QTest::newRow("flags, 1111 member price") << flags({"1111/94"}) << none + "1 / 1 本单存在会员优惠价格|促销类型：94";
        QTest::newRow("flags, 1111 type 95") << flags({"1111/95"}) << "1 本单存在促销|m_probillno：1111,m_protype:95 / " + noMember + "1";
        QTest::newRow("flags, 0000 and 2222 never, 3333 TWZQ case matters") << flags({"0000/95", "2222/01", "3333/TWZQ", "3333/twzq"}) << "1 本单存在促销|m_probillno：3333,m_protype:twzq / " + noMember + "4";
        QTest::newRow("flags, first counting line") << flags({"0000/1", "1111/94", "9999/7", "3333/ 94"}) << "1 本单存在促销|m_probillno：9999,m_protype:7 / 1 本单存在会员优惠价格|促销类型：94";

        const QString sale = QStringLiteral(
            "{\"bizBillNo\":\"B100\",\"code\":\"\",\"memPriceFlag\":1,\"optimalNum\":\"3\",\"optimalSolution\":\"1\",\"orderGoodsList\":["
            "{\"actualAmount\":\"58.00\",\"index\":\"1\",\"outPluId\":\"P1\",\"shouldTotal\":\"60.00\",\"transCount\":\"2\"},"
            "{\"actualAmount\":\"-3\",\"index\":\"2\",\"outPluId\":\"P2\",\"shouldTotal\":\"-3\",\"transCount\":\"-1\"}],\"orgCode\":\"A01\","
            "\"payList\":[{\"payCode\":\"01\",\"payNo\":\"\",\"payTotal\":\"20.00\"}],\"promFlag\":1,\"saleNo\":\"S200\",");
        QTest::newRow("member list ignores ticks") << couponQuery(Gateway::CouponListMode::Member) << sale + "\"vipCode\":\"M1\"}";
        QTest::newRow("selection with ticks") << couponQuery(Gateway::CouponListMode::Selection) << sale + "\"selectCertiItemList\":[{\"certiInfoId\":\"9001\",\"index\":\"\"},{\"certiInfoId\":\"\",\"index\":\"3\"}],\"vipCode\":\"M1\"}";
        TranMainDetail noOrg = saleHeader();
        noOrg.OrgCode.clear();
        QTest::newRow("lists sign org and member") << text(Gateway::couponQuerySignParams(saleHeader())) << "orgCode=A01 vipCode=M1";
        // An empty organisation still travels in the body, but is not signed.
        QTest::newRow("lookup body") << Gateway::jsonToString(Gateway::vipInfoBody(noOrg)) << "{\"bizType\":\"0\",\"orgCode\":\"\",\"vipInfoId\":\"V9\"}";
        QTest::newRow("lookup signs") << Gateway::signQuery(Gateway::vipInfoSignParams(noOrg)).paramText << "bizType=0&vipInfoId=V9";

        PluDetail milkLine;
        milkLine.DepId = QStringLiteral("D1");
        milkLine.Dep = QStringLiteral("01");
        milkLine.DepName = QStringLiteral("食品");
        // The second goods line has no department in the index: its fields go out empty.
        QTest::newRow("consumption") << text(Gateway::batchConsumeParams(saleHeader(), selectedCoupons(), {{QStringLiteral("P1"), milkLine}})) << "actualAmount=88.50 bizBillNo=B100 certiList=[{\"certiCode\":\"C001\",\"conSumeTotal\":\"10.00\",\"goodList\":[{\"actualAmount\":\"58.00\",\"apportionTotal\":\"6.00\",\"brandCode\":\"BR1\",\"brandId\":\"B1\",\"depCode\":\"01\",\"depId\":\"D1\",\"depName\":\"食品\",\"index\":\"1\",\"outPluId\":\"S1\",\"pluCode\":\"6901\",\"pluName\":\"牛奶\",\"shopClsCode\":\"01\",\"shopClsId\":\"K1\",\"shouldTotal\":\"60.00\",\"transCount\":\"2\",\"unPayAmount\":\"52.00\"},{\"actualAmount\":\"\",\"apportionTotal\":\"4.00\",\"brandCode\":\"\",\"brandId\":\"\",\"depCode\":\"\",\"depId\":\"\",\"depName\":\"\",\"index\":\"2\",\"outPluId\":\"S9\",\"pluCode\":\"\",\"pluName\":\"\",\"shopClsCode\":\"\",\"shopClsId\":\"\",\"shouldTotal\":\"\",\"transCount\":\"\",\"unPayAmount\":\"\"}],\"index\":\"\"},{\"certiCode\":\"C002\",\"conSumeTotal\":\"5\",\"goodList\":[],\"index\":\"3\"}] orgCode=A01 saleNo=S200 vipInfoId=V9 ywType=0";
        QTest::newRow("cancellation uses the header") << text(Gateway::cancelPaymentParams(saleHeader())) << "code=[\"C001\",\"C002\"] orgCode=A01 origBizBillNo=B100 origSaleNo=S199 vipInfoId=V9";
        QTest::newRow("return, external number") << text(Gateway::returnParams(saleHeader(), {"Q1", "10.00", "C005;", "E77"})) << "code=[\"C005\",\"\"] orgCode=A01 origBizBillNo=B050 origSaleNo=E77 vipInfoId=V9";
        QTest::newRow("return, no external number") << text(Gateway::returnParams(saleHeader(), {"Q1", "10.00", "C005", ""})) << "code=[\"C005\"] orgCode=A01 origBizBillNo=B050 origSaleNo=S100 vipInfoId=V9";

        const QString partial = QStringLiteral("部分退货时不允许进行退券操作 / 1说明不是整单的全部退货|");
        const QString nothingLeft = QStringLiteral("无可退的券或券退款金额录入不正确 / ");
        QTest::newRow("no original lines") << refund("10.00", "1000", {}, {"Q1,10.00,C1,"}) << "非原单退货不允许进行退券操作 / ";
        QTest::newRow("single coupon payment") << refund("10.00", "1000", {"Q1,10.00,C1,E1"}, {}) << "Q1,10.00,C1,E1 / 待C1";
        QTest::newRow("sum rounds to total") << refund("10.00", "1000", {"01,6.004,X1,", "Q1,4.00,C1,"}, {}) << "Q1,4.00,C1, / 待C1";
        QTest::newRow("sum one cent over") << refund("10.00", "1000", {"01,6.01,X1,", "Q1,4.00,C1,"}, {}) << partial + "10.01 / 2说明不是整单的全部退货|10";
        QTest::newRow("partial, total in short form") << refund("-123.456789", "-12346", {"Q1,100,C1,"}, {}) << partial + "100.00 / 2说明不是整单的全部退货|123.457";
        QTest::newRow("negative return total") << refund("-12.50", "-1250", {"Q1,12.50,C1,"}, {}) << "Q1,12.50,C1, / 待C1";
        QTest::newRow("limit below payment") << refund("12.00", "1000", {"Q1,12.00,C1,"}, {}) << nothingLeft;
        QTest::newRow("limit not an integer") << refund("10.00", "10.00", {"Q1,10.00,C1,"}, {}) << nothingLeft;
        QTest::newRow("other methods only") << refund("10.00", "1000", {"01,10.00,X1,"}, {}) << nothingLeft;
        QTest::newRow("limit per line") << refund("12.00", "600", {"Q1,6.00,C1,", "Q1,6.00,C2,"}, {}) << "Q1,6.00,C1, / 待C1 / 待C2";
        QTest::newRow("refunded within tolerance") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,10.05,C1,"}) << nothingLeft + "待C1 / 已C1";
        QTest::newRow("refunded beyond tolerance") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,9.80,C1,"}) << "Q1,10.00,C1, / 待C1 / 已C1";
        QTest::newRow("refunded as negative amount") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,-10.00,C1,"}) << nothingLeft + "待C1 / 已C1";
        QTest::newRow("refund of another coupon or method") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,10.00,C9,", "01,10.00,C1,"}) << "Q1,10.00,C1, / 待C1 / 已C9";
        QTest::newRow("pairing restarts at same index") << refund("10.00", "1000", {"Q1,5.00,C1,", "Q1,3.00,C2,", "Q1,2.00,C3,E3"}, {"Q1,3.00,C2,", "Q1,5.00,C1,"}) << "Q1,2.00,C3,E3 / 待C1 / 待C2 / 待C3 / 已C2 / 已C1";
        QTest::newRow("one refund pairs one line") << refund("10.00", "1000", {"Q1,5.00,C1,A", "Q1,5.00,C1,B"}, {"Q1,5.00,C1,"}) << "Q1,5.00,C1,B / 待C1 / 待C1 / 已C1";
        QTest::newRow("unreadable amount counts zero") << refund("10.00", "1000", {"Q1,abc,C1,", "01,10.00,X1,"}, {}) << "Q1,abc,C1, / 待C1";
    }
    void sentAsBuilt() { compare(); }

    void replyBecomesOutcome_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("number as text") << Gateway::jsonText(13800138000.0) << "13800138000";
        QTest::newRow("small fraction as text") << Gateway::jsonText(-0.004) << "-0.004";
        QTest::newRow("bool, null, object as no text") << Gateway::jsonText(true) + Gateway::jsonText(QJsonValue::Null) + Gateway::jsonText(QJsonObject{{"a", "b"}}) << "";

        const QString broken = QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常");
        const QString missing = QStringLiteral("! 解析会员名下券接口返回，缺少节点");
        const QString refusal = QStringLiteral("进行券查询接口解析失败，错误详情|");
        QTest::newRow("list: not json") << list("Bad Gateway") << "! " + broken + " 0/0/0/0 ";
        QTest::newRow("list: empty object") << list("{}") << "! " + broken + " 0/0/0/0 ";
        QTest::newRow("list: array") << list("[{\"code\":\"0\"}]") << "! 解析会员名下券接口返回，返回信息解析失败 0/0/0/0 ";
        QTest::newRow("list: no code") << list("{\"meta\":{}}") << missing + "code 0/0/0/0 ";
        QTest::newRow("list: refused") << list(R"({"code":"1","msg":"会员不存在"})") << "! 会员不存在 0/0/0/0 " + refusal + "会员不存在";
        QTest::newRow("list: refused without msg") << list(R"({"code":"1"})") << "!  0/0/0/0 " + refusal;
        QTest::newRow("list: data at top level") << list(R"({"code":"0","data":{"certiList":[]}})") << missing + "meta 0/0/0/0 ";
        QTest::newRow("list: meta not object") << list(R"({"code":"0","meta":"data"})") << missing + "data 0/0/0/0 ";
        QTest::newRow("list: no certiList") << list(R"({"code":"0","meta":{"data":{"goodsList":[]}}})") << missing + "certiList 0/0/0/0 ";
        QTest::newRow("list: bare") << list(R"({"code":"0","meta":{"data":{"certiList":[]}}})") << "0/0/0/0";
        // Shares that round to zero leave no goods line and so no "YHQ" pay line either.
        QTest::newRow("list: zero shares") << list(R"({"code":0,"meta":{"data":{"certiList":[{"certiInfoCode":"C001"}],"payList":[],"goodsList":[{"apportionAmount":"0.00"},{"apportionAmount":"-0.001"}]}}})") << "1/0/0/0";
        QTest::newRow("list fuzz: repeated meta, array last") << list(R"({"code":"0","meta":{"data":{"certiList":[]}},"meta":{"data":[]}})") << missing + "certiList 0/0/0/0 ";
        QTest::newRow("list fuzz: refusal overridden") << list(R"({"code":"1","msg":"券已使用","code":"0"})") << missing + "meta 0/0/0/0 ";
        QTest::newRow("list fuzz: acceptance overridden") << list(R"({"code":"0","meta":{"data":{"certiList":[]}},"code":1,"msg":{"m":[]},"msg":"已停用"})") << "! 已停用 0/0/0/0 " + refusal + "已停用";
        QTest::newRow("list fuzz: repeated goods list") << list(R"({"code":0,"meta":{"data":{"certiList":[{"certiInf":[],"goodsList":[{"index":"1","apportionAmount":"0.00"}]}],"payList":[],"goodsList":[{"apportionAmount":"0.50"}],"goodsList":[{"index":"2","apportionAmount":"-0.001"}]}}})") << "1/1/0/0";
        QTest::newRow("list fuzz: repeated goods list, share last") << list(R"({"code":"0","meta":{"data":{"certiList":[],"goodsList":[{"apportionAmount":"0"}],"goodsList":[{"apportionAmount":"0.5"}]}}})") << "0/0/1/1";
        QTest::newRow("list fuzz: certi list object then array") << list(R"({"code":"0","meta":{"data":{"certiList":{"x":[1]},"certiList":[{"certiInfoCode":"Q1"}]}}})") << "1/0/0/0";

        QTest::newRow("lookup: found, msg ignored") << lookup(R"({"code":"0","msg":"失败","meta":{"data":{"cardNo":"M001"}}})") << "card M001";
        QTest::newRow("lookup: code 200, numeric card") << lookup(R"({"code":200,"meta":{"data":{"cardNo":13800138000}}})") << "card 13800138000";
        QTest::newRow("lookup: empty code, empty card") << lookup(R"({"code":"","meta":{"data":{"cardNo":""}}})") << "card ";
        QTest::newRow("lookup: not json") << lookup("timeout") << "! 会员查询接口异常，请检查接口配置是否正确或网络是否正常";
        QTest::newRow("lookup: array") << lookup("[]") << "! 会员查询接口返回信息解析失败";
        QTest::newRow("lookup: no code") << lookup(R"({"meta":{"data":{"cardNo":"M"}}})") << "! 会员查询接口返回，缺少节点code";
        QTest::newRow("lookup: refused as a fraction") << lookup(R"({"code":1.0})") << "! 会员查询接口失败";
        QTest::newRow("lookup: refused with msg") << lookup(R"({"code":1,"msg":"会员不存在"})") << "! 会员查询接口失败，会员不存在";
        QTest::newRow("lookup: data at top level") << lookup(R"({"code":"0","data":{"cardNo":"M"}})") << "! 会员查询接口返回，缺少节点meta";
        QTest::newRow("lookup: no card") << lookup(R"({"code":"0","meta":{"data":{"vipId":"9"}}})") << "! 会员查询接口返回，缺少节点cardNo";

        QTest::newRow("consume: code 0") << consume(R"({"code":"0"})") << "ok 批量核销接口调用|成功";
        QTest::newRow("consume: any code but 1") << consume(R"({"code":"01","msg":"ok"})") << "ok 批量核销接口调用|成功";
        QTest::newRow("consume: refused with msg") << consume(R"({"code":1,"msg":"券已使用"})") << "! 批量券核销接口返回失败券已使用 批量券核销接口返回错误|券已使用";
        QTest::newRow("consume: refused without msg") << consume(R"({"code":"1"})") << "! 批量券核销接口返回失败 ";
        // Any other failure of the envelope reads as for the coupon lists.
        QTest::newRow("consume: no code") << consume(R"({"msg":"成功"})") << missing + "code ";

        const QString cancelMissing = QStringLiteral("! 线下交易券撤销接口返回，缺少节点");
        // The name in the reply is not taken over, and a coupon given back counts as shared by amount.
        QTest::newRow("cancel: two coupons") << cancel(R"({"code":"0","msg":"撤销成功","meta":{"data":[{"certiInfoCode":"C001","certiInfoName":"满100减10","consumeAmount":"10.00"},{"certiInfoCode":"C002","consumeAmount":5.5}]}})") << "ok C001=10.00/1 C002=5.5/1";
        // Coupons read before a faulty entry stay: the server did cancel them.
        QTest::newRow("cancel: second incomplete") << cancel(R"({"code":"0","meta":{"data":[{"certiInfoCode":"C001","consumeAmount":"10.00"},{"certiInfoCode":"C002"},{"certiInfoCode":"C003","consumeAmount":"1.00"}]}})") << cancelMissing + "consumeAmount C001=10.00/1";
        QTest::newRow("cancel: entry not object") << cancel(R"({"code":"0","meta":{"data":["C001"]}})") << cancelMissing + "certiInfoCode";
        QTest::newRow("cancel: data not array") << cancel(R"({"code":"0","meta":{"data":{"certiInfoCode":"C1","consumeAmount":"1"}}})") << "ok";
        QTest::newRow("cancel: refused with msg") << cancel(R"({"code":"1","msg":"券已撤销"})") << "! 线下交易券撤销接口失败，券已撤销";
        QTest::newRow("cancel: no code") << cancel(R"({"meta":{"data":[]}})") << cancelMissing + "code";
        QTest::newRow("cancel: no data") << cancel(R"({"code":"0","meta":{"list":[]}})") << cancelMissing + "data";
        QTest::newRow("cancel: not json") << cancel("502 Bad Gateway") << "! 线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常";
        QTest::newRow("cancel: array") << cancel(R"([{"code":"0"}])") << "! 线下交易券撤销接口返回信息解析失败";
        QTest::newRow("cancel fuzz: repeated data, last wins") << cancel(R"({"code":"0","meta":{"data":[{"certiInfoCode":"A","consumeAmount":1}],"data":[{"certiInfoCode":"B","consumeAmount":"2.50"}]}})") << "ok B=2.50/1";
    }
    void replyBecomesOutcome() { compare(); }

    void unavailableCouponsHiddenOnlyInFirstList_data()
    {
        QTest::addColumn<Gateway::CouponListMode>("mode");
        QTest::addColumn<QString>("showType");
        QTest::addColumn<QStringList>("codes");
        QTest::addColumn<QString>("done");     // the log's "完成<mode>-<show type>"
        const QStringList all{"C001", "C002", "C003", "C004"};
        QTest::newRow("first list hides") << Gateway::CouponListMode::Member << "0" << QStringList{"C001", "C003"} << "完成0-0";
        QTest::newRow("first list no setting") << Gateway::CouponListMode::Member << "" << all << "完成0-";
        QTest::newRow("select list keeps") << Gateway::CouponListMode::Selection << "0" << all << "完成1-0";
    }

    void unavailableCouponsHiddenOnlyInFirstList()
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

    void couponListReadsEveryField()
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
        // A goods line keeps its share at two decimals (0.005 rounds up, 0.001 and -0.004 do not count); every pay line but the last comes from the
        // reply, the last carries the discounts.
        QStringList goods;
        for (const GoodDetail &good : parsed.goods)
            goods << good.index + QLatin1Char('=') + good.apportionAmount;
        QCOMPARE(goods, (QStringList{"1=0.50", "7=-1.2", "8=0.005"}));
        QStringList pays;
        for (const CouponPayDetail &pay : parsed.pays)
            pays << QStringList{pay.payTotal, pay.certiInfoId, pay.certiInfoCode, pay.certiInfoName}.join(QLatin1Char('|'));
        QCOMPARE(pays, (QStringList{"10.00|9001|C001|满100减10", "0.00||YHQ|"}));
    }

private:
    void compare()
    {
        QFETCH(QString, actual);
        QTEST(actual, "expected");
    }
};
QTEST_GUILESS_MAIN(tst_Messages)
#include "tst_messages.moc"
