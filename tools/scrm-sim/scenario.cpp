#include "scenario.h"

#include <QJsonArray>

namespace ScrmSim {

bool Scenario::load(const QJsonObject &document, QString *error)
{
    QHash<QString, Sequence> sequences;
    bool verify = true;
    for (auto it = document.begin(); it != document.end(); ++it) {
        const QString key = it.key();
        if (key == QLatin1String("verify")) {
            verify = it.value().toBool(true);
            continue;
        }
        if (!key.startsWith(QLatin1Char('/'))) {
            *error = QStringLiteral("scenario key \"%1\" is neither a path nor \"verify\"").arg(key);
            return false;
        }
        QJsonArray items;
        if (it.value().isArray())
            items = it.value().toArray();
        else if (it.value().isObject())
            items.append(it.value());
        if (items.isEmpty()) {
            *error = QStringLiteral("path \"%1\" needs a reply object or a non-empty array").arg(key);
            return false;
        }
        Sequence sequence;
        for (const QJsonValue &item : qAsConst(items)) {
            Reply reply;
            QString replyError;
            if (!item.isObject() || !replyFromJson(item.toObject(), &reply, &replyError)) {
                *error = QStringLiteral("path \"%1\", reply %2: %3")
                             .arg(key)
                             .arg(sequence.replies.size() + 1)
                             .arg(replyError.isEmpty() ? QStringLiteral("not an object") : replyError);
                return false;
            }
            sequence.replies.append(reply);
        }
        sequences.insert(key, sequence);
    }
    m_sequences = sequences;
    m_verify = verify;
    return true;
}

bool Scenario::handles(const QString &path) const
{
    return m_sequences.contains(path);
}

Reply Scenario::next(const QString &path)
{
    auto it = m_sequences.find(path);
    if (it == m_sequences.end())
        return Reply();
    const Reply reply = it->replies.at(it->position);
    if (it->position + 1 < it->replies.size())
        ++it->position;
    return reply;
}

}
