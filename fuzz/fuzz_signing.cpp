// Signing and the request bodies, from fuzzed parameters and records: the query signature,
// the signed form body, percent-encoding, compact JSON, the coupon code array, the batch
// consumption parameters and the refund plan of a return.

#include <cstddef>
#include <cstdint>
#include <string>

#include <fuzzer/FuzzedDataProvider.h>

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "fuzzchecks.h"
#include "gateway/requests.h"
#include "gateway/signing.h"

namespace {

// Keys the calls really use, so that fuzzed keys also land between and on top of them.
const char *const knownKeys[] = {"orgCode",   "vipCode",    "vipInfoId", "bizType", "code",  "sign",
                                 "certiList", "origSaleNo", "OrgCode",   "ywType",  "saleNo"};

// Mostly UTF-8 (what the host and server send), sometimes raw UTF-16 units with lone surrogates.
QString fuzzedText(FuzzedDataProvider &in)
{
    const bool raw = in.ConsumeBool();
    const std::string bytes = in.ConsumeRandomLengthString(48);
    if (raw) {
        return QString::fromUtf16(reinterpret_cast<const char16_t *>(bytes.data()), static_cast<int>(bytes.size() / 2));
    }
    return QString::fromUtf8(bytes.data(), static_cast<int>(bytes.size()));
}

QString fuzzedKey(FuzzedDataProvider &in)
{
    if (in.ConsumeBool())
        return QString::fromLatin1(in.PickValueInArray(knownKeys));
    return fuzzedText(in);
}

bool isUnreservedOrEscape(const QByteArray &encoded)
{
    for (int i = 0; i < encoded.size(); ++i) {
        const char c = encoded.at(i);
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.'
            || c == '_' || c == '~')
            continue;
        if (c != '%' || i + 2 >= encoded.size())
            return false;
        for (int k = 1; k <= 2; ++k) {
            const char h = encoded.at(i + k);
            if (!((h >= '0' && h <= '9') || (h >= 'A' && h <= 'F')))
                return false;
        }
        i += 2;
    }
    return true;
}

bool isLowerHexDigest(const QString &signature)
{
    if (signature.size() != 32)
        return false;
    for (const QChar c : signature) {
        if (!((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('f'))))
            return false;
    }
    return true;
}

bool allSurviveUtf8(const Gateway::ParamSet &params)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!Fuzz::survivesUtf8(it.key()) || !Fuzz::survivesUtf8(it.value()))
            return false;
    }
    return true;
}

bool qtJsonReadsAllBack(const Gateway::ParamSet &params)
{
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        if (!Fuzz::qtJsonReadsBack(it.key()) || !Fuzz::qtJsonReadsBack(it.value()))
            return false;
    }
    return true;
}

void checkSigning(const Gateway::ParamSet &params)
{
    const QString key = Gateway::signingKey();
    const Gateway::QuerySignature query = Gateway::signQuery(params);
    FUZZ_CHECK(query.baseText == query.paramText + QStringLiteral("&key=") + key);
    FUZZ_CHECK(isLowerHexDigest(query.signature));
    FUZZ_CHECK(query.signature.toLatin1()
               == QCryptographicHash::hash(query.baseText.toUtf8(), QCryptographicHash::Md5).toHex());

    // Both forms sign the same pairs; only the joint before the key differs.
    const Gateway::SignedFormBody form = Gateway::signFormBody(params);
    const QString expectedBase =
        query.paramText.isEmpty() ? QStringLiteral("key=") + key : query.paramText + QStringLiteral("&key=") + key;
    FUZZ_CHECK(form.baseText == expectedBase);
    FUZZ_CHECK(form.signature.toLatin1()
               == QCryptographicHash::hash(form.baseText.toUtf8(), QCryptographicHash::Md5).toHex());
    // With nothing to sign the query form still keeps its "&" before the key; the body does not.
    if (!query.paramText.isEmpty())
        FUZZ_CHECK(form.signature == query.signature);

    bool keysPlain = true;
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        keysPlain = keysPlain && !it.key().contains(QLatin1Char('%'));
    if (keysPlain && allSurviveUtf8(params)) {
        const QByteArray wire = form.body.toLatin1();
        FUZZ_CHECK(QString::fromUtf8(QByteArray::fromPercentEncoding(wire)) == form.plainBody);
        FUZZ_CHECK(form.body.contains(QStringLiteral("sign=") + form.signature));
    }

    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        const QByteArray encoded = Gateway::percentEncode(it.value());
        FUZZ_CHECK(isUnreservedOrEscape(encoded));
        FUZZ_CHECK(QByteArray::fromPercentEncoding(encoded) == it.value().toUtf8());
    }
}

void checkJson(const Gateway::ParamSet &params)
{
    QJsonObject object;
    QJsonArray array;
    for (auto it = params.cbegin(); it != params.cend(); ++it) {
        object.insert(it.key(), it.value());
        array.append(it.value());
    }
    const QString objectText = Gateway::jsonToString(object);
    const QString arrayText = Gateway::jsonToString(array);
    if (!qtJsonReadsAllBack(params))
        return;
    QJsonParseError error;
    const QJsonDocument objectBack = QJsonDocument::fromJson(objectText.toUtf8(), &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError);
    // Pair by pair: Qt orders keys by code point when it parses and by UTF-16 unit when it
    // inserts, so with keys mixing characters above U+FFFF and in U+E000..U+FFFF, == fails on
    // equal objects and value() on the parsed one can miss a key it holds. The server reads the
    // text, not Qt's order; walking the parsed object and looking up in ours judges the text.
    const QJsonObject readBack = objectBack.object();
    FUZZ_CHECK(readBack.size() == object.size());
    for (auto it = readBack.constBegin(); it != readBack.constEnd(); ++it)
        FUZZ_CHECK(object.contains(it.key()) && object.value(it.key()) == it.value());
    const QJsonDocument arrayBack = QJsonDocument::fromJson(arrayText.toUtf8(), &error);
    FUZZ_CHECK(error.error == QJsonParseError::NoError);
    FUZZ_CHECK(arrayBack.array() == array);
    FUZZ_CHECK(!objectText.contains(QLatin1Char('\n')) && !arrayText.contains(QLatin1Char('\n')));
}

void checkCodeArray(const QString &codes)
{
    const QString text = Gateway::couponCodeArray(codes);
    const QStringList codeList = codes.split(QLatin1Char(';'));
    for (const QString &code : codeList) {
        if (!Fuzz::qtJsonReadsBack(code))
            return;
    }
    const QJsonArray back = QJsonDocument::fromJson(text.toUtf8()).array();
    FUZZ_CHECK(back.size() == codes.count(QLatin1Char(';')) + 1);
    QStringList parts;
    for (const QJsonValue &part : back)
        parts.append(part.toString());
    FUZZ_CHECK(parts.join(QLatin1Char(';')) == codes);
}

TranMainDetail fuzzedHeader(FuzzedDataProvider &in)
{
    TranMainDetail header;
    for (QString *field :
         {&header.OrgCode, &header.vip_id, &header.vip_no, &header.bizBillNo, &header.saleNo, &header.SsTotal,
          &header.tr_amt, &header.pay_code, &header.PayNo, &header.Mch, &header.oriBillNo, &header.oriSaleNo})
        *field = fuzzedText(in);
    return header;
}

GoodDetail fuzzedGood(FuzzedDataProvider &in, const QList<PluDetail> &plus)
{
    GoodDetail good;
    // Half the goods lines name one of the sale's goods, so the department lookup hits.
    if (!plus.isEmpty() && in.ConsumeBool())
        good.outPluId = plus.at(in.ConsumeIntegralInRange<int>(0, plus.size() - 1)).PI;
    else
        good.outPluId = fuzzedText(in);
    for (QString *field :
         {&good.index, &good.pluId, &good.pluName, &good.transCount, &good.apportionAmount, &good.unPayAmount})
        *field = fuzzedText(in);
    return good;
}

TranPayDetail fuzzedPay(FuzzedDataProvider &in, const TranMainDetail &header)
{
    TranPayDetail pay;
    pay.payCode = in.ConsumeBool() ? header.pay_code : fuzzedText(in);
    pay.payTotal = fuzzedText(in);
    pay.payNo = fuzzedText(in);
    pay.extPayNo = fuzzedText(in);
    return pay;
}

}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider in(data, size);

    Gateway::ParamSet params;
    const int paramCount = in.ConsumeIntegralInRange(0, 8);
    for (int i = 0; i < paramCount; ++i) {
        const QString key = fuzzedKey(in);
        params.insert(key, fuzzedText(in));
    }
    checkSigning(params);
    checkJson(params);

    const TranMainDetail header = fuzzedHeader(in);
    checkCodeArray(header.PayNo);
    checkSigning(Gateway::cancelPaymentParams(header));

    QList<PluDetail> plus;
    PluIndex pluIndex;
    const int pluCount = in.ConsumeIntegralInRange(0, 3);
    for (int i = 0; i < pluCount; ++i) {
        PluDetail plu;
        plu.PI = fuzzedText(in);
        plu.Dep = fuzzedText(in);
        plu.DepId = fuzzedText(in);
        plu.DepName = fuzzedText(in);
        plus.append(plu);
        pluIndex.insert(plu.PI, plu);
    }
    QList<VipCouponDetail> selected;
    const int couponCount = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < couponCount; ++i) {
        VipCouponDetail coupon;
        coupon.index = fuzzedText(in);
        coupon.certiInfoCode = fuzzedText(in);
        coupon.realCertiMe = fuzzedText(in);
        const int goodsCount = in.ConsumeIntegralInRange(0, 3);
        for (int g = 0; g < goodsCount; ++g)
            coupon.goodsList.append(fuzzedGood(in, plus));
        selected.append(coupon);
    }
    const Gateway::ParamSet consume = Gateway::batchConsumeParams(header, selected, pluIndex);
    const QJsonArray certiList = QJsonDocument::fromJson(consume.value(QStringLiteral("certiList")).toUtf8()).array();
    FUZZ_CHECK(certiList.size() == selected.size());
    checkSigning(consume);

    QList<TranPayDetail> payR, payNowR;
    const int payRCount = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < payRCount; ++i)
        payR.append(fuzzedPay(in, header));
    const int payNowRCount = in.ConsumeIntegralInRange(0, 4);
    for (int i = 0; i < payNowRCount; ++i)
        payNowR.append(fuzzedPay(in, header));
    const Gateway::RefundPlan plan = Gateway::planRefund(header, payR, payNowR);
    FUZZ_CHECK(plan.ok == plan.message.isEmpty());
    if (plan.ok) {
        // The refunded line is one of the original sale's lines of the library's own payment.
        FUZZ_CHECK(plan.refunded.payCode == header.pay_code);
        bool fromPayR = false;
        for (const TranPayDetail &pay : payR) {
            fromPayR = fromPayR
                || (pay.payNo == plan.refunded.payNo && pay.payTotal == plan.refunded.payTotal
                    && pay.extPayNo == plan.refunded.extPayNo);
        }
        FUZZ_CHECK(fromPayR);
        checkSigning(Gateway::returnParams(header, plan.refunded));
    }
    return 0;
}
