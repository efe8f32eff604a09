#include <cstring>

#include <QTest>
#include <QTextCodec>

#include "support/hosttext.h"

class tst_HostText : public QObject
{
    Q_OBJECT
private slots:
    void gbkInputDecodes_data();
    void gbkInputDecodes();
    void nullPointerReadsEmpty();
    void copyOutTerminates();
    void copyOutRefusesWhatDoesNotFit_data();
    void copyOutRefusesWhatDoesNotFit();
};

void tst_HostText::gbkInputDecodes_data()
{
    QTest::addColumn<QByteArray>("gbk");
    QTest::addColumn<QString>("expected");
    // "会员" in GBK is BB E1 D4 B1.
    QTest::newRow("chinese") << QByteArray("\xbb\xe1\xd4\xb1") << QStringLiteral("会员");
    QTest::newRow("ascii") << QByteArray("<txn_type>SALE</txn_type>") << QStringLiteral("<txn_type>SALE</txn_type>");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("mixed") << QByteArray("A\xbb\xe1" "B") << QStringLiteral("A会B");
}

void tst_HostText::gbkInputDecodes()
{
    QFETCH(QByteArray, gbk);
    QFETCH(QString, expected);
    QCOMPARE(HostText::fromGbk(gbk.constData()), expected);
}

void tst_HostText::nullPointerReadsEmpty()
{
    QVERIFY(HostText::fromGbk(nullptr).isEmpty());
}

void tst_HostText::copyOutTerminates()
{
    char buffer[32];
    std::memset(buffer, 'x', sizeof(buffer));
    QVERIFY(HostText::copyOut(buffer, QStringLiteral("000000")));
    QCOMPARE(QByteArray(buffer), QByteArray("000000"));
    QCOMPARE(buffer[7], 'x');
    QVERIFY(!HostText::copyOut(nullptr, QStringLiteral("000000")));
}

void tst_HostText::copyOutRefusesWhatDoesNotFit_data()
{
    QTest::addColumn<int>("maxSize");
    QTest::addColumn<bool>("written");
    QTest::newRow("no limit") << 0 << true;
    QTest::newRow("exact fit with terminator") << 7 << true;
    QTest::newRow("one byte short") << 6 << false;
}

void tst_HostText::copyOutRefusesWhatDoesNotFit()
{
    QFETCH(int, maxSize);
    QFETCH(bool, written);
    char buffer[16] = "untouched";
    QCOMPARE(HostText::copyOut(buffer, QStringLiteral("111111"), maxSize), written);
    QCOMPARE(QByteArray(buffer), written ? QByteArray("111111") : QByteArray("untouched"));
}

QTEST_GUILESS_MAIN(tst_HostText)
#include "tst_hosttext.moc"
