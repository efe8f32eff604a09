#include "wallet.h"

#include <QJsonDocument>
#include <QSet>

namespace ScrmSim {

namespace {

const QStringList couponMembers = {
    QStringLiteral("certiInfoId"),     QStringLiteral("certiInfoCode"),     QStringLiteral("certiInfoName"),
    QStringLiteral("certiInfoStatus"), QStringLiteral("certiType"),         QStringLiteral("certiTypeId"),
    QStringLiteral("certiTypeName"),   QStringLiteral("certiMe"),           QStringLiteral("certiMeType"),
    QStringLiteral("certiMeMin"),      QStringLiteral("certiMeMax"),        QStringLiteral("realCertiMe"),
    QStringLiteral("bgndate"),         QStringLiteral("enddate"),           QStringLiteral("depict"),
    QStringLiteral("vipId"),           QStringLiteral("vipCode"),           QStringLiteral("minConsume"),
    QStringLiteral("apportionType"),   QStringLiteral("consumeCountLimit"), QStringLiteral("crossTypeUse"),
    QStringLiteral("availableFlag"),   QStringLiteral("checkFlag"),         QStringLiteral("unAvailableRemark")};

QString text(const QJsonValue &value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble())
        return QString::number(value.toDouble(), 'g', 15);
    if (value.isBool())
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    return QString();
}

QJsonObject success(const QJsonValue &data, const QString &msg)
{
    QJsonObject meta;
    meta.insert(QStringLiteral("data"), data);
    QJsonObject envelope;
    envelope.insert(QStringLiteral("code"), QStringLiteral("0"));
    envelope.insert(QStringLiteral("msg"), msg);
    envelope.insert(QStringLiteral("meta"), meta);
    return envelope;
}

QJsonObject refusal(const QString &msg)
{
    QJsonObject envelope;
    envelope.insert(QStringLiteral("code"), QStringLiteral("1"));
    envelope.insert(QStringLiteral("msg"), msg);
    return envelope;
}

bool orgMatches(const QString &memberOrg, const QString &requestOrg)
{
    return memberOrg.isEmpty() || memberOrg == requestOrg;
}

struct Verdict
{
    bool available = true;
    bool checked = false;
    QString remark;
};

QString unfitReason(const WalletCoupon &coupon, qint64 cartCents, qint64 takenCents, bool hasType2)
{
    if (coupon.consumed)
        return QStringLiteral("券已使用");
    if (coupon.minConsumeCents > cartCents)
        return QStringLiteral("未达到最低消费金额%1元").arg(formatCents(coupon.minConsumeCents));
    if (takenCents + coupon.amountCents > cartCents)
        return QStringLiteral("券金额超出订单可用金额");
    if (hasType2 && coupon.apportionType == QLatin1String("2"))
        return QStringLiteral("不可与已选同类券叠加使用");
    return QString();
}

}

qint64 toCents(const QJsonValue &value)
{
    const double amount = value.isDouble() ? value.toDouble() : value.toString().trimmed().toDouble();
    return qRound64(amount * 100.0);
}

QString formatCents(qint64 cents)
{
    const qint64 magnitude = cents < 0 ? -cents : cents;
    return QStringLiteral("%1%2.%3")
        .arg(cents < 0 ? QStringLiteral("-") : QString())
        .arg(magnitude / 100)
        .arg(magnitude % 100, 2, 10, QLatin1Char('0'));
}

QList<qint64> shareByAmount(qint64 amountCents, const QList<qint64> &lineCents)
{
    QList<qint64> shares;
    qint64 total = 0;
    int last = -1;
    for (int i = 0; i < lineCents.size(); ++i) {
        shares.append(0);
        if (lineCents.at(i) > 0) {
            total += lineCents.at(i);
            last = i;
        }
    }
    if (total <= 0 || amountCents <= 0)
        return shares;
    const qint64 amount = qMin(amountCents, total);
    qint64 given = 0;
    for (int i = 0; i <= last; ++i) {
        if (lineCents.at(i) <= 0)
            continue;
        qint64 share = i == last ? amount - given : (2 * amount * lineCents.at(i) + total) / (2 * total);
        // Rounding every line up could overshoot; the shares must add up to the amount exactly.
        share = qMin(share, amount - given);
        shares[i] = share;
        given += share;
    }
    return shares;
}

bool Wallet::load(const QJsonObject &document, QString *error)
{
    if (!document.value(QStringLiteral("members")).isArray()) {
        *error = QStringLiteral("a wallet needs a \"members\" array");
        return false;
    }
    QList<WalletMember> members;
    QSet<QString> codes;
    for (const QJsonValue &memberValue : document.value(QStringLiteral("members")).toArray()) {
        const QJsonObject object = memberValue.toObject();
        WalletMember member;
        member.vipInfoId = text(object.value(QStringLiteral("vipInfoId")));
        member.cardNo = text(object.value(QStringLiteral("cardNo")));
        member.orgCode = text(object.value(QStringLiteral("orgCode")));
        if (member.vipInfoId.isEmpty() || member.cardNo.isEmpty()) {
            *error = QStringLiteral("member %1 needs \"vipInfoId\" and \"cardNo\"").arg(members.size() + 1);
            return false;
        }
        for (const QJsonValue &couponValue : object.value(QStringLiteral("coupons")).toArray()) {
            WalletCoupon coupon;
            coupon.fields = couponValue.toObject();
            coupon.id = text(coupon.fields.value(QStringLiteral("certiInfoId")));
            coupon.code = text(coupon.fields.value(QStringLiteral("certiInfoCode")));
            if (coupon.id.isEmpty() || coupon.code.isEmpty()) {
                *error = QStringLiteral("a coupon of member %1 needs \"certiInfoId\" and \"certiInfoCode\"")
                             .arg(member.vipInfoId);
                return false;
            }
            if (codes.contains(coupon.code)) {
                *error = QStringLiteral("coupon code %1 appears twice").arg(coupon.code);
                return false;
            }
            codes.insert(coupon.code);
            const QJsonValue real = coupon.fields.value(QStringLiteral("realCertiMe"));
            coupon.amountCents = toCents(real.isUndefined() ? coupon.fields.value(QStringLiteral("certiMe")) : real);
            coupon.minConsumeCents = toCents(coupon.fields.value(QStringLiteral("minConsume")));
            coupon.apportionType = text(coupon.fields.value(QStringLiteral("apportionType")));
            const QString state = coupon.fields.value(QStringLiteral("state")).toString(QStringLiteral("available"));
            if (state != QLatin1String("available") && state != QLatin1String("consumed")) {
                *error = QStringLiteral("coupon %1: state must be \"available\" or \"consumed\"").arg(coupon.code);
                return false;
            }
            coupon.consumed = state == QLatin1String("consumed");
            const QJsonValue consumedAmount = coupon.fields.value(QStringLiteral("consumeAmount"));
            coupon.consumedCents = consumedAmount.isUndefined() ? coupon.amountCents : toCents(consumedAmount);
            coupon.consumedBill = text(coupon.fields.value(QStringLiteral("consumedBizBillNo")));
            coupon.consumedSale = text(coupon.fields.value(QStringLiteral("consumedSaleNo")));
            member.coupons.append(coupon);
        }
        members.append(member);
    }
    m_members = members;
    m_goods = document.value(QStringLiteral("goods")).toObject();
    return true;
}

QJsonObject Wallet::toJson() const
{
    QJsonArray members;
    for (const WalletMember &member : m_members) {
        QJsonArray coupons;
        for (const WalletCoupon &coupon : member.coupons) {
            QJsonObject fields = coupon.fields;
            fields.insert(QStringLiteral("state"),
                          coupon.consumed ? QStringLiteral("consumed") : QStringLiteral("available"));
            for (const char *name : {"consumeAmount", "consumedBizBillNo", "consumedSaleNo"})
                fields.remove(QLatin1String(name));
            if (coupon.consumed) {
                fields.insert(QStringLiteral("consumeAmount"), formatCents(coupon.consumedCents));
                fields.insert(QStringLiteral("consumedBizBillNo"), coupon.consumedBill);
                fields.insert(QStringLiteral("consumedSaleNo"), coupon.consumedSale);
            }
            coupons.append(fields);
        }
        QJsonObject object;
        object.insert(QStringLiteral("vipInfoId"), member.vipInfoId);
        object.insert(QStringLiteral("cardNo"), member.cardNo);
        object.insert(QStringLiteral("orgCode"), member.orgCode);
        object.insert(QStringLiteral("coupons"), coupons);
        members.append(object);
    }
    QJsonObject document;
    document.insert(QStringLiteral("members"), members);
    if (!m_goods.isEmpty())
        document.insert(QStringLiteral("goods"), m_goods);
    return document;
}

const WalletMember *Wallet::memberByCard(const QString &cardNo, const QString &orgCode) const
{
    for (const WalletMember &member : m_members) {
        if (member.cardNo == cardNo && orgMatches(member.orgCode, orgCode))
            return &member;
    }
    return nullptr;
}

int Wallet::memberById(const QString &vipInfoId, const QString &orgCode) const
{
    for (int i = 0; i < m_members.size(); ++i) {
        if (m_members.at(i).vipInfoId == vipInfoId && orgMatches(m_members.at(i).orgCode, orgCode))
            return i;
    }
    return -1;
}

// memberIndex -1 searches every member: a cancellation may come without the member id.
bool Wallet::findCoupon(int memberIndex, const QString &code, int *member, int *coupon) const
{
    for (int m = 0; m < m_members.size(); ++m) {
        if (memberIndex >= 0 && m != memberIndex)
            continue;
        for (int c = 0; c < m_members.at(m).coupons.size(); ++c) {
            if (m_members.at(m).coupons.at(c).code == code) {
                *member = m;
                *coupon = c;
                return true;
            }
        }
    }
    return false;
}

const WalletCoupon *Wallet::coupon(const QString &code) const
{
    int m = -1;
    int c = -1;
    return findCoupon(-1, code, &m, &c) ? &m_members.at(m).coupons.at(c) : nullptr;
}

QJsonObject Wallet::vipInfo(const QJsonObject &body) const
{
    const int index =
        memberById(text(body.value(QStringLiteral("vipInfoId"))), text(body.value(QStringLiteral("orgCode"))));
    if (index < 0)
        return refusal(QStringLiteral("会员不存在"));
    QJsonObject data;
    data.insert(QStringLiteral("cardNo"), m_members.at(index).cardNo);
    data.insert(QStringLiteral("vipInfoId"), m_members.at(index).vipInfoId);
    return success(data, QStringLiteral("成功"));
}

QJsonObject Wallet::goodsLine(const QJsonObject &cartLine, qint64 shareCents, qint64 allTypeCents) const
{
    const QString outPluId = text(cartLine.value(QStringLiteral("outPluId")));
    const QJsonObject known = m_goods.value(outPluId).toObject();
    auto field = [&known](const char *name, const QString &fallback) {
        const QJsonValue value = known.value(QLatin1String(name));
        return value.isUndefined() ? fallback : text(value);
    };
    const qint64 actual = toCents(cartLine.value(QStringLiteral("actualAmount")));
    QJsonObject line;
    line.insert(QStringLiteral("index"), text(cartLine.value(QStringLiteral("index"))));
    line.insert(QStringLiteral("outPluId"), outPluId);
    line.insert(QStringLiteral("pluId"), field("pluId", outPluId));
    line.insert(QStringLiteral("pluCode"), field("pluCode", outPluId));
    line.insert(QStringLiteral("pluName"), field("pluName", QString()));
    line.insert(QStringLiteral("shopClsId"), field("shopClsId", QString()));
    line.insert(QStringLiteral("shopClsCode"), field("shopClsCode", QString()));
    line.insert(QStringLiteral("brandId"), field("brandId", QString()));
    line.insert(QStringLiteral("brandCode"), field("brandCode", QString()));
    line.insert(QStringLiteral("transCount"), text(cartLine.value(QStringLiteral("transCount"))));
    line.insert(QStringLiteral("shouldTotal"), text(cartLine.value(QStringLiteral("shouldTotal"))));
    line.insert(QStringLiteral("actualAmount"), text(cartLine.value(QStringLiteral("actualAmount"))));
    line.insert(QStringLiteral("thresholdAmount"), formatCents(actual));
    line.insert(QStringLiteral("apportionAmount"), formatCents(shareCents));
    line.insert(QStringLiteral("apportionAmountAllType"), formatCents(allTypeCents));
    line.insert(QStringLiteral("unPayAmount"), formatCents(actual - allTypeCents));
    return line;
}

QJsonObject Wallet::couponList(const QJsonObject &body, bool withSelection) const
{
    const WalletMember *member =
        memberByCard(text(body.value(QStringLiteral("vipCode"))), text(body.value(QStringLiteral("orgCode"))));
    if (!member)
        return refusal(QStringLiteral("会员不存在"));

    const QJsonArray cart = body.value(QStringLiteral("orderGoodsList")).toArray();
    QList<qint64> lineCents;
    qint64 cartCents = 0;
    for (const QJsonValue &line : cart) {
        lineCents.append(toCents(line.toObject().value(QStringLiteral("actualAmount"))));
        cartCents += lineCents.last();
    }

    QList<Verdict> verdicts;
    for (int i = 0; i < member->coupons.size(); ++i)
        verdicts.append(Verdict());
    QSet<int> decided;
    QList<int> taken;
    qint64 takenCents = 0;
    bool hasType2 = false;

    // Ticked coupons are taken in the order the till ticked them; one that no longer fits is
    // handed back as unavailable rather than silently dropped, so the till can show why.
    if (withSelection) {
        for (const QJsonValue &item : body.value(QStringLiteral("selectCertiItemList")).toArray()) {
            const QString id = text(item.toObject().value(QStringLiteral("certiInfoId")));
            for (int i = 0; i < member->coupons.size(); ++i) {
                if (member->coupons.at(i).id != id || decided.contains(i))
                    continue;
                decided.insert(i);
                const QString reason = unfitReason(member->coupons.at(i), cartCents, takenCents, hasType2);
                if (reason.isEmpty()) {
                    verdicts[i].checked = true;
                    taken.append(i);
                    takenCents += member->coupons.at(i).amountCents;
                    hasType2 = hasType2 || member->coupons.at(i).apportionType == QLatin1String("2");
                } else {
                    verdicts[i].available = false;
                    verdicts[i].remark = reason;
                }
                break;
            }
        }
    }
    for (int i = 0; i < member->coupons.size(); ++i) {
        if (decided.contains(i))
            continue;
        const QString reason = unfitReason(member->coupons.at(i), cartCents, takenCents, hasType2);
        verdicts[i].available = reason.isEmpty();
        verdicts[i].remark = reason;
    }

    QList<QList<qint64>> shares;
    for (const WalletCoupon &coupon : member->coupons)
        shares.append(shareByAmount(coupon.amountCents, lineCents));
    QList<qint64> allType;
    for (int line = 0; line < cart.size(); ++line) {
        qint64 sum = 0;
        for (int i : qAsConst(taken))
            sum += shares.at(i).at(line);
        allType.append(sum);
    }

    QJsonArray certiList;
    for (int i = 0; i < member->coupons.size(); ++i) {
        const WalletCoupon &coupon = member->coupons.at(i);
        QJsonObject object;
        for (const QString &name : couponMembers)
            object.insert(name, QString());
        for (auto it = coupon.fields.begin(); it != coupon.fields.end(); ++it) {
            if (it.key() != QLatin1String("state") && it.key() != QLatin1String("consumeAmount")
                && !it.key().startsWith(QLatin1String("consumed")))
                object.insert(it.key(), text(it.value()));
        }
        if (text(object.value(QStringLiteral("certiMeType"))).isEmpty())
            object.insert(QStringLiteral("certiMeType"), QStringLiteral("0"));
        object.insert(QStringLiteral("realCertiMe"), formatCents(coupon.amountCents));
        object.insert(QStringLiteral("minConsume"), formatCents(coupon.minConsumeCents));
        object.insert(QStringLiteral("vipId"), member->vipInfoId);
        object.insert(QStringLiteral("vipCode"), member->cardNo);
        object.insert(QStringLiteral("certiInfoStatus"), coupon.consumed ? QStringLiteral("2") : QStringLiteral("1"));
        object.insert(QStringLiteral("availableFlag"),
                      verdicts.at(i).available ? QStringLiteral("1") : QStringLiteral("0"));
        object.insert(QStringLiteral("checkFlag"), verdicts.at(i).checked ? QStringLiteral("1") : QStringLiteral("0"));
        object.insert(QStringLiteral("unAvailableRemark"), verdicts.at(i).remark);
        QJsonArray goods;
        for (int line = 0; line < cart.size(); ++line)
            goods.append(goodsLine(cart.at(line).toObject(), shares.at(i).at(line), allType.at(line)));
        object.insert(QStringLiteral("goodsList"), goods);
        certiList.append(object);
    }

    QJsonArray goodsList;
    for (int line = 0; line < cart.size(); ++line)
        goodsList.append(goodsLine(cart.at(line).toObject(), allType.at(line), allType.at(line)));

    QJsonArray payList;
    for (int i : qAsConst(taken)) {
        const WalletCoupon &coupon = member->coupons.at(i);
        QJsonObject pay;
        pay.insert(QStringLiteral("payTotal"), formatCents(coupon.amountCents));
        pay.insert(QStringLiteral("certiInfoId"), coupon.id);
        pay.insert(QStringLiteral("certiInfoCode"), coupon.code);
        pay.insert(QStringLiteral("certiInfoName"), text(coupon.fields.value(QStringLiteral("certiInfoName"))));
        payList.append(pay);
    }

    QJsonObject data;
    data.insert(QStringLiteral("certiList"), certiList);
    data.insert(QStringLiteral("goodsList"), goodsList);
    data.insert(QStringLiteral("payList"), payList);
    return success(data, QStringLiteral("成功"));
}

QJsonObject Wallet::batchConsume(const FormFields &fields)
{
    const QString vipInfoId = fields.value(QStringLiteral("vipInfoId"));
    int memberIndex = -1;
    if (!vipInfoId.isEmpty()) {
        memberIndex = memberById(vipInfoId, fields.value(QStringLiteral("orgCode")));
        if (memberIndex < 0)
            return refusal(QStringLiteral("会员不存在"));
    }
    const QJsonDocument list = QJsonDocument::fromJson(fields.value(QStringLiteral("certiList")).toUtf8());
    if (!list.isArray())
        return refusal(QStringLiteral("certiList格式错误"));
    if (list.array().isEmpty())
        return refusal(QStringLiteral("核销券列表为空"));

    struct Take
    {
        int member;
        int coupon;
        qint64 cents;
    };
    QList<Take> takes;
    QSet<QString> seen;
    // Check every coupon before touching any: the batch is consumed whole or not at all.
    for (const QJsonValue &item : list.array()) {
        const QJsonObject object = item.toObject();
        const QString code = text(object.value(QStringLiteral("certiCode")));
        Take take {-1, -1, 0};
        if (!findCoupon(memberIndex, code, &take.member, &take.coupon))
            return refusal(QStringLiteral("券%1不存在").arg(code));
        const WalletCoupon &coupon = m_members.at(take.member).coupons.at(take.coupon);
        if (coupon.consumed || seen.contains(code))
            return refusal(QStringLiteral("券%1已使用").arg(code));
        const QJsonValue total = object.value(QStringLiteral("conSumeTotal"));
        take.cents = text(total).isEmpty() ? coupon.amountCents : toCents(total);
        if (take.cents < 0 || take.cents > coupon.amountCents)
            return refusal(QStringLiteral("券%1核销金额%2超出券金额").arg(code, formatCents(take.cents)));
        seen.insert(code);
        takes.append(take);
    }

    QJsonArray consumed;
    for (const Take &take : qAsConst(takes)) {
        WalletCoupon &coupon = m_members[take.member].coupons[take.coupon];
        coupon.consumed = true;
        coupon.consumedCents = take.cents;
        coupon.consumedBill = fields.value(QStringLiteral("bizBillNo"));
        coupon.consumedSale = fields.value(QStringLiteral("saleNo"));
        QJsonObject entry;
        entry.insert(QStringLiteral("certiInfoCode"), coupon.code);
        entry.insert(QStringLiteral("consumeAmount"), formatCents(take.cents));
        consumed.append(entry);
    }
    QJsonObject data;
    data.insert(QStringLiteral("certiList"), consumed);
    return success(data, QStringLiteral("核销成功"));
}

QJsonObject Wallet::cancel(const FormFields &fields)
{
    const QString vipInfoId = fields.value(QStringLiteral("vipInfoId"));
    int memberIndex = -1;
    if (!vipInfoId.isEmpty()) {
        memberIndex = memberById(vipInfoId, fields.value(QStringLiteral("orgCode")));
        if (memberIndex < 0)
            return refusal(QStringLiteral("会员不存在"));
    }
    const QJsonDocument codes = QJsonDocument::fromJson(fields.value(QStringLiteral("code")).toUtf8());
    if (!codes.isArray())
        return refusal(QStringLiteral("code格式错误"));
    if (codes.array().isEmpty())
        return refusal(QStringLiteral("撤销券列表为空"));

    QList<QPair<int, int>> gives;
    QSet<QString> seen;
    for (const QJsonValue &item : codes.array()) {
        const QString code = text(item);
        int m = -1;
        int c = -1;
        if (!findCoupon(memberIndex, code, &m, &c))
            return refusal(QStringLiteral("券%1不存在").arg(code));
        const WalletCoupon &coupon = m_members.at(m).coupons.at(c);
        if (!coupon.consumed || seen.contains(code))
            return refusal(QStringLiteral("券%1未核销，不能撤销").arg(code));
        // A wallet written before bills were kept names none: any bill may cancel those.
        if (!coupon.consumedBill.isEmpty()
            && (coupon.consumedBill != fields.value(QStringLiteral("origBizBillNo"))
                || coupon.consumedSale != fields.value(QStringLiteral("origSaleNo"))))
            return refusal(QStringLiteral("券%1不是单据%2核销的，不能撤销")
                               .arg(code, fields.value(QStringLiteral("origBizBillNo"))));
        seen.insert(code);
        gives.append(qMakePair(m, c));
    }

    QJsonArray data;
    for (const auto &give : qAsConst(gives)) {
        WalletCoupon &coupon = m_members[give.first].coupons[give.second];
        coupon.consumed = false;
        QJsonObject entry;
        entry.insert(QStringLiteral("certiInfoCode"), coupon.code);
        entry.insert(QStringLiteral("consumeAmount"), formatCents(coupon.consumedCents));
        data.append(entry);
        coupon.consumedCents = coupon.amountCents;
        coupon.consumedBill.clear();
        coupon.consumedSale.clear();
    }
    return success(data, QStringLiteral("撤销成功"));
}

}
