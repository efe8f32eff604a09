// The documents a successful call hands the host: amount, discount lines and payment lines.
#include <QtTest>

#include "entry/resultdocuments.h"

namespace {
const QString xml = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n");
const QString noDiscount = xml + QStringLiteral("<DSC><Yh/></DSC>");

// "pluCode,pluId,index,apportionAmount,transCount" per line.
QList<GoodDetail> goods(const QStringList &lines)
{
    QList<GoodDetail> result;
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char(','));
        result << GoodDetail{f[2], QStringLiteral("not written"), f[1], f[0], {}, f[4], {}, {}, {}, {}, {}, {}, {}, f[3], {}, {}};
    }
    return result;
}

// "payTotal,certiInfoCode" per line.
QList<CouponPayDetail> pays(const QStringList &lines)
{
    QList<CouponPayDetail> result;
    for (const QString &line : lines)
        result << CouponPayDetail{line.section(',', 0, 0), QStringLiteral("not written"), line.section(',', 1), QString()};
    return result;
}

// The amount, then the two documents ("single" when parameter 12 stays untouched), one per line.
QString success(const QString &type, const QString &trAmt, const QStringList &selected, const QStringList &goodsLines,
                const QStringList &payLines)
{
    TranMainDetail main;
    main.txn_type = type;
    main.tr_amt = trAmt;
    main.Mch = QStringLiteral("S1");
    main.saleNo = QStringLiteral("not written");
    QList<VipCouponDetail> coupons;   // "certiInfoCode,apportionType,realCertiMe" each
    for (const QString &line : selected) {
        coupons << VipCouponDetail();
        coupons.last().certiInfoCode = line.section(',', 0, 0);
        coupons.last().apportionType = line.section(',', 1, 1);
        coupons.last().realCertiMe = line.section(',', 2, 2);
    }
    const auto r = ResultDocuments::buildSuccessResult(main, coupons, goods(goodsLines), pays(payLines));
    QString text = r.amount + QLatin1Char('\n') + r.discountXml + QLatin1Char('\n') + (r.singlePayment ? QStringLiteral("single") : r.paymentXml);
    // The log carries exactly what the host gets.
    const QStringList log{"psUdpOutXml1传出参数，交易成功|" + r.discountXml,
                          r.singlePayment ? QStringLiteral("传出参数，交易成功，只存在一笔支付|") : "sUdpOutXml2传出参数，交易成功|" + r.paymentXml};
    for (int i = 0; i < r.log.size(); ++i)
        text += r.log[i].function + QLatin1Char('|') + r.log[i].text == log.value(i) ? QString() : QStringLiteral("\nlog differs");
    return r.log.size() == 2 ? text : text + QStringLiteral("\nlog differs");
}
}

class tst_ResultDocuments : public QObject
{
    Q_OBJECT
private slots:
    void documents_data();
    void documents();
};

void tst_ResultDocuments::documents_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    using ResultDocuments::discountDocument;
    using ResultDocuments::paymentDocument;
    const QString yh = xml + QStringLiteral("<DSC><Yh><YhD>");
    QTest::newRow("no goods") << discountDocument({}, "A;B") << noDiscount;
    QTest::newRow("same codes on every line, empty values short") << discountDocument(goods({"1,a,1,1,1", "X,,,,"}), "A;B")
        << yh + "<PluCode>1</PluCode><PluId>a</PluId><RowId>1</RowId><DscTotal>1</DscTotal><DscCount>1</DscCount><CouponCode>A;B</CouponCode>"
                "</YhD><YhD><PluCode>X</PluCode><PluId/><RowId/><DscTotal/><DscCount/><CouponCode>A;B</CouponCode></YhD></Yh></DSC>";
    QTest::newRow("ampersand and less-than escaped") << discountDocument(goods({"A&B<1>,\"q\" 'a',牛奶,,"}), "x>y")
        << yh + "<PluCode>A&amp;B&lt;1></PluCode><PluId>\"q\" 'a'</PluId><RowId>牛奶</RowId><DscTotal/><DscCount/><CouponCode>x>y"
                "</CouponCode></YhD></Yh></DSC>";
    // "]]>" may not stand in text, and a carriage return would be lost to line-end normalisation.
    QTest::newRow("cdata end and carriage return") << discountDocument(goods({"a]]>b,c\rd,,,"}), "")
        << yh + "<PluCode>a]]&gt;b</PluCode><PluId>c&#xd;d</PluId><RowId/><DscTotal/><DscCount/><CouponCode/></YhD></Yh></DSC>";

    const QString zf = xml + QStringLiteral("<Op><Zf><zfR>");
    QTest::newRow("no payment lines") << paymentDocument({}, "A", 1.0, "S1") << xml + "<Op><Zf/></Op>";
    QTest::newRow("coupon line keeps its code") << paymentDocument(pays({"10.00,CP0001"}), "A;B", 12.5, "S1")
                                                << zf + "<TradeNo>CP0001</TradeNo><BuyerNo>S1</BuyerNo><Total>10.00</Total></zfR></Zf></Op>";
    QTest::newRow("discount line: codes and total in cents") << paymentDocument(pays({"0.00,YHQ"}), "A&B", 3.005001, "S<1>")
        << zf + "<TradeNo>A&amp;B</TradeNo><OtherInfo>SCRM优惠券：3.01</OtherInfo><BuyerNo>S&lt;1></BuyerNo><Total>0.00</Total></zfR></Zf></Op>";
    QTest::newRow("zero written as 0: no extra info") << paymentDocument(pays({"0,YHQ"}), "A", 12.5, "S1")
        << zf + "<TradeNo>A</TradeNo><BuyerNo>S1</BuyerNo><Total>0</Total></zfR></Zf></Op>";
    QTest::newRow("no discount: no extra info") << paymentDocument(pays({"0.00,YHQ"}), "", 0.0, "")
        << zf + "<TradeNo/><BuyerNo/><Total>0.00</Total></zfR></Zf></Op>";
    QTest::newRow("yhq compared exactly") << paymentDocument(pays({"1.00,yhq", ",YHQ "}), "A", 3.0, "S1")
        << zf + "<TradeNo>yhq</TradeNo><BuyerNo>S1</BuyerNo><Total>1.00</Total></zfR><zfR><TradeNo>YHQ </TradeNo><BuyerNo>S1</BuyerNo>"
                "<Total/></zfR></Zf></Op>";

    const QString ab = QStringLiteral("<CouponCode>A;B</CouponCode></YhD>");
    QTest::newRow("sale") << success("SALE", "5000", {"A,1,10", "C,2,30", "B,1,2.5"}, {"6901,P1,1,7.50,2", "6903,P3,3,5.00,1"},
                                     {"0.00,YHQ", "35.50,CP9"})
        << "3550.00\n" + yh + "<PluCode>6901</PluCode><PluId>P1</PluId><RowId>1</RowId><DscTotal>7.50</DscTotal><DscCount>2</DscCount>"
           + ab + "<YhD><PluCode>6903</PluCode><PluId>P3</PluId><RowId>3</RowId><DscTotal>5.00</DscTotal><DscCount>1</DscCount>" + ab
           + "</Yh></DSC>\n" + zf + "<TradeNo>A;B</TradeNo><OtherInfo>SCRM优惠券：12.50</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total>"
           "</zfR><zfR><TradeNo>CP9</TradeNo><BuyerNo>S1</BuyerNo><Total>35.50</Total></zfR></Zf></Op>";
    QTest::newRow("cancel") << success("CANCEL", "800", {"CP0001,1,5"}, {}, {",CP0001;CP0002"})
        << "800.00\n" + noDiscount + "\n" + zf + "<TradeNo>CP0001;CP0002</TradeNo><BuyerNo>S1</BuyerNo><Total/></zfR></Zf></Op>";
    QTest::newRow("no coupon shared by amount: line sum") << success("SALE", "", {"C,2,5", "D, 1,6"}, {"1,,,3.00,"}, {"0.00,YHQ"})
        << "0.00\n" + yh + "<PluCode>1</PluCode><PluId/><RowId/><DscTotal>3.00</DscTotal><DscCount/><CouponCode/></YhD></Yh></DSC>\n"
           + zf + "<TradeNo/><OtherInfo>SCRM优惠券：3.00</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total></zfR></Zf></Op>";
    QTest::newRow("line sum not positive: coupon sum") << success("SALE", "", {"A,1,4"}, {",,,-1,"}, {"0.00,YHQ"})
        << "0.00\n" + yh + "<PluCode/><PluId/><RowId/><DscTotal>-1</DscTotal><DscCount/><CouponCode>A</CouponCode></YhD></Yh></DSC>\n"
           + zf + "<TradeNo>A</TradeNo><OtherInfo>SCRM优惠券：4.00</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total></zfR></Zf></Op>";
    QTest::newRow("single payment") << success("SALE", "5000", {"A,1,1"}, {"P,,,1.00,"}, {})
        << "0.00\n" + yh + "<PluCode>P</PluCode><PluId/><RowId/><DscTotal>1.00</DscTotal><DscCount/><CouponCode>A</CouponCode></YhD></Yh>"
                           "</DSC>\nsingle";
    QTest::newRow("sale: texts that are not numbers count as 0") << success("SALE", "", {}, {}, {"nan,X", "5,Y", "1e400,Z"})
        << "500.00\n" + noDiscount + "\n" + zf + "<TradeNo>X</TradeNo><BuyerNo>S1</BuyerNo><Total>nan</Total></zfR><zfR><TradeNo>Y</TradeNo>"
           "<BuyerNo>S1</BuyerNo><Total>5</Total></zfR><zfR><TradeNo>Z</TradeNo><BuyerNo>S1</BuyerNo><Total>1e400</Total></zfR></Zf></Op>";
    QTest::newRow("sale: cents survive binary fractions") << success("SALE", "", {}, {}, {"0.1,A", "0.2,B"})
        << "30.00\n" + noDiscount + "\n" + zf + "<TradeNo>A</TradeNo><BuyerNo>S1</BuyerNo><Total>0.1</Total></zfR><zfR><TradeNo>B</TradeNo>"
           "<BuyerNo>S1</BuyerNo><Total>0.2</Total></zfR></Zf></Op>";
    const QString refund = QStringLiteral("\n") + noDiscount + "\n" + zf + "<TradeNo>CP0001</TradeNo><BuyerNo>S1</BuyerNo><Total>10.00</Total></zfR></Zf></Op>";
    QTest::newRow("void: odd cents") << success("VOID", "1001", {}, {}, {"10.00,CP0001"}) << "1001.00" + refund;
    QTest::newRow("void: amount not a number") << success("VOID", "12a", {}, {}, {"10.00,CP0001"}) << "0.00" + refund;
    QTest::newRow("lower-case sale: the header's amount") << success("sale", "250", {}, {}, {"10.00,CP0001"}) << "250.00" + refund;
}

void tst_ResultDocuments::documents()
{
    QFETCH(QString, actual);
    QTEST(actual, "expected");
}

QTEST_GUILESS_MAIN(tst_ResultDocuments)
#include "tst_resultdocuments.moc"
