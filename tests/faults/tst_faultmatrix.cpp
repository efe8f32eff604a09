// Every server operation against every way a server or network can fail: the operation ends with
// its own message for the cashier, the request reached the server at most once, and the log
// says what happened.
#include <memory>

#include <QTest>

#include "faults/faultcases.h"
#include "support/appfolder.h"
#include "support/simprocess.h"

using FaultCases::Api;

class tst_FaultMatrix : public QObject
{
    Q_OBJECT
private slots:
    void cleanupTestCase();
    void operationEndsWithItsMessage_data();
    void operationEndsWithItsMessage();

private:
    SimProcess *simFor(const QString &fault);

    std::unique_ptr<SimProcess> m_sim;
    QString m_simFault;
};

namespace {
const QString kNetworkError = QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:");
const QString kTimeout = QStringLiteral("请求超时，请再次尝试或联系管理员处理");

// What the transport reports for a fault, as the start and end of its text; an empty start means
// a reply was received and the operation judged it.
struct TransportText
{
    QString start;
    QString end;
};

TransportText transportText(const QString &fault)
{
    const QString transferring = QStringLiteral("Error transferring http://127.0.0.1:");
    if (fault == QLatin1String("refused"))
        return {kNetworkError + QStringLiteral("1 Connection refused"), QStringLiteral("1 Connection refused")};
    if (fault == QLatin1String("no-answer") || fault == QLatin1String("late") || fault == QLatin1String("trickle-past-timeout"))
        return {kTimeout, kTimeout};
    if (fault == QLatin1String("huge"))
        return {kNetworkError + QStringLiteral("5 应答超过 16 MB，已中止接收"), QStringLiteral("5 应答超过 16 MB，已中止接收")};
    if (fault == QLatin1String("drop") || fault == QLatin1String("cut"))
        return {kNetworkError + QStringLiteral("2 Connection closed"), QStringLiteral("2 Connection closed")};
    if (fault == QLatin1String("http400"))
        return {kNetworkError + QStringLiteral("302 ") + transferring, QStringLiteral(" - server replied: Bad Request")};
    if (fault == QLatin1String("http404"))
        return {kNetworkError + QStringLiteral("203 ") + transferring, QStringLiteral(" - server replied: Not Found")};
    if (fault == QLatin1String("http500"))
        return {kNetworkError + QStringLiteral("401 ") + transferring,
                QStringLiteral(" - server replied: Internal Server Error")};
    return {};
}

// The operation's message: start and end, equal when the whole text is fixed.
struct Expected
{
    QString start;
    QString end;
};

Expected expectedMessage(Api api, const QString &fault)
{
    const TransportText transport = transportText(fault);
    const bool refusedSlowly = fault == QLatin1String("trickle");
    if (!transport.start.isEmpty()) {
        switch (api) {
        case Api::MemberLookup:
            return {QStringLiteral("会员查询接口失败"), QStringLiteral("会员查询接口失败")};
        case Api::Cancellation:
            return {QStringLiteral("线下交易券撤销接口失败") + transport.start, transport.end};
        default:
            return {transport.start, transport.end};
        }
    }
    QString whole;
    switch (api) {
    case Api::MemberLookup:
        whole = refusedSlowly ? QStringLiteral("会员查询接口失败，slow")
                              : QStringLiteral("会员查询接口异常，请检查接口配置是否正确或网络是否正常");
        break;
    case Api::CouponList:
    case Api::CouponSelection:
        whole = refusedSlowly ? QStringLiteral("slow") : QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常");
        break;
    case Api::BatchConsume:
        whole = refusedSlowly ? QStringLiteral("批量券核销接口返回失败slow")
                              : QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常");
        break;
    case Api::Cancellation:
        whole = refusedSlowly ? QStringLiteral("线下交易券撤销接口失败，slow")
                              : QStringLiteral("线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常");
        break;
    }
    return {whole, whole};
}
}

SimProcess *tst_FaultMatrix::simFor(const QString &fault)
{
    if (m_sim && m_simFault == fault)
        return m_sim.get();
    m_sim.reset(new SimProcess);
    m_simFault = fault;
    if (fault == QLatin1String("refused")) {
        // A port that was just free: nothing answers there.
        if (!m_sim->start() || !m_sim->stop())
            return nullptr;
        return m_sim.get();
    }
    if (!m_sim->start({QStringLiteral("--scenario"), FaultCases::scenarioPath(fault)}))
        return nullptr;
    return m_sim.get();
}

void tst_FaultMatrix::cleanupTestCase()
{
    m_sim.reset();
}

void tst_FaultMatrix::operationEndsWithItsMessage_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<Api>("api");
    QTest::addColumn<QString>("messageStart");
    QTest::addColumn<QString>("messageEnd");
    // Rows run fault by fault, so one simulator serves the five operations of a fault.
    for (const QString &fault : FaultCases::faults()) {
        for (Api api : FaultCases::apis()) {
            const Expected expected = expectedMessage(api, fault);
            QTest::addRow("%s %s", qPrintable(fault), qPrintable(FaultCases::apiName(api)))
                << fault << api << expected.start << expected.end;
        }
    }
}

void tst_FaultMatrix::operationEndsWithItsMessage()
{
    QFETCH(QString, fault);
    QFETCH(Api, api);
    QFETCH(QString, messageStart);
    QFETCH(QString, messageEnd);

    SimProcess *sim = simFor(fault);
    QVERIFY(sim);
    const int before = fault == QLatin1String("refused") ? 0 : sim->requests().size();
    AppFolder app;
    app.writeGen6(sim->baseUrl(), 1);

    VipCouponCPU cpu;
    FaultCases::fillSale(cpu);
    QString message;
    QVERIFY(!FaultCases::call(cpu, api, message));
    if (messageStart == messageEnd)
        QCOMPARE(message, messageStart);
    QVERIFY2(message.startsWith(messageStart) && message.endsWith(messageEnd), qPrintable(message));
    QVERIFY(!cpu.m_WaitThread.isRunning());

    if (fault != QLatin1String("refused"))
        QCOMPARE(sim->requests().size(), before + 1);

    // Support reads the transport's own line whatever the operation made of it.
    const QString log = app.logText();
    const TransportText transport = transportText(fault);
    if (!transport.start.isEmpty()) {
        QVERIFY(log.contains(QStringLiteral("位置：调用失败\n内容：") + transport.start));
    } else {
        QVERIFY(log.contains(QStringLiteral("位置：调用成功\n内容：")));
        if (fault == QLatin1String("redirect"))
            QVERIFY(log.contains(QStringLiteral("位置：重定向\n内容：HTTP 302 重定向到 http://127.0.0.1:9/moved\n")));
    }
}

QTEST_MAIN(tst_FaultMatrix)
#include "tst_faultmatrix.moc"
