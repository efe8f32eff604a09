#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>

// Signature checking as the SCRM server does it, written independently of the client's signing
// code so that a fault on one side cannot hide the same fault on the other.
namespace ScrmSim {

// A parameter set: one value per key, iterated in UTF-16 ordinal key order (QString::operator<).
using FormFields = QMap<QString, QString>;

const QString &signingKey();

// Lowercase hexadecimal MD5 of the UTF-8 bytes of text.
QString md5Hex(const QString &text);

// Percent-decodes and reads the bytes as UTF-8. Form bodies also carry '+' for a space.
QString percentDecode(QByteArray encoded, bool plusIsSpace);

// "a=1&b=%E5%88%B8" -> {a: "1", b: "券"}; a repeated key keeps its last value.
FormFields parseFormBody(const QByteArray &body);

// Non-empty values only, "k=v" joined by "&", in key order: the text both request forms sign.
QString joinSignedParams(const FormFields &params);

// Query form: the signed parameter text followed by "&key=" and the signing key.
QString queryBaseText(const QString &signedText);

// Form body: "k=v&" for every non-empty field except "sign", then "key=" and the signing key.
QString formBaseText(const FormFields &fields);

struct SignedQuery
{
    bool hasSign = false;
    QString signature;
    QString signedText; // percent-decoded: the client's HTTP layer encodes what a URL cannot hold
};

// Splits a raw query "sign=<sig>&<signed params>" as it arrived on the wire.
SignedQuery splitSignedQuery(const QByteArray &rawQuery);

}
