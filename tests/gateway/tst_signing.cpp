#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>
#include <QtTest>

#include "gateway/signing.h"

using Gateway::ParamSet;

namespace {
// Spelled out here rather than taken from signingKey(), so a changed key shows up as a failure.
const QString key = QStringLiteral("#%7315^QwerzP&!%XK482067~$91LHRtmbowkqpX8");
}

class tst_Signing : public QObject
{
    Q_OBJECT
private slots:
    void keyIsTheSharedOne();
    void md5IsLowerCaseHex_data();
    void md5IsLowerCaseHex();
    void queryFormSignsNonEmptyValuesUnencoded_data();
    void queryFormSignsNonEmptyValuesUnencoded();
    void formBodySendsEveryFieldEncoded_data();
    void formBodySendsEveryFieldEncoded();
    void bothFormsShareTheSignature();
    void percentEncodingKeepsOnlyUnreserved_data();
    void percentEncodingKeepsOnlyUnreserved();
    void jsonIsCompactInKeyOrder_data();
    void jsonIsCompactInKeyOrder();
    void jsonArrayIsCompact_data();
    void jsonArrayIsCompact();
};

void tst_Signing::keyIsTheSharedOne()
{
    QCOMPARE(Gateway::signingKey(), key);
    QCOMPARE(Gateway::signingKey().size(), 41);
}

void tst_Signing::md5IsLowerCaseHex_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("digest");
    QTest::newRow("empty") << QString() << QStringLiteral("d41d8cd98f00b204e9800998ecf8427e");
    QTest::newRow("abc") << QStringLiteral("abc") << QStringLiteral("900150983cd24fb0d6963f7d28e17f72");
    // UTF-8 bytes e4 bc 9a e5 91 98, not UTF-16 or GBK.
    QTest::newRow("chinese") << QStringLiteral("会员") << QStringLiteral("4d9dd5e4987503f3e84976a233398d5a");
}

void tst_Signing::md5IsLowerCaseHex()
{
    QFETCH(QString, text);
    QFETCH(QString, digest);
    QCOMPARE(Gateway::md5Hex(text), digest);
}

void tst_Signing::queryFormSignsNonEmptyValuesUnencoded_data()
{
    QTest::addColumn<ParamSet>("params");
    QTest::addColumn<QString>("paramText");
    QTest::addColumn<QString>("baseText");
    QTest::addColumn<QString>("signature");

    QTest::newRow("empty vip code left out")
        << ParamSet{{"orgCode", "A01"}, {"vipCode", ""}}
        << QStringLiteral("orgCode=A01") << QStringLiteral("orgCode=A01&key=") + key
        << QStringLiteral("cc396a1eb871e8e097ca5de54de443e2");
    QTest::newRow("all values empty")
        << ParamSet{{"orgCode", ""}, {"vipCode", ""}}
        << QString() << QStringLiteral("&key=") + key
        << QStringLiteral("005c4fbc89872c4b686adc816798095e");
    QTest::newRow("no parameters")
        << ParamSet{}
        << QString() << QStringLiteral("&key=") + key
        << QStringLiteral("005c4fbc89872c4b686adc816798095e");
    QTest::newRow("special characters unescaped")
        << ParamSet{{"vipCode", "x=y"}, {"orgCode", "A&B"}, {"name", "会员"}}
        << QStringLiteral("name=会员&orgCode=A&B&vipCode=x=y")
        << QStringLiteral("name=会员&orgCode=A&B&vipCode=x=y&key=") + key
        << QStringLiteral("e860203d951dc98636875092148aeb4f");
    QTest::newRow("upper-case key first")
        << ParamSet{{"vipInfoId", "9"}, {"bizType", "0"}, {"OrgCode", "A01"}}
        << QStringLiteral("OrgCode=A01&bizType=0&vipInfoId=9")
        << QStringLiteral("OrgCode=A01&bizType=0&vipInfoId=9&key=") + key
        << QStringLiteral("5ece5efa333c8cc7bb92e661bfa5653b");
    QTest::newRow("member lookup without org")
        << ParamSet{{"bizType", "0"}, {"orgCode", ""}, {"vipInfoId", "V9"}}
        << QStringLiteral("bizType=0&vipInfoId=V9")
        << QStringLiteral("bizType=0&vipInfoId=V9&key=") + key
        << QStringLiteral("3a7ce66c0dbf543a32f42b702612c0e4");
}

void tst_Signing::queryFormSignsNonEmptyValuesUnencoded()
{
    QFETCH(ParamSet, params);
    QFETCH(QString, paramText);
    QFETCH(QString, baseText);
    QFETCH(QString, signature);
    const Gateway::QuerySignature signedQuery = Gateway::signQuery(params);
    QCOMPARE(signedQuery.paramText, paramText);
    QCOMPARE(signedQuery.baseText, baseText);
    QCOMPARE(signedQuery.signature, signature);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(signedQuery.signature).hasMatch());
}

void tst_Signing::formBodySendsEveryFieldEncoded_data()
{
    QTest::addColumn<ParamSet>("params");
    QTest::addColumn<QString>("baseText");
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("plainBody");

    QTest::newRow("empty vip code still sent after sign")
        << ParamSet{{"orgCode", "A01"}, {"vipCode", ""}}
        << QStringLiteral("orgCode=A01&key=") + key
        << QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=")
        << QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=");
    QTest::newRow("sign last")
        << ParamSet{{"orgCode", "A01"}}
        << QStringLiteral("orgCode=A01&key=") + key
        << QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2")
        << QStringLiteral("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2");
    QTest::newRow("all values empty")
        << ParamSet{{"orgCode", ""}, {"vipCode", ""}}
        << QStringLiteral("key=") + key
        << QStringLiteral("orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipCode=")
        << QStringLiteral("orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipCode=");
    QTest::newRow("no parameters")
        << ParamSet{}
        << QStringLiteral("key=") + key
        << QStringLiteral("sign=672a98bc3fdb351b32ec764d2a7fa02d")
        << QStringLiteral("sign=672a98bc3fdb351b32ec764d2a7fa02d");
    QTest::newRow("ampersand equals chinese")
        << ParamSet{{"vipCode", "x=y"}, {"orgCode", "A&B"}, {"name", "会员"}}
        << QStringLiteral("name=会员&orgCode=A&B&vipCode=x=y&key=") + key
        << QStringLiteral("name=%E4%BC%9A%E5%91%98&orgCode=A%26B&sign=e860203d951dc98636875092148aeb4f&vipCode=x%3Dy")
        << QStringLiteral("name=会员&orgCode=A&B&sign=e860203d951dc98636875092148aeb4f&vipCode=x=y");
    QTest::newRow("upper-case key first")
        << ParamSet{{"vipInfoId", "9"}, {"bizType", "0"}, {"OrgCode", "A01"}}
        << QStringLiteral("OrgCode=A01&bizType=0&vipInfoId=9&key=") + key
        << QStringLiteral("OrgCode=A01&bizType=0&sign=5ece5efa333c8cc7bb92e661bfa5653b&vipInfoId=9")
        << QStringLiteral("OrgCode=A01&bizType=0&sign=5ece5efa333c8cc7bb92e661bfa5653b&vipInfoId=9");
}

void tst_Signing::formBodySendsEveryFieldEncoded()
{
    QFETCH(ParamSet, params);
    QFETCH(QString, baseText);
    QFETCH(QString, body);
    QFETCH(QString, plainBody);
    const Gateway::SignedFormBody signedBody = Gateway::signFormBody(params);
    QCOMPARE(signedBody.baseText, baseText);
    QCOMPARE(signedBody.body, body);
    QCOMPARE(signedBody.plainBody, plainBody);
    QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{32}$")).match(signedBody.signature).hasMatch());
    QVERIFY(signedBody.body.contains(QStringLiteral("sign=") + signedBody.signature));
}

void tst_Signing::bothFormsShareTheSignature()
{
    const ParamSet params{{"orgCode", "A&B"}, {"vipCode", ""}, {"saleNo", "S 1"}};
    const Gateway::QuerySignature query = Gateway::signQuery(params);
    const Gateway::SignedFormBody form = Gateway::signFormBody(params);
    QCOMPARE(query.signature, QStringLiteral("7cbf15785e35a585f8b93883c721019f"));
    QCOMPARE(form.baseText, query.baseText);
    QCOMPARE(form.signature, query.signature);
    QCOMPARE(form.body, QStringLiteral("orgCode=A%26B&saleNo=S%201&sign=") + query.signature
                            + QStringLiteral("&vipCode="));
}

void tst_Signing::percentEncodingKeepsOnlyUnreserved_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QByteArray>("encoded");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("unreserved") << QStringLiteral("Az09-._~") << QByteArrayLiteral("Az09-._~");
    QTest::newRow("ampersand") << QStringLiteral("a&b") << QByteArrayLiteral("a%26b");
    QTest::newRow("equals") << QStringLiteral("a=b") << QByteArrayLiteral("a%3Db");
    QTest::newRow("space plus slash") << QStringLiteral(" +/") << QByteArrayLiteral("%20%2B%2F");
    QTest::newRow("percent") << QStringLiteral("100%") << QByteArrayLiteral("100%25");
    QTest::newRow("json") << QStringLiteral("[\"A\"]") << QByteArrayLiteral("%5B%22A%22%5D");
    QTest::newRow("chinese") << QStringLiteral("会员") << QByteArrayLiteral("%E4%BC%9A%E5%91%98");
}

void tst_Signing::percentEncodingKeepsOnlyUnreserved()
{
    QFETCH(QString, value);
    QFETCH(QByteArray, encoded);
    QCOMPARE(Gateway::percentEncode(value), encoded);
}

void tst_Signing::jsonIsCompactInKeyOrder_data()
{
    QTest::addColumn<QJsonObject>("object");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QJsonObject() << QStringLiteral("{}");
    QTest::newRow("key order")
        << QJsonObject{{"b", 1}, {"a", "x"}, {"B", true}}
        << QStringLiteral("{\"B\":true,\"a\":\"x\",\"b\":1}");
    QTest::newRow("nested")
        << QJsonObject{{"list", QJsonArray{QJsonObject{{"z", ""}, {"y", "1"}}}}, {"code", ""}}
        << QStringLiteral("{\"code\":\"\",\"list\":[{\"y\":\"1\",\"z\":\"\"}]}");
    QTest::newRow("chinese stays text")
        << QJsonObject{{"name", "会员券"}}
        << QStringLiteral("{\"name\":\"会员券\"}");
    QTest::newRow("nul escaped not cut")
        << QJsonObject{{"a", QString::fromLatin1("x\0y", 3)}}
        << QStringLiteral("{\"a\":\"x\\u0000y\"}");
}

void tst_Signing::jsonIsCompactInKeyOrder()
{
    QFETCH(QJsonObject, object);
    QFETCH(QString, text);
    QCOMPARE(Gateway::jsonToString(object), text);
}

void tst_Signing::jsonArrayIsCompact_data()
{
    QTest::addColumn<QJsonArray>("array");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QJsonArray() << QStringLiteral("[]");
    QTest::newRow("strings") << QJsonArray{"A", "", "会员"} << QStringLiteral("[\"A\",\"\",\"会员\"]");
    QTest::newRow("objects")
        << QJsonArray{QJsonObject{{"k", "v"}}, QJsonObject()}
        << QStringLiteral("[{\"k\":\"v\"},{}]");
}

void tst_Signing::jsonArrayIsCompact()
{
    QFETCH(QJsonArray, array);
    QFETCH(QString, text);
    QCOMPARE(Gateway::jsonToString(array), text);
}

QTEST_GUILESS_MAIN(tst_Signing)
#include "tst_signing.moc"
