#pragma once

#include <QHash>
#include <QList>
#include <QMetaType>
#include <QString>

// The records of one call: plain value types of texts, exactly as the host or the server sent
// them. Amounts stay texts; they become numbers only where a rule computes with them.

struct TranMainDetail
{
    QString teller_no;
    QString teller_id;
    QString teller_name;
    QString vip_no;
    QString vip_id;
    QString pos_no;
    QString txn_type;
    QString tr_amt;
    QString pay_cardtype;
    QString orderid;
    QString OrgCode;
    QString saleNo;
    QString SsTotal;
    QString XD;
    QString promFlag;
    QString memPriceFlag;
    QString bizBillNo;
    QString PayNo;
    QString pay_code;
    QString oriSaleNo;
    QString oriBillNo;
    QString Mch;
    QString VipCouponNoCanShowType;
};

struct PluDetail
{
    QString PI;
    QString PC;
    QString PName;
    QString BC;
    QString ClsCode;
    QString BrandCode;
    QString Dep;
    QString DepId;
    QString DepName;
    QString SHP;
    QString PgN;
    QString SeN;
    QString PFsPrint;
    QString Price;
    QString SC;
    QString Unit;
    QString ST;
    QString YS;
    QString YhTotal;
};

struct DscDetail
{
    QString billno;
    QString disMoney;
    QString disnum;
    QString plucode;
    QString pluid;
    QString probillno;
    QString promode;
    QString protype;
    QString rowid;
    QString serialno;
};

struct TranPayDetail
{
    QString payCode;
    QString payTotal;
    QString payNo;
    QString extPayNo;
};

struct GoodDetail
{
    QString index;
    QString outPluId;
    QString pluId;
    QString pluCode;
    QString pluName;
    QString transCount;
    QString shouldTotal;
    QString actualAmount;
    QString shopClsId;
    QString shopClsCode;
    QString brandId;
    QString brandCode;
    QString apportionAmountAllType;
    QString apportionAmount;
    QString thresholdAmount;
    QString unPayAmount;
};

struct VipCouponDetail
{
    QString index;
    QString certiInfoId;
    QString certiInfoCode;
    QString certiInfoName;
    QString certiInfoStatus;
    QString certiType;
    QString certiTypeId;
    QString certiTypeName;
    QString certiMe;
    QString certiMeType;
    QString certiMeMin;
    QString certiMeMax;
    QString realCertiMe;
    QString bgndate;
    QString enddate;
    QString depict;
    QString vipId;
    QString vipCode;
    QString minConsume;
    QString apportionType;
    QString consumeCountLimit;
    QString crossTypeUse;
    QString availableFlag;
    QString checkFlag;
    QString unAvailableRemark;
    QList<GoodDetail> goodsList;
};

struct CouponPayDetail
{
    QString payTotal;
    QString certiInfoId;
    QString certiInfoCode;
    QString certiInfoName;
};

// Goods lines by their id ("PI"); a later line with the same id replaces the earlier one.
using PluIndex = QHash<QString, PluDetail>;

Q_DECLARE_METATYPE(VipCouponDetail)
Q_DECLARE_METATYPE(CouponPayDetail)
Q_DECLARE_METATYPE(GoodDetail)
