// The bridge into the host, seen through the platform layer: QWinWidget in a host window (a modal
// child disables the host window while it is up, the keyboard focus goes back to the host after),
// QMfcApp's message hook and unload rule, and the library inside a host that is a Qt program.
#include <dlfcn.h>

#include <vector>

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include "entry/qmfcapp.h"
#include "entry/qwinwidget.h"
#include "platform/hostbridge_linux.h"
#include "support/appfolder.h"
#include "support/testsupport.h"

namespace {

// Native windows of the host: ids no window of this process has.
const HWND kHost = 0x7f000010;
const HWND kHostField = 0x7f000011;

}

class tst_HostBridge : public QObject
{
    Q_OBJECT
private slots:
    void init() { HostBridge::resetWindowState(); }

    void modalChildDisablesTheHostWindow_data()
    {
        QTest::addColumn<bool>("modal");
        QTest::addColumn<QString>("ending");
        QTest::addColumn<bool>("enabledWhileShown");
        QTest::newRow("modal, hidden") << true << "hide" << false;
        QTest::newRow("modal, deleted") << true << "delete" << false;
        QTest::newRow("modal, removed") << true << "remove" << false;
        QTest::newRow("modeless") << false << "hide" << true;
    }

    void modalChildDisablesTheHostWindow()
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

    void focusGoesBackWhenTheChildHides_data()
    {
        QTest::addColumn<HWND>("focusBefore");
        QTest::addColumn<HWND>("focusAfter");
        QTest::newRow("a host field had the focus") << kHostField << kHostField;
        QTest::newRow("nothing had the focus") << HWND(0) << kHost;
    }

    void focusGoesBackWhenTheChildHides()
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

    void tabChainEndsHandFocusToTheHost_data()
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

    void tabChainEndsHandFocusToTheHost()
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

    void hookDeliversEveryPostedEvent()
    {
        QObject first, second;
        QList<int> delivered;
        // Queued calls are posted events; no event loop runs here, so only the hook delivers them.
        QMetaObject::invokeMethod(&first, [&delivered] { delivered << 1; }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(&second, [&delivered] { delivered << 2; }, Qt::QueuedConnection);
        QMetaObject::invokeMethod(&first, [&delivered] { delivered << 3; }, Qt::QueuedConnection);
        QMfcApp::deliverPostedEvents();
        QCOMPARE(delivered, (QList<int>{1, 2, 3}));
    }

    void shouldDeleteAtUnload_data()
    {
        QTest::addColumn<QString>("state");   // what holds of "owned exists pinned teardownSafe"
        QTest::addColumn<bool>("deleteIt");
        QTest::newRow("host's own application") << "exists teardownSafe" << false;
        QTest::newRow("host's own, pinned") << "exists pinned teardownSafe" << false;
        QTest::newRow("ours, unloaded early") << "owned exists" << true;
        QTest::newRow("ours, already gone") << "owned teardownSafe" << false;
        QTest::newRow("ours, process end on Windows") << "owned exists pinned teardownSafe" << true;
        QTest::newRow("ours, process end on Linux") << "owned exists pinned" << false;
    }

    void shouldDeleteAtUnload()
    {
        QFETCH(QString, state);
        QFETCH(bool, deleteIt);
        const QStringList holds = state.split(' ');
        QCOMPARE(QMfcApp::shouldDeleteAtUnload(holds.contains("owned"), holds.contains("exists"), holds.contains("pinned"),
                                               holds.contains("teardownSafe")),
                 deleteIt);
    }

    // The library loaded into this host, itself a Qt program: it must use the host's application
    // object as it is, never make a second one, and leave it alone when it is unloaded.
    void libraryKeepsTheHostApplication()
    {
        QCoreApplication *const before = QCoreApplication::instance();
        void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        // The two entries and the exported widget, but nothing of the core the library is built on.
        QStringList exported;
        for (const char *symbol : {"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidget16staticMetaObjectE", "_ZN10QWinWidget12showCenteredEv",
                                   "_ZNK9LogWriter8WriteLogERK7QStringS2_S2_", "_ZN7QMfcApp17EnsureApplicationEPv"}) {
            if (dlsym(library, symbol))
                exported << QLatin1String(symbol);
        }
        QCOMPARE(exported, (QStringList{"TwCardTrans", "QTwCardTrans", "_ZN10QWinWidget16staticMetaObjectE",
                                        "_ZN10QWinWidget12showCenteredEv"}));

        // The working folder holds no till settings: the library says so in a message box, which
        // this host's own timer answers while the library's loop runs.
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
        QCOMPARE(entry(header.data(), nullptr, nullptr, nullptr, out[0].data(), out[1].data(), out[2].data(), out[3].data(),
                       out[4].data(), out[5].data(), out[6].data(), out[7].data()),
                 1);
        QCOMPARE(QByteArray(out[0].data()), QByteArray("111111"));
        QVERIFY(answered >= 1 && !cashier.guardFired());

        // Loading, the call and unloading left the host's application object as it was; the library
        // did not pin itself, and the host's loop still runs.
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
    AppFolder m_app;   // the library's daily log goes to the working directory
};


QTEST_MAIN(tst_HostBridge)
#include "tst_hostbridge.moc"
