// The library loaded into a host that is itself a Qt program: it must use the host's application
// object as it is, never make a second one, and leave it alone when it is unloaded.
#include <dlfcn.h>

#include <vector>

#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include "support/testsupport.h"

class tst_AppHost : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void exportSurface_data();
    void exportSurface();
    void hostApplicationIsUsedAndKept();

private:
    QTemporaryDir m_workDir;
};

namespace {

using CardTrans = int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                          char *, char *, char *);

void *loadLibrary()
{
    return dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
}

}

void tst_AppHost::initTestCase()
{
    // The library's daily log goes to the working directory.
    QVERIFY(m_workDir.isValid());
    QVERIFY(QDir::setCurrent(m_workDir.path()));
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
    void *library = loadLibrary();
    QVERIFY2(library, dlerror());
    QCOMPARE(dlsym(library, symbol.constData()) != nullptr, exported);
    dlclose(library);
}

void tst_AppHost::hostApplicationIsUsedAndKept()
{
    QCoreApplication *const before = QCoreApplication::instance();
    QVERIFY(qobject_cast<QApplication *>(before));

    void *library = loadLibrary();
    QVERIFY2(library, dlerror());
    QCOMPARE(QCoreApplication::instance(), before);
    QVERIFY(!before->inherits("QMfcApp"));
    auto entry = reinterpret_cast<CardTrans>(dlsym(library, "TwCardTrans"));
    QVERIFY(entry);

    // The test folder holds no till settings: the library says so in a message box, which this
    // host's own timer answers while the library's loop runs.
    int answered = 0;
    QTimer cashier;
    cashier.setInterval(100);
    connect(&cashier, &QTimer::timeout, [&answered] {
        QWidget *modal = QApplication::activeModalWidget();
        if (modal && qstrcmp(modal->metaObject()->className(), "MessageWidget") == 0) {
            QTest::keyClick(modal, Qt::Key_Return);
            ++answered;
        }
    });
    cashier.start();
    QByteArray header = TestSupport::fixture(QStringLiteral("e2e/header-type0.xml"));
    std::vector<std::vector<char>> out(8, std::vector<char>(4096, '\0'));
    const int rc = entry(header.data(), nullptr, nullptr, nullptr, out[0].data(), out[1].data(), out[2].data(),
                         out[3].data(), out[4].data(), out[5].data(), out[6].data(), out[7].data());
    cashier.stop();
    QCOMPARE(rc, 1);
    QCOMPARE(QByteArray(out[0].data()), QByteArray("111111"));
    QVERIFY(answered >= 1);
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
