// Inputs the fuzz targets (fuzz/) turned up, kept so their outcome stays fixed. Replies that
// repeat a key are what the server fuzzing produced most: Qt's parser keeps the last value
// (and leaks the first when it is an object or an array, see scripts/lsan.supp).

#include <QtTest>

#include "gateway/replies.h"
#include "gateway/signing.h"

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT
private slots:
    void couponListWithRepeatedKeys_data();
    void couponListWithRepeatedKeys();
    void cancelWithRepeatedData();
    void nothingToSignDiffersBetweenForms();
};

void tst_FuzzRegressions::couponListWithRepeatedKeys_data()
{
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("error");
    QTest::addColumn<int>("coupons");
    QTest::addColumn<int>("couponGoods");
    QTest::addColumn<int>("goods");
    QTest::addColumn<int>("pays");

    // The later "goodsList" wins; its only line rounds to "-0.00" and carries no share, so no
    // "YHQ" line follows either.
    QTest::newRow("repeated goods list")
        << QStringLiteral(R"({"code":0,"meta":{"data":{"certiList":[{"certiInf":[],)"
                          R"("goodsList":[{"index":"1","apportionAmount":"0.00"}]}],"payList":[],)"
                          R"("goodsList":[{"index":"1","apportionAmount":"0.50"}],)"
                          R"("goodsList":[{"index":"2","apportionAmount":"-0.001"}]}}})")
        << true << QString() << 1 << 1 << 0 << 0;
    QTest::newRow("repeated goods list, share last")
        << QStringLiteral(R"({"code":"0","meta":{"data":{"certiList":[],)"
                          R"("goodsList":[{"apportionAmount":"0"}],"goodsList":[{"apportionAmount":"0.5"}]}}})")
        << true << QString() << 0 << 0 << 1 << 1;
    QTest::newRow("certi list object then array")
        << QStringLiteral(R"({"code":"0","meta":{"data":{"certiList":{"x":[1]},"certiList":[{"certiInfoCode":"Q1"}]}}})")
        << true << QString() << 1 << 0 << 0 << 0;
    QTest::newRow("repeated meta, array last")
        << QStringLiteral(R"({"code":"0","meta":{"data":{"certiList":[]}},"meta":{"data":[]}})")
        << false << QStringLiteral("解析会员名下券接口返回，缺少节点certiList") << 0 << 0 << 0 << 0;
    QTest::newRow("refusal overridden")
        << QStringLiteral(R"({"code":"1","msg":"券已使用","code":"0"})")
        << false << QStringLiteral("解析会员名下券接口返回，缺少节点meta") << 0 << 0 << 0 << 0;
    QTest::newRow("acceptance overridden")
        << QStringLiteral(R"({"code":"0","meta":{"data":{"certiList":[]}},"code":1,"msg":{"m":[]},"msg":"已停用"})")
        << false << QStringLiteral("已停用") << 0 << 0 << 0 << 0;
}

void tst_FuzzRegressions::couponListWithRepeatedKeys()
{
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    QFETCH(QString, error);
    QFETCH(int, coupons);
    QFETCH(int, couponGoods);
    QFETCH(int, goods);
    QFETCH(int, pays);

    const Gateway::CouponListReply parsed = Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, reply, QStringLiteral("1"));
    QCOMPARE(parsed.ok, ok);
    QCOMPARE(parsed.message, error);
    QCOMPARE(parsed.coupons.size(), coupons);
    QCOMPARE(parsed.coupons.isEmpty() ? 0 : parsed.coupons.first().goodsList.size(), couponGoods);
    QCOMPARE(parsed.goods.size(), goods);
    QCOMPARE(parsed.pays.size(), pays);
}

void tst_FuzzRegressions::cancelWithRepeatedData()
{
    const Gateway::CancelReply parsed = Gateway::parseCancelReply(QStringLiteral(
        R"({"code":"0","meta":{"data":[{"certiInfoCode":"A","consumeAmount":1}],)"
        R"("data":[{"certiInfoCode":"B","consumeAmount":"2.50"}]}})"));
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QCOMPARE(parsed.cancelled.size(), 1);
    QCOMPARE(parsed.cancelled.first().certiInfoCode, QStringLiteral("B"));
    QCOMPARE(parsed.cancelled.first().realCertiMe, QStringLiteral("2.50"));
}

// With no non-empty value the query form still puts "&" before the key and the form body does
// not, so the two signatures differ: a fuzz check that assumed them equal was wrong, not the code.
void tst_FuzzRegressions::nothingToSignDiffersBetweenForms()
{
    const Gateway::ParamSet params{{QStringLiteral("orgCode"), QString()}, {QStringLiteral("vipCode"), QString()}};

    const Gateway::QuerySignature query = Gateway::signQuery(params);
    QCOMPARE(query.paramText, QString());
    QCOMPARE(query.signature, QStringLiteral("005c4fbc89872c4b686adc816798095e"));

    const Gateway::SignedFormBody form = Gateway::signFormBody(params);
    QCOMPARE(form.signature, QStringLiteral("672a98bc3fdb351b32ec764d2a7fa02d"));
    QCOMPARE(form.body, QStringLiteral("orgCode=&sign=672a98bc3fdb351b32ec764d2a7fa02d&vipCode="));
}

QTEST_GUILESS_MAIN(tst_FuzzRegressions)
#include "tst_fuzzregressions.moc"
