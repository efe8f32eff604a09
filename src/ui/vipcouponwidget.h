#pragma once

#include <memory>

#include <QDialog>
#include <QList>
#include <QModelIndex>

#include "records/records.h"
#include "ui/keymapping.h"
#include "support/logwriter.h"

namespace Ui {
class VipCouponWidget;
}
class QAbstractItemDelegate;
class QColor;
class QStandardItemModel;
class RowDelegates;
class MessageWidget;
class CoupMsgWidget;

// The full-screen coupon selection dialog. It also holds most of the call's records, so that
// the controller and the dialog work on the same lists.
class VipCouponWidget : public QDialog
{
    Q_OBJECT
public:
    explicit VipCouponWidget(QWidget *parent = nullptr);
    ~VipCouponWidget() override;

    // Tick state after each re-query; stores the answer's payment and goods lines.
    void RefreshCouponStates(const QList<VipCouponDetail> &coupons, const QList<CouponPayDetail> &couponPayDetails,
                             const QList<GoodDetail> &goodsDetails);
    void ToggleCurrentCoupon();
    // What a programmed POS key does here, once the controller has found its function.
    void RunKeyAction(Keys::Action action);
    bool HasPromotion();
    bool HasMemberPrice();

    // The call's records.
    TranMainDetail m_TranMain;
    QList<PluDetail> m_PluDetails;
    QList<DscDetail> m_DscDetails;
    QList<VipCouponDetail> m_CouponDetails;
    QList<VipCouponDetail> m_SelCouponDetails;
    QList<GoodDetail> m_GoodDetails;
    QList<CouponPayDetail> m_CouponPayDetails;
    QList<TranPayDetail> m_TranPayDetails;
    bool m_bPayOk = false;
    QString m_sErrMsg;

signals:
    void SigVipCouponPay();
    void SignQueryCoupons();
    void SignKeyPressed(int keycode);
    void SignQueryCouponsforVip();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

    // In this order the meta-object lists the button slots first, as documented for hosts that walk it.
private slots:
    void on_btnPay_clicked();
    void on_QbtnExit_clicked();
    void on_bntExit_clicked();
    void on_btnPreRow_clicked();
    void on_btnNextRow_clicked();

public slots:
    // Fills the table and runs the modal loop; returns the dialog's result.
    int show(QList<VipCouponDetail> vipCouponDetails, QList<CouponPayDetail> couponPayDetails,
             QList<GoodDetail> GoodsDetails);
    void SlotTableViewClicked(QModelIndex current);

private:
    void FillCouponTable();
    // Asks the controller for the list that fits the current selection; the controller answers
    // through RefreshCouponStates before this returns, or ends the dialog.
    void RequestCouponRefresh();
    void ShowSelectedAmount();
    void SetColumnWidths();
    void ApplyScreenStyles();
    void SetupTable();
    void ShowMessage(const QString &text);
    void SelectRow(int row);
    // Gives the row a new delegate for its look and frees the one it replaces.
    void SetRowDelegate(int row, QAbstractItemDelegate *delegate);
    void SetRowStandard(int row);
    void SetRowColored(int row, const QColor &color);
    void ReleaseRowDelegates();
    int CurrentRow() const;
    QString CellText(int row, int column) const;
    void SetCellText(int row, int column, const QString &text);

    std::unique_ptr<Ui::VipCouponWidget> m_ui;
    LogWriter m_log;
    QStandardItemModel *m_pModel = nullptr; // child of the dialog
    std::unique_ptr<MessageWidget> m_pMessage;
    std::unique_ptr<CoupMsgWidget> m_pCoupMsg; // created on first use
    int m_nScreenWidth = 0;
    int m_nMaxCount = 0; // 0: no limit
    RowDelegates *m_pRowDelegates = nullptr; // the table's only delegate, its child
};
