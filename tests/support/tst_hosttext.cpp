#include <cstring>

#include <QTest>

#include "support/hosttext.h"

class tst_HostText : public QObject
{
    Q_OBJECT
private slots:
    void gbkInputDecodes_data();
    void gbkInputDecodes();
    void copyOutTerminatesWhatFits_data();
    void copyOutTerminatesWhatFits();
};

void tst_HostText::gbkInputDecodes_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("expected");
    // "会员" in GBK is BB E1 D4 B1.
    QTest::newRow("chinese") << QByteArray("\xbb\xe1\xd4\xb1") << QStringLiteral("会员");
    QTest::newRow("mixed") << QByteArray("A\xbb\xe1" "B") << QStringLiteral("A会B");
    QTest::newRow("empty") << QByteArray() << QString();
}

void tst_HostText::gbkInputDecodes()
{
    QFETCH(QByteArray, gbk);
    QTEST(HostText::fromGbk(gbk.constData()), "expected");
    QVERIFY(HostText::fromGbk(nullptr).isEmpty());
}

void tst_HostText::copyOutTerminatesWhatFits_data()
{
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<QByteArray>("buffer");   // as the host finds it afterwards
    QTest::newRow("no limit") << 0 << QByteArray("111111\0xxxxxxxx", 15);
    QTest::newRow("exact fit with terminator") << 7 << QByteArray("111111\0xxxxxxxx", 15);
    QTest::newRow("one byte short: untouched") << 6 << QByteArray("xxxxxxxxxxxxxxx");
}

void tst_HostText::copyOutTerminatesWhatFits()
{
    QFETCH(int, maxSize);
    QFETCH(QByteArray, buffer);
    char host[15];
    std::memset(host, 'x', sizeof host);
    QCOMPARE(HostText::copyOut(host, QStringLiteral("111111"), maxSize), buffer.startsWith("111111"));
    QCOMPARE(QByteArray(host, sizeof host), buffer);
    QVERIFY(!HostText::copyOut(nullptr, QStringLiteral("111111"), maxSize));
}

QTEST_GUILESS_MAIN(tst_HostText)
#include "tst_hosttext.moc"
