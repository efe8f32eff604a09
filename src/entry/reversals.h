#pragma once

#include <functional>
#include <optional>

#include <QList>
#include <QString>
#include <QStringList>

#include "gateway/reversaljournal.h"

class LogWriter;

// What one cancellation sent to the server came to.
struct ReversalAnswer
{
    enum class Kind {
        Taken, // the server accepted it
        Refused, // "code" "1"
        Rejected, // HTTP 4xx other than 408 and 429
        Unreachable, // no connection (or no address): nothing reached the server
        TimedOut, // no answer within the time-out
        Dropped, // the connection ended without an answer
        NoReply // an answer that is no reply of the API: HTTP 5xx, 408, 429, not the envelope
    };
    Kind kind = Kind::Unreachable;
    QString detail; // the server's "msg", or the transport's or the parse's text
    bool listsCodes = false; // the accepted reply's data is a list of cancelled coupons
    QStringList cancelledCodes; // the coupon codes it lists
};

// The life of every consumption whose outcome the till cannot take for certain, kept in the
// reversal journal that all processes of the till share:
//   in flight  written before the consumption leaves, owned by the process that waits for it;
//   pending    the consumption may have been carried out: its cancellation is sent at once and
//              at the start of later calls;
//   attention  the server will not take the cancellation: kept for support, never sent again;
//   done       the entry is gone: the server took the cancellation, refused the consumption, or
//              the payment reached the host (which also voids every pending entry for the same
//              coupons: the server could not have consumed them again otherwise).
// Every change is made under a lock file and written in one step; no process holds the lock
// while it waits for the server.
class Reversals
{
public:
    using Send = std::function<ReversalAnswer(const Gateway::ParamSet &params)>;

    // "TwCouponPay5.reversals.json" in folder, beside the till's settings.
    static QString journalPath(const QString &folder);

    Reversals(const QString &journalPath, const LogWriter &log, Send send);

    // Before the consumption leaves. False, with the cashier's text in error, when the entry
    // cannot be made durable or another process is giving the same coupons back right now.
    bool beginConsumption(const Gateway::ParamSet &reversalParams, QString &error);
    // The server refused the consumption: nothing is owed.
    void consumptionRefused();
    // The consumption's outcome is unknown: its cancellation is sent at once. answerMayStillLand
    // when no answer came at all, so that the server may yet carry the consumption out after
    // refusing its cancellation. Returns what the cashier's message gets appended.
    QString consumptionUncertain(const QString &reason, bool answerMayStillLand);
    // The payment is in the host's hands: the entry, and pending ones for the same coupons, are
    // done. False (error set) when that cannot be recorded.
    bool consumptionHandedOver(QString &error);
    bool hasConsumptionInFlight() const { return !m_inFlightId.isEmpty(); }

    // At the start of a call: sends what the till still owes, in the order it was written; the
    // first cancellation that finds the server out of reach leaves the rest for the next call.
    void retryPending();

    // How long a process waits for another's change to the journal.
    static constexpr int kLockWaitMs = 10000;
    static constexpr int kRetryLockWaitMs = 2000;
    // Answers in a row that are no reply before an entry is left for support.
    static constexpr int kMaxFailures = 5;

private:
    using Entries = QList<Gateway::PendingReversal>;
    // Loads the journal under the lock, lets change edit it and saves it when change returns
    // true. False with error when the lock or the file could not be had.
    bool update(int lockWaitMs, const std::function<bool(Entries &)> &change, QString &error);
    // Entries whose owner has ended: in flight becomes pending, a claim is released.
    void releaseOrphans(Entries &entries, bool includingThisProcess) const;
    int indexOf(const Entries &entries, const QString &id) const;
    enum class Verdict { Done, Keep, Attention, StopHere };
    Verdict judge(Gateway::PendingReversal &entry, const ReversalAnswer &answer) const;
    // The codes sent that an accepted answer does not list as cancelled; any difference is logged.
    QStringList codesNotGivenBack(const Gateway::PendingReversal &entry, const ReversalAnswer &answer) const;
    void logAttention(const Gateway::PendingReversal &entry) const;

    QString m_path;
    const LogWriter &m_log;
    Send m_send;
    QString m_owner;
    QString m_inFlightId;
    Gateway::PendingReversal m_inFlightEntry;
};
