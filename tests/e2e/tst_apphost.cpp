// The library loaded into a host that is itself a Qt program: it must use the host's application
// object as it is, never make a second one, and leave it alone when it is unloaded.
#include <dlfcn.h>

#include <vector>

#include <QApplication>
#include <QDialog>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "support/appfolder.h"
#include "support/testsupport.h"

class tst_AppHost : public QObject
{
    Q_OBJECT
private slots:
    void exportSurface_data();
    void exportSurface();
    void hostApplicationIsUsedAndKept();

private:
    AppFolder m_app;   // the library's daily log goes to the working directory
};

namespace {
using CardTrans = int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *);
}

void tst_AppHost::exportSurface_data()
{
    QTest::addColumn<QByteArray>("symbol");
    QTest::addColumn<bool>("exported");
    QTest::newRow("entry") << QByteArray("TwCardTrans") << true;
    QTest::newRow("entry, second name") << QByteArray("QTwCardTrans") << true;
    QTest::newRow("QWinWidget meta-object") << QByteArray("_ZN10QWinWidget16staticMetaObjectE") << true;
    QTest::newRow("QWinWidget::showCentered") << QByteArray("_ZN10QWinWidget12showCenteredEv") << true;
    QTest::newRow("core log writer") << QByteArray("_ZNK9LogWriter8WriteLogERK7QStringS2_S2_") << false;
    QTest::newRow("core bridge") << QByteArray("_ZN7QMfcApp17EnsureApplicationEPv") << false;
}

void tst_AppHost::exportSurface()
{
    QFETCH(QByteArray, symbol);
    QFETCH(bool, exported);
    void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    QCOMPARE(dlsym(library, symbol.constData()) != nullptr, exported);
    dlclose(library);
}

void tst_AppHost::hostApplicationIsUsedAndKept()
{
    QCoreApplication *const before = QCoreApplication::instance();
    void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    QCOMPARE(QCoreApplication::instance(), before);
    auto entry = reinterpret_cast<CardTrans>(dlsym(library, "TwCardTrans"));
    QVERIFY(entry);

    // The folder holds no till settings: the library says so in a message box, which this
    // host's own timer answers while the library's loop runs.
    int answered = 0;
    ModalDriver cashier([&answered](QDialog &dialog) {
        if (qstrcmp(dialog.metaObject()->className(), "MessageWidget") == 0) {
            QTest::keyClick(&dialog, Qt::Key_Return);
            ++answered;
        }
    });
    QByteArray header = TestSupport::fixture(QStringLiteral("e2e/header-type0.xml"));
    std::vector<std::vector<char>> out(8, std::vector<char>(4096, '\0'));
    QCOMPARE(entry(header.data(), nullptr, nullptr, nullptr, out[0].data(), out[1].data(), out[2].data(), out[3].data(),
                   out[4].data(), out[5].data(), out[6].data(), out[7].data()),
             1);
    QCOMPARE(QByteArray(out[0].data()), QByteArray("111111"));
    QVERIFY(answered >= 1);
    QVERIFY(!cashier.guardFired());
    QCOMPARE(QCoreApplication::instance(), before);

    // Not the library's application object: it did not pin itself, and unloading deletes nothing.
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

QTEST_MAIN(tst_AppHost)
#include "tst_apphost.moc"
