#include <functional>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QItemDelegate>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/appsettings.h"
#include "support/logwriter.h"
#include "ui/coupmsgwidget.h"
#include "ui/messagewidget.h"
#include "ui/rowcolordelegate.h"
#include "ui/rowdelegates.h"
#include "ui/standarddelegate.h"
#include "ui/vipcouponwidget.h"

namespace {

VipCouponDetail makeCoupon(const QString &code, const QString &available = QStringLiteral("1"),
                           const QString &check = QStringLiteral("0"),
                           const QString &apportion = QStringLiteral("1"),
                           const QString &amount = QStringLiteral("10"))
{
    VipCouponDetail c;
    c.certiInfoId = QStringLiteral("id-") + code;
    c.certiInfoCode = code;
    c.certiInfoName = QStringLiteral("券") + code;
    c.certiMe = amount;
    c.certiMeType = QStringLiteral("0");
    c.realCertiMe = amount;
    c.enddate = QStringLiteral("2030-12-31");
    c.depict = QStringLiteral("规则") + code;
    c.apportionType = apportion;
    c.availableFlag = available;
    c.checkFlag = check;
    c.unAvailableRemark = available == QLatin1String("0") ? QStringLiteral("不满足门槛") : QString();
    return c;
}

// Confirms every message box that comes up, remembering its text.
class MessageCatcher
{
public:
    MessageCatcher()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            auto *box = qobject_cast<MessageWidget *>(QApplication::activeModalWidget());
            if (!box)
                return;
            const auto *label = box->findChild<QLabel *>(QStringLiteral("Qlbltishi"));
            texts << (label ? label->text() : QStringLiteral("<no label>"));
            box->accept();
        });
        m_timer.start(5);
    }
    QStringList texts;

private:
    QTimer m_timer;
};

}

class tst_VipCouponWidget : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void formHasItsObjects_data();
    void formHasItsObjects();
    void formSlotsConnectByName();
    void tableIsSetUp();
    void columnWidthsFillTheTillScreen();
    void openingShowsAmountsAndMember();
    void preTickedCouponIsSelectedBeforeTheLoop();
    void maximumCountLimitsSharedCoupons_data();
    void maximumCountLimitsSharedCoupons();
    void duplicateCodeIsNotAddedTwice();
    void unusableRowCannotBeTicked();
    void untickRemovesAndRequeries();
    void refreshTurnsRowsUsableAndUnusable();
    void rowNavigationWraps_data();
    void rowNavigationWraps();
    void emptyTable();
    void payNeedsATickedCoupon();
    void exitButtonsClose_data();
    void exitButtonsClose();
    void endedWhileFillingSkipsTheLoop();
    void keysAreKeptOrForwarded_data();
    void keysAreKeptOrForwarded();
    void infoColumnsOpenThePopup_data();
    void infoColumnsOpenThePopup();
    void rowDelegatesDoNotPileUp();
    void promotionFlagsAreLogged_data();
    void promotionFlagsAreLogged();

private:
    // Fills and runs the dialog; `during` runs inside its modal loop and must end it.
    int runDialog(VipCouponWidget &dialog, const QList<VipCouponDetail> &coupons,
                  std::function<void()> during);
    // Answers every re-query with m_answer, as the controller does after a good server reply.
    void answerRequeries(VipCouponWidget &dialog);
    void writeMaxCount(const QString &value);
    QTableView *table(VipCouponWidget &dialog);
    // The table's only delegate, and the delegate it gives a row.
    RowDelegates *router(VipCouponWidget &dialog);
    QAbstractItemDelegate *rowDelegate(VipCouponWidget &dialog, int row);
    QString cell(VipCouponWidget &dialog, int row, int column);
    void tap(VipCouponWidget &dialog, int row, int column);
    QString logText();

    QTemporaryDir m_dir;
    bool m_guardFired = false;
    QList<VipCouponDetail> m_answer;
    QList<CouponPayDetail> m_answerPays;
    QList<GoodDetail> m_answerGoods;
};

void tst_VipCouponWidget::initTestCase()
{
    QVERIFY(m_dir.isValid());
    AppSettings::overrideApplicationDir(m_dir.path());
    QDir::setCurrent(m_dir.path());   // the log folder follows the working directory
}

void tst_VipCouponWidget::init()
{
    QFile::remove(m_dir.filePath(QStringLiteral("TwCouponPay5.ini")));
    m_guardFired = false;
    m_answer.clear();
    m_answerPays.clear();
    m_answerGoods.clear();
}

void tst_VipCouponWidget::writeMaxCount(const QString &value)
{
    QSettings ini(AppSettings::appFilePath(AppSettings::kPluginIni), QSettings::IniFormat);
    ini.setValue(QStringLiteral("Config/DiscountCountMax"), value);
    ini.sync();
}

int tst_VipCouponWidget::runDialog(VipCouponWidget &dialog, const QList<VipCouponDetail> &coupons,
                                   std::function<void()> during)
{
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &dialog, [this, &dialog] {
        m_guardFired = true;
        dialog.reject();
    });
    guard.start(60000);   // generous: sanitizer builds run the 10,000-toggle case slowly
    QTimer::singleShot(0, &dialog, std::move(during));
    return dialog.show(coupons, {}, {});
}

void tst_VipCouponWidget::answerRequeries(VipCouponWidget &dialog)
{
    auto refresh = [this, &dialog] { dialog.RefreshCouponStates(m_answer, m_answerPays, m_answerGoods); };
    connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, refresh);
    connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, refresh);
}

QTableView *tst_VipCouponWidget::table(VipCouponWidget &dialog)
{
    return dialog.findChild<QTableView *>(QStringLiteral("tableView"));
}

RowDelegates *tst_VipCouponWidget::router(VipCouponWidget &dialog)
{
    return qobject_cast<RowDelegates *>(table(dialog)->itemDelegate());
}

QAbstractItemDelegate *tst_VipCouponWidget::rowDelegate(VipCouponWidget &dialog, int row)
{
    // A delegate the view holds for the row itself would bypass the router and bring back the
    // view's per-row bookkeeping.
    if (table(dialog)->itemDelegateForRow(row))
        return nullptr;
    RowDelegates *rows = router(dialog);
    return rows ? rows->delegateForRow(row) : nullptr;
}

QString tst_VipCouponWidget::cell(VipCouponWidget &dialog, int row, int column)
{
    return table(dialog)->model()->index(row, column).data().toString();
}

void tst_VipCouponWidget::tap(VipCouponWidget &dialog, int row, int column)
{
    QTableView *view = table(dialog);
    const QRect rect = view->visualRect(view->model()->index(row, column));
    QVERIFY(!rect.isEmpty());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, rect.center());
}

QString tst_VipCouponWidget::logText()
{
    QFile file(LogWriter().filePathFor(QDate::currentDate()));
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.readAll());
}

void tst_VipCouponWidget::formHasItsObjects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("top name") << "lbTopName" << "会员优惠券";
    QTest::newRow("card label") << "lbTopPage" << "会员卡号：";
    QTest::newRow("top exit") << "QbtnExit" << "退出";
    QTest::newRow("to pay") << "label" << "待付金额:";
    QTest::newRow("selected") << "label_3" << "已选定券金额:";
    QTest::newRow("help") << "lblhelp" << "[↑]：上一行  [↓]:下一行[←]:选中/取消选中 [上页]:关闭[合计]:核销";
    QTest::newRow("previous row") << "btnPreRow" << "";
    QTest::newRow("next row") << "btnNextRow" << "";
    QTest::newRow("bottom exit") << "bntExit" << "";
    QTest::newRow("pay") << "btnPay" << "";
}

void tst_VipCouponWidget::formHasItsObjects()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    VipCouponWidget dialog;
    QObject *object = dialog.findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));
    if (auto *label = qobject_cast<QLabel *>(object)) {
        QCOMPARE(label->text(), text);
    } else {
        auto *button = qobject_cast<QPushButton *>(object);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        if (text.isEmpty())
            QVERIFY2(!button->icon().isNull(), "icon buttons show their picture");
    }
}

namespace {
QStringList s_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        s_warnings << message;
}
}

void tst_VipCouponWidget::formSlotsConnectByName()
{
    s_warnings.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
    {
        VipCouponWidget dialog;
    }
    qInstallMessageHandler(previous);
    for (const QString &warning : qAsConst(s_warnings))
        QVERIFY2(!warning.contains(QLatin1String("connectSlotsByName")), qPrintable(warning));
}

void tst_VipCouponWidget::tableIsSetUp()
{
    VipCouponWidget dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("会员优惠券"));
    QVERIFY(dialog.windowFlags() & Qt::FramelessWindowHint);
    QCOMPARE(dialog.windowModality(), Qt::ApplicationModal);
    QVERIFY(dialog.testAttribute(Qt::WA_TranslucentBackground));
    QVERIFY(dialog.isVisible());   // full screen and empty until show() fills it

    QTableView *view = table(dialog);
    QCOMPARE(view->model()->columnCount(), 8);
    const QStringList headers{" ", "选择", "券号", "券名称", "面额", "使用期限", "使用规则", "不可用原因"};
    for (int column = 0; column < 8; ++column)
        QCOMPARE(view->model()->headerData(column, Qt::Horizontal).toString(), headers.at(column));
    QVERIFY(view->verticalHeader()->isHidden());
    QCOMPARE(view->selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(view->selectionMode(), QAbstractItemView::SingleSelection);
    QCOMPARE(view->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(view->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QCOMPARE(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(view->horizontalHeader()->height(), 50);
    // The offscreen screen is 800 wide: the smallest fonts.
    QVERIFY2(view->styleSheet().contains(QLatin1String("font-size:10px")), qPrintable(view->styleSheet()));
    QVERIFY(dialog.findChild<QWidget *>(QStringLiteral("hWdTop"))->styleSheet().contains(QLatin1String("font-size:18px;")));
}

void tst_VipCouponWidget::columnWidthsFillTheTillScreen()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QVector<int> widths;
    int available = 0;
    const int result = runDialog(dialog, {makeCoupon("A")}, [&] {
        QTableView *view = table(dialog);
        available = view->width() - view->verticalScrollBar()->width();
        for (int column = 0; column < 8; ++column)
            widths << view->columnWidth(column);
        dialog.done(0);
    });
    QCOMPARE(result, 0);
    QVERIFY(!m_guardFired);
    // 800 wide screen: 778 table less a 20 scroll bar, u = 25.
    QCOMPARE(available, 758);
    QCOMPARE(widths, (QVector<int>{25, 50, 150, 125, 55, 95, 125, 133}));
}

void tst_VipCouponWidget::openingShowsAmountsAndMember()
{
    VipCouponWidget dialog;
    dialog.m_TranMain.tr_amt = QStringLiteral("1250");
    dialog.m_TranMain.vip_no = QStringLiteral("800123");
    QString payBeforeRefresh;
    connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, [&] {
        payBeforeRefresh = dialog.findChild<QLabel *>(QStringLiteral("txtPay"))->text();
        dialog.RefreshCouponStates(m_answer, m_answerPays, m_answerGoods);
    });
    QString notPay, pay, member, faceValue;
    const int result = runDialog(dialog, {makeCoupon("A", "1", "0", "1", "25")}, [&] {
        notPay = dialog.findChild<QLabel *>(QStringLiteral("txtNotPay"))->text();
        pay = dialog.findChild<QLabel *>(QStringLiteral("txtPay"))->text();
        member = dialog.findChild<QLabel *>(QStringLiteral("txtMemb"))->text();
        faceValue = cell(dialog, 0, 4);
        dialog.done(0);
    });
    QCOMPARE(result, 0);
    QCOMPARE(payBeforeRefresh, QStringLiteral("0"));
    QCOMPARE(notPay, QStringLiteral("12.50"));
    QCOMPARE(pay, QStringLiteral("0.00"));
    QCOMPARE(member, QStringLiteral("800123"));
    QCOMPARE(faceValue, QStringLiteral("25"));
}

void tst_VipCouponWidget::preTickedCouponIsSelectedBeforeTheLoop()
{
    VipCouponWidget dialog;
    QSignalSpy forVip(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
    QStringList selectedAtQuery;
    bool loopStarted = false;
    bool queriedInLoop = true;
    connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, [&] {
        for (const VipCouponDetail &c : qAsConst(dialog.m_SelCouponDetails))
            selectedAtQuery << c.certiInfoCode;
        queriedInLoop = loopStarted;
        m_answer = dialog.m_CouponDetails;
        dialog.RefreshCouponStates(m_answer, m_answerPays, m_answerGoods);
    });
    QString tick, pay;
    const int result = runDialog(dialog, {makeCoupon("A"), makeCoupon("B", "1", "1", "1", "7.5")}, [&] {
        loopStarted = true;
        tick = cell(dialog, 1, 1);
        pay = dialog.findChild<QLabel *>(QStringLiteral("txtPay"))->text();
        dialog.done(0);
    });
    QCOMPARE(result, 0);
    QCOMPARE(selectedAtQuery, QStringList{"B"});
    QVERIFY(loopStarted);
    QVERIFY(!queriedInLoop);   // the query ran while filling, before the modal loop
    QCOMPARE(forVip.count(), 0);
    QCOMPARE(tick, QStringLiteral("1"));
    QCOMPARE(pay, QStringLiteral("7.50"));
}

void tst_VipCouponWidget::maximumCountLimitsSharedCoupons_data()
{
    QTest::addColumn<QString>("iniValue");   // "missing": no key at all
    QTest::addColumn<QString>("thirdKind");
    QTest::addColumn<QString>("thirdTick");
    QTest::addColumn<int>("selected");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("max 2 blocks third") << "2" << "1" << "0" << 2 << QStringList{"优惠券最大可用数量为2"};
    QTest::newRow("max 2 other kind") << "2" << "2" << "1" << 3 << QStringList{};
    QTest::newRow("zero") << "0" << "1" << "1" << 3 << QStringList{};
    QTest::newRow("negative") << "-1" << "1" << "1" << 3 << QStringList{};
    QTest::newRow("missing") << "missing" << "1" << "1" << 3 << QStringList{};
}

void tst_VipCouponWidget::maximumCountLimitsSharedCoupons()
{
    QFETCH(QString, iniValue);
    QFETCH(QString, thirdKind);
    QFETCH(QString, thirdTick);
    QFETCH(int, selected);
    QFETCH(QStringList, messages);
    if (iniValue != QLatin1String("missing"))
        writeMaxCount(iniValue);

    VipCouponWidget dialog;
    answerRequeries(dialog);
    MessageCatcher catcher;
    QString third;
    const int result = runDialog(dialog,
                                 {makeCoupon("A"), makeCoupon("B"), makeCoupon("C", "1", "0", thirdKind)},
                                 [&] {
        tap(dialog, 0, 1);
        tap(dialog, 1, 1);
        tap(dialog, 2, 1);
        third = cell(dialog, 2, 1);
        dialog.done(0);
    });
    QCOMPARE(result, 0);
    QVERIFY(!m_guardFired);
    QCOMPARE(third, thirdTick);
    QCOMPARE(dialog.m_SelCouponDetails.size(), selected);
    QCOMPARE(catcher.texts, messages);
}

void tst_VipCouponWidget::duplicateCodeIsNotAddedTwice()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
    QStringList ticks;
    runDialog(dialog, {makeCoupon("A"), makeCoupon("A")}, [&] {
        tap(dialog, 0, 1);
        tap(dialog, 1, 1);
        ticks << cell(dialog, 0, 1) << cell(dialog, 1, 1);
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(ticks, (QStringList{"1", "1"}));
    QCOMPARE(dialog.m_SelCouponDetails.size(), 1);
    QCOMPARE(query.count(), 2);
    QVERIFY(logText().contains(QStringLiteral("位置：券重复添加\n内容：券号：A\n")));
}

void tst_VipCouponWidget::unusableRowCannotBeTicked()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
    QSignalSpy forVip(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
    QString tick;
    bool grey = false;
    runDialog(dialog, {makeCoupon("A"), makeCoupon("B", "0")}, [&] {
        tap(dialog, 1, 1);
        tick = cell(dialog, 1, 1);
        auto *delegate = dynamic_cast<RowColorDelegate *>(rowDelegate(dialog, 1));
        grey = delegate && delegate->color() == QColor(QStringLiteral("#DEE2ED"));
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(tick, QStringLiteral("2"));
    QVERIFY(grey);
    QVERIFY(dialog.m_SelCouponDetails.isEmpty());
    QCOMPARE(query.count(), 0);
    QCOMPARE(forVip.count(), 1);   // only the opening query
}

void tst_VipCouponWidget::untickRemovesAndRequeries()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
    QSignalSpy forVip(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
    QString tickedLook, untickedLook;
    runDialog(dialog, {makeCoupon("A"), makeCoupon("B")}, [&] {
        tap(dialog, 0, 1);
        auto *ticked = dynamic_cast<RowColorDelegate *>(rowDelegate(dialog, 0));
        tickedLook = ticked ? ticked->color().name() : QString();
        tap(dialog, 0, 1);
        untickedLook = qobject_cast<StandardDelegate *>(rowDelegate(dialog, 0))
                ? QStringLiteral("standard") : QString();
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(tickedLook, QStringLiteral("#c2e4ff"));
    QCOMPARE(untickedLook, QStringLiteral("standard"));
    QVERIFY(dialog.m_SelCouponDetails.isEmpty());
    QCOMPARE(query.count(), 1);    // the tick
    QCOMPARE(forVip.count(), 2);   // the opening, and the untick that emptied the selection
}

void tst_VipCouponWidget::refreshTurnsRowsUsableAndUnusable()
{
    VipCouponWidget dialog;
    VipCouponDetail blocked = makeCoupon("B", "0");
    blocked.unAvailableRemark = QStringLiteral("与已选券互斥");
    VipCouponDetail freed = makeCoupon("C", "1");
    freed.depict = QStringLiteral("新规则");
    CouponPayDetail payLine;
    payLine.certiInfoCode = QStringLiteral("A");
    payLine.payTotal = QStringLiteral("12.50");
    GoodDetail good;
    good.outPluId = QStringLiteral("P1");
    good.apportionAmount = QStringLiteral("12.50");
    answerRequeries(dialog);   // the opening query gets an empty answer: nothing changes
    QStringList ticks, remarks;
    QString pay;
    bool bGrey = false, cPlain = false;
    runDialog(dialog, {makeCoupon("A", "1", "0", "1", "12.5"), makeCoupon("B"), makeCoupon("C", "0")}, [&] {
        m_answer = {makeCoupon("A", "1", "0", "1", "12.5"), blocked, freed};
        m_answerPays = {payLine};
        m_answerGoods = {good};
        tap(dialog, 0, 1);
        for (int row = 0; row < 3; ++row) {
            ticks << cell(dialog, row, 1);
            remarks << cell(dialog, row, 7);
        }
        pay = dialog.findChild<QLabel *>(QStringLiteral("txtPay"))->text();
        auto *b = dynamic_cast<RowColorDelegate *>(rowDelegate(dialog, 1));
        bGrey = b && b->color() == QColor(QStringLiteral("#DEE2ED"));
        cPlain = qobject_cast<StandardDelegate *>(rowDelegate(dialog, 2)) != nullptr;
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(ticks, (QStringList{"1", "2", "0"}));
    QCOMPARE(remarks, (QStringList{"", "与已选券互斥", ""}));
    QCOMPARE(pay, QStringLiteral("12.50"));
    QVERIFY(bGrey);
    QVERIFY(cPlain);
    QCOMPARE(dialog.m_CouponDetails.at(1).availableFlag, QStringLiteral("0"));
    QCOMPARE(dialog.m_CouponDetails.at(2).depict, QStringLiteral("新规则"));
    QCOMPARE(dialog.m_CouponPayDetails.size(), 1);
    QCOMPARE(dialog.m_CouponPayDetails.at(0).payTotal, QStringLiteral("12.50"));
    QCOMPARE(dialog.m_GoodDetails.size(), 1);
    QCOMPARE(dialog.m_GoodDetails.at(0).outPluId, QStringLiteral("P1"));
    QCOMPARE(dialog.m_SelCouponDetails.size(), 1);
    const QString log = logText();
    QVERIFY(log.contains(QStringLiteral("位置：设置券不可被选中\n内容：券号：B\n")));
    QVERIFY(log.contains(QStringLiteral("位置：设置券可被选中\n内容：券号：C\n")));
}

void tst_VipCouponWidget::rowNavigationWraps_data()
{
    QTest::addColumn<int>("startRow");
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("endRow");
    QTest::newRow("next") << 0 << "btnNextRow" << 1;
    QTest::newRow("next wraps") << 2 << "btnNextRow" << 0;
    QTest::newRow("previous") << 2 << "btnPreRow" << 1;
    QTest::newRow("previous wraps") << 0 << "btnPreRow" << 2;
}

void tst_VipCouponWidget::rowNavigationWraps()
{
    QFETCH(int, startRow);
    QFETCH(QString, button);
    QFETCH(int, endRow);
    VipCouponWidget dialog;
    answerRequeries(dialog);
    int current = -1;
    QModelIndexList selected;
    runDialog(dialog, {makeCoupon("A"), makeCoupon("B"), makeCoupon("C")}, [&] {
        dialog.SlotTableViewClicked(table(dialog)->model()->index(startRow, 0));
        QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
        current = table(dialog)->currentIndex().row();
        selected = table(dialog)->selectionModel()->selectedRows();
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(current, endRow);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.at(0).row(), endRow);
}

void tst_VipCouponWidget::emptyTable()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QSignalSpy pay(&dialog, &VipCouponWidget::SigVipCouponPay);
    MessageCatcher catcher;
    int current = 0;
    bool stillOpen = false;
    const int result = runDialog(dialog, {}, [&] {
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnNextRow")), Qt::LeftButton);
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnPreRow")), Qt::LeftButton);
        current = table(dialog)->currentIndex().row();
        dialog.ToggleCurrentCoupon();
        QTest::mouseClick(dialog.findChild<QPushButton *>(QStringLiteral("btnPay")), Qt::LeftButton);
        stillOpen = dialog.isVisible();
        dialog.done(0);
    });
    QCOMPARE(result, 0);
    QVERIFY(!m_guardFired);
    QCOMPARE(current, -1);
    QVERIFY(stillOpen);
    QCOMPARE(pay.count(), 0);
    QCOMPARE(catcher.texts, (QStringList{"可用券数量为0", "已验券数量为0，无法核销"}));
}

void tst_VipCouponWidget::payNeedsATickedCoupon()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QSignalSpy pay(&dialog, &VipCouponWidget::SigVipCouponPay);
    connect(&dialog, &VipCouponWidget::SigVipCouponPay, &dialog, [&] {
        dialog.m_bPayOk = true;
        dialog.done(1);
    });
    MessageCatcher catcher;
    int paysBeforeTick = -1;
    const int result = runDialog(dialog, {makeCoupon("A")}, [&] {
        auto *button = dialog.findChild<QPushButton *>(QStringLiteral("btnPay"));
        QTest::mouseClick(button, Qt::LeftButton);
        paysBeforeTick = pay.count();
        tap(dialog, 0, 1);
        QTest::mouseClick(button, Qt::LeftButton);
    });
    QCOMPARE(result, 1);
    QVERIFY(!m_guardFired);
    QCOMPARE(paysBeforeTick, 0);
    QCOMPARE(pay.count(), 1);
    QCOMPARE(catcher.texts, QStringList{"已验券数量为0，无法核销"});
    QVERIFY(dialog.m_bPayOk);
}

void tst_VipCouponWidget::exitButtonsClose_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("top bar") << "QbtnExit";
    QTest::newRow("bottom bar") << "bntExit";
}

void tst_VipCouponWidget::exitButtonsClose()
{
    QFETCH(QString, button);
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QSignalSpy pay(&dialog, &VipCouponWidget::SigVipCouponPay);
    const int result = runDialog(dialog, {makeCoupon("A", "1", "1")}, [&] {
        QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
    });
    QCOMPARE(result, 0);
    QVERIFY(!m_guardFired);
    QCOMPARE(dialog.m_sErrMsg, QStringLiteral("CLOSE"));
    QCOMPARE(pay.count(), 0);
    QVERIFY(!dialog.isVisible());
}

void tst_VipCouponWidget::endedWhileFillingSkipsTheLoop()
{
    // The controller's answer to a refused retry of the first re-query.
    VipCouponWidget dialog;
    connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, [&dialog] {
        dialog.m_bPayOk = false;
        dialog.m_sErrMsg = QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常");
        dialog.done(0);
    });
    bool loopRan = false;
    const int result = runDialog(dialog, {makeCoupon("A")}, [&] {
        loopRan = true;
        dialog.m_sErrMsg = QStringLiteral("CLOSE");
        dialog.done(0);
    });
    QCOMPARE(result, 0);
    QVERIFY(!loopRan);
    QVERIFY(!m_guardFired);
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.m_sErrMsg, QStringLiteral("接口异常，请检查接口配置是否正确或网络是否正常"));
    QVERIFY(!dialog.m_bPayOk);
    QCoreApplication::processEvents();   // let the queued action run now, outside show()
}

void tst_VipCouponWidget::keysAreKeptOrForwarded_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("return") << int(Qt::Key_Return) << false;
    QTest::newRow("enter") << int(Qt::Key_Enter) << false;
    QTest::newRow("digit 0") << int(Qt::Key_0) << false;
    QTest::newRow("digit 5") << int(Qt::Key_5) << false;
    QTest::newRow("digit 9") << int(Qt::Key_9) << false;
    QTest::newRow("shift") << int(Qt::Key_Shift) << false;
    QTest::newRow("escape") << int(Qt::Key_Escape) << true;
    QTest::newRow("up") << int(Qt::Key_Up) << true;
    QTest::newRow("left") << int(Qt::Key_Left) << true;
    QTest::newRow("page up") << int(Qt::Key_PageUp) << true;
    QTest::newRow("F1") << int(Qt::Key_F1) << true;
    QTest::newRow("slash") << int(Qt::Key_Slash) << true;
    QTest::newRow("letter") << int(Qt::Key_A) << true;
}

void tst_VipCouponWidget::keysAreKeptOrForwarded()
{
    QFETCH(int, key);
    QFETCH(bool, forwarded);
    VipCouponWidget dialog;
    QSignalSpy keys(&dialog, &VipCouponWidget::SignKeyPressed);
    // Through the dialog itself, its background and its table.
    QTest::keyClick(&dialog, Qt::Key(key));
    QTest::keyClick(dialog.findChild<QWidget *>(QStringLiteral("Qwidgetback")), Qt::Key(key));
    QTest::keyClick(table(dialog), Qt::Key(key));
    QCOMPARE(keys.count(), forwarded ? 3 : 0);
    for (const QList<QVariant> &arguments : qAsConst(keys))
        QCOMPARE(arguments.at(0).toInt(), key);
    QVERIFY(dialog.isVisible());   // no key closes the dialog by itself
}

void tst_VipCouponWidget::infoColumnsOpenThePopup_data()
{
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("caption");
    QTest::newRow("rules") << 6 << 0 << "规则A" << "使用规则：";
    QTest::newRow("reason") << 7 << 1 << "不满足门槛" << "不可用原因：";
}

void tst_VipCouponWidget::infoColumnsOpenThePopup()
{
    QFETCH(int, column);
    QFETCH(int, row);
    QFETCH(QString, text);
    QFETCH(QString, caption);
    VipCouponWidget dialog;
    answerRequeries(dialog);
    QStringList shown;
    int popups = 0;
    runDialog(dialog, {makeCoupon("A"), makeCoupon("B", "0")}, [&] {
        tap(dialog, row, column);
        tap(dialog, row, column);
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            if (auto *popup = qobject_cast<CoupMsgWidget *>(widget)) {
                ++popups;
                shown << popup->findChild<QLabel *>(QStringLiteral("coupName"))->text()
                      << popup->findChild<QLabel *>(QStringLiteral("coupRule"))->text()
                      << popup->findChild<QLabel *>(QStringLiteral("labRule"))->text();
                popup->close();
            }
        }
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(popups, 1);   // created on first use, then reused
    QCOMPARE(shown, (QStringList{row == 0 ? "券A" : "券B", text, caption}));
}

void tst_VipCouponWidget::rowDelegatesDoNotPileUp()
{
    VipCouponWidget dialog;
    answerRequeries(dialog);
    int afterFill = -1, afterToggles = -1, viewAfterToggles = -1;
    QString lastTick;
    bool routed = false;
    // Only the row delegates are the router's children, so a replaced one that is never freed
    // shows up in this count.
    auto live = [this, &dialog] {
        RowDelegates *rows = router(dialog);
        return rows ? rows->findChildren<QAbstractItemDelegate *>(QString(),
                                                                  Qt::FindDirectChildrenOnly).size()
                    : -1;
    };
    runDialog(dialog, {makeCoupon("A"), makeCoupon("B"), makeCoupon("C", "0")}, [&] {
        QTableView *view = table(dialog);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        afterFill = live();
        dialog.SlotTableViewClicked(view->model()->index(0, 0));
        for (int i = 0; i < 10000; ++i) {
            dialog.ToggleCurrentCoupon();
            if (i % 100 == 99)
                QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        lastTick = cell(dialog, 0, 1);
        afterToggles = live();
        viewAfterToggles = view->findChildren<QItemDelegate *>().size();
        routed = router(dialog) && router(dialog)->rowCount() == 3
                && rowDelegate(dialog, 0) && rowDelegate(dialog, 1) && rowDelegate(dialog, 2);
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(lastTick, QStringLiteral("0"));   // an even number of toggles
    QCOMPARE(afterFill, 3);                    // one per row
    QCOMPARE(afterToggles, 3);
    QCOMPARE(viewAfterToggles, 3);             // none parked elsewhere under the view
    QVERIFY(routed);
}

void tst_VipCouponWidget::promotionFlagsAreLogged_data()
{
    QTest::addColumn<QString>("probillno");
    QTest::addColumn<QString>("protype");
    QTest::addColumn<bool>("promotion");
    QTest::addColumn<bool>("memberPrice");
    QTest::addColumn<QString>("logged");
    QTest::newRow("member price") << "0000" << "94" << false << true << "位置：本单存在会员优惠价格\n内容：促销类型：94\n";
    QTest::newRow("promotion") << "P01" << "10" << true << false << "位置：本单存在促销\n内容：m_probillno：P01,m_protype:10\n";
}

void tst_VipCouponWidget::promotionFlagsAreLogged()
{
    QFETCH(QString, probillno);
    QFETCH(QString, protype);
    QFETCH(bool, promotion);
    QFETCH(bool, memberPrice);
    QFETCH(QString, logged);
    VipCouponWidget dialog;
    DscDetail line;
    line.probillno = probillno;
    line.protype = protype;
    dialog.m_DscDetails = {line};
    QCOMPARE(dialog.HasPromotion(), promotion);
    QCOMPARE(dialog.HasMemberPrice(), memberPrice);
    const QString log = logText();
    QVERIFY2(log.contains(QStringLiteral("方式：SCRM批量用券动态库\n") + logged), qPrintable(logged));
}

QTEST_MAIN(tst_VipCouponWidget)
#include "tst_vipcouponwidget.moc"
