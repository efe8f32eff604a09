#include "signature.h"

#include <QCryptographicHash>

namespace ScrmSim {

const QString &signingKey()
{
    static const QString key = QStringLiteral("#%7315^QwerzP&!%XK482067~$91LHRtmbowkqpX8");
    return key;
}

QString md5Hex(const QString &text)
{
    return QString::fromLatin1(QCryptographicHash::hash(text.toUtf8(), QCryptographicHash::Md5).toHex());
}

QString percentDecode(QByteArray encoded, bool plusIsSpace)
{
    if (plusIsSpace)
        encoded.replace('+', ' ');
    return QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
}

FormFields parseFormBody(const QByteArray &body)
{
    FormFields fields;
    for (const QByteArray &pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const int eq = pair.indexOf('=');
        if (eq < 0)
            fields.insert(percentDecode(pair, true), QString());
        else
            fields.insert(percentDecode(pair.left(eq), true), percentDecode(pair.mid(eq + 1), true));
    }
    return fields;
}

QString joinSignedParams(const FormFields &params)
{
    QStringList parts;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!it.value().isEmpty())
            parts << it.key() + QLatin1Char('=') + it.value();
    }
    return parts.join(QLatin1Char('&'));
}

QString queryBaseText(const QString &signedText)
{
    return signedText + QStringLiteral("&key=") + signingKey();
}

QString formBaseText(const FormFields &fields)
{
    QString base;
    for (auto it = fields.cbegin(); it != fields.cend(); ++it) {
        if (it.key() == QLatin1String("sign") || it.value().isEmpty())
            continue;
        base += it.key() + QLatin1Char('=') + it.value() + QLatin1Char('&');
    }
    return base + QStringLiteral("key=") + signingKey();
}

SignedQuery splitSignedQuery(const QByteArray &rawQuery)
{
    SignedQuery query;
    if (!rawQuery.startsWith("sign="))
        return query;
    query.hasSign = true;
    const int amp = rawQuery.indexOf('&');
    if (amp < 0) {
        query.signature = percentDecode(rawQuery.mid(5), false);
        return query;
    }
    query.signature = percentDecode(rawQuery.mid(5, amp - 5), false);
    query.signedText = percentDecode(rawQuery.mid(amp + 1), false);
    return query;
}

}
