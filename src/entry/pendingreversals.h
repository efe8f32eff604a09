#pragma once

#include <optional>

#include <QList>
#include <QString>

#include "gateway/reversaljournal.h"

// The reversal journal on disk: "TwCouponPay5.reversals.json" beside the till's settings, so that
// a crash or a power cut does not lose what the server is still owed.
namespace PendingReversals {

QString journalPath(const QString &folder);

// A missing file is an empty journal. A file that cannot be read as a journal is moved aside
// (same name + ".unreadable-<yyyyMMddhhmmss>") and reported in error, so that what it holds
// stays for support and new entries are not written over it; the journal is then empty.
// A file that exists but cannot be opened now (another program holds it) gives no journal and
// the reason in error: it is left where it is and must not be written over.
std::optional<QList<Gateway::PendingReversal>> load(const QString &path, QString &error);
// Replaces the file in one step (written beside it, then renamed); an empty list removes it.
bool save(const QString &path, const QList<Gateway::PendingReversal> &entries, QString &error);

}
