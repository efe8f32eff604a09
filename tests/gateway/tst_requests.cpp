// What the till sends: signatures, request bodies and parameters, and which payment a return
// gives back. Digests were worked out with md5sum over "<signed text>&key=<signing key>".
#include <QtTest>

#include "gateway/requests.h"
#include "records/discounts.h"

using Gateway::ParamSet;

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
    TranMainDetail head;
    head.OrgCode = QStringLiteral("A01");
    head.vip_no = QStringLiteral("M1");
    head.vip_id = QStringLiteral("V9");
    head.saleNo = QStringLiteral("S200");
    head.bizBillNo = QStringLiteral("B100");
    head.SsTotal = QStringLiteral("88.50");
    head.Mch = QStringLiteral("S199");
    head.PayNo = QStringLiteral("C001;C002");
    head.oriSaleNo = QStringLiteral("S100");
    head.oriBillNo = QStringLiteral("B050");
    // Only the computed flags are sent, never the header's own.
    head.promFlag = head.memPriceFlag = QStringLiteral("0");
    return head;
}

QList<VipCouponDetail> selectedCoupons()
{
    // Fields in declaration order: index, outPluId, pluId, pluCode, pluName, transCount, shouldTotal, actualAmount,
    // shopClsId, shopClsCode, brandId, brandCode, apportionAmountAllType, apportionAmount, thresholdAmount, unPayAmount.
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
    Gateway::CouponQueryInput input;
    input.mode = mode;
    input.tranMain = saleHeader();
    PluDetail milk;
    milk.SeN = QStringLiteral("1");
    milk.PI = QStringLiteral("P1");
    milk.SC = QStringLiteral("2");
    milk.YS = QStringLiteral("60.00");
    milk.ST = QStringLiteral("58.00");
    PluDetail returned;
    returned.SeN = QStringLiteral("2");
    returned.PI = QStringLiteral("P2");
    returned.SC = QStringLiteral("-1");
    returned.YS = returned.ST = QStringLiteral("-3");
    input.goods = {milk, returned};
    input.pays = {TranPayDetail{QStringLiteral("01"), QStringLiteral("20.00"), QString(), QStringLiteral("E1")}};
    input.selected = selectedCoupons();
    input.optimalSolution = QStringLiteral("1");
    input.optimalNum = QStringLiteral("3");
    input.promotion = input.memberPrice = true;
    return Gateway::jsonToString(Gateway::couponQueryBody(input));
}

// "payCode,payTotal,payNo,extPayNo" per payment line; the refunded line or the message, then the
// log with "待" for "口碑券待退款券号：|" and "已" for "口碑券已经退款券号：|".
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
}

class tst_Requests : public QObject
{
    Q_OBJECT
private slots:
    void sentAsBuilt_data();
    void sentAsBuilt();
};

void tst_Requests::sentAsBuilt_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    QTest::newRow("empty value left out of the signature, sent in the form") << signedForms({{"orgCode", "A01"}, {"vipCode", ""}})
        << "orgCode=A01 | cc396a1eb871e8e097ca5de54de443e2 | orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=";
    // Nothing to sign: the query form still puts "&" before the key, the form body does not.
    QTest::newRow("all values empty") << signedForms({{"orgCode", ""}, {"vipCode", ""}})
        << " | 005c4fbc89872c4b686adc816798095e | orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipCode=";
    QTest::newRow("separators and chinese") << signedForms({{"vipCode", "x=y"}, {"orgCode", "A&B"}, {"name", "会员"}})
        << "name=会员&orgCode=A&B&vipCode=x=y | e860203d951dc98636875092148aeb4f | "
           "name=%E4%BC%9A%E5%91%98&orgCode=A%26B&sign=e860203d951dc98636875092148aeb4f&vipCode=x%3Dy";
    QTest::newRow("only unreserved characters stay") << signedForms({{"code", "[\"A 1+/%\"]"}})
        << "code=[\"A 1+/%\"] | 544a2e76b0708305c258c0e5c5ae162f | code=%5B%22A%201%2B%2F%25%22%5D&sign=544a2e76b0708305c258c0e5c5ae162f";
    QTest::newRow("upper-case key first") << signedForms({{"vipInfoId", "9"}, {"bizType", "0"}, {"OrgCode", "A01"}})
        << "OrgCode=A01&bizType=0&vipInfoId=9 | 5ece5efa333c8cc7bb92e661bfa5653b | "
           "OrgCode=A01&bizType=0&sign=5ece5efa333c8cc7bb92e661bfa5653b&vipInfoId=9";
    QTest::newRow("json compact, in key order") << Gateway::jsonToString(QJsonObject{{"b", QJsonArray{QJsonObject{{"z", ""}, {"y", 1}}, "会员"}},
                                                                                    {"a", QString::fromLatin1("x\0y", 3)}, {"B", true}})
                                                << "{\"B\":true,\"a\":\"x\\u0000y\",\"b\":[{\"y\":1,\"z\":\"\"},\"会员\"]}";

    const QString none = QStringLiteral("0 本单不存在促销|优惠数量：");
    const QString noMember = QStringLiteral("0 本单不存在会员优惠价格|优惠数量：");
    QTest::newRow("flags, no discounts") << flags({}) << none + "0 / " + noMember + "0";
    QTest::newRow("flags, empty bill number") << flags({"/"}) << "1 本单存在促销|m_probillno：,m_protype: / " + noMember + "1";
    QTest::newRow("flags, 1111 member price") << flags({"1111/94"}) << none + "1 / 1 本单存在会员优惠价格|促销类型：94";
    QTest::newRow("flags, 1111 type 95") << flags({"1111/95"}) << "1 本单存在促销|m_probillno：1111,m_protype:95 / " + noMember + "1";
    QTest::newRow("flags, 3333 TWZQ, case matters") << flags({"3333/TWZQ", "3333/twzq"})
                                                    << "1 本单存在促销|m_probillno：3333,m_protype:twzq / " + noMember + "2";
    QTest::newRow("flags, 0000 and 2222 never") << flags({"0000/95", "2222/01"}) << none + "2 / " + noMember + "2";
    QTest::newRow("flags, first counting line") << flags({"0000/1", "1111/94", "9999/7", "3333/ 94"})
                                                << "1 本单存在促销|m_probillno：9999,m_protype:7 / 1 本单存在会员优惠价格|促销类型：94";

    const QString sale = QStringLiteral(
        "{\"bizBillNo\":\"B100\",\"code\":\"\",\"memPriceFlag\":1,\"optimalNum\":\"3\",\"optimalSolution\":\"1\",\"orderGoodsList\":["
        "{\"actualAmount\":\"58.00\",\"index\":\"1\",\"outPluId\":\"P1\",\"shouldTotal\":\"60.00\",\"transCount\":\"2\"},"
        "{\"actualAmount\":\"-3\",\"index\":\"2\",\"outPluId\":\"P2\",\"shouldTotal\":\"-3\",\"transCount\":\"-1\"}],\"orgCode\":\"A01\","
        "\"payList\":[{\"payCode\":\"01\",\"payNo\":\"\",\"payTotal\":\"20.00\"}],\"promFlag\":1,\"saleNo\":\"S200\",");
    QTest::newRow("member list ignores ticks") << couponQuery(Gateway::CouponListMode::Member) << sale + "\"vipCode\":\"M1\"}";
    QTest::newRow("selection with ticks") << couponQuery(Gateway::CouponListMode::Selection) << sale
        + "\"selectCertiItemList\":[{\"certiInfoId\":\"9001\",\"index\":\"\"},{\"certiInfoId\":\"\",\"index\":\"3\"}],\"vipCode\":\"M1\"}";
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
    QTest::newRow("consumption") << text(Gateway::batchConsumeParams(saleHeader(), selectedCoupons(), {{QStringLiteral("P1"), milkLine}}))
        << "actualAmount=88.50 bizBillNo=B100 certiList=[{\"certiCode\":\"C001\",\"conSumeTotal\":\"10.00\",\"goodList\":[{\"actualAmount\":"
           "\"58.00\",\"apportionTotal\":\"6.00\",\"brandCode\":\"BR1\",\"brandId\":\"B1\",\"depCode\":\"01\",\"depId\":\"D1\",\"depName\":"
           "\"食品\",\"index\":\"1\",\"outPluId\":\"S1\",\"pluCode\":\"6901\",\"pluName\":\"牛奶\",\"shopClsCode\":\"01\",\"shopClsId\":\"K1\","
           "\"shouldTotal\":\"60.00\",\"transCount\":\"2\",\"unPayAmount\":\"52.00\"},{\"actualAmount\":\"\",\"apportionTotal\":\"4.00\","
           "\"brandCode\":\"\",\"brandId\":\"\",\"depCode\":\"\",\"depId\":\"\",\"depName\":\"\",\"index\":\"2\",\"outPluId\":\"S9\",\"pluCode\":"
           "\"\",\"pluName\":\"\",\"shopClsCode\":\"\",\"shopClsId\":\"\",\"shouldTotal\":\"\",\"transCount\":\"\",\"unPayAmount\":\"\"}],"
           "\"index\":\"\"},{\"certiCode\":\"C002\",\"conSumeTotal\":\"5\",\"goodList\":[],\"index\":\"3\"}] orgCode=A01 saleNo=S200 "
           "vipInfoId=V9 ywType=0";
    QTest::newRow("cancellation uses the header") << text(Gateway::cancelPaymentParams(saleHeader()))
        << "code=[\"C001\",\"C002\"] orgCode=A01 origBizBillNo=B100 origSaleNo=S199 vipInfoId=V9";
    QTest::newRow("return, external number") << text(Gateway::returnParams(saleHeader(), {"Q1", "10.00", "C005;", "E77"}))
        << "code=[\"C005\",\"\"] orgCode=A01 origBizBillNo=B050 origSaleNo=E77 vipInfoId=V9";
    QTest::newRow("return, no external number") << text(Gateway::returnParams(saleHeader(), {"Q1", "10.00", "C005", ""}))
        << "code=[\"C005\"] orgCode=A01 origBizBillNo=B050 origSaleNo=S100 vipInfoId=V9";

    const QString partial = QStringLiteral("部分退货时不允许进行退券操作 / 1说明不是整单的全部退货|");
    const QString nothingLeft = QStringLiteral("无可退的券或券退款金额录入不正确 / ");
    QTest::newRow("no original lines") << refund("10.00", "1000", {}, {"Q1,10.00,C1,"}) << "非原单退货不允许进行退券操作 / ";
    QTest::newRow("single coupon payment") << refund("10.00", "1000", {"Q1,10.00,C1,E1"}, {}) << "Q1,10.00,C1,E1 / 待C1";
    QTest::newRow("sum rounds to total") << refund("10.00", "1000", {"01,6.004,X1,", "Q1,4.00,C1,"}, {}) << "Q1,4.00,C1, / 待C1";
    QTest::newRow("sum one cent over") << refund("10.00", "1000", {"01,6.01,X1,", "Q1,4.00,C1,"}, {})
                                       << partial + "10.01 / 2说明不是整单的全部退货|10";
    QTest::newRow("partial, total in short form") << refund("-123.456789", "-12346", {"Q1,100,C1,"}, {})
                                                  << partial + "100.00 / 2说明不是整单的全部退货|123.457";
    QTest::newRow("negative return total") << refund("-12.50", "-1250", {"Q1,12.50,C1,"}, {}) << "Q1,12.50,C1, / 待C1";
    QTest::newRow("limit below payment") << refund("12.00", "1000", {"Q1,12.00,C1,"}, {}) << nothingLeft;
    QTest::newRow("limit not an integer") << refund("10.00", "10.00", {"Q1,10.00,C1,"}, {}) << nothingLeft;
    QTest::newRow("other methods only") << refund("10.00", "1000", {"01,10.00,X1,"}, {}) << nothingLeft;
    QTest::newRow("limit per line") << refund("12.00", "600", {"Q1,6.00,C1,", "Q1,6.00,C2,"}, {}) << "Q1,6.00,C1, / 待C1 / 待C2";
    QTest::newRow("refunded within tolerance") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,10.05,C1,"}) << nothingLeft + "待C1 / 已C1";
    QTest::newRow("refunded beyond tolerance") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,9.80,C1,"}) << "Q1,10.00,C1, / 待C1 / 已C1";
    QTest::newRow("refunded as negative amount") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,-10.00,C1,"}) << nothingLeft + "待C1 / 已C1";
    QTest::newRow("refund of another coupon or method") << refund("10.00", "1000", {"Q1,10.00,C1,"}, {"Q1,10.00,C9,", "01,10.00,C1,"})
                                                        << "Q1,10.00,C1, / 待C1 / 已C9";
    QTest::newRow("pairing restarts at same index") << refund("10.00", "1000", {"Q1,5.00,C1,", "Q1,3.00,C2,", "Q1,2.00,C3,E3"},
                                                              {"Q1,3.00,C2,", "Q1,5.00,C1,"})
                                                    << "Q1,2.00,C3,E3 / 待C1 / 待C2 / 待C3 / 已C2 / 已C1";
    QTest::newRow("one refund pairs one line") << refund("10.00", "1000", {"Q1,5.00,C1,A", "Q1,5.00,C1,B"}, {"Q1,5.00,C1,"})
                                               << "Q1,5.00,C1,B / 待C1 / 待C1 / 已C1";
    QTest::newRow("unreadable amount counts zero") << refund("10.00", "1000", {"Q1,abc,C1,", "01,10.00,X1,"}, {}) << "Q1,abc,C1, / 待C1";
}

void tst_Requests::sentAsBuilt()
{
    QFETCH(QString, actual);
    QTEST(actual, "expected");
}

QTEST_GUILESS_MAIN(tst_Requests)
#include "tst_requests.moc"
