#include "entry/reversals.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QHash>
#include <QLockFile>
#include <QSaveFile>
#include <QUuid>

#include "platform/processowner.h"
#include "support/logline.h"
#include "support/logwriter.h"

using Gateway::PendingReversal;
using State = Gateway::PendingReversal::State;

namespace {

// The lock is only held while the journal is read and written again (milliseconds); one older
// than this was left by a process that hung or ended holding it.
constexpr int kStaleLockMs = 30000;

bool sharesCode(const QStringList &codes, const QStringList &others)
{
    for (const QString &code : codes)
        if (!code.isEmpty() && others.contains(code))
            return true;
    return false;
}

// A missing file is an empty journal. A file that cannot be read as a journal is moved aside
// (same name + ".unreadable-<yyyyMMddhhmmss>") so that what it holds stays for support and new
// entries are not written over it. A file that cannot be opened now gives no journal.
std::optional<QList<PendingReversal>> load(const QString &path, QString &error)
{
    QList<PendingReversal> entries;
    QFile file(path);
    if (!file.exists())
        return entries;
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("待撤销记录文件暂时无法打开：") + path + QLatin1Char(' ') + file.errorString();
        return std::nullopt;
    }
    if (Gateway::parseJournal(file.readAll(), entries))
        return entries;
    entries.clear();
    file.close();
    const QString aside =
        path + QStringLiteral(".unreadable-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMddhhmmss"));
    error = QFile::rename(path, aside) ? QStringLiteral("待撤销记录文件无法读取，已移到 ") + aside
                                       : QStringLiteral("待撤销记录文件无法读取，也无法移走：") + path;
    return entries;
}

// Written beside the file, flushed to the disk, then put in its place: a crash leaves the old
// journal or the new one, never half of one. An empty journal removes the file.
bool save(const QString &path, const QList<PendingReversal> &entries, QString &error)
{
    if (entries.isEmpty()) {
        if (QFile::exists(path) && !QFile::remove(path)) {
            error = QStringLiteral("待撤销记录文件无法删除：") + path;
            return false;
        }
        return true;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(Gateway::journalText(entries)) < 0 || !file.commit()) {
        error = QStringLiteral("待撤销记录文件无法写入：") + path + QLatin1Char(' ') + file.errorString();
        return false;
    }
    return true;
}

}

QString Reversals::journalPath(const QString &folder)
{
    return folder + QStringLiteral("/TwCouponPay5.reversals.json");
}

Reversals::Reversals(const QString &journalPath, const LogWriter &log, Send send)
    : m_path(journalPath)
    , m_log(log)
    , m_send(std::move(send))
    , m_owner(ProcessOwner::current())
{ }

bool Reversals::update(int lockWaitMs, const std::function<bool(Entries &)> &change, QString &error)
{
    QLockFile lock(m_path + QStringLiteral(".lock"));
    lock.setStaleLockTime(kStaleLockMs);
    // Qt's own wait doubles its pauses up to seconds and can miss every short moment the lock is
    // free while other processes keep taking it; short steady pauses get their turn.
    QElapsedTimer waited;
    waited.start();
    while (!lock.tryLock(0)) {
        if (lock.error() != QLockFile::LockFailedError || waited.elapsed() >= lockWaitMs) {
            error = QStringLiteral("待撤销记录文件正被其他程序使用：") + m_path;
            return false;
        }
        QThread::msleep(10);
    }
    QString loadError;
    std::optional<Entries> entries = load(m_path, loadError);
    if (!loadError.isEmpty())
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录"), loadError);
    if (!entries) {
        error = loadError;
        return false;
    }
    if (!change(*entries))
        return true;
    return save(m_path, *entries, error);
}

void Reversals::releaseOrphans(Entries &entries, bool includingThisProcess) const
{
    for (PendingReversal &entry : entries) {
        if (entry.owner.isEmpty())
            continue;
        const bool alive = entry.owner == m_owner ? !includingThisProcess : ProcessOwner::isRunning(entry.owner);
        if (alive)
            continue;
        entry.owner.clear();
        if (entry.state != State::InFlight)
            continue;
        // Whoever sent the consumption ended before its answer: the server may have carried it
        // out, and may still be doing so.
        entry.state = State::Pending;
        entry.recheck = true;
        entry.reason = QStringLiteral("核销等待应答时收银程序已结束");
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("核销结果未知，转为待撤销"), Gateway::describe(entry));
    }
}

int Reversals::indexOf(const Entries &entries, const QString &id) const
{
    for (int i = 0; i < entries.size(); ++i)
        if (entries.at(i).id == id)
            return i;
    return -1;
}

bool Reversals::beginConsumption(const Gateway::ParamSet &reversalParams, QString &error)
{
    PendingReversal entry;
    entry.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    entry.state = State::InFlight;
    entry.owner = m_owner;
    entry.createdAt = QDateTime::currentDateTime().toString(Qt::ISODate);
    entry.params = reversalParams;
    const QStringList codes = entry.codes();

    bool busy = false;
    QString detail;
    const bool written = update(
        kLockWaitMs,
        [&](Entries &entries) {
            releaseOrphans(entries, false);
            for (const PendingReversal &other : qAsConst(entries))
                busy = busy
                    || (other.state == State::Pending && !other.owner.isEmpty() && sharesCode(other.codes(), codes));
            if (!busy)
                entries.append(entry);
            return true;
        },
        detail);
    if (written && busy) {
        // Consumed now, the coupons could be given back by that cancellation a moment later.
        error = QStringLiteral("这些券正在由其他收银程序撤销，请稍后再试");
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("核销前记录失败，未核销"), error);
        return false;
    }
    if (!written) {
        error = QStringLiteral("无法记录本次核销（") + detail + QStringLiteral("），未进行核销，请联系管理员处理");
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("核销前记录失败，未核销"), detail);
        return false;
    }
    m_inFlightId = entry.id;
    m_inFlightEntry = entry;
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("核销前记录待撤销"), Gateway::describe(entry));
    return true;
}

void Reversals::consumptionRefused()
{
    if (m_inFlightId.isEmpty())
        return;
    QString error;
    const bool removed = update(
        kLockWaitMs,
        [this](Entries &entries) {
            const int i = indexOf(entries, m_inFlightId);
            if (i >= 0)
                entries.removeAt(i);
            return i >= 0;
        },
        error);
    if (!removed)
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败"), error);
    m_inFlightId.clear();
}

Reversals::Verdict Reversals::judge(PendingReversal &entry, const ReversalAnswer &answer) const
{
    entry.note = answer.detail;
    switch (answer.kind) {
    case ReversalAnswer::Kind::Taken:
        return Verdict::Done;
    case ReversalAnswer::Kind::Refused:
        entry.failures = 0;
        if (entry.recheck) {
            entry.recheck = false;
            return Verdict::Keep;
        }
        entry.state = State::Attention;
        return Verdict::Attention;
    case ReversalAnswer::Kind::Rejected:
        entry.state = State::Attention;
        return Verdict::Attention;
    case ReversalAnswer::Kind::Unreachable:
    case ReversalAnswer::Kind::TimedOut:
        return Verdict::StopHere;
    case ReversalAnswer::Kind::Dropped:
        return Verdict::Keep;
    case ReversalAnswer::Kind::NoReply:
        if (++entry.failures < kMaxFailures)
            return Verdict::Keep;
        entry.state = State::Attention;
        entry.note = QStringLiteral("连续%1次未得到服务器的有效应答：").arg(kMaxFailures) + answer.detail;
        return Verdict::Attention;
    }
    return Verdict::Keep;
}

QStringList Reversals::codesNotGivenBack(const PendingReversal &entry, const ReversalAnswer &answer) const
{
    if (!answer.listsCodes)
        return {};
    QStringList missing;
    QStringList extra = answer.cancelledCodes;
    for (const QString &code : entry.codes()) {
        if (!extra.removeOne(code))
            missing.append(code);
    }
    if (!missing.isEmpty() || !extra.isEmpty())
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("撤销结果与请求不一致"),
                       QStringLiteral("请求撤销的券：") + entry.codes().join(QLatin1Char(','))
                           + QStringLiteral("；服务器撤销的券：") + answer.cancelledCodes.join(QLatin1Char(',')));
    return missing;
}

void Reversals::logAttention(const PendingReversal &entry) const
{
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录需人工处理"),
                   Gateway::describe(entry) + QStringLiteral(" 原因：") + entry.note);
}

QString Reversals::consumptionUncertain(const QString &reason, bool answerMayStillLand)
{
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("核销结果不确定，撤销本次核销"), reason);
    if (m_inFlightId.isEmpty())
        return QString();
    PendingReversal entry = m_inFlightEntry;
    entry.state = State::Pending;
    entry.owner.clear();
    entry.reason = reason;
    entry.recheck = answerMayStillLand;
    // Claimed while it is sent, so that no other process sends it too.
    QString error;
    update(
        kLockWaitMs,
        [&](Entries &entries) {
            const int i = indexOf(entries, m_inFlightId);
            if (i >= 0) {
                entries[i] = entry;
                entries[i].owner = m_owner;
            }
            return i >= 0;
        },
        error);

    ++entry.attempts;
    const ReversalAnswer answer = m_send(entry.params);
    const Verdict verdict = judge(entry, answer);
    const bool saved = update(
        kLockWaitMs,
        [&](Entries &entries) {
            const int i = indexOf(entries, m_inFlightId);
            if (verdict == Verdict::Done) {
                if (i >= 0)
                    entries.removeAt(i);
                return i >= 0;
            }
            if (i >= 0)
                entries[i] = entry;
            else
                entries.append(entry);
            return true;
        },
        error);
    m_inFlightId.clear();

    switch (verdict) {
    case Verdict::Done: {
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销"), QStringLiteral("成功"));
        if (!saved)
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败"), error);
        const QStringList missing = codesNotGivenBack(entry, answer);
        if (!missing.isEmpty())
            return QStringLiteral("。用券支付未完成，本次核销已撤销，但服务器未退回券：")
                + missing.join(QLatin1Char(',')) + QStringLiteral("，请联系管理员核对券状态");
        return QStringLiteral("。用券支付未完成，本次核销已撤销，券已退回会员");
    }
    case Verdict::Attention:
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销被服务器拒绝"), answer.detail);
        logAttention(entry);
        if (!saved)
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败"), error);
        return QStringLiteral("。用券支付未完成，服务器未撤销本次核销（") + answer.detail
            + QStringLiteral("），请联系管理员核对券状态");
    case Verdict::Keep:
    case Verdict::StopHere:
        break;
    }
    if (!saved) {
        // The log then is the only record: it carries everything support needs to cancel by hand.
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败，请人工撤销"),
                       error + QStringLiteral(" ") + Gateway::paramsText(entry.params));
        return QStringLiteral("。用券支付未完成，本次核销撤销失败且无法记录，请联系管理员撤销");
    }
    if (answer.kind == ReversalAnswer::Kind::Refused) {
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销被服务器拒绝，下一笔交易再试"), answer.detail);
        return QStringLiteral("。用券支付未完成，服务器暂未撤销本次核销（") + answer.detail
            + QStringLiteral("），将在下一笔交易开始时再次撤销");
    }
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("撤销本次核销失败，记录待撤销"), answer.detail);
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录"), Gateway::paramsText(entry.params));
    return QStringLiteral("。用券支付未完成，本次核销的撤销尚未完成，将在下一笔交易开始时自动重试");
}

bool Reversals::consumptionHandedOver(QString &error)
{
    if (m_inFlightId.isEmpty())
        return true;
    const QStringList codes = m_inFlightEntry.codes();
    Entries voided;
    const bool done = update(
        kLockWaitMs,
        [&](Entries &entries) {
            releaseOrphans(entries, false);
            const int i = indexOf(entries, m_inFlightId);
            if (i >= 0)
                entries.removeAt(i);
            for (int j = entries.size() - 1; j >= 0; --j) {
                const PendingReversal &other = entries.at(j);
                if (other.state == State::Pending && other.owner.isEmpty() && sharesCode(other.codes(), codes)) {
                    voided.prepend(other);
                    entries.removeAt(j);
                }
            }
            return true;
        },
        error);
    if (!done) {
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("核销前记录无法完成"), error);
        return false;
    }
    m_inFlightId.clear();
    // The server consumed these coupons just now, so the earlier attempt had not: cancelling it
    // would give back the coupons of this paid sale.
    for (const PendingReversal &other : qAsConst(voided))
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("作废待撤销记录"),
                       QStringLiteral("同券已核销成功：") + Gateway::describe(other));
    return true;
}

void Reversals::retryPending()
{
    if (!QFile::exists(m_path))
        return;
    Entries claimed;
    QString error;
    const bool loaded = update(
        kRetryLockWaitMs,
        [&](Entries &entries) {
            // Calls of one process never overlap: an entry this process still holds is left over
            // from a call that did not end normally.
            releaseOrphans(entries, true);
            QStringList inFlight;
            for (const PendingReversal &entry : qAsConst(entries))
                if (entry.state == State::InFlight)
                    inFlight += entry.codes();
            for (PendingReversal &entry : entries) {
                // A consumption of the same coupons under way decides this one when it ends.
                if (entry.state != State::Pending || !entry.owner.isEmpty() || sharesCode(entry.codes(), inFlight))
                    continue;
                entry.owner = m_owner;
                claimed.append(entry);
            }
            return true;
        },
        error);
    if (!loaded) {
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录"), error + QStringLiteral("，留待下一笔交易"));
        return;
    }

    // Once one cancellation finds the server out of reach the others wait for the next call
    // rather than hold the cashier for a time-out each.
    QHash<QString, Verdict> verdicts;
    int left = 0;
    bool stopped = false;
    for (PendingReversal &entry : claimed) {
        entry.owner.clear();
        if (stopped) {
            ++left;
            continue;
        }
        ++entry.attempts;
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销"),
                       QStringLiteral("第%1次 ").arg(entry.attempts) + Gateway::paramsText(entry.params));
        const ReversalAnswer answer = m_send(entry.params);
        const Verdict verdict = judge(entry, answer);
        verdicts.insert(entry.id, verdict);
        switch (verdict) {
        case Verdict::Done:
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销"), QStringLiteral("成功"));
            codesNotGivenBack(entry, answer);
            break;
        case Verdict::Attention:
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销被服务器拒绝"), answer.detail);
            logAttention(entry);
            break;
        case Verdict::StopHere:
            stopped = true;
            ++left;
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销失败"), answer.detail);
            break;
        case Verdict::Keep:
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销失败"), answer.detail);
            break;
        }
    }
    if (left > 1)
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("重试待撤销核销"),
                       QStringLiteral("留待下一笔交易：%1条").arg(left));

    const bool saved = update(
        kLockWaitMs,
        [&](Entries &entries) {
            for (const PendingReversal &result : qAsConst(claimed)) {
                const int i = indexOf(entries, result.id);
                if (i < 0)
                    continue;
                if (verdicts.value(result.id, Verdict::Keep) == Verdict::Done)
                    entries.removeAt(i);
                else
                    entries[i] = result;
            }
            return true;
        },
        error);
    if (!saved)
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("待撤销记录写入失败"), error);
}
