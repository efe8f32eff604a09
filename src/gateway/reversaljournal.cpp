#include "gateway/reversaljournal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Gateway {

namespace {

QJsonObject toJson(const PendingReversal &entry)
{
    QJsonObject params;
    for (auto it = entry.params.cbegin(); it != entry.params.cend(); ++it)
        params.insert(it.key(), it.value());
    return QJsonObject{{QStringLiteral("createdAt"), entry.createdAt},
                       {QStringLiteral("reason"), entry.reason},
                       {QStringLiteral("attempts"), entry.attempts},
                       {QStringLiteral("params"), params}};
}

bool fromJson(const QJsonValue &value, PendingReversal &entry)
{
    const QJsonObject object = value.toObject();
    const QJsonValue params = object.value(QStringLiteral("params"));
    if (!value.isObject() || !params.isObject())
        return false;
    entry.createdAt = object.value(QStringLiteral("createdAt")).toString();
    entry.reason = object.value(QStringLiteral("reason")).toString();
    entry.attempts = object.value(QStringLiteral("attempts")).toInt();
    const QJsonObject paramObject = params.toObject();
    for (auto it = paramObject.constBegin(); it != paramObject.constEnd(); ++it) {
        if (!it.value().isString())
            return false;
        entry.params.insert(it.key(), it.value().toString());
    }
    return true;
}

}

QByteArray journalText(const QList<PendingReversal> &entries)
{
    QJsonArray array;
    for (const PendingReversal &entry : entries)
        array.append(toJson(entry));
    return QJsonDocument(array).toJson();
}

bool parseJournal(const QByteArray &text, QList<PendingReversal> &entries)
{
    entries.clear();
    const QJsonDocument document = QJsonDocument::fromJson(text);
    if (!document.isArray())
        return false;
    for (const QJsonValue &value : document.array()) {
        PendingReversal entry;
        if (!fromJson(value, entry)) {
            entries.clear();
            return false;
        }
        entries.append(entry);
    }
    return true;
}

}
