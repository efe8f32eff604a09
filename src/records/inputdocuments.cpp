#include "records/inputdocuments.h"

#include <QDomDocument>
#include <QDomElement>
#include <QDomNode>
#include <QDomNodeList>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonParseError>
#include <QJsonValue>
#include <QVariant>
#include <QLocale>
#include <QObject>

#include "support/jsonguard.h"

namespace Records {

namespace {
const QString kSale = QStringLiteral("SALE");
const QString kVoid = QStringLiteral("VOID");

// The host's documents are never rejected for their XML: a text that does not parse is read as
// a document without elements. QDomDocument keeps whatever it built before the error, so the
// partial tree has to be thrown away explicitly. Callers keep the document alive while they
// read its elements: nodes outliving their document point into freed memory.
QDomDocument loadDocument(const QString &text)
{
    QDomDocument document;
    if (!document.setContent(text))
        return QDomDocument();
    return document;
}

// The first element named name anywhere below parent; a null element when there is none.
QDomElement firstBelow(const QDomNode &parent, const QString &name)
{
    if (!parent.isElement())
        return QDomElement();
    return parent.toElement().elementsByTagName(name).at(0).toElement();
}

QString fieldText(const QDomNode &parent, const QString &name)
{
    return firstBelow(parent, name).text();
}

void readHeader(const QDomElement &root, TranMainDetail &tranMain)
{
    tranMain.teller_no = fieldText(root, QStringLiteral("teller_no"));
    tranMain.teller_id = fieldText(root, QStringLiteral("teller_id"));
    tranMain.teller_name = fieldText(root, QStringLiteral("teller_name"));
    tranMain.vip_no = fieldText(root, QStringLiteral("vip_no"));
    tranMain.vip_id = fieldText(root, QStringLiteral("vip_id"));
    tranMain.pos_no = fieldText(root, QStringLiteral("pos_no"));
    tranMain.txn_type = fieldText(root, QStringLiteral("txn_type"));
    tranMain.tr_amt = fieldText(root, QStringLiteral("tr_amt"));
    tranMain.pay_cardtype = fieldText(root, QStringLiteral("pay_cardtype"));
    tranMain.orderid = fieldText(root, QStringLiteral("orderid"));
    tranMain.OrgCode = fieldText(root, QStringLiteral("OrgCode"));
    tranMain.saleNo = fieldText(root, QStringLiteral("saleNo"));
    tranMain.SsTotal = fieldText(root, QStringLiteral("SsTotal"));
    tranMain.promFlag = fieldText(root, QStringLiteral("promFlag"));
    tranMain.memPriceFlag = fieldText(root, QStringLiteral("memPriceFlag"));
    tranMain.bizBillNo = fieldText(root, QStringLiteral("bizBillNo"));
    tranMain.PayNo = fieldText(root, QStringLiteral("PayNo"));
    tranMain.Mch = fieldText(root, QStringLiteral("Mch"));
    tranMain.pay_code = fieldText(root, QStringLiteral("pay_code"));
    tranMain.oriSaleNo = fieldText(root, QStringLiteral("oriSaleNo"));
    tranMain.oriBillNo = fieldText(root, QStringLiteral("oriBillNo"));
    tranMain.VipCouponNoCanShowType = fieldText(root, QStringLiteral("VipCouponNoCanShowType"));
}

bool payMethodAlreadyUsed(const QDomElement &root, const QString &payCode)
{
    const QDomElement list = firstBelow(root, QStringLiteral("PayNoMoneyList"));
    if (list.isNull())
        return false;
    const QDomNodeList entries = list.elementsByTagName(QStringLiteral("PayNoMoney"));
    for (int i = 0; i < entries.count(); ++i) {
        if (fieldText(entries.at(i), QStringLiteral("PayCode")) == payCode)
            return true;
    }
    return false;
}

// A line that is not an element (a comment, a stray text) has no fields and reads as empty.
PluDetail readPlu(const QDomNode &line)
{
    PluDetail plu;
    plu.PI = fieldText(line, QStringLiteral("PI"));
    plu.PC = fieldText(line, QStringLiteral("PC"));
    plu.BC = fieldText(line, QStringLiteral("BC"));
    plu.PgN = fieldText(line, QStringLiteral("PgN"));
    plu.SeN = fieldText(line, QStringLiteral("SeN"));
    plu.Dep = fieldText(line, QStringLiteral("Dep"));
    plu.DepId = fieldText(line, QStringLiteral("DepId"));
    plu.DepName = fieldText(line, QStringLiteral("DepName"));
    plu.SHP = fieldText(line, QStringLiteral("SHP"));
    plu.ST = fieldText(line, QStringLiteral("ST"));
    plu.YS = fieldText(line, QStringLiteral("YS"));
    plu.YhTotal = fieldText(line, QStringLiteral("YhTotal"));
    plu.SC = fieldText(line, QStringLiteral("SC"));
    plu.PName = fieldText(line, QStringLiteral("PName"));
    plu.PFsPrint = fieldText(line, QStringLiteral("PFsPrint"));
    plu.Price = fieldText(line, QStringLiteral("Price"));
    plu.Unit = fieldText(line, QStringLiteral("Unit"));
    plu.ClsCode = fieldText(line, QStringLiteral("ClsCode"));
    plu.BrandCode = fieldText(line, QStringLiteral("BrandCode"));
    return plu;
}

TranPayDetail readXmlPay(const QDomNode &entry)
{
    TranPayDetail pay;
    pay.payCode = fieldText(entry, QStringLiteral("PAYCODE"));
    pay.payTotal = fieldText(entry, QStringLiteral("TOTAL"));
    pay.payNo = fieldText(entry, QStringLiteral("PAYNO"));
    pay.extPayNo = fieldText(entry, QStringLiteral("EXTPAYNO"));
    return pay;
}

QList<TranPayDetail> readXmlPays(const QDomElement &root, const QString &groupName, const QString &entryName)
{
    QList<TranPayDetail> pays;
    const QDomElement group = firstBelow(root, groupName);
    if (group.isNull())
        return pays;
    const QDomNodeList entries = group.elementsByTagName(entryName);
    for (int i = 0; i < entries.count(); ++i)
        pays.append(readXmlPay(entries.at(i)));
    return pays;
}

enum class JsonRead { Object, NotJson, NotObject };

JsonRead readJsonObject(const QString &text, QJsonObject &object)
{
    const QByteArray bytes = text.toUtf8();
    if (JsonGuard::repeatsKey(bytes))
        return JsonRead::NotJson;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError)
        return JsonRead::NotJson;
    if (!document.isObject())
        return JsonRead::NotObject;
    object = document.object();
    return JsonRead::Object;
}

// Amounts arrive as JSON numbers or strings alike and are kept as text. Numbers are written in
// plain decimal notation (never "1e+20") with as many digits as it takes to read back the same
// value; objects, arrays and null have no text.
QString jsonText(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::String:
        return value.toString();
    case QJsonValue::Double: {
        // An integer that fits 64 bits stays one (payment numbers can have 19 digits).
        const QVariant exact = value.toVariant();
        if (exact.userType() == QMetaType::LongLong)
            return QString::number(exact.toLongLong());
        return QString::number(value.toDouble(), 'f', QLocale::FloatingPointShortest);
    }
    case QJsonValue::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    default:
        return QString();
    }
}

TranPayDetail readJsonPay(const QJsonObject &entry)
{
    TranPayDetail pay;
    pay.payCode = jsonText(entry.value(QStringLiteral("code")));
    pay.payNo = jsonText(entry.value(QStringLiteral("payno")));
    pay.payTotal = jsonText(entry.value(QStringLiteral("pay_amt")));
    return pay;
}

DscDetail readDsc(const QJsonObject &entry)
{
    DscDetail dsc;
    dsc.billno = jsonText(entry.value(QStringLiteral("billno")));
    dsc.disMoney = jsonText(entry.value(QStringLiteral("disMoney")));
    dsc.disnum = jsonText(entry.value(QStringLiteral("disnum")));
    dsc.plucode = jsonText(entry.value(QStringLiteral("plucode")));
    dsc.pluid = jsonText(entry.value(QStringLiteral("pluid")));
    dsc.probillno = jsonText(entry.value(QStringLiteral("probillno")));
    dsc.promode = jsonText(entry.value(QStringLiteral("promode")));
    dsc.protype = jsonText(entry.value(QStringLiteral("protype")));
    dsc.rowid = jsonText(entry.value(QStringLiteral("rowid")));
    dsc.serialno = jsonText(entry.value(QStringLiteral("serialno")));
    return dsc;
}

bool readGoodsLines(const QDomElement &goodsRoot, InputRecords &records, QString &message)
{
    const QDomElement plu = firstBelow(goodsRoot, QStringLiteral("Plu"));
    if (plu.isNull()) {
        message = QStringLiteral("输入参数商品信息不存在");
        return false;
    }
    records.pluIndex.clear();
    // Walk siblings rather than childNodes(): the line count can be large.
    for (QDomNode line = plu.firstChild(); !line.isNull(); line = line.nextSibling()) {
        const PluDetail detail = readPlu(line);
        records.pluIndex.insert(detail.PI, detail);
        records.pluDetails.append(detail);
    }
    return true;
}

bool readSalePays(const QString &pay, InputRecords &records, QString &message)
{
    QJsonObject payObject;
    switch (readJsonObject(pay, payObject)) {
    case JsonRead::NotJson:
        message = QObject::tr("p_sTranPayXml参数解析错误");
        return false;
    case JsonRead::NotObject:
        message = QObject::tr("p_sTranPayXml参数解析失败");
        return false;
    case JsonRead::Object:
        break;
    }
    if (!payObject.contains(QStringLiteral("UdpIn1")))
        return true;

    QJsonObject udpIn1;
    switch (readJsonObject(jsonText(payObject.value(QStringLiteral("UdpIn1"))), udpIn1)) {
    case JsonRead::NotJson:
        message = QObject::tr("p_sUdpIn1\u00b7参数解析错误");
        return false;
    case JsonRead::NotObject:
        message = QObject::tr("p_sUdpIn1参数解析失败");
        return false;
    case JsonRead::Object:
        break;
    }
    const QJsonArray pays = udpIn1.value(QStringLiteral("pays")).toArray();
    for (const QJsonValue &entry : pays)
        records.tranPayDetails.append(readJsonPay(entry.toObject()));
    return true;
}

bool readSaleDiscounts(const QString &udp2, InputRecords &records, QString &message)
{
    QJsonObject udp2Object;
    switch (readJsonObject(udp2, udp2Object)) {
    case JsonRead::NotJson:
        message = QObject::tr("p_sTranUdp2Xml参数解析错误");
        return false;
    case JsonRead::NotObject:
        message = QObject::tr("p_sTranUdp2Xml参数解析失败");
        return false;
    case JsonRead::Object:
        break;
    }
    records.dscDetails.clear();
    const QJsonArray dscs = udp2Object.value(QStringLiteral("dscs")).toArray();
    for (const QJsonValue &entry : dscs)
        records.dscDetails.append(readDsc(entry.toObject()));
    return true;
}

} // namespace

bool parseInputDocuments(const QString &header, const QString &goods, const QString &pay, const QString &udp2,
                         InputRecords &records, QString &message)
{
    records.pluDetails.clear();

    {
        const QDomDocument headerDocument = loadDocument(header);
        const QDomElement headerRoot = headerDocument.documentElement();
        readHeader(headerRoot, records.tranMain);
        if (records.tranMain.txn_type == kSale && payMethodAlreadyUsed(headerRoot, records.tranMain.pay_code)) {
            message = QStringLiteral("已存在该支付方式，不允许再次使用！");
            return false;
        }
    }

    const bool isSale = records.tranMain.txn_type == kSale;
    {
        const QDomDocument goodsDocument = loadDocument(goods);
        const QDomElement goodsRoot = goodsDocument.documentElement();
        records.tranMain.XD = fieldText(goodsRoot, QStringLiteral("XD"));
        if (isSale && !readGoodsLines(goodsRoot, records, message))
            return false;
    }

    if (isSale) {
        if (!readSalePays(pay, records, message))
            return false;
        if (!readSaleDiscounts(udp2, records, message))
            return false;
    }

    if (records.tranMain.txn_type == kVoid) {
        const QDomDocument payDocument = loadDocument(pay);
        const QDomElement payRoot = payDocument.documentElement();
        records.payRDetails = readXmlPays(payRoot, QStringLiteral("Pay"), QStringLiteral("PayR"));
        records.payNowRDetails = readXmlPays(payRoot, QStringLiteral("PayNow"), QStringLiteral("PayNowR"));
    }
    return true;
}

} // namespace Records
