// What one server call costs the till, and how long each server fault keeps the cashier waiting.
//
// roundTrip: SendRequest (overlay, worker thread, fresh network manager, wait loop) against a
// plain POST of the same bytes from one long-lived QNetworkAccessManager, and the pieces in
// between, all against the same scrm-sim on loopback in one run.
// faultTimes: each server operation against each fault with "Config/TimeOut" = 1, once each;
// the rows print a table line "| fault | operation | message | ms |" (docs/faults.md).
#include <QElapsedTimer>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTest>
#include <QThread>

#include "entry/vipcouponcpu.h"
#include "faults/faultcases.h"
#include "support/appfolder.h"
#include "support/simprocess.h"
#include "support/testsupport.h"

using FaultCases::Api;

class bench_Transport : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void roundTrip_data();
    void roundTrip();
    void faultTimes_data();
    void faultTimes();
};

namespace {
const QString kPath = QStringLiteral("/t/ok");
const QString kBody = QStringLiteral("{\"bizType\":\"0\",\"orgCode\":\"A01\",\"vipInfoId\":\"V0001\"}");

enum class Way { SendRequest, WaitThreadOnly, ThreadStartOnly, FreshManager, LongLivedManager, LongLivedNewConnection };

// One POST on the calling thread, waiting in a local loop, as the worker does.
QByteArray postAndWait(QNetworkAccessManager &manager, const QUrl &url, const QByteArray &body, bool closeAfter = false)
{
    QNetworkRequest request(url);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    if (closeAfter)
        request.setRawHeader("Connection", "close");
    QNetworkReply *reply = manager.post(request, body);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    const QByteArray bytes = reply->readAll();
    reply->deleteLater();
    return bytes;
}

class EmptyThread : public QThread
{
protected:
    void run() override {}
};
}

Q_DECLARE_METATYPE(Way)

static SimProcess *s_sim = nullptr;

void bench_Transport::initTestCase()
{
    s_sim = new SimProcess;
    QVERIFY2(s_sim->start({QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("faults/transport.json"))}),
             qPrintable(s_sim->errorString()));
}

void bench_Transport::cleanupTestCase()
{
    delete s_sim;
    s_sim = nullptr;
}

void bench_Transport::roundTrip_data()
{
    QTest::addColumn<Way>("way");
    QTest::newRow("SendRequest") << Way::SendRequest;
    QTest::newRow("WaitThread start+run, no overlay") << Way::WaitThreadOnly;
    QTest::newRow("thread start+finish, no request") << Way::ThreadStartOnly;
    QTest::newRow("fresh manager per POST, same thread") << Way::FreshManager;
    QTest::newRow("one long-lived manager") << Way::LongLivedManager;
    QTest::newRow("one long-lived manager, new connection per POST") << Way::LongLivedNewConnection;
}

void bench_Transport::roundTrip()
{
    QFETCH(Way, way);
    AppFolder app;
    app.writeGen6(s_sim->baseUrl(), 5);
    const QUrl url(s_sim->baseUrl() + kPath);
    const QByteArray bodyBytes = kBody.toUtf8();

    switch (way) {
    case Way::SendRequest: {
        VipCouponCPU cpu;
        QString reply;
        QString error;
        QVERIFY(cpu.SendRequest(kPath, kBody, reply, error));
        QBENCHMARK {
            cpu.SendRequest(kPath, kBody, reply, error);
        }
        QCOMPARE(reply, QStringLiteral("{\"code\":\"0\"}"));
        break;
    }
    case Way::WaitThreadOnly: {
        WaitThread thread;
        QString error;
        QVERIFY(thread.PrepareRequest(kPath, kBody, error));
        QBENCHMARK {
            thread.start();
            thread.wait();
        }
        QCOMPARE(thread.replyText(), QStringLiteral("{\"code\":\"0\"}"));
        break;
    }
    case Way::ThreadStartOnly: {
        EmptyThread thread;
        QBENCHMARK {
            thread.start();
            thread.wait();
        }
        break;
    }
    case Way::FreshManager: {
        QByteArray reply;
        QBENCHMARK {
            QNetworkAccessManager manager;
            manager.setProxy(QNetworkProxy::NoProxy);
            reply = postAndWait(manager, url, bodyBytes);
        }
        QCOMPARE(reply, QByteArray("{\"code\":\"0\"}"));
        break;
    }
    case Way::LongLivedManager: {
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QByteArray reply = postAndWait(manager, url, bodyBytes);
        QBENCHMARK {
            reply = postAndWait(manager, url, bodyBytes);
        }
        QCOMPARE(reply, QByteArray("{\"code\":\"0\"}"));
        break;
    }
    case Way::LongLivedNewConnection: {
        QNetworkAccessManager manager;
        manager.setProxy(QNetworkProxy::NoProxy);
        QByteArray reply = postAndWait(manager, url, bodyBytes, true);
        QBENCHMARK {
            reply = postAndWait(manager, url, bodyBytes, true);
        }
        QCOMPARE(reply, QByteArray("{\"code\":\"0\"}"));
        break;
    }
    }
}

void bench_Transport::faultTimes_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<Api>("api");
    for (const QString &fault : FaultCases::faults()) {
        for (Api api : FaultCases::apis())
            QTest::addRow("%s %s", qPrintable(fault), qPrintable(FaultCases::apiName(api))) << fault << api;
    }
}

void bench_Transport::faultTimes()
{
    QFETCH(QString, fault);
    QFETCH(Api, api);

    SimProcess sim;
    if (fault == QLatin1String("refused")) {
        QVERIFY(sim.start());
        QVERIFY(sim.stop());
    } else {
        QVERIFY2(sim.start({QStringLiteral("--scenario"), FaultCases::scenarioPath(fault)}), qPrintable(sim.errorString()));
    }
    AppFolder app;
    app.writeGen6(sim.baseUrl(), 1);
    VipCouponCPU cpu;
    FaultCases::fillSale(cpu);

    QString message;
    // Timed by hand, not by QBENCHMARK: a benchmark function is run twice, and the second run
    // would meet a simulator whose scenario sequence has moved on.
    QElapsedTimer clock;
    clock.start();
    FaultCases::call(cpu, api, message);
    const qint64 elapsed = clock.elapsed();
    QVERIFY(!message.isEmpty());
    // Ports and signatures differ per run: the table shows the message with the URL shortened.
    const int at = message.indexOf(QStringLiteral("http://127.0.0.1:"));
    const QString shown = at < 0 ? message : message.left(at) + QStringLiteral("<url>")
                                                 + message.mid(message.indexOf(QStringLiteral(" - server replied"), at));
    qInfo().noquote() << QStringLiteral("| %1 | %2 | %3 | %4 |").arg(fault, FaultCases::apiName(api), shown).arg(elapsed);
}

QTEST_MAIN(bench_Transport)
#include "bench_transport.moc"
