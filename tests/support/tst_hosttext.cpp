// The host owns the output buffers and their size is not passed: a result goes in with its
// terminator and not a byte more. Decoding the host's GBK documents runs in every call of
// tests/e2e, and the agreed buffer size there too.
#include <QTest>

#include "support/hosttext.h"

class tst_HostText : public QObject
{
    Q_OBJECT
private slots:
    void copyOutWritesTheTextAndItsTerminatorOnly()
    {
        char host[10] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
        QVERIFY(HostText::copyOut(host, QStringLiteral("会员")));   // the local 8-bit encoding: UTF-8 here
        QCOMPARE(QByteArray(host, sizeof host), QByteArray("\xe4\xbc\x9a\xe5\x91\x98\0xxx", 10));
        QVERIFY(!HostText::copyOut(nullptr, QStringLiteral("111111")));
    }
};
QTEST_GUILESS_MAIN(tst_HostText)
#include "tst_hosttext.moc"
