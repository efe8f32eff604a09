#include <QtTest>

#include "gateway/requests.h"
#include "records/discounts.h"
#include "gateway/signing.h"

using Gateway::ParamSet;

namespace {

// "probillno/protype" per discount line.
QList<DscDetail> discounts(const QStringList &lines)
{
    QList<DscDetail> result;
    for (const QString &line : lines) {
        DscDetail d;
        d.probillno = line.section(QLatin1Char('/'), 0, 0);
        d.protype = line.section(QLatin1Char('/'), 1, 1);
        result << d;
    }
    return result;
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
    return head;
}

QStringList fieldNames(const QString &body)
{
    QStringList names;
    const QStringList fields = body.split(QLatin1Char('&'));
    for (const QString &field : fields)
        names << field.section(QLatin1Char('='), 0, 0);
    return names;
}

QList<VipCouponDetail> selectedCoupons()
{
    GoodDetail milk;
    milk.index = QStringLiteral("1");
    milk.outPluId = QStringLiteral("P1");
    milk.pluId = QStringLiteral("S1");
    milk.pluCode = QStringLiteral("6901");
    milk.pluName = QStringLiteral("牛奶");
    milk.transCount = QStringLiteral("2");
    milk.shouldTotal = QStringLiteral("60.00");
    milk.actualAmount = QStringLiteral("58.00");
    milk.shopClsId = QStringLiteral("K1");
    milk.shopClsCode = QStringLiteral("01");
    milk.brandId = QStringLiteral("B1");
    milk.brandCode = QStringLiteral("BR1");
    milk.apportionAmountAllType = QStringLiteral("6.00");
    milk.apportionAmount = QStringLiteral("6.00");
    milk.thresholdAmount = QStringLiteral("100");
    milk.unPayAmount = QStringLiteral("52.00");
    GoodDetail unknown;
    unknown.index = QStringLiteral("2");
    unknown.outPluId = QStringLiteral("P9");
    unknown.pluId = QStringLiteral("S9");
    unknown.apportionAmount = QStringLiteral("4.00");

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

}

class tst_Requests : public QObject
{
    Q_OBJECT
private slots:
    void paths();
    void promotionFlag_data();
    void promotionFlag();
    void memberPriceFlag_data();
    void memberPriceFlag();
    void couponQueryBody_data();
    void couponQueryBody();
    void couponQuerySignedWithOrgAndMember();
    void vipInfoSendsEmptyOrgInBodyOnly();
    void batchConsumeCarriesCouponsAndDepartments();
    void batchConsumeWithoutDepartmentIndex();
    void batchConsumeWithNothingSelected();
    void couponCodeArray_data();
    void couponCodeArray();
    void cancelPaymentUsesHeader();
    void returnUsesRefundedLine_data();
    void returnUsesRefundedLine();
};

void tst_Requests::paths()
{
    QCOMPARE(Gateway::couponListPath(Gateway::CouponListMode::Member), QStringLiteral("/posPortal/offlineCertiList?sign="));
    QCOMPARE(Gateway::couponListPath(Gateway::CouponListMode::Selection), QStringLiteral("/posPortal/offlineCertiSelectList?sign="));
    QCOMPARE(Gateway::vipInfoPath(), QStringLiteral("/posPortal/vipInfo?sign="));
    QCOMPARE(Gateway::batchConsumePath(), QStringLiteral("/posPortal/batchConsumeCerti"));
    QCOMPARE(Gateway::cancelPath(), QStringLiteral("/posPortal/offlineCancelCerti"));
}

void tst_Requests::promotionFlag_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("promotion");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("text");
    const QString none = QStringLiteral("本单不存在促销");
    const QString some = QStringLiteral("本单存在促销");
    QTest::newRow("no discounts") << QStringList() << false << none << QStringLiteral("优惠数量：0");
    QTest::newRow("empty bill number") << QStringList{"/"} << true << some << QStringLiteral("m_probillno：,m_protype:");
    QTest::newRow("1111 member price") << QStringList{"1111/94"} << false << none << QStringLiteral("优惠数量：1");
    QTest::newRow("1111 type 95") << QStringList{"1111/95"} << true << some << QStringLiteral("m_probillno：1111,m_protype:95");
    QTest::newRow("3333 TWZQ") << QStringList{"3333/TWZQ"} << false << none << QStringLiteral("优惠数量：1");
    QTest::newRow("3333 member price") << QStringList{"3333/94"} << false << none << QStringLiteral("优惠数量：1");
    QTest::newRow("3333 other type") << QStringList{"3333/12"} << true << some << QStringLiteral("m_probillno：3333,m_protype:12");
    QTest::newRow("other bill any type") << QStringList{"5555/94"} << true << some << QStringLiteral("m_probillno：5555,m_protype:94");
    QTest::newRow("0000 and 2222 never") << QStringList{"0000/95", "2222/01"} << false << none << QStringLiteral("优惠数量：2");
    QTest::newRow("first counting line")
        << QStringList{"0000/1", "1111/94", "9999/7", "8888/8"} << true << some << QStringLiteral("m_probillno：9999,m_protype:7");
    QTest::newRow("case sensitive type") << QStringList{"3333/twzq"} << true << some << QStringLiteral("m_probillno：3333,m_protype:twzq");
}

void tst_Requests::promotionFlag()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, promotion);
    QFETCH(QString, function);
    QFETCH(QString, text);
    LogLine log;
    QCOMPARE(Records::hasPromotion(discounts(lines), log), promotion);
    QCOMPARE(log.function, function);
    QCOMPARE(log.text, text);
}

void tst_Requests::memberPriceFlag_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("memberPrice");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("text");
    const QString none = QStringLiteral("本单不存在会员优惠价格");
    const QString some = QStringLiteral("本单存在会员优惠价格");
    QTest::newRow("no discounts") << QStringList() << false << none << QStringLiteral("优惠数量：0");
    QTest::newRow("type 94") << QStringList{"3333/94"} << true << some << QStringLiteral("促销类型：94");
    QTest::newRow("type 94 later") << QStringList{"1111/95", "0000/94"} << true << some << QStringLiteral("促销类型：94");
    QTest::newRow("other types") << QStringList{"1111/95", "2222/9", "3333/TWZQ"} << false << none << QStringLiteral("优惠数量：3");
    QTest::newRow("padded type") << QStringList{"1111/ 94"} << false << none << QStringLiteral("优惠数量：1");
}

void tst_Requests::memberPriceFlag()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, memberPrice);
    QFETCH(QString, function);
    QFETCH(QString, text);
    LogLine log;
    QCOMPARE(Records::hasMemberPrice(discounts(lines), log), memberPrice);
    QCOMPARE(log.function, function);
    QCOMPARE(log.text, text);
}

void tst_Requests::couponQueryBody_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("filled");
    QTest::addColumn<QString>("json");

    QTest::newRow("first list, empty sale") << 0 << false
        << QStringLiteral("{\"bizBillNo\":\"\",\"code\":\"\",\"memPriceFlag\":0,\"optimalNum\":\"\",\"optimalSolution\":\"\","
                          "\"orderGoodsList\":[],\"orgCode\":\"\",\"payList\":[],\"promFlag\":0,\"saleNo\":\"\",\"vipCode\":\"\"}");
    QTest::newRow("select list, nothing ticked") << 1 << false
        << QStringLiteral("{\"bizBillNo\":\"\",\"code\":\"\",\"memPriceFlag\":0,\"optimalNum\":\"\",\"optimalSolution\":\"\","
                          "\"orderGoodsList\":[],\"orgCode\":\"\",\"payList\":[],\"promFlag\":0,\"saleNo\":\"\","
                          "\"selectCertiItemList\":[],\"vipCode\":\"\"}");
    QTest::newRow("first list ignores ticks") << 0 << true
        << QStringLiteral("{\"bizBillNo\":\"B100\",\"code\":\"\",\"memPriceFlag\":1,\"optimalNum\":\"3\",\"optimalSolution\":\"1\","
                          "\"orderGoodsList\":[{\"actualAmount\":\"58.00\",\"index\":\"1\",\"outPluId\":\"P1\",\"shouldTotal\":\"60.00\",\"transCount\":\"2\"},"
                          "{\"actualAmount\":\"-3\",\"index\":\"2\",\"outPluId\":\"P2\",\"shouldTotal\":\"-3\",\"transCount\":\"-1\"}],"
                          "\"orgCode\":\"A01\",\"payList\":[{\"payCode\":\"01\",\"payNo\":\"\",\"payTotal\":\"20.00\"}],"
                          "\"promFlag\":1,\"saleNo\":\"S200\",\"vipCode\":\"M1\"}");
    QTest::newRow("select list with ticks") << 1 << true
        << QStringLiteral("{\"bizBillNo\":\"B100\",\"code\":\"\",\"memPriceFlag\":1,\"optimalNum\":\"3\",\"optimalSolution\":\"1\","
                          "\"orderGoodsList\":[{\"actualAmount\":\"58.00\",\"index\":\"1\",\"outPluId\":\"P1\",\"shouldTotal\":\"60.00\",\"transCount\":\"2\"},"
                          "{\"actualAmount\":\"-3\",\"index\":\"2\",\"outPluId\":\"P2\",\"shouldTotal\":\"-3\",\"transCount\":\"-1\"}],"
                          "\"orgCode\":\"A01\",\"payList\":[{\"payCode\":\"01\",\"payNo\":\"\",\"payTotal\":\"20.00\"}],"
                          "\"promFlag\":1,\"saleNo\":\"S200\","
                          "\"selectCertiItemList\":[{\"certiInfoId\":\"9001\",\"index\":\"\"},{\"certiInfoId\":\"\",\"index\":\"3\"}],"
                          "\"vipCode\":\"M1\"}");
}

void tst_Requests::couponQueryBody()
{
    QFETCH(int, mode);
    QFETCH(bool, filled);
    QFETCH(QString, json);

    Gateway::CouponQueryInput input;
    input.mode = Gateway::CouponListMode(mode);
    if (filled) {
        input.tranMain = saleHeader();
        // The header's own flags take no part: only the computed ones are sent.
        input.tranMain.promFlag = QStringLiteral("0");
        input.tranMain.memPriceFlag = QStringLiteral("0");
        PluDetail milk;
        milk.SeN = QStringLiteral("1");
        milk.PI = QStringLiteral("P1");
        milk.SC = QStringLiteral("2");
        milk.YS = QStringLiteral("60.00");
        milk.ST = QStringLiteral("58.00");
        milk.PName = QStringLiteral("牛奶");
        PluDetail returned;
        returned.SeN = QStringLiteral("2");
        returned.PI = QStringLiteral("P2");
        returned.SC = QStringLiteral("-1");
        returned.YS = QStringLiteral("-3");
        returned.ST = QStringLiteral("-3");
        input.goods = {milk, returned};
        TranPayDetail cash;
        cash.payCode = QStringLiteral("01");
        cash.payTotal = QStringLiteral("20.00");
        cash.extPayNo = QStringLiteral("E1");
        input.pays = {cash};
        input.selected = selectedCoupons();
        input.optimalSolution = QStringLiteral("1");
        input.optimalNum = QStringLiteral("3");
        input.promotion = true;
        input.memberPrice = true;
    }
    QCOMPARE(Gateway::jsonToString(Gateway::couponQueryBody(input)), json);
}

void tst_Requests::couponQuerySignedWithOrgAndMember()
{
    TranMainDetail head = saleHeader();
    QCOMPARE(Gateway::couponQuerySignParams(head),
             (ParamSet{{"orgCode", "A01"}, {"vipCode", "M1"}}));
    QCOMPARE(Gateway::signQuery(Gateway::couponQuerySignParams(head)).paramText,
             QStringLiteral("orgCode=A01&vipCode=M1"));
    head.OrgCode.clear();
    QCOMPARE(Gateway::signQuery(Gateway::couponQuerySignParams(head)).paramText, QStringLiteral("vipCode=M1"));
}

void tst_Requests::vipInfoSendsEmptyOrgInBodyOnly()
{
    TranMainDetail head = saleHeader();
    head.OrgCode.clear();
    QCOMPARE(Gateway::jsonToString(Gateway::vipInfoBody(head)),
             QStringLiteral("{\"bizType\":\"0\",\"orgCode\":\"\",\"vipInfoId\":\"V9\"}"));
    QCOMPARE(Gateway::vipInfoSignParams(head),
             (ParamSet{{"bizType", "0"}, {"orgCode", ""}, {"vipInfoId", "V9"}}));
    QCOMPARE(Gateway::signQuery(Gateway::vipInfoSignParams(head)).paramText,
             QStringLiteral("bizType=0&vipInfoId=V9"));
}

void tst_Requests::batchConsumeCarriesCouponsAndDepartments()
{
    PluDetail milkLine;
    milkLine.PI = QStringLiteral("P1");
    milkLine.DepId = QStringLiteral("D1");
    milkLine.Dep = QStringLiteral("01");
    milkLine.DepName = QStringLiteral("食品");
    const PluIndex index{{QStringLiteral("P1"), milkLine}};

    const ParamSet params = Gateway::batchConsumeParams(saleHeader(), selectedCoupons(), index);
    const QString certiList = QStringLiteral(
        "[{\"certiCode\":\"C001\",\"conSumeTotal\":\"10.00\",\"goodList\":["
        "{\"actualAmount\":\"58.00\",\"apportionTotal\":\"6.00\",\"brandCode\":\"BR1\",\"brandId\":\"B1\","
        "\"depCode\":\"01\",\"depId\":\"D1\",\"depName\":\"食品\",\"index\":\"1\",\"outPluId\":\"S1\","
        "\"pluCode\":\"6901\",\"pluName\":\"牛奶\",\"shopClsCode\":\"01\",\"shopClsId\":\"K1\","
        "\"shouldTotal\":\"60.00\",\"transCount\":\"2\",\"unPayAmount\":\"52.00\"},"
        "{\"actualAmount\":\"\",\"apportionTotal\":\"4.00\",\"brandCode\":\"\",\"brandId\":\"\","
        "\"depCode\":\"\",\"depId\":\"\",\"depName\":\"\",\"index\":\"2\",\"outPluId\":\"S9\","
        "\"pluCode\":\"\",\"pluName\":\"\",\"shopClsCode\":\"\",\"shopClsId\":\"\","
        "\"shouldTotal\":\"\",\"transCount\":\"\",\"unPayAmount\":\"\"}],\"index\":\"\"},"
        "{\"certiCode\":\"C002\",\"conSumeTotal\":\"5\",\"goodList\":[],\"index\":\"3\"}]");
    QCOMPARE(params, (ParamSet{{"orgCode", "A01"},
                               {"ywType", "0"},
                               {"vipInfoId", "V9"},
                               {"bizBillNo", "B100"},
                               {"saleNo", "S200"},
                               {"actualAmount", "88.50"},
                               {"certiList", certiList}}));

    const Gateway::SignedFormBody form = Gateway::signFormBody(params);
    QCOMPARE(fieldNames(form.body),
             (QStringList{"actualAmount", "bizBillNo", "certiList", "orgCode", "saleNo", "sign", "vipInfoId", "ywType"}));
    QVERIFY(form.body.startsWith(QStringLiteral(
        "actualAmount=88.50&bizBillNo=B100&certiList=%5B%7B%22certiCode%22%3A%22C001%22%2C%22conSumeTotal%22")));
    QVERIFY(form.plainBody.contains(QStringLiteral("&certiList=") + certiList + QStringLiteral("&orgCode=A01&")));
}

void tst_Requests::batchConsumeWithoutDepartmentIndex()
{
    const ParamSet params = Gateway::batchConsumeParams(saleHeader(), selectedCoupons(), PluIndex());
    QVERIFY(params.value(QStringLiteral("certiList"))
                .contains(QStringLiteral("\"depCode\":\"\",\"depId\":\"\",\"depName\":\"\",\"index\":\"1\",\"outPluId\":\"S1\"")));
}

void tst_Requests::batchConsumeWithNothingSelected()
{
    TranMainDetail head;
    head.vip_id = QStringLiteral("V9");
    const ParamSet params = Gateway::batchConsumeParams(head, {}, PluIndex());
    QCOMPARE(params.value(QStringLiteral("certiList")), QStringLiteral("[]"));
    // Empty fields still travel in the form body.
    QCOMPARE(fieldNames(Gateway::signFormBody(params).body),
             (QStringList{"actualAmount", "bizBillNo", "certiList", "orgCode", "saleNo", "sign", "vipInfoId", "ywType"}));
}

void tst_Requests::couponCodeArray_data()
{
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("array");
    QTest::newRow("one") << QStringLiteral("C001") << QStringLiteral("[\"C001\"]");
    QTest::newRow("two") << QStringLiteral("C001;C002") << QStringLiteral("[\"C001\",\"C002\"]");
    QTest::newRow("trailing separator") << QStringLiteral("C001;") << QStringLiteral("[\"C001\",\"\"]");
    QTest::newRow("empty") << QString() << QStringLiteral("[\"\"]");
    QTest::newRow("only separators") << QStringLiteral(";;") << QStringLiteral("[\"\",\"\",\"\"]");
    QTest::newRow("comma is not a separator") << QStringLiteral("C1,C2") << QStringLiteral("[\"C1,C2\"]");
    QTest::newRow("quote escaped") << QStringLiteral("C\"1") << QStringLiteral("[\"C\\\"1\"]");
    QTest::newRow("chinese") << QStringLiteral("会员券") << QStringLiteral("[\"会员券\"]");
}

void tst_Requests::couponCodeArray()
{
    QFETCH(QString, codes);
    QFETCH(QString, array);
    QCOMPARE(Gateway::couponCodeArray(codes), array);
}

void tst_Requests::cancelPaymentUsesHeader()
{
    const ParamSet params = Gateway::cancelPaymentParams(saleHeader());
    QCOMPARE(params, (ParamSet{{"orgCode", "A01"},
                               {"vipInfoId", "V9"},
                               {"origBizBillNo", "B100"},
                               {"origSaleNo", "S199"},
                               {"code", "[\"C001\",\"C002\"]"}}));
    const Gateway::SignedFormBody form = Gateway::signFormBody(params);
    QCOMPARE(fieldNames(form.body), (QStringList{"code", "orgCode", "origBizBillNo", "origSaleNo", "sign", "vipInfoId"}));
    QVERIFY(form.body.startsWith(QStringLiteral("code=%5B%22C001%22%2C%22C002%22%5D&orgCode=A01&")));
}

void tst_Requests::returnUsesRefundedLine_data()
{
    QTest::addColumn<QString>("extPayNo");
    QTest::addColumn<QString>("origSaleNo");
    QTest::newRow("external number") << QStringLiteral("E77") << QStringLiteral("E77");
    QTest::newRow("no external number") << QString() << QStringLiteral("S100");
}

void tst_Requests::returnUsesRefundedLine()
{
    QFETCH(QString, extPayNo);
    QFETCH(QString, origSaleNo);
    TranPayDetail line;
    line.payCode = QStringLiteral("Q1");
    line.payTotal = QStringLiteral("10.00");
    line.payNo = QStringLiteral("C005;");
    line.extPayNo = extPayNo;
    const ParamSet params = Gateway::returnParams(saleHeader(), line);
    QCOMPARE(params, (ParamSet{{"orgCode", "A01"},
                               {"vipInfoId", "V9"},
                               {"origBizBillNo", "B050"},
                               {"origSaleNo", origSaleNo},
                               {"code", "[\"C005\",\"\"]"}}));
}

QTEST_GUILESS_MAIN(tst_Requests)
#include "tst_requests.moc"
