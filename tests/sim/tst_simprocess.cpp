// The scrm-sim binary over real HTTP on loopback: what integrators and the end-to-end tests see.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSignalSpy>
#include <QSslError>
#include <QSslSocket>
#include <QTemporaryDir>
#include <QTest>

#include "support/simprocess.h"
#include "support/testsupport.h"

namespace {

struct Answer {
    int error = -1;               // QNetworkReply::NetworkError
    int status = 0;               // HTTP status, 0 without an answer
    QByteArray body;
    QByteArray location;
    int readyReads = 0;
};

Answer post(QNetworkAccessManager &manager, const QString &url, const QByteArray &contentType,
            const QByteArray &body, int transferTimeoutMs = 20000)
{
    QNetworkRequest request{QUrl(url)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, contentType);
    request.setTransferTimeout(transferTimeoutMs);
    QNetworkReply *reply = manager.post(request, body);
    reply->ignoreSslErrors();
    Answer answer;
    QObject::connect(reply, &QNetworkReply::readyRead, reply, [&answer, reply] {
        ++answer.readyReads;
        answer.body += reply->readAll();
    });
    QSignalSpy finished(reply, &QNetworkReply::finished);
    if (!finished.wait(60000))
        return answer;
    if (reply->isOpen())
        answer.body += reply->readAll();
    answer.error = int(reply->error());
    answer.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    answer.location = reply->rawHeader("Location");
    reply->deleteLater();
    return answer;
}

QStringList transportArgs()
{
    return {QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("sim/transport.json"))};
}

QStringList walletArgs()
{
    return {QStringLiteral("--wallet"), QStringLiteral(SAMPLES_DIR "/wallet.json")};
}

const QByteArray json = QByteArrayLiteral("application/json");
const QByteArray form = QByteArrayLiteral("application/x-www-form-urlencoded");

// md5("bizType=0&orgCode=A01&vipInfoId=V0001&key=<key>"), worked out with md5sum.
const QString vipPath = QStringLiteral("/posPortal/vipInfo?sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001");
const QByteArray vipBody = QByteArrayLiteral(R"({"bizType":"0","orgCode":"A01","vipInfoId":"V0001"})");

// Consume Q20240002 for V0001; md5 over "actualAmount=50.00&bizBillNo=B001&certiList=[...]&orgCode=A01
// &saleNo=S001&vipInfoId=V0001&ywType=0&key=<key>" with the certiList text decoded.
const QByteArray consumeBody = QByteArrayLiteral(
    "actualAmount=50.00&bizBillNo=B001&certiList=%5B%7B%22certiCode%22%3A%22Q20240002%22%2C%22conSumeTotal"
    "%22%3A%2210.00%22%2C%22goodList%22%3A%5B%5D%2C%22index%22%3A%22%22%7D%5D&orgCode=A01&saleNo=S001"
    "&sign=fcb52de135cfcbcc1ec85136053145ad&vipInfoId=V0001&ywType=0");
// Give Q20240002 back; md5 over "code=[\"Q20240002\"]&orgCode=A01&origBizBillNo=B001&origSaleNo=S001
// &vipInfoId=V0001&key=<key>".
const QByteArray cancelBody = QByteArrayLiteral(
    "code=%5B%22Q20240002%22%5D&orgCode=A01&origBizBillNo=B001&origSaleNo=S001"
    "&sign=727e7f0fdeed6c301f6c135805b81e5b&vipInfoId=V0001");

}

class tst_SimProcess : public QObject
{
    Q_OBJECT
private slots:
    void printsPortAndStopsCleanly_data();
    void printsPortAndStopsCleanly();
    void refusesBadArguments_data();
    void refusesBadArguments();
    void scenarioReplies_data();
    void scenarioReplies();
    void delayOutlastsShortTimeout_data();
    void delayOutlastsShortTimeout();
    void trickledBodyArrivesInPieces();
    void hugeBodyArrivesWhole();
    void sequenceRepeatsItsLastReply();
    void recordsWhatWasSent();
    void urlEncodedValuesAreSignedDecoded();
    void walletConsumesOnceAndGivesBack();
    void stateFileOutlivesTheProcess();
    void servesHttps();

private:
    QNetworkAccessManager m_manager;
};

void tst_SimProcess::printsPortAndStopsCleanly_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("sample wallet") << walletArgs();
    QTest::newRow("sample void scenario") << QStringList{"--scenario", SAMPLES_DIR "/scenarios/void-ok.json"};
    QTest::newRow("nothing loaded") << QStringList();
}

void tst_SimProcess::printsPortAndStopsCleanly()
{
    QFETCH(QStringList, args);
    SimProcess sim;
    QVERIFY2(sim.start(args), qPrintable(sim.errorString()));
    QVERIFY(sim.port() > 0);
    QCOMPARE(sim.baseUrl(), QStringLiteral("http://127.0.0.1:%1").arg(sim.port()));
    QVERIFY(sim.stop());
    QCOMPARE(sim.process().exitCode(), 0);
}

void tst_SimProcess::refusesBadArguments_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown option") << QStringList{"--colour", "red"};
    QTest::newRow("missing wallet") << QStringList{"--wallet", "/nonexistent/wallet.json"};
    QTest::newRow("cert without key") << QStringList{"--cert", "x.pem"};
    QTest::newRow("bad scenario") << QStringList{"--scenario", TestSupport::fixturePath("sim/wallet-rules.json")};
}

void tst_SimProcess::refusesBadArguments()
{
    QFETCH(QStringList, args);
    SimProcess sim;
    QVERIFY(!sim.start(args));
    QCOMPARE(sim.process().state(), QProcess::NotRunning);
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 2);
    QVERIFY(!sim.errorString().isEmpty());
}

void tst_SimProcess::scenarioReplies_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("body");

    QTest::newRow("ok") << "/t/ok" << int(QNetworkReply::NoError) << 200 << QByteArray(R"({"code":"0","meta":{"data":{}}})");
    QTest::newRow("400") << "/t/400" << int(QNetworkReply::ProtocolInvalidOperationError) << 400 << QByteArray("bad");
    QTest::newRow("404") << "/t/404" << int(QNetworkReply::ContentNotFoundError) << 404 << QByteArray("missing");
    QTest::newRow("500") << "/t/500" << int(QNetworkReply::InternalServerError) << 500 << QByteArray("boom");
    QTest::newRow("302") << "/t/302" << int(QNetworkReply::NoError) << 302 << QByteArray();
    QTest::newRow("dropped") << "/t/drop" << int(QNetworkReply::RemoteHostClosedError) << 0 << QByteArray();
    QTest::newRow("cut in the body") << "/t/cut" << int(QNetworkReply::RemoteHostClosedError) << 200 << QByteArray("01234");
    QTest::newRow("unknown path") << "/t/none" << int(QNetworkReply::ContentNotFoundError) << 404 << QByteArray("Not Found");
    QTest::newRow("api path in scenario") << "/posPortal/vipInfo?sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001"
                                          << int(QNetworkReply::NoError) << 200
                                          << QByteArray(R"({"code":"0","meta":{"data":{"cardNo":"C-FROM-SCENARIO"}}})");
    QTest::newRow("api path badly signed") << "/posPortal/vipInfo?sign=0&bizType=0&orgCode=A01&vipInfoId=V0001"
                                           << int(QNetworkReply::NoError) << 200
                                           << QByteArray(R"({"code":"1","msg":"签名校验失败"})");
}

void tst_SimProcess::scenarioReplies()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    QFETCH(int, status);
    QFETCH(QByteArray, body);

    SimProcess sim;
    QVERIFY2(sim.start(transportArgs()), qPrintable(sim.errorString()));
    const Answer answer = post(m_manager, sim.baseUrl() + path, json, vipBody);
    QCOMPARE(answer.error, error);
    QCOMPARE(answer.status, status);
    QCOMPARE(answer.body, body);
    if (status == 302)
        QCOMPARE(answer.location, QByteArray("http://127.0.0.1:9/elsewhere"));
}

void tst_SimProcess::delayOutlastsShortTimeout_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("error");
    QTest::newRow("prompt") << "/t/ok" << int(QNetworkReply::NoError);
    QTest::newRow("delayed 3 s") << "/t/delay" << int(QNetworkReply::OperationCanceledError);
}

void tst_SimProcess::delayOutlastsShortTimeout()
{
    QFETCH(QString, path);
    QFETCH(int, error);
    SimProcess sim;
    QVERIFY2(sim.start(transportArgs()), qPrintable(sim.errorString()));
    QCOMPARE(post(m_manager, sim.baseUrl() + path, json, "{}", 1000).error, error);
}

void tst_SimProcess::trickledBodyArrivesInPieces()
{
    SimProcess sim;
    QVERIFY2(sim.start(transportArgs()), qPrintable(sim.errorString()));
    const Answer answer = post(m_manager, sim.baseUrl() + "/t/trickle", json, "{}");
    QCOMPARE(answer.error, int(QNetworkReply::NoError));
    QCOMPARE(answer.body, QByteArray("0123456789"));
    QVERIFY2(answer.readyReads >= 2, qPrintable(QString::number(answer.readyReads)));
}

void tst_SimProcess::hugeBodyArrivesWhole()
{
    SimProcess sim;
    QVERIFY2(sim.start(transportArgs()), qPrintable(sim.errorString()));
    const Answer answer = post(m_manager, sim.baseUrl() + "/t/huge", json, "{}");
    QCOMPARE(answer.error, int(QNetworkReply::NoError));
    QCOMPARE(answer.body.size(), 52428800);
    QCOMPARE(answer.body.left(10), QByteArray("abcdefghab"));
    QCOMPARE(answer.body.right(3), QByteArray("fgh"));
}

void tst_SimProcess::sequenceRepeatsItsLastReply()
{
    SimProcess sim;
    QVERIFY2(sim.start(transportArgs()), qPrintable(sim.errorString()));
    QByteArrayList bodies;
    for (int i = 0; i < 3; ++i)
        bodies << post(m_manager, sim.baseUrl() + "/t/seq", json, "{}").body;
    QCOMPARE(bodies, (QByteArrayList{"first", "second", "second"}));
}

void tst_SimProcess::recordsWhatWasSent()
{
    SimProcess sim;
    QVERIFY2(sim.start(walletArgs()), qPrintable(sim.errorString()));
    QCOMPARE(post(m_manager, sim.baseUrl() + vipPath, json, vipBody).body,
             QByteArray(R"({"code":"0","meta":{"data":{"cardNo":"13800000001","vipInfoId":"V0001"}},"msg":"成功"})"));
    QCOMPARE(post(m_manager, sim.baseUrl() + "/posPortal/vipInfo?sign=x&bizType=0", json, vipBody).body,
             QByteArray(R"({"code":"1","msg":"签名校验失败"})"));
    QCOMPARE(post(m_manager, sim.baseUrl() + "/posPortal/offlineCancelCerti", json, cancelBody).body,
             QByteArray(R"({"code":"1","msg":"Content-Type错误，应为application/x-www-form-urlencoded"})"));

    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 3);
    QCOMPARE(requests[0]["path"].toString(), QStringLiteral("/posPortal/vipInfo"));
    QCOMPARE(requests[0]["query"].toString(),
             QStringLiteral("sign=78da762bf64f315097577be1b3681473&bizType=0&orgCode=A01&vipInfoId=V0001"));
    QCOMPARE(requests[0]["contentType"].toString(), QStringLiteral("application/json"));
    QCOMPARE(requests[0]["headers"]["Content-Type"].toString(), QStringLiteral("application/json"));
    QCOMPARE(requests[0]["body"].toString(), QString::fromUtf8(vipBody));
    QCOMPARE(requests[0]["signatureValid"].toBool(), true);
    QCOMPARE(requests[0]["method"].toString(), QStringLiteral("POST"));
    QVERIFY(!requests[0]["time"].toString().isEmpty());
    QCOMPARE(requests[1]["signatureValid"].toBool(), false);
    QCOMPARE(requests[2]["signatureValid"].toBool(), true);
    QCOMPARE(requests[2]["fields"]["code"].toString(), QStringLiteral(R"(["Q20240002"])"));
}

void tst_SimProcess::urlEncodedValuesAreSignedDecoded()
{
    SimProcess sim;
    QVERIFY2(sim.start(walletArgs()), qPrintable(sim.errorString()));
    // md5("orgCode=A01&vipCode=会员 1&key=<key>"); QUrl percent-encodes the Chinese and the space.
    const QString url = sim.baseUrl()
        + QStringLiteral("/posPortal/offlineCertiList?sign=cf80f0721860deb59b4ef6b64123b43c&orgCode=A01&vipCode=会员 1");
    QCOMPARE(post(m_manager, url, json, QByteArray(R"({"orgCode":"A01","vipCode":"会员 1"})")).body,
             QByteArray(R"({"code":"1","msg":"会员不存在"})"));
    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests[0]["query"].toString(),
             QStringLiteral("sign=cf80f0721860deb59b4ef6b64123b43c&orgCode=A01&vipCode=%E4%BC%9A%E5%91%98%201"));
    QCOMPARE(requests[0]["signedText"].toString(), QStringLiteral("orgCode=A01&vipCode=会员 1"));
    QCOMPARE(requests[0]["signatureValid"].toBool(), true);
    QCOMPARE(requests[0]["paramsMatch"].toBool(), true);
}

void tst_SimProcess::walletConsumesOnceAndGivesBack()
{
    SimProcess sim;
    QVERIFY2(sim.start(walletArgs()), qPrintable(sim.errorString()));
    const QString consume = sim.baseUrl() + "/posPortal/batchConsumeCerti";
    const QString cancel = sim.baseUrl() + "/posPortal/offlineCancelCerti";
    QCOMPARE(post(m_manager, consume, form, consumeBody).body,
             QByteArray(R"({"code":"0","meta":{"data":{"certiList":[{"certiInfoCode":"Q20240002","consumeAmount":"10.00"}]}},"msg":"核销成功"})"));
    QCOMPARE(post(m_manager, consume, form, consumeBody).body, QByteArray(R"({"code":"1","msg":"券Q20240002已使用"})"));
    QCOMPARE(post(m_manager, cancel, form, cancelBody).body,
             QByteArray(R"({"code":"0","meta":{"data":[{"certiInfoCode":"Q20240002","consumeAmount":"10.00"}]},"msg":"撤销成功"})"));
    QCOMPARE(post(m_manager, cancel, form, cancelBody).body, QByteArray(R"({"code":"1","msg":"券Q20240002未核销，不能撤销"})"));
}

void tst_SimProcess::stateFileOutlivesTheProcess()
{
    QTemporaryDir dir;
    const QString state = dir.filePath("state.json");
    QStringList args = walletArgs();
    args << "--state" << state;
    {
        SimProcess sim;
        QVERIFY2(sim.start(args), qPrintable(sim.errorString()));
        QCOMPARE(post(m_manager, sim.baseUrl() + "/posPortal/batchConsumeCerti", form, consumeBody).body.left(12),
                 QByteArray(R"({"code":"0",)"));
    }
    SimProcess again;
    QVERIFY2(again.start(args), qPrintable(again.errorString()));
    QCOMPARE(post(m_manager, again.baseUrl() + "/posPortal/batchConsumeCerti", form, consumeBody).body,
             QByteArray(R"({"code":"1","msg":"券Q20240002已使用"})"));
}

void tst_SimProcess::servesHttps()
{
    if (!QSslSocket::supportsSsl())
        QSKIP("Qt has no TLS backend here");
    SimProcess sim;
    QStringList args = walletArgs();
    args << "--cert" << TestSupport::fixturePath("sim/tls/cert.pem") << "--key" << TestSupport::fixturePath("sim/tls/key.pem");
    QVERIFY2(sim.start(args), qPrintable(sim.errorString()));
    const QString url = QStringLiteral("https://127.0.0.1:%1").arg(sim.port()) + vipPath;
    const Answer answer = post(m_manager, url, json, vipBody);
    QCOMPARE(answer.error, int(QNetworkReply::NoError));
    QCOMPARE(answer.body, QByteArray(R"({"code":"0","meta":{"data":{"cardNo":"13800000001","vipInfoId":"V0001"}},"msg":"成功"})"));
}

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_simprocess.moc"
