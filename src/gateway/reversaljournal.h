#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "gateway/signing.h"

// Cancellations the till still owes the server: consumptions whose answer never arrived, whose
// reversal could not be completed in the same call. The controller keeps them in a small file
// beside the till's settings and sends them again at the start of every call until the server
// answers.
namespace Gateway {

struct PendingReversal
{
    QString createdAt;   // when the consumption failed, ISO 8601
    QString reason;      // what was known of the failure
    int attempts = 0;    // reversals sent so far
    ParamSet params;     // the cancellation's parameters, unsigned
};

// The journal's file text (a JSON array) and back. False when the text is not a journal.
QByteArray journalText(const QList<PendingReversal> &entries);
bool parseJournal(const QByteArray &text, QList<PendingReversal> &entries);

}
