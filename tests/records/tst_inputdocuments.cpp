#include <QFile>
#include <QtTest>

#include "records/inputdocuments.h"
#include "support/testsupport.h"

using Records::InputRecords;

namespace {

QString sample(const QString &relativePath)
{
    QFile file(QStringLiteral(SAMPLES_DIR "/") + relativePath);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing sample %s", qPrintable(relativePath));
    return QString::fromUtf8(file.readAll());
}

QString data(const QString &relativePath)
{
    return QString::fromUtf8(TestSupport::fixture(QStringLiteral("records/") + relativePath));
}

// "payCode|payTotal|payNo|extPayNo", so a failing comparison prints readable lists.
QStringList payLines(const QList<TranPayDetail> &pays)
{
    QStringList lines;
    for (const TranPayDetail &pay : pays)
        lines << QStringList{pay.payCode, pay.payTotal, pay.payNo, pay.extPayNo}.join(QLatin1Char('|'));
    return lines;
}

QStringList dscLines(const QList<DscDetail> &dscs)
{
    QStringList lines;
    for (const DscDetail &d : dscs)
        lines << QStringList{d.billno, d.disMoney, d.disnum, d.plucode, d.pluid, d.probillno,
                             d.promode, d.protype, d.rowid, d.serialno}.join(QLatin1Char('|'));
    return lines;
}

QStringList pluIds(const QList<PluDetail> &plus)
{
    QStringList ids;
    for (const PluDetail &plu : plus)
        ids << plu.PI;
    return ids;
}

QString saleHeader(const QString &extra = QString())
{
    return QStringLiteral("<Main><txn_type>SALE</txn_type><pay_code>0308</pay_code>") + extra
        + QStringLiteral("</Main>");
}

const QString oneLineGoods = QStringLiteral("<G><XD>1</XD><Plu><L><PI>P1</PI></L></Plu></G>");
const QString emptyPay = QStringLiteral("{}");
const QString emptyUdp2 = QStringLiteral("{}");
const QString duplicatePayMethod = QStringLiteral("已存在该支付方式，不允许再次使用！");
const QString noGoods = QStringLiteral("输入参数商品信息不存在");

}

class tst_InputDocuments : public QObject
{
    Q_OBJECT
private slots:
    void failuresCarryTheirMessage_data();
    void failuresCarryTheirMessage();
    void udpIn1MessageHasMiddleDot();
    void duplicatePayMethodKeepsHeader();
    void laterFailureKeepsEarlierLists();

    void headerFieldsReadInFull();
    void headerFields_data();
    void headerFields();
    void unreadableXmlReadsEmpty_data();
    void unreadableXmlReadsEmpty();

    void goodsLines_data();
    void goodsLines();
    void sampleSaleReadsEveryDocument();
    void salePays_data();
    void salePays();
    void saleDiscounts_data();
    void saleDiscounts();

    void voidPays_data();
    void voidPays();
    void sampleVoidReadsPayLinesOnly();
    void otherTypesReadHeaderAndXdOnly_data();
    void otherTypesReadHeaderAndXdOnly();

    void hugeGoodsDocument();
};

void tst_InputDocuments::failuresCarryTheirMessage_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QString>("udp2");
    QTest::addColumn<QString>("message");

    const QString usedList = QStringLiteral(
        "<PayNoMoneyList><PayNoMoney><PayCode>0101</PayCode></PayNoMoney>"
        "<PayNoMoney><PayCode>0308</PayCode></PayNoMoney></PayNoMoneyList>");
    QTest::newRow("pay method used") << saleHeader(usedList) << oneLineGoods << emptyPay
                                     << emptyUdp2 << duplicatePayMethod;
    QTest::newRow("no pay code meets entry without one")
        << QStringLiteral("<M><txn_type>SALE</txn_type><PayNoMoneyList><PayNoMoney><PayName>x"
                          "</PayName></PayNoMoney></PayNoMoneyList></M>")
        << oneLineGoods << emptyPay << emptyUdp2 << duplicatePayMethod;
    QTest::newRow("no goods list") << saleHeader() << QStringLiteral("<G><XD>1</XD></G>")
                                   << emptyPay << emptyUdp2 << noGoods;
    QTest::newRow("goods not xml") << saleHeader() << QStringLiteral("<G><Plu>") << emptyPay
                                   << emptyUdp2 << noGoods;
    QTest::newRow("goods empty") << saleHeader() << QString() << emptyPay << emptyUdp2 << noGoods;
    QTest::newRow("goods list name is case-sensitive")
        << saleHeader() << QStringLiteral("<G><plu><L/></plu></G>") << emptyPay << emptyUdp2
        << noGoods;
    QTest::newRow("pay empty") << saleHeader() << oneLineGoods << QString() << emptyUdp2
                               << QStringLiteral("p_sTranPayXml参数解析错误");
    QTest::newRow("pay not json") << saleHeader() << oneLineGoods << QStringLiteral("<Pay/>")
                                  << emptyUdp2 << QStringLiteral("p_sTranPayXml参数解析错误");
    QTest::newRow("pay trailing text") << saleHeader() << oneLineGoods << QStringLiteral("{}x")
                                       << emptyUdp2 << QStringLiteral("p_sTranPayXml参数解析错误");
    QTest::newRow("pay bare number") << saleHeader() << oneLineGoods << QStringLiteral("5")
                                     << emptyUdp2 << QStringLiteral("p_sTranPayXml参数解析错误");
    QTest::newRow("pay array") << saleHeader() << oneLineGoods << QStringLiteral("[{}]")
                               << emptyUdp2 << QStringLiteral("p_sTranPayXml参数解析失败");
    QTest::newRow("udpin1 object") << saleHeader() << oneLineGoods
                                   << QStringLiteral(R"({"UdpIn1":{"pays":[]}})") << emptyUdp2
                                   << QStringLiteral("p_sUdpIn1·参数解析错误");
    QTest::newRow("udpin1 empty text") << saleHeader() << oneLineGoods
                                       << QStringLiteral(R"({"UdpIn1":""})") << emptyUdp2
                                       << QStringLiteral("p_sUdpIn1·参数解析错误");
    QTest::newRow("udpin1 null") << saleHeader() << oneLineGoods
                                 << QStringLiteral(R"({"UdpIn1":null})") << emptyUdp2
                                 << QStringLiteral("p_sUdpIn1·参数解析错误");
    QTest::newRow("udpin1 broken text") << saleHeader() << oneLineGoods
                                        << QStringLiteral(R"({"UdpIn1":"{\"pays\":["})")
                                        << emptyUdp2 << QStringLiteral("p_sUdpIn1·参数解析错误");
    QTest::newRow("udpin1 array text") << saleHeader() << oneLineGoods
                                       << QStringLiteral(R"({"UdpIn1":"[1,2]"})") << emptyUdp2
                                       << QStringLiteral("p_sUdpIn1参数解析失败");
    QTest::newRow("udp2 empty") << saleHeader() << oneLineGoods << emptyPay << QString()
                                << QStringLiteral("p_sTranUdp2Xml参数解析错误");
    QTest::newRow("udp2 xml") << saleHeader() << oneLineGoods << emptyPay
                              << QStringLiteral("<Udp2/>")
                              << QStringLiteral("p_sTranUdp2Xml参数解析错误");
    QTest::newRow("udp2 array") << saleHeader() << oneLineGoods << emptyPay
                                << QStringLiteral("[]")
                                << QStringLiteral("p_sTranUdp2Xml参数解析失败");
}

void tst_InputDocuments::failuresCarryTheirMessage()
{
    QFETCH(QString, header);
    QFETCH(QString, goods);
    QFETCH(QString, pay);
    QFETCH(QString, udp2);
    QFETCH(QString, message);

    InputRecords records;
    QString actual = QStringLiteral("before");
    QVERIFY(!Records::parseInputDocuments(header, goods, pay, udp2, records, actual));
    QCOMPARE(actual, message);
}

void tst_InputDocuments::udpIn1MessageHasMiddleDot()
{
    InputRecords records;
    QString message;
    QVERIFY(!Records::parseInputDocuments(saleHeader(), oneLineGoods,
                                          QStringLiteral(R"({"UdpIn1":{}})"), emptyUdp2,
                                          records, message));
    QCOMPARE(message.size(), 16);
    QCOMPARE(message.at(9), QChar(0x00B7));
}

void tst_InputDocuments::duplicatePayMethodKeepsHeader()
{
    InputRecords records;
    records.tranMain.XD = QStringLiteral("earlier");
    records.pluDetails << PluDetail{};
    QString message;
    const QString header = saleHeader(QStringLiteral(
        "<vip_no>13800000001</vip_no><PayNoMoneyList><PayNoMoney><PayCode>0308</PayCode>"
        "</PayNoMoney></PayNoMoneyList>"));
    QVERIFY(!Records::parseInputDocuments(header, oneLineGoods, emptyPay, emptyUdp2, records,
                                          message));
    QCOMPARE(message, duplicatePayMethod);
    QCOMPARE(records.tranMain.txn_type, QStringLiteral("SALE"));
    QCOMPARE(records.tranMain.vip_no, QStringLiteral("13800000001"));
    QCOMPARE(records.tranMain.pay_code, QStringLiteral("0308"));
    // Stopped before the goods document: XD untouched, the goods list emptied by the reset.
    QCOMPARE(records.tranMain.XD, QStringLiteral("earlier"));
    QCOMPARE(records.pluDetails.size(), 0);
}

void tst_InputDocuments::laterFailureKeepsEarlierLists()
{
    InputRecords records;
    records.tranPayDetails << TranPayDetail{QStringLiteral("0101"), QStringLiteral("1.00"),
                                            QString(), QString()};
    records.dscDetails << DscDetail{QStringLiteral("old"), {}, {}, {}, {}, {}, {}, {}, {}, {}};
    QString message;
    const QString pay = QStringLiteral(
        R"({"UdpIn1":"{\"pays\":[{\"code\":\"0102\",\"payno\":\"N1\",\"pay_amt\":\"2.00\"}]}"})");
    QVERIFY(!Records::parseInputDocuments(saleHeader(), oneLineGoods, pay, QStringLiteral("["),
                                          records, message));
    QCOMPARE(message, QStringLiteral("p_sTranUdp2Xml参数解析错误"));
    QCOMPARE(records.tranMain.XD, QStringLiteral("1"));
    QCOMPARE(pluIds(records.pluDetails), QStringList{QStringLiteral("P1")});
    QCOMPARE(payLines(records.tranPayDetails),
             (QStringList{QStringLiteral("0101|1.00||"), QStringLiteral("0102|2.00|N1|")}));
    // The discount lines are only replaced once the Udp2 document has been accepted.
    QCOMPARE(dscLines(records.dscDetails), QStringList{QStringLiteral("old|||||||||")});
}

void tst_InputDocuments::headerFieldsReadInFull()
{
    InputRecords records;
    QString message = QStringLiteral("untouched");
    QVERIFY(Records::parseInputDocuments(sample(QStringLiteral("cancel/header.xml")), QString(),
                                         QString(), QString(), records, message));
    QCOMPARE(message, QStringLiteral("untouched"));
    const TranMainDetail &m = records.tranMain;
    QCOMPARE(m.teller_no, QStringLiteral("1001"));
    QCOMPARE(m.teller_id, QStringLiteral("T1001"));
    QCOMPARE(m.teller_name, QStringLiteral("张三"));
    QCOMPARE(m.vip_no, QStringLiteral("13800000001"));
    QCOMPARE(m.vip_id, QStringLiteral("V0001"));
    QCOMPARE(m.pos_no, QStringLiteral("01"));
    QCOMPARE(m.txn_type, QStringLiteral("CANCEL"));
    QCOMPARE(m.tr_amt, QStringLiteral("2000"));
    QCOMPARE(m.pay_cardtype, QStringLiteral("01"));
    QCOMPARE(m.orderid, QStringLiteral("O20261206001"));
    QCOMPARE(m.OrgCode, QStringLiteral("A01"));
    QCOMPARE(m.saleNo, QStringLiteral("S20261206001"));
    QCOMPARE(m.SsTotal, QStringLiteral("86.00"));
    QCOMPARE(m.promFlag, QStringLiteral("0"));
    QCOMPARE(m.memPriceFlag, QStringLiteral("0"));
    QCOMPARE(m.bizBillNo, QStringLiteral("B20261206001"));
    QCOMPARE(m.PayNo, QStringLiteral("CP0001;CP0002"));
    QCOMPARE(m.Mch, QStringLiteral("S20261206001"));
    QCOMPARE(m.pay_code, QStringLiteral("0308"));
    QCOMPARE(m.oriSaleNo, QString());
    QCOMPARE(m.oriBillNo, QString());
    QCOMPARE(m.VipCouponNoCanShowType, QStringLiteral("1"));
    QCOMPARE(m.XD, QString());
}

void tst_InputDocuments::headerFields_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("orgCode");
    QTest::addColumn<QString>("tellerName");

    QTest::newRow("nested deep") << data(QStringLiteral("header-nested.xml"))
                                 << QStringLiteral("A01") << QStringLiteral("李四");
    QTest::newRow("first of several wins")
        << QStringLiteral("<M><OrgCode>A01</OrgCode><x><OrgCode>B02</OrgCode></x></M>")
        << QStringLiteral("A01") << QString();
    QTest::newRow("kept untrimmed") << QStringLiteral("<M><OrgCode> A01 </OrgCode></M>")
                                    << QStringLiteral(" A01 ") << QString();
    QTest::newRow("whitespace only is no text")
        << QStringLiteral("<M><OrgCode>  \n </OrgCode></M>") << QString() << QString();
    QTest::newRow("text of descendants joined")
        << QStringLiteral("<M><teller_name>张<b>三</b>丰</teller_name></M>") << QString()
        << QStringLiteral("张三丰");
    QTest::newRow("entities decoded")
        << QStringLiteral("<M><OrgCode>A&amp;B&lt;1&gt;</OrgCode></M>")
        << QStringLiteral("A&B<1>") << QString();
    QTest::newRow("names are case-sensitive") << QStringLiteral("<M><orgcode>A01</orgcode></M>")
                                              << QString() << QString();
    QTest::newRow("root itself is not a field")
        << QStringLiteral("<OrgCode>A01</OrgCode>") << QString() << QString();
    QTest::newRow("gbk declaration") << QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"GBK\"?>\n<M><teller_name>王五</teller_name></M>")
                                     << QString() << QStringLiteral("王五");
}

void tst_InputDocuments::headerFields()
{
    QFETCH(QString, header);
    QFETCH(QString, orgCode);
    QFETCH(QString, tellerName);

    InputRecords records;
    // An absent element overwrites what was there before.
    records.tranMain.OrgCode = QStringLiteral("preset");
    records.tranMain.teller_name = QStringLiteral("preset");
    QString message;
    QVERIFY(Records::parseInputDocuments(header, QString(), QString(), QString(), records,
                                         message));
    QCOMPARE(records.tranMain.OrgCode, orgCode);
    QCOMPARE(records.tranMain.teller_name, tellerName);
}

void tst_InputDocuments::unreadableXmlReadsEmpty_data()
{
    QTest::addColumn<QString>("document");

    QTest::newRow("empty") << QString();
    QTest::newRow("plain text") << QStringLiteral("txn_type=SALE");
    QTest::newRow("unclosed") << QStringLiteral("<M><txn_type>SALE</txn_type><XD>1</XD><vip_no>1");
    QTest::newRow("two roots")
        << QStringLiteral("<M><txn_type>VOID</txn_type><XD>1</XD></M><M/>");
    QTest::newRow("json") << QStringLiteral(R"({"txn_type":"SALE"})");
    const char binary[] = "\x00\x01\xff\xfe<M>\x02<txn_type>SALE</txn_type>\x7f\x80</M>";
    QTest::newRow("binary") << QString::fromLatin1(binary, sizeof binary - 1);
}

void tst_InputDocuments::unreadableXmlReadsEmpty()
{
    QFETCH(QString, document);

    // The same text as header and goods: neither may leak what a parser saw before giving up.
    InputRecords records;
    records.tranMain.vip_no = QStringLiteral("preset");
    records.tranMain.XD = QStringLiteral("preset");
    QString message = QStringLiteral("untouched");
    QVERIFY(Records::parseInputDocuments(document, document, document, document, records,
                                         message));
    QCOMPARE(message, QStringLiteral("untouched"));
    QCOMPARE(records.tranMain.txn_type, QString());
    QCOMPARE(records.tranMain.vip_no, QString());
    QCOMPARE(records.tranMain.XD, QString());
    QCOMPARE(records.pluDetails.size(), 0);
    QCOMPARE(records.tranPayDetails.size(), 0);
    QCOMPARE(records.payRDetails.size(), 0);
}

void tst_InputDocuments::goodsLines_data()
{
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QStringList>("ids");
    QTest::addColumn<QStringList>("indexKeys");
    QTest::addColumn<QString>("lookupId");
    QTest::addColumn<QString>("lookupCode");

    QTest::newRow("duplicate id")
        << QStringLiteral("<G><Plu><L><PI>P1</PI><PC>first</PC></L>"
                          "<L><PI>P1</PI><PC>second</PC></L></Plu></G>")
        << QStringList{QStringLiteral("P1"), QStringLiteral("P1")}
        << QStringList{QStringLiteral("P1")} << QStringLiteral("P1") << QStringLiteral("second");
    QTest::newRow("comment is an empty line")
        << QStringLiteral("<G><Plu><L><PI>A</PI><PC>a</PC></L><!-- gift --><L><PI>B</PI></L>"
                          "</Plu></G>")
        << QStringList{QStringLiteral("A"), QString(), QStringLiteral("B")}
        << QStringList{QString(), QStringLiteral("A"), QStringLiteral("B")} << QString()
        << QString();
    QTest::newRow("stray text is an empty line")
        << QStringLiteral("<G><Plu>note<L><PI>A</PI><PC>a</PC></L></Plu></G>")
        << QStringList{QString(), QStringLiteral("A")}
        << QStringList{QString(), QStringLiteral("A")} << QStringLiteral("A")
        << QStringLiteral("a");
    QTest::newRow("whitespace between lines is no line")
        << QStringLiteral("<G>\n <Plu>\n  <L><PI>A</PI></L>\n  \t<L><PI>B</PI></L>\n </Plu>\n</G>")
        << QStringList{QStringLiteral("A"), QStringLiteral("B")}
        << QStringList{QStringLiteral("A"), QStringLiteral("B")} << QStringLiteral("B")
        << QString();
    QTest::newRow("empty goods list") << QStringLiteral("<G><Plu/></G>") << QStringList()
                                      << QStringList() << QStringLiteral("P1") << QString();
    QTest::newRow("only whitespace inside")
        << QStringLiteral("<G><Plu>\n   \n</Plu></G>") << QStringList() << QStringList()
        << QString() << QString();
    QTest::newRow("any line name, fields at any depth")
        << QStringLiteral("<G><Body><Plu><Row><Wrap><PI>W1</PI><Inner><PC>w</PC></Inner></Wrap>"
                          "</Row><Item><PI>W2</PI></Item></Plu></Body></G>")
        << QStringList{QStringLiteral("W1"), QStringLiteral("W2")}
        << QStringList{QStringLiteral("W1"), QStringLiteral("W2")} << QStringLiteral("W1")
        << QStringLiteral("w");
    QTest::newRow("only the first goods list")
        << QStringLiteral("<G><Plu><L><PI>A</PI></L></Plu><Plu><L><PI>B</PI></L></Plu></G>")
        << QStringList{QStringLiteral("A")} << QStringList{QStringLiteral("A")}
        << QStringLiteral("B") << QString();
}

void tst_InputDocuments::goodsLines()
{
    QFETCH(QString, goods);
    QFETCH(QStringList, ids);
    QFETCH(QStringList, indexKeys);
    QFETCH(QString, lookupId);
    QFETCH(QString, lookupCode);

    InputRecords records;
    records.pluDetails << PluDetail{};
    records.pluIndex.insert(QStringLiteral("stale"), PluDetail{});
    QString message;
    QVERIFY2(Records::parseInputDocuments(saleHeader(), goods, emptyPay, emptyUdp2, records,
                                          message),
             qPrintable(message));
    QCOMPARE(pluIds(records.pluDetails), ids);
    QStringList keys = records.pluIndex.keys();
    keys.sort();
    QCOMPARE(keys, indexKeys);
    QCOMPARE(records.pluIndex.value(lookupId).PC, lookupCode);
}

void tst_InputDocuments::sampleSaleReadsEveryDocument()
{
    InputRecords records;
    QString message;
    QVERIFY2(Records::parseInputDocuments(sample(QStringLiteral("sale/header.xml")),
                                          sample(QStringLiteral("sale/goods.xml")),
                                          sample(QStringLiteral("sale/pay.json")),
                                          sample(QStringLiteral("sale/udp2.json")), records,
                                          message),
             qPrintable(message));
    QCOMPARE(records.tranMain.txn_type, QStringLiteral("SALE"));
    QCOMPARE(records.tranMain.tr_amt, QStringLiteral("5000"));
    QCOMPARE(records.tranMain.XD, QStringLiteral("0"));
    QCOMPARE(pluIds(records.pluDetails),
             (QStringList{QStringLiteral("P001"), QStringLiteral("P002"), QStringLiteral("P003")}));
    QCOMPARE(records.pluIndex.size(), 3);

    const PluDetail third = records.pluIndex.value(QStringLiteral("P003"));
    const QStringList fields{third.PI, third.PC, third.PName, third.BC, third.ClsCode,
                             third.BrandCode, third.Dep, third.DepId, third.DepName, third.SHP,
                             third.PgN, third.SeN, third.PFsPrint, third.Price, third.SC,
                             third.Unit, third.ST, third.YS, third.YhTotal};
    QCOMPARE(fields.join(QLatin1Char('|')),
             QStringLiteral("P003|690003|洗衣液|6900000000035|0201|BR03|D02|2|日化部|0|1|3|0|"
                            "36.00|1|瓶|36.00|36.00|0.00"));
    QCOMPARE(records.pluDetails.at(0).Dep, QStringLiteral("D01"));

    QCOMPARE(payLines(records.tranPayDetails), QStringList{QStringLiteral("0101|36.00||")});
    QCOMPARE(dscLines(records.dscDetails),
             QStringList{QStringLiteral("S20261206001|0.00|0|690001|P001|0000|0|00|1|1")});
    QCOMPARE(records.payRDetails.size(), 0);
    QCOMPARE(records.payNowRDetails.size(), 0);
}

void tst_InputDocuments::salePays_data()
{
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty object") << QStringLiteral("{}") << QStringList();
    QTest::newRow("udpin1 without pays") << QStringLiteral(R"({"UdpIn1":"{}"})") << QStringList();
    QTest::newRow("empty pays") << QStringLiteral(R"({"UdpIn1":"{\"pays\":[]}"})")
                                << QStringList();
    QTest::newRow("pays not an array") << QStringLiteral(R"({"UdpIn1":"{\"pays\":\"0101\"}"})")
                                       << QStringList();
    QTest::newRow("two in order")
        << QStringLiteral(R"({"UdpIn1":"{\"pays\":[{\"code\":\"0101\",\"payno\":\"\",)"
                          R"(\"pay_amt\":\"36.00\"},{\"code\":\"0201\",\"payno\":\"Q9\",)"
                          R"(\"pay_amt\":\"4.5\"}]}"})")
        << QStringList{QStringLiteral("0101|36.00||"), QStringLiteral("0201|4.5|Q9|")};
    QTest::newRow("numbers as decimal text")
        << QStringLiteral(R"({"UdpIn1":"{\"pays\":[{\"code\":308,\"payno\":13800000001,)"
                          R"(\"pay_amt\":12.5},{\"code\":0,\"payno\":1e20,\"pay_amt\":1e-6}]}"})")
        << QStringList{QStringLiteral("308|12.5|13800000001|"),
                       QStringLiteral("0|0.000001|100000000000000000000|")};
    QTest::newRow("missing keys, null and bool")
        << QStringLiteral(R"({"UdpIn1":"{\"pays\":[{\"code\":null,\"pay_amt\":true}]}"})")
        << QStringList{QStringLiteral("|true||")};
    QTest::newRow("entry not an object")
        << QStringLiteral(R"({"UdpIn1":"{\"pays\":[\"0101\",{\"code\":\"0102\"}]}"})")
        << QStringList{QStringLiteral("|||"), QStringLiteral("0102|||")};
    QTest::newRow("chinese payment number")
        << QStringLiteral(R"({"UdpIn1":"{\"pays\":[{\"code\":\"0901\",\"payno\":\"卡一\"}]}"})")
        << QStringList{QStringLiteral("0901||卡一|")};
}

void tst_InputDocuments::salePays()
{
    QFETCH(QString, pay);
    QFETCH(QStringList, lines);

    InputRecords records;
    QString message;
    QVERIFY2(Records::parseInputDocuments(saleHeader(), oneLineGoods, pay, emptyUdp2, records,
                                          message),
             qPrintable(message));
    QCOMPARE(payLines(records.tranPayDetails), lines);

    // A second parse appends; nothing empties the payment lines.
    QVERIFY(Records::parseInputDocuments(saleHeader(), oneLineGoods, pay, emptyUdp2, records,
                                         message));
    QCOMPARE(payLines(records.tranPayDetails), lines + lines);
}

void tst_InputDocuments::saleDiscounts_data()
{
    QTest::addColumn<QString>("udp2");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("empty object") << QStringLiteral("{}") << QStringList();
    QTest::newRow("empty list") << QStringLiteral(R"({"dscs":[]})") << QStringList();
    QTest::newRow("every key")
        << QStringLiteral(R"({"dscs":[{"billno":"B1","disMoney":"2.00","disnum":"1",)"
                          R"("plucode":"690001","pluid":"P001","probillno":"1111",)"
                          R"("promode":"3","protype":"94","rowid":"1","serialno":"7"}]})")
        << QStringList{QStringLiteral("B1|2.00|1|690001|P001|1111|3|94|1|7")};
    QTest::newRow("numbers and missing keys")
        << QStringLiteral(R"({"dscs":[{"disMoney":1.5,"rowid":2},{"protype":"TWZQ"}]})")
        << QStringList{QStringLiteral("|1.5|||||||2|"), QStringLiteral("|||||||TWZQ||")};
}

void tst_InputDocuments::saleDiscounts()
{
    QFETCH(QString, udp2);
    QFETCH(QStringList, lines);

    InputRecords records;
    records.dscDetails << DscDetail{QStringLiteral("stale"), {}, {}, {}, {}, {}, {}, {}, {}, {}};
    QString message;
    QVERIFY2(Records::parseInputDocuments(saleHeader(), oneLineGoods, emptyPay, udp2, records,
                                          message),
             qPrintable(message));
    QCOMPARE(dscLines(records.dscDetails), lines);
}

void tst_InputDocuments::voidPays_data()
{
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QStringList>("payR");
    QTest::addColumn<QStringList>("payNowR");

    QTest::newRow("both lists")
        << QStringLiteral("<T><Pay><PayR><PAYCODE>0308</PAYCODE><TOTAL>10.00</TOTAL>"
                          "<PAYNO>CP0001</PAYNO><EXTPAYNO>E1</EXTPAYNO></PayR>"
                          "<PayR><PAYCODE>0101</PAYCODE><TOTAL>5.00</TOTAL></PayR></Pay>"
                          "<PayNow><PayNowR><PAYCODE>0308</PAYCODE><TOTAL>-10.00</TOTAL>"
                          "<PAYNO>CP0001</PAYNO></PayNowR></PayNow></T>")
        << QStringList{QStringLiteral("0308|10.00|CP0001|E1"), QStringLiteral("0101|5.00||")}
        << QStringList{QStringLiteral("0308|-10.00|CP0001|")};
    QTest::newRow("no current payments")
        << QStringLiteral("<T><Pay><PayR><PAYCODE>0308</PAYCODE></PayR></Pay></T>")
        << QStringList{QStringLiteral("0308|||")} << QStringList();
    QTest::newRow("entries outside their list ignored")
        << QStringLiteral("<T><PayR><PAYCODE>X</PAYCODE></PayR><Pay><PayR><PAYCODE>A</PAYCODE>"
                          "</PayR></Pay><PayNowR><PAYCODE>Y</PAYCODE></PayNowR></T>")
        << QStringList{QStringLiteral("A|||")} << QStringList();
    QTest::newRow("entries at any depth of the list")
        << QStringLiteral("<T><Pay><Rows><PayR><X><PAYNO>N</PAYNO></X></PayR></Rows></Pay></T>")
        << QStringList{QStringLiteral("||N|")} << QStringList();
    QTest::newRow("only the first list")
        << QStringLiteral("<T><Pay><PayR><PAYCODE>A</PAYCODE></PayR></Pay>"
                          "<Pay><PayR><PAYCODE>B</PAYCODE></PayR></Pay></T>")
        << QStringList{QStringLiteral("A|||")} << QStringList();
    QTest::newRow("not xml") << QStringLiteral(R"({"UdpIn1":""})") << QStringList()
                             << QStringList();
    QTest::newRow("empty") << QString() << QStringList() << QStringList();
}

void tst_InputDocuments::voidPays()
{
    QFETCH(QString, pay);
    QFETCH(QStringList, payR);
    QFETCH(QStringList, payNowR);

    InputRecords records;
    records.payRDetails << TranPayDetail{QStringLiteral("stale"), {}, {}, {}};
    records.payNowRDetails << TranPayDetail{QStringLiteral("stale"), {}, {}, {}};
    QString message = QStringLiteral("untouched");
    QVERIFY(Records::parseInputDocuments(QStringLiteral("<M><txn_type>VOID</txn_type></M>"),
                                         QString(), pay, QStringLiteral("not json"), records,
                                         message));
    QCOMPARE(message, QStringLiteral("untouched"));
    QCOMPARE(payLines(records.payRDetails), payR);
    QCOMPARE(payLines(records.payNowRDetails), payNowR);
}

void tst_InputDocuments::sampleVoidReadsPayLinesOnly()
{
    InputRecords records;
    QString message;
    QVERIFY2(Records::parseInputDocuments(sample(QStringLiteral("void/header.xml")),
                                          sample(QStringLiteral("void/goods.xml")),
                                          sample(QStringLiteral("void/pay.xml")),
                                          sample(QStringLiteral("void/udp2.json")), records,
                                          message),
             qPrintable(message));
    QCOMPARE(records.tranMain.txn_type, QStringLiteral("VOID"));
    QCOMPARE(records.tranMain.oriSaleNo, QStringLiteral("S20261206001"));
    QCOMPARE(records.tranMain.oriBillNo, QStringLiteral("B20261206001"));
    QCOMPARE(records.tranMain.SsTotal, QStringLiteral("10.00"));
    QCOMPARE(records.tranMain.tr_amt, QStringLiteral("1000"));
    QCOMPARE(records.tranMain.XD, QStringLiteral("0"));
    QCOMPARE(payLines(records.payRDetails), QStringList{QStringLiteral("0308|10.00|CP0001|")});
    QCOMPARE(records.payNowRDetails.size(), 0);
    QCOMPARE(records.pluDetails.size(), 0);
    QCOMPARE(records.pluIndex.size(), 0);
    QCOMPARE(records.dscDetails.size(), 0);
    QCOMPARE(records.tranPayDetails.size(), 0);
}

void tst_InputDocuments::otherTypesReadHeaderAndXdOnly_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("goods");
    QTest::addColumn<QString>("pay");
    QTest::addColumn<QString>("udp2");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("xd");

    QTest::newRow("cancel, empty documents")
        << sample(QStringLiteral("cancel/header.xml")) << QString() << QString() << QString()
        << QStringLiteral("CANCEL") << QString();
    QTest::newRow("cancel sample")
        << sample(QStringLiteral("cancel/header.xml")) << sample(QStringLiteral("cancel/goods.xml"))
        << sample(QStringLiteral("cancel/pay.json")) << sample(QStringLiteral("cancel/udp2.json"))
        << QStringLiteral("CANCEL") << QStringLiteral("0");
    QTest::newRow("lower-case sale")
        << QStringLiteral("<M><txn_type>sale</txn_type><pay_code>1</pay_code><PayNoMoneyList>"
                          "<PayNoMoney><PayCode>1</PayCode></PayNoMoney></PayNoMoneyList></M>")
        << QStringLiteral("<G><XD>2</XD></G>") << QStringLiteral("[") << QStringLiteral("[")
        << QStringLiteral("sale") << QStringLiteral("2");
    QTest::newRow("type zero") << QStringLiteral("<M><txn_type>0</txn_type></M>")
                               << QStringLiteral("<G><XD>3</XD><Plu><L><PI>A</PI></L></Plu></G>")
                               << QString() << QString() << QStringLiteral("0")
                               << QStringLiteral("3");
}

void tst_InputDocuments::otherTypesReadHeaderAndXdOnly()
{
    QFETCH(QString, header);
    QFETCH(QString, goods);
    QFETCH(QString, pay);
    QFETCH(QString, udp2);
    QFETCH(QString, type);
    QFETCH(QString, xd);

    InputRecords records;
    records.pluDetails << PluDetail{};
    records.dscDetails << DscDetail{};
    records.payRDetails << TranPayDetail{};
    QString message = QStringLiteral("untouched");
    QVERIFY(Records::parseInputDocuments(header, goods, pay, udp2, records, message));
    QCOMPARE(message, QStringLiteral("untouched"));
    QCOMPARE(records.tranMain.txn_type, type);
    QCOMPARE(records.tranMain.XD, xd);
    QCOMPARE(records.pluDetails.size(), 0);   // emptied by the reset, not refilled
    QCOMPARE(records.pluIndex.size(), 0);
    QCOMPARE(records.dscDetails.size(), 1);   // only a sale replaces the discount lines
    QCOMPARE(records.payRDetails.size(), 1);  // only a return replaces the earlier payments
    QCOMPARE(records.tranPayDetails.size(), 0);
}

void tst_InputDocuments::hugeGoodsDocument()
{
    // About 50 MB of goods lines with long names: big enough to show a quadratic walk or a
    // crash, few enough nodes to keep the DOM in a few hundred megabytes.
    constexpr int lineCount = 20000;
    const QString name(2500, QLatin1Char('x'));
    QString goods;
    goods.reserve(lineCount * 2600 + 64);
    goods += QStringLiteral("<G><XD>9</XD><Plu>");
    for (int i = 0; i < lineCount; ++i) {
        goods += QStringLiteral("<L><PI>P");
        goods += QString::number(i);
        goods += QStringLiteral("</PI><PName>");
        goods += name;
        goods += QStringLiteral("</PName><Dep>D01</Dep><SC>1</SC></L>");
    }
    goods += QStringLiteral("</Plu></G>");
    QVERIFY(goods.toUtf8().size() > 50 * 1000 * 1000);

    InputRecords records;
    QString message;
    QVERIFY2(Records::parseInputDocuments(saleHeader(), goods, emptyPay, emptyUdp2, records,
                                          message),
             qPrintable(message));
    QCOMPARE(records.tranMain.XD, QStringLiteral("9"));
    QCOMPARE(records.pluDetails.size(), 20000);
    QCOMPARE(records.pluIndex.size(), 20000);
    QCOMPARE(records.pluDetails.last().PI, QStringLiteral("P19999"));
    QCOMPARE(records.pluIndex.value(QStringLiteral("P12345")).Dep, QStringLiteral("D01"));
    QCOMPARE(records.pluDetails.first().PName.size(), 2500);
}

QTEST_GUILESS_MAIN(tst_InputDocuments)
#include "tst_inputdocuments.moc"
