// The simulator refuses badly signed requests as the server does, so runs through it prove the till's signatures.
#include <QTest>

#include "router.h"

using namespace ScrmSim;

class tst_Sim : public QObject
{
    Q_OBJECT
private slots:
    void badlySignedRequestIsRefused_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("query");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("refusal");
        // md5sum of "bizType=0&orgCode=A01&vipInfoId=V0001&key=<key>"
        const QByteArray lookup = "sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001";
        const QByteArray json = R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0001"})";
        // md5sum of "actualAmount=50.00&orgCode=A01&vipInfoId=V0001&ywType=0&key=<key>"
        const QByteArray consume =
            "actualAmount=50.00&orgCode=A01&sign=886c5455f5a1d4679a396e3c69168d7f&vipInfoId=V0001&ywType=0";
        const QString vip = "/posPortal/vipInfo", batch = "/posPortal/batchConsumeCerti";
        QTest::newRow("lookup signed") << vip << lookup << json << "";
        QTest::newRow("lookup, one digit wrong")
            << vip << QByteArray(lookup).replace("473&", "474&") << json << "签名校验失败";
        QTest::newRow("lookup, body differs")
            << vip << lookup << QByteArray(json).replace("V0001", "V0002") << "签名参数与请求报文不一致";
        QTest::newRow("consumption signed") << batch << QByteArray() << consume << "";
        QTest::newRow("consumption without sign")
            << batch << QByteArray() << QByteArray("orgCode=A01") << "缺少签名参数sign";
    }

    void badlySignedRequestIsRefused()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, body);
        const QString type = query.isEmpty() ? "application/x-www-form-urlencoded" : "application/json";
        QTEST(checkRequest(apiForPath(path), {"POST", path, query, {{"Content-Type", type}}, body}).refusal, "refusal");
    }
};
QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
