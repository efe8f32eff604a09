#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>

// Request signing: an MD5 digest over the non-empty parameters in key order and a fixed key.
namespace Gateway {

// Ordered by UTF-16 code units (QString's operator<): "Z" sorts before "a".
using ParamSet = QMap<QString, QString>;

// The 41-character key compiled into every till.
QString signingKey();

// Query form: the signed parameter text travels in the URL after "?sign=<signature>&".
struct QuerySignature
{
    QString paramText; // key=value&... over non-empty values, unencoded
    QString baseText; // paramText + "&key=" + signingKey()
    QString signature; // 32 lowercase hex digits
};
QuerySignature signQuery(const ParamSet &params);

// Form body: every parameter (empty ones too) plus "sign", percent-encoded, in key order.
struct SignedFormBody
{
    QString baseText; // non-empty "key=value&" pairs followed by "key=" + signingKey()
    QString signature;
    QString body; // what goes on the wire
    QString plainBody; // body percent-decoded back to text, for the log
};
SignedFormBody signFormBody(const ParamSet &params);

QString md5Hex(const QString &text);
// RFC 3986 unreserved characters stay, every other UTF-8 byte becomes %XX (upper case).
QByteArray percentEncode(const QString &value);

// Compact JSON (no whitespace), decoded from UTF-8 up to the first NUL byte.
QString jsonToString(const QJsonObject &object);
QString jsonToString(const QJsonArray &array);

}
