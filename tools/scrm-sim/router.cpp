#include "router.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace ScrmSim {

namespace {

QString bodyText(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 15);
    return QString();
}

QStringList signedKeys(Api api)
{
    if (api == Api::VipInfo)
        return {QStringLiteral("bizType"), QStringLiteral("orgCode"), QStringLiteral("vipInfoId")};
    return {QStringLiteral("orgCode"), QStringLiteral("vipCode")};
}

bool isRefusal(const QJsonObject &envelope)
{
    return envelope.value(QStringLiteral("code")).toString() == QLatin1String("1");
}

}

Api apiForPath(const QString &path)
{
    if (path == QLatin1String("/posPortal/vipInfo"))
        return Api::VipInfo;
    if (path == QLatin1String("/posPortal/offlineCertiList"))
        return Api::CouponList;
    if (path == QLatin1String("/posPortal/offlineCertiSelectList"))
        return Api::CouponSelectList;
    if (path == QLatin1String("/posPortal/batchConsumeCerti"))
        return Api::BatchConsume;
    if (path == QLatin1String("/posPortal/offlineCancelCerti"))
        return Api::CancelCoupons;
    return Api::Unknown;
}

bool usesQueryForm(Api api)
{
    return api == Api::VipInfo || api == Api::CouponList || api == Api::CouponSelectList;
}

QString mediaType(const QString &contentType)
{
    return contentType.section(QLatin1Char(';'), 0, 0).trimmed().toLower();
}

QString Request::header(const QString &name) const
{
    for (const auto &header : headers) {
        if (header.first.compare(name, Qt::CaseInsensitive) == 0)
            return header.second;
    }
    return QString();
}

RequestCheck checkRequest(Api api, const Request &request)
{
    RequestCheck check;
    const QString contentType = mediaType(request.header(QStringLiteral("Content-Type")));

    if (usesQueryForm(api)) {
        check.contentTypeOk = contentType == QLatin1String("application/json");
        const SignedQuery query = splitSignedQuery(request.query);
        check.signedText = query.signedText;
        check.signatureValid = query.hasSign && md5Hex(queryBaseText(query.signedText)) == query.signature;
        QJsonParseError parseError;
        const QJsonDocument document = QJsonDocument::fromJson(request.body, &parseError);
        check.json = document.object();
        if (document.isObject()) {
            FormFields fromBody;
            for (const QString &key : signedKeys(api))
                fromBody.insert(key, bodyText(check.json.value(key)));
            check.paramsMatch = joinSignedParams(fromBody) == query.signedText;
        }
        if (!check.contentTypeOk)
            check.refusal = QStringLiteral("Content-Type错误，应为application/json");
        else if (!query.hasSign)
            check.refusal = QStringLiteral("缺少签名参数sign");
        else if (!check.signatureValid)
            check.refusal = QStringLiteral("签名校验失败");
        else if (!document.isObject())
            check.refusal = QStringLiteral("请求报文不是JSON对象");
        else if (!check.paramsMatch)
            check.refusal = QStringLiteral("签名参数与请求报文不一致");
        return check;
    }

    check.contentTypeOk = contentType == QLatin1String("application/x-www-form-urlencoded");
    check.fields = parseFormBody(request.body);
    FormFields unsigned_ = check.fields;
    unsigned_.remove(QStringLiteral("sign"));
    check.signedText = joinSignedParams(unsigned_);
    const bool hasSign = check.fields.contains(QStringLiteral("sign"));
    check.signatureValid = hasSign && md5Hex(formBaseText(check.fields)) == check.fields.value(QStringLiteral("sign"));
    check.paramsMatch = true;
    if (!check.contentTypeOk)
        check.refusal = QStringLiteral("Content-Type错误，应为application/x-www-form-urlencoded");
    else if (!hasSign)
        check.refusal = QStringLiteral("缺少签名参数sign");
    else if (!check.signatureValid)
        check.refusal = QStringLiteral("签名校验失败");
    return check;
}

Router::Outcome Router::handle(const Request &request, const QDateTime &receivedAt)
{
    Outcome outcome;
    QJsonObject headers;
    for (const auto &header : request.headers) {
        const QString previous = headers.value(header.first).toString();
        headers.insert(header.first,
                       previous.isEmpty() ? header.second : previous + QStringLiteral(", ") + header.second);
    }
    QJsonObject &record = outcome.record;
    record.insert(QStringLiteral("time"), receivedAt.toString(Qt::ISODateWithMs));
    record.insert(QStringLiteral("method"), request.method);
    record.insert(QStringLiteral("path"), request.path);
    record.insert(QStringLiteral("query"), QString::fromUtf8(request.query));
    record.insert(QStringLiteral("headers"), headers);
    record.insert(QStringLiteral("contentType"), request.header(QStringLiteral("Content-Type")));
    record.insert(QStringLiteral("body"), QString::fromUtf8(request.body));

    const Api api = apiForPath(request.path);
    // A scenario may also serve paths of its own (transport tests need no signed API behind them).
    if (api == Api::Unknown && m_scenario.handles(request.path)) {
        outcome.reply = m_scenario.next(request.path);
        record.insert(QStringLiteral("signatureValid"), false);
        record.insert(QStringLiteral("status"), outcome.reply.status);
        return outcome;
    }
    if (api == Api::Unknown) {
        outcome.reply = plainReply(404, QByteArrayLiteral("Not Found"));
        record.insert(QStringLiteral("signatureValid"), false);
        record.insert(QStringLiteral("status"), 404);
        return outcome;
    }
    if (request.method != QLatin1String("POST")) {
        outcome.reply = plainReply(405, QByteArrayLiteral("Method Not Allowed"));
        record.insert(QStringLiteral("signatureValid"), false);
        record.insert(QStringLiteral("status"), 405);
        return outcome;
    }

    const RequestCheck check = checkRequest(api, request);
    record.insert(QStringLiteral("signatureValid"), check.signatureValid);
    record.insert(QStringLiteral("paramsMatch"), check.paramsMatch);
    record.insert(QStringLiteral("signedText"), check.signedText);
    if (!usesQueryForm(api)) {
        QJsonObject fields;
        for (auto it = check.fields.cbegin(); it != check.fields.cend(); ++it)
            fields.insert(it.key(), it.value());
        record.insert(QStringLiteral("fields"), fields);
    }

    const bool refused = !check.refusal.isEmpty();
    const bool scripted = m_scenario.handles(request.path) && !(refused && m_scenario.verifiesRequests());
    Reply scriptedReply;
    if (scripted)
        scriptedReply = m_scenario.next(request.path);
    if (scripted && !(scriptedReply.apply && !refused)) {
        outcome.reply = scriptedReply;
    } else if (refused) {
        outcome.reply = refusalReply(check.refusal);
        record.insert(QStringLiteral("refusal"), check.refusal);
    } else {
        QJsonObject envelope;
        switch (api) {
        case Api::VipInfo:
            envelope = m_wallet.vipInfo(check.json);
            break;
        case Api::CouponList:
            envelope = m_wallet.couponList(check.json, false);
            break;
        case Api::CouponSelectList:
            envelope = m_wallet.couponList(check.json, true);
            break;
        case Api::BatchConsume:
            envelope = m_wallet.batchConsume(check.fields);
            outcome.walletChanged = !isRefusal(envelope);
            break;
        case Api::CancelCoupons:
            envelope = m_wallet.cancel(check.fields);
            outcome.walletChanged = !isRefusal(envelope);
            break;
        case Api::Unknown:
            break;
        }
        outcome.reply = jsonReply(envelope);
        // A scripted misbehaviour after the wallet has acted: the answer lost on its way back.
        if (scripted) {
            const QByteArray walletBody = outcome.reply.body;
            outcome.reply = scriptedReply;
            if (outcome.reply.body.isEmpty())
                outcome.reply.body = walletBody;
        }
    }
    record.insert(QStringLiteral("status"), outcome.reply.status);
    return outcome;
}

}
