#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include "signature.h"

namespace ScrmSim {

// Amounts are handled in cents so that shares always add up exactly.
qint64 toCents(const QJsonValue &value);
QString formatCents(qint64 cents);

// How one coupon's amount falls on the cart's goods lines: proportional to each line's actual
// amount, rounded half up to the cent, never more than what is left; the last line with a
// positive amount takes the remainder. Lines with no positive amount get nothing. The amount
// shared is capped at the positive total, so the shares never exceed what the cart holds.
QList<qint64> shareByAmount(qint64 amountCents, const QList<qint64> &lineCents);

struct WalletCoupon
{
    QJsonObject fields; // as in the wallet file; passed through into list replies
    QString id; // certiInfoId
    QString code; // certiInfoCode
    qint64 amountCents = 0; // realCertiMe
    qint64 minConsumeCents = 0;
    QString apportionType;
    bool consumed = false;
    qint64 consumedCents = 0; // what the consumption took, given back on cancellation
    QString consumedBill; // the bizBillNo and saleNo that consumed it: only a
    QString consumedSale; // cancellation naming both gives it back
};

struct WalletMember
{
    QString vipInfoId;
    QString cardNo;
    QString orgCode;
    QList<WalletCoupon> coupons;
};

// A small stateful SCRM server: members, their coupons and the coupons' state. Every operation
// takes the request as the server has parsed it and answers a complete reply envelope.
class Wallet
{
public:
    bool load(const QJsonObject &document, QString *error);
    QJsonObject toJson() const;

    QJsonObject vipInfo(const QJsonObject &body) const;
    // offlineCertiList (withSelection false) and offlineCertiSelectList (true).
    QJsonObject couponList(const QJsonObject &body, bool withSelection) const;
    // Both change state only when they answer code "0"; a refusal leaves every coupon as it was.
    QJsonObject batchConsume(const FormFields &fields);
    QJsonObject cancel(const FormFields &fields);

    // nullptr when the wallet has no coupon with this code.
    const WalletCoupon *coupon(const QString &code) const;

private:
    const WalletMember *memberByCard(const QString &cardNo, const QString &orgCode) const;
    int memberById(const QString &vipInfoId, const QString &orgCode) const;
    bool findCoupon(int memberIndex, const QString &code, int *member, int *coupon) const;
    QJsonObject goodsLine(const QJsonObject &cartLine, qint64 shareCents, qint64 allTypeCents) const;

    QList<WalletMember> m_members;
    QJsonObject m_goods; // outPluId -> server-side goods data
};

}
