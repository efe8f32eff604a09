// What the host's message hook does, and whether the library's unload may delete the
// application object.
#include <QTest>

#include "entry/qmfcapp.h"

class tst_QMfcApp : public QObject
{
    Q_OBJECT
private slots:
    void hookDeliversEveryPostedEvent();
    void shouldDeleteAtUnload_data();
    void shouldDeleteAtUnload();
};

namespace {

class Receiver : public QObject
{
public:
    QList<int> received;

protected:
    bool event(QEvent *e) override
    {
        if (e->type() >= QEvent::User) {
            received << e->type();
            return true;
        }
        return QObject::event(e);
    }
};

}

void tst_QMfcApp::hookDeliversEveryPostedEvent()
{
    Receiver first;
    Receiver second;
    QCoreApplication::postEvent(&first, new QEvent(QEvent::Type(QEvent::User + 1)));
    QCoreApplication::postEvent(&second, new QEvent(QEvent::Type(QEvent::User + 2)));
    QCoreApplication::postEvent(&first, new QEvent(QEvent::Type(QEvent::User + 3)));
    QCOMPARE(first.received, QList<int>());

    // No event loop runs here: only the hook's work delivers them.
    QMfcApp::deliverPostedEvents();
    QCOMPARE(first.received, (QList<int>{QEvent::User + 1, QEvent::User + 3}));
    QCOMPARE(second.received, QList<int>{QEvent::User + 2});
}

void tst_QMfcApp::shouldDeleteAtUnload_data()
{
    QTest::addColumn<bool>("owned");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("pinned");
    QTest::addColumn<bool>("teardownSafe");
    QTest::addColumn<bool>("deleteIt");
    QTest::newRow("host's own application") << false << true << false << true << false;
    QTest::newRow("host's own, pinned") << false << true << true << true << false;
    QTest::newRow("ours, unloaded early") << true << true << false << false << true;
    QTest::newRow("ours, already gone") << true << false << false << true << false;
    QTest::newRow("ours, process end on Windows") << true << true << true << true << true;
    QTest::newRow("ours, process end on Linux") << true << true << true << false << false;
}

void tst_QMfcApp::shouldDeleteAtUnload()
{
    QFETCH(bool, owned);
    QFETCH(bool, exists);
    QFETCH(bool, pinned);
    QFETCH(bool, teardownSafe);
    QFETCH(bool, deleteIt);
    QCOMPARE(QMfcApp::shouldDeleteAtUnload(owned, exists, pinned, teardownSafe), deleteIt);
}

QTEST_MAIN(tst_QMfcApp)
#include "tst_qmfcapp.moc"
