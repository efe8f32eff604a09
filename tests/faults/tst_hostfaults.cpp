// Server faults as the host meets them: the sample host loads the library in its own process,
// the simulator misbehaves, and the host gets "111111" with the cashier's message.
#include <QTest>

#include "faults/faultcases.h"
#include "support/simprocess.h"
#include "support/tillfolder.h"

class tst_HostFaults : public QObject
{
    Q_OBJECT
private slots:
    void hostGetsFailure_data();
    void hostGetsFailure();
};

namespace {
const QString kSamples = QStringLiteral(SAMPLES_DIR);
const QString kNetworkError = QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:");

QStringList documents(const QString &kind)
{
    const QString pay = kind == QLatin1String("void") ? QStringLiteral("/pay.xml") : QStringLiteral("/pay.json");
    const QString folder = kSamples + QLatin1Char('/') + kind;
    return {folder + QStringLiteral("/header.xml"), folder + QStringLiteral("/goods.xml"), folder + pay,
            folder + QStringLiteral("/udp2.json")};
}
}

void tst_HostFaults::hostGetsFailure_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");    // "%SIM%" stands for http://127.0.0.1:<port>
    QTest::addColumn<int>("requests");

    QTest::newRow("sale, nobody listening") << QStringLiteral("sale") << QStringLiteral("refused")
                                            << kNetworkError + QStringLiteral("1 Connection refused") << 0;
    QTest::newRow("sale, no answer") << QStringLiteral("sale") << QStringLiteral("no-answer")
                                     << QStringLiteral("请求超时，请再次尝试或联系管理员处理") << 1;
    QTest::newRow("sale, not json") << QStringLiteral("sale") << QStringLiteral("not-json")
                                    << QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常") << 1;
    QTest::newRow("sale, fifty megabytes") << QStringLiteral("sale") << QStringLiteral("huge")
                                           << kNetworkError + QStringLiteral("5 应答超过 16 MB，已中止接收") << 1;
    QTest::newRow("cancel, server error") << QStringLiteral("cancel") << QStringLiteral("http500")
        << QStringLiteral("线下交易券撤销接口失败") + kNetworkError
               + QStringLiteral("401 Error transferring %SIM%/posPortal/offlineCancelCerti - server replied: Internal Server Error")
        << 1;
    QTest::newRow("cancel, closed before answering") << QStringLiteral("cancel") << QStringLiteral("drop")
        << QStringLiteral("线下交易券撤销接口失败") + kNetworkError + QStringLiteral("2 Connection closed") << 1;
    QTest::newRow("void, bad request") << QStringLiteral("void") << QStringLiteral("http400")
        << QStringLiteral("线下交易券撤销接口失败") + kNetworkError
               + QStringLiteral("302 Error transferring %SIM%/posPortal/offlineCancelCerti - server replied: Bad Request")
        << 1;
    QTest::newRow("void, answered too late") << QStringLiteral("void") << QStringLiteral("late")
        << QStringLiteral("线下交易券撤销接口失败请求超时，请再次尝试或联系管理员处理") << 1;
}

void tst_HostFaults::hostGetsFailure()
{
    QFETCH(QString, kind);
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(int, requests);

    SimProcess sim;
    if (fault == QLatin1String("refused")) {
        QVERIFY(sim.start());
        QVERIFY(sim.stop());
    } else {
        QVERIFY2(sim.start({QStringLiteral("--scenario"), FaultCases::scenarioPath(fault)}), qPrintable(sim.errorString()));
    }
    message.replace(QStringLiteral("%SIM%"), sim.baseUrl());
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(sim.baseUrl(), 1);

    const TillFolder::HostRun run = till.runHost(documents(kind));
    QVERIFY2(run.finished, qPrintable(run.output));
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.params.value(5), QByteArray("111111"));
    QCOMPARE(QString::fromUtf8(run.params.value(6)), message);
    for (int p = 7; p <= 12; ++p)
        QVERIFY(!run.params.contains(p));
    if (fault != QLatin1String("refused"))
        QCOMPARE(sim.requests().size(), requests);

    const QString log = till.logText();
    QVERIFY(log.contains(QStringLiteral("位置：请求地址\n内容：") + sim.baseUrl()));
    QVERIFY(log.contains(QStringLiteral("位置：传出参数，交易失败\n内容：") + message));
}

QTEST_GUILESS_MAIN(tst_HostFaults)
#include "tst_hostfaults.moc"
