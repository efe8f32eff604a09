// The simulator refuses a badly signed request the way the server does, so the runs through it (tests/e2e, where its
// wallet rules show too) prove the till's signatures. Digests were worked out with md5sum, independently of both the
// simulator and the client.
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
        // md5("bizType=0&orgCode=A01&vipInfoId=V0001&key=<key>")
        const QByteArray lookup = "sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001";
        const QByteArray vipBody = R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0001"})";
        // md5("actualAmount=50.00&orgCode=A01&vipInfoId=V0001&ywType=0&key=<key>")
        const QByteArray consume =
            "actualAmount=50.00&orgCode=A01&sign=886c5455f5a1d4679a396e3c69168d7f&vipInfoId=V0001&ywType=0";
        QTest::newRow("lookup signed") << "/posPortal/vipInfo" << lookup << vipBody << "";
        QTest::newRow("lookup, one digit wrong")
            << "/posPortal/vipInfo" << QByteArray(lookup).replace("473&", "474&") << vipBody << "签名校验失败";
        QTest::newRow("lookup, body names another member")
            << "/posPortal/vipInfo" << lookup << QByteArray(vipBody).replace("V0001", "V0002")
            << "签名参数与请求报文不一致";
        QTest::newRow("consumption signed") << "/posPortal/batchConsumeCerti" << QByteArray() << consume << "";
        QTest::newRow("consumption changed after signing")
            << "/posPortal/batchConsumeCerti" << QByteArray() << QByteArray(consume).replace("50.00", "5.00")
            << "签名校验失败";
        QTest::newRow("consumption without sign")
            << "/posPortal/batchConsumeCerti" << QByteArray() << QByteArray("orgCode=A01") << "缺少签名参数sign";
    }

    void badlySignedRequestIsRefused()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, query);
        QFETCH(QByteArray, body);
        const QString type = query.isEmpty() ? "application/x-www-form-urlencoded" : "application/json";
        const Request request {"POST", path, query, {{"Content-Type", type}}, body};
        QTEST(checkRequest(apiForPath(path), request).refusal, "refusal");
    }
};
QTEST_GUILESS_MAIN(tst_Sim)
#include "tst_sim.moc"
