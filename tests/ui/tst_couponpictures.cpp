#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include "support/appsettings.h"
#include "support/testsupport.h"
#include "ui/couponrows.h"
#include "ui/vipcouponwidget.h"

// Pictures of the coupon dialog at the tills' usual sizes, for a person to look at
// ($GRAB_DIR/coupon-dialog-<w>x<h>.png), with ticked, unusable and selected rows.

namespace {

VipCouponDetail makeCoupon(const QString &code, const QString &name, const QString &available,
                           const QString &amount, const QString &rule, const QString &remark = {})
{
    VipCouponDetail c;
    c.certiInfoId = QStringLiteral("id-") + code;
    c.certiInfoCode = code;
    c.certiInfoName = name;
    c.certiMe = amount;
    c.certiMeType = QStringLiteral("0");
    c.realCertiMe = amount;
    c.enddate = QStringLiteral("2030-12-31");
    c.depict = rule;
    c.apportionType = QStringLiteral("1");
    c.availableFlag = available;
    c.checkFlag = QStringLiteral("0");
    c.unAvailableRemark = remark;
    return c;
}

QList<VipCouponDetail> sampleCoupons()
{
    QList<VipCouponDetail> list{
        makeCoupon("Q2024000101", "满100减10元券", "1", "10", "全场通用，单笔满100元可用"),
        makeCoupon("Q2024000102", "生鲜专享满50减5", "1", "5", "限生鲜类商品"),
        makeCoupon("Q2024000103", "会员日8折券", "0", "20", "仅会员日可用", "未到使用日期"),
        makeCoupon("Q2024000104", "新品尝鲜券", "1", "8", "限新品"),
        makeCoupon("Q2024000105", "家电满1000减100", "0", "100", "限家电类", "本单无可用商品"),
        makeCoupon("Q2024000106", "饮料第二件半价", "1", "3.5", "限指定饮料"),
    };
    VipCouponDetail range = makeCoupon("Q2024000107", "随机立减券", "1", "", "随机立减");
    range.certiMeType = QStringLiteral("1");
    range.certiMeMin = QStringLiteral("1");
    range.certiMeMax = QStringLiteral("9");
    range.realCertiMe = QStringLiteral("6.6");
    list.append(range);
    return list;
}

}

class tst_CouponPictures : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void formFitsTheSmallestScreen();
    void dialogPicture_data();
    void dialogPicture();

private:
    QTemporaryDir m_dir;
};

void tst_CouponPictures::initTestCase()
{
    QVERIFY(m_dir.isValid());
    AppSettings::overrideApplicationDir(m_dir.path());
    QDir::setCurrent(m_dir.path());
}

void tst_CouponPictures::formFitsTheSmallestScreen()
{
    VipCouponWidget dialog;
    QVERIFY2(dialog.minimumSizeHint().width() <= 800,
             qPrintable(QString::number(dialog.minimumSizeHint().width())));
    QVERIFY2(dialog.minimumSizeHint().height() <= 600,
             qPrintable(QString::number(dialog.minimumSizeHint().height())));
}

void tst_CouponPictures::dialogPicture_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("800x600") << QSize(800, 600);
    QTest::newRow("1024x768") << QSize(1024, 768);
    QTest::newRow("1920x1080") << QSize(1920, 1080);
}

void tst_CouponPictures::dialogPicture()
{
    QFETCH(QSize, size);
    VipCouponWidget dialog;
    // The offscreen screen is 800 wide; dress the dialog as a screen of this size would.
    const CouponRows::ScreenStyles styles = CouponRows::stylesForScreenWidth(size.width());
    dialog.findChild<QWidget *>(QStringLiteral("hWdTop"))->setStyleSheet(styles.topBar);
    dialog.findChild<QWidget *>(QStringLiteral("hWdgTotal"))->setStyleSheet(styles.totals);
    dialog.findChild<QWidget *>(QStringLiteral("lblhelp"))->setStyleSheet(styles.help);
    auto *view = dialog.findChild<QTableView *>(QStringLiteral("tableView"));
    view->setStyleSheet(styles.table);
    view->horizontalHeader()->setStyleSheet(styles.header);

    dialog.m_TranMain.tr_amt = QStringLiteral("25880");
    dialog.m_TranMain.vip_no = QStringLiteral("13800138000");
    auto refresh = [&dialog] {
        QList<VipCouponDetail> answer = dialog.m_CouponDetails;
        if (!dialog.m_SelCouponDetails.isEmpty()) {
            // Once something is ticked the server rules the last coupon out.
            answer.last().availableFlag = QStringLiteral("0");
            answer.last().unAvailableRemark = QStringLiteral("与已选券不可同时使用");
        }
        dialog.RefreshCouponStates(answer, {}, {});
    };
    connect(&dialog, &VipCouponWidget::SignQueryCoupons, &dialog, refresh);
    connect(&dialog, &VipCouponWidget::SignQueryCouponsforVip, &dialog, refresh);

    dialog.setWindowState(Qt::WindowNoState);
    dialog.resize(size);
    QTRY_COMPARE(dialog.size(), size);

    bool guardFired = false;
    bool saved = false;
    QSize grabbed;
    QString pay;
    QTimer guard;
    guard.setSingleShot(true);
    connect(&guard, &QTimer::timeout, &dialog, [&] {
        guardFired = true;
        dialog.reject();
    });
    guard.start(10000);
    QTimer::singleShot(0, &dialog, [&] {
        dialog.setWindowState(Qt::WindowNoState);
        dialog.resize(size);
        QTest::qWait(50);
        auto tap = [&](int row) {
            dialog.SlotTableViewClicked(view->model()->index(row, 1));
        };
        tap(0);
        tap(3);
        dialog.SlotTableViewClicked(view->model()->index(1, 0));
        QTest::qWait(50);
        pay = dialog.findChild<QLabel *>(QStringLiteral("txtPay"))->text();
        grabbed = dialog.grab().size();
        saved = TestSupport::saveGrab(dialog, QStringLiteral("coupon-dialog-%1x%2")
                                              .arg(size.width()).arg(size.height()));
        dialog.done(0);
    });
    QCOMPARE(dialog.show(sampleCoupons(), {}, {}), 0);
    QVERIFY(!guardFired);
    QVERIFY(saved);
    QCOMPARE(grabbed, size);
    QCOMPARE(pay, QStringLiteral("18.00"));
}

QTEST_MAIN(tst_CouponPictures)
#include "tst_couponpictures.moc"
