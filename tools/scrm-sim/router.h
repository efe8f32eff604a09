#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QList>
#include <QPair>
#include <QString>

#include "reply.h"
#include "scenario.h"
#include "signature.h"
#include "wallet.h"

namespace ScrmSim {

enum class Api { VipInfo, CouponList, CouponSelectList, BatchConsume, CancelCoupons, Unknown };

Api apiForPath(const QString &path);
// The member lookup and the coupon lists sign in the URL and send JSON; the rest send forms.
bool usesQueryForm(Api api);
// "application/json; charset=UTF-8" -> "application/json"
QString mediaType(const QString &contentType);

// A request as the HTTP layer received it.
struct Request
{
    QString method = QStringLiteral("POST");
    QString path; // decoded
    QByteArray query; // raw text after '?', exactly as on the wire
    QList<QPair<QString, QString>> headers;
    QByteArray body;

    QString header(const QString &name) const; // case-insensitive; empty when absent
};

// What the server makes of a request before it answers it.
struct RequestCheck
{
    bool contentTypeOk = false;
    bool signatureValid = false;
    bool paramsMatch = false; // query form: the signed parameters are the body's values
    QString signedText; // the parameter text that the signature covers
    QString refusal; // empty when the request is acceptable
    QJsonObject json; // query form: the parsed body
    FormFields fields; // form body: the parsed fields
};

RequestCheck checkRequest(Api api, const Request &request);

// Parsed request in, reply out. Not thread-safe: the HTTP shell serialises calls.
class Router
{
public:
    struct Outcome
    {
        Reply reply;
        QJsonObject record; // one line of the request record
        bool walletChanged = false;
    };

    void setWallet(const Wallet &wallet) { m_wallet = wallet; }
    void setScenario(const Scenario &scenario) { m_scenario = scenario; }
    const Wallet &wallet() const { return m_wallet; }

    Outcome handle(const Request &request, const QDateTime &receivedAt);

private:
    Wallet m_wallet;
    Scenario m_scenario;
};

}
