// The host's output buffers come without their size: a result goes in with its terminator and not a byte more.
#include <QTest>

#include "support/hosttext.h"

class tst_HostText : public QObject
{
    Q_OBJECT
private slots:
    void copyOutWritesTheTextAndItsTerminatorOnly()
    {
        char host[10] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
        QVERIFY(HostText::copyOut(host, QStringLiteral("会员"))); // in the local 8-bit encoding
#ifdef Q_OS_WIN
        QCOMPARE(QByteArray(host, sizeof host), QByteArray("\xbb\xe1\xd4\xb1\0xxxxx", 10)); // code page 936
#else
        QCOMPARE(QByteArray(host, sizeof host), QByteArray("\xe4\xbc\x9a\xe5\x91\x98\0xxx", 10)); // UTF-8
#endif
        QVERIFY(!HostText::copyOut(nullptr, QStringLiteral("111111")));
    }
};
QTEST_GUILESS_MAIN(tst_HostText)
#include "tst_hosttext.moc"
