#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include "gateway/signing.h"

// Cancellations the till may owe the server, one entry per consumption whose outcome the till
// could not take for certain. The controller keeps them in a small file beside the till's
// settings: written before the consumption leaves, sent again at the start of later calls until
// the server answers, and kept for support when the server will not take them.
namespace Gateway {

struct PendingReversal
{
    enum class State {
        InFlight, // the consumption has left and its owner still waits for the answer
        Pending, // the consumption may have been carried out: the cancellation is owed
        Attention // the server will not take the cancellation: support decides by hand
    };
    QString id;
    State state = State::Pending;
    QString owner; // the process that holds the entry (in flight or being sent); empty when none
    QString createdAt; // when the consumption left, ISO 8601
    QString reason; // what was known of the consumption's failure
    int attempts = 0; // cancellations sent so far
    int failures = 0; // answers in a row that were no reply of the server's API
    bool recheck = false; // a refusal is not final yet: the consumption may still land at the server
    QString note; // the last answer, or why the entry needs attention
    ParamSet params; // the cancellation's parameters, unsigned

    // The coupon codes the cancellation names ("code" is a JSON array of texts).
    QStringList codes() const;
};

// The journal's file text (a JSON array) and back. False when the text is not a journal.
// Entries written before the journal knew states are pending; entries without an id get one.
QByteArray journalText(const QList<PendingReversal> &entries);
bool parseJournal(const QByteArray &text, QList<PendingReversal> &entries);

QString stateName(PendingReversal::State state);
// The unsigned parameters as k=v pairs joined by '&', for the log.
QString paramsText(const ParamSet &params);
// What support needs to cancel an entry by hand, on one line.
QString describe(const PendingReversal &entry);

}
