#include "gateway/reversaljournal.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

#include "support/jsonguard.h"

namespace Gateway {

namespace {

const QString kInFlight = QStringLiteral("inFlight");
const QString kPending = QStringLiteral("pending");
const QString kAttention = QStringLiteral("attention");

QJsonObject toJson(const PendingReversal &entry)
{
    QJsonObject params;
    for (auto it = entry.params.cbegin(); it != entry.params.cend(); ++it)
        params.insert(it.key(), it.value());
    return QJsonObject {{QStringLiteral("id"), entry.id},
                        {QStringLiteral("state"), stateName(entry.state)},
                        {QStringLiteral("owner"), entry.owner},
                        {QStringLiteral("createdAt"), entry.createdAt},
                        {QStringLiteral("reason"), entry.reason},
                        {QStringLiteral("attempts"), entry.attempts},
                        {QStringLiteral("failures"), entry.failures},
                        {QStringLiteral("recheck"), entry.recheck},
                        {QStringLiteral("note"), entry.note},
                        {QStringLiteral("params"), params}};
}

bool fromJson(const QJsonValue &value, PendingReversal &entry)
{
    const QJsonObject object = value.toObject();
    const QJsonValue params = object.value(QStringLiteral("params"));
    if (!value.isObject() || !params.isObject())
        return false;
    const QString state = object.value(QStringLiteral("state")).toString(kPending);
    if (state == kInFlight)
        entry.state = PendingReversal::State::InFlight;
    else if (state == kAttention)
        entry.state = PendingReversal::State::Attention;
    else if (state == kPending)
        entry.state = PendingReversal::State::Pending;
    else
        return false;
    entry.id = object.value(QStringLiteral("id")).toString();
    if (entry.id.isEmpty())
        entry.id = QUuid::createUuid().toString(QUuid::WithoutBraces);
    entry.owner = object.value(QStringLiteral("owner")).toString();
    entry.createdAt = object.value(QStringLiteral("createdAt")).toString();
    entry.reason = object.value(QStringLiteral("reason")).toString();
    entry.attempts = object.value(QStringLiteral("attempts")).toInt();
    entry.failures = object.value(QStringLiteral("failures")).toInt();
    entry.recheck = object.value(QStringLiteral("recheck")).toBool();
    entry.note = object.value(QStringLiteral("note")).toString();
    const QJsonObject paramObject = params.toObject();
    for (auto it = paramObject.constBegin(); it != paramObject.constEnd(); ++it) {
        if (!it.value().isString())
            return false;
        entry.params.insert(it.key(), it.value().toString());
    }
    return true;
}

}

QStringList PendingReversal::codes() const
{
    QStringList list;
    const QJsonDocument document = QJsonDocument::fromJson(params.value(QStringLiteral("code")).toUtf8());
    for (const QJsonValue &code : document.array())
        list.append(code.toString());
    return list;
}

QString stateName(PendingReversal::State state)
{
    switch (state) {
    case PendingReversal::State::InFlight:
        return kInFlight;
    case PendingReversal::State::Attention:
        return kAttention;
    case PendingReversal::State::Pending:
        break;
    }
    return kPending;
}

QString paramsText(const ParamSet &params)
{
    QStringList pairs;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        pairs.append(it.key() + QLatin1Char('=') + it.value());
    return pairs.join(QLatin1Char('&'));
}

QString describe(const PendingReversal &entry)
{
    return QStringLiteral("记录%1 核销时间%2 已发送%3次 %4")
        .arg(entry.id, entry.createdAt)
        .arg(entry.attempts)
        .arg(paramsText(entry.params));
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
    if (JsonGuard::repeatsKey(text))
        return false;
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
