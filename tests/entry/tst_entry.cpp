// The entry: the set-up of a call (database first, then the till's configuration), what the controller's operations
// refuse or log on their own, one whole call through the entry, and the documents a successful call hands the host.
#include <QDialog>
#include <QRegularExpression>
#include <QTest>

#include "entry/cardtrans.h"
#include "entry/resultdocuments.h"
#include "entry/vipcouponcpu.h"
#include "helpers/testsupport.h"
#include "helpers/tillfolder.h"

using Goods = QList<GoodDetail>;
using Pays = QList<CouponPayDetail>;
using Coupons = QList<VipCouponDetail>;

namespace {
const QString xml = "<?xml version='1.0' encoding='UTF-8'?>\n";

GoodDetail good(const QString &pluCode, const QString &pluId, const QString &index, const QString &amount,
                const QString &count)
{
    return GoodDetail {index, "not written", pluId, pluCode, {}, count, {}, {}, {}, {}, {}, {}, {}, amount, {}, {}};
}

CouponPayDetail pay(const QString &total, const QString &code)
{
    return CouponPayDetail {total, "not written", code, {}};
}

VipCouponDetail coupon(const QString &code, const QString &apportionType, const QString &amount)
{
    VipCouponDetail c;
    c.certiInfoCode = code;
    c.apportionType = apportionType;
    c.realCertiMe = amount;
    return c;
}
}

class tst_Entry : public QObject
{
    Q_OBJECT
private slots:
    void initializeChecksDatabaseThenSystemType_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QString>("dbType"); // GEN6's config.ini
        QTest::addColumn<QString>("dbName");
        QTest::addColumn<QString>("message"); // empty: initialised
        QTest::addColumn<QString>("shown"); // the message box
        QTest::addColumn<QString>("orgCode");
        const QString wrongType = "系统类型配置错误";
        QTest::newRow("GEN5 anywhere, no config.ini") << "POS-GEN5-2"
                                                      << ""
                                                      << ""
                                                      << ""
                                                      << ""
                                                      << "";
        QTest::newRow("gen6 lower case") << "gen6"
                                         << ""
                                         << "" << wrongType << wrongType << "";
        // The box carries a prefix, the returned message does not; nothing else is read.
        QTest::newRow("no database type") << "GEN6"
                                          << ""
                                          << "pos.db"
                                          << "未设置数据库类型"
                                          << "数据库初始化失败：未设置数据库类型"
                                          << "";
        QTest::newRow("type without driver") << "GEN6"
                                             << "DB2"
                                             << "pos.db"
                                             << "数据库打开失败！"
                                             << "数据库初始化失败：数据库打开失败！"
                                             << "";
    }

    void initializeChecksDatabaseThenSystemType()
    {
        QFETCH(QString, sysType);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QFETCH(QString, orgCode);
        AppFolder app;
        // A working database for every kind of till: GEN6 reads config.ini, any other system type reaches "SQL Server"
        // through ODBC.
        app.writeGen6();
        app.writeGen5();
        app.writeIni("GdPosCfg.ini", {{"DataBase/Server", "localhost"}, {"DataBase/DbName", app.filePath("gen5.db")}});
        app.writeIni("TwCouponPay5.ini", {{"Config/SysType", sysType}, {"Config/OptimalNum", "3"}});
        if (sysType == "GEN6") {
            QFETCH(QString, dbType);
            QFETCH(QString, dbName);
            app.writeIni("config.ini", {{"DataBase/DbType", dbType}, {"DataBase/DBName", dbName}});
        }

        VipCouponCPU cpu;
        QString error;
        int boxes = 0;
        ModalDriver confirm([&boxes](QDialog &box) {
            ++boxes;
            QTest::keyClick(&box, Qt::Key_Return);
        });
        QCOMPARE(cpu.Initialize(error) ? "initialised" + error : error, message.isEmpty() ? "initialised" : message);
        QCOMPARE(boxes, shown.isEmpty() ? 0 : 1);
        QCOMPARE(cpu.m_sOrgCode + '/' + cpu.m_sPosNo, orgCode.isEmpty() ? "/" : orgCode + "/001");
        QCOMPARE(cpu.m_sOptimalNum, message.isEmpty() ? "3" : QString());
        const QString log = app.logText();
        QCOMPARE(log.contains(TestSupport::logEntry("初始化", "数据库初始化成功")), !shown.startsWith("数据库"));
        QCOMPARE(log.contains(TestSupport::logEntry("提示信息", shown)), !shown.isEmpty());
    }

    void signingIsLogged()
    {
        AppFolder app;
        VipCouponCPU cpu;
        const Gateway::ParamSet params {{"orgCode", "A01"}, {"vipCode", QString()}};
        QString signedText; // the digest's input, checked in the log
        QCOMPARE(cpu.MakeSign(params, signedText), "cc396a1eb871e8e097ca5de54de443e2");
        QCOMPARE(cpu.MakeSignedBody(params), "orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=");
        const QString log = app.logText();
        QVERIFY(log.contains(
            TestSupport::logEntry("签名字符串", "orgCode=A01&key=#%7315^QwerzP&!%XK482067~$91LHRtmbowkqpX8")));
        QCOMPARE(log.count(TestSupport::logEntry("签名结果", "cc396a1eb871e8e097ca5de54de443e2")), 2);
        QVERIFY(log.contains(
            TestSupport::logEntry("发送报文明文", "orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=")));
    }

    void couponsNeedAMember()
    {
        AppFolder app;
        app.writeGen6("http://127.0.0.1:9");
        VipCouponCPU cpu;
        QList<VipCouponDetail> coupons;
        QList<CouponPayDetail> pays;
        QList<GoodDetail> goods;
        QString error;
        QCOMPARE(cpu.QueryCoupons(0, coupons, pays, goods, error) ? QString() : error,
                 "非会员交易，不允许使用该支付方式");
        QVERIFY(!app.logText().contains("位置：请求地址"));
    }

    void unreadableDocumentFailsTheCall()
    {
        AppFolder app;
        app.writeGen6("http://127.0.0.1:9");
        QByteArray in[4] = {"<M><txn_type>SALE</txn_type><pay_code>0308</pay_code></M>",
                            "<G><Plu><L><PI>P1</PI></L></Plu></G>", "<Pay/>", "{}"};
        QByteArray out[8];
        Entry::HostParameters params;
        for (int i = 0; i < 12; ++i)
            params.p[i] = i < 4 ? in[i].data() : (out[i - 4] = QByteArray(4096, '\0')).data();
        LogWriter libraryLog;
        QCOMPARE(Entry::cardTrans(libraryLog, params), 1);
        QCOMPARE(QByteArray(out[0].constData()), QByteArray("111111"));
        QCOMPARE(QString::fromLocal8Bit(out[1].constData()), "p_sTranPayXml参数解析错误");
        QCOMPARE(QByteArray(out[2].constData()) + out[6].constData() + out[7].constData(), QByteArray());
        const QString log = app.logText();
        QVERIFY(log.contains(TestSupport::logEntry("传入参数解析失败", "p_sTranPayXml参数解析错误")));
        QVERIFY(!log.contains("位置：请求地址"));
        // The closing step runs after a failure too.
        QVERIFY2(log.contains(TestSupport::logEntry("TwCardTrans", "WaitDlg.close End")), qPrintable(log.right(800)));
    }

    void discountDocument_data()
    {
        QTest::addColumn<Goods>("goods");
        QTest::addColumn<QString>("codes");
        QTest::addColumn<QString>("document");
        const QString yh = xml + "<DSC><Yh><YhD>";
        QTest::newRow("same codes on every line, empty values short")
            << Goods {good("1", "a", "1", "1", "1"), good("X", "", "", "", "")} << "A;B"
            << yh
                + "<PluCode>1</PluCode><PluId>a</PluId><RowId>1</RowId><DscTotal>1</DscTotal><DscCount>1</DscCount>"
                  "<CouponCode>A;B</CouponCode></YhD><YhD><PluCode>X</PluCode><PluId/><RowId/><DscTotal/><DscCount/>"
                  "<CouponCode>A;B</CouponCode></YhD></Yh></DSC>";
        // "]]>" may not stand in text, and a carriage return would be lost to line-end normalisation.
        QTest::newRow("markup escaped") << Goods {good("A&B<1>", "\"q\" 'a'", "牛奶", "", ""),
                                                  good("a]]>b", "c\rd", "", "", "")}
                                        << "x>y"
                                        << yh
                + "<PluCode>A&amp;B&lt;1></PluCode><PluId>\"q\" 'a'</PluId><RowId>牛奶</RowId><DscTotal/><DscCount/>"
                  "<CouponCode>x>y</CouponCode></YhD><YhD><PluCode>a]]&gt;b</PluCode><PluId>c&#xd;d</PluId><RowId/>"
                  "<DscTotal/><DscCount/><CouponCode>x>y</CouponCode></YhD></Yh></DSC>";
    }

    void discountDocument()
    {
        QFETCH(Goods, goods);
        QFETCH(QString, codes);
        QTEST(ResultDocuments::discountDocument(goods, codes), "document");
    }

    void paymentDocument_data()
    {
        QTest::addColumn<Pays>("pays");
        QTest::addColumn<QString>("codes");
        QTest::addColumn<double>("discountTotal");
        QTest::addColumn<QString>("buyerNo");
        QTest::addColumn<QString>("document");
        const QString zf = xml + "<Op><Zf><zfR>";
        QTest::newRow("discount line: codes and total in cents")
            << Pays {pay("0.00", "YHQ")} << "A&B" << 3.005001 << "S<1>"
            << zf
                + "<TradeNo>A&amp;B</TradeNo><OtherInfo>SCRM优惠券：3.01</OtherInfo><BuyerNo>S&lt;1></BuyerNo>"
                  "<Total>0.00</Total></zfR></Zf></Op>";
        QTest::newRow("zero written as 0: no extra info")
            << Pays {pay("0", "YHQ")} << "A" << 12.5 << "S1"
            << zf + "<TradeNo>A</TradeNo><BuyerNo>S1</BuyerNo><Total>0</Total></zfR></Zf></Op>";
        QTest::newRow("yhq compared exactly") << Pays {pay("1.00", "yhq"), pay("", "YHQ ")} << "A" << 3.0 << "S1"
                                              << zf
                + "<TradeNo>yhq</TradeNo><BuyerNo>S1</BuyerNo><Total>1.00</Total></zfR><zfR><TradeNo>YHQ </TradeNo>"
                  "<BuyerNo>S1</BuyerNo><Total/></zfR></Zf></Op>";
    }

    void paymentDocument()
    {
        QFETCH(Pays, pays);
        QFETCH(QString, codes);
        QFETCH(double, discountTotal);
        QFETCH(QString, buyerNo);
        QTEST(ResultDocuments::paymentDocument(pays, codes, discountTotal, buyerNo), "document");
    }

    void buildSuccessResult_data()
    {
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("trAmt");
        QTest::addColumn<Coupons>("selected");
        QTest::addColumn<Goods>("goods");
        QTest::addColumn<Pays>("pays");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("codes"); // on the discount lines
        QTest::addColumn<QString>("discount"); // the payment document's extra info, or none
        QTest::addColumn<bool>("single");
        const Coupons twoByAmount {coupon("A", "1", "10"), coupon("C", "2", "30"), coupon("B", "1", "2.5")};
        QTest::newRow("sale") << "SALE"
                              << "5000" << twoByAmount
                              << Goods {good("6901", "P1", "1", "7.50", "2"), good("6903", "P3", "3", "5.00", "1")}
                              << Pays {pay("0.00", "YHQ"), pay("35.50", "CP9")} << "3550.00"
                              << "A;B"
                              << "SCRM优惠券：12.50" << false;
        QTest::newRow("no coupon shared by amount: line sum")
            << "SALE"
            << "" << Coupons {coupon("C", "2", "5"), coupon("D", " 1", "6")} << Goods {good("1", "", "", "3.00", "")}
            << Pays {pay("0.00", "YHQ")} << "0.00"
            << ""
            << "SCRM优惠券：3.00" << false;
        QTest::newRow("line sum not positive: coupon sum")
            << "SALE"
            << "" << Coupons {coupon("A", "1", "4")} << Goods {good("", "", "", "-1", "")} << Pays {pay("0.00", "YHQ")}
            << "0.00"
            << "A"
            << "SCRM优惠券：4.00" << false;
        QTest::newRow("single payment") << "SALE"
                                        << "5000" << Coupons {coupon("A", "1", "1")}
                                        << Goods {good("P", "", "", "1.00", "")} << Pays() << "0.00"
                                        << "A"
                                        << "" << true;
        QTest::newRow("cancel, odd cents")
            << "CANCEL"
            << "1001" << Coupons {coupon("CP0001", "1", "5")} << Goods() << Pays {pay("", "CP0001;CP0002")} << "1001.00"
            << ""
            << "" << false;
        QTest::newRow("sale: texts that are not numbers count as 0")
            << "SALE"
            << "" << Coupons() << Goods() << Pays {pay("nan", "X"), pay("5", "Y"), pay("1e400", "Z")} << "500.00"
            << ""
            << "" << false;
        QTest::newRow("sale: cents survive binary fractions")
            << "SALE"
            << "" << Coupons() << Goods() << Pays {pay("0.1", "A"), pay("0.2", "B")} << "30.00"
            << ""
            << "" << false;
        QTest::newRow("void: amount not a number")
            << "VOID"
            << "12a" << Coupons() << Goods() << Pays {pay("10.00", "CP0001")} << "0.00"
            << ""
            << "" << false;
        QTest::newRow("lower-case sale: the header's amount")
            << "sale"
            << "250" << Coupons() << Goods() << Pays {pay("10.00", "CP0001")} << "250.00"
            << ""
            << "" << false;
    }

    // The amount and which codes and totals go into the documents; the log carries exactly what the host gets.
    void buildSuccessResult()
    {
        QFETCH(QString, type);
        QFETCH(QString, trAmt);
        QFETCH(Coupons, selected);
        QFETCH(Goods, goods);
        QFETCH(Pays, pays);
        QFETCH(QString, codes);
        QFETCH(bool, single);
        TranMainDetail main;
        main.txn_type = type;
        main.tr_amt = trAmt;
        main.Mch = "S1";
        const auto r = ResultDocuments::buildSuccessResult(main, selected, goods, pays);
        QTEST(r.amount, "amount");
        QCOMPARE(r.discountXml,
                 goods.isEmpty() ? xml + "<DSC><Yh/></DSC>" : ResultDocuments::discountDocument(goods, codes));
        QTEST(r.singlePayment, "single");
        QTEST(QRegularExpression("<OtherInfo>(.*)</OtherInfo>").match(r.paymentXml).captured(1), "discount");
        QCOMPARE(r.paymentXml.isEmpty(), single);
        QCOMPARE(r.log.size(), 2);
        QCOMPARE(r.log[0].function + r.log[0].text, "psUdpOutXml1传出参数，交易成功" + r.discountXml);
        QCOMPARE(r.log[1].function + r.log[1].text,
                 single ? "传出参数，交易成功，只存在一笔支付" : "sUdpOutXml2传出参数，交易成功" + r.paymentXml);
    }
};
QTEST_MAIN(tst_Entry)
#include "tst_entry.moc"
