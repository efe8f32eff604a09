// The entry: the set-up of a call (database first, then the till's configuration), what the controller's operations refuse or log on their own, one
// whole call through the entry, and the documents a successful call hands the host (amount, discount lines and payment lines).
#include <tuple>

#include <QDialog>
#include <QTest>

#include "entry/cardtrans.h"
#include "entry/resultdocuments.h"
#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/testsupport.h"

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
    // txn_type, tr_amt, saleNo and Mch of the header's fields, in declaration order.
    const TranMainDetail main{{}, {}, {}, {}, {}, {}, type, trAmt, {}, {}, {}, "not written", {}, {}, {}, {}, {}, {}, {}, {}, {}, "S1", {}};
    QList<VipCouponDetail> coupons;   // "certiInfoCode,apportionType,realCertiMe" each
    for (const QString &line : selected) {
        const QStringList f = line.split(QLatin1Char(','));
        coupons << VipCouponDetail();
        std::tie(coupons.last().certiInfoCode, coupons.last().apportionType, coupons.last().realCertiMe) = std::tie(f[0], f[1], f[2]);
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

QString logEntry(const QString &function, const QString &text) { return QStringLiteral("位置：") + function + QStringLiteral("\n内容：") + text + QLatin1Char('\n'); }
}

class tst_Entry : public QObject
{
    Q_OBJECT
private slots:
    void initializeChecksDatabaseThenSystemType_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QString>("dbType");    // GEN6's config.ini
        QTest::addColumn<QString>("dbName");
        QTest::addColumn<QString>("message");   // empty: initialised
        QTest::addColumn<QString>("shown");     // the message box
        QTest::addColumn<QString>("orgCode");
        const QString wrongType = QStringLiteral("系统类型配置错误");
        QTest::newRow("GEN6 reads config.ini") << "GEN6" << "SQLITE" << "pos.db" << "" << "" << "A01";
        QTest::newRow("GEN5 anywhere, no config.ini") << "POS-GEN5-2" << "" << "" << "" << "" << "";
        QTest::newRow("gen6 lower case") << "gen6" << "" << "" << wrongType << wrongType << "";
        QTest::newRow("GEN6 and a blank") << "GEN6 " << "" << "" << wrongType << wrongType << "";
        // The box carries a prefix, the returned message does not; nothing else is read.
        QTest::newRow("no database type") << "GEN6" << "" << "pos.db" << "未设置数据库类型" << "数据库初始化失败：未设置数据库类型" << "";
        QTest::newRow("type without driver") << "GEN6" << "DB2" << "pos.db" << "数据库打开失败！" << "数据库初始化失败：数据库打开失败！" << "";
    }

    void initializeChecksDatabaseThenSystemType()
    {
        QFETCH(QString, sysType);
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QFETCH(QString, orgCode);
        AppFolder app;
        // A working database for every kind of till: GEN6 reads config.ini, any other system type reaches "SQL Server" through ODBC.
        app.writeGen6();
        app.writeGen5();
        app.writeIni(QStringLiteral("GdPosCfg.ini"), {{QStringLiteral("DataBase/Server"), QStringLiteral("localhost")},
                                                      {QStringLiteral("DataBase/DbName"), app.filePath(QStringLiteral("gen5.db"))}});
        app.writeIni(QStringLiteral("TwCouponPay5.ini"), {{"Config/SysType", sysType}, {"Config/OptimalNum", "3"}});
        if (sysType == QLatin1String("GEN6")) {
            QFETCH(QString, dbType);
            QFETCH(QString, dbName);
            app.writeIni(QStringLiteral("config.ini"), {{"DataBase/DbType", dbType}, {"DataBase/DBName", dbName}});
        }

        VipCouponCPU cpu;
        QString error;
        int boxes = 0;
        ModalDriver confirm([&boxes](QDialog &box) { ++boxes; QTest::keyClick(&box, Qt::Key_Return); });
        QCOMPARE(cpu.Initialize(error) ? QStringLiteral("initialised") + error : error, message.isEmpty() ? QStringLiteral("initialised") : message);
        QCOMPARE(boxes, shown.isEmpty() ? 0 : 1);
        QCOMPARE(cpu.m_sOrgCode + QLatin1Char('/') + cpu.m_sPosNo, orgCode.isEmpty() ? QStringLiteral("/") : orgCode + QStringLiteral("/001"));
        QCOMPARE(cpu.m_sOptimalNum, message.isEmpty() ? QStringLiteral("3") : QString());
        const QString log = app.logText();
        QCOMPARE(log.contains(logEntry(QStringLiteral("初始化"), QStringLiteral("数据库初始化成功"))), !shown.startsWith(QStringLiteral("数据库")));
        QCOMPARE(log.contains(logEntry(QStringLiteral("提示信息"), shown)), !shown.isEmpty());
    }

    void signingIsLogged()
    {
        AppFolder app;
        VipCouponCPU cpu;
        const Gateway::ParamSet params{{QStringLiteral("orgCode"), QStringLiteral("A01")}, {QStringLiteral("vipCode"), QString()}};
        QString signedText;   // the digest's input, checked in the log
        QCOMPARE(cpu.MakeSign(params, signedText), QStringLiteral("cc396a1eb871e8e097ca5de54de443e2"));
        QCOMPARE(cpu.MakeSignedBody(params), QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode="));
        const QString log = app.logText();
        QVERIFY(log.contains(logEntry(QStringLiteral("签名字符串"), QStringLiteral("orgCode=A01&key=#%7315^QwerzP&!%XK482067~$91LHRtmbowkqpX8"))));
        QCOMPARE(log.count(logEntry(QStringLiteral("签名结果"), QStringLiteral("cc396a1eb871e8e097ca5de54de443e2"))), 2);
        QVERIFY(log.contains(logEntry(QStringLiteral("发送报文明文"), QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode="))));
    }

    void couponsNeedAMember()
    {
        AppFolder app;
        app.writeGen6(QStringLiteral("http://127.0.0.1:9"));
        VipCouponCPU cpu;
        QList<VipCouponDetail> coupons;
        QList<CouponPayDetail> pays;
        QList<GoodDetail> goods;
        QString error;
        QCOMPARE(cpu.QueryCoupons(0, coupons, pays, goods, error) ? QString() : error, QStringLiteral("非会员交易，不允许使用该支付方式"));
        QVERIFY(!app.logText().contains(QStringLiteral("位置：请求地址")));
    }

    void unreadableDocumentFailsTheCall()
    {
        AppFolder app;
        app.writeGen6(QStringLiteral("http://127.0.0.1:9"));
        QByteArray in[4] = {"<M><txn_type>SALE</txn_type><pay_code>0308</pay_code></M>", "<G><Plu><L><PI>P1</PI></L></Plu></G>", "<Pay/>", "{}"};
        QByteArray out[8];
        Entry::HostParameters params;
        for (int i = 0; i < 12; ++i)
            params.p[i] = i < 4 ? in[i].data() : (out[i - 4] = QByteArray(4096, '\0')).data();
        LogWriter libraryLog;
        QCOMPARE(Entry::cardTrans(libraryLog, params), 1);
        QCOMPARE(QByteArray(out[0].constData()), QByteArray("111111"));
        QCOMPARE(QString::fromLocal8Bit(out[1].constData()), QStringLiteral("p_sTranPayXml参数解析错误"));
        QCOMPARE(QByteArray(out[2].constData()) + out[6].constData() + out[7].constData(), QByteArray());
        const QString log = app.logText();
        QVERIFY(log.contains(logEntry(QStringLiteral("传入参数解析失败"), QStringLiteral("p_sTranPayXml参数解析错误"))));
        QVERIFY(!log.contains(QStringLiteral("位置：请求地址")));
        // The closing step runs after a failure too.
        QVERIFY2(log.contains(logEntry(QStringLiteral("TwCardTrans"), QStringLiteral("WaitDlg.close End"))), qPrintable(log.right(800)));
    }

    void resultDocuments_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        using ResultDocuments::discountDocument;
        using ResultDocuments::paymentDocument;
        const QString yh = xml + QStringLiteral("<DSC><Yh><YhD>");
        QTest::newRow("same codes on every line, empty values short") << discountDocument(goods({"1,a,1,1,1", "X,,,,"}), "A;B") << yh + "<PluCode>1</PluCode><PluId>a</PluId><RowId>1</RowId><DscTotal>1</DscTotal><DscCount>1</DscCount><CouponCode>A;B</CouponCode></YhD><YhD><PluCode>X</PluCode><PluId/><RowId/><DscTotal/><DscCount/><CouponCode>A;B</CouponCode></YhD></Yh></DSC>";
        // "]]>" may not stand in text, and a carriage return would be lost to line-end normalisation.
        QTest::newRow("markup escaped") << discountDocument(goods({"A&B<1>,\"q\" 'a',牛奶,,", "a]]>b,c\rd,,,"}), "x>y") << yh + "<PluCode>A&amp;B&lt;1></PluCode><PluId>\"q\" 'a'</PluId><RowId>牛奶</RowId><DscTotal/><DscCount/><CouponCode>x>y</CouponCode></YhD><YhD><PluCode>a]]&gt;b</PluCode><PluId>c&#xd;d</PluId><RowId/><DscTotal/><DscCount/><CouponCode>x>y</CouponCode></YhD></Yh></DSC>";

        const QString zf = xml + QStringLiteral("<Op><Zf><zfR>");
        QTest::newRow("coupon line keeps its code") << paymentDocument(pays({"10.00,CP0001"}), "A;B", 12.5, "S1") << zf + "<TradeNo>CP0001</TradeNo><BuyerNo>S1</BuyerNo><Total>10.00</Total></zfR></Zf></Op>";
        QTest::newRow("discount line: codes and total in cents") << paymentDocument(pays({"0.00,YHQ"}), "A&B", 3.005001, "S<1>") << zf + "<TradeNo>A&amp;B</TradeNo><OtherInfo>SCRM优惠券：3.01</OtherInfo><BuyerNo>S&lt;1></BuyerNo><Total>0.00</Total></zfR></Zf></Op>";
        QTest::newRow("zero written as 0: no extra info") << paymentDocument(pays({"0,YHQ"}), "A", 12.5, "S1") << zf + "<TradeNo>A</TradeNo><BuyerNo>S1</BuyerNo><Total>0</Total></zfR></Zf></Op>";
        QTest::newRow("no discount: no extra info") << paymentDocument(pays({"0.00,YHQ"}), "", 0.0, "") << zf + "<TradeNo/><BuyerNo/><Total>0.00</Total></zfR></Zf></Op>";
        QTest::newRow("yhq compared exactly") << paymentDocument(pays({"1.00,yhq", ",YHQ "}), "A", 3.0, "S1") << zf + "<TradeNo>yhq</TradeNo><BuyerNo>S1</BuyerNo><Total>1.00</Total></zfR><zfR><TradeNo>YHQ </TradeNo><BuyerNo>S1</BuyerNo><Total/></zfR></Zf></Op>";

        const QString ab = QStringLiteral("<CouponCode>A;B</CouponCode></YhD>");
        QTest::newRow("sale") << success("SALE", "5000", {"A,1,10", "C,2,30", "B,1,2.5"}, {"6901,P1,1,7.50,2", "6903,P3,3,5.00,1"}, {"0.00,YHQ", "35.50,CP9"}) << "3550.00\n" + yh + "<PluCode>6901</PluCode><PluId>P1</PluId><RowId>1</RowId><DscTotal>7.50</DscTotal><DscCount>2</DscCount>" + ab + "<YhD><PluCode>6903</PluCode><PluId>P3</PluId><RowId>3</RowId><DscTotal>5.00</DscTotal><DscCount>1</DscCount>" + ab + "</Yh></DSC>\n" + zf + "<TradeNo>A;B</TradeNo><OtherInfo>SCRM优惠券：12.50</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total></zfR><zfR><TradeNo>CP9</TradeNo><BuyerNo>S1</BuyerNo><Total>35.50</Total></zfR></Zf></Op>";
        QTest::newRow("cancel, odd cents") << success("CANCEL", "1001", {"CP0001,1,5"}, {}, {",CP0001;CP0002"}) << "1001.00\n" + noDiscount + "\n" + zf + "<TradeNo>CP0001;CP0002</TradeNo><BuyerNo>S1</BuyerNo><Total/></zfR></Zf></Op>";
        QTest::newRow("no coupon shared by amount: line sum") << success("SALE", "", {"C,2,5", "D, 1,6"}, {"1,,,3.00,"}, {"0.00,YHQ"}) << "0.00\n" + yh + "<PluCode>1</PluCode><PluId/><RowId/><DscTotal>3.00</DscTotal><DscCount/><CouponCode/></YhD></Yh></DSC>\n" + zf + "<TradeNo/><OtherInfo>SCRM优惠券：3.00</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total></zfR></Zf></Op>";
        QTest::newRow("line sum not positive: coupon sum") << success("SALE", "", {"A,1,4"}, {",,,-1,"}, {"0.00,YHQ"}) << "0.00\n" + yh + "<PluCode/><PluId/><RowId/><DscTotal>-1</DscTotal><DscCount/><CouponCode>A</CouponCode></YhD></Yh></DSC>\n" + zf + "<TradeNo>A</TradeNo><OtherInfo>SCRM优惠券：4.00</OtherInfo><BuyerNo>S1</BuyerNo><Total>0.00</Total></zfR></Zf></Op>";
        QTest::newRow("single payment") << success("SALE", "5000", {"A,1,1"}, {"P,,,1.00,"}, {}) << "0.00\n" + yh + "<PluCode>P</PluCode><PluId/><RowId/><DscTotal>1.00</DscTotal><DscCount/><CouponCode>A</CouponCode></YhD></Yh></DSC>\nsingle";
        QTest::newRow("sale: texts that are not numbers count as 0") << success("SALE", "", {}, {}, {"nan,X", "5,Y", "1e400,Z"}) << "500.00\n" + noDiscount + "\n" + zf + "<TradeNo>X</TradeNo><BuyerNo>S1</BuyerNo><Total>nan</Total></zfR><zfR><TradeNo>Y</TradeNo><BuyerNo>S1</BuyerNo><Total>5</Total></zfR><zfR><TradeNo>Z</TradeNo><BuyerNo>S1</BuyerNo><Total>1e400</Total></zfR></Zf></Op>";
        QTest::newRow("sale: cents survive binary fractions") << success("SALE", "", {}, {}, {"0.1,A", "0.2,B"}) << "30.00\n" + noDiscount + "\n" + zf + "<TradeNo>A</TradeNo><BuyerNo>S1</BuyerNo><Total>0.1</Total></zfR><zfR><TradeNo>B</TradeNo><BuyerNo>S1</BuyerNo><Total>0.2</Total></zfR></Zf></Op>";
        const QString refund = QStringLiteral("\n") + noDiscount + "\n" + zf + "<TradeNo>CP0001</TradeNo><BuyerNo>S1</BuyerNo><Total>10.00</Total></zfR></Zf></Op>";
        QTest::newRow("void: amount not a number") << success("VOID", "12a", {}, {}, {"10.00,CP0001"}) << "0.00" + refund;
        QTest::newRow("lower-case sale: the header's amount") << success("sale", "250", {}, {}, {"10.00,CP0001"}) << "250.00" + refund;
    }

    void resultDocuments()
    {
        QFETCH(QString, actual);
        QTEST(actual, "expected");
    }
};
QTEST_MAIN(tst_Entry)
#include "tst_entry.moc"
