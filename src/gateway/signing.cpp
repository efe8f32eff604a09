#include "gateway/signing.h"

#include <QCryptographicHash>
#include <QJsonDocument>

namespace Gateway {

namespace {

// Shared with the SCRM server; changing it invalidates every request of every till.
const char signingKeyText[] = "#%7315^QwerzP&!%XK482067~$91LHRtmbowkqpX8";

// "k=v&k=v&" over the non-empty values, in key order, then `tail`; both forms sign exactly
// these pairs. Sized up front: a value can be a megabyte-long coupon list.
QString nonEmptyPairs(const ParamSet &params, const QString &tail)
{
    int size = tail.size();
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        size += it.key().size() + it.value().size() + 2;
    QString pairs;
    pairs.reserve(size);
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (it.value().isEmpty())
            continue;
        pairs += it.key();
        pairs += QLatin1Char('=');
        pairs += it.value();
        pairs += QLatin1Char('&');
    }
    pairs += tail;
    return pairs;
}

QString compactUtf8(const QByteArray &json)
{
    const int nul = json.indexOf('\0');
    return QString::fromUtf8(nul < 0 ? json : json.left(nul));
}

}

QString signingKey()
{
    return QString::fromLatin1(signingKeyText);
}

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QByteArray percentEncode(const QString &value)
{
    // Qt's unreserved set is exactly RFC 3986's, and it writes upper-case hex digits.
    return value.toUtf8().toPercentEncoding();
}

QuerySignature signQuery(const ParamSet &params)
{
    QuerySignature result;
    result.paramText = nonEmptyPairs(params, QString());
    result.paramText.chop(1);
    result.baseText = result.paramText + QStringLiteral("&key=") + signingKey();
    result.signature = md5Hex(result.baseText);
    return result;
}

SignedFormBody signFormBody(const ParamSet &params)
{
    SignedFormBody result;
    result.baseText = nonEmptyPairs(params, QStringLiteral("key=") + signingKey());
    result.signature = md5Hex(result.baseText);

    ParamSet withSign = params;
    withSign.insert(QStringLiteral("sign"), result.signature);

    // certiList can run to megabytes: encode each value once and size the buffers up front,
    // rather than growing, re-encoding and decoding the whole body again for the log.
    QList<QByteArray> encoded;
    encoded.reserve(withSign.size());
    int bodySize = 0;
    int plainSize = 0;
    for (auto it = withSign.cbegin(); it != withSign.cend(); ++it) {
        encoded.append(percentEncode(it.value()));
        bodySize += it.key().size() + 2 + encoded.last().size();
        plainSize += it.key().size() + 2 + it.value().size();
    }
    QByteArray body;
    body.reserve(bodySize);
    result.plainBody.reserve(plainSize);
    int i = 0;
    for (auto it = withSign.cbegin(); it != withSign.cend(); ++it, ++i) {
        if (i > 0) {
            body += '&';
            result.plainBody += QLatin1Char('&');
        }
        body += it.key().toUtf8();
        body += '=';
        body += encoded.at(i);
        // Decoding the encoded value gives back exactly the value: the log shows it as is.
        result.plainBody += it.key();
        result.plainBody += QLatin1Char('=');
        result.plainBody += it.value();
    }
    result.body = QString::fromLatin1(body);
    return result;
}

QString jsonToString(const QJsonObject &object)
{
    return compactUtf8(QJsonDocument(object).toJson(QJsonDocument::Compact));
}

QString jsonToString(const QJsonArray &array)
{
    return compactUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

}
