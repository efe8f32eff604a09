#include "gateway/replies.h"

#include "support/amounts.h"
#include "support/jsonguard.h"

#include <cmath>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariant>

namespace Gateway {

namespace {

// Integers beyond this lose digits in a double anyway; below it they print without exponent.
constexpr double largestExactInteger = 9007199254740992.0; // 2^53

QString text(const QJsonObject &object, const char *key)
{
    return jsonText(object.value(QLatin1String(key)));
}

GoodDetail readGood(const QJsonObject &o)
{
    GoodDetail g;
    g.index = text(o, "index");
    g.outPluId = text(o, "outPluId");
    g.pluId = text(o, "pluId");
    g.pluCode = text(o, "pluCode");
    g.pluName = text(o, "pluName");
    g.transCount = text(o, "transCount");
    g.shouldTotal = text(o, "shouldTotal");
    g.actualAmount = text(o, "actualAmount");
    g.shopClsId = text(o, "shopClsId");
    g.shopClsCode = text(o, "shopClsCode");
    g.brandId = text(o, "brandId");
    g.brandCode = text(o, "brandCode");
    g.apportionAmountAllType = text(o, "apportionAmountAllType");
    g.apportionAmount = text(o, "apportionAmount");
    g.thresholdAmount = text(o, "thresholdAmount");
    g.unPayAmount = text(o, "unPayAmount");
    return g;
}

VipCouponDetail readCoupon(const QJsonObject &o)
{
    VipCouponDetail c;
    c.certiInfoId = text(o, "certiInfoId");
    c.certiInfoCode = text(o, "certiInfoCode");
    c.certiInfoName = text(o, "certiInfoName");
    c.certiInfoStatus = text(o, "certiInfoStatus");
    c.certiType = text(o, "certiType");
    c.certiTypeId = text(o, "certiTypeId");
    c.certiTypeName = text(o, "certiTypeName");
    c.certiMe = text(o, "certiMe");
    c.certiMeType = text(o, "certiMeType");
    c.certiMeMin = text(o, "certiMeMin");
    c.certiMeMax = text(o, "certiMeMax");
    c.realCertiMe = text(o, "realCertiMe");
    c.bgndate = text(o, "bgndate");
    c.enddate = text(o, "enddate");
    c.depict = text(o, "depict");
    c.vipId = text(o, "vipId");
    c.vipCode = text(o, "vipCode");
    c.minConsume = text(o, "minConsume");
    c.apportionType = text(o, "apportionType");
    c.consumeCountLimit = text(o, "consumeCountLimit");
    c.crossTypeUse = text(o, "crossTypeUse");
    c.availableFlag = text(o, "availableFlag");
    c.checkFlag = text(o, "checkFlag");
    c.unAvailableRemark = text(o, "unAvailableRemark");
    const QJsonArray goods = o.value(QLatin1String("goodsList")).toArray();
    c.goodsList.reserve(goods.size());
    for (const QJsonValue &g : goods)
        c.goodsList.append(readGood(g.toObject()));
    return c;
}

CouponPayDetail readPay(const QJsonObject &o)
{
    CouponPayDetail p;
    p.payTotal = text(o, "payTotal");
    p.certiInfoId = text(o, "certiInfoId");
    p.certiInfoCode = text(o, "certiInfoCode");
    p.certiInfoName = text(o, "certiInfoName");
    return p;
}

// A line whose coupon share rounds to nothing at the till's two decimals carries no coupon.
bool carriesShare(const QString &apportionAmount)
{
    if (apportionAmount.isEmpty())
        return false;
    const QString rounded = Amounts::twoDecimals(Amounts::valueOf(apportionAmount));
    return rounded != QLatin1String("0.00") && rounded != QLatin1String("-0.00");
}

// Present and an object; anything else reads as a missing node.
bool childObject(const QJsonObject &parent, const char *key, QJsonObject &child)
{
    const QJsonValue value = parent.value(QLatin1String(key));
    if (value.isUndefined())
        return false;
    child = value.toObject();
    return true;
}

// How one call words a reply that is not an accepted envelope.
struct EnvelopeFailureTexts
{
    QString noAnswer;
    QString notObject;
    QString missingCode;
    QString refused; // followed by the server's "msg" when the reply has one
    QString msgSeparator; // between the two
    QString refusedLogFunction; // when set, a log line carries the server's "msg"
    bool logWithoutMsg = false; // ... even when the reply has none
};

// True when the envelope was accepted; otherwise the cashier's message (and the log line)
// for the failure.
bool acceptedEnvelope(const Envelope &envelope, const EnvelopeFailureTexts &texts, QString &message, LogLines &log)
{
    switch (envelope.state) {
    case EnvelopeState::NoAnswer:
        message = texts.noAnswer;
        return false;
    case EnvelopeState::NotObject:
        message = texts.notObject;
        return false;
    case EnvelopeState::MissingCode:
        message = texts.missingCode;
        return false;
    case EnvelopeState::Refused:
        message = texts.refused;
        if (envelope.hasMsg)
            message += texts.msgSeparator + envelope.msg;
        if (!texts.refusedLogFunction.isEmpty() && (envelope.hasMsg || texts.logWithoutMsg))
            log.append({texts.refusedLogFunction, envelope.msg});
        return false;
    case EnvelopeState::Accepted:
        break;
    }
    return true;
}

}

QString jsonText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        // Card numbers and ids arrive as numbers too. Qt keeps a JSON integer that fits 64 bits
        // as one: a double would change the 19-digit card numbers some stores issue.
        const QVariant exact = value.toVariant();
        if (exact.userType() == QMetaType::LongLong)
            return QString::number(exact.toLongLong());
        const double d = value.toDouble();
        // Fractions, and integers beyond 64 bits: every digit a double holds.
        if (std::trunc(d) == d && std::fabs(d) <= largestExactInteger)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', QLocale::FloatingPointShortest);
    }
    return QString();
}

Envelope readEnvelope(const QString &reply)
{
    Envelope envelope;
    // A reply that names a key twice is no answer of the server's API (and would cost the host
    // memory in the reader).
    const QByteArray bytes = reply.toUtf8();
    if (JsonGuard::repeatsKey(bytes))
        return envelope;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        envelope.state = EnvelopeState::NoAnswer;
        return envelope;
    }
    if (!document.isObject()) {
        envelope.state = EnvelopeState::NotObject;
        return envelope;
    }
    envelope.root = document.object();
    if (envelope.root.isEmpty()) {
        envelope.state = EnvelopeState::NoAnswer;
        return envelope;
    }
    envelope.hasMsg = envelope.root.contains(QLatin1String("msg"));
    envelope.msg = text(envelope.root, "msg");
    if (!envelope.root.contains(QLatin1String("code")))
        envelope.state = EnvelopeState::MissingCode;
    else if (text(envelope.root, "code") == QLatin1String("1"))
        envelope.state = EnvelopeState::Refused;
    else
        envelope.state = EnvelopeState::Accepted;
    return envelope;
}

CouponListReply parseCouponListReply(CouponListMode mode, const QString &reply, const QString &vipCouponNoCanShowType)
{
    CouponListReply result;
    const Envelope envelope = readEnvelope(reply);
    static const EnvelopeFailureTexts texts {QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常"),
                                             QStringLiteral("解析会员名下券接口返回，返回信息解析失败"),
                                             QStringLiteral("解析会员名下券接口返回，缺少节点code"),
                                             QString(),
                                             QString(),
                                             QStringLiteral("进行券查询接口解析失败，错误详情"),
                                             true};
    if (!acceptedEnvelope(envelope, texts, result.message, result.log))
        return result;

    QJsonObject meta, data;
    if (!childObject(envelope.root, "meta", meta)) {
        result.message = QStringLiteral("解析会员名下券接口返回，缺少节点meta");
        return result;
    }
    if (!childObject(meta, "data", data)) {
        result.message = QStringLiteral("解析会员名下券接口返回，缺少节点data");
        return result;
    }
    if (!data.contains(QLatin1String("certiList"))) {
        result.message = QStringLiteral("解析会员名下券接口返回，缺少节点certiList");
        return result;
    }

    const QJsonArray certiList = data.value(QLatin1String("certiList")).toArray();
    result.log.append({QStringLiteral("certilist解析"), QStringLiteral("开始")});
    result.log.append({QStringLiteral("certiList.size"), QString::number(certiList.size())});

    // The first list of a sale may hide what the member cannot use here; the follow-up lists
    // must keep them so the dialog can show why they went grey.
    const bool hideUnavailable = mode == CouponListMode::Member && vipCouponNoCanShowType == QLatin1String("0");
    QString unavailableCodes;
    result.coupons.reserve(certiList.size());
    for (const QJsonValue &entry : certiList) {
        const QJsonObject coupon = entry.toObject();
        if (text(coupon, "availableFlag") == QLatin1String("0")) {
            unavailableCodes += text(coupon, "certiInfoCode");
            unavailableCodes += QLatin1Char(' ');
            if (hideUnavailable)
                continue;
        }
        result.coupons.append(readCoupon(coupon));
    }

    result.log.append(
        {QStringLiteral("certilist解析"),
         QStringLiteral("完成") + QString::number(static_cast<int>(mode)) + QLatin1Char('-') + vipCouponNoCanShowType});
    result.log.append({QStringLiteral("获取会员名下券成功，券列表长度为："), QString::number(result.coupons.size())});
    result.log.append({QStringLiteral("获取会员名下券成功，不可用券号为："), unavailableCodes});

    if (data.contains(QLatin1String("payList"))) {
        const QJsonArray pays = data.value(QLatin1String("payList")).toArray();
        for (const QJsonValue &pay : pays)
            result.pays.append(readPay(pay.toObject()));
    }
    if (data.contains(QLatin1String("goodsList"))) {
        const QJsonArray goods = data.value(QLatin1String("goodsList")).toArray();
        for (const QJsonValue &entry : goods) {
            GoodDetail good = readGood(entry.toObject());
            if (carriesShare(good.apportionAmount))
                result.goods.append(std::move(good));
        }
    }
    if (!result.goods.isEmpty()) {
        CouponPayDetail couponLine;
        couponLine.payTotal = QStringLiteral("0.00");
        couponLine.certiInfoCode = QStringLiteral("YHQ");
        result.pays.append(couponLine);
    }
    result.ok = true;
    return result;
}

VipInfoReply parseVipInfoReply(const QString &reply)
{
    VipInfoReply result;
    const Envelope envelope = readEnvelope(reply);
    static const EnvelopeFailureTexts texts {QStringLiteral("会员查询接口异常，请检查接口配置是否正确或网络是否正常"),
                                             QStringLiteral("会员查询接口返回信息解析失败"),
                                             QStringLiteral("会员查询接口返回，缺少节点code"),
                                             QStringLiteral("会员查询接口失败"),
                                             QStringLiteral("，"),
                                             QString(),
                                             false};
    LogLines unused;
    if (!acceptedEnvelope(envelope, texts, result.message, unused))
        return result;

    QJsonObject meta, data;
    if (!childObject(envelope.root, "meta", meta)) {
        result.message = QStringLiteral("会员查询接口返回，缺少节点meta");
        return result;
    }
    if (!childObject(meta, "data", data)) {
        result.message = QStringLiteral("会员查询接口返回，缺少节点data");
        return result;
    }
    if (!data.contains(QLatin1String("cardNo"))) {
        result.message = QStringLiteral("会员查询接口返回，缺少节点cardNo");
        return result;
    }
    result.cardNo = text(data, "cardNo");
    result.ok = true;
    return result;
}

ConsumeReply parseBatchConsumeReply(const QString &reply)
{
    ConsumeReply result;
    const Envelope envelope = readEnvelope(reply);
    static const EnvelopeFailureTexts texts {QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常"),
                                             QStringLiteral("解析会员名下券接口返回，返回信息解析失败"),
                                             QStringLiteral("解析会员名下券接口返回，缺少节点code"),
                                             QStringLiteral("批量券核销接口返回失败"),
                                             QString(),
                                             QStringLiteral("批量券核销接口返回错误"),
                                             false};
    if (!acceptedEnvelope(envelope, texts, result.message, result.log))
        return result;
    result.log.append({QStringLiteral("批量核销接口调用"), QStringLiteral("成功")});
    result.ok = true;
    return result;
}

CancelReply parseCancelReply(const QString &reply)
{
    CancelReply result;
    const Envelope envelope = readEnvelope(reply);
    static const EnvelopeFailureTexts texts {
        QStringLiteral("线下交易券撤销接口异常，请检查接口配置是否正确或网络是否正常"),
        QStringLiteral("线下交易券撤销接口返回信息解析失败"),
        QStringLiteral("线下交易券撤销接口返回，缺少节点code"),
        QStringLiteral("线下交易券撤销接口失败"),
        QStringLiteral("，"),
        QString(),
        false};
    LogLines unused;
    if (!acceptedEnvelope(envelope, texts, result.message, unused))
        return result;

    QJsonObject meta;
    if (!childObject(envelope.root, "meta", meta)) {
        result.message = QStringLiteral("线下交易券撤销接口返回，缺少节点meta");
        return result;
    }
    if (!meta.contains(QLatin1String("data"))) {
        result.message = QStringLiteral("线下交易券撤销接口返回，缺少节点data");
        return result;
    }
    const QJsonArray data = meta.value(QLatin1String("data")).toArray();
    for (const QJsonValue &entry : data) {
        const QJsonObject coupon = entry.toObject();
        if (!coupon.contains(QLatin1String("certiInfoCode"))) {
            result.message = QStringLiteral("线下交易券撤销接口返回，缺少节点certiInfoCode");
            return result;
        }
        if (!coupon.contains(QLatin1String("consumeAmount"))) {
            result.message = QStringLiteral("线下交易券撤销接口返回，缺少节点consumeAmount");
            return result;
        }
        VipCouponDetail cancelled;
        cancelled.certiInfoCode = text(coupon, "certiInfoCode");
        cancelled.realCertiMe = text(coupon, "consumeAmount");
        cancelled.apportionType = QStringLiteral("1");
        result.cancelled.append(cancelled);
    }
    result.ok = true;
    return result;
}

}
