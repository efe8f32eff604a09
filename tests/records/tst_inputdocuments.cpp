// The host's four input documents read into the call's records.
#include <QtTest>

#include "helpers/testsupport.h"
#include "records/inputdocuments.h"

using Records::InputRecords;

namespace {
QString sample(const char *relativePath)
{
    return QString::fromUtf8(TestSupport::readFile(QString(SAMPLES_DIR "/") + QLatin1String(relativePath)));
}

QString pay(const TranPayDetail &p)
{
    return QStringList {p.payCode, p.payTotal, p.payNo, p.extPayNo}.join('|');
}

QString goods(const PluDetail &p)
{
    return p.PC.isEmpty() ? p.PI : p.PI + '/' + p.PC;
}

// Every record, one line each, in a fixed order: the goods index sorted, the other lists as they are.
QStringList lines(const InputRecords &r)
{
    QStringList text {"XD " + r.tranMain.XD}, index;
    for (const PluDetail &p : r.pluDetails)
        text << "plu " + goods(p);
    for (const PluDetail &p : r.pluIndex)
        index << "index " + goods(p);
    index.sort();
    text += index;
    for (const TranPayDetail &p : r.tranPayDetails)
        text << "pay " + pay(p);
    for (const DscDetail &d : r.dscDetails)
        text << "dsc "
                + QStringList({d.billno, d.disMoney, d.disnum, d.plucode, d.pluid, d.probillno, d.promode, d.protype,
                               d.rowid, d.serialno})
                      .join('|');
    for (const TranPayDetail &p : r.payRDetails)
        text << "R " + pay(p);
    for (const TranPayDetail &p : r.payNowRDetails)
        text << "now " + pay(p);
    return text;
}
}

class tst_InputDocuments : public QObject
{
    Q_OBJECT
private slots:
    void parseInputDocuments_data();

    // Records that held "-" and "old" lines: what a parse leaves of them, also after a failure.
    void parseInputDocuments()
    {
        QFETCH(QString, header);
        QFETCH(QString, goods);
        QFETCH(QString, pay);
        QFETCH(QString, udp2);
        InputRecords records;
        records.tranMain.XD = "-";
        PluDetail stale;
        stale.PI = "-";
        records.pluDetails = {stale};
        records.pluIndex.insert(stale.PI, stale);
        records.tranPayDetails = {TranPayDetail {"old", {}, {}, {}}};
        records.dscDetails = {DscDetail {"-", {}, {}, {}, {}, {}, {}, {}, {}, {}}};
        records.payRDetails = records.payNowRDetails = {TranPayDetail {"-", {}, {}, {}}};
        QString message = "untouched";
        const bool read = Records::parseInputDocuments(header, goods, pay, udp2, records, message);
        QTEST(message, "message");
        QCOMPARE(read, message == "untouched");
        QTEST(lines(records), "records");
    }

    void headerFields_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("fields"); // OrgCode|teller_name
        QTest::newRow("first in document order, untrimmed")
            << "<R><H><I><OrgCode> A&amp;B&lt;1&gt; "
               "</OrgCode></I><teller_name>李四</teller_name></H><OrgCode>Z</OrgCode></R>"
            << " A&B<1> |李四";
        QTest::newRow("names case-sensitive, gbk declaration")
            << "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<M><orgcode>A01</orgcode><teller_name>王五</teller_name></M>"
            << "|王五";
        QTest::newRow("root itself is not a field") << "<OrgCode>A01</OrgCode>"
                                                    << "|";
    }

    void headerFields()
    {
        QFETCH(QString, header);
        InputRecords records;
        // An absent element overwrites what was there before.
        records.tranMain.OrgCode = records.tranMain.teller_name = "preset";
        QString message;
        QVERIFY(Records::parseInputDocuments(header, QString(), QString(), QString(), records, message));
        QTEST(records.tranMain.OrgCode + '|' + records.tranMain.teller_name, "fields");
    }

    void samplesReadEveryField()
    {
        InputRecords records;
        QString message;
        QVERIFY(Records::parseInputDocuments(sample("cancel/header.xml"), QString(), QString(), QString(), records,
                                             message));
        const TranMainDetail &m = records.tranMain;
        const QStringList head({m.teller_no, m.teller_id, m.teller_name, m.vip_no, m.vip_id, m.pos_no, m.txn_type,
                                m.tr_amt, m.pay_cardtype, m.orderid, m.OrgCode, m.saleNo}),
            tail({m.SsTotal, m.XD, m.promFlag, m.memPriceFlag, m.bizBillNo, m.PayNo, m.pay_code, m.oriSaleNo,
                  m.oriBillNo, m.Mch, m.VipCouponNoCanShowType});
        QCOMPARE((head + tail).join('|'),
                 "1001|T1001|张三|13800000001|V0001|01|CANCEL|2000|01|O20261206001|A01|"
                 "S20261206001|86.00||0|0|B20261206001|CP0001;CP0002|0308|||S20261206001|1");
        records = InputRecords();
        QVERIFY2(Records::parseInputDocuments(sample("sale/header.xml"), sample("sale/goods.xml"),
                                              sample("sale/pay.json"), sample("sale/udp2.json"), records, message),
                 qPrintable(message));
        QCOMPARE(lines(records),
                 (QStringList {"XD 0", "plu P001/690001", "plu P002/690002", "plu P003/690003", "index P001/690001",
                               "index P002/690002", "index P003/690003", "pay 0101|36.00||",
                               "dsc S20261206001|0.00|0|690001|P001|0000|0|00|1|1"}));
        const PluDetail p = records.pluIndex.value("P003");
        QCOMPARE(QStringList({p.PI, p.PC, p.PName, p.BC, p.ClsCode, p.BrandCode, p.Dep, p.DepId, p.DepName, p.SHP,
                              p.PgN, p.SeN, p.PFsPrint, p.Price, p.SC, p.Unit, p.ST, p.YS, p.YhTotal})
                     .join('|'),
                 "P003|690003|洗衣液|6900000000035|0201|BR03|D02|2|日化部|0|1|3|0|36.00|1|瓶|36.00|36.00|0.00");
    }
};

// Out of the class: moc misreads raw strings holding \".
void tst_InputDocuments::parseInputDocuments_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QString>("udp2");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("records");
    const QString h = "<M><txn_type>SALE</txn_type><pay_code>0308</pay_code></M>";
    const QString g = "<G><XD>1</XD><Plu><L><PI>P1</PI></L></Plu></G>";
    const QString e = "{}", read = "untouched";
    const QStringList returns {"R -|||", "now -|||"}, rest = QStringList {"dsc -|||||||||"} + returns;
    const QStringList kept = QStringList {"index -", "pay old|||"} + rest,
                      p1 {"XD 1", "plu P1", "index P1", "pay old|||"};
    QTest::newRow("pay method used")
        << "<M><txn_type>SALE</txn_type><pay_code>0308</pay_code><PayNoMoneyList><PayNoMoney><PayCode>0101</PayCode></"
           "PayNoMoney><PayNoMoney><PayCode>0308</PayCode></PayNoMoney></PayNoMoneyList></M>"
        << g << e << e << "已存在该支付方式，不允许再次使用！" << QStringList {"XD -"} + kept;
    QTest::newRow("goods list name is case-sensitive")
        << h << "<G><XD>1</XD><plu><L/></plu></G>" << e << e << "输入参数商品信息不存在" << QStringList {"XD 1"} + kept;
    QTest::newRow("pay trailing text") << h << g << "{}x" << e << "p_sTranPayXml参数解析错误" << p1 + rest;
    QTest::newRow("udpin1 object, not its text")
        << h << g << R"({"UdpIn1":{"pays":[]}})" << e << "p_sUdpIn1·参数解析错误" << p1 + rest;
    QTest::newRow("udp2 xml, pays kept")
        << h << g << R"({"UdpIn1":"{\"pays\":[{\"code\":\"0102\",\"payno\":\"N1\",\"pay_amt\":\"2.00\"}]}"})"
        << "<Udp2/>"
        << "p_sTranUdp2Xml参数解析错误" << p1 + QStringList {"pay 0102|2.00|N1|"} + rest;
    // A comment is an empty line; the index keeps the last line of an id.
    QTest::newRow("goods lines of any name, fields at any depth")
        << h
        << "<G><Plu><L><PI>P1</PI><PC>a</PC></L><!-- gift --><Row><W><PI>P1</PI><In><PC>b</PC></In></W></Row></Plu></G>"
        << e << e << read
        << QStringList {"XD ", "plu P1/a", "plu ", "plu P1/b", "index ", "index P1/b", "pay old|||"} + returns;
    // Numbers become decimal text; a missing key, a null or a line that is no object reads as empty.
    QTest::newRow("pays appended, discounts")
        << h << g
        << R"({"UdpIn1":"{\"pays\":[{\"code\":\"0201\",\"payno\":\"卡一\",\"pay_amt\":\"4.5\"},{\"code\":0,\"payno\":1e20,\"pay_amt\":1e-6},{\"code\":null,\"pay_amt\":true},\"0101\"]}"})"
        << R"({"dscs":[{"disMoney":1.5,"rowid":2},{"protype":"TWZQ"}]})" << read
        << p1 + QStringList {"pay 0201|4.5|卡一|", "pay 0|0.000001|100000000000000000000|",
                             "pay |true||",        "pay |||",
                             "dsc |1.5|||||||2|",  "dsc |||||||TWZQ||"}
            + returns;
    // A return reads the earlier and the current payment lines only, each inside its own list.
    QTest::newRow("return")
        << "<M><txn_type>VOID</txn_type></M>"
        << ""
        << "<T><PayR><PAYCODE>X</PAYCODE></PayR><Pay><PayR><PAYCODE>0308</PAYCODE><TOTAL>10.00</TOTAL><PAYNO>CP0001</"
           "PAYNO><EXTPAYNO>E1</EXTPAYNO></PayR><PayR><PAYCODE>0101</PAYCODE></PayR></"
           "Pay><PayNow><PayNowR><PAYCODE>0308</"
           "PAYCODE><TOTAL>-10.00</TOTAL></PayNowR></PayNow><PayNowR><PAYCODE>Y</PAYCODE></PayNowR></T>"
        << "not json" << read
        << QStringList {"XD ",       "index -",          "pay old|||", "dsc -|||||||||", "R 0308|10.00|CP0001|E1",
                        "R 0101|||", "now 0308|-10.00||"};
    QTest::newRow("lower-case sale reads no goods or pays")
        << "<M><txn_type>sale</txn_type><pay_code>1</pay_code><PayNoMoneyList><PayNoMoney><PayCode>1</PayCode></"
           "PayNoMoney></PayNoMoneyList></M>"
        << "<G><XD>2</XD></G>"
        << "["
        << "[" << read << QStringList {"XD 2"} + kept;
    // Nothing a parser saw before giving up may leak into the records.
    QTest::newRow("header unclosed") << "<M><txn_type>SALE</txn_type><XD>1</XD>"
                                     << "<G><XD>3</XD><Plu><L><PI>A</PI></L></Plu>" << e << e << read
                                     << QStringList {"XD "} + kept;
}

QTEST_GUILESS_MAIN(tst_InputDocuments)
#include "tst_inputdocuments.moc"
