// QWinWidget in a host window, seen through the platform layer: what it does to the host
// window (style, parent, enabled state, focus, activation, raising) and to its Qt children.
#include <memory>

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "entry/qwinwidget.h"
#include "platform/hostbridge_linux.h"

Q_DECLARE_METATYPE(HostBridge::WindowRect)

namespace {

// Native windows of the host: ids no window of this process has.
const HWND kHost = 0x7f000010;
const HWND kHostField = 0x7f000011;

// Every event sent or posted to one object, seen before the object itself sees it.
class EventLog : public QObject
{
public:
    EventLog() { qApp->installEventFilter(this); }
    ~EventLog() override { qApp->removeEventFilter(this); }

    QObject *watched = nullptr;
    QList<QEvent::Type> types;
    QList<Qt::FocusReason> focusReasons;

    int count(QEvent::Type type) const { return types.count(type); }

protected:
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (o == watched || (!watched && qobject_cast<QWinWidget *>(o))) {
            types << e->type();
            if (e->type() == QEvent::FocusIn)
                focusReasons << static_cast<QFocusEvent *>(e)->reason();
        }
        return false;
    }
};

// A widget with two fields and a label between them that takes no focus.
struct FormInHost
{
    FormInHost()
        : widget(kHost)
    {
        first = new QLineEdit(&widget);
        first->setObjectName(QStringLiteral("first"));
        new QLabel(QStringLiteral("no focus"), &widget);
        last = new QLineEdit(&widget);
        last->setObjectName(QStringLiteral("last"));
    }
    QWidget *field(const QString &name) { return name == QLatin1String("first") ? first : last; }

    QWinWidget widget;
    QLineEdit *first = nullptr;
    QLineEdit *last = nullptr;
};

QString focusName(const QWidget &widget)
{
    return widget.focusWidget() ? widget.focusWidget()->objectName() : QString();
}

// Holds Shift down in Qt's keyboard state, which is what GetKeyState reports on Linux.
struct ShiftHeld
{
    explicit ShiftHeld(QWindow *window)
        : m_window(window)
    {
        QTest::keyPress(m_window, Qt::Key_Shift, Qt::ShiftModifier);
    }
    ~ShiftHeld() { QTest::keyRelease(m_window, Qt::Key_Shift, Qt::NoModifier); }
    QWindow *m_window;
};

QStringList s_messages;
void collectMessage(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_messages << message;
}

}

class tst_QWinWidget : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void initEmbedsIntoTheHostWindow_data();
    void initEmbedsIntoTheHostWindow();
    void ownerDeletesTheWidget_data();
    void ownerDeletesTheWidget();

    void modalChildDisablesTheHostWindow_data();
    void modalChildDisablesTheHostWindow();
    void shownChildWindowHidesTheWidget();
    void focusGoesBackWhenTheChildHides_data();
    void focusGoesBackWhenTheChildHides();
    void closingTheChildActivatesTheHost_data();
    void closingTheChildActivatesTheHost();
    void deactivationRaisesTheHostForAHiddenModalChild_data();
    void deactivationRaisesTheHostForAHiddenModalChild();

    void centerUsesIntegerHalves_data();
    void centerUsesIntegerHalves();
    void centerWarnsAboutAnEmbeddedChild();
    void centerIsQuietForADialogWithItsOwnWidgets();

    void winEventMovesFocusOnlyOnFocusGain_data();
    void winEventMovesFocusOnlyOnFocusGain();
    void winEventWithoutMessage();
    void focusInWalksToTheFirstTabStop_data();
    void focusInWalksToTheFirstTabStop();

    void tabChainEndsHandFocusToTheHost_data();
    void tabChainEndsHandFocusToTheHost();
    void tabKeyOnTheLastFieldGivesTheHostTheFocus();
};

void tst_QWinWidget::init()
{
    HostBridge::resetWindowState();
}

void tst_QWinWidget::initEmbedsIntoTheHostWindow_data()
{
    QTest::addColumn<HWND>("host");
    QTest::addColumn<long>("style");
    QTest::addColumn<HWND>("nativeParent");
    QTest::addColumn<int>("embeddingEvents");
    QTest::newRow("host window") << kHost << 0x46000000L << kHost << 1;
    QTest::newRow("no host window") << HWND(0) << 0L << HWND(0) << 0;
}

void tst_QWinWidget::initEmbedsIntoTheHostWindow()
{
    QFETCH(HWND, host);
    QFETCH(long, style);
    QFETCH(HWND, nativeParent);
    QFETCH(int, embeddingEvents);
    EventLog log;
    QWinWidget widget(host);
    const HWND self = HWND(widget.winId());

    QCOMPARE(widget.parentWindow(), host);
    QCOMPARE(HostBridge::windowStyle(self), style);
    QCOMPARE(HostBridge::parentWindow(self), nativeParent);
    QCOMPARE(log.count(QEvent::EmbeddingControl), embeddingEvents);
    QVERIFY(widget.isWindow());
    QVERIFY(!widget.parentWidget());
}

void tst_QWinWidget::ownerDeletesTheWidget_data()
{
    QTest::addColumn<bool>("widgetOwner");
    QTest::newRow("widget owner") << true;
    QTest::newRow("plain object owner") << false;
}

void tst_QWinWidget::ownerDeletesTheWidget()
{
    QFETCH(bool, widgetOwner);
    QPointer<QWinWidget> widget;
    {
        std::unique_ptr<QObject> owner(widgetOwner ? new QWidget : new QObject);
        widget = new QWinWidget(kHost, owner.get(), Qt::FramelessWindowHint);
        // Only a widget can be a widget's parent object; a plain object owns it all the same.
        QCOMPARE(widget->parent(), widgetOwner ? owner.get() : nullptr);
        QVERIFY(widget->isWindow());
        QVERIFY(widget->windowFlags() & Qt::FramelessWindowHint);
        QCOMPARE(HostBridge::parentWindow(HWND(widget->winId())), kHost);
    }
    QVERIFY(widget.isNull());
}

void tst_QWinWidget::modalChildDisablesTheHostWindow_data()
{
    QTest::addColumn<bool>("modal");
    QTest::addColumn<QString>("ending");
    QTest::addColumn<bool>("enabledWhileShown");
    QTest::newRow("modal, hidden") << true << QStringLiteral("hide") << false;
    QTest::newRow("modal, closed") << true << QStringLiteral("close") << false;
    QTest::newRow("modal, deleted") << true << QStringLiteral("delete") << false;
    QTest::newRow("modal, removed") << true << QStringLiteral("remove") << false;
    QTest::newRow("modeless") << false << QStringLiteral("hide") << true;
}

void tst_QWinWidget::modalChildDisablesTheHostWindow()
{
    QFETCH(bool, modal);
    QFETCH(QString, ending);
    QFETCH(bool, enabledWhileShown);
    QWinWidget widget(kHost);
    QPointer<QDialog> dialog = new QDialog(&widget);
    dialog->setModal(modal);
    QVERIFY(HostBridge::isWindowEnabled(kHost));

    dialog->show();
    QCOMPARE(HostBridge::isWindowEnabled(kHost), enabledWhileShown);
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
    if (ending == QLatin1String("remove"))
        delete dialog;
}

void tst_QWinWidget::shownChildWindowHidesTheWidget()
{
    QWinWidget widget(kHost);
    auto *field = new QLineEdit(&widget);
    widget.show();
    QVERIFY(widget.isVisible());

    // An ordinary child appearing changes nothing.
    field->hide();
    field->show();
    QVERIFY(widget.isVisible());

    auto *dialog = new QDialog(&widget);
    dialog->show();
    QVERIFY(!widget.isVisible());
    QVERIFY(dialog->isVisible());
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
    QCOMPARE(HostBridge::focusWindow(), HWND(widget.winId()));
    auto *dialog = new QDialog(&widget);
    dialog->show();
    QTRY_COMPARE(QGuiApplication::focusWindow(), dialog->windowHandle());
    // Qt's activation took the focus, as it does on Windows.
    QCOMPARE(HostBridge::focusWindow(), HWND(dialog->winId()));

    dialog->hide();
    QCOMPARE(HostBridge::focusWindow(), focusAfter);
}

void tst_QWinWidget::closingTheChildActivatesTheHost_data()
{
    QTest::addColumn<bool>("deleteOnClose");
    QTest::addColumn<bool>("widgetDeleted");
    QTest::newRow("kept") << false << false;
    QTest::newRow("delete on close") << true << true;
}

void tst_QWinWidget::closingTheChildActivatesTheHost()
{
    QFETCH(bool, deleteOnClose);
    QFETCH(bool, widgetDeleted);
    QPointer<QWinWidget> widget = new QWinWidget(kHost);
    auto *dialog = new QDialog(widget);
    dialog->setAttribute(Qt::WA_DeleteOnClose, deleteOnClose);
    dialog->show();
    QCOMPARE(HostBridge::activeWindow() == kHost, false);

    dialog->close();
    QCOMPARE(HostBridge::activeWindow(), kHost);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(widget.isNull(), widgetDeleted);
    delete widget;
}

void tst_QWinWidget::deactivationRaisesTheHostForAHiddenModalChild_data()
{
    QTest::addColumn<bool>("modal");
    QTest::addColumn<bool>("shown");
    QTest::addColumn<HWND>("top");
    QTest::newRow("hidden modal") << true << false << kHost;
    QTest::newRow("shown modal") << true << true << HWND(0);
    QTest::newRow("hidden modeless") << false << false << HWND(0);
}

void tst_QWinWidget::deactivationRaisesTheHostForAHiddenModalChild()
{
    QFETCH(bool, modal);
    QFETCH(bool, shown);
    QFETCH(HWND, top);
    QWinWidget widget(kHost);
    auto *dialog = new QDialog(&widget);
    dialog->setModal(modal);
    dialog->setVisible(shown);

    QEvent deactivate(QEvent::WindowDeactivate);
    QApplication::sendEvent(dialog, &deactivate);
    QCOMPARE(HostBridge::topWindow(), top);
}

void tst_QWinWidget::centerUsesIntegerHalves_data()
{
    QTest::addColumn<HostBridge::WindowRect>("hostRect");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("even") << HostBridge::WindowRect{0, 0, 800, 600} << QRect(400, 300, 0, 0);
    QTest::newRow("odd sizes round down") << HostBridge::WindowRect{10, 20, 811, 621} << QRect(410, 320, 0, 0);
    QTest::newRow("left of the screen") << HostBridge::WindowRect{-101, -50, 100, 51} << QRect(-1, 0, 0, 0);
    QTest::newRow("empty") << HostBridge::WindowRect{300, 200, 300, 200} << QRect(300, 200, 0, 0);
}

void tst_QWinWidget::centerUsesIntegerHalves()
{
    QFETCH(HostBridge::WindowRect, hostRect);
    QFETCH(QRect, geometry);
    HostBridge::setWindowRect(kHost, hostRect);
    QWinWidget widget(kHost);
    new QDialog(&widget);

    widget.center();
    QCOMPARE(widget.geometry(), geometry);
}

void tst_QWinWidget::centerWarnsAboutAnEmbeddedChild()
{
    HostBridge::setWindowRect(kHost, {100, 100, 301, 201});
    QWinWidget widget(kHost);
    new QLineEdit(&widget);

    QTest::ignoreMessage(QtWarningMsg, "QWinWidget::center: Call this function only for QWinWidgets with toplevel children");
    widget.showCentered();
    QCOMPARE(widget.geometry(), QRect(200, 150, 0, 0));
    QVERIFY(widget.isVisible());
}

void tst_QWinWidget::centerIsQuietForADialogWithItsOwnWidgets()
{
    HostBridge::setWindowRect(kHost, {0, 0, 640, 480});
    QWinWidget widget(kHost);
    auto *dialog = new QDialog(&widget);
    new QPushButton(QStringLiteral("OK"), dialog);

    s_messages.clear();
    const QtMessageHandler previous = qInstallMessageHandler(collectMessage);
    widget.center();
    qInstallMessageHandler(previous);
    QCOMPARE(s_messages, QStringList());
    QCOMPARE(widget.geometry(), QRect(320, 240, 0, 0));
}

void tst_QWinWidget::winEventMovesFocusOnlyOnFocusGain_data()
{
    QTest::addColumn<UINT>("message");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<QList<Qt::FocusReason>>("focusIns");
    QTest::addColumn<QString>("focus");
    QTest::newRow("focus gain") << WM_SETFOCUS << false << QList<Qt::FocusReason>{Qt::TabFocusReason} << QStringLiteral("first");
    QTest::newRow("focus gain, shift down") << WM_SETFOCUS << true << QList<Qt::FocusReason>{Qt::BacktabFocusReason} << QStringLiteral("last");
    QTest::newRow("focus loss") << WM_KILLFOCUS << false << QList<Qt::FocusReason>() << QString();
    QTest::newRow("key down") << UINT(0x0100) << false << QList<Qt::FocusReason>() << QString();
    QTest::newRow("no message") << UINT(0) << true << QList<Qt::FocusReason>() << QString();
}

void tst_QWinWidget::winEventMovesFocusOnlyOnFocusGain()
{
    QFETCH(UINT, message);
    QFETCH(bool, shift);
    QFETCH(QList<Qt::FocusReason>, focusIns);
    QFETCH(QString, focus);
    FormInHost form;
    MSG msg;
    msg.hwnd = HWND(form.widget.winId());
    msg.message = message;
    long result = 7;

    std::unique_ptr<ShiftHeld> held(shift ? new ShiftHeld(form.widget.windowHandle()) : nullptr);
    QCOMPARE(HostBridge::keyState(VK_SHIFT) < 0, shift);
    EventLog log;
    log.watched = &form.widget;
    QVERIFY(!form.widget.winEvent(&msg, &result));

    QCOMPARE(log.focusReasons, focusIns);
    if (focusIns.isEmpty())
        QCOMPARE(log.types, QList<QEvent::Type>());
    QCOMPARE(focusName(form.widget), focus);
    QCOMPARE(result, 7L);
}

void tst_QWinWidget::winEventWithoutMessage()
{
    FormInHost form;
    EventLog log;
    log.watched = &form.widget;
    QVERIFY(!form.widget.winEvent(nullptr, nullptr));
    QCOMPARE(log.types, QList<QEvent::Type>());
}

void tst_QWinWidget::focusInWalksToTheFirstTabStop_data()
{
    QTest::addColumn<Qt::FocusReason>("reason");
    QTest::addColumn<bool>("withFields");
    QTest::addColumn<QString>("focus");
    QTest::newRow("tab") << Qt::TabFocusReason << true << QStringLiteral("first");
    QTest::newRow("backtab") << Qt::BacktabFocusReason << true << QStringLiteral("last");
    QTest::newRow("mouse") << Qt::MouseFocusReason << true << QString();
    QTest::newRow("window activation") << Qt::ActiveWindowFocusReason << true << QString();
    QTest::newRow("tab, nothing takes focus") << Qt::TabFocusReason << false << QString();
}

void tst_QWinWidget::focusInWalksToTheFirstTabStop()
{
    QFETCH(Qt::FocusReason, reason);
    QFETCH(bool, withFields);
    QFETCH(QString, focus);
    FormInHost form;
    if (!withFields) {
        form.first->setFocusPolicy(Qt::NoFocus);
        form.last->setFocusPolicy(Qt::ClickFocus);
    }

    QFocusEvent focusIn(QEvent::FocusIn, reason);
    QApplication::sendEvent(&form.widget, &focusIn);
    QCOMPARE(focusName(form.widget), focus);
    // The first tab stop is where the walk ends in both directions; backtab then steps back.
    QCOMPARE(form.first->testAttribute(Qt::WA_KeyboardFocusChange), !focus.isEmpty());
    QCOMPARE(form.widget.testAttribute(Qt::WA_KeyboardFocusChange), !focus.isEmpty());
    QCOMPARE(HostBridge::focusWindow(), HWND(0));
}

void tst_QWinWidget::tabChainEndsHandFocusToTheHost_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<bool>("next");
    QTest::addColumn<QString>("focus");
    QTest::addColumn<HWND>("hostFocus");
    QTest::newRow("forward inside") << QStringLiteral("first") << true << QStringLiteral("last") << kHostField;
    QTest::newRow("forward past the end") << QStringLiteral("last") << true << QStringLiteral("last") << kHost;
    QTest::newRow("backward inside") << QStringLiteral("last") << false << QStringLiteral("first") << kHostField;
    QTest::newRow("backward past the start") << QStringLiteral("first") << false << QStringLiteral("first") << kHost;
}

void tst_QWinWidget::tabChainEndsHandFocusToTheHost()
{
    QFETCH(QString, start);
    QFETCH(bool, next);
    QFETCH(QString, focus);
    QFETCH(HWND, hostFocus);
    HostBridge::setFocusWindow(kHostField);
    FormInHost form;
    form.field(start)->setFocus();
    QCOMPARE(focusName(form.widget), start);

    QVERIFY(form.widget.focusNextPrevChild(next));
    QCOMPARE(focusName(form.widget), focus);
    QCOMPARE(HostBridge::focusWindow(), hostFocus);
}

void tst_QWinWidget::tabKeyOnTheLastFieldGivesTheHostTheFocus()
{
    FormInHost form;
    form.widget.show();
    QVERIFY(QTest::qWaitForWindowActive(&form.widget));
    QCOMPARE(HostBridge::focusWindow(), HWND(form.widget.winId()));
    form.last->setFocus();

    QTest::keyClick(form.last, Qt::Key_Tab);
    QCOMPARE(HostBridge::focusWindow(), kHost);
    QTest::keyClick(form.last, Qt::Key_Backtab);
    QCOMPARE(form.widget.focusWidget(), form.first);
}

QTEST_MAIN(tst_QWinWidget)
#include "tst_qwinwidget.moc"
