// QWinWidget in a host window, seen through the platform layer: a modal child disables the host
// window while it is up, and the keyboard focus goes back to the host afterwards.
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>

#include "entry/qwinwidget.h"
#include "platform/hostbridge_linux.h"

namespace {

// Native windows of the host: ids no window of this process has.
const HWND kHost = 0x7f000010;
const HWND kHostField = 0x7f000011;

}

class tst_QWinWidget : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void modalChildDisablesTheHostWindow_data();
    void modalChildDisablesTheHostWindow();
    void focusGoesBackWhenTheChildHides_data();
    void focusGoesBackWhenTheChildHides();
    void tabChainEndsHandFocusToTheHost_data();
    void tabChainEndsHandFocusToTheHost();
};

void tst_QWinWidget::init()
{
    HostBridge::resetWindowState();
}

void tst_QWinWidget::modalChildDisablesTheHostWindow_data()
{
    QTest::addColumn<bool>("modal");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("enabledWhileShown");
    QTest::newRow("modal, hidden") << true << "hide" << false;
    QTest::newRow("modal, closed") << true << "close" << false;
    QTest::newRow("modal, deleted") << true << "delete" << false;
    QTest::newRow("modal, removed") << true << "remove" << false;
    QTest::newRow("modeless") << false << "hide" << true;
}

void tst_QWinWidget::modalChildDisablesTheHostWindow()
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

    if (ending == QLatin1String("hide")) {
        dialog->hide();
    } else if (ending == QLatin1String("close")) {
        dialog->close();
    } else if (ending == QLatin1String("delete")) {
        delete dialog;
    } else {
        // Taken away without being hidden first: only the child-removed path can re-enable.
        static_cast<QObject *>(dialog.data())->setParent(nullptr);
        QVERIFY(dialog->isVisible());
    }
    QVERIFY(HostBridge::isWindowEnabled(kHost));
    delete dialog;
}

void tst_QWinWidget::focusGoesBackWhenTheChildHides_data()
{
    QTest::addColumn<HWND>("focusBefore");
    QTest::addColumn<HWND>("focusAfter");
    QTest::newRow("a host field had the focus") << kHostField << kHostField;
    QTest::newRow("nothing had the focus") << HWND(0) << kHost;
}

void tst_QWinWidget::focusGoesBackWhenTheChildHides()
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

void tst_QWinWidget::tabChainEndsHandFocusToTheHost_data()
{
    QTest::addColumn<bool>("startAtFirst");
    QTest::addColumn<bool>("next");
    QTest::addColumn<bool>("focusAtFirst");
    QTest::addColumn<HWND>("hostFocus");
    QTest::newRow("forward inside") << true << true << false << kHostField;
    QTest::newRow("forward past the end") << false << true << false << kHost;
    QTest::newRow("backward inside") << false << false << true << kHostField;
    QTest::newRow("backward past the start") << true << false << true << kHost;
}

void tst_QWinWidget::tabChainEndsHandFocusToTheHost()
{
    QFETCH(bool, startAtFirst);
    QFETCH(bool, next);
    QFETCH(bool, focusAtFirst);
    QFETCH(HWND, hostFocus);
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

QTEST_MAIN(tst_QWinWidget)
#include "tst_qwinwidget.moc"
