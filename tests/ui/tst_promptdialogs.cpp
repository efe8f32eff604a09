// The small windows around the coupon dialog: message box, yes/no question, wait overlay and
// coupon information popup. Pictures of each go to $GRAB_DIR/prompt-<kind>-<w>x<h>.png.
#include <memory>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "support/appfolder.h"
#include "support/testsupport.h"
#include "ui/coupmsgwidget.h"
#include "ui/messagewidget.h"
#include "ui/questionmessage.h"
#include "ui/vipcouponwidget.h"
#include "ui/waitwidget.h"

namespace {

constexpr int kLeftOpen = 42;   // the test closed a dialog that the key or tap left open

std::unique_ptr<QWidget> makeWindow(const QString &kind)
{
    if (kind == QLatin1String("message"))
        return std::make_unique<MessageWidget>();
    if (kind == QLatin1String("question"))
        return std::make_unique<QuestionMessage>();
    if (kind == QLatin1String("wait"))
        return std::make_unique<WaitWidget>();
    return std::make_unique<CoupMsgWidget>();
}

QString text(const QWidget &window, const char *label)
{
    return window.findChild<QLabel *>(QLatin1String(label))->text();
}

}

class tst_PromptDialogs : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_app = std::make_unique<AppFolder>(); }
    void cleanup() { m_app.reset(); }
    void answersEndTheModalLoop_data();
    void answersEndTheModalLoop();
    void keysAreSwallowed_data();
    void keysAreSwallowed();
    void uiTypeSetsCaption_data();
    void uiTypeSetsCaption();
    void couponInfo_data();
    void couponInfo();
    void picturesShowTheWholeText_data();
    void picturesShowTheWholeText();
    void formSlotsConnectByName();

private:
    std::unique_ptr<AppFolder> m_app;   // INI files and the daily log stay out of the build tree
};

void tst_PromptDialogs::answersEndTheModalLoop_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");        // 0: tap the button instead
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("result");
    QTest::newRow("message return") << "message" << int(Qt::Key_Return) << "" << 1;
    QTest::newRow("message enter") << "message" << int(Qt::Key_Enter) << "" << 1;
    QTest::newRow("message escape") << "message" << int(Qt::Key_Escape) << "" << kLeftOpen;
    QTest::newRow("message tap") << "message" << 0 << "QbtnOK" << 1;
    QTest::newRow("question one") << "question" << int(Qt::Key_1) << "" << 1;
    QTest::newRow("question return") << "question" << int(Qt::Key_Return) << "" << 1;
    QTest::newRow("question zero") << "question" << int(Qt::Key_0) << "" << 0;
    QTest::newRow("question escape") << "question" << int(Qt::Key_Escape) << "" << kLeftOpen;
    QTest::newRow("question tap cancel") << "question" << 0 << "btncancel" << 0;
}

void tst_PromptDialogs::answersEndTheModalLoop()
{
    QFETCH(QString, kind);
    QFETCH(int, key);
    QFETCH(QString, button);
    QFETCH(int, result);
    QStringList seen;
    ModalDriver cashier([&](QDialog &dialog) {
        seen << (dialog.isFullScreen() ? "full screen" : "not full screen")
             << text(dialog, kind == QLatin1String("message") ? "Qlbltishi" : "label_text");
        if (key)
            QTest::keyClick(&dialog, Qt::Key(key));
        else
            QTest::mouseClick(dialog.findChild<QPushButton *>(button), Qt::LeftButton);
        if (dialog.isVisible())
            dialog.done(kLeftOpen);
    });
    int answer = -1;
    if (kind == QLatin1String("message")) {
        MessageWidget dialog;
        dialog.ShowMessage(QStringLiteral("会员券核销成功"));
        answer = dialog.result();
    } else {
        answer = QuestionMessage().AskQuestion(QStringLiteral("会员券核销成功"));
    }
    QVERIFY(!cashier.guardFired());
    QCOMPARE(answer, result);
    QCOMPARE(seen, (QStringList{"full screen", "会员券核销成功"}));
}

void tst_PromptDialogs::keysAreSwallowed_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("key");
    QTest::newRow("message escape") << "message" << int(Qt::Key_Escape);
    QTest::newRow("question escape") << "question" << int(Qt::Key_Escape);
    QTest::newRow("question nine") << "question" << int(Qt::Key_9);
    QTest::newRow("wait escape") << "wait" << int(Qt::Key_Escape);
    QTest::newRow("wait return") << "wait" << int(Qt::Key_Return);
    QTest::newRow("wait one") << "wait" << int(Qt::Key_1);
}

// A swallowed key is accepted by the window itself, so it never travels on to the host.
void tst_PromptDialogs::keysAreSwallowed()
{
    QFETCH(QString, kind);
    QFETCH(int, key);
    const auto window = makeWindow(kind);
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.ignore();
    QApplication::sendEvent(window.get(), &press);
    QVERIFY(press.isAccepted());
    QVERIFY(window->isVisible());
}

void tst_PromptDialogs::uiTypeSetsCaption_data()
{
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<QString>("caption");
    QTest::newRow("no file") << QByteArray() << "确定";
    QTest::newRow("one") << QByteArray("[Config]\nUiType=1\n") << "确定(Enter)";
    QTest::newRow("two") << QByteArray("[Config]\nUiType=2\n") << "确定";
    QTest::newRow("other section") << QByteArray("[Ui]\nUiType=1\n") << "确定";
}

void tst_PromptDialogs::uiTypeSetsCaption()
{
    QFETCH(QByteArray, ini);
    QFETCH(QString, caption);
    if (!ini.isNull())
        QVERIFY(TestSupport::writeFile(m_app->filePath(QStringLiteral("TwVipCoupon5.ini")), ini));
    MessageWidget dialog;
    QCOMPARE(dialog.findChild<QPushButton *>(QStringLiteral("QbtnOK"))->text(), caption);
}

void tst_PromptDialogs::couponInfo_data()
{
    QTest::addColumn<QStringList>("captions");   // one showing each
    QTest::addColumn<int>("key");                // pressed at the end; 0: tap the close button
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<bool>("visible");
    QTest::newRow("empty on first use, close button") << QStringList{""} << 0 << QStringList{"券使用规则："} << false;
    QTest::newRow("empty keeps the last, escape") << QStringList{"不可用原因：", ""} << int(Qt::Key_Escape)
                                                   << QStringList{"不可用原因：", "不可用原因："} << false;
    QTest::newRow("rules then reason, return") << QStringList{"使用规则：", "不可用原因："} << int(Qt::Key_Return)
                                               << QStringList{"使用规则：", "不可用原因："} << true;
}

void tst_PromptDialogs::couponInfo()
{
    QFETCH(QStringList, captions);
    QFETCH(int, key);
    QFETCH(QStringList, shown);
    QFETCH(bool, visible);
    CoupMsgWidget popup;
    QStringList actual;
    for (const QString &caption : captions) {
        popup.ShowCouponInfo(QStringLiteral("券") + caption, QStringLiteral("规则") + caption, caption);
        QVERIFY(popup.isFullScreen());
        actual << text(popup, "labRule");
        QCOMPARE(text(popup, "coupName") + text(popup, "coupRule"), QStringLiteral("券%1规则%1").arg(caption));
    }
    QCOMPARE(actual, shown);
    QVERIFY(QTest::qWaitForWindowExposed(&popup));
    if (key)
        QTest::keyClick(&popup, Qt::Key(key));
    else
        QTest::mouseClick(popup.findChild<QPushButton *>(QStringLiteral("btnClose")), Qt::LeftButton);
    QCOMPARE(popup.isVisible(), visible);
}

void tst_PromptDialogs::picturesShowTheWholeText_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QString>("box");
    QTest::addColumn<QPoint>("boxAt");           // the content box sits in the middle of the screen
    QTest::addColumn<QStringList>("plainLabels");   // server texts: markup must stay text
    for (const QSize &size : {QSize(800, 600), QSize(1920, 1080)}) {
        const QByteArray name = QByteArray::number(size.width()) + 'x' + QByteArray::number(size.height());
        const QPoint middle = size.width() == 800 ? QPoint(220, 200) : QPoint(780, 440);
        QTest::addRow("message-%s", name.data()) << "message" << size << "QhorizontalWidget" << middle << QStringList{"Qlbltishi"};
        QTest::addRow("question-%s", name.data()) << "question" << size << "horizontalWidget" << middle << QStringList{"label_text"};
        QTest::addRow("wait-%s", name.data()) << "wait" << size << "QhorizontalWidget" << middle << QStringList{};
        QTest::addRow("coupmsg-%s", name.data()) << "coupmsg" << size << "vWidget"
            << (size.width() == 800 ? QPoint(75, 50) : QPoint(635, 290)) << QStringList{"coupName", "coupRule"};
    }
}

// Each window as the cashier sees it, with long realistic texts: no text or button is cut off.
void tst_PromptDialogs::picturesShowTheWholeText()
{
    QFETCH(QString, kind);
    QFETCH(QSize, size);
    QFETCH(QString, box);
    QFETCH(QPoint, boxAt);
    QFETCH(QStringList, plainLabels);
    const auto window = makeWindow(kind);
    if (kind == QLatin1String("message")) {
        window->findChild<QLabel *>(QStringLiteral("Qlbltishi"))->setText(QStringLiteral("会员券核销失败：网络连接超时，请检查网络后重试。"));
    } else if (kind == QLatin1String("question")) {
        window->findChild<QLabel *>(QStringLiteral("label_text"))->setText(QStringLiteral("券查询接口调用失败，是否重试？\n若否则退出本次支付。"));
    } else if (auto *wait = qobject_cast<WaitWidget *>(window.get())) {
        wait->SetWaitText(QStringLiteral("正在查询会员券"));
        wait->ShowWaiting();
        QCOMPARE(text(*wait, "Qlabel_text") + text(*wait, "Qlbldot"), QStringLiteral("正在查询会员券......"));
    } else {
        static_cast<CoupMsgWidget *>(window.get())->ShowCouponInfo(
            QStringLiteral("满100减20元代金券"),
            QStringLiteral("1. 单笔消费满100元可用，每单限用一张；\n2. 特价商品、烟酒及购物卡不参与；\n"
                           "3. 不设找零，不可兑换现金；\n4. 有效期至2025-12-31。"),
            QStringLiteral("使用规则："));
    }
    if (size == QSize(800, 600)) {
        window->showFullScreen();
    } else {
        window->showNormal();
        window->resize(size);
    }
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QCOMPARE(window->size(), size);
    auto *content = window->findChild<QWidget *>(box);
    QCOMPARE(content->mapTo(window.get(), QPoint(0, 0)), boxAt);
    QCOMPARE(TestSupport::labelsCutOff(*window), QStringList());
    for (QPushButton *button : window->findChildren<QPushButton *>())
        QVERIFY2(content->rect().contains(QRect(button->mapTo(content, QPoint(0, 0)), button->size())),
                 qPrintable(button->objectName()));
    for (const QString &label : plainLabels)
        QCOMPARE(window->findChild<QLabel *>(label)->textFormat(), Qt::PlainText);
    QVERIFY(TestSupport::saveGrab(*window, QStringLiteral("prompt-%1-%2x%3").arg(kind).arg(size.width()).arg(size.height())));
}

// A misspelled on_<object>_<signal> slot only warns at run time.
void tst_PromptDialogs::formSlotsConnectByName()
{
    WarningCollector collector;
    {
        MessageWidget message;
        QuestionMessage question;
        WaitWidget wait;
        CoupMsgWidget coupMsg;
        VipCouponWidget coupons;
    }
    for (const QString &warning : collector.warnings())
        QVERIFY2(!warning.contains(QLatin1String("connectSlotsByName")), qPrintable(warning));
}

QTEST_MAIN(tst_PromptDialogs)
#include "tst_promptdialogs.moc"
