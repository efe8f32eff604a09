#include <QtTest>

#include "helpers/testsupport.h"
#include "records/inputdocuments.h"

using Records::InputRecords;

namespace {
QString sample(const QString &path)
{
    return QString::fromUtf8(TestSupport::readFile(SAMPLES_DIR "/" + path));
}

QString pay(const TranPayDetail &p)
{
    return QStringList {p.payCode, p.payTotal, p.payNo, p.extPayNo}.join('|');
}

// A line per record, the goods index sorted.
QStringList lines(const InputRecords &r)
{
    QStringList text {"XD " + r.tranMain.XD}, index;
    for (const PluDetail &p : r.pluDetails)
        text << "plu " + p.PI + '/' + p.PC;
    for (const PluDetail &p : r.pluIndex)
        index << "index " + p.PI + '/' + p.PC;
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

    // What a parse leaves of records that held "-" and "old" lines, also after a failure.
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
        QString message = "untouched";
        const bool read = Records::parseInputDocuments(header, goods, pay, udp2, records, message);
        QTEST(message, "message");
        QCOMPARE(read, message == "untouched");
        QTEST(lines(records), "records");
    }

    // The header's other fields travel in the sale, cancel and void runs of tests/e2e.
    void samplesReadEveryField()
    {
        InputRecords records;
        QString message;
        QVERIFY(Records::parseInputDocuments(sample("sale/header.xml"), sample("sale/goods.xml"),
                                             sample("sale/pay.json"), sample("sale/udp2.json"), records, message));
        const TranMainDetail &m = records.tranMain;
        QCOMPARE(QStringList({m.teller_no, m.teller_id, m.teller_name, m.pos_no, m.pay_cardtype, m.orderid, m.promFlag,
                              m.memPriceFlag, m.VipCouponNoCanShowType})
                     .join('|'),
                 "1001|T1001|张三|01|01|O20261206001|0|0|1");
        QCOMPARE(lines(records).last(), "dsc S20261206001|0.00|0|690001|P001|0000|0|00|1|1");
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
    const QString h = "<M><txn_type>SALE</txn_type></M>";
    const QString g = "<G><XD>1</XD><Plu><L><PI>P1</PI></L></Plu></G>";
    const QString e = "{}", read = "untouched";
    const QStringList kept {"index -/", "pay old|||"}, p1 {"XD 1", "plu P1/", "index P1/", "pay old|||"};
    QTest::newRow("pay method used")
        << "<M><txn_type>SALE</txn_type><pay_code>0308</pay_code><PayNoMoneyList><PayNoMoney><PayCode>0308</PayCode></"
           "PayNoMoney></PayNoMoneyList></M>"
        << g << e << e << "已存在该支付方式，不允许再次使用！" << QStringList {"XD -"} + kept;
    QTest::newRow("goods list name is case-sensitive")
        << h << "<G><XD>1</XD><plu><L/></plu></G>" << e << e << "输入参数商品信息不存在" << QStringList {"XD 1"} + kept;
    QTest::newRow("udpin1 object, not its text")
        << h << g << R"({"UdpIn1":{"pays":[]}})" << e << "p_sUdpIn1·参数解析错误" << p1;
    QTest::newRow("udp2 xml, pays kept")
        << h << g << R"({"UdpIn1":"{\"pays\":[{\"code\":\"0102\",\"payno\":\"N1\",\"pay_amt\":\"2.00\"}]}"})"
        << "<Udp2/>"
        << "p_sTranUdp2Xml参数解析错误" << p1 + QStringList {"pay 0102|2.00|N1|"};
    // A comment is an empty line, the index keeps an id's last line; a field is the first of its name below the root.
    QTest::newRow("goods lines of any name, fields at any depth")
        << h
        << "<?xml version=\"1.0\" encoding=\"GBK\"?><G><Plu><L><PI>P1</PI><PC>a</PC></L><!-- c "
           "--><Row><W><PI>P1</PI><In><PC>b</PC></In></W></Row></Plu><B><XD> 王&amp;1 </XD></B><XD>9</XD></G>"
        << e << e << read
        << QStringList {"XD  王&1 ", "plu P1/a", "plu /", "plu P1/b", "index /", "index P1/b", "pay old|||"};
    // Numbers as decimal text; a missing key, a null or a non-object reads empty.
    QTest::newRow("pays appended, discounts")
        << h << g
        << R"({"UdpIn1":"{\"pays\":[{\"code\":0,\"payno\":1e20,\"pay_amt\":1e-6},{\"code\":null,\"pay_amt\":true},\"0101\"]}"})"
        << R"({"dscs":[{"disMoney":1.5,"rowid":2},{"protype":"TWZQ"}]})" << read
        << p1
            + QStringList {"pay 0|0.000001|100000000000000000000|", "pay |true||", "pay |||", "dsc |1.5|||||||2|",
                           "dsc |||||||TWZQ||"};
    // A return reads only its two payment lists, entries inside their own list.
    QTest::newRow("return, root not a field")
        << "<M><txn_type>VOID</txn_type></M>"
        << "<XD>5</XD>"
        << "<T><PayR><PAYCODE>X</PAYCODE></PayR><Pay><PayR><PAYCODE>0308</PAYCODE><TOTAL>10.00</TOTAL><PAYNO>CP0001</"
           "PAYNO><EXTPAYNO>E1</EXTPAYNO></PayR><PayR/></Pay><PayNow><PayNowR><TOTAL>-10.00</TOTAL></PayNowR></"
           "PayNow><PayNowR><PAYCODE>Y</PAYCODE></PayNowR></T>"
        << "not json" << read
        << QStringList {"XD ", "index -/", "pay old|||", "R 0308|10.00|CP0001|E1", "R |||", "now |-10.00||"};
    // Nothing a parser saw before giving up may leak into the records.
    QTest::newRow("header unclosed") << "<M><txn_type>SALE</txn_type><XD>1</XD>"
                                     << "<G><XD>3</XD><Plu><L><PI>A</PI></L></Plu>" << e << e << read
                                     << QStringList {"XD "} + kept;
}

QTEST_GUILESS_MAIN(tst_InputDocuments)
#include "tst_inputdocuments.moc"
