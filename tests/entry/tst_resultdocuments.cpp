#include <QtTest>

#include "entry/resultdocuments.h"

Q_DECLARE_METATYPE(TranMainDetail)

namespace {

GoodDetail good(const QString &pluCode, const QString &pluId, const QString &index,
                const QString &apportionAmount, const QString &transCount)
{
    GoodDetail g;
    g.pluCode = pluCode;
    g.pluId = pluId;
    g.index = index;
    g.apportionAmount = apportionAmount;
    g.transCount = transCount;
    g.outPluId = QStringLiteral("not written");
    return g;
}

VipCouponDetail coupon(const QString &code, const QString &apportionType,
                       const QString &realCertiMe)
{
    VipCouponDetail c;
    c.certiInfoCode = code;
    c.apportionType = apportionType;
    c.realCertiMe = realCertiMe;
    c.certiMe = QStringLiteral("99");
    return c;
}

CouponPayDetail pay(const QString &payTotal, const QString &certiInfoCode)
{
    CouponPayDetail p;
    p.payTotal = payTotal;
    p.certiInfoCode = certiInfoCode;
    p.certiInfoId = QStringLiteral("not written");
    return p;
}

TranMainDetail tranMain(const QString &type, const QString &trAmt, const QString &mch)
{
    TranMainDetail m;
    m.txn_type = type;
    m.tr_amt = trAmt;
    m.Mch = mch;
    m.saleNo = QStringLiteral("not written");
    return m;
}

// "function|text", so a failing comparison prints both lists readably.
QStringList lines(const LogLines &log)
{
    QStringList result;
    for (const LogLine &line : log)
        result << line.function + QLatin1Char('|') + line.text;
    return result;
}

const QString declaration = QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n");
const QString emptyDiscount =
    QStringLiteral("<?xml version='1.0' encoding='UTF-8'?>\n<DSC><Yh/></DSC>");

}

class tst_ResultDocuments : public QObject
{
    Q_OBJECT
private slots:
    void discountDocument_data();
    void discountDocument();
    void paymentDocument_data();
    void paymentDocument();
    void successResult_data();
    void successResult();
};

void tst_ResultDocuments::discountDocument_data()
{
    QTest::addColumn<QList<GoodDetail>>("goods");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<QString>("xml");

    QTest::newRow("no goods") << QList<GoodDetail>() << QStringLiteral("A;B") << emptyDiscount;
    QTest::newRow("one line")
        << QList<GoodDetail>{good(QStringLiteral("690001"), QStringLiteral("P001"),
                                  QStringLiteral("1"), QStringLiteral("7.50"),
                                  QStringLiteral("2"))}
        << QStringLiteral("CP0001")
        << declaration
               + QStringLiteral("<DSC><Yh><YhD><PluCode>690001</PluCode><PluId>P001</PluId>"
                                "<RowId>1</RowId><DscTotal>7.50</DscTotal><DscCount>2</DscCount>"
                                "<CouponCode>CP0001</CouponCode></YhD></Yh></DSC>");
    QTest::newRow("empty values in short form")
        << QList<GoodDetail>{good(QStringLiteral("X"), QString(), QString(), QString(),
                                  QString())}
        << QString()
        << declaration
               + QStringLiteral("<DSC><Yh><YhD><PluCode>X</PluCode><PluId/><RowId/><DscTotal/>"
                                "<DscCount/><CouponCode/></YhD></Yh></DSC>");
    QTest::newRow("same codes on every line")
        << QList<GoodDetail>{good(QStringLiteral("1"), QStringLiteral("a"), QStringLiteral("1"),
                                  QStringLiteral("1"), QStringLiteral("1")),
                             good(QStringLiteral("2"), QStringLiteral("b"), QStringLiteral("2"),
                                  QStringLiteral("2"), QStringLiteral("2"))}
        << QStringLiteral("A;B")
        << declaration
               + QStringLiteral("<DSC><Yh><YhD><PluCode>1</PluCode><PluId>a</PluId><RowId>1"
                                "</RowId><DscTotal>1</DscTotal><DscCount>1</DscCount><CouponCode>"
                                "A;B</CouponCode></YhD><YhD><PluCode>2</PluCode><PluId>b</PluId>"
                                "<RowId>2</RowId><DscTotal>2</DscTotal><DscCount>2</DscCount>"
                                "<CouponCode>A;B</CouponCode></YhD></Yh></DSC>");
    QTest::newRow("ampersand and less-than escaped")
        << QList<GoodDetail>{good(QStringLiteral("A&B<1>"), QStringLiteral("\"q\" 'a'"),
                                  QStringLiteral("牛奶"), QString(), QString())}
        << QStringLiteral("x>y")
        << declaration
               + QStringLiteral("<DSC><Yh><YhD><PluCode>A&amp;B&lt;1></PluCode><PluId>\"q\" 'a'"
                                "</PluId><RowId>牛奶</RowId><DscTotal/><DscCount/><CouponCode>"
                                "x>y</CouponCode></YhD></Yh></DSC>");
    // Qt's serialiser keeps the document well-formed: "]]>" may not stand in text, and a
    // carriage return would be lost to line-end normalisation on the host's side.
    QTest::newRow("cdata end and carriage return")
        << QList<GoodDetail>{good(QStringLiteral("a]]>b"), QStringLiteral("c\rd"), QString(),
                                  QString(), QString())}
        << QString()
        << declaration
               + QStringLiteral("<DSC><Yh><YhD><PluCode>a]]&gt;b</PluCode><PluId>c&#xd;d</PluId>"
                                "<RowId/><DscTotal/><DscCount/><CouponCode/></YhD></Yh></DSC>");
}

void tst_ResultDocuments::discountDocument()
{
    QFETCH(QList<GoodDetail>, goods);
    QFETCH(QString, codes);
    QFETCH(QString, xml);
    QCOMPARE(ResultDocuments::discountDocument(goods, codes), xml);
}

void tst_ResultDocuments::paymentDocument_data()
{
    QTest::addColumn<QList<CouponPayDetail>>("pays");
    QTest::addColumn<QString>("codes");
    QTest::addColumn<double>("discountTotal");
    QTest::addColumn<QString>("buyerNo");
    QTest::addColumn<QString>("xml");

    QTest::newRow("no lines") << QList<CouponPayDetail>() << QStringLiteral("A") << 1.0
                              << QStringLiteral("S1")
                              << declaration + QStringLiteral("<Op><Zf/></Op>");
    QTest::newRow("coupon line keeps its code")
        << QList<CouponPayDetail>{pay(QStringLiteral("10.00"), QStringLiteral("CP0001"))}
        << QStringLiteral("A;B") << 12.5 << QStringLiteral("S20261206001")
        << declaration
               + QStringLiteral("<Op><Zf><zfR><TradeNo>CP0001</TradeNo><BuyerNo>S20261206001"
                                "</BuyerNo><Total>10.00</Total></zfR></Zf></Op>");
    QTest::newRow("discount line carries the codes and the total")
        << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ"))}
        << QStringLiteral("A;B") << 12.5 << QStringLiteral("S1")
        << declaration
               + QStringLiteral("<Op><Zf><zfR><TradeNo>A;B</TradeNo><OtherInfo>SCRM优惠券：12.50"
                                "</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total></zfR></Zf>"
                                "</Op>");
    QTest::newRow("zero written as 0 gets no extra info")
        << QList<CouponPayDetail>{pay(QStringLiteral("0"), QStringLiteral("YHQ"))}
        << QStringLiteral("A") << 12.5 << QStringLiteral("S1")
        << declaration
               + QStringLiteral("<Op><Zf><zfR><TradeNo>A</TradeNo><BuyerNo>S1</BuyerNo><Total>0"
                                "</Total></zfR></Zf></Op>");
    QTest::newRow("no discount, no extra info")
        << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ"))}
        << QString() << 0.0 << QString()
        << declaration
               + QStringLiteral("<Op><Zf><zfR><TradeNo/><BuyerNo/><Total>0.00</Total></zfR>"
                                "</Zf></Op>");
    QTest::newRow("yhq compared exactly")
        << QList<CouponPayDetail>{pay(QStringLiteral("1.00"), QStringLiteral("yhq")),
                                  pay(QString(), QStringLiteral("YHQ "))}
        << QStringLiteral("A") << 3.0 << QStringLiteral("S1")
        << declaration
               + QStringLiteral("<Op><Zf><zfR><TradeNo>yhq</TradeNo><BuyerNo>S1</BuyerNo><Total>"
                                "1.00</Total></zfR><zfR><TradeNo>YHQ </TradeNo><BuyerNo>S1"
                                "</BuyerNo><Total/></zfR></Zf></Op>");
    QTest::newRow("total rounded to cents")
        << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ"))}
        << QStringLiteral("A&B") << 3.005001 << QStringLiteral("S<1>")
        << declaration
               + QStringLiteral("<Op><Zf><zfR><TradeNo>A&amp;B</TradeNo><OtherInfo>SCRM优惠券："
                                "3.01</OtherInfo><BuyerNo>S&lt;1></BuyerNo><Total>0.00</Total>"
                                "</zfR></Zf></Op>");
}

void tst_ResultDocuments::paymentDocument()
{
    QFETCH(QList<CouponPayDetail>, pays);
    QFETCH(QString, codes);
    QFETCH(double, discountTotal);
    QFETCH(QString, buyerNo);
    QFETCH(QString, xml);
    QCOMPARE(ResultDocuments::paymentDocument(pays, codes, discountTotal, buyerNo), xml);
}

void tst_ResultDocuments::successResult_data()
{
    QTest::addColumn<TranMainDetail>("main");
    QTest::addColumn<QList<VipCouponDetail>>("selected");
    QTest::addColumn<QList<GoodDetail>>("goods");
    QTest::addColumn<QList<CouponPayDetail>>("pays");
    QTest::addColumn<QString>("amount");
    QTest::addColumn<bool>("singlePayment");
    QTest::addColumn<QString>("discountXml");
    QTest::addColumn<QString>("paymentXml");
    QTest::addColumn<QStringList>("log");

    const QString logDiscount = QStringLiteral("psUdpOutXml1传出参数，交易成功|");
    const QString logPayment = QStringLiteral("sUdpOutXml2传出参数，交易成功|");
    const QString logSingle = QStringLiteral("传出参数，交易成功，只存在一笔支付|");

    {
        const QString discount = declaration + QStringLiteral(
            "<DSC><Yh><YhD><PluCode>690001</PluCode><PluId>P001</PluId><RowId>1</RowId>"
            "<DscTotal>7.50</DscTotal><DscCount>2</DscCount><CouponCode>A;B</CouponCode></YhD>"
            "<YhD><PluCode>690003</PluCode><PluId>P003</PluId><RowId>3</RowId><DscTotal>5.00"
            "</DscTotal><DscCount>1</DscCount><CouponCode>A;B</CouponCode></YhD></Yh></DSC>");
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>A;B</TradeNo><OtherInfo>SCRM优惠券：12.50</OtherInfo><BuyerNo>"
            "S20261206001</BuyerNo><Total>0.00</Total></zfR><zfR><TradeNo>CP9</TradeNo><BuyerNo>"
            "S20261206001</BuyerNo><Total>35.50</Total></zfR></Zf></Op>");
        QTest::newRow("sale")
            << tranMain(QStringLiteral("SALE"), QStringLiteral("5000"),
                        QStringLiteral("S20261206001"))
            << QList<VipCouponDetail>{coupon(QStringLiteral("A"), QStringLiteral("1"),
                                             QStringLiteral("10")),
                                      coupon(QStringLiteral("C"), QStringLiteral("2"),
                                             QStringLiteral("30")),
                                      coupon(QStringLiteral("B"), QStringLiteral("1"),
                                             QStringLiteral("2.5"))}
            << QList<GoodDetail>{good(QStringLiteral("690001"), QStringLiteral("P001"),
                                      QStringLiteral("1"), QStringLiteral("7.50"),
                                      QStringLiteral("2")),
                                 good(QStringLiteral("690003"), QStringLiteral("P003"),
                                      QStringLiteral("3"), QStringLiteral("5.00"),
                                      QStringLiteral("1"))}
            << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ")),
                                      pay(QStringLiteral("35.50"), QStringLiteral("CP9"))}
            << QStringLiteral("3550.00") << false << discount << payment
            << QStringList{logDiscount + discount, logPayment + payment};
    }
    {
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>CP0001;CP0002</TradeNo><BuyerNo>S20261206001</BuyerNo><Total/>"
            "</zfR></Zf></Op>");
        QTest::newRow("cancel")
            << tranMain(QStringLiteral("CANCEL"), QStringLiteral("800"),
                        QStringLiteral("S20261206001"))
            << QList<VipCouponDetail>{coupon(QStringLiteral("CP0001"), QStringLiteral("1"),
                                             QStringLiteral("5"))}
            << QList<GoodDetail>()
            << QList<CouponPayDetail>{pay(QString(), QStringLiteral("CP0001;CP0002"))}
            << QStringLiteral("800.00") << false << emptyDiscount << payment
            << QStringList{logDiscount + emptyDiscount, logPayment + payment};
    }
    {
        const QString discount = declaration + QStringLiteral(
            "<DSC><Yh><YhD><PluCode>1</PluCode><PluId/><RowId/><DscTotal>3.00</DscTotal>"
            "<DscCount/><CouponCode/></YhD></Yh></DSC>");
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo/><OtherInfo>SCRM优惠券：3.00</OtherInfo><BuyerNo>M</BuyerNo>"
            "<Total>0.00</Total></zfR></Zf></Op>");
        QTest::newRow("no shared coupon: line sum")
            << tranMain(QStringLiteral("SALE"), QString(), QStringLiteral("M"))
            << QList<VipCouponDetail>{coupon(QStringLiteral("C"), QStringLiteral("2"),
                                             QStringLiteral("5")),
                                      coupon(QStringLiteral("D"), QStringLiteral(" 1"),
                                             QStringLiteral("6"))}
            << QList<GoodDetail>{good(QStringLiteral("1"), QString(), QString(),
                                      QStringLiteral("3.00"), QString())}
            << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ"))}
            << QStringLiteral("0.00") << false << discount << payment
            << QStringList{logDiscount + discount, logPayment + payment};
    }
    {
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>A</TradeNo><OtherInfo>SCRM优惠券：12.50</OtherInfo><BuyerNo>M"
            "</BuyerNo><Total>0.00</Total></zfR></Zf></Op>");
        QTest::newRow("no goods: coupon sum")
            << tranMain(QStringLiteral("SALE"), QString(), QStringLiteral("M"))
            << QList<VipCouponDetail>{coupon(QStringLiteral("A"), QStringLiteral("1"),
                                             QStringLiteral("12.5"))}
            << QList<GoodDetail>()
            << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ"))}
            << QStringLiteral("0.00") << false << emptyDiscount << payment
            << QStringList{logDiscount + emptyDiscount, logPayment + payment};
    }
    {
        const QString discount = declaration + QStringLiteral(
            "<DSC><Yh><YhD><PluCode/><PluId/><RowId/><DscTotal>-1</DscTotal><DscCount/>"
            "<CouponCode>A</CouponCode></YhD></Yh></DSC>");
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>A</TradeNo><OtherInfo>SCRM优惠券：4.00</OtherInfo><BuyerNo/>"
            "<Total>0.00</Total></zfR></Zf></Op>");
        QTest::newRow("line sum not positive: coupon sum")
            << tranMain(QStringLiteral("SALE"), QString(), QString())
            << QList<VipCouponDetail>{coupon(QStringLiteral("A"), QStringLiteral("1"),
                                             QStringLiteral("4"))}
            << QList<GoodDetail>{good(QString(), QString(), QString(), QStringLiteral("-1"),
                                      QString())}
            << QList<CouponPayDetail>{pay(QStringLiteral("0.00"), QStringLiteral("YHQ"))}
            << QStringLiteral("0.00") << false << discount << payment
            << QStringList{logDiscount + discount, logPayment + payment};
    }
    {
        const QString discount = declaration + QStringLiteral(
            "<DSC><Yh><YhD><PluCode>P</PluCode><PluId/><RowId/><DscTotal>1.00</DscTotal>"
            "<DscCount/><CouponCode>A</CouponCode></YhD></Yh></DSC>");
        QTest::newRow("single payment")
            << tranMain(QStringLiteral("SALE"), QStringLiteral("5000"), QStringLiteral("M"))
            << QList<VipCouponDetail>{coupon(QStringLiteral("A"), QStringLiteral("1"),
                                             QStringLiteral("1"))}
            << QList<GoodDetail>{good(QStringLiteral("P"), QString(), QString(),
                                      QStringLiteral("1.00"), QString())}
            << QList<CouponPayDetail>() << QStringLiteral("0.00") << true << discount << QString()
            << QStringList{logDiscount + discount, logSingle};
    }
    {
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>X</TradeNo><BuyerNo/><Total>nan</Total></zfR><zfR><TradeNo>Y"
            "</TradeNo><BuyerNo/><Total>5</Total></zfR><zfR><TradeNo>Z</TradeNo><BuyerNo/><Total>"
            "1e400</Total></zfR></Zf></Op>");
        QTest::newRow("sale: texts that are not numbers count as 0")
            << tranMain(QStringLiteral("SALE"), QString(), QString())
            << QList<VipCouponDetail>() << QList<GoodDetail>()
            << QList<CouponPayDetail>{pay(QStringLiteral("nan"), QStringLiteral("X")),
                                      pay(QStringLiteral("5"), QStringLiteral("Y")),
                                      pay(QStringLiteral("1e400"), QStringLiteral("Z"))}
            << QStringLiteral("500.00") << false << emptyDiscount << payment
            << QStringList{logDiscount + emptyDiscount, logPayment + payment};
    }
    {
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>A</TradeNo><BuyerNo/><Total>0.1</Total></zfR><zfR><TradeNo>B"
            "</TradeNo><BuyerNo/><Total>0.2</Total></zfR></Zf></Op>");
        QTest::newRow("sale: cents survive binary fractions")
            << tranMain(QStringLiteral("SALE"), QString(), QString())
            << QList<VipCouponDetail>() << QList<GoodDetail>()
            << QList<CouponPayDetail>{pay(QStringLiteral("0.1"), QStringLiteral("A")),
                                      pay(QStringLiteral("0.2"), QStringLiteral("B"))}
            << QStringLiteral("30.00") << false << emptyDiscount << payment
            << QStringList{logDiscount + emptyDiscount, logPayment + payment};
    }
    {
        const QString payment = declaration + QStringLiteral(
            "<Op><Zf><zfR><TradeNo>CP0001</TradeNo><BuyerNo/><Total>10.00</Total></zfR></Zf>"
            "</Op>");
        const QList<CouponPayDetail> refund{pay(QStringLiteral("10.00"),
                                                QStringLiteral("CP0001"))};
        const QStringList log{logDiscount + emptyDiscount, logPayment + payment};
        QTest::newRow("void: odd cents")
            << tranMain(QStringLiteral("VOID"), QStringLiteral("1001"), QString())
            << QList<VipCouponDetail>() << QList<GoodDetail>() << refund
            << QStringLiteral("1001.00") << false << emptyDiscount << payment << log;
        QTest::newRow("void: amount not a number")
            << tranMain(QStringLiteral("VOID"), QStringLiteral("12a"), QString())
            << QList<VipCouponDetail>() << QList<GoodDetail>() << refund
            << QStringLiteral("0.00") << false << emptyDiscount << payment << log;
        QTest::newRow("lower-case sale uses the header amount")
            << tranMain(QStringLiteral("sale"), QStringLiteral("250"), QString())
            << QList<VipCouponDetail>() << QList<GoodDetail>() << refund
            << QStringLiteral("250.00") << false << emptyDiscount << payment << log;
    }
}

void tst_ResultDocuments::successResult()
{
    QFETCH(TranMainDetail, main);
    QFETCH(QList<VipCouponDetail>, selected);
    QFETCH(QList<GoodDetail>, goods);
    QFETCH(QList<CouponPayDetail>, pays);
    QFETCH(QString, amount);
    QFETCH(bool, singlePayment);
    QFETCH(QString, discountXml);
    QFETCH(QString, paymentXml);
    QFETCH(QStringList, log);

    const ResultDocuments::SuccessResult result =
        ResultDocuments::buildSuccessResult(main, selected, goods, pays);
    QCOMPARE(result.amount, amount);
    QCOMPARE(result.singlePayment, singlePayment);
    QCOMPARE(result.discountXml, discountXml);
    QCOMPARE(result.paymentXml, paymentXml);
    QCOMPARE(lines(result.log), log);
}

QTEST_GUILESS_MAIN(tst_ResultDocuments)
#include "tst_resultdocuments.moc"
