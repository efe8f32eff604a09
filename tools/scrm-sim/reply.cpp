#include "reply.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>

namespace ScrmSim {

namespace {
QByteArray repeatedUnit(const Reply &reply)
{
    return reply.body.isEmpty() ? QByteArrayLiteral("x") : reply.body;
}
}

qint64 Reply::totalBytes() const
{
    return repeatBytes > 0 ? repeatBytes : body.size();
}

QByteArray Reply::bytesAt(qint64 offset, qint64 length) const
{
    const qint64 end = qMin(totalBytes(), offset + length);
    if (offset >= end)
        return QByteArray();
    if (repeatBytes <= 0)
        return body.mid(int(offset), int(end - offset));
    const QByteArray unit = repeatedUnit(*this);
    QByteArray out;
    out.reserve(int(end - offset));
    qint64 pos = offset;
    while (pos < end) {
        const int from = int(pos % unit.size());
        const int take = int(qMin<qint64>(unit.size() - from, end - pos));
        out.append(unit.constData() + from, take);
        pos += take;
    }
    return out;
}

bool Reply::isStreamed() const
{
    return trickleMs > 0 || dropAfterBytes >= 0 || repeatBytes > 0;
}

Reply refusalReply(const QString &reason)
{
    QJsonObject object;
    object.insert(QStringLiteral("code"), QStringLiteral("1"));
    object.insert(QStringLiteral("msg"), reason);
    return jsonReply(object);
}

Reply jsonReply(const QJsonObject &object)
{
    Reply reply;
    reply.body = QJsonDocument(object).toJson(QJsonDocument::Compact);
    return reply;
}

Reply plainReply(int status, const QByteArray &text)
{
    Reply reply;
    reply.status = status;
    reply.contentType = QByteArrayLiteral("text/plain");
    reply.body = text;
    return reply;
}

bool replyFromJson(const QJsonObject &object, Reply *reply, QString *error)
{
    static const QSet<QString> known = {
        QStringLiteral("status"),         QStringLiteral("body"),      QStringLiteral("bodyJson"),
        QStringLiteral("contentType"),    QStringLiteral("delayMs"),   QStringLiteral("drop"),
        QStringLiteral("dropAfterBytes"), QStringLiteral("trickleMs"), QStringLiteral("repeatBytes"),
        QStringLiteral("apply"),          QStringLiteral("redirect")};
    for (auto it = object.begin(); it != object.end(); ++it) {
        if (!known.contains(it.key())) {
            *error = QStringLiteral("unknown reply member \"%1\"").arg(it.key());
            return false;
        }
    }
    if (object.contains(QStringLiteral("body")) && object.contains(QStringLiteral("bodyJson"))) {
        *error = QStringLiteral("a reply has either \"body\" or \"bodyJson\", not both");
        return false;
    }

    Reply out;
    const QJsonValue bodyJson = object.value(QStringLiteral("bodyJson"));
    if (bodyJson.isObject())
        out.body = QJsonDocument(bodyJson.toObject()).toJson(QJsonDocument::Compact);
    else if (bodyJson.isArray())
        out.body = QJsonDocument(bodyJson.toArray()).toJson(QJsonDocument::Compact);
    else if (!bodyJson.isUndefined()) {
        *error = QStringLiteral("\"bodyJson\" must be an object or an array");
        return false;
    } else
        out.body = object.value(QStringLiteral("body")).toString().toUtf8();

    out.redirect = object.value(QStringLiteral("redirect")).toString().toUtf8();
    out.status = object.value(QStringLiteral("status")).toInt(out.redirect.isEmpty() ? 200 : 302);
    if (out.status < 100 || out.status > 599) {
        *error = QStringLiteral("\"status\" %1 is not an HTTP status").arg(out.status);
        return false;
    }
    out.contentType = object.value(QStringLiteral("contentType")).toString(QStringLiteral("application/json")).toUtf8();
    out.delayMs = object.value(QStringLiteral("delayMs")).toInt(0);
    out.drop = object.value(QStringLiteral("drop")).toBool(false);
    out.dropAfterBytes = qint64(object.value(QStringLiteral("dropAfterBytes")).toDouble(-1));
    out.trickleMs = object.value(QStringLiteral("trickleMs")).toInt(0);
    out.apply = object.value(QStringLiteral("apply")).toBool(false);
    out.repeatBytes = qint64(object.value(QStringLiteral("repeatBytes")).toDouble(0));
    if (out.delayMs < 0 || out.trickleMs < 0 || out.repeatBytes < 0) {
        *error = QStringLiteral("\"delayMs\", \"trickleMs\" and \"repeatBytes\" cannot be negative");
        return false;
    }
    *reply = out;
    return true;
}

}
