#include <QTest>

#include "gateway/transport.h"

class tst_Transport : public QObject
{
    Q_OBJECT
private slots:
    void timeoutFromConfiguration_data();
    void timeoutFromConfiguration();
    void contentTypeFollowsWholeUrl_data();
    void contentTypeFollowsWholeUrl();
    void networkErrorNamesNumberAndText();
};

void tst_Transport::timeoutFromConfiguration_data()
{
    QTest::addColumn<QString>("configured");
    QTest::addColumn<int>("millis");
    QTest::newRow("missing") << QString() << 20000;
    QTest::newRow("five") << QStringLiteral("5") << 5000;
    QTest::newRow("not a number") << QStringLiteral("abc") << 20000;
    QTest::newRow("zero") << QStringLiteral("0") << 0;
    QTest::newRow("negative uses default") << QStringLiteral("-3") << 20000;
    QTest::newRow("decimal is not an integer") << QStringLiteral("2.5") << 20000;
    QTest::newRow("huge is capped") << QStringLiteral("99999999") << 2147483647;
}

void tst_Transport::timeoutFromConfiguration()
{
    QFETCH(QString, configured);
    QFETCH(int, millis);
    QCOMPARE(Gateway::timeoutMillis(configured), millis);
}

void tst_Transport::contentTypeFollowsWholeUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("contentType");
    const QString form = QStringLiteral("application/x-www-form-urlencoded");
    const QString json = QStringLiteral("application/json");
    QTest::newRow("consume") << QStringLiteral("http://h:1/posPortal/batchConsumeCerti") << form;
    QTest::newRow("cancel") << QStringLiteral("http://h:1/posPortal/offlineCancelCerti") << form;
    QTest::newRow("vip info with query") << QStringLiteral("http://h:1/posPortal/vipInfo?sign=ab&orgCode=A01") << json;
    QTest::newRow("coupon list") << QStringLiteral("http://h:1/posPortal/offlineCertiList?sign=") << json;
    QTest::newRow("base address names it") << QStringLiteral("http://batchConsumeCerti:1/posPortal/vipInfo") << form;
    QTest::newRow("case matters") << QStringLiteral("http://h:1/posPortal/BatchConsumeCerti") << json;
}

void tst_Transport::contentTypeFollowsWholeUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, contentType);
    QCOMPARE(Gateway::contentTypeFor(url), contentType);
}

void tst_Transport::networkErrorNamesNumberAndText()
{
    QCOMPARE(Gateway::networkErrorMessage(203, QStringLiteral("Not Found")),
             QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:203 Not Found"));
    QCOMPARE(Gateway::timeoutMessage(), QStringLiteral("请求超时，请再次尝试或联系管理员处理"));
    QCOMPARE(Gateway::noBaseAddressMessage(), QStringLiteral("未配置接口地址！"));
}

QTEST_GUILESS_MAIN(tst_Transport)
#include "tst_transport.moc"
