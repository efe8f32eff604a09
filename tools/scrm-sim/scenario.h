#pragma once

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "reply.h"

namespace ScrmSim {

// Canned replies per path. Each request on a path takes the next reply of its sequence; the last
// one repeats for ever, so a one-element sequence is "always answer this".
class Scenario
{
public:
    bool load(const QJsonObject &document, QString *error);

    bool handles(const QString &path) const;
    // The reply for the next request on path, advancing its sequence.
    Reply next(const QString &path);
    // Whether requests on scenario paths must still be correctly signed (default true).
    bool verifiesRequests() const { return m_verify; }

private:
    struct Sequence
    {
        QList<Reply> replies;
        int position = 0;
    };
    QHash<QString, Sequence> m_sequences;
    bool m_verify = true;
};

}
