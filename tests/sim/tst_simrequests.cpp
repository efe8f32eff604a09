// The simulator's request checks. Every digest below was worked out with md5sum in a shell over
// the base text named in the row, independently of both the simulator and the client.

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include "router.h"

using namespace ScrmSim;

Q_DECLARE_METATYPE(ScrmSim::Api)

namespace {
Request makeRequest(const QString &path, const QByteArray &query, const QString &contentType, const QByteArray &body)
{
    Request request;
    request.path = path;
    request.query = query;
    if (!contentType.isNull())
        request.headers.append(qMakePair(QStringLiteral("Content-Type"), contentType));
    request.body = body;
    return request;
}
}

class tst_SimRequests : public QObject
{
    Q_OBJECT
private slots:
    void queryFormIsChecked_data();
    void queryFormIsChecked();
    void formBodyIsChecked_data();
    void formBodyIsChecked();
    void refusalIsCodeOneWithReason();
    void unknownPathIsNotFound();
    void otherMethodsAreRefused();
};

void tst_SimRequests::queryFormIsChecked_data()
{
    QTest::addColumn<Api>("api");
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("signatureValid");
    QTest::addColumn<bool>("paramsMatch");
    QTest::addColumn<QString>("refusal");

    const QByteArray vipBody = R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0001"})";
    // md5("bizType=0&orgCode=A01&vipInfoId=V0001&key=<key>")
    const QByteArray vipQuery = "sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001";
    const QString json = QStringLiteral("application/json");

    QTest::newRow("member lookup") << Api::VipInfo << vipQuery << json << vipBody << true << true << QString();
    QTest::newRow("json with charset") << Api::VipInfo << vipQuery << QStringLiteral("application/json; charset=UTF-8")
                                       << vipBody << true << true << QString();
    // md5("orgCode=A01&vipCode=会员 1&key=<key>"): the URL carries the UTF-8 percent-encoded
    QTest::newRow("chinese value encoded by the url")
        << Api::CouponList << QByteArray("sign=cf80f0721860deb59b4ef6b64123b43c&orgCode=A01&vipCode=%E4%BC%9A%E5%91%98%201")
        << json << QByteArray(R"({"orgCode":"A01","vipCode":"会员 1","orderGoodsList":[]})") << true << true << QString();
    // md5("bizType=0&vipInfoId=V0001&key=<key>")
    QTest::newRow("empty value left out")
        << Api::VipInfo << QByteArray("sign=c501a0a163aca9ad34c8ede7f0e09dfd&bizType=0&vipInfoId=V0001")
        << json << QByteArray(R"({"bizType":"0","orgCode":"","vipInfoId":"V0001"})") << true << true << QString();
    // md5("&key=<key>")
    QTest::newRow("all values empty")
        << Api::CouponSelectList << QByteArray("sign=005c4fbc89872c4b686adc816798095e&")
        << json << QByteArray(R"({"orgCode":"","vipCode":""})") << true << true << QString();
    // md5("orgCode=A&B&vipCode=13800000001&key=<key>"): values travel unescaped in this form
    QTest::newRow("ampersand in a value")
        << Api::CouponList << QByteArray("sign=4a69994006c970ce99fbdb46a3c8995a&orgCode=A&B&vipCode=13800000001")
        << json << QByteArray(R"({"orgCode":"A&B","vipCode":"13800000001"})") << true << true << QString();
    QTest::newRow("one digit wrong")
        << Api::VipInfo << QByteArray("sign=78da762bf64f315097577be1b3681474&bizType=0&orgCode=A01&vipInfoId=V0001")
        << json << vipBody << false << true << QStringLiteral("签名校验失败");
    QTest::newRow("upper-case digest")
        << Api::VipInfo << QByteArray("sign=78DA762BF64F315097577BE1B3681473&bizType=0&orgCode=A01&vipInfoId=V0001")
        << json << vipBody << false << true << QStringLiteral("签名校验失败");
    QTest::newRow("body names another member")
        << Api::VipInfo << vipQuery << json << QByteArray(R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0002"})")
        << true << false << QStringLiteral("签名参数与请求报文不一致");
    QTest::newRow("no sign")
        << Api::VipInfo << QByteArray("bizType=0&orgCode=A01&vipInfoId=V0001") << json << vipBody
        << false << false << QStringLiteral("缺少签名参数sign");
    QTest::newRow("body not json")
        << Api::VipInfo << vipQuery << json << QByteArray("bizType=0") << true << false << QStringLiteral("请求报文不是JSON对象");
    QTest::newRow("form content type")
        << Api::VipInfo << vipQuery << QStringLiteral("application/x-www-form-urlencoded") << vipBody
        << true << true << QStringLiteral("Content-Type错误，应为application/json");
    QTest::newRow("no content type")
        << Api::VipInfo << vipQuery << QString() << vipBody << true << true << QStringLiteral("Content-Type错误，应为application/json");
}

void tst_SimRequests::queryFormIsChecked()
{
    QFETCH(Api, api);
    QFETCH(QByteArray, query);
    QFETCH(QString, contentType);
    QFETCH(QByteArray, body);
    QFETCH(bool, signatureValid);
    QFETCH(bool, paramsMatch);
    QFETCH(QString, refusal);

    const RequestCheck check = checkRequest(api, makeRequest(QString(), query, contentType, body));
    QCOMPARE(check.signatureValid, signatureValid);
    QCOMPARE(check.paramsMatch, paramsMatch);
    QCOMPARE(check.refusal, refusal);
}

void tst_SimRequests::formBodyIsChecked_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("contentType");
    QTest::addColumn<bool>("signatureValid");
    QTest::addColumn<QString>("signedText");
    QTest::addColumn<QString>("refusal");

    const QString form = QStringLiteral("application/x-www-form-urlencoded");
    // md5("actualAmount=50.00&orgCode=A01&vipInfoId=V0001&ywType=0&key=<key>")
    const QByteArray batch = "actualAmount=50.00&orgCode=A01&sign=886c5455f5a1d4679a396e3c69168d7f&vipInfoId=V0001&ywType=0";
    QTest::newRow("consumption fields") << batch << form << true
                                        << QStringLiteral("actualAmount=50.00&orgCode=A01&vipInfoId=V0001&ywType=0") << QString();
    // md5("orgCode=A01&key=<key>"): the empty field is sent but not signed
    QTest::newRow("empty field sent")
        << QByteArray("orgCode=A01&sign=cc396a1eb871e8e097ca5de54de443e2&vipCode=") << form << true
        << QStringLiteral("orgCode=A01") << QString();
    // md5("code=[\"Q&=券\"]&orgCode=A01&key=<key>"): signed over the decoded value
    QTest::newRow("encoded ampersand equals chinese")
        << QByteArray("code=%5B%22Q%26%3D%E5%88%B8%22%5D&orgCode=A01&sign=aec5f8591940d0634b6d676aa6c264af") << form << true
        << QStringLiteral("code=[\"Q&=券\"]&orgCode=A01") << QString();
    // md5("OrgCode=X&aaa=1&key=<key>"): upper case sorts before lower case
    QTest::newRow("upper-case key first")
        << QByteArray("aaa=1&sign=61c2962876c1f2fdb5193ee3405c71d0&OrgCode=X") << form << true
        << QStringLiteral("OrgCode=X&aaa=1") << QString();
    // md5("key=<key>")
    QTest::newRow("only empty fields")
        << QByteArray("orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipInfoId=") << form << true << QString() << QString();
    QTest::newRow("field changed after signing")
        << QByteArray("actualAmount=5.00&orgCode=A01&sign=886c5455f5a1d4679a396e3c69168d7f&vipInfoId=V0001&ywType=0") << form
        << false << QStringLiteral("actualAmount=5.00&orgCode=A01&vipInfoId=V0001&ywType=0") << QStringLiteral("签名校验失败");
    QTest::newRow("no sign field")
        << QByteArray("orgCode=A01") << form << false << QStringLiteral("orgCode=A01") << QStringLiteral("缺少签名参数sign");
    QTest::newRow("json content type")
        << batch << QStringLiteral("application/json") << true
        << QStringLiteral("actualAmount=50.00&orgCode=A01&vipInfoId=V0001&ywType=0")
        << QStringLiteral("Content-Type错误，应为application/x-www-form-urlencoded");
}

void tst_SimRequests::formBodyIsChecked()
{
    QFETCH(QByteArray, body);
    QFETCH(QString, contentType);
    QFETCH(bool, signatureValid);
    QFETCH(QString, signedText);
    QFETCH(QString, refusal);

    const RequestCheck check = checkRequest(Api::BatchConsume, makeRequest(QString(), QByteArray(), contentType, body));
    QCOMPARE(check.signatureValid, signatureValid);
    QCOMPARE(check.signedText, signedText);
    QCOMPARE(check.refusal, refusal);
}

void tst_SimRequests::refusalIsCodeOneWithReason()
{
    Router router;
    const Router::Outcome outcome = router.handle(
        makeRequest(QStringLiteral("/posPortal/offlineCancelCerti"), QByteArray(), QStringLiteral("application/json"), "code=x"),
        QDateTime(QDate(2024, 5, 1), QTime(10, 0)));
    QCOMPARE(outcome.reply.status, 200);
    QCOMPARE(outcome.reply.body, QByteArray(R"({"code":"1","msg":"Content-Type错误，应为application/x-www-form-urlencoded"})"));
    QCOMPARE(outcome.record.value(QStringLiteral("path")).toString(), QStringLiteral("/posPortal/offlineCancelCerti"));
    QCOMPARE(outcome.record.value(QStringLiteral("contentType")).toString(), QStringLiteral("application/json"));
    QCOMPARE(outcome.record.value(QStringLiteral("body")).toString(), QStringLiteral("code=x"));
    QCOMPARE(outcome.record.value(QStringLiteral("signatureValid")).toBool(), false);
    QCOMPARE(outcome.record.value(QStringLiteral("time")).toString(), QStringLiteral("2024-05-01T10:00:00.000"));
    QCOMPARE(outcome.walletChanged, false);
}

void tst_SimRequests::unknownPathIsNotFound()
{
    Router router;
    const Router::Outcome outcome = router.handle(
        makeRequest(QStringLiteral("/posPortal/vipinfo"), QByteArray(), QStringLiteral("application/json"), "{}"),
        QDateTime::currentDateTime());
    QCOMPARE(outcome.reply.status, 404);
    QCOMPARE(outcome.record.value(QStringLiteral("status")).toInt(), 404);
}

void tst_SimRequests::otherMethodsAreRefused()
{
    Router router;
    Request request = makeRequest(QStringLiteral("/posPortal/vipInfo"), QByteArray(), QString(), QByteArray());
    request.method = QStringLiteral("GET");
    QCOMPARE(router.handle(request, QDateTime::currentDateTime()).reply.status, 405);
}

QTEST_GUILESS_MAIN(tst_SimRequests)
#include "tst_simrequests.moc"
