// The coupon dialog's rules as plain functions (row texts, taps, server answers, layout, POS keys),
// then the dialogs as the cashier meets them at the till's 800x600, pictures in $GRAB_DIR: the
// coupon dialog worked by taps and keys in its own modal loop, the keys behind it, the prompts.
#include <array>
#include <memory>

#include <QApplication>
#include <QImage>
#include <QItemDelegate>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "entry/vipcouponcpu.h"
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

QTableView *table(VipCouponWidget &dialog)
{
    return dialog.findChild<QTableView *>(QStringLiteral("tableView"));
}

void tap(VipCouponWidget &dialog, int row, int column)
{
    QTableView *view = table(dialog);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, column)).center());
}

// The colour each row is filled with, read off the painted table beside the name column's text.
QStringList rowFills(VipCouponWidget &dialog)
{
    QTableView *view = table(dialog);
    const QImage image = view->viewport()->grab().toImage();
    QStringList fills;
    for (int row = 0; row < view->model()->rowCount(); ++row) {
        const QRect rect = view->visualRect(view->model()->index(row, 3));
        fills << QColor(image.pixel(rect.left() + 4, rect.top() + 4)).name();
    }
    return fills;
}

// A window as the cashier sees it: no text is cut off, the buttons sit inside the content box,
// and server texts stay plain text (markup in them must not be rendered).
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
    void init() { m_app = std::make_unique<AppFolder>(); m_messages.clear(); m_answer.clear(); }
    void cleanup() { m_app.reset(); }

    void rulesWithoutAWidget_data()
    {
        QTest::addColumn<QString>("rule");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("text");
        // row: availableFlag checkFlag certiMeType (1: a range of 5 to 20) rowIndex -> the cells, the look
        QTest::newRow("row plain value") << "row" << "1 0 0 0" << "1|0|C1|券C1|10|2030-12-31|规则C1| standard";
        QTest::newRow("row range value") << "row" << "1 0 1 4" << "5|0|C1|券C1|5-20|2030-12-31|规则C1| standard";
        QTest::newRow("row pre-ticked keeps the plain look") << "row" << "1 1 0 1" << "2|1|C1|券C1|10|2030-12-31|规则C1| standard";
        QTest::newRow("row not usable wins over tick") << "row" << "0 1 0 2" << "3|2|C1|券C1|10|2030-12-31|规则C1|不满足门槛 unusable";
        // tap: the tick cell and the tapped coupon | the selected coupons | Config/DiscountCountMax
        QTest::newRow("tap ticked unticks") << "tap" << "1 X | S | 2" << "untick";
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
    }

    void rulesWithoutAWidget()
    {
        QFETCH(QString, rule);
        QFETCH(QString, input);
        QFETCH(QString, text);
        const QStringList parts = input.split(QStringLiteral(" | "));
        const QStringList words = input.split(' ');
        QStringList out;
        if (rule == "row") {
            VipCouponDetail c = TestSupport::coupons("C1:" + words.at(0)).first();
            c.checkFlag = words.at(1);
            c.certiMeType = words.at(2);
            c.certiMeMin = QStringLiteral("5");
            c.certiMeMax = QStringLiteral("20");
            out << rowCells(c, words.at(3).toInt()).join('|') << QLatin1String(std::array{"standard", "ticked", "unusable"}[int(initialLook(c))]);
        } else if (rule == "tap") {
            const ToggleOutcome outcome = toggleOutcome(words.at(0), TestSupport::coupons(parts.at(0).section(' ', 1)).first(),
                                                        TestSupport::coupons(parts.at(1)), parts.at(2).toInt());
            out << QLatin1String(std::array{"unchanged", "untick", "tick", "limit"}[int(outcome)]);
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
            const ScreenStyles styles = stylesForScreenWidth(input.toInt());
            const QRegularExpression size(QStringLiteral("font-size:(\\d+)px"));
            out << size.match(styles.topBar).captured(1) << size.match(styles.table).captured(1);
        } else if (rule == "scan") {
            for (const QString &name : parts.at(1).split(' ')) {
                int scan = -1;
                out << (Keys::scanCode(Keys::editionOf(parts.at(0)), QKeySequence::fromString(name)[0], scan) ? QString::number(scan) : "-");
            }
        } else {
            for (const QString &value : parts.at(1).split(' '))
                out << QLatin1String(std::array{"none", "previous", "next", "toggle", "exit", "pay"}[int(Keys::actionFor(Keys::editionOf(parts.at(0)), value))]);
        }
        QCOMPARE(out.join(' '), text);
    }

    void promptsAnswerOrSwallowKeys_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("uiType");         // Config/UiType of TwVipCoupon5.ini, no file when empty
        QTest::addColumn<QString>("press");          // a key, or "tap" and a button
        QTest::addColumn<int>("result");
        QTest::addColumn<QStringList>("shown");      // the window's texts; a message box's button caption last
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
        QFETCH(QString, kind);
        QFETCH(QString, uiType);
        QFETCH(QString, press);
        QFETCH(int, result);
        QFETCH(QStringList, shown);
        if (!uiType.isEmpty())
            QVERIFY(TestSupport::writeFile(m_app->filePath(QStringLiteral("TwVipCoupon5.ini")), "[Config]\nUiType=" + uiType.toUtf8() + '\n'));
        const QString text = kind == "wait" ? shown.first() : kind == "message" ? kMessage : kQuestion;
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
        ModalDriver cashier([&](QDialog &dialog) {
            act(dialog);
            if (dialog.isVisible())
                dialog.done(kLeftOpen);
        });
        int answer = -1;
        if (kind == "message") {
            MessageWidget dialog;
            dialog.ShowMessage(text);
            answer = dialog.result();
        } else if (kind == "question") {
            answer = QuestionMessage().AskQuestion(text);
        } else {
            WaitWidget wait;
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

    // A misspelled on_<object>_<signal> slot only warns at run time.
    void formSlotsConnectByName()
    {
        const QStringList warnings = TestSupport::warningsDuring([] {
            MessageWidget message;
            QuestionMessage question;
            WaitWidget wait;
            CoupMsgWidget coupMsg;
            VipCouponWidget coupons;
        });
        for (const QString &warning : warnings)
            QVERIFY2(!warning.contains(QLatin1String("connectSlotsByName")), qPrintable(warning));
    }

    // The dialog as it opens and after a tick and a selection: its texts, row colours and labels,
    // and its row delegates, which must not pile up however often a row is toggled.
    void openingShowsCouponsAndTotals()
    {
        VipCouponWidget dialog;
        dialog.m_TranMain.tr_amt = QStringLiteral("1250");
        dialog.m_TranMain.vip_no = QStringLiteral("800123");
        QList<VipCouponDetail> list = TestSupport::coupons(QStringLiteral("A B C:0 D"));
        list[1].checkFlag = QStringLiteral("1");
        list[1].realCertiMe = QStringLiteral("7.5");
        QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
        // Only the row delegates are the router's children, so a replaced one that is never freed
        // shows up in this count; none may be parked elsewhere under the view either.
        auto delegates = [&dialog] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const auto *rows = qobject_cast<RowDelegates *>(table(dialog)->itemDelegate());
            return QStringLiteral("%1+%2").arg(rows->findChildren<QAbstractItemDelegate *>(QString(), Qt::FindDirectChildrenOnly).size())
                .arg(table(dialog)->findChildren<QItemDelegate *>().size());
        };
        QStringList shown, fills, cutOff;
        run(dialog, list, [&] {
            shown << QString::number(query.count()) << labelText(dialog, QStringLiteral("txtNotPay"))
                  << labelText(dialog, QStringLiteral("txtMemb")) << labelText(dialog, QStringLiteral("txtPay")) << delegates();
            tap(dialog, 3, 1);
            dialog.SlotTableViewClicked(table(dialog)->model()->index(0, 0));
            QCoreApplication::processEvents();   // the layouts follow the new texts
            shown << labelText(dialog, QStringLiteral("txtPay"));
            fills = rowFills(dialog);
            cutOff = TestSupport::labelsCutOff(dialog);
            QVERIFY(TestSupport::saveGrab(dialog, QStringLiteral("coupon-dialog-800x600")));
            for (int i = 0; i < 1000; ++i)
                dialog.ToggleCurrentCoupon();
            shown << delegates();
            dialog.done(0);
        });
        // The pre-ticked coupon is selected and asked for before the loop starts.
        QCOMPARE(shown, (QStringList{"1", "12.50", "800123", "7.50", "4+4", "17.50", "4+4"}));
        // Selected plain row, pre-ticked row (still plain), unusable row, ticked row.
        QCOMPARE(fills, (QStringList{"#f3fcff", "#ffffff", "#dee2ed", "#c2e4ff"}));
        QCOMPARE(cutOff, QStringList());
    }

    void cashierWorksTheCouponDialog_data()
    {
        QTest::addColumn<QString>("list");       // as TestSupport::coupons() reads it
        QTest::addColumn<QString>("maxCount");
        QTest::addColumn<QString>("answer");     // every re-query's answer
        QTest::addColumn<QString>("steps");      // "N": tap row N's tick, "rowN": select row N, "toggle", a button
        // The result ("open": left open), the tick cells, the selected amount shown, the current row,
        // the re-queries with and without a selection, the messages shown and m_sErrMsg.
        QTest::addColumn<QString>("after");
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
        QFETCH(QString, list);
        QFETCH(QString, maxCount);
        QFETCH(QString, answer);
        QFETCH(QString, steps);
        QFETCH(QString, after);
        if (!maxCount.isEmpty())
            m_app->writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/DiscountCountMax"), maxCount}});
        VipCouponWidget dialog;
        QSignalSpy selected(&dialog, &VipCouponWidget::SignQueryCoupons);
        QSignalSpy none(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
        connect(&dialog, &VipCouponWidget::SigVipCouponPay, &dialog, [&dialog] { dialog.done(1); });
        QStringList ticks;
        QString state;
        const int result = run(dialog, TestSupport::coupons(list), [&] {
            m_answer = TestSupport::coupons(answer);
            for (const QString &step : steps.split(' ')) {
                if (step.startsWith(QLatin1String("row")))
                    dialog.SlotTableViewClicked(table(dialog)->model()->index(step.mid(3).toInt(), 0));
                else if (step == QLatin1String("toggle"))
                    dialog.ToggleCurrentCoupon();
                else if (step.at(0).isDigit())
                    tap(dialog, step.toInt(), 1);
                else
                    QTest::mouseClick(dialog.findChild<QPushButton *>(step), Qt::LeftButton);
            }
            for (int row = 0; row < table(dialog)->model()->rowCount(); ++row)
                ticks << table(dialog)->model()->index(row, 1).data().toString();
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
        QTest::addColumn<QString>("keys");
        QTest::addColumn<bool>("forwarded");
        QTest::newRow("the host's input keys") << "Return,Enter,0,9" << false;
        QTest::newRow("the rest") << "Escape,Up,A" << true;
    }

    // Through the dialog itself, its background and its table; no key closes the dialog.
    void couponDialogKeepsOrForwardsKeys()
    {
        QFETCH(QString, keys);
        QFETCH(bool, forwarded);
        VipCouponWidget dialog;
        QSignalSpy spy(&dialog, &VipCouponWidget::SignKeyPressed);
        QList<int> sent, expected;
        for (const QString &name : keys.split(',')) {
            const int key = QKeySequence::fromString(name)[0];
            for (QWidget *target : {static_cast<QWidget *>(&dialog), dialog.findChild<QWidget *>(QStringLiteral("Qwidgetback")),
                                    static_cast<QWidget *>(table(dialog))}) {
                QTest::keyClick(target, Qt::Key(key));
                expected << key;
            }
        }
        for (const QList<QVariant> &arguments : qAsConst(spy))
            sent << arguments.at(0).toInt();
        QCOMPARE(sent, forwarded ? expected : QList<int>());
        QVERIFY(dialog.isVisible());
    }

    // The rules and the reason columns open one popup, created on first use and then reused; Return
    // leaves it open, Escape and its close button close it.
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
                for (QWidget *window : QApplication::topLevelWidgets()) {
                    if (auto *popup = qobject_cast<CoupMsgWidget *>(window))
                        popups << popup;
                }
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
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QString>("orgCode");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("result");   // the function number, or "!" and the error
        QTest::addColumn<bool>("press");       // pressed in the dialog too: the error is all the cashier is shown
        const QString notFound = QStringLiteral("!未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from %1 where ScanCode=%2||"
                                                " TwPosConfig-KeyBoardGetFuncCode");
        QTest::newRow("gen6 key table") << "GEN6" << "A01" << int(Qt::Key_F1) << "110" << false;
        QTest::newRow("gen6 till override") << "GEN6" << "A01" << int(Qt::Key_PageUp) << "115" << false;
        // A quote in the till's own configuration must not turn into SQL.
        QTest::newRow("gen6 org code is bound") << "GEN6" << "A01' or '1'='1" << int(Qt::Key_Up) << "111" << false;
        QTest::newRow("gen6 function without action") << "GEN6" << "A01" << int(Qt::Key_Escape) << "abc" << true;
        QTest::newRow("gen6 no scan code") << "GEN6" << "A01" << int(Qt::Key_Slash) << "!该按键未配置" << true;
        QTest::newRow("gen6 not defined") << "GEN6" << "A01" << int(Qt::Key_F2) << notFound.arg("tPosKeyDef", "25") << true;
        QTest::newRow("gen5 F12") << "GEN5" << "" << int(Qt::Key_F12) << "100" << false;
        QTest::newRow("gen5 slash looks up 0") << "GEN5" << "" << int(Qt::Key_Slash) << notFound.arg("tJkPosKeyDef", "0") << false;
    }

    void keysLookUpTheirFunction()
    {
        QFETCH(QString, sysType);
        QFETCH(QString, orgCode);
        QFETCH(int, key);
        QFETCH(QString, result);
        QFETCH(bool, press);
        // The host's key tables. GEN6 in SQLite: F1 (24) and Up (13), Up overridden for till 001,
        // Escape (4) without action. GEN5 in "SQL Server" through ODBC: Up (38) and F12 (123).
        if (sysType == "GEN5") {
            m_app->writeGen5();
            m_app->runSql(QStringLiteral("gen5.db"), {QStringLiteral("insert into tJkPosKeyDef values (38, '1', '1'), (123, '100', '1')")});
        } else {
            m_app->writeGen6();
            m_app->writeIni(QStringLiteral("config.ini"), {{QStringLiteral("Config/OrgCode"), orgCode}});
            m_app->runSql(QStringLiteral("pos.db"),
                          {QStringLiteral("insert into tPosKeyDef values (24, '110', '1'), (13, '111', '1'), (4, 'abc', '1')"),
                           QStringLiteral("insert into tPosKeyDefDetail values ('A01', '001', '13', '115', '1'), ('A01', '002', '24', '107', '1')")});
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

private:
    // Fills and runs the coupon dialog; during runs inside its modal loop. Message boxes are
    // confirmed and their texts kept in m_messages. Every re-query is answered with m_answer.
    int run(VipCouponWidget &dialog, const QList<VipCouponDetail> &list, std::function<void()> during)
    {
        auto refresh = [this, &dialog] { dialog.RefreshCouponStates(m_answer, {}, {}); };
        connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, refresh);
        connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, refresh);
        ModalDriver cashier([&](QDialog &shown) {
            if (&shown == &dialog)
                during();
        }, 60000);
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
