// The reversal journal's rules, with a stand-in for the server.
#include <unistd.h>

#include <QCoreApplication>
#include <QNetworkReply>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "entry/reversals.h"
#include "gateway/replies.h"
#include "gateway/transport.h"
#include "helpers/testsupport.h"
#include "platform/processowner.h"
#include "support/logwriter.h"

using Kind = ReversalAnswer::Kind;
using Gateway::PendingReversal;
Q_DECLARE_METATYPE(Gateway::ServerSide)
Q_DECLARE_METATYPE(Gateway::Failure)
Q_DECLARE_METATYPE(Kind)

namespace {

using Kinds = QList<Kind>;
using States = QStringList;

struct StandIn
{
    Kinds answers;
    QStringList listed = {}; // what an accepted answer lists as cancelled
    QStringList sent = {};
    Reversals::Send send()
    {
        return [this](const Gateway::ParamSet &params) {
            sent << params.value("code");
            return ReversalAnswer {answers.value(sent.size() - 1, Kind::Unreachable),
                                   QString("应答%1").arg(sent.size()), !listed.isEmpty(), listed};
        };
    }
};

PendingReversal entry(const QString &code, PendingReversal::State state = PendingReversal::State::Pending)
{
    PendingReversal e;
    e.id = code;
    e.state = state;
    e.params = {{"code", "[\"" + code + "\"]"}};
    return e;
}

struct Journal
{
    QTemporaryDir dir;
    LogWriter log {dir.path()};
    QString path() const { return Reversals::journalPath(dir.path()); }
    void write(const QList<PendingReversal> &entries) const
    {
        QVERIFY(TestSupport::writeFile(path(), Gateway::journalText(entries)));
    }
    QList<PendingReversal> read() const
    {
        QList<PendingReversal> entries;
        Gateway::parseJournal(TestSupport::readFile(path()), entries);
        return entries;
    }
    States states() const
    {
        States list;
        for (const PendingReversal &e : read())
            list << Gateway::stateName(e.state);
        return list;
    }
};

enum class Outcome { Refused, Uncertain, HandedOver };
enum class Owner { Running, ReusedId, EndedBoot };

}
Q_DECLARE_METATYPE(Outcome)
Q_DECLARE_METATYPE(Owner)

class tst_Reversal : public QObject
{
    Q_OBJECT
private slots:
    void afterError_data()
    {
        QTest::addColumn<int>("qtError");
        QTest::addColumn<int>("httpStatus");
        QTest::addColumn<Gateway::ServerSide>("serverSide");
        QTest::addColumn<Gateway::Failure>("failure");
        using F = Gateway::Failure;
        using S = Gateway::ServerSide;
        using N = QNetworkReply;
        QTest::newRow("refused") << int(N::ConnectionRefusedError) << 0 << S::Untouched << F::Unreachable;
        // Raised for a request already under way as well.
        QTest::newRow("network session") << int(N::NetworkSessionFailedError) << 0 << S::Unknown << F::Unreachable;
        QTest::newRow("HTTP 400") << int(N::ProtocolInvalidOperationError) << 400 << S::Untouched << F::Rejected;
        QTest::newRow("HTTP 429") << int(N::UnknownContentError) << 429 << S::Untouched << F::ServerError;
        QTest::newRow("closed") << int(N::RemoteHostClosedError) << 0 << S::Unknown << F::Dropped;
        QTest::newRow("HTTP 503") << int(N::ServiceUnavailableError) << 503 << S::Unknown << F::ServerError;
    }
    void afterError()
    {
        QFETCH(int, qtError);
        QFETCH(int, httpStatus);
        QFETCH(Gateway::ServerSide, serverSide);
        QFETCH(Gateway::Failure, failure);
        QCOMPARE(Gateway::serverSideAfterError(qtError, httpStatus), serverSide);
        QCOMPARE(Gateway::failureAfterError(qtError, httpStatus), failure);
    }

    // Card numbers and ids past 2^53.
    void numbersKeepEveryDigit_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("expected");
        QTest::newRow("19-digit integer") << QByteArray("6212345678901234567") << "6212345678901234567";
        QTest::newRow("negative, past 2^53") << QByteArray("-9007199254740993") << "-9007199254740993";
        QTest::newRow("beyond 64 bits") << QByteArray("99999999999999999999") << "1e+20";
    }
    void numbersKeepEveryDigit()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, expected);
        const QString reply = "{\"code\":\"0\",\"meta\":{\"data\":{\"cardNo\":" + QString::fromLatin1(json) + "}}}";
        QCOMPARE(Gateway::parseVipInfoReply(reply).cardNo, expected);
    }

    void retryPending_data()
    {
        QTest::addColumn<bool>("recheck");
        QTest::addColumn<int>("failures");
        QTest::addColumn<Kinds>("answers");
        QTest::addColumn<int>("sends");
        QTest::addColumn<States>("states");
        QTest::newRow("both taken") << false << 0 << Kinds {Kind::Taken, Kind::Taken} << 2 << States {};
        QTest::newRow("refusal is final")
            << false << 0 << Kinds {Kind::Refused, Kind::Taken} << 2 << States {"attention"};
        QTest::newRow("refusal after a time-out")
            << true << 0 << Kinds {Kind::Refused, Kind::Taken} << 2 << States {"pending"};
        QTest::newRow("HTTP 4xx is final")
            << false << 0 << Kinds {Kind::Rejected, Kind::Taken} << 2 << States {"attention"};
        QTest::newRow("unreachable stops")
            << false << 0 << Kinds {Kind::Unreachable} << 1 << States {"pending", "pending"};
        QTest::newRow("time-out stops") << false << 0 << Kinds {Kind::TimedOut} << 1 << States {"pending", "pending"};
        QTest::newRow("dropped goes on") << false << 0 << Kinds {Kind::Dropped, Kind::Taken} << 2 << States {"pending"};
        QTest::newRow("fourth non-reply")
            << false << 3 << Kinds {Kind::NoReply, Kind::Taken} << 2 << States {"pending"};
        QTest::newRow("fifth non-reply") << false << 4 << Kinds {Kind::NoReply, Kind::Taken} << 2
                                         << States {"attention"};
    }
    void retryPending()
    {
        QFETCH(bool, recheck);
        QFETCH(int, failures);
        QFETCH(Kinds, answers);
        QFETCH(int, sends);
        QFETCH(States, states);
        Journal journal;
        PendingReversal first = entry("Q1");
        first.recheck = recheck;
        first.failures = failures;
        journal.write({first, entry("Q2"), entry("Q3", PendingReversal::State::Attention)});
        StandIn server {answers};
        Reversals(journal.path(), journal.log, server.send()).retryPending();
        QCOMPARE(server.sent.size(), sends);
        QCOMPARE(journal.states(), states << "attention");
        server.answers.clear();
        Reversals(journal.path(), journal.log, server.send()).retryPending();
        QCOMPARE(server.sent.size(), sends + int(states.count("pending") > 0));
    }

    void consumption_data()
    {
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<Kind>("answer");
        QTest::addColumn<bool>("mayStillLand");
        QTest::addColumn<QStringList>("listed");
        QTest::addColumn<States>("states");
        QTest::addColumn<QString>("message");
        const QString unpaid = "。用券支付未完成，";
        QTest::newRow("refused") << Outcome::Refused << Kind::Taken << false << QStringList {} << States {} << "";
        QTest::newRow("reversed") << Outcome::Uncertain << Kind::Taken << false << QStringList {} << States {}
                                  << unpaid + "本次核销已撤销，券已退回会员";
        QTest::newRow("reversed in part")
            << Outcome::Uncertain << Kind::Taken << false << QStringList {"Q2"} << States {}
            << unpaid + "本次核销已撤销，但服务器未退回券：Q1，请联系管理员核对券状态";
        QTest::newRow("reversal lost") << Outcome::Uncertain << Kind::TimedOut << true << QStringList {}
                                       << States {"pending"}
                                       << unpaid + "本次核销的撤销尚未完成，将在下一笔交易开始时自动重试";
        QTest::newRow("reversal refused")
            << Outcome::Uncertain << Kind::Refused << false << QStringList {} << States {"attention"}
            << unpaid + "服务器未撤销本次核销（应答1），请联系管理员核对券状态";
        QTest::newRow("refused, may still land")
            << Outcome::Uncertain << Kind::Refused << true << QStringList {} << States {"pending"}
            << unpaid + "服务器暂未撤销本次核销（应答1），将在下一笔交易开始时再次撤销";
    }
    void consumption()
    {
        QFETCH(Outcome, outcome);
        QFETCH(Kind, answer);
        QFETCH(bool, mayStillLand);
        QFETCH(QStringList, listed);
        QFETCH(States, states);
        QFETCH(QString, message);
        Journal journal;
        StandIn server {{answer}, listed};
        Reversals reversals(journal.path(), journal.log, server.send());
        QString error;
        QVERIFY(reversals.beginConsumption({{"code", R"(["Q1","Q2"])"}}, error));
        QCOMPARE(journal.states(), States {"inFlight"});
        QString text;
        if (outcome == Outcome::Refused)
            reversals.consumptionRefused();
        else if (outcome == Outcome::HandedOver)
            QVERIFY(reversals.consumptionHandedOver(error));
        else
            text = reversals.consumptionUncertain("请求超时", mayStillLand);
        QCOMPARE(text, message);
        QCOMPARE(server.sent.size(), int(outcome == Outcome::Uncertain));
        QCOMPARE(journal.states(), states);
    }

    void handedOverVoidsEarlierEntriesOfItsCoupons()
    {
        Journal journal;
        journal.write({entry("Q1"), entry("Q9"), entry("Q1", PendingReversal::State::Attention)});
        QString error;
        Reversals reversals(journal.path(), journal.log, StandIn().send());
        QVERIFY(reversals.beginConsumption({{"code", R"(["Q1"])"}}, error));
        QVERIFY(reversals.consumptionHandedOver(error));
        QCOMPARE(journal.states(), (States {"pending", "attention"}));
        QCOMPARE(journal.read().first().codes(), QStringList {"Q9"});
    }

    void ownerThatEnded_data()
    {
        QTest::addColumn<Owner>("owner");
        QTest::addColumn<bool>("sent");
        QTest::newRow("still running") << Owner::Running << false;
        QTest::newRow("its id now another process's") << Owner::ReusedId << true;
        QTest::newRow("before the last boot") << Owner::EndedBoot << true;
    }
    void ownerThatEnded()
    {
        QFETCH(Owner, owner);
        QFETCH(bool, sent);
        const QString running = ProcessOwner::ofProcess(getppid());
        QVERIFY(ProcessOwner::isRunning(running));
        const QStringList parts = running.split(':');
        Journal journal;
        PendingReversal inFlight = entry("Q1", PendingReversal::State::InFlight);
        inFlight.owner = owner == Owner::Running ? running
            : owner == Owner::ReusedId           ? parts.at(0) + ":1:" + parts.at(2)
                                                 : parts.at(0) + ':' + parts.at(1) + ":another-boot";
        journal.write({inFlight});
        StandIn server {{Kind::Refused}};
        Reversals(journal.path(), journal.log, server.send()).retryPending();
        QCOMPARE(server.sent.size(), int(sent));
        // Whether the consumption landed is unknown: one refusal is not final yet.
        QCOMPARE(journal.states(), States {sent ? "pending" : "inFlight"});
    }

    void consumptionWaitsForACancellationUnderWay()
    {
        Journal journal;
        PendingReversal sending = entry("Q1");
        sending.owner = ProcessOwner::ofProcess(getppid());
        journal.write({sending});
        QString error;
        QVERIFY(
            !Reversals(journal.path(), journal.log, StandIn().send()).beginConsumption({{"code", R"(["Q1"])"}}, error));
        QCOMPARE(error, "这些券正在由其他收银程序撤销，请稍后再试");
        QCOMPARE(journal.read().size(), 1);
    }

    void journalOfAnEarlierVersionIsRead()
    {
        QList<PendingReversal> entries;
        QVERIFY(Gateway::parseJournal("[{\"createdAt\":\"t\",\"attempts\":2,\"params\":{\"code\":\"[\\\"Q1\\\"]\"}}]",
                                      entries));
        QCOMPARE(entries.value(0).state, PendingReversal::State::Pending);
        QVERIFY(!entries.value(0).id.isEmpty());
        QVERIFY(!Gateway::parseJournal(R"([{"params":{},"params":{}}])", entries));
    }

    void processesSharingTheJournal()
    {
        Journal journal;
        const int count = 40;
        QList<QProcess *> children;
        for (const char *role : {"writer-a", "writer-b", "retrier"}) {
            auto *child = new QProcess(this);
            child->start(QCoreApplication::applicationFilePath(),
                         {"--journal", QString::fromLatin1(role), journal.dir.path(), QString::number(count)});
            children << child;
        }
        for (QProcess *child : children) {
            QVERIFY(child->waitForFinished(120000));
            QCOMPARE(child->exitCode(), 0);
        }
        QSet<QString> codes;
        for (const PendingReversal &e : journal.read())
            codes += e.codes().value(0);
        QCOMPARE(codes.size(), 2 * count);
        QCOMPARE(journal.states().count("pending"), 2 * count);
    }
};

// A child of processesSharingTheJournal.
int journalChild(const QString &role, const QString &folder, int count)
{
    LogWriter log(folder);
    const Reversals::Send unanswered = [](const Gateway::ParamSet &) {
        QThread::msleep(5);
        return ReversalAnswer {Kind::Dropped, "closed", false, {}};
    };
    const int rounds = role == QLatin1String("retrier") ? count / 4 : count;
    for (int i = 0; i < rounds; ++i) {
        Reversals reversals(Reversals::journalPath(folder), log, unanswered);
        QString error;
        if (role == QLatin1String("retrier")) {
            reversals.retryPending();
            continue;
        }
        if (!reversals.beginConsumption({{"code", QString("[\"%1-%2\"]").arg(role).arg(i)}}, error)) {
            qWarning() << error;
            return 1;
        }
        reversals.consumptionUncertain("请求超时", false);
    }
    return 0;
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc == 5 && QByteArray(argv[1]) == "--journal")
        return journalChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                            QByteArray(argv[4]).toInt());
    tst_Reversal test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reversal.moc"
