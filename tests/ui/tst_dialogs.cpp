// The coupon dialog's rules as plain functions, then the dialogs as the cashier meets them at the
// till's 800x600 (pictures in $GRAB_DIR), worked by taps and keys in their own modal loops; last the
// bridge into the host: QWinWidget in a host window, QMfcApp's message hook, the library in a Qt host.
#include <dlfcn.h>

#include <array>
#include <memory>
#include <vector>

#include <QApplication>
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
#include "platform/hostbridge_linux.h"
#include "support/appfolder.h"
#include "support/testsupport.h"
#include "ui/couponrows.h"
#include "ui/coupmsgwidget.h"
#include "ui/keymapping.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/rowdelegates.h"
#include "ui/vipcouponwidget.h"
#include "ui/waitwidget.h"

using namespace CouponRows;
using TestSupport::labelText;

namespace {

constexpr int kLeftOpen = 42;   // the test ended a dialog that its steps left open
const QString kMessage = QStringLiteral("会员券核销失败：网络连接超时，请检查网络后重试。");
const QString kQuestion = QStringLiteral("券查询接口调用失败，是否重试？\n若否则退出本次支付。");
const QString kRules = QStringLiteral("1. 单笔消费满100元可用，每单限用一张；\n2. 特价商品、烟酒及购物卡不参与；\n"
                                      "3. 不设找零，不可兑换现金；\n4. 有效期至2025-12-31。");
// Native windows of the host: ids no window of this process has.
const HWND kHost = 0x7f000010;
const HWND kHostField = 0x7f000011;

QTableView *table(VipCouponWidget &dialog) { return dialog.findChild<QTableView *>(QStringLiteral("tableView")); }
QModelIndex cell(VipCouponWidget &dialog, int row, int column) { return table(dialog)->model()->index(row, column); }
void tap(VipCouponWidget &dialog, int row, int column)
{
    QTest::mouseClick(table(dialog)->viewport(), Qt::LeftButton, {}, table(dialog)->visualRect(cell(dialog, row, column)).center());
}

// The colour each row is filled with, read off the painted table beside the name column's text.
QStringList rowFills(VipCouponWidget &dialog)
{
    QTableView *view = table(dialog);
    const QImage image = view->viewport()->grab().toImage();
    QStringList fills;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        fills << QColor(image.pixel(view->visualRect(cell(dialog, row, 3)).topLeft() + QPoint(4, 4))).name();
    return fills;
}

// As the cashier sees it: no text cut off, buttons inside the content box, server texts plain text.
void checkPicture(QWidget &window, const QString &name, const QString &box, const QStringList &plainLabels)
{
    QCOMPARE(TestSupport::labelsCutOff(window), QStringList());
    auto *content = window.findChild<QWidget *>(box);
    for (QPushButton *button : window.findChildren<QPushButton *>())
        QVERIFY2(content->rect().contains(QRect(button->mapTo(content, QPoint(0, 0)), button->size())), qPrintable(button->objectName()));
    for (const QString &label : plainLabels)
        QCOMPARE(window.findChild<QLabel *>(label)->textFormat(), Qt::PlainText);
    QVERIFY(TestSupport::saveGrab(window, name));
}

}

class tst_Dialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_app = std::make_unique<AppFolder>(); m_messages.clear(); m_answer.clear(); HostBridge::resetWindowState(); }
    void cleanup() { m_app.reset(); }

    void rulesWithoutAWidget_data()
    {
        QTest::addColumn<QString>("rule"); QTest::addColumn<QString>("input"); QTest::addColumn<QString>("text");
        // row: availableFlag checkFlag certiMeType (1: a range of 5 to 20) rowIndex -> the cells, the look
        QTest::newRow("row range value") << "row" << "1 0 1 4" << "5|0|C1|券C1|5-20|2030-12-31|规则C1| standard";
        QTest::newRow("row pre-ticked keeps the plain look") << "row" << "1 1 0 1" << "2|1|C1|券C1|10|2030-12-31|规则C1| standard";
        QTest::newRow("row not usable wins over tick") << "row" << "0 1 0 2" << "3|2|C1|券C1|10|2030-12-31|规则C1|不满足门槛 unusable";
        // tap: the tick cell and the tapped coupon | the selected coupons | Config/DiscountCountMax
        QTest::newRow("tap untick ignores the limit") << "tap" << "1 X | S T | 1" << "untick";
        QTest::newRow("tap not usable stays") << "tap" << "2 X:0 |  | 0" << "unchanged";
        QTest::newRow("tap unticked ticks") << "tap" << "0 X |  | 0" << "tick";
        QTest::newRow("tap unticked but flag 2") << "tap" << "0 X:2 |  | 0" << "unchanged";
        QTest::newRow("tap max 2 reached") << "tap" << "0 X | S T | 2" << "limit";
        QTest::newRow("tap max 2, other kinds ticked") << "tap" << "0 X | S T:1:2 U:1:0 | 2" << "tick";
        QTest::newRow("tap max 2, other kind tapped") << "tap" << "0 X:1:2 | S T | 2" << "tick";
        QTest::newRow("tap negative is no limit") << "tap" << "0 X | S T | -1" << "tick";
        // refresh: the rows | the server's answer -> per row, the change and the answer's coupon it takes
        QTest::newRow("refresh usable becomes unusable") << "refresh" << "A:1 | A:0" << "unusable@0";
        QTest::newRow("refresh other flag counts as usable") << "refresh" << "A:0 | A:7" << "usable@0";
        QTest::newRow("refresh no change, any order") << "refresh" << "A:1 B:0 | B:0 A:1" << "none none";
        QTest::newRow("refresh unmatched row stays") << "refresh" << "A:1 B:1 | B:0" << "none unusable@0";
        QTest::newRow("refresh first changing duplicate wins") << "refresh" << "A:1 | A:1 A:0 A:0" << "unusable@1";
        QTest::newRow("refresh row flag 2 is neither") << "refresh" << "A:2 | A:0 A:1" << "none";
        QTest::newRow("refresh rows sharing a code") << "refresh" << "A:1 A:0 | A:0 A:1" << "unusable@0 usable@1";
        // max: Config/DiscountCountMax as the limit; notpay: the header's tr_amt (hundredths) to pay
        QTest::newRow("max two") << "max" << "2" << "2";
        QTest::newRow("max negative") << "max" << "-3" << "0";
        QTest::newRow("max not a number") << "max" << "abc" << "0";
        QTest::newRow("max padded") << "max" << " 4 " << "4";
        QTest::newRow("notpay cents only") << "notpay" << "7" << "0.07";
        QTest::newRow("notpay large") << "notpay" << "1234567" << "12345.67";
        QTest::newRow("notpay not a number") << "notpay" << "x" << "0.00";
        QTest::newRow("notpay decimal input") << "notpay" << "1999.9" << "20.00";
        // columns: the widths in a table that wide; fonts: the top bar's and the table's on a screen that wide
        QTest::newRow("columns 1024") << "columns" << "1024" << "33 66 198 165 79 119 165 179";
        QTest::newRow("columns too narrow") << "columns" << "200" << "6 12 36 30 0 38 30 30";
        QTest::newRow("fonts 800") << "fonts" << "800" << "18 10";
        QTest::newRow("fonts 801") << "fonts" << "801" << "20 14";
        QTest::newRow("fonts 1600") << "fonts" << "1600" << "24 17";
        // scan: Config/SysType | Qt keys -> the host's scan codes ("-": none, the key is not configured)
        QTest::newRow("scan gen5, plus and equals share") << "scan" << "GEN5 | PgUp = +" << "33 107 107";
        QTest::newRow("scan other edition like gen5") << "scan" << "POS | Up" << "38";
        QTest::newRow("scan gen6, parentheses share") << "scan" << "GEN6 | ( ) Esc Q F12 7" << "40 40 4 81 35 -";
        // action: Config/SysType | the host's function numbers -> the dialog's actions
        QTest::newRow("action gen5") << "action" << "GEN5 | 1 2 3 30 100 110 0x1" << "previous next toggle exit pay none none";
        QTest::newRow("action gen6") << "action" << "GEN6 | 110 111 112 107 115 1" << "previous next toggle exit pay none";
        QTest::newRow("action edition is case-sensitive") << "action" << "gen6 | 110" << "none";
        QTest::newRow("action edition has no blanks") << "action" << "GEN6  | 110" << "none";
        // unload: what holds of "owned exists pinned teardownSafe" -> whether QMfcApp deletes the application object
        QTest::newRow("unload host's own application") << "unload" << "exists teardownSafe" << "keep";
        QTest::newRow("unload host's own, pinned") << "unload" << "exists pinned teardownSafe" << "keep";
        QTest::newRow("unload ours, early") << "unload" << "owned exists" << "delete";
        QTest::newRow("unload ours, already gone") << "unload" << "owned teardownSafe" << "keep";
        QTest::newRow("unload ours, process end on Windows") << "unload" << "owned exists pinned teardownSafe" << "delete";
        QTest::newRow("unload ours, process end on Linux") << "unload" << "owned exists pinned" << "keep";
    }

    void rulesWithoutAWidget()
    {
        QFETCH(QString, rule); QFETCH(QString, input); QFETCH(QString, text);
        const QStringList parts = input.split(QStringLiteral(" | "));
        const QStringList words = input.split(' ');
        QStringList out;
        if (rule == "row") {
            VipCouponDetail c = TestSupport::coupons("C1:" + words.at(0)).first();
            c.checkFlag = words.at(1);
            c.certiMeType = words.at(2);
            c.certiMeMin = QStringLiteral("5"), c.certiMeMax = QStringLiteral("20");
            out << rowCells(c, words.at(3).toInt()).join('|') << QLatin1String(std::array{"standard", "ticked", "unusable"}[int(initialLook(c))]);
        } else if (rule == "tap") {
            out << QLatin1String(std::array{"unchanged", "untick", "tick", "limit"}[int(toggleOutcome(
                words.at(0), TestSupport::coupons(parts.at(0).section(' ', 1)).first(), TestSupport::coupons(parts.at(1)), parts.at(2).toInt()))]);
        } else if (rule == "refresh") {
            for (const RowRefresh &step : planRefresh(TestSupport::coupons(parts.at(0)), TestSupport::coupons(parts.at(1))))
                out << QString::fromLatin1(std::array{"none", "unusable@%1", "usable@%1"}[int(step.change)]).arg(step.answerIndex);
        } else if (rule == "max") {
            out << QString::number(maxCountFrom(input));
        } else if (rule == "notpay") {
            out << notPayText(input);
        } else if (rule == "columns") {
            for (int width : columnWidths(input.toInt(), 20))
                out << QString::number(width);
        } else if (rule == "fonts") {
            const QRegularExpression size(QStringLiteral("font-size:(\\d+)px"));
            out << size.match(stylesForScreenWidth(input.toInt()).topBar).captured(1) << size.match(stylesForScreenWidth(input.toInt()).table).captured(1);
        } else if (rule == "scan") {
            for (const QString &name : parts.at(1).split(' ')) {
                int scan = -1;
                out << (Keys::scanCode(Keys::editionOf(parts.at(0)), QKeySequence::fromString(name)[0], scan) ? QString::number(scan) : "-");
            }
        } else if (rule == "unload") {
            out << (QMfcApp::shouldDeleteAtUnload(words.contains("owned"), words.contains("exists"), words.contains("pinned"), words.contains("teardownSafe"))
                        ? "delete" : "keep");
        } else {
            for (const QString &value : parts.at(1).split(' '))
                out << QLatin1String(std::array{"none", "previous", "next", "toggle", "exit", "pay"}[int(Keys::actionFor(Keys::editionOf(parts.at(0)), value))]);
        }
        QCOMPARE(out.join(' '), text);
    }

    void promptsAnswerOrSwallowKeys_data()
    {
        // uiType: Config/UiType of TwVipCoupon5.ini, no file when empty; press: a key, or "tap" and a button; shown: the window's texts; a
        // message box's button caption last
        QTest::addColumn<QString>("kind"); QTest::addColumn<QString>("uiType"); QTest::addColumn<QString>("press");
        QTest::addColumn<int>("result"); QTest::addColumn<QStringList>("shown");
        QTest::newRow("message return") << "message" << "1" << "Return" << 1 << QStringList{kMessage, "确定(Enter)"};
        QTest::newRow("message enter") << "message" << "2" << "Enter" << 1 << QStringList{kMessage, "确定"};
        QTest::newRow("message escape") << "message" << "" << "Esc" << kLeftOpen << QStringList{kMessage, "确定"};
        QTest::newRow("message tap") << "message" << "" << "tap QbtnOK" << 1 << QStringList{kMessage, "确定"};
        QTest::newRow("question one") << "question" << "" << "1" << 1 << QStringList{kQuestion};
        QTest::newRow("question return") << "question" << "" << "Return" << 1 << QStringList{kQuestion};
        QTest::newRow("question zero") << "question" << "" << "0" << 0 << QStringList{kQuestion};
        QTest::newRow("question escape") << "question" << "" << "Esc" << kLeftOpen << QStringList{kQuestion};
        QTest::newRow("question tap cancel") << "question" << "" << "tap btncancel" << 0 << QStringList{kQuestion};
        QTest::newRow("wait escape") << "wait" << "" << "Esc" << kLeftOpen << QStringList{"正在查询会员券", "......"};
    }

    // Full screen, with a picture; every key is accepted by the window itself, so none reaches the host.
    void promptsAnswerOrSwallowKeys()
    {
        QFETCH(QString, kind); QFETCH(QString, uiType); QFETCH(QString, press); QFETCH(int, result); QFETCH(QStringList, shown);
        m_app->writeIni(QStringLiteral("TwVipCoupon5.ini"), uiType.isEmpty() ? QMap<QString, QVariant>() : QMap<QString, QVariant>{{"Config/UiType", uiType}});
        const QString text = shown.first();
        const QString textLabel = kind == "message" ? "Qlbltishi" : kind == "question" ? "label_text" : "Qlabel_text";
        QStringList seen;
        bool accepted = press.startsWith("tap ");
        auto act = [&](QWidget &window) {
            QVERIFY(window.isFullScreen());
            seen << labelText(window, textLabel);
            if (kind == "wait")
                seen << labelText(window, QStringLiteral("Qlbldot"));
            else if (kind == "message")
                seen << window.findChild<QPushButton *>(QStringLiteral("QbtnOK"))->text();
            checkPicture(window, "prompt-" + kind, kind == "question" ? "horizontalWidget" : "QhorizontalWidget",
                         kind == "wait" ? QStringList() : QStringList{textLabel});
            if (accepted)
                return QTest::mouseClick(window.findChild<QPushButton *>(press.mid(4)), Qt::LeftButton);
            QKeyEvent event(QEvent::KeyPress, QKeySequence::fromString(press)[0], Qt::NoModifier);
            event.ignore();
            QApplication::sendEvent(&window, &event);
            accepted = event.isAccepted();
        };
        ModalDriver cashier([&](QDialog &dialog) { act(dialog); if (dialog.isVisible()) dialog.done(kLeftOpen); });
        int answer = kind == "question" ? QuestionMessage().AskQuestion(text) : -1;
        MessageWidget message;
        WaitWidget wait;
        if (kind == "message") {
            message.ShowMessage(text);
            answer = message.result();
        } else if (kind == "wait") {
            wait.SetWaitText(text);
            wait.ShowWaiting();
            QVERIFY(QTest::qWaitForWindowExposed(&wait));
            act(wait);
            answer = wait.isVisible() ? kLeftOpen : -1;
        }
        QVERIFY(!cashier.guardFired());
        QCOMPARE(answer, result);
        QCOMPARE(seen, shown);
        QVERIFY(accepted);
    }

    // Texts, row colours and labels as it opens and after a tick; row delegates must not pile up.
    void openingShowsCouponsAndTotals()
    {
        VipCouponWidget dialog;
        dialog.m_TranMain.tr_amt = QStringLiteral("1250");
        dialog.m_TranMain.vip_no = QStringLiteral("800123");
        QList<VipCouponDetail> list = TestSupport::coupons(QStringLiteral("A B C:0 D"));
        list[1].checkFlag = QStringLiteral("1");
        list[1].realCertiMe = QStringLiteral("7.5");
        QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
        // A replaced row delegate never freed shows up among the router's children or under the view.
        auto delegates = [&dialog] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const auto *rows = qobject_cast<RowDelegates *>(table(dialog)->itemDelegate());
            return QStringLiteral("%1+%2").arg(rows->findChildren<QAbstractItemDelegate *>(QString(), Qt::FindDirectChildrenOnly).size())
                .arg(table(dialog)->findChildren<QItemDelegate *>().size());
        };
        QStringList shown;
        run(dialog, list, [&] {
            shown << QString::number(query.count()) << labelText(dialog, QStringLiteral("txtNotPay"))
                  << labelText(dialog, QStringLiteral("txtMemb")) << labelText(dialog, QStringLiteral("txtPay")) << delegates();
            tap(dialog, 3, 1);
            dialog.SlotTableViewClicked(cell(dialog, 0, 0));
            QCoreApplication::processEvents();   // the layouts follow the new texts
            shown << labelText(dialog, QStringLiteral("txtPay")) << rowFills(dialog) << TestSupport::labelsCutOff(dialog).join(',');
            QVERIFY(TestSupport::saveGrab(dialog, QStringLiteral("coupon-dialog-800x600")));
            for (int i = 0; i < 1000; ++i)
                dialog.ToggleCurrentCoupon();
            shown << delegates();
            dialog.done(0);
        });
        // The pre-ticked coupon is selected and asked for before the loop starts. Fills: the selected plain row,
        // the pre-ticked row (still plain), the unusable row, the ticked row; then no label cut off.
        QCOMPARE(shown, (QStringList{"1", "12.50", "800123", "7.50", "4+4", "17.50", "#f3fcff", "#ffffff", "#dee2ed", "#c2e4ff", "", "4+4"}));
    }

    void cashierWorksTheCouponDialog_data()
    {
        // list: as TestSupport::coupons() reads it; answer: every re-query's answer; steps: "N": tap row N's tick, "rowN": select row N,
        // "toggle", a button; after: result ("open"), ticks, amount, row, re-queries with/without a selection, messages, m_sErrMsg
        QTest::addColumn<QString>("list"); QTest::addColumn<QString>("maxCount"); QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("steps"); QTest::addColumn<QString>("after");
        const QString nothingTicked = QStringLiteral("已验券数量为0，无法核销");
        QTest::newRow("tick") << "A B" << "" << "" << "0" << "open 1,0 10.00 @0 1/1 () ";
        QTest::newRow("untick empties the selection") << "A B" << "" << "" << "0 0" << "open 0,0 0.00 @0 1/2 () ";
        QTest::newRow("unusable row stays") << "A B:0" << "" << "" << "1" << "open 0,2 0.00 @1 0/1 () ";
        QTest::newRow("same code twice is selected once") << "A A" << "" << "" << "0 1" << "open 1,1 10.00 @1 2/1 () ";
        QTest::newRow("max 2 blocks a third") << "A B C" << "2" << "" << "0 1 2" << "open 1,1,0 20.00 @2 2/1 (优惠券最大可用数量为2) ";
        QTest::newRow("answer turns rows unusable and usable") << "A B C:0" << "" << "A B:0 C" << "0" << "open 1,2,0 10.00 @0 1/1 () ";
        QTest::newRow("next wraps") << "A B C" << "" << "" << "row2 btnNextRow" << "open 0,0,0 0.00 @0 0/1 () ";
        QTest::newRow("previous wraps") << "A B C" << "" << "" << "row0 btnPreRow" << "open 0,0,0 0.00 @2 0/1 () ";
        QTest::newRow("pay without a tick") << "A" << "" << "" << "btnPay" << "open 0 0.00 @0 0/1 (" + nothingTicked + ") ";
        QTest::newRow("pay after a tick") << "A" << "" << "" << "0 btnPay" << "1 1 10.00 @0 1/1 () ";
        QTest::newRow("top exit") << "A" << "" << "" << "0 QbtnExit" << "0 1 10.00 @0 1/1 () CLOSE";
        QTest::newRow("bottom exit") << "A" << "" << "" << "bntExit" << "0 0 0.00 @0 0/1 () CLOSE";
        QTest::newRow("empty table") << "" << "" << "" << "btnNextRow btnPreRow toggle btnPay"
                                     << "open  0.00 @-1 0/1 (可用券数量为0," + nothingTicked + ") ";
    }

    void cashierWorksTheCouponDialog()
    {
        QFETCH(QString, list); QFETCH(QString, maxCount); QFETCH(QString, answer); QFETCH(QString, steps); QFETCH(QString, after);
        m_app->writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/DiscountCountMax"), maxCount}});
        VipCouponWidget dialog;
        QSignalSpy selected(&dialog, &VipCouponWidget::SignQueryCoupons);
        QSignalSpy none(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
        connect(&dialog, &VipCouponWidget::SigVipCouponPay, &dialog, [&dialog] { dialog.done(1); });
        QStringList ticks; QString state;
        const int result = run(dialog, TestSupport::coupons(list), [&] {
            m_answer = TestSupport::coupons(answer);
            for (const QString &step : steps.split(' ')) {
                if (step.startsWith(QLatin1String("row")))
                    dialog.SlotTableViewClicked(cell(dialog, step.mid(3).toInt(), 0));
                else if (step == QLatin1String("toggle"))
                    dialog.ToggleCurrentCoupon();
                else if (step.at(0).isDigit())
                    tap(dialog, step.toInt(), 1);
                else
                    QTest::mouseClick(dialog.findChild<QPushButton *>(step), Qt::LeftButton);
            }
            for (int row = 0; row < table(dialog)->model()->rowCount(); ++row)
                ticks << cell(dialog, row, 1).data().toString();
            state = labelText(dialog, QStringLiteral("txtPay")) + QStringLiteral(" @%1").arg(table(dialog)->currentIndex().row());
            if (dialog.isVisible())
                dialog.done(kLeftOpen);
        });
        QCOMPARE(QStringLiteral("%1 %2 %3 %4/%5 (%6) %7")
                     .arg(result == kLeftOpen ? QStringLiteral("open") : QString::number(result), ticks.join(','), state)
                     .arg(selected.count()).arg(none.count()).arg(m_messages.join(','), dialog.m_sErrMsg),
                 after);
    }

    void couponDialogKeepsOrForwardsKeys_data()
    {
        QTest::addColumn<QString>("keys"); QTest::addColumn<bool>("forwarded");
        QTest::newRow("the host's input keys") << "Return,Enter,0,9" << false;
        QTest::newRow("the rest") << "Escape,Up,A" << true;
    }

    // Through the dialog itself, its background and its table; no key closes the dialog.
    void couponDialogKeepsOrForwardsKeys()
    {
        QFETCH(QString, keys); QFETCH(bool, forwarded);
        VipCouponWidget dialog;
        QSignalSpy spy(&dialog, &VipCouponWidget::SignKeyPressed);
        QList<int> sent, expected;
        for (const QString &name : keys.split(',')) {
            const int key = QKeySequence::fromString(name)[0];
            for (QWidget *target : QList<QWidget *>{&dialog, dialog.findChild<QWidget *>(QStringLiteral("Qwidgetback")), table(dialog)}) {
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
    void infoColumnsOpenThePopup()
    {
        VipCouponWidget dialog;
        QList<VipCouponDetail> list = TestSupport::coupons(QStringLiteral("A B:0"));
        list[0].depict = kRules;
        QStringList seen;
        run(dialog, list, [&] {
            for (const auto &[row, column, key] : {std::tuple{0, 6, Qt::Key_Return}, {1, 7, Qt::Key_Escape}, {0, 6, Qt::Key_unknown}}) {
                tap(dialog, row, column);
                QList<CoupMsgWidget *> popups;
                for (QWidget *window : QApplication::topLevelWidgets())
                    popups << qobject_cast<CoupMsgWidget *>(window);
                popups.removeAll(nullptr);
                CoupMsgWidget *popup = popups.value(0);
                QVERIFY(popup);
                checkPicture(*popup, QStringLiteral("coupon-info-%1").arg(column), QStringLiteral("vWidget"), {"coupName", "coupRule"});
                seen << QString::number(popups.size()) << (popup->isFullScreen() ? "full screen" : "window")
                     << labelText(*popup, QStringLiteral("coupName")) << labelText(*popup, QStringLiteral("coupRule"))
                     << labelText(*popup, QStringLiteral("labRule"));
                if (key == Qt::Key_unknown)
                    QTest::mouseClick(popup->findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
                else
                    QTest::keyClick(popup, key);
                seen << (popup->isVisible() ? "open" : "closed");
            }
            dialog.done(0);
        });
        QCOMPARE(seen, (QStringList{"1", "full screen", "券A", kRules, "使用规则：", "open", "1", "full screen", "券B", "不满足门槛", "不可用原因：",
                                    "closed", "1", "full screen", "券A", kRules, "使用规则：", "closed"}));
    }

    void keysLookUpTheirFunction_data()
    {
        // result: the function number, or "!" and the error; press: pressed in the dialog too: the error is all the cashier is shown
        QTest::addColumn<QString>("sysType"); QTest::addColumn<QString>("orgCode"); QTest::addColumn<int>("key");
        QTest::addColumn<QString>("result"); QTest::addColumn<bool>("press");
        const QString notFound = QStringLiteral("!未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from %1 where ScanCode=%2||"
                                                " TwPosConfig-KeyBoardGetFuncCode");
        QTest::newRow("gen6 key table") << "GEN6" << "A01" << int(Qt::Key_F1) << "110" << false;
        QTest::newRow("gen6 till override") << "GEN6" << "A01" << int(Qt::Key_PageUp) << "115" << false;
        // A quote in the till's own configuration must not turn into SQL.
        QTest::newRow("gen6 org code is bound") << "GEN6" << "A01' or '1'='1" << int(Qt::Key_Up) << "111" << false;
        // A till without an organisation in its settings matches the override rows written for none.
        QTest::newRow("gen6 override without org code") << "GEN6" << QString() << int(Qt::Key_F1) << "116" << false;
        QTest::newRow("gen6 function without action") << "GEN6" << "A01" << int(Qt::Key_Escape) << "abc" << true;
        QTest::newRow("gen6 no scan code") << "GEN6" << "A01" << int(Qt::Key_Slash) << "!该按键未配置" << true;
        QTest::newRow("gen6 not defined") << "GEN6" << "A01" << int(Qt::Key_F2) << notFound.arg("tPosKeyDef", "25") << true;
        QTest::newRow("gen5 F12") << "GEN5" << "" << int(Qt::Key_F12) << "100" << false;
        QTest::newRow("gen5 slash looks up 0") << "GEN5" << "" << int(Qt::Key_Slash) << notFound.arg("tJkPosKeyDef", "0") << false;
    }

    void keysLookUpTheirFunction()
    {
        QFETCH(QString, sysType); QFETCH(QString, orgCode); QFETCH(int, key); QFETCH(QString, result); QFETCH(bool, press);
        // The host's key tables. GEN6 in SQLite: F1 (24) and Up (13), Up overridden for till 001,
        // Escape (4) without action. GEN5 in "SQL Server" through ODBC: Up (38) and F12 (123).
        if (sysType == "GEN5") {
            m_app->writeGen5();
            m_app->runSql(QStringLiteral("gen5.db"), {QStringLiteral("insert into tJkPosKeyDef values (38, '1', '1'), (123, '100', '1')")});
        } else {
            m_app->writeGen6();
            m_app->writeIni(QStringLiteral("config.ini"), {{QStringLiteral("Config/OrgCode"), orgCode.isNull() ? QVariant() : orgCode}});
            m_app->runSql("pos.db", {"insert into tPosKeyDef values (24, '110', '1'), (13, '111', '1'), (4, 'abc', '1')",
                                     "insert into tPosKeyDefDetail values ('A01', '001', '13', '115', '1'), ('A01', '002', '24', '107', '1'), ('', '001', '24', '116', '1')"});
        }
        VipCouponCPU cpu;
        QString value, error;
        QVERIFY2(cpu.Initialize(error), qPrintable(error));
        const bool ok = cpu.GetKeyFunctionCode(key, value, error);
        QCOMPARE(ok ? value : '!' + error, result);
        QVERIFY(ok ? error.isEmpty() : value.isEmpty());
        if (!press)
            return;
        cpu.m_VipCouponWidget.m_sErrMsg = QStringLiteral("unchanged");
        QStringList shown;
        ModalDriver cashier([&shown](QDialog &box) {
            if (qobject_cast<MessageWidget *>(&box)) {
                shown << '!' + labelText(box, QStringLiteral("Qlbltishi"));
                QTest::keyClick(&box, Qt::Key_Return);
            }
        });
        cpu.SlotKeyPressed(key);
        QVERIFY(!cashier.guardFired());
        QCOMPARE(shown, ok ? QStringList() : QStringList{result});
        QCOMPARE(cpu.m_VipCouponWidget.m_sErrMsg, QStringLiteral("unchanged"));
    }

    void modalChildDisablesTheHostWindow_data()
    {
        QTest::addColumn<bool>("modal"); QTest::addColumn<QString>("ending"); QTest::addColumn<bool>("enabledWhileShown");
        QTest::newRow("modal, hidden") << true << "hide" << false;
        QTest::newRow("modal, deleted") << true << "delete" << false;
        QTest::newRow("modal, removed") << true << "remove" << false;
        QTest::newRow("modeless") << false << "hide" << true;
    }

    void modalChildDisablesTheHostWindow()
    {
        QFETCH(bool, modal); QFETCH(QString, ending); QFETCH(bool, enabledWhileShown);
        QWinWidget widget(kHost);
        QPointer<QDialog> dialog = new QDialog(&widget);
        dialog->setModal(modal);
        dialog->show();
        // A second showing must not stack a second disable.
        dialog->hide();
        dialog->show();
        QCOMPARE(HostBridge::isWindowEnabled(kHost), enabledWhileShown);
        if (ending == QLatin1String("hide"))
            dialog->hide();
        else if (ending == QLatin1String("delete"))
            delete dialog;
        else   // taken away without being hidden first: only the child-removed path can re-enable
            static_cast<QObject *>(dialog.data())->setParent(nullptr);
        QVERIFY(HostBridge::isWindowEnabled(kHost));
        QCOMPARE(dialog && dialog->isVisible(), ending == QLatin1String("remove"));
        delete dialog;
    }

    void focusGoesBackWhenTheChildHides_data()
    {
        QTest::addColumn<HWND>("focusBefore"); QTest::addColumn<HWND>("focusAfter");
        QTest::newRow("a host field had the focus") << kHostField << kHostField;
        QTest::newRow("nothing had the focus") << HWND(0) << kHost;
    }

    void focusGoesBackWhenTheChildHides()
    {
        QFETCH(HWND, focusBefore); QFETCH(HWND, focusAfter);
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
        QTest::addColumn<bool>("startAtFirst"); QTest::addColumn<bool>("next"); QTest::addColumn<bool>("focusAtFirst");
        QTest::addColumn<HWND>("hostFocus");
        QTest::newRow("forward inside") << true << true << false << kHostField;
        QTest::newRow("forward past the end") << false << true << false << kHost;
        QTest::newRow("backward inside") << false << false << true << kHostField;
        QTest::newRow("backward past the start") << true << false << true << kHost;
    }

    void tabChainEndsHandFocusToTheHost()
    {
        QFETCH(bool, startAtFirst); QFETCH(bool, next); QFETCH(bool, focusAtFirst); QFETCH(HWND, hostFocus);
        HostBridge::setFocusWindow(kHostField);
        QWinWidget widget(kHost);
        auto *first = new QLineEdit(&widget);
        new QLabel(QStringLiteral("no focus"), &widget);
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
            QMetaObject::invokeMethod(n == 2 ? &second : &first, [&delivered, n] { delivered << n; }, Qt::QueuedConnection);
        QMfcApp::deliverPostedEvents();
        QCOMPARE(delivered, (QList<int>{1, 2, 3}));
    }

    // Loaded into this Qt host, the library uses the host's application object and leaves it alone.
    void libraryKeepsTheHostApplication()
    {
        QCoreApplication *const before = QCoreApplication::instance();
        void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        // The two entries and the exported widget, but nothing of the core the library is built on.
        QStringList exported;
        for (const char *symbol : {"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidget16staticMetaObjectE", "_ZN10QWinWidget12showCenteredEv",
                                   "_ZNK9LogWriter8WriteLogERK7QStringS2_S2_", "_ZN7QMfcApp17EnsureApplicationEPv"})
            exported << QLatin1String(dlsym(library, symbol) ? symbol : nullptr);
        exported.removeAll(QString());
        QCOMPARE(exported, (QStringList{"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidget16staticMetaObjectE",
                                        "_ZN10QWinWidget12showCenteredEv"}));

        // No till settings here: the host's own timer answers the library's message box.
        int answered = 0;
        ModalDriver cashier([&answered](QDialog &dialog) {
            if (qstrcmp(dialog.metaObject()->className(), "MessageWidget") == 0) {
                QTest::keyClick(&dialog, Qt::Key_Return);
                ++answered;
            }
        });
        using CardTrans = int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *);
        const auto entry = reinterpret_cast<CardTrans>(dlsym(library, "TwCardTrans"));
        QByteArray header = TestSupport::fixture(QStringLiteral("e2e/header-type0.xml"));
        std::vector<std::vector<char>> out(8, std::vector<char>(4096, '\0'));
        QCOMPARE(entry(header.data(), nullptr, nullptr, nullptr, out[0].data(), out[1].data(), out[2].data(), out[3].data(), out[4].data(),
                       out[5].data(), out[6].data(), out[7].data()), 1);
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
    // Runs the dialog with during inside its loop; message boxes confirmed into m_messages, re-queries answered with m_answer.
    int run(VipCouponWidget &dialog, const QList<VipCouponDetail> &list, std::function<void()> during)
    {
        auto refresh = [this, &dialog] { dialog.RefreshCouponStates(m_answer, {}, {}); };
        connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, refresh);
        connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, refresh);
        ModalDriver cashier([&](QDialog &shown) { if (&shown == &dialog) during(); }, 60000);
        ModalDriver messages([this](QDialog &shown) {
            if (qobject_cast<MessageWidget *>(&shown)) {
                m_messages << labelText(shown, QStringLiteral("Qlbltishi"));
                shown.accept();
            }
        });
        const int result = dialog.show(list, {}, {});
        [&] { QVERIFY2(!cashier.guardFired() && !messages.guardFired(), "a dialog stayed open"); }();
        return result;
    }

    std::unique_ptr<AppFolder> m_app;   // INI files and the daily log stay out of the build tree
    QStringList m_messages;
    QList<VipCouponDetail> m_answer;
};

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
