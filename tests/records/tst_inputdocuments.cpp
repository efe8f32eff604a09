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

QStringList pays(const QList<TranPayDetail> &lines)
{
    QStringList text;
    for (const TranPayDetail &p : lines)
        text << QStringList {p.payCode, p.payTotal, p.payNo, p.extPayNo}.join('|');
    return text;
}

QStringList dscs(const QList<DscDetail> &lines)
{
    QStringList text;
    for (const DscDetail &d : lines)
        text << QStringList {d.billno,    d.disMoney, d.disnum,  d.plucode, d.pluid,
                             d.probillno, d.promode,  d.protype, d.rowid,   d.serialno}
                    .join('|');
    return text;
}

QStringList goods(const QList<PluDetail> &lines)
{
    QStringList text;
    for (const PluDetail &p : lines)
        text << (p.PC.isEmpty() ? p.PI : p.PI + '/' + p.PC);
    return text;
}
}

class tst_InputDocuments : public QObject
{
    Q_OBJECT
private slots:
    void parseInputDocuments_data();

    void parseInputDocuments()
    {
        QFETCH(QString, header);
        QFETCH(QString, goods);
        QFETCH(QString, pay);
        QFETCH(QString, udp2);
        QFETCH(QString, message);
        InputRecords records;
        records.tranMain.XD = "-";
        PluDetail stale;
        stale.PI = "-";
        records.pluDetails = {stale};
        records.pluIndex.insert(stale.PI, stale);
        records.tranPayDetails = {TranPayDetail {"old", {}, {}, {}}};
        records.dscDetails = {DscDetail {"-", {}, {}, {}, {}, {}, {}, {}, {}, {}}};
        records.payRDetails = records.payNowRDetails = {TranPayDetail {"-", {}, {}, {}}};
        QString actual = "untouched";
        QCOMPARE(Records::parseInputDocuments(header, goods, pay, udp2, records, actual), message.isEmpty());
        QCOMPARE(actual, message.isEmpty() ? "untouched" : message);
        QTEST(records.tranMain.XD, "xd");
        QTEST(::goods(records.pluDetails), "plu");
        QStringList index = ::goods(records.pluIndex.values());
        index.sort();
        QTEST(index, "index");
        QTEST(pays(records.tranPayDetails), "pays");
        QTEST(dscs(records.dscDetails), "dscs");
        QTEST(pays(records.payRDetails), "payR");
        QTEST(pays(records.payNowRDetails), "payNowR");
    }

    void headerFields_data()
    {
        QTest::addColumn<QString>("header");
        QTest::addColumn<QString>("fields"); // OrgCode|teller_name
        QTest::newRow("nested deep, first in document order")
            << "<R><Head><Store><Info><OrgCode>A01</OrgCode></Info></Store><Cashier><teller_name>李四</teller_name></"
               "Cashier></Head><Body><OrgCode>Z99</OrgCode></Body></R>"
            << "A01|李四";
        QTest::newRow("kept untrimmed, entities decoded") << "<M><OrgCode> A&amp;B&lt;1&gt; </OrgCode></M>"
                                                          << " A&B<1> |";
        QTest::newRow("names are case-sensitive") << "<M><orgcode>A01</orgcode></M>"
                                                  << "|";
        QTest::newRow("root itself is not a field") << "<OrgCode>A01</OrgCode>"
                                                    << "|";
        QTest::newRow("gbk declaration")
            << "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<M><teller_name>王五</teller_name></M>"
            << "|王五";
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
        QCOMPARE(QStringList({m.teller_no,
                              m.teller_id,
                              m.teller_name,
                              m.vip_no,
                              m.vip_id,
                              m.pos_no,
                              m.txn_type,
                              m.tr_amt,
                              m.pay_cardtype,
                              m.orderid,
                              m.OrgCode,
                              m.saleNo,
                              m.SsTotal,
                              m.XD,
                              m.promFlag,
                              m.memPriceFlag,
                              m.bizBillNo,
                              m.PayNo,
                              m.pay_code,
                              m.oriSaleNo,
                              m.oriBillNo,
                              m.Mch,
                              m.VipCouponNoCanShowType})
                     .join('|'),
                 QString("1001|T1001|张三|13800000001|V0001|01|CANCEL|2000|01|O20261206001|A01|S20261206001|86.00||0|0|"
                         "B20261206001|CP0001;CP0002|0308|||S20261206001|1"));

        records = InputRecords();
        QVERIFY2(Records::parseInputDocuments(sample("sale/header.xml"), sample("sale/goods.xml"),
                                              sample("sale/pay.json"), sample("sale/udp2.json"), records, message),
                 qPrintable(message));
        QCOMPARE(records.tranMain.XD, "0");
        QCOMPARE(goods(records.pluDetails), (QStringList {"P001/690001", "P002/690002", "P003/690003"}));
        QCOMPARE(pays(records.tranPayDetails), QStringList {"0101|36.00||"});
        QCOMPARE(dscs(records.dscDetails), QStringList {"S20261206001|0.00|0|690001|P001|0000|0|00|1|1"});
        const PluDetail p = records.pluIndex.value("P003");
        QCOMPARE(QStringList({p.PI, p.PC, p.PName, p.BC, p.ClsCode, p.BrandCode, p.Dep, p.DepId, p.DepName, p.SHP,
                              p.PgN, p.SeN, p.PFsPrint, p.Price, p.SC, p.Unit, p.ST, p.YS, p.YhTotal})
                     .join('|'),
                 "P003|690003|洗衣液|6900000000035|0201|BR03|D02|2|日化部|0|1|3|0|36.00|1|瓶|36.00|36.00|0.00");
    }
};

void tst_InputDocuments::parseInputDocuments_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QString>("udp2");
    QTest::addColumn<QString>("message"); // empty: read
    // What the parse left of records that held "-" and "old" lines; goods as "id/code", other lines their fields.
    QTest::addColumn<QString>("xd");
    QTest::addColumn<QStringList>("plu");
    QTest::addColumn<QStringList>("index");
    QTest::addColumn<QStringList>("pays");
    QTest::addColumn<QStringList>("dscs");
    QTest::addColumn<QStringList>("payR");
    QTest::addColumn<QStringList>("payNowR");
    const QString h = "<Main><txn_type>SALE</txn_type><pay_code>0308</pay_code></Main>";
    const QString g = "<G><XD>1</XD><Plu><L><PI>P1</PI></L></Plu></G>";
    const QString e = "{}";
    const QString ret = "<M><txn_type>VOID</txn_type></M>";
    const QStringList oldPay {"old|||"}, staleDsc {"-|||||||||"}, stale {"-|||"}, staleIndex {"-"}, p1 {"P1"};
    QTest::newRow("pay method used")
        << "<M><txn_type>SALE</txn_type><pay_code>0308</pay_code><PayNoMoneyList><PayNoMoney><PayCode>0101</PayCode></"
           "PayNoMoney><PayNoMoney><PayCode>0308</PayCode></PayNoMoney></PayNoMoneyList></M>"
        << g << e << e << "已存在该支付方式，不允许再次使用！"
        << "-" << QStringList() << staleIndex << oldPay << staleDsc << stale << stale;
    QTest::newRow("no pay code meets entry without one")
        << "<M><txn_type>SALE</txn_type><PayNoMoneyList><PayNoMoney><PayName>x</PayName></PayNoMoney></"
           "PayNoMoneyList></M>"
        << g << e << e << "已存在该支付方式，不允许再次使用！"
        << "-" << QStringList() << staleIndex << oldPay << staleDsc << stale << stale;
    QTest::newRow("goods list name is case-sensitive")
        << h << "<G><XD>1</XD><plu><L/></plu></G>" << e << e << "输入参数商品信息不存在"
        << "1" << QStringList() << staleIndex << oldPay << staleDsc << stale << stale;
    QTest::newRow("pay trailing text") << h << g << "{}x" << e << "p_sTranPayXml参数解析错误"
                                       << "1" << p1 << p1 << oldPay << staleDsc << stale << stale;
    QTest::newRow("udpin1 object, not its text")
        << h << g << R"({"UdpIn1":{"pays":[]}})" << e << "p_sUdpIn1·参数解析错误"
        << "1" << p1 << p1 << oldPay << staleDsc << stale << stale;
    QTest::newRow("udp2 xml, pays kept")
        << h << g << R"({"UdpIn1":"{\"pays\":[{\"code\":\"0102\",\"payno\":\"N1\",\"pay_amt\":\"2.00\"}]}"})"
        << "<Udp2/>"
        << "p_sTranUdp2Xml参数解析错误"
        << "1" << p1 << p1 << QStringList {"old|||", "0102|2.00|N1|"} << staleDsc << stale << stale;
    QTest::newRow("duplicate id, last in the index")
        << h << "<G><Plu><L><PI>P1</PI><PC>a</PC></L><L><PI>P1</PI><PC>b</PC></L></Plu></G>" << e << e << ""
        << "" << QStringList {"P1/a", "P1/b"} << QStringList {"P1/b"} << oldPay << QStringList() << stale << stale;
    QTest::newRow("comment is an empty line")
        << h << "<G><Plu><L><PI>A</PI><PC>a</PC></L><!-- gift --><L><PI>B</PI></L></Plu></G>" << e << e << ""
        << "" << QStringList {"A/a", "", "B"} << QStringList {"", "A/a", "B"} << oldPay << QStringList() << stale
        << stale;
    QTest::newRow("any line name, fields at any depth")
        << h
        << "<G><Body><Plu><Row><Wrap><PI>W1</PI><In><PC>w</PC></In></Wrap></Row><Item><PI>W2</PI></Item></Plu></Body></"
           "G>"
        << e << e << ""
        << "" << QStringList {"W1/w", "W2"} << QStringList {"W1/w", "W2"} << oldPay << QStringList() << stale << stale;
    QTest::newRow("pays in order, appended")
        << h << g
        << R"({"UdpIn1":"{\"pays\":[{\"code\":\"0101\",\"payno\":\"\",\"pay_amt\":\"36.00\"},{\"code\":\"0201\",\"payno\":\"卡一\",\"pay_amt\":\"4.5\"}]}"})"
        << e << ""
        << "1" << p1 << p1 << QStringList {"old|||", "0101|36.00||", "0201|4.5|卡一|"} << QStringList() << stale
        << stale;
    QTest::newRow("pay numbers as decimal text")
        << h << g
        << R"({"UdpIn1":"{\"pays\":[{\"code\":308,\"payno\":13800000001,\"pay_amt\":12.5},{\"code\":0,\"payno\":1e20,\"pay_amt\":1e-6}]}"})"
        << e << ""
        << "1" << p1 << p1 << QStringList {"old|||", "308|12.5|13800000001|", "0|0.000001|100000000000000000000|"}
        << QStringList() << stale << stale;
    QTest::newRow("pay keys missing, null, bool, not an object")
        << h << g << R"({"UdpIn1":"{\"pays\":[{\"code\":null,\"pay_amt\":true},\"0101\"]}"})" << e << ""
        << "1" << p1 << p1 << QStringList {"old|||", "|true||", "|||"} << QStringList() << stale << stale;
    QTest::newRow("discount numbers and missing keys")
        << h << g << e << R"({"dscs":[{"disMoney":1.5,"rowid":2},{"protype":"TWZQ"}]})"
        << ""
        << "1" << p1 << p1 << oldPay << QStringList {"|1.5|||||||2|", "|||||||TWZQ||"} << stale << stale;
    // A return reads the earlier and the current payment lines only; other types the header and XD.
    QTest::newRow("return, both lists")
        << ret << ""
        << "<T><Pay><PayR><PAYCODE>0308</PAYCODE><TOTAL>10.00</TOTAL><PAYNO>CP0001</PAYNO><EXTPAYNO>E1</EXTPAYNO></"
           "PayR><PayR><PAYCODE>0101</PAYCODE></PayR></Pay><PayNow><PayNowR><PAYCODE>0308</PAYCODE><TOTAL>-10.00</"
           "TOTAL></PayNowR></PayNow></T>"
        << "not json"
        << ""
        << "" << QStringList() << staleIndex << oldPay << staleDsc << QStringList {"0308|10.00|CP0001|E1", "0101|||"}
        << QStringList {"0308|-10.00||"};
    QTest::newRow("return, entries outside their list ignored")
        << ret << ""
        << "<T><PayR><PAYCODE>X</PAYCODE></PayR><Pay><PayR><PAYCODE>A</PAYCODE></PayR></Pay><PayNowR><PAYCODE>Y</"
           "PAYCODE></PayNowR></T>"
        << ""
        << ""
        << "" << QStringList() << staleIndex << oldPay << staleDsc << QStringList {"A|||"} << QStringList();
    QTest::newRow("lower-case sale reads no goods or pays")
        << "<M><txn_type>sale</txn_type><pay_code>1</pay_code><PayNoMoneyList><PayNoMoney><PayCode>1</PayCode></"
           "PayNoMoney></PayNoMoneyList></M>"
        << "<G><XD>2</XD></G>"
        << "["
        << "["
        << ""
        << "2" << QStringList() << staleIndex << oldPay << staleDsc << stale << stale;
    // Nothing a parser saw before giving up may leak into the records.
    QTest::newRow("header unclosed") << "<M><txn_type>SALE</txn_type><XD>1</XD>"
                                     << "<G><XD>3</XD><Plu><L><PI>A</PI></L></Plu>" << e << e << ""
                                     << "" << QStringList() << staleIndex << oldPay << staleDsc << stale << stale;
}

QTEST_GUILESS_MAIN(tst_InputDocuments)
#include "tst_inputdocuments.moc"
