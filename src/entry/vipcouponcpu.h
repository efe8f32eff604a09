#pragma once

#include <QEventLoop>
#include <QObject>
#include <QList>
#include <QString>

#include "entry/reversals.h"
#include "gateway/signing.h"
#include "gateway/waitthread.h"
#include "posdb/posdb.h"
#include "records/records.h"
#include "support/logline.h"
#include "support/logwriter.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/vipcouponwidget.h"
#include "ui/waitwidget.h"

class QJsonObject;
class QJsonArray;
class QSqlQuery;

// The controller of one card transaction: built at the start of the call, destroyed at its end.
// It owns the dialogs, the worker thread, the database connection and the call's configuration,
// and answers the coupon dialog's signals.
class VipCouponCPU : public QObject
{
    Q_OBJECT
public:
    VipCouponCPU();
    ~VipCouponCPU() override;

    bool Initialize(QString &message);
    bool ParseInputDocuments(const QString &header, const QString &goods, const QString &pay, const QString &udp2,
                             QString &message);

    // Signing and bodies.
    QString MakeSign(Gateway::ParamSet params, QString &signedParamText);
    QString MakeSignedBody(Gateway::ParamSet params);
    QString JsonToString(const QJsonObject &object);
    QString JsonToString(const QJsonArray &array);

    // One POST through the worker thread, waiting in the wait loop.
    bool SendRequest(const QString &path, const QString &body, QString &reply, QString &error);

    // Server calls.
    bool QueryCoupons(int mode, QList<VipCouponDetail> &coupons, QList<CouponPayDetail> &pays, QList<GoodDetail> &goods,
                      QString &error);
    bool ParseCouponList(int mode, const QString &reply, QList<VipCouponDetail> &coupons, QList<CouponPayDetail> &pays,
                         QList<GoodDetail> &goods, QString &error);
    bool QueryVipInfo(QString &error);
    bool BatchConsumeCoupons(QString &message);
    bool ParseBatchConsumeReply(const QString &reply, QString &message);
    bool CancelPaymentCoupons(QString &message);
    bool ReturnCoupons(QString &message);
    bool SendCancelRequest(const QString &body, QString &message);

    // A consumption whose outcome is unknown is cancelled at once; a cancellation that cannot
    // be completed is kept and retried at the start of later calls. message gets what the
    // cashier needs to know of it.
    void ReverseConsumption(QString &message);
    void RetryPendingReversals();
    // The last step before a paid sale's result goes back to the host; false (message set) when
    // the consumption cannot be recorded as done, and it has then been reversed.
    bool ConfirmConsumptionHandedOver(QString &message);

    // POS keyboard.
    bool GetKeyFunctionCode(int keycode, QString &funcValue, QString &error);
    bool KeyToScanCode(int keycode, int &scanCode);
    bool KeyBoardGetFuncCode(int scanCode, QString &funcValue, QString &error);

    void ShowMessage(const QString &text);
    int AskQuestion(const QString &text);

    WaitWidget m_WaitWidget;
    VipCouponWidget m_VipCouponWidget;
    PluIndex m_PluIndex;
    PosDB m_PosDB;
    QString m_sOrgCode;
    QString m_sPosNo;
    QString m_sSysType;
    QString m_sOptimalSolution;
    QString m_sOptimalNum;
    LogWriter m_LogWriter;
    WaitThread m_WaitThread;
    QEventLoop m_WaitLoop;
    MessageWidget m_MessageWidget;
    QuestionMessage m_QuestionMessage;
    QList<TranPayDetail> m_PayRDetails;
    QList<TranPayDetail> m_PayNowRDetails;
    // What the last failed request may have done at the server, and how it ended.
    Gateway::ServerSide m_eLastServerSide = Gateway::ServerSide::Untouched;
    Gateway::Failure m_eLastFailure = Gateway::Failure::Unreachable;
    Reversals m_Reversals;

public slots:
    void SlotVipCouponPay();
    void SlotQueryCoupons();
    void SlotQueryCouponsforVip();
    void SlotKeyPressed(int keycode);

private:
    void requery(const QString &logFunction);
    void writeLines(const LogLines &lines);
    ReversalAnswer sendReversal(const Gateway::ParamSet &params);
};
