// The Linux side of the platform layer: the state it keeps where Linux has no equivalent of a
// Windows call, and the calls it maps onto Qt and the dynamic loader.
#include <unistd.h>

#include <QThread>
#include <QTest>
#include <QWidget>

#include "platform/hostbridge_linux.h"

Q_DECLARE_METATYPE(HostBridge::WindowRect)

namespace {
const HWND kWindowA = 0x7f000021;
const HWND kWindowB = 0x7f000022;
}

class tst_HostBridge : public QObject
{
    Q_OBJECT
private slots:
    void init();

    void styleIsKeptPerWindow();
    void reparentingIsRecorded();
    void enableWindowReportsThePreviousState_data();
    void enableWindowReportsThePreviousState();
    void focusAndActivationReportThePreviousWindow();
    void qtActivationMovesTheFocus();
    void bringingToTopActivates();
    void windowRect_data();
    void windowRect();
    void keyStateFollowsTheModifiers_data();
    void keyStateFollowsTheModifiers();

    void moduleFileNameOfLoadedCode_data();
    void moduleFileNameOfLoadedCode();
    void threadIdsAreTheKernels();
    void noHookIsNeededOnLinux();
};

void tst_HostBridge::init()
{
    HostBridge::resetWindowState();
}

void tst_HostBridge::styleIsKeptPerWindow()
{
    QCOMPARE(HostBridge::windowStyle(kWindowA), 0L);
    QCOMPARE(HostBridge::setWindowStyle(kWindowA, 0x46000000L), 0L);
    QCOMPARE(HostBridge::setWindowStyle(kWindowB, 0x10000000L), 0L);
    QCOMPARE(HostBridge::setWindowStyle(kWindowA, 0x40000000L), 0x46000000L);
    QCOMPARE(HostBridge::windowStyle(kWindowA), 0x40000000L);
    QCOMPARE(HostBridge::windowStyle(kWindowB), 0x10000000L);
    QCOMPARE(HostBridge::setWindowStyle(0, 0x40000000L), 0L);
    QCOMPARE(HostBridge::windowStyle(0), 0L);
}

void tst_HostBridge::reparentingIsRecorded()
{
    // The offscreen platform has no foreign windows: the parent is only recorded.
    QVERIFY(!HostBridge::supportsForeignWindows());
    QWidget widget;
    const HWND self = HWND(widget.winId());
    QCOMPARE(HostBridge::setParentWindow(self, kWindowA), HWND(0));
    QCOMPARE(HostBridge::setParentWindow(self, kWindowB), kWindowA);
    QCOMPARE(HostBridge::parentWindow(self), kWindowB);
    QVERIFY(!widget.windowHandle()->parent());
    QCOMPARE(HostBridge::parentWindow(kWindowA), HWND(0));
}

void tst_HostBridge::enableWindowReportsThePreviousState_data()
{
    QTest::addColumn<QList<bool>>("calls");
    QTest::addColumn<QList<bool>>("wasDisabled");
    QTest::addColumn<bool>("enabledAfter");
    QTest::newRow("never touched") << QList<bool>() << QList<bool>() << true;
    QTest::newRow("disable") << QList<bool>{false} << QList<bool>{false} << false;
    QTest::newRow("disable twice") << QList<bool>{false, false} << QList<bool>{false, true} << false;
    QTest::newRow("disable, enable") << QList<bool>{false, true} << QList<bool>{false, true} << true;
    QTest::newRow("enable an enabled one") << QList<bool>{true} << QList<bool>{false} << true;
}

void tst_HostBridge::enableWindowReportsThePreviousState()
{
    QFETCH(QList<bool>, calls);
    QFETCH(QList<bool>, wasDisabled);
    QFETCH(bool, enabledAfter);
    QList<bool> answers;
    for (bool enable : calls)
        answers << HostBridge::enableWindow(kWindowA, enable);
    QCOMPARE(answers, wasDisabled);
    QCOMPARE(HostBridge::isWindowEnabled(kWindowA), enabledAfter);
    QVERIFY(HostBridge::isWindowEnabled(kWindowB));
}

void tst_HostBridge::focusAndActivationReportThePreviousWindow()
{
    QCOMPARE(HostBridge::focusWindow(), HWND(0));
    QCOMPARE(HostBridge::setFocusWindow(kWindowA), HWND(0));
    QCOMPARE(HostBridge::setFocusWindow(kWindowB), kWindowA);
    QCOMPARE(HostBridge::focusWindow(), kWindowB);

    QCOMPARE(HostBridge::activeWindow(), HWND(0));
    QCOMPARE(HostBridge::setActiveWindow(kWindowB), HWND(0));
    QCOMPARE(HostBridge::setActiveWindow(kWindowA), kWindowB);
    QCOMPARE(HostBridge::activeWindow(), kWindowA);
    QCOMPARE(HostBridge::focusWindow(), kWindowB);
}

void tst_HostBridge::qtActivationMovesTheFocus()
{
    HostBridge::setFocusWindow(kWindowA);
    QWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowActive(&widget));
    QCOMPARE(HostBridge::focusWindow(), HWND(widget.winId()));
    QCOMPARE(HostBridge::activeWindow(), HWND(widget.winId()));

    // Our own window, asked for by id, is activated for real.
    QWidget other;
    other.show();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    HostBridge::setFocusWindow(HWND(widget.winId()));
    QVERIFY(QTest::qWaitForWindowActive(&widget));
}

void tst_HostBridge::bringingToTopActivates()
{
    QCOMPARE(HostBridge::topWindow(), HWND(0));
    QVERIFY(!HostBridge::bringWindowToTop(0));
    QVERIFY(HostBridge::bringWindowToTop(kWindowB));
    QCOMPARE(HostBridge::topWindow(), kWindowB);
    QCOMPARE(HostBridge::activeWindow(), kWindowB);
}

void tst_HostBridge::windowRect_data()
{
    QTest::addColumn<bool>("ourWindow");
    QTest::addColumn<bool>("described");
    QTest::addColumn<bool>("known");
    QTest::addColumn<HostBridge::WindowRect>("rect");
    QTest::newRow("host window described") << false << true << true << HostBridge::WindowRect{-10, 5, 790, 605};
    QTest::newRow("host window unknown") << false << false << false << HostBridge::WindowRect{};
    // A window of this process reports its real place (frameless here, so the frame adds
    // nothing), right and bottom exclusive.
    QTest::newRow("our own window") << true << false << true << HostBridge::WindowRect{30, 40, 230, 140};
}

void tst_HostBridge::windowRect()
{
    QFETCH(bool, ourWindow);
    QFETCH(bool, described);
    QFETCH(bool, known);
    QFETCH(HostBridge::WindowRect, rect);
    QWidget widget(nullptr, Qt::FramelessWindowHint);
    widget.setGeometry(30, 40, 200, 100);
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));
    const HWND window = ourWindow ? HWND(widget.winId()) : kWindowA;
    if (described)
        HostBridge::setWindowRect(window, rect);

    HostBridge::WindowRect actual{1, 2, 3, 4};
    QCOMPARE(HostBridge::windowRect(window, actual), known);
    if (known) {
        QCOMPARE(actual.left, rect.left);
        QCOMPARE(actual.top, rect.top);
        QCOMPARE(actual.right, rect.right);
        QCOMPARE(actual.bottom, rect.bottom);
    }
}

void tst_HostBridge::keyStateFollowsTheModifiers_data()
{
    QTest::addColumn<Qt::Key>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("shift");
    QTest::addColumn<bool>("control");
    QTest::addColumn<bool>("alt");
    QTest::newRow("shift") << Qt::Key_Shift << Qt::KeyboardModifiers(Qt::ShiftModifier) << true << false << false;
    QTest::newRow("control") << Qt::Key_Control << Qt::KeyboardModifiers(Qt::ControlModifier) << false << true << false;
    QTest::newRow("alt") << Qt::Key_Alt << Qt::KeyboardModifiers(Qt::AltModifier) << false << false << true;
    QTest::newRow("plain letter") << Qt::Key_A << Qt::KeyboardModifiers() << false << false << false;
}

void tst_HostBridge::keyStateFollowsTheModifiers()
{
    QFETCH(Qt::Key, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, shift);
    QFETCH(bool, control);
    QFETCH(bool, alt);
    QWidget widget;
    widget.show();
    QVERIFY(QTest::qWaitForWindowExposed(&widget));

    QTest::keyPress(widget.windowHandle(), key, modifiers);
    QCOMPARE(HostBridge::keyState(VK_SHIFT) < 0, shift);
    QCOMPARE(HostBridge::keyState(VK_CONTROL) < 0, control);
    QCOMPARE(HostBridge::keyState(VK_MENU) < 0, alt);
    QCOMPARE(HostBridge::keyState('A'), short(0));
    QTest::keyRelease(widget.windowHandle(), key, Qt::NoModifier);
    QCOMPARE(HostBridge::keyState(VK_SHIFT), short(0));
    QCOMPARE(HostBridge::keyState(VK_CONTROL), short(0));
    QCOMPARE(HostBridge::keyState(VK_MENU), short(0));
}

void tst_HostBridge::moduleFileNameOfLoadedCode_data()
{
    QTest::addColumn<quintptr>("address");
    QTest::addColumn<QString>("fileNameEnd");
    QTest::newRow("qt core") << quintptr(&qVersion) << QStringLiteral("/libQt5Core.so.5");
    QTest::newRow("qt widgets") << quintptr(&QWidget::staticMetaObject) << QStringLiteral("/libQt5Widgets.so.5");
    QTest::newRow("not code") << quintptr(0) << QString();
}

void tst_HostBridge::moduleFileNameOfLoadedCode()
{
    QFETCH(quintptr, address);
    QFETCH(QString, fileNameEnd);
    const HostBridge::ModuleHandle module = HostBridge::moduleOf(reinterpret_cast<const void *>(address));
    QCOMPARE(module == nullptr, fileNameEnd.isEmpty());
    const QString fileName = QString::fromStdString(HostBridge::moduleFileName(module));
    QVERIFY2(fileNameEnd.isEmpty() ? fileName.isEmpty() : fileName.endsWith(fileNameEnd), qPrintable(fileName));
}

void tst_HostBridge::threadIdsAreTheKernels()
{
    // The main thread's id is the process id.
    QCOMPARE(HostBridge::currentThreadId(), static_cast<unsigned long>(getpid()));
    unsigned long workerId = 0;
    std::unique_ptr<QThread> worker(QThread::create([&workerId] { workerId = HostBridge::currentThreadId(); }));
    worker->start();
    QVERIFY(worker->wait(10000));
    QVERIFY(workerId != 0);
    QVERIFY(workerId != static_cast<unsigned long>(getpid()));
}

void tst_HostBridge::noHookIsNeededOnLinux()
{
    // Qt's GLib dispatcher serves a GLib host loop; the glib-host end-to-end test shows it.
    QCOMPARE(HostBridge::installMessageHook([] {}), nullptr);
    QVERIFY(!HostBridge::applicationTeardownAtExitIsSafe());
}

QTEST_MAIN(tst_HostBridge)
#include "tst_hostbridge.moc"
