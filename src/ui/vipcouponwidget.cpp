#include "ui/vipcouponwidget.h"
#include "ui_vipcouponwidget.h"

#include <limits>

#include <QAbstractItemDelegate>
#include <QColor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QScreen>
#include <QScrollBar>
#include <QStandardItemModel>

#include "records/discounts.h"
#include "support/appsettings.h"
#include "ui/resources.h"
#include "ui/coupmsgwidget.h"
#include "ui/couponrows.h"
#include "ui/delegatepaint.h"
#include "ui/messagewidget.h"
#include "ui/overlayframe.h"
#include "ui/rowcolordelegate.h"
#include "ui/rowdelegates.h"
#include "ui/standarddelegate.h"

namespace {
constexpr int kFirstColumn = 0;
constexpr int kLastColumn = CouponRows::kColumnCount - 1;
constexpr int kHeaderHeight = 50;

// No QDialog result can take this value, so it tells whether the dialog was ended while the
// table was being filled (the first re-query can end it before the modal loop starts).
constexpr int kStillFilling = std::numeric_limits<int>::min();

const char *const kScrollBarStyle =
    "QScrollBar:vertical { border-radius:0px; background: #DEE2ED; width: 20px; }"
    "QScrollBar::handle:vertical { background: #34456E; min-height: 30px; border-radius:10px; }"
    "QScrollBar::add-line:vertical { background: none; border: none; }"
    "QScrollBar::sub-line:vertical { background: none; border: none;}"
    "QScrollBar::up-arrow:vertical, QScrollBar::down-arrow:vertical {border: none;width: 0;"
    "height: 0;background: none;}"
    "QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical {background: none;"
    "border: none;}";

}

VipCouponWidget::VipCouponWidget(QWidget *parent)
    : QDialog(parent)
    , m_ui(std::make_unique<Ui::VipCouponWidget>())
{
    ensureImageResources();
    m_ui->setupUi(this);
    m_pMessage = std::make_unique<MessageWidget>();

    setWindowTitle(QStringLiteral("会员优惠券"));
    OverlayFrame::setUp(*this);
    // Styled before the first showing: with the form's default fonts the bottom bar is wider
    // than an 800-pixel screen, and a window once grown past the screen stays that wide.
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        m_nScreenWidth = screen->geometry().width();
    ApplyScreenStyles();
    // Shown once now so that the table has the screen's width when show() sizes the columns.
    showFullScreen();

    m_ui->Qwidgetback->installEventFilter(this);
    m_ui->tableView->installEventFilter(this);
    SetupTable();
    connect(m_ui->tableView, &QAbstractItemView::clicked, this, &VipCouponWidget::SlotTableViewClicked);

    m_nMaxCount = CouponRows::maxCountFrom(
        AppSettings::readIni(AppSettings::kPluginIni, QStringLiteral("Config/DiscountCountMax"), QStringLiteral("0")));
}

VipCouponWidget::~VipCouponWidget() = default;

void VipCouponWidget::ApplyScreenStyles()
{
    const CouponRows::ScreenStyles styles = CouponRows::stylesForScreenWidth(m_nScreenWidth);
    m_ui->hWdTop->setStyleSheet(styles.topBar);
    m_ui->hWdgTotal->setStyleSheet(styles.totals);
    m_ui->lblhelp->setStyleSheet(styles.help);
    m_ui->tableView->setStyleSheet(styles.table);
    m_ui->tableView->horizontalHeader()->setStyleSheet(styles.header);
}

void VipCouponWidget::SetupTable()
{
    m_pModel = new QStandardItemModel(0, CouponRows::kColumnCount, this);
    m_pModel->setHorizontalHeaderLabels({QObject::tr(" "), QObject::tr("选择"), QObject::tr("券号"),
                                         QObject::tr("券名称"), QObject::tr("面额"), QObject::tr("使用期限"),
                                         QObject::tr("使用规则"), QObject::tr("不可用原因")});
    QTableView *table = m_ui->tableView;
    table->setModel(m_pModel);
    table->verticalHeader()->hide();
    table->verticalHeader()->setDefaultSectionSize(CouponRows::kRowHeight);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    table->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // The row-number column is narrower than the style's default minimum on small screens.
    table->horizontalHeader()->setMinimumSectionSize(0);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->horizontalHeader()->setFixedHeight(kHeaderHeight);
    table->verticalScrollBar()->setStyleSheet(QString::fromLatin1(kScrollBarStyle));
    m_pRowDelegates = new RowDelegates(table);
    table->setItemDelegate(m_pRowDelegates);
}

void VipCouponWidget::SetColumnWidths()
{
    // The scroll area lays its bar out at the bar's size hint; the bar's geometry can still be
    // the unstyled one when show() follows the constructor without an event loop in between.
    const QVector<int> widths =
        CouponRows::columnWidths(m_ui->tableView->width(), m_ui->tableView->verticalScrollBar()->sizeHint().width());
    for (int column = 0; column < widths.size(); ++column)
        m_ui->tableView->setColumnWidth(column, widths.at(column));
}

int VipCouponWidget::show(QList<VipCouponDetail> vipCouponDetails, QList<CouponPayDetail>, QList<GoodDetail>)
{
    // The pay and goods lines arrive with the refresh that filling triggers.
    SetColumnWidths();
    m_SelCouponDetails.clear();
    m_CouponDetails.clear();
    m_ui->txtNotPay->setText(CouponRows::notPayText(m_TranMain.tr_amt));
    m_ui->txtPay->setText(QStringLiteral("0"));
    m_CouponDetails = vipCouponDetails;
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("传入券数量"), QString::number(m_CouponDetails.size()));

    setResult(kStillFilling);
    FillCouponTable();
    // A refused retry of the first re-query ends the dialog from inside FillCouponTable; running
    // the loop now would wait for a cashier who was already told the payment is off.
    if (result() != kStillFilling)
        return result();

    m_ui->txtMemb->setText(m_TranMain.vip_no);
    setEnabled(true);
    showFullScreen();
    m_ui->tableView->setFocus(Qt::OtherFocusReason);
    activateWindow();
    winId();
    return exec();
}

void VipCouponWidget::FillCouponTable()
{
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("m_CouponDetails.size"),
                   QString::number(m_CouponDetails.size()));
    ReleaseRowDelegates();
    m_pModel->setRowCount(0);
    m_pModel->setRowCount(m_CouponDetails.size());
    m_pRowDelegates->setRowCount(m_pModel->rowCount());
    for (int row = 0; row < m_CouponDetails.size(); ++row) {
        const VipCouponDetail &coupon = m_CouponDetails.at(row);
        const QStringList cells = CouponRows::rowCells(coupon, row);
        // setData lets the model create the empty cell's item quietly; setItem would announce a
        // layout change per cell, and the view and header answer each by walking every row.
        for (int column = 0; column < cells.size(); ++column)
            m_pModel->setData(m_pModel->index(row, column), cells.at(column), Qt::DisplayRole);
        if (CouponRows::initialLook(coupon) == CouponRows::RowLook::Unusable)
            SetRowColored(row, DelegatePaint::unusableRowColor());
        else
            SetRowStandard(row);
        m_ui->tableView->setRowHeight(row, CouponRows::kRowHeight);
    }
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("tableView.size"), QString::number(m_pModel->rowCount()));
    if (m_pModel->rowCount() > 0)
        SelectRow(0);

    m_SelCouponDetails.clear();
    for (int row = 0; row < m_CouponDetails.size(); ++row) {
        if (CellText(row, CouponRows::kTickColumn) == QLatin1String(CouponRows::kTicked))
            m_SelCouponDetails.append(m_CouponDetails.at(row));
    }
    RequestCouponRefresh();
    if (m_pModel->rowCount() > 0)
        SelectRow(0);
}

void VipCouponWidget::RequestCouponRefresh()
{
    if (m_SelCouponDetails.isEmpty())
        emit SignQueryCouponsforVip();
    else
        emit SignQueryCoupons();
}

void VipCouponWidget::ToggleCurrentCoupon()
{
    using CouponRows::ToggleOutcome;
    if (m_pModel->rowCount() == 0) {
        ShowMessage(QStringLiteral("可用券数量为0"));
        return;
    }
    const int row = CurrentRow();
    m_log.WriteLog(LogModule::kLibrary, QStringLiteral("当前行号"), QString::number(row));
    if (row < 0 || row >= m_pModel->rowCount() || row >= m_CouponDetails.size())
        return;

    const VipCouponDetail coupon = m_CouponDetails.at(row);
    switch (
        CouponRows::toggleOutcome(CellText(row, CouponRows::kTickColumn), coupon, m_SelCouponDetails, m_nMaxCount)) {
    case ToggleOutcome::Unchanged:
        break;
    case ToggleOutcome::LimitReached:
        ShowMessage(CouponRows::limitMessage(m_nMaxCount));
        return;
    case ToggleOutcome::Untick: {
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("改变选框状态"), QStringLiteral("取消选中"));
        SetCellText(row, CouponRows::kTickColumn, QString::fromLatin1(CouponRows::kUnticked));
        SetRowStandard(row);
        const int index = CouponRows::indexOfCode(m_SelCouponDetails, CellText(row, CouponRows::kCodeColumn));
        if (index >= 0)
            m_SelCouponDetails.removeAt(index);
        RequestCouponRefresh();
        break;
    }
    case ToggleOutcome::Tick:
        SetCellText(row, CouponRows::kTickColumn, QString::fromLatin1(CouponRows::kTicked));
        if (CouponRows::indexOfCode(m_SelCouponDetails, coupon.certiInfoCode) >= 0)
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("券重复添加"),
                           QStringLiteral("券号：") + coupon.certiInfoCode);
        else
            m_SelCouponDetails.append(coupon);
        RequestCouponRefresh();
        SetRowColored(row, DelegatePaint::tickedRowColor());
        break;
    }
    if (m_pModel->rowCount() > 0)
        SelectRow(row);
}

void VipCouponWidget::RefreshCouponStates(const QList<VipCouponDetail> &coupons,
                                          const QList<CouponPayDetail> &couponPayDetails,
                                          const QList<GoodDetail> &goodsDetails)
{
    using CouponRows::RefreshChange;
    const QVector<CouponRows::RowRefresh> plan = CouponRows::planRefresh(m_CouponDetails, coupons);
    for (int row = 0; row < plan.size(); ++row) {
        const CouponRows::RowRefresh &step = plan.at(row);
        if (step.change == RefreshChange::None)
            continue;
        const VipCouponDetail &fresh = coupons.at(step.answerIndex);
        m_CouponDetails[row] = fresh;
        SetCellText(row, CouponRows::kRemarkColumn, fresh.unAvailableRemark);
        if (step.change == RefreshChange::BecomesUnusable) {
            SetCellText(row, CouponRows::kTickColumn, QString::fromLatin1(CouponRows::kUnusable));
            SetRowColored(row, DelegatePaint::unusableRowColor());
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("设置券不可被选中"),
                           QStringLiteral("券号：") + fresh.certiInfoCode);
        } else {
            SetCellText(row, CouponRows::kTickColumn, QString::fromLatin1(CouponRows::kUnticked));
            SetRowStandard(row);
            m_log.WriteLog(LogModule::kLibrary, QStringLiteral("设置券可被选中"),
                           QStringLiteral("券号：") + fresh.certiInfoCode);
        }
    }
    ShowSelectedAmount();
    m_CouponPayDetails = couponPayDetails;
    m_GoodDetails = goodsDetails;
}

void VipCouponWidget::ShowSelectedAmount()
{
    m_ui->txtPay->setText(CouponRows::selectedAmountText(m_SelCouponDetails));
}

void VipCouponWidget::SlotTableViewClicked(QModelIndex current)
{
    setEnabled(false);
    if (current.isValid())
        SelectRow(current.row());
    const int row = current.row();
    switch (current.column()) {
    case CouponRows::kTickColumn:
        ToggleCurrentCoupon();
        break;
    case CouponRows::kRuleColumn:
    case CouponRows::kRemarkColumn: {
        if (row < 0 || row >= m_CouponDetails.size()) {
            ShowMessage(QStringLiteral("行选择错误 ") + QString::number(row));
            break;
        }
        const VipCouponDetail &coupon = m_CouponDetails.at(row);
        if (!m_pCoupMsg)
            m_pCoupMsg = std::make_unique<CoupMsgWidget>();
        if (current.column() == CouponRows::kRuleColumn)
            m_pCoupMsg->ShowCouponInfo(coupon.certiInfoName, coupon.depict, QStringLiteral("使用规则："));
        else
            m_pCoupMsg->ShowCouponInfo(coupon.certiInfoName, coupon.unAvailableRemark, QStringLiteral("不可用原因："));
        break;
    }
    default:
        break;
    }
    setEnabled(true);
}

void VipCouponWidget::on_btnNextRow_clicked()
{
    const int rows = m_pModel->rowCount();
    if (rows == 0)
        return;
    const int row = CurrentRow();
    SelectRow(row + 1 >= rows ? 0 : row + 1);
}

void VipCouponWidget::on_btnPreRow_clicked()
{
    const int rows = m_pModel->rowCount();
    if (rows == 0)
        return;
    const int row = CurrentRow();
    if (row <= 0) {
        SelectRow(rows - 1);
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("上一行"), QStringLiteral("当前为第一行"));
    } else {
        SelectRow(row - 1);
        m_log.WriteLog(LogModule::kLibrary, QStringLiteral("上一行"),
                       QStringLiteral("当前为行") + QString::number(row));
    }
}

void VipCouponWidget::on_btnPay_clicked()
{
    if (m_SelCouponDetails.isEmpty()) {
        ShowMessage(QStringLiteral("已验券数量为0，无法核销"));
        return;
    }
    emit SigVipCouponPay();
}

void VipCouponWidget::on_QbtnExit_clicked()
{
    m_sErrMsg = QStringLiteral("CLOSE");
    done(0);
}

void VipCouponWidget::on_bntExit_clicked()
{
    m_sErrMsg = QStringLiteral("CLOSE");
    done(0);
}

bool VipCouponWidget::eventFilter(QObject *watched, QEvent *event)
{
    if ((watched == m_ui->Qwidgetback || watched == m_ui->tableView) && event->type() == QEvent::KeyPress) {
        keyPressEvent(static_cast<QKeyEvent *>(event));
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void VipCouponWidget::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    // The POS keyboard's digit and enter keys belong to the host's own input; the dialog gives no
    // key a meaning by itself, not even Escape: the controller maps the rest.
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Shift || (key >= Qt::Key_0 && key <= Qt::Key_9))
        return;
    emit SignKeyPressed(key);
}

void VipCouponWidget::RunKeyAction(Keys::Action action)
{
    switch (action) {
    case Keys::Action::PreviousRow:
        on_btnPreRow_clicked();
        break;
    case Keys::Action::NextRow:
        on_btnNextRow_clicked();
        break;
    case Keys::Action::Toggle:
        // No second touch may reach the table while the re-query of this one runs.
        setEnabled(false);
        ToggleCurrentCoupon();
        setEnabled(true);
        break;
    case Keys::Action::Exit:
        on_QbtnExit_clicked();
        break;
    case Keys::Action::Pay:
        on_btnPay_clicked();
        break;
    case Keys::Action::None:
        break;
    }
}

bool VipCouponWidget::HasPromotion()
{
    LogLine line;
    const bool promotion = Records::hasPromotion(m_DscDetails, line);
    m_log.WriteLog(LogModule::kLibrary, line.function, line.text);
    return promotion;
}

bool VipCouponWidget::HasMemberPrice()
{
    LogLine line;
    const bool memberPrice = Records::hasMemberPrice(m_DscDetails, line);
    m_log.WriteLog(LogModule::kLibrary, line.function, line.text);
    return memberPrice;
}

void VipCouponWidget::ShowMessage(const QString &text)
{
    m_pMessage->ShowMessage(text);
}

void VipCouponWidget::SelectRow(int row)
{
    m_ui->tableView->selectRow(row);
    m_ui->tableView->scrollTo(m_pModel->index(row, 0));
}

int VipCouponWidget::CurrentRow() const
{
    return m_ui->tableView->currentIndex().row();
}

QString VipCouponWidget::CellText(int row, int column) const
{
    const QStandardItem *item = m_pModel->item(row, column);
    return item ? item->text() : QString();
}

void VipCouponWidget::SetCellText(int row, int column, const QString &text)
{
    if (QStandardItem *item = m_pModel->item(row, column))
        item->setText(text);
    else
        m_pModel->setItem(row, column, new QStandardItem(text));
}

void VipCouponWidget::SetRowStandard(int row)
{
    SetRowDelegate(row, new StandardDelegate(m_ui->tableView, kFirstColumn, kLastColumn));
}

void VipCouponWidget::SetRowColored(int row, const QColor &color)
{
    SetRowDelegate(row, new RowColorDelegate(m_ui->tableView, kFirstColumn, kLastColumn, color));
}

void VipCouponWidget::SetRowDelegate(int row, QAbstractItemDelegate *delegate)
{
    // The router frees the replaced delegate later, not now: a tap reaches us from inside the
    // view's own mouse handling, which may still be talking to the row's old delegate.
    m_pRowDelegates->setDelegateForRow(row, delegate);
}

void VipCouponWidget::ReleaseRowDelegates()
{
    m_pRowDelegates->setRowCount(0);
}
