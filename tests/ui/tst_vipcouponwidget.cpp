// The coupon dialog in its own modal loop, worked by taps and keys the way the cashier does,
// with the controller's answers to its re-queries played by the test.
#include <functional>
#include <memory>

#include <QApplication>
#include <QImage>
#include <QItemDelegate>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>

#include "support/appfolder.h"
#include "support/testsupport.h"
#include "ui/coupmsgwidget.h"
#include "ui/messagewidget.h"
#include "ui/rowdelegates.h"
#include "ui/vipcouponwidget.h"

namespace {

constexpr int kLeftOpen = 42;   // the test ended a dialog that its steps left open

QTableView *table(VipCouponWidget &dialog)
{
    return dialog.findChild<QTableView *>(QStringLiteral("tableView"));
}

QString text(QWidget &widget, const char *name)
{
    return widget.findChild<QLabel *>(QLatin1String(name))->text();
}

void tap(VipCouponWidget &dialog, int row, int column)
{
    QTableView *view = table(dialog);
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(view->model()->index(row, column)).center());
}

QStringList column(VipCouponWidget &dialog, int column)
{
    QStringList cells;
    for (int row = 0; row < table(dialog)->model()->rowCount(); ++row)
        cells << table(dialog)->model()->index(row, column).data().toString();
    return cells;
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

// "code[:availableFlag[:apportionType]]", usable and shared unless said otherwise.
QList<VipCouponDetail> coupons(const QStringList &specs)
{
    QList<VipCouponDetail> list;
    for (const QString &spec : specs) {
        const QStringList parts = spec.split(QLatin1Char(':'));
        list << TestSupport::coupon(parts.at(0), parts.value(1, QStringLiteral("1")), parts.value(2, QStringLiteral("1")));
    }
    return list;
}

}

class tst_VipCouponWidget : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void openingShowsCouponsAndTotals();
    void cashierWorksTheDialog_data();
    void cashierWorksTheDialog();
    void keysAreKeptOrForwarded_data();
    void keysAreKeptOrForwarded();
    void infoColumnsOpenThePopup_data();
    void infoColumnsOpenThePopup();
    void rowDelegatesDoNotPileUp();

private:
    // Fills and runs the dialog; during runs inside its modal loop. Message boxes are confirmed
    // and their texts kept in m_messages. Every re-query is answered with m_answer.
    int run(VipCouponWidget &dialog, const QList<VipCouponDetail> &list, std::function<void()> during);

    std::unique_ptr<AppFolder> m_app;
    bool m_guardFired = false;
    QStringList m_messages;
    QList<VipCouponDetail> m_answer;
};

void tst_VipCouponWidget::init()
{
    m_app = std::make_unique<AppFolder>();
    m_guardFired = false;
    m_messages.clear();
    m_answer.clear();
}

void tst_VipCouponWidget::cleanup()
{
    m_app.reset();
}

int tst_VipCouponWidget::run(VipCouponWidget &dialog, const QList<VipCouponDetail> &list, std::function<void()> during)
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
            m_messages << text(shown, "Qlbltishi");
            shown.accept();
        }
    });
    const int result = dialog.show(list, {}, {});
    m_guardFired = cashier.guardFired() || messages.guardFired();
    return result;
}

void tst_VipCouponWidget::openingShowsCouponsAndTotals()
{
    VipCouponWidget dialog;
    dialog.m_TranMain.tr_amt = QStringLiteral("1250");
    dialog.m_TranMain.vip_no = QStringLiteral("800123");
    QList<VipCouponDetail> list = coupons({"A", "B", "C:0", "D"});
    list[1].checkFlag = QStringLiteral("1");
    list[1].realCertiMe = QStringLiteral("7.5");
    QSignalSpy query(&dialog, &VipCouponWidget::SignQueryCoupons);
    QStringList shown, fills, cutOff;
    run(dialog, list, [&] {
        shown << QString::number(query.count()) << text(dialog, "txtNotPay") << text(dialog, "txtMemb") << text(dialog, "txtPay");
        tap(dialog, 3, 1);
        dialog.SlotTableViewClicked(table(dialog)->model()->index(0, 0));
        QCoreApplication::processEvents();   // the layouts follow the new texts
        shown << text(dialog, "txtPay");
        fills = rowFills(dialog);
        cutOff = TestSupport::labelsCutOff(dialog);
        QVERIFY(TestSupport::saveGrab(dialog, QStringLiteral("coupon-dialog-800x600")));
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    // The pre-ticked coupon is selected and asked for before the loop starts.
    QCOMPARE(shown, (QStringList{"1", "12.50", "800123", "7.50", "17.50"}));
    // Selected plain row, pre-ticked row (still plain), unusable row, ticked row.
    QCOMPARE(fills, (QStringList{"#f3fcff", "#ffffff", "#dee2ed", "#c2e4ff"}));
    QCOMPARE(cutOff, QStringList());
}

void tst_VipCouponWidget::cashierWorksTheDialog_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QString>("maxCount");
    QTest::addColumn<QStringList>("answer");   // every re-query's answer
    QTest::addColumn<QStringList>("steps");    // "N": tap row N's tick, "rowN": select row N, "toggle", a button
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("ticks");
    QTest::addColumn<QString>("pay");          // the selected amount shown
    QTest::addColumn<int>("current");
    QTest::addColumn<QString>("queries");      // "selected/none": re-queries with and without a selection
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("errMsg");
    const QStringList abc{"A", "B", "C"};
    const QString limit = QStringLiteral("优惠券最大可用数量为2");
    const QString nothingTicked = QStringLiteral("已验券数量为0，无法核销");
    QTest::newRow("tick") << QStringList{"A", "B"} << "" << QStringList{} << QStringList{"0"} << kLeftOpen
        << QStringList{"1", "0"} << "10.00" << 0 << "1/1" << QStringList{} << "";
    QTest::newRow("untick empties the selection") << QStringList{"A", "B"} << "" << QStringList{} << QStringList{"0", "0"}
        << kLeftOpen << QStringList{"0", "0"} << "0.00" << 0 << "1/2" << QStringList{} << "";
    QTest::newRow("unusable row stays") << QStringList{"A", "B:0"} << "" << QStringList{} << QStringList{"1"} << kLeftOpen
        << QStringList{"0", "2"} << "0.00" << 1 << "0/1" << QStringList{} << "";
    QTest::newRow("same code twice is selected once") << QStringList{"A", "A"} << "" << QStringList{} << QStringList{"0", "1"}
        << kLeftOpen << QStringList{"1", "1"} << "10.00" << 1 << "2/1" << QStringList{} << "";
    QTest::newRow("max 2 blocks a third") << abc << "2" << QStringList{} << QStringList{"0", "1", "2"} << kLeftOpen
        << QStringList{"1", "1", "0"} << "20.00" << 2 << "2/1" << QStringList{limit} << "";
    QTest::newRow("answer turns rows unusable and usable") << QStringList{"A", "B", "C:0"} << "" << QStringList{"A", "B:0", "C"}
        << QStringList{"0"} << kLeftOpen << QStringList{"1", "2", "0"} << "10.00" << 0 << "1/1" << QStringList{} << "";
    QTest::newRow("next wraps") << abc << "" << QStringList{} << QStringList{"row2", "btnNextRow"} << kLeftOpen
        << QStringList{"0", "0", "0"} << "0.00" << 0 << "0/1" << QStringList{} << "";
    QTest::newRow("previous wraps") << abc << "" << QStringList{} << QStringList{"row0", "btnPreRow"} << kLeftOpen
        << QStringList{"0", "0", "0"} << "0.00" << 2 << "0/1" << QStringList{} << "";
    QTest::newRow("pay without a tick") << QStringList{"A"} << "" << QStringList{} << QStringList{"btnPay"} << kLeftOpen
        << QStringList{"0"} << "0.00" << 0 << "0/1" << QStringList{nothingTicked} << "";
    QTest::newRow("pay after a tick") << QStringList{"A"} << "" << QStringList{} << QStringList{"0", "btnPay"} << 1
        << QStringList{"1"} << "10.00" << 0 << "1/1" << QStringList{} << "";
    QTest::newRow("top exit") << QStringList{"A"} << "" << QStringList{} << QStringList{"0", "QbtnExit"} << 0
        << QStringList{"1"} << "10.00" << 0 << "1/1" << QStringList{} << "CLOSE";
    QTest::newRow("bottom exit") << QStringList{"A"} << "" << QStringList{} << QStringList{"bntExit"} << 0
        << QStringList{"0"} << "0.00" << 0 << "0/1" << QStringList{} << "CLOSE";
    QTest::newRow("empty table") << QStringList{} << "" << QStringList{} << QStringList{"btnNextRow", "btnPreRow", "toggle", "btnPay"}
        << kLeftOpen << QStringList{} << "0.00" << -1 << "0/1" << QStringList{"可用券数量为0", nothingTicked} << "";
}

void tst_VipCouponWidget::cashierWorksTheDialog()
{
    QFETCH(QStringList, list);
    QFETCH(QString, maxCount);
    QFETCH(QStringList, answer);
    QFETCH(QStringList, steps);
    QFETCH(int, result);
    QFETCH(QStringList, ticks);
    QFETCH(QString, pay);
    QFETCH(int, current);
    QFETCH(QString, queries);
    QFETCH(QStringList, messages);
    QFETCH(QString, errMsg);
    if (!maxCount.isEmpty())
        m_app->writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/DiscountCountMax"), maxCount}});
    VipCouponWidget dialog;
    QSignalSpy selected(&dialog, &VipCouponWidget::SignQueryCoupons);
    QSignalSpy none(&dialog, &VipCouponWidget::SignQueryCouponsforVip);
    connect(&dialog, &VipCouponWidget::SigVipCouponPay, &dialog, [&dialog] { dialog.done(1); });
    QStringList actualTicks;
    QString actualPay;
    int actualCurrent = -2;
    const int actual = run(dialog, coupons(list), [&] {
        m_answer = coupons(answer);
        for (const QString &step : steps) {
            if (step.startsWith(QLatin1String("row")))
                dialog.SlotTableViewClicked(table(dialog)->model()->index(step.mid(3).toInt(), 0));
            else if (step == QLatin1String("toggle"))
                dialog.ToggleCurrentCoupon();
            else if (step.at(0).isDigit())
                tap(dialog, step.toInt(), 1);
            else
                QTest::mouseClick(dialog.findChild<QPushButton *>(step), Qt::LeftButton);
        }
        actualTicks = column(dialog, 1);
        actualPay = text(dialog, "txtPay");
        actualCurrent = table(dialog)->currentIndex().row();
        if (dialog.isVisible())
            dialog.done(kLeftOpen);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(actual, result);
    QCOMPARE(actualTicks, ticks);
    QCOMPARE(actualPay, pay);
    QCOMPARE(actualCurrent, current);
    QCOMPARE(QStringLiteral("%1/%2").arg(selected.count()).arg(none.count()), queries);
    QCOMPARE(m_messages, messages);
    QCOMPARE(dialog.m_sErrMsg, errMsg);
}

void tst_VipCouponWidget::keysAreKeptOrForwarded_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("forwarded");
    QTest::newRow("return") << int(Qt::Key_Return) << false;
    QTest::newRow("enter") << int(Qt::Key_Enter) << false;
    QTest::newRow("digit 0") << int(Qt::Key_0) << false;
    QTest::newRow("digit 9") << int(Qt::Key_9) << false;
    QTest::newRow("escape") << int(Qt::Key_Escape) << true;
    QTest::newRow("up") << int(Qt::Key_Up) << true;
    QTest::newRow("letter") << int(Qt::Key_A) << true;
}

void tst_VipCouponWidget::keysAreKeptOrForwarded()
{
    QFETCH(int, key);
    QFETCH(bool, forwarded);
    VipCouponWidget dialog;
    QSignalSpy keys(&dialog, &VipCouponWidget::SignKeyPressed);
    // Through the dialog itself, its background and its table; no key closes the dialog.
    QTest::keyClick(&dialog, Qt::Key(key));
    QTest::keyClick(dialog.findChild<QWidget *>(QStringLiteral("Qwidgetback")), Qt::Key(key));
    QTest::keyClick(table(dialog), Qt::Key(key));
    QCOMPARE(keys.count(), forwarded ? 3 : 0);
    for (const QList<QVariant> &arguments : qAsConst(keys))
        QCOMPARE(arguments.at(0).toInt(), key);
    QVERIFY(dialog.isVisible());
}

void tst_VipCouponWidget::infoColumnsOpenThePopup_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QStringList>("shown");
    QTest::newRow("rules") << 0 << 6 << QStringList{"券A", "规则A", "使用规则："};
    QTest::newRow("reason") << 1 << 7 << QStringList{"券B", "不满足门槛", "不可用原因："};
}

void tst_VipCouponWidget::infoColumnsOpenThePopup()
{
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QStringList, shown);
    VipCouponWidget dialog;
    QList<QStringList> popups;
    run(dialog, coupons({"A", "B:0"}), [&] {
        tap(dialog, row, column);
        tap(dialog, row, column);
        for (QWidget *window : QApplication::topLevelWidgets()) {
            if (auto *popup = qobject_cast<CoupMsgWidget *>(window))
                popups << QStringList{text(*popup, "coupName"), text(*popup, "coupRule"), text(*popup, "labRule")};
        }
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(popups, QList<QStringList>{shown});   // created on first use, then reused
}

void tst_VipCouponWidget::rowDelegatesDoNotPileUp()
{
    VipCouponWidget dialog;
    // Only the row delegates are the router's children, so a replaced one that is never freed
    // shows up in this count; none may be parked elsewhere under the view either.
    auto live = [&dialog] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        const auto *rows = qobject_cast<RowDelegates *>(table(dialog)->itemDelegate());
        return QList<int>{rows->findChildren<QAbstractItemDelegate *>(QString(), Qt::FindDirectChildrenOnly).size(),
                          table(dialog)->findChildren<QItemDelegate *>().size()};
    };
    QList<int> afterFill, afterToggles;
    run(dialog, coupons({"A", "B", "C:0"}), [&] {
        afterFill = live();
        dialog.SlotTableViewClicked(table(dialog)->model()->index(0, 0));
        for (int i = 0; i < 1000; ++i)
            dialog.ToggleCurrentCoupon();
        afterToggles = live();
        dialog.done(0);
    });
    QVERIFY(!m_guardFired);
    QCOMPARE(afterFill, (QList<int>{3, 3}));
    QCOMPARE(afterToggles, (QList<int>{3, 3}));
}

QTEST_MAIN(tst_VipCouponWidget)
#include "tst_vipcouponwidget.moc"
