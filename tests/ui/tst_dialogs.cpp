// The coupon dialog's rules as plain functions, then the dialogs as the cashier meets them at the
// till's 800x600 (pictures in $GRAB_DIR), worked by taps and keys in their own modal loops; last the
// bridge into the host: QWinWidget in a host window, QMfcApp's message hook, the library in a Qt host.
#include <dlfcn.h>

#include <memory>
#include <vector>

#include <QApplication>
#include <QDir>
#include <QItemDelegate>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "entry/qmfcapp.h"
#include "entry/qwinwidget.h"
#include "entry/vipcouponcpu.h"
#include "helpers/testsupport.h"
#include "helpers/tillfolder.h"
#include "platform/hostbridge_linux.h"
#include "ui/coupmsgwidget.h"
#include "ui/couponrows.h"
#include "ui/keymapping.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/rowdelegates.h"
#include "ui/vipcouponwidget.h"
#include "ui/waitwidget.h"

using namespace CouponRows;
using TestSupport::labelText;
using Coupons = QList<VipCouponDetail>;
Q_DECLARE_METATYPE(RowLook)
Q_DECLARE_METATYPE(ToggleOutcome)
Q_DECLARE_METATYPE(RefreshChange)
Q_DECLARE_METATYPE(Keys::Action)

namespace {

constexpr int kLeftOpen = 42; // the test ended a dialog that its steps left open
const QString kMessage = "会员券核销失败：网络连接超时，请检查网络后重试。";
const QString kQuestion = "券查询接口调用失败，是否重试？\n若否则退出本次支付。";
const QString kRules = QStringLiteral("1. 单笔消费满100元可用，每单限用一张；\n2. 特价商品、烟酒及购物卡不参与；\n"
                                      "3. 不设找零，不可兑换现金；\n4. 有效期至2025-12-31。");
// Native windows of the host: ids no window of this process has.
const HWND kHost = 0x7f000010;
const HWND kHostField = 0x7f000011;

// Not ticked, worth 10, name "券<code>", rules "规则<code>", reason "不满足门槛" when not usable.
VipCouponDetail coupon(const QString &code, const QString &availableFlag = "1", const QString &apportionType = "1")
{
    VipCouponDetail c;
    c.certiInfoId = "id-" + code;
    c.certiInfoCode = code;
    c.certiInfoName = "券" + code;
    c.depict = "规则" + code;
    c.availableFlag = availableFlag;
    c.apportionType = apportionType;
    c.certiMe = c.realCertiMe = "10";
    c.certiMeType = c.checkFlag = "0";
    c.enddate = "2030-12-31";
    if (availableFlag == "0")
        c.unAvailableRemark = "不满足门槛";
    return c;
}

QTableView *table(VipCouponWidget &dialog)
{
    return dialog.findChild<QTableView *>("tableView");
}
QModelIndex cell(VipCouponWidget &dialog, int row, int column)
{
    return table(dialog)->model()->index(row, column);
}
void tap(VipCouponWidget &dialog, int row, int column)
{
    QTest::mouseClick(table(dialog)->viewport(), Qt::LeftButton, {},
                      table(dialog)->visualRect(cell(dialog, row, column)).center());
}

// The colour each row is filled with, read off the painted table beside the name column's text.
QStringList rowFills(VipCouponWidget &dialog)
{
    const QImage image = table(dialog)->viewport()->grab().toImage();
    QStringList fills;
    for (int row = 0; row < table(dialog)->model()->rowCount(); ++row)
        fills << QColor(image.pixel(table(dialog)->visualRect(cell(dialog, row, 3)).topLeft() + QPoint(4, 4))).name();
    return fills;
}

// Object names of the visible labels whose text does not fit their size.
QStringList labelsCutOff(const QWidget &widget)
{
    QStringList names;
    for (const QLabel *label : widget.findChildren<QLabel *>()) {
        const QSize hint = label->sizeHint();
        if (label->isVisible() && !label->text().isEmpty()
            && (label->wordWrap() ? label->heightForWidth(label->width()) > label->height()
                                  : hint.width() > label->width() || hint.height() > label->height()))
            names << label->objectName();
    }
    return names;
}

// As the cashier sees it: no text cut off, buttons inside the content box, server texts plain text;
// the picture goes to $GRAB_DIR (default: the temp folder).
void checkPicture(QWidget &window, const QString &name, const QString &box, const QStringList &plainLabels)
{
    QCOMPARE(labelsCutOff(window), QStringList());
    auto *content = window.findChild<QWidget *>(box);
    for (QPushButton *button : box.isEmpty() ? QList<QPushButton *>() : window.findChildren<QPushButton *>())
        QVERIFY2(content->rect().contains(QRect(button->mapTo(content, QPoint(0, 0)), button->size())),
                 qPrintable(button->objectName()));
    for (const QString &label : plainLabels)
        QCOMPARE(window.findChild<QLabel *>(label)->textFormat(), Qt::PlainText);
    const QString dir = qEnvironmentVariable("GRAB_DIR", QDir::tempPath());
    QVERIFY(QDir().mkpath(dir) && window.grab().save(dir + '/' + name + ".png"));
}

}

class tst_Dialogs : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_app = std::make_unique<AppFolder>();
        m_messages.clear();
        m_answer.clear();
        HostBridge::resetWindowState();
    }
    void cleanup() { m_app.reset(); }

    // A range value; a coupon that is not usable shows as such even when the server ticked it.
    void rowCells()
    {
        VipCouponDetail c = coupon("C1", "0");
        c.checkFlag = "1";
        c.certiMeType = "1";
        c.certiMeMin = "5", c.certiMeMax = "20";
        QCOMPARE(CouponRows::rowCells(c, 2),
                 (QStringList {"3", "2", "C1", "券C1", "5-20", "2030-12-31", "规则C1", "不满足门槛"}));
        QCOMPARE(initialLook(c), RowLook::Unusable);
    }

    void toggleOutcome_data()
    {
        QTest::addColumn<QString>("tickCell");
        QTest::addColumn<VipCouponDetail>("tapped");
        QTest::addColumn<Coupons>("selected");
        QTest::addColumn<int>("maxCount"); // Config/DiscountCountMax
        QTest::addColumn<ToggleOutcome>("outcome");
        const Coupons two {coupon("S"), coupon("T")};
        QTest::newRow("untick ignores the limit") << "1" << coupon("X") << two << 1 << ToggleOutcome::Untick;
        QTest::newRow("not usable stays") << "2" << coupon("X", "0") << Coupons() << 0 << ToggleOutcome::Unchanged;
        QTest::newRow("max 2 reached") << "0" << coupon("X") << two << 2 << ToggleOutcome::LimitReached;
        QTest::newRow("max 2, other kinds ticked")
            << "0" << coupon("X") << Coupons {coupon("S"), coupon("T", "1", "2"), coupon("U", "1", "0")} << 2
            << ToggleOutcome::Tick;
        QTest::newRow("zero is no limit") << "0" << coupon("X") << two << 0 << ToggleOutcome::Tick;
    }

    void toggleOutcome()
    {
        QFETCH(QString, tickCell);
        QFETCH(VipCouponDetail, tapped);
        QFETCH(Coupons, selected);
        QFETCH(int, maxCount);
        QTEST(CouponRows::toggleOutcome(tickCell, tapped, selected, maxCount), "outcome");
    }

    void planRefresh_data()
    {
        QTest::addColumn<Coupons>("rows");
        QTest::addColumn<Coupons>("answer"); // the server's list after a re-query
        QTest::addColumn<QList<RefreshChange>>("changes");
        QTest::addColumn<QList<int>>("answerIndexes"); // the answer's coupon each changed row takes
        using C = RefreshChange;
        QTest::newRow("unmatched row stays") << Coupons {coupon("A"), coupon("B")} << Coupons {coupon("B", "0")}
                                             << QList<C> {C::None, C::BecomesUnusable} << QList<int> {-1, 0};
        QTest::newRow("first changing duplicate wins")
            << Coupons {coupon("A")} << Coupons {coupon("A"), coupon("A", "0"), coupon("A", "0")}
            << QList<C> {C::BecomesUnusable} << QList<int> {1};
        QTest::newRow("row flag 2 is neither") << Coupons {coupon("A", "2")} << Coupons {coupon("A", "0"), coupon("A")}
                                               << QList<C> {C::None} << QList<int> {-1};
        QTest::newRow("rows sharing a code")
            << Coupons {coupon("A"), coupon("A", "0")} << Coupons {coupon("A", "0"), coupon("A")}
            << QList<C> {C::BecomesUnusable, C::BecomesUsable} << QList<int> {0, 1};
    }

    void planRefresh()
    {
        QFETCH(Coupons, rows);
        QFETCH(Coupons, answer);
        QList<RefreshChange> changes;
        QList<int> indexes;
        for (const RowRefresh &step : CouponRows::planRefresh(rows, answer)) {
            changes << step.change;
            indexes << (step.change == RefreshChange::None ? -1 : step.answerIndex);
        }
        QTEST(changes, "changes");
        QTEST(indexes, "answerIndexes");
    }

    void maxCountFrom_data()
    {
        QTest::addColumn<QString>("iniValue");
        QTest::addColumn<int>("maxCount");
        QTest::newRow("padded") << " 4 " << 4;
    }

    void maxCountFrom()
    {
        QFETCH(QString, iniValue);
        QTEST(CouponRows::maxCountFrom(iniValue), "maxCount");
    }

    void notPayText_data()
    {
        QTest::addColumn<QString>("trAmt"); // hundredths
        QTest::addColumn<QString>("text");
        QTest::newRow("large") << "1234567"
                               << "12345.67";
        QTest::newRow("not a number") << "x"
                                      << "0.00";
        QTest::newRow("decimal input") << "1999.9"
                                       << "20.00";
    }

    void notPayText()
    {
        QFETCH(QString, trAmt);
        QTEST(CouponRows::notPayText(trAmt), "text");
    }

    void scanCode_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("scan"); // -1: the key is not configured
        QTest::newRow("gen5 plus like equals") << "GEN5" << int(Qt::Key_Plus) << 107;
        QTest::newRow("other edition like gen5") << "POS" << int(Qt::Key_Up) << 38;
        QTest::newRow("gen6 right parenthesis like left") << "GEN6" << int(Qt::Key_ParenRight) << 40;
        QTest::newRow("gen6 escape") << "GEN6" << int(Qt::Key_Escape) << 4;
        QTest::newRow("gen6 7 not configured") << "GEN6" << int(Qt::Key_7) << -1;
    }

    void scanCode()
    {
        QFETCH(QString, sysType);
        QFETCH(int, key);
        QFETCH(int, scan);
        int actual = -1;
        QCOMPARE(Keys::scanCode(Keys::editionOf(sysType), key, actual), scan >= 0);
        if (scan >= 0)
            QCOMPARE(actual, scan);
    }

    void actionFor_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QStringList>("funcValues");
        QTest::addColumn<QList<Keys::Action>>("actions");
        using A = Keys::Action;
        QTest::newRow("gen5") << "GEN5" << QStringList {"1", "2", "3", "30", "100", "110", "0x1"}
                              << QList<A> {A::PreviousRow, A::NextRow, A::Toggle, A::Exit, A::Pay, A::None, A::None};
        QTest::newRow("gen6") << "GEN6" << QStringList {"110", "111", "112", "107", "115", "1"}
                              << QList<A> {A::PreviousRow, A::NextRow, A::Toggle, A::Exit, A::Pay, A::None};
        QTest::newRow("edition is case-sensitive") << "gen6" << QStringList {"110"} << QList<A> {A::None};
    }

    void actionFor()
    {
        QFETCH(QString, sysType);
        QFETCH(QStringList, funcValues);
        QList<Keys::Action> actions;
        for (const QString &value : funcValues)
            actions << Keys::actionFor(Keys::editionOf(sysType), value);
        QTEST(actions, "actions");
    }

    void shouldDeleteAtUnload_data()
    {
        QTest::addColumn<bool>("owned");
        QTest::addColumn<bool>("exists");
        QTest::addColumn<bool>("pinned");
        QTest::addColumn<bool>("teardownSafe");
        QTest::addColumn<bool>("deleted");
        QTest::newRow("host's own application") << false << true << false << true << false;
        QTest::newRow("host's own, pinned") << false << true << true << true << false;
        QTest::newRow("ours, early") << true << true << false << false << true;
        QTest::newRow("ours, already gone") << true << false << false << true << false;
        QTest::newRow("ours, process end on Windows") << true << true << true << true << true;
        QTest::newRow("ours, process end on Linux") << true << true << true << false << false;
    }

    void shouldDeleteAtUnload()
    {
        QFETCH(bool, owned);
        QFETCH(bool, exists);
        QFETCH(bool, pinned);
        QFETCH(bool, teardownSafe);
        QTEST(QMfcApp::shouldDeleteAtUnload(owned, exists, pinned, teardownSafe), "deleted");
    }

    void prompts_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("uiType"); // Config/UiType of TwVipCoupon5.ini, no file when empty
        QTest::addColumn<QString>("key"); // pressed, or empty
        QTest::addColumn<QString>("button"); // tapped when there is no key
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("shown"); // the window's texts; a message box's button caption last
        QTest::newRow("message return") << "message"
                                        << "1"
                                        << "Return"
                                        << "" << 1 << QStringList {kMessage, "确定(Enter)"};
        QTest::newRow("message tap") << "message"
                                     << ""
                                     << ""
                                     << "QbtnOK" << 1 << QStringList {kMessage, "确定"};
        QTest::newRow("question escape") << "question"
                                         << ""
                                         << "Esc"
                                         << "" << kLeftOpen << QStringList {kQuestion};
        QTest::newRow("question tap cancel") << "question"
                                             << ""
                                             << ""
                                             << "btncancel" << 0 << QStringList {kQuestion};
        QTest::newRow("wait escape") << "wait"
                                     << ""
                                     << "Esc"
                                     << "" << kLeftOpen << QStringList {"正在查询会员券", "......"};
    }

    // MessageWidget::ShowMessage, QuestionMessage::AskQuestion, WaitWidget::ShowWaiting: full screen, with a picture;
    // every key is accepted by the window itself, so none reaches the host. The question's "1" and "0": tests/e2e.
    void prompts()
    {
        QFETCH(QString, kind);
        QFETCH(QString, uiType);
        QFETCH(QString, key);
        QFETCH(QString, button);
        if (!uiType.isEmpty())
            m_app->writeIni("TwVipCoupon5.ini", {{"Config/UiType", uiType}});
        const QString text = kind == "wait" ? "正在查询会员券" : kind == "message" ? kMessage : kQuestion;
        const QString textLabel = kind == "message" ? "Qlbltishi" : kind == "question" ? "label_text" : "Qlabel_text";
        QStringList seen;
        bool accepted = key.isEmpty();
        auto act = [&](QWidget &window) {
            QVERIFY(window.isFullScreen());
            seen << labelText(window, textLabel);
            if (kind == "wait")
                seen << labelText(window, "Qlbldot");
            else if (kind == "message")
                seen << window.findChild<QPushButton *>("QbtnOK")->text();
            checkPicture(window, "prompt-" + kind, kind == "question" ? "horizontalWidget" : "QhorizontalWidget",
                         kind == "wait" ? QStringList() : QStringList {textLabel});
            if (key.isEmpty())
                return QTest::mouseClick(window.findChild<QPushButton *>(button), Qt::LeftButton);
            QKeyEvent event(QEvent::KeyPress, QKeySequence::fromString(key)[0], Qt::NoModifier);
            event.ignore();
            QApplication::sendEvent(&window, &event);
            accepted = event.isAccepted();
        };
        ModalDriver cashier([&](QDialog &dialog) {
            act(dialog);
            if (dialog.isVisible())
                dialog.done(kLeftOpen);
        });
        int answer = -1;
        MessageWidget message;
        WaitWidget wait;
        if (kind == "question") {
            answer = QuestionMessage().AskQuestion(text);
        } else if (kind == "message") {
            message.ShowMessage(text);
            answer = message.result();
        } else {
            wait.SetWaitText(text);
            wait.ShowWaiting();
            QVERIFY(QTest::qWaitForWindowExposed(&wait));
            act(wait);
            answer = wait.isVisible() ? kLeftOpen : -1;
        }
        QVERIFY(!cashier.guardFired());
        QTEST(answer, "result");
        QTEST(seen, "shown");
        QVERIFY(accepted);
    }

    // Texts, row colours and labels as it opens and after a tick; row delegates must not pile up.
    void couponDialogOpens()
    {
        VipCouponWidget dialog;
        dialog.m_TranMain.tr_amt = "1250";
        dialog.m_TranMain.vip_no = "800123";
        Coupons list {coupon("A"), coupon("B"), coupon("C", "0"), coupon("D")};
        list[1].checkFlag = "1";
        list[1].realCertiMe = "7.5";
        QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
        // A replaced row delegate never freed shows up among the router's children or under the view.
        auto delegates = [&dialog] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const auto *rows = qobject_cast<RowDelegates *>(table(dialog)->itemDelegate());
            return rows->findChildren<QAbstractItemDelegate *>(QString(), Qt::FindDirectChildrenOnly).size()
                + table(dialog)->findChildren<QItemDelegate *>().size();
        };
        run(dialog, list, [&] {
            // The pre-ticked coupon is selected and asked for before the loop starts.
            QCOMPARE(query.count(), 1);
            QCOMPARE(labelText(dialog, "txtNotPay"), "12.50");
            QCOMPARE(labelText(dialog, "txtMemb"), "800123");
            QCOMPARE(labelText(dialog, "txtPay"), "7.50");
            QCOMPARE(delegates(), 8);
            tap(dialog, 3, 1);
            dialog.SlotTableViewClicked(cell(dialog, 0, 0));
            QCoreApplication::processEvents(); // the layouts follow the new texts
            QCOMPARE(labelText(dialog, "txtPay"), "17.50");
            // The selected plain row, the pre-ticked row (still plain), the unusable row, the ticked row.
            QCOMPARE(rowFills(dialog), (QStringList {"#f3fcff", "#ffffff", "#dee2ed", "#c2e4ff"}));
            checkPicture(dialog, "coupon-dialog-800x600", QString(), {});
            for (int i = 0; i < 1000; ++i)
                dialog.ToggleCurrentCoupon();
            QCOMPARE(delegates(), 8);
            dialog.done(0);
        });
    }

    void couponDialogWorked_data()
    {
        QTest::addColumn<Coupons>("list");
        QTest::addColumn<QString>("maxCount"); // Config/DiscountCountMax
        QTest::addColumn<Coupons>("answer"); // every re-query's answer
        // "N": tap row N's tick, "rowN": select row N, "toggle", else a button's name
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<int>("result"); // kLeftOpen: still open after the steps
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QString>("paid");
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<int>("queries"); // re-queries with a selection
        QTest::addColumn<int>("memberQueries"); // and without
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QString>("errMsg");
        const QString nothingTicked = "已验券数量为0，无法核销";
        const Coupons ab {coupon("A"), coupon("B")};
        const Coupons abc {coupon("A"), coupon("B"), coupon("C")};
        const Coupons a {coupon("A")};
        QTest::newRow("untick empties the selection")
            << ab << "" << Coupons() << QStringList {"0", "0"} << kLeftOpen << QStringList {"0", "0"} << "0.00" << 0
            << 1 << 2 << QStringList() << "";
        QTest::newRow("unusable row stays")
            << Coupons {coupon("A"), coupon("B", "0")} << "" << Coupons() << QStringList {"1"} << kLeftOpen
            << QStringList {"0", "2"} << "0.00" << 1 << 0 << 1 << QStringList() << "";
        QTest::newRow("max 2 blocks a third")
            << abc << "2" << Coupons() << QStringList {"0", "1", "2"} << kLeftOpen << QStringList {"1", "1", "0"}
            << "20.00" << 2 << 2 << 1 << QStringList {"优惠券最大可用数量为2"} << "";
        QTest::newRow("answer turns rows unusable and usable")
            << Coupons {coupon("A"), coupon("B"), coupon("C", "0")} << ""
            << Coupons {coupon("A"), coupon("B", "0"), coupon("C")} << QStringList {"0"} << kLeftOpen
            << QStringList {"1", "2", "0"} << "10.00" << 0 << 1 << 1 << QStringList() << "";
        QTest::newRow("next wraps") << abc << "" << Coupons() << QStringList {"row2", "btnNextRow"} << kLeftOpen
                                    << QStringList {"0", "0", "0"} << "0.00" << 0 << 0 << 1 << QStringList() << "";
        QTest::newRow("pay without a tick")
            << a << "" << Coupons() << QStringList {"btnPay"} << kLeftOpen << QStringList {"0"} << "0.00" << 0 << 0 << 1
            << QStringList {nothingTicked} << "";
        QTest::newRow("pay after a tick") << a << "" << Coupons() << QStringList {"0", "btnPay"} << 1
                                          << QStringList {"1"} << "10.00" << 0 << 1 << 1 << QStringList() << "";
        QTest::newRow("top exit") << a << "" << Coupons() << QStringList {"0", "QbtnExit"} << 0 << QStringList {"1"}
                                  << "10.00" << 0 << 1 << 1 << QStringList() << "CLOSE";
        QTest::newRow("empty table") << Coupons() << "" << Coupons()
                                     << QStringList {"btnNextRow", "btnPreRow", "toggle", "btnPay"} << kLeftOpen
                                     << QStringList() << "0.00" << -1 << 0 << 1
                                     << QStringList {"可用券数量为0", nothingTicked} << "";
    }

    // VipCouponWidget::show: the cashier taps and presses in the dialog's own loop.
    void couponDialogWorked()
    {
        QFETCH(Coupons, list);
        QFETCH(QString, maxCount);
        QFETCH(Coupons, answer);
        QFETCH(QStringList, steps);
        m_app->writeIni("TwCouponPay5.ini", {{"Config/DiscountCountMax", maxCount}});
        VipCouponWidget dialog;
        QSignalSpy queries(&dialog, &VipCouponWidget::SignQueryCoupons);
        QSignalSpy memberQueries(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
        connect(&dialog, &VipCouponWidget::SigVipCouponPay, &dialog, [&dialog] { dialog.done(1); });
        QStringList ticks;
        QString paid;
        int currentRow = -2;
        const int result = run(dialog, list, [&] {
            m_answer = answer;
            for (const QString &step : steps) {
                if (step.startsWith("row"))
                    dialog.SlotTableViewClicked(cell(dialog, step.mid(3).toInt(), 0));
                else if (step == "toggle")
                    dialog.ToggleCurrentCoupon();
                else if (step.at(0).isDigit())
                    tap(dialog, step.toInt(), 1);
                else
                    QTest::mouseClick(dialog.findChild<QPushButton *>(step), Qt::LeftButton);
            }
            for (int row = 0; row < table(dialog)->model()->rowCount(); ++row)
                ticks << cell(dialog, row, 1).data().toString();
            paid = labelText(dialog, "txtPay");
            currentRow = table(dialog)->currentIndex().row();
            if (dialog.isVisible())
                dialog.done(kLeftOpen);
        });
        QTEST(result, "result");
        QTEST(ticks, "ticks");
        QTEST(paid, "paid");
        QTEST(currentRow, "currentRow");
        QTEST(int(queries.count()), "queries");
        QTEST(int(memberQueries.count()), "memberQueries");
        QTEST(m_messages, "messages");
        QTEST(dialog.m_sErrMsg, "errMsg");
    }

    void couponDialogKeys_data()
    {
        QTest::addColumn<QList<int>>("keys");
        QTest::addColumn<bool>("forwarded");
        QTest::newRow("the host's input keys")
            << QList<int> {Qt::Key_Return, Qt::Key_Enter, Qt::Key_0, Qt::Key_9} << false;
        QTest::newRow("the rest") << QList<int> {Qt::Key_Escape, Qt::Key_Up, Qt::Key_A} << true;
    }

    // Through the dialog itself, its background and its table; no key closes the dialog.
    void couponDialogKeys()
    {
        QFETCH(QList<int>, keys);
        QFETCH(bool, forwarded);
        VipCouponWidget dialog;
        QSignalSpy spy(&dialog, &VipCouponWidget::SignKeyPressed);
        QList<int> sent, expected;
        for (int key : keys) {
            for (QWidget *target :
                 QList<QWidget *> {&dialog, dialog.findChild<QWidget *>("Qwidgetback"), table(dialog)}) {
                QTest::keyClick(target, Qt::Key(key));
                expected << key;
            }
        }
        for (const QList<QVariant> &arguments : qAsConst(spy))
            sent << arguments.at(0).toInt();
        QCOMPARE(sent, forwarded ? expected : QList<int>());
        QVERIFY(dialog.isVisible());
    }

    // The rules and reason columns open one reused popup; Return leaves it open, Escape or its button close it.
    void couponInfoPopup()
    {
        VipCouponWidget dialog;
        Coupons list {coupon("A"), coupon("B", "0")};
        list[0].depict = kRules;
        QStringList seen;
        run(dialog, list, [&] {
            for (const auto &[row, column, key] :
                 {std::tuple {0, 6, Qt::Key_Return}, {1, 7, Qt::Key_Escape}, {0, 6, Qt::Key_unknown}}) {
                tap(dialog, row, column);
                QList<CoupMsgWidget *> popups;
                for (QWidget *window : QApplication::topLevelWidgets())
                    if (auto *popup = qobject_cast<CoupMsgWidget *>(window))
                        popups << popup;
                QCOMPARE(popups.size(), 1);
                CoupMsgWidget &popup = *popups.first();
                QVERIFY(popup.isFullScreen());
                checkPicture(popup, QStringLiteral("coupon-info-%1").arg(column), "vWidget", {"coupName", "coupRule"});
                seen << labelText(popup, "coupName") << labelText(popup, "coupRule") << labelText(popup, "labRule");
                if (key == Qt::Key_unknown)
                    QTest::mouseClick(popup.findChild<QPushButton *>("btnClose"), Qt::LeftButton);
                else
                    QTest::keyClick(&popup, key);
                seen << (popup.isVisible() ? "open" : "closed");
            }
            dialog.done(0);
        });
        QCOMPARE(seen,
                 (QStringList {"券A", kRules, "使用规则：", "open", "券B", "不满足门槛", "不可用原因：", "closed",
                               "券A", kRules, "使用规则：", "closed"}));
    }

    void keyFunctionCode_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QString>("orgCode");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("press"); // pressed in the dialog too: the error is all the cashier is shown
        const QString notFound = "未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from %1 where "
                                 "ScanCode=%2|| TwPosConfig-KeyBoardGetFuncCode";
        QTest::newRow("gen6 till override") << "GEN6"
                                            << "A01" << int(Qt::Key_PageUp) << "115"
                                            << "" << false;
        // A quote in the till's own configuration must not turn into SQL.
        QTest::newRow("gen6 org code is bound") << "GEN6"
                                                << "A01' or '1'='1" << int(Qt::Key_Up) << "111"
                                                << "" << false;
        // A till without an organisation in its settings matches the override rows written for none.
        QTest::newRow("gen6 override without org code") << "GEN6" << QString() << int(Qt::Key_F1) << "116"
                                                        << "" << false;
        QTest::newRow("gen6 function without action") << "GEN6"
                                                      << "A01" << int(Qt::Key_Escape) << "abc"
                                                      << "" << true;
        QTest::newRow("gen6 no scan code") << "GEN6"
                                           << "A01" << int(Qt::Key_Slash) << ""
                                           << "该按键未配置" << true;
        QTest::newRow("gen6 not defined") << "GEN6"
                                          << "A01" << int(Qt::Key_F2) << "" << notFound.arg("tPosKeyDef", "25") << true;
        QTest::newRow("gen5 slash looks up 0")
            << "GEN5"
            << "" << int(Qt::Key_Slash) << "" << notFound.arg("tJkPosKeyDef", "0") << false;
    }

    // VipCouponCPU::GetKeyFunctionCode, and the key pressed in the dialog (SlotKeyPressed).
    void keyFunctionCode()
    {
        QFETCH(QString, sysType);
        QFETCH(QString, orgCode);
        QFETCH(int, key);
        QFETCH(QString, error);
        QFETCH(bool, press);
        // The host's key tables. GEN6 in SQLite: F1 (24) and Up (13), Up overridden for till 001,
        // Escape (4) without action. GEN5 in "SQL Server" through ODBC: Up (38) and F12 (123).
        if (sysType == "GEN5") {
            m_app->writeGen5();
            m_app->runSql("gen5.db", {"insert into tJkPosKeyDef values (38, '1', '1'), (123, '100', '1')"});
        } else {
            m_app->writeGen6();
            m_app->writeIni("config.ini", {{"Config/OrgCode", orgCode.isNull() ? QVariant() : orgCode}});
            m_app->runSql("pos.db",
                          {"insert into tPosKeyDef values (24, '110', '1'), (13, '111', '1'), (4, 'abc', '1')",
                           "insert into tPosKeyDefDetail values ('A01', '001', '13', '115', '1'), "
                           "('A01', '002', '24', '107', '1'), ('', '001', '24', '116', '1')"});
        }
        VipCouponCPU cpu;
        QString value, actualError;
        QVERIFY2(cpu.Initialize(actualError), qPrintable(actualError));
        QCOMPARE(cpu.GetKeyFunctionCode(key, value, actualError), error.isEmpty());
        QTEST(value, "value");
        QCOMPARE(actualError, error);
        if (!press)
            return;
        cpu.m_VipCouponWidget.m_sErrMsg = "unchanged";
        QStringList shown;
        ModalDriver cashier([&shown](QDialog &box) {
            if (qobject_cast<MessageWidget *>(&box)) {
                shown << labelText(box, "Qlbltishi");
                QTest::keyClick(&box, Qt::Key_Return);
            }
        });
        cpu.SlotKeyPressed(key);
        QVERIFY(!cashier.guardFired());
        QCOMPARE(shown, error.isEmpty() ? QStringList() : QStringList {error});
        QCOMPARE(cpu.m_VipCouponWidget.m_sErrMsg, "unchanged");
    }

    void modalChildDisablesTheHostWindow_data()
    {
        QTest::addColumn<bool>("modal");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("enabledWhileShown");
        QTest::newRow("modal, hidden") << true << "hide" << false;
        QTest::newRow("modal, removed") << true << "remove" << false;
        QTest::newRow("modeless") << false << "hide" << true;
    }

    void modalChildDisablesTheHostWindow()
    {
        QFETCH(bool, modal);
        QFETCH(QString, ending);
        QFETCH(bool, enabledWhileShown);
        QWinWidget widget(kHost);
        QPointer<QDialog> dialog = new QDialog(&widget);
        dialog->setModal(modal);
        dialog->show();
        // A second showing must not stack a second disable.
        dialog->hide();
        dialog->show();
        QCOMPARE(HostBridge::isWindowEnabled(kHost), enabledWhileShown);
        if (ending == "hide")
            dialog->hide();
        else if (ending == "delete")
            delete dialog;
        else // taken away without being hidden first: only the child-removed path can re-enable
            static_cast<QObject *>(dialog.data())->setParent(nullptr);
        QVERIFY(HostBridge::isWindowEnabled(kHost));
        QCOMPARE(dialog && dialog->isVisible(), ending == "remove");
        delete dialog;
    }

    void focusGoesBackWhenTheChildHides_data()
    {
        QTest::addColumn<HWND>("focusBefore");
        QTest::addColumn<HWND>("focusAfter");
        QTest::newRow("a host field had the focus") << kHostField << kHostField;
        QTest::newRow("nothing had the focus") << HWND(0) << kHost;
    }

    void focusGoesBackWhenTheChildHides()
    {
        QFETCH(HWND, focusBefore);
        QFETCH(HWND, focusAfter);
        if (focusBefore)
            HostBridge::setFocusWindow(focusBefore);
        QWinWidget widget(kHost);
        widget.show();
        QVERIFY(QTest::qWaitForWindowActive(&widget));
        auto *dialog = new QDialog(&widget);
        dialog->show();
        QTRY_COMPARE(QGuiApplication::focusWindow(), dialog->windowHandle());
        // Qt's activation took the focus, as it does on Windows.
        QCOMPARE(HostBridge::focusWindow(), HWND(dialog->winId()));
        dialog->hide();
        QCOMPARE(HostBridge::focusWindow(), focusAfter);
    }

    void tabChainEndsHandFocusToTheHost_data()
    {
        QTest::addColumn<bool>("startAtFirst");
        QTest::addColumn<bool>("next");
        QTest::addColumn<bool>("focusAtFirst");
        QTest::addColumn<HWND>("hostFocus");
        QTest::newRow("forward past the end") << false << true << false << kHost;
        QTest::newRow("backward past the start") << true << false << true << kHost;
    }

    void tabChainEndsHandFocusToTheHost()
    {
        QFETCH(bool, startAtFirst);
        QFETCH(bool, next);
        QFETCH(bool, focusAtFirst);
        QFETCH(HWND, hostFocus);
        HostBridge::setFocusWindow(kHostField);
        QWinWidget widget(kHost);
        auto *first = new QLineEdit(&widget);
        new QLabel("no focus", &widget);
        auto *last = new QLineEdit(&widget);
        (startAtFirst ? first : last)->setFocus();
        QVERIFY(widget.focusNextPrevChild(next));
        QCOMPARE(widget.focusWidget(), focusAtFirst ? first : last);
        QCOMPARE(HostBridge::focusWindow(), hostFocus);
    }

    void hookDeliversEveryPostedEvent()
    {
        QObject first, second;
        QList<int> delivered;
        // Queued calls are posted events; no event loop runs here, so only the hook delivers them.
        for (int n : {1, 2, 3})
            QMetaObject::invokeMethod(
                n == 2 ? &second : &first, [&delivered, n] { delivered << n; }, Qt::QueuedConnection);
        QMfcApp::deliverPostedEvents();
        QCOMPARE(delivered, (QList<int> {1, 2, 3}));
    }

    // Loaded into this Qt host, the library uses the host's application object and leaves it alone.
    void libraryKeepsTheHostApplication()
    {
        QCoreApplication *const before = QCoreApplication::instance();
        void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        // The two entries and the exported widget, but nothing of the core the library is built on.
        QStringList exported;
        for (const char *symbol :
             {"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidget16staticMetaObjectE", "_ZN10QWinWidget12showCenteredEv",
              "_ZNK9LogWriter8WriteLogERK7QStringS2_S2_", "_ZN7QMfcApp17EnsureApplicationEPv"})
            exported << QLatin1String(dlsym(library, symbol) ? symbol : nullptr);
        exported.removeAll(QString());
        QCOMPARE(exported,
                 (QStringList {"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidget16staticMetaObjectE",
                               "_ZN10QWinWidget12showCenteredEv"}));

        // No till settings here: the host's own timer answers the library's message box.
        int answered = 0;
        ModalDriver cashier([&answered](QDialog &dialog) {
            if (qstrcmp(dialog.metaObject()->className(), "MessageWidget") == 0) {
                QTest::keyClick(&dialog, Qt::Key_Return);
                ++answered;
            }
        });
        using CardTrans =
            int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *);
        const auto entry = reinterpret_cast<CardTrans>(dlsym(library, "TwCardTrans"));
        QByteArray header = TestSupport::fixture("e2e/header-type0.xml");
        std::vector<std::vector<char>> out(8, std::vector<char>(4096, '\0'));
        QCOMPARE(entry(header.data(), nullptr, nullptr, nullptr, out[0].data(), out[1].data(), out[2].data(),
                       out[3].data(), out[4].data(), out[5].data(), out[6].data(), out[7].data()),
                 1);
        QCOMPARE(QByteArray(out[0].data()), QByteArray("111111"));
        QVERIFY(answered >= 1 && !cashier.guardFired());

        // The library did not pin itself, and the host's application and loop still work.
        dlclose(library);
        QVERIFY(!dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_NOLOAD));
        QCOMPARE(QCoreApplication::instance(), before);
        QWidget after;
        after.show();
        QVERIFY(QTest::qWaitForWindowExposed(&after));
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QTRY_VERIFY(fired);
    }

private:
    // Runs the dialog with during inside its loop; message boxes confirmed into m_messages, re-queries answered with
    // m_answer.
    int run(VipCouponWidget &dialog, const QList<VipCouponDetail> &list, std::function<void()> during)
    {
        auto refresh = [this, &dialog] {
            dialog.RefreshCouponStates(m_answer, {}, {});
        };
        connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, refresh);
        connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, refresh);
        ModalDriver cashier(
            [&](QDialog &shown) {
                if (&shown == &dialog)
                    during();
            },
            60000);
        ModalDriver messages([this](QDialog &shown) {
            if (qobject_cast<MessageWidget *>(&shown)) {
                m_messages << labelText(shown, "Qlbltishi");
                shown.accept();
            }
        });
        const int result = dialog.show(list, {}, {});
        [&] {
            QVERIFY2(!cashier.guardFired() && !messages.guardFired(), "a dialog stayed open");
        }();
        return result;
    }

    std::unique_ptr<AppFolder> m_app; // INI files and the daily log stay out of the build tree
    QStringList m_messages;
    QList<VipCouponDetail> m_answer;
};

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
