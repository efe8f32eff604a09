#include <QDialog>
#include <QTest>

#include "entry/cardtrans.h"
#include "entry/resultdocuments.h"
#include "entry/vipcouponcpu.h"
#include "helpers/testsupport.h"
#include "helpers/tillfolder.h"

using TestSupport::logEntry;
using Goods = QList<GoodDetail>;
using Pays = QList<CouponPayDetail>;
using Coupons = QList<VipCouponDetail>;

namespace {
const QString xml = "<?xml version='1.0' encoding='UTF-8'?>\n";

GoodDetail good(const QString &pluCode, const QString &pluId, const QString &index, const QString &amount,
                const QString &count = {})
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
    void initialize_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("prefix");
        QTest::newRow("GEN5, no config.ini") << "POS-GEN5-2" << QString() << QString();
        QTest::newRow("gen6 lower case") << "gen6"
                                         << "系统类型配置错误" << QString();
        QTest::newRow("no database type") << "GEN6"
                                          << "未设置数据库类型"
                                          << "数据库初始化失败：";
    }

    // The database first, then the system type.
    void initialize()
    {
        QFETCH(QString, sysType);
        QFETCH(QString, message);
        QFETCH(QString, prefix);
        AppFolder app;
        app.writeGen6();
        app.writeGen5();
        app.writeIni("TwCouponPay5.ini", {{"Config/SysType", sysType}, {"Config/OptimalNum", "3"}});
        app.writeIni("config.ini", {{"DataBase/DbType", ""}});
        VipCouponCPU cpu;
        QString error;
        QStringList shown;
        ModalDriver confirm([&shown](QDialog &box) {
            shown << TestSupport::labelText(box, "Qlbltishi");
            box.accept();
        });
        QCOMPARE(cpu.Initialize(error), message.isEmpty());
        QCOMPARE(error, message);
        QCOMPARE(shown, message.isEmpty() ? QStringList() : QStringList {prefix + message});
        QCOMPARE(cpu.m_sOptimalNum, message.isEmpty() ? "3" : QString());
        const QString log = app.logText();
        QCOMPARE(log.contains(logEntry("初始化", "数据库初始化成功")), prefix.isEmpty());
        QCOMPARE(log.contains(logEntry("提示信息", prefix + message)), !message.isEmpty());
    }

    void unreadableDocument()
    {
        AppFolder app;
        app.writeGen6("http://127.0.0.1:9");
        app.writeText("M", "<M><txn_type>SALE</txn_type><pay_code>0308</pay_code></M>");
        app.writeText("G", "<G><Plu><L><PI>P1</PI></L></Plu></G>");
        HostCall call({app.filePath("M"), app.filePath("G"), app.filePath("G")});
        LogWriter libraryLog;
        QCOMPARE(call.run(libraryLog), 1);
        QCOMPARE(call.param(6), "p_sTranPayXml参数解析错误");
        const QString log = app.logText();
        QVERIFY(!log.contains("位置：请求地址") && log.contains(logEntry("TwCardTrans", "WaitDlg.close End")));
    }

    // "]]>" may not stand in text; a carriage return would be lost to line-end normalisation.
    void discountDocument()
    {
        QCOMPARE(
            ResultDocuments::discountDocument(
                {good("A&B<1>", "\"q\" 'a'", "牛奶", "1", "2"), good("a]]>b", "c\rd", "", "")}, "x>y"),
            xml
                + "<DSC><Yh><YhD><PluCode>A&amp;B&lt;1></PluCode><PluId>\"q\" 'a'</PluId><RowId>牛奶</RowId>"
                  "<DscTotal>1</DscTotal><DscCount>2</DscCount><CouponCode>x>y</CouponCode></YhD><YhD><PluCode>a]]&gt;b"
                  "</PluCode><PluId>c&#xd;d</PluId><RowId/><DscTotal/><DscCount/><CouponCode>x>y</CouponCode>"
                  "</YhD></Yh></DSC>");
    }

    void paymentDocument()
    {
        const QString buyer = "<BuyerNo>S</BuyerNo>";
        QCOMPARE(ResultDocuments::paymentDocument(
                     {pay("0.00", "YHQ"), pay("0", "YHQ"), pay("1.00", "yhq"), pay("", "YHQ ")}, "A&B", 3.005001, "S"),
                 xml + "<Op><Zf><zfR><TradeNo>A&amp;B</TradeNo><OtherInfo>SCRM优惠券：3.01</OtherInfo>" + buyer
                     + "<Total>0.00</Total></zfR><zfR><TradeNo>A&amp;B</TradeNo>" + buyer
                     + "<Total>0</Total></zfR><zfR><TradeNo>yhq</TradeNo>" + buyer
                     + "<Total>1.00</Total></zfR><zfR><TradeNo>YHQ </TradeNo>" + buyer + "<Total/></zfR></Zf></Op>");
    }

    // Returns: tests/e2e.
    void buildSuccessResult_data()
    {
        QTest::addColumn<Coupons>("selected");
        QTest::addColumn<Goods>("goods");
        QTest::addColumn<Pays>("pays");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QString>("codes");
        QTest::addColumn<double>("discountTotal");
        QTest::newRow("line sum") << Coupons {coupon("A", "1", "10"), coupon("C", "2", "30"), coupon("D", " 1", "6"),
                                              coupon("B", "1", "2.5")}
                                  << Goods {good("6901", "P1", "1", "7.50")}
                                  << Pays {pay("0.00", "YHQ"), pay("35.50", "CP9")} << "3550.00"
                                  << "A;B" << 7.5;
        QTest::newRow("coupon sum") << Coupons {coupon("A", "1", "4")} << Goods {good("", "", "", "-1")}
                                    << Pays {pay("0.00", "YHQ")} << "0.00"
                                    << "A" << 4.0;
        QTest::newRow("single payment") << Coupons() << Goods() << Pays() << "0.00" << QString() << 0.0;
        QTest::newRow("pays summed") << Coupons() << Goods()
                                     << Pays {pay("nan", "X"), pay("5", "Y"), pay("1e400", "Z"), pay("0.1", "A"),
                                              pay("0.2", "B")}
                                     << "530.00" << QString() << 0.0;
    }

    void buildSuccessResult()
    {
        QFETCH(Coupons, selected);
        QFETCH(Goods, goods);
        QFETCH(Pays, pays);
        QFETCH(QString, codes);
        QFETCH(double, discountTotal);
        TranMainDetail main;
        main.txn_type = "SALE";
        main.Mch = "S1";
        const auto r = ResultDocuments::buildSuccessResult(main, selected, goods, pays);
        QTEST(r.amount, "amount");
        QCOMPARE(r.discountXml, ResultDocuments::discountDocument(goods, codes));
        QCOMPARE(r.paymentXml,
                 pays.isEmpty() ? QString() : ResultDocuments::paymentDocument(pays, codes, discountTotal, "S1"));
        QCOMPARE(r.singlePayment, pays.isEmpty());
        QCOMPARE(r.log,
                 (LogLines {{"psUdpOutXml1传出参数，交易成功", r.discountXml},
                            r.singlePayment ? LogLine {"传出参数，交易成功，只存在一笔支付", {}}
                                            : LogLine {"sUdpOutXml2传出参数，交易成功", r.paymentXml}}));
    }
};
QTEST_MAIN(tst_Entry)
#include "tst_entry.moc"
