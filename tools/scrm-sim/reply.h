#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace ScrmSim {

// One answer and the way the HTTP shell delivers it. The router decides; the shell only carries
// it out, so every misbehaviour a scenario can ask for is visible here as plain data.
struct Reply
{
    int status = 200;
    QByteArray contentType = QByteArrayLiteral("application/json");
    QByteArray body;
    QByteArray redirect; // Location of a 3xx answer
    int delayMs = 0; // answer only after this pause
    bool drop = false; // close the connection without any answer
    qint64 dropAfterBytes = -1; // close after this many body bytes (-1: send it all)
    int trickleMs = 0; // send the body one byte at a time with this pause
    qint64 repeatBytes = 0; // body of exactly this size, the body text repeated
    bool apply = false; // the wallet acts on the request first (its answer is the
                        // body when none is given), then this reply goes out

    // The body size on the wire.
    qint64 totalBytes() const;
    // Bytes [offset, offset + length) of the body on the wire (repeatBytes applied).
    QByteArray bytesAt(qint64 offset, qint64 length) const;
    // True when the body cannot go out in one piece.
    bool isStreamed() const;
};

// {"code":"1","msg":reason}, HTTP 200: how the server refuses a request.
Reply refusalReply(const QString &reason);
Reply jsonReply(const QJsonObject &object);
Reply plainReply(int status, const QByteArray &text);

// Reads one canned reply of a scenario file; unknown members are refused so that a typo in a
// scenario does not silently turn into the default behaviour.
bool replyFromJson(const QJsonObject &object, Reply *reply, QString *error);

}
