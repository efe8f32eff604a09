#include <QApplication>
#include <QDir>
#include <QItemDelegate>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "helpers/testsupport.h"
#include "helpers/tillfolder.h"
#include "ui/coupmsgwidget.h"
#include "ui/couponrows.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/rowdelegates.h"
#include "ui/vipcouponwidget.h"
#include "ui/waitwidget.h"

using namespace CouponRows;
using TestSupport::labelText;
using Coupons = QList<VipCouponDetail>;
Q_DECLARE_METATYPE(RowLook)

namespace {

const QString kMessage = "会员券核销失败：网络连接超时，请检查网络后重试。";
const QString kQuestion = "券查询接口调用失败，是否重试？\n若否则退出本次支付。";
const QString kRules =
    "1. 单笔消费满100元可用，每单限用一张；\n2. 特价商品、烟酒及购物卡不参与；\n3. 不设找零，不可兑换现金。";

VipCouponDetail coupon(const QString &code, const QString &availableFlag = "1", const QString &apportionType = "1")
{
    VipCouponDetail c;
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

void checkPicture(QWidget &window, const QString &name, const QString &box, const QStringList &plainLabels)
{
    for (const QLabel *label : window.findChildren<QLabel *>())
        QVERIFY2(!label->isVisible()
                     || (label->wordWrap() ? label->heightForWidth(label->width()) <= label->height()
                                           : label->sizeHint().boundedTo(label->size()) == label->sizeHint()),
                 qPrintable(label->objectName()));
    QWidget *content = box.isEmpty() ? &window : window.findChild<QWidget *>(box);
    for (QPushButton *button : window.findChildren<QPushButton *>())
        QVERIFY2(content->rect().contains(QRect(button->mapTo(content, {}), button->size())),
                 qPrintable(button->objectName()));
    for (const QString &label : plainLabels)
        QVERIFY(label.isEmpty() || window.findChild<QLabel *>(label)->textFormat() == Qt::PlainText);
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
    }
    void cleanup() { m_app.reset(); }

    // An unusable coupon looks so even when the server ticked it.
    void rowRules()
    {
        VipCouponDetail c = coupon("C1", "0");
        c.checkFlag = c.certiMeType = "1";
        c.certiMeMin = "5", c.certiMeMax = "20";
        QCOMPARE(rowCells(c, 2), (QStringList {"3", "2", "C1", "券C1", "5-20", "2030-12-31", "规则C1", "不满足门槛"}));
        QCOMPARE(initialLook(c), RowLook::Unusable);
        QCOMPARE(maxCountFrom(" 4 "), 4);
        QCOMPARE((QStringList {notPayText("1234567"), notPayText("x"), notPayText("1999.9")}),
                 (QStringList {"12345.67", "0.00", "20.00"}));
    }

    void prompts()
    {
        m_app->writeIni("TwVipCoupon5.ini", {{"Config/UiType", "1"}});
        QStringList seen;
        auto press = [&](QWidget &window, const QString &box, const QString &label, int key, const QString &plain) {
            QVERIFY(window.isFullScreen());
            checkPicture(window, "prompt-" + label, box, {plain});
            QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier);
            event.ignore();
            QApplication::sendEvent(&window, &event);
            seen << labelText(window, label) << (event.isAccepted() ? "taken" : "passed")
                 << (window.isVisible() ? "open" : "closed");
        };
        ModalDriver cashier([&](QDialog &dialog) {
            if (!qobject_cast<MessageWidget *>(&dialog)) {
                press(dialog, "horizontalWidget", "label_text", Qt::Key_Escape, "label_text");
                return QTest::mouseClick(dialog.findChild<QPushButton *>("btncancel"), Qt::LeftButton);
            }
            seen << dialog.findChild<QPushButton *>("QbtnOK")->text();
            press(dialog, "QhorizontalWidget", "Qlbltishi", Qt::Key_Return, "Qlbltishi");
        });
        MessageWidget message;
        message.ShowMessage(kMessage);
        const int asked = QuestionMessage().AskQuestion(kQuestion);
        WaitWidget wait;
        wait.SetWaitText("正在查询会员券");
        wait.ShowWaiting();
        QVERIFY(QTest::qWaitForWindowExposed(&wait));
        press(wait, "QhorizontalWidget", "Qlabel_text", Qt::Key_Escape, QString());
        QCOMPARE((QList<int> {message.result(), asked, !cashier.guardFired()}), (QList<int> {1, 0, 1}));
        QCOMPARE(seen,
                 (QStringList {"确定(Enter)", kMessage, "taken", "closed", kQuestion, "taken", "open", "正在查询会员券",
                               "taken", "open"}));
        QCOMPARE(labelText(wait, "Qlbldot"), "......");
    }

    void couponDialog()
    {
        VipCouponWidget dialog;
        dialog.m_TranMain.tr_amt = "1250";
        dialog.m_TranMain.vip_no = "800123";
        Coupons list {coupon("A"), coupon("B"), coupon("C", "0"), coupon("D")};
        list[0].depict = kRules;
        list[1].checkFlag = "1";
        list[1].realCertiMe = "7.5";
        QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
        auto delegates = [&dialog] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            const auto *rows = qobject_cast<RowDelegates *>(table(dialog)->itemDelegate());
            return rows->findChildren<QAbstractItemDelegate *>(QString(), Qt::FindDirectChildrenOnly).size()
                + table(dialog)->findChildren<QItemDelegate *>().size();
        };
        QStringList seen, fills;
        const int result = run(dialog, list, [&] {
            QCOMPARE(query.count(), 1);
            seen << labelText(dialog, "txtNotPay") << labelText(dialog, "txtMemb") << labelText(dialog, "txtPay");
            QCOMPARE(delegates(), 8);
            tap(dialog, 3, 1);
            dialog.SlotTableViewClicked(cell(dialog, 0, 0));
            QCoreApplication::processEvents();
            seen << labelText(dialog, "txtPay");
            const QImage image = table(dialog)->viewport()->grab().toImage();
            for (int row = 0; row < 4; ++row)
                fills << QColor(image.pixel(table(dialog)->visualRect(cell(dialog, row, 3)).topLeft() + QPoint(4, 4)))
                             .name();
            checkPicture(dialog, "coupon-dialog-800x600", QString(), {});
            for (const auto &[row, column, key] :
                 {std::tuple {0, 6, Qt::Key_Return}, {2, 7, Qt::Key_Escape}, {0, 6, Qt::Key_unknown}}) {
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
            for (int i = 0; i < 1000; ++i)
                dialog.ToggleCurrentCoupon();
            QCOMPARE(delegates(), 8);
            QTest::mouseClick(dialog.findChild<QPushButton *>("QbtnExit"), Qt::LeftButton);
        });
        QCOMPARE(seen,
                 (QStringList {"12.50", "800123", "7.50", "17.50", "券A", kRules, "使用规则：", "open", "券C",
                               "不满足门槛", "不可用原因：", "closed", "券A", kRules, "使用规则：", "closed"}));
        QCOMPARE(fills, (QStringList {"#f3fcff", "#ffffff", "#dee2ed", "#c2e4ff"}));
        QCOMPARE(result, 0);
        QCOMPARE(dialog.m_sErrMsg, "CLOSE");
    }

    void couponDialogWorked_data()
    {
        QTest::addColumn<Coupons>("list");
        QTest::addColumn<QString>("maxCount");
        QTest::addColumn<Coupons>("answer");
        QTest::addColumn<QStringList>("steps");
        QTest::addColumn<QStringList>("ticks");
        QTest::addColumn<QString>("paid");
        QTest::addColumn<QList<int>>("queries");
        QTest::addColumn<QStringList>("messages");
        QTest::newRow("untick at the limit") << Coupons {coupon("A")} << "1" << Coupons() << QStringList {"0", "0"}
                                             << QStringList {"0"} << "0.00" << QList<int> {1, 2} << QStringList();
        QTest::newRow("max 2, next wraps")
            << Coupons {coupon("A"), coupon("B", "1", "2"), coupon("C"), coupon("D")} << "2" << Coupons()
            << QStringList {"0", "1", "2", "3", "btnNextRow", "toggle"} << QStringList {"0", "1", "1", "0"} << "20.00"
            << QList<int> {4, 1} << QStringList {"优惠券最大可用数量为2"};
        QTest::newRow("answer changes rows")
            << Coupons {coupon("A"), coupon("B"), coupon("B", "0"), coupon("X", "2")} << "0"
            << Coupons {coupon("A"), coupon("B"), coupon("B", "0"), coupon("B"), coupon("X", "0")}
            << QStringList {"0", "1"} << QStringList {"1", "2", "0", "0"} << "10.00" << QList<int> {1, 1}
            << QStringList();
        QTest::newRow("empty table") << Coupons() << "" << Coupons()
                                     << QStringList {"btnNextRow", "btnPreRow", "toggle", "btnPay"} << QStringList()
                                     << "0.00" << QList<int> {0, 1}
                                     << QStringList {"可用券数量为0", "已验券数量为0，无法核销"};
    }

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
        const int result = run(dialog, list, [&] {
            m_answer = answer;
            for (const QString &step : steps) {
                if (step == "toggle")
                    dialog.ToggleCurrentCoupon();
                else if (step.at(0).isDigit())
                    tap(dialog, step.toInt(), 1);
                else
                    QTest::mouseClick(dialog.findChild<QPushButton *>(step), Qt::LeftButton);
            }
            for (int row = 0; row < table(dialog)->model()->rowCount(); ++row)
                ticks << cell(dialog, row, 1).data().toString();
            paid = labelText(dialog, "txtPay");
            QVERIFY(dialog.isVisible());
            dialog.done(0);
        });
        QCOMPARE(result, 0);
        QTEST(ticks, "ticks");
        QTEST(paid, "paid");
        QTEST((QList<int> {queries.count(), memberQueries.count()}), "queries");
        QTEST(m_messages, "messages");
    }

    void couponDialogKeys()
    {
        VipCouponWidget dialog;
        QSignalSpy spy(&dialog, &VipCouponWidget::SignKeyPressed);
        const QList<int> swallowed {Qt::Key_Return, Qt::Key_Enter, Qt::Key_0, Qt::Key_9},
            passed {Qt::Key_Escape, Qt::Key_Up, Qt::Key_A};
        for (QWidget *target : QList<QWidget *> {&dialog, dialog.findChild<QWidget *>("Qwidgetback"), table(dialog)})
            for (int key : swallowed + passed)
                QTest::keyClick(target, Qt::Key(key));
        QList<int> sent;
        for (const auto &arguments : qAsConst(spy))
            sent << arguments.at(0).toInt();
        QCOMPARE(sent, passed + passed + passed);
        QVERIFY(dialog.isVisible());
    }

    void keyFunctionCode_data()
    {
        QTest::addColumn<QString>("sysType");
        QTest::addColumn<QString>("orgCode");
        QTest::addColumn<int>("key");
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("error");
        const QString gen6 = "GEN6", gen5 = "GEN5";
        QTest::newRow("gen6 till override") << gen6 << "A01" << int(Qt::Key_PageUp) << "115" << QString();
        // A quote in the till's configuration must not turn into SQL.
        QTest::newRow("gen6 org code is bound") << gen6 << "A01' or '1'='1" << int(Qt::Key_Up) << "111" << QString();
        QTest::newRow("gen6 no org code") << gen6 << QString() << int(Qt::Key_F1) << "116" << QString();
        QTest::newRow("gen6 7 not configured") << gen6 << "A01" << int(Qt::Key_7) << QString() << "该按键未配置";
        QTest::newRow("gen5 plus like equals")
            << gen5 << QString() << int(Qt::Key_Plus) << QString()
            << "未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from "
               "tJkPosKeyDef where ScanCode=107|| TwPosConfig-KeyBoardGetFuncCode";
    }

    void keyFunctionCode()
    {
        QFETCH(QString, sysType);
        QFETCH(QString, orgCode);
        QFETCH(int, key);
        QFETCH(QString, error);
        if (sysType == "GEN5") {
            m_app->writeGen5();
        } else {
            m_app->writeGen6();
            m_app->writeIni("config.ini", {{"Config/OrgCode", orgCode.isNull() ? QVariant() : orgCode}});
            m_app->runSql("pos.db",
                          {"insert into tPosKeyDef values (24, '110', '1'), (13, '111', '1')",
                           "insert into tPosKeyDefDetail values ('A01', '001', '13', '115', '1'), "
                           "('A01', '002', '24', '107', '1'), ('', '001', '24', '116', '1')"});
        }
        VipCouponCPU cpu;
        QString value, actualError;
        QVERIFY2(cpu.Initialize(actualError), qPrintable(actualError));
        QCOMPARE(cpu.GetKeyFunctionCode(key, value, actualError), error.isEmpty());
        QTEST(value, "value");
        QCOMPARE(actualError, error);
        if (error.isEmpty())
            return;
        cpu.m_VipCouponWidget.m_sErrMsg = "unchanged";
        ModalDriver messages = confirmMessages();
        cpu.SlotKeyPressed(key);
        QCOMPARE(m_messages, QStringList {error});
        QCOMPARE(cpu.m_VipCouponWidget.m_sErrMsg, "unchanged");
    }

private:
    int run(VipCouponWidget &dialog, const QList<VipCouponDetail> &list, std::function<void()> during)
    {
        auto refresh = [this, &dialog] {
            dialog.RefreshCouponStates(m_answer, {}, {});
        };
        connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, refresh);
        connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, refresh);
        ModalDriver cashier([&](QDialog &shown) { &shown == &dialog ? during() : void(); }, 60000);
        ModalDriver messages = confirmMessages();
        const int result = dialog.show(list, {}, {});
        return cashier.guardFired() || messages.guardFired() ? -1 : result;
    }

    ModalDriver confirmMessages()
    {
        return ModalDriver([this](QDialog &shown) {
            if (qobject_cast<MessageWidget *>(&shown)) {
                m_messages << labelText(shown, "Qlbltishi");
                shown.accept();
            }
        });
    }

    std::unique_ptr<AppFolder> m_app;
    QStringList m_messages;
    QList<VipCouponDetail> m_answer;
};

QTEST_MAIN(tst_Dialogs)
#include "tst_dialogs.moc"
