#include <QCoreApplication>
#include <QDir>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include "support/appsettings.h"
#include "ui/vipcouponwidget.h"

// The coupon dialog's own work: filling the table, applying a re-query's answer, and one tick
// (with the controller's answer handed straight back, so the server's time is left out).

namespace {

QList<VipCouponDetail> coupons(int count, const QString &availableFlag)
{
    QList<VipCouponDetail> list;
    list.reserve(count);
    for (int i = 0; i < count; ++i) {
        VipCouponDetail c;
        c.certiInfoId = QString::number(100000 + i);
        c.certiInfoCode = QStringLiteral("Q%1").arg(i, 8, 10, QLatin1Char('0'));
        c.certiInfoName = QStringLiteral("满100减10元券");
        c.certiMe = QStringLiteral("10");
        c.certiMeType = QStringLiteral("0");
        c.realCertiMe = QStringLiteral("10");
        c.enddate = QStringLiteral("2030-12-31");
        c.depict = QStringLiteral("全场通用");
        c.apportionType = QStringLiteral("1");
        c.availableFlag = availableFlag;
        c.checkFlag = QStringLiteral("0");
        list.append(c);
    }
    return list;
}

}

class bench_CouponTable : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void fillTable_data();
    void fillTable();
    void refreshStates_data();
    void refreshStates();
    void tickAndUntick_data();
    void tickAndUntick();

private:
    // Fills the dialog without entering its modal loop: the opening re-query ends it at once.
    void fill(VipCouponWidget &dialog, const QList<VipCouponDetail> &list);
    void sizes();

    QTemporaryDir m_dir;
};

void bench_CouponTable::initTestCase()
{
    QVERIFY(m_dir.isValid());
    AppSettings::overrideApplicationDir(m_dir.path());
    QDir::setCurrent(m_dir.path());
}

void bench_CouponTable::sizes()
{
    QTest::addColumn<int>("count");
    for (int count : {10, 100, 200, 500, 2000})
        QTest::addRow("%d", count) << count;
}

void bench_CouponTable::fill(VipCouponWidget &dialog, const QList<VipCouponDetail> &list)
{
    const QMetaObject::Connection end =
        connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, [&dialog] { dialog.done(1); });
    dialog.show(list, {}, {});
    disconnect(end);
}

void bench_CouponTable::fillTable_data()
{
    sizes();
}

void bench_CouponTable::fillTable()
{
    QFETCH(int, count);
    const QList<VipCouponDetail> list = coupons(count, QStringLiteral("1"));
    VipCouponWidget dialog;
    QBENCHMARK {
        fill(dialog, list);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCOMPARE(dialog.findChild<QTableView *>()->model()->rowCount(), count);
}

void bench_CouponTable::refreshStates_data()
{
    sizes();
}

void bench_CouponTable::refreshStates()
{
    QFETCH(int, count);
    VipCouponWidget dialog;
    fill(dialog, coupons(count, QStringLiteral("1")));
    // Every call turns every row over: the dearest answer there is.
    const QList<VipCouponDetail> unusable = coupons(count, QStringLiteral("0"));
    const QList<VipCouponDetail> usable = coupons(count, QStringLiteral("1"));
    QBENCHMARK {
        dialog.RefreshCouponStates(unusable, {}, {});
        dialog.RefreshCouponStates(usable, {}, {});
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QCOMPARE(dialog.m_CouponDetails.last().availableFlag, QStringLiteral("1"));
}

void bench_CouponTable::tickAndUntick_data()
{
    sizes();
}

void bench_CouponTable::tickAndUntick()
{
    QFETCH(int, count);
    VipCouponWidget dialog;
    const QList<VipCouponDetail> list = coupons(count, QStringLiteral("1"));
    fill(dialog, list);
    auto answer = [&dialog, &list] {
        dialog.RefreshCouponStates(list, {}, {});
    };
    connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, answer);
    connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, answer);
    auto *view = dialog.findChild<QTableView *>();
    view->selectRow(count / 2);
    QBENCHMARK {
        dialog.ToggleCurrentCoupon();
        dialog.ToggleCurrentCoupon();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    QVERIFY(dialog.m_SelCouponDetails.isEmpty());
}

QTEST_MAIN(bench_CouponTable)
#include "bench_coupontable.moc"
