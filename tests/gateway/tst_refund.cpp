#include <QtTest>

#include "gateway/requests.h"

namespace {

// "payCode,payTotal,payNo,extPayNo" per payment line.
QList<TranPayDetail> payLines(const QStringList &lines)
{
    QList<TranPayDetail> result;
    for (const QString &line : lines) {
        const QStringList f = line.split(QLatin1Char(','));
        TranPayDetail pay;
        pay.payCode = f.value(0);
        pay.payTotal = f.value(1);
        pay.payNo = f.value(2);
        pay.extPayNo = f.value(3);
        result << pay;
    }
    return result;
}

QString payLine(const TranPayDetail &pay)
{
    return QStringList{pay.payCode, pay.payTotal, pay.payNo, pay.extPayNo}.join(QLatin1Char(','));
}

QStringList lines(const LogLines &log)
{
    QStringList result;
    for (const LogLine &line : log)
        result << line.function + QLatin1Char('|') + line.text;
    return result;
}

const QString notOriginal = QStringLiteral("非原单退货不允许进行退券操作");
const QString partial = QStringLiteral("部分退货时不允许进行退券操作");
const QString nothingLeft = QStringLiteral("无可退的券或券退款金额录入不正确");

QString toRefund(const char *payNo)
{
    return QStringLiteral("口碑券待退款券号：|") + QLatin1String(payNo);
}

QString refunded(const char *payNo)
{
    return QStringLiteral("口碑券已经退款券号：|") + QLatin1String(payNo);
}

}

class tst_Refund : public QObject
{
    Q_OBJECT
private slots:
    void planRefund_data();
    void planRefund();
};

void tst_Refund::planRefund_data()
{
    QTest::addColumn<QString>("ssTotal");
    QTest::addColumn<QString>("trAmt");
    QTest::addColumn<QStringList>("payR");
    QTest::addColumn<QStringList>("payNowR");
    QTest::addColumn<QString>("message");     // empty: a line is refunded
    QTest::addColumn<QString>("refundedLine");
    QTest::addColumn<QStringList>("log");

    QTest::newRow("no original lines")
        << "10.00" << "1000" << QStringList() << QStringList{"Q1,10.00,C1,"}
        << notOriginal << QString() << QStringList();
    QTest::newRow("single coupon payment")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,E1"} << QStringList()
        << QString() << "Q1,10.00,C1,E1" << QStringList{toRefund("C1")};
    QTest::newRow("sum rounds to total")
        << "10.00" << "1000" << QStringList{"01,6.004,X1,", "Q1,4.00,C1,"} << QStringList()
        << QString() << "Q1,4.00,C1," << QStringList{toRefund("C1")};
    QTest::newRow("sum one cent over")
        << "10.00" << "1000" << QStringList{"01,6.01,X1,", "Q1,4.00,C1,"} << QStringList()
        << partial << QString()
        << QStringList{QStringLiteral("1说明不是整单的全部退货|10.01"), QStringLiteral("2说明不是整单的全部退货|10")};
    QTest::newRow("partial, total in short form")
        << "-123.456789" << "-12346" << QStringList{"Q1,100,C1,"} << QStringList()
        << partial << QString()
        << QStringList{QStringLiteral("1说明不是整单的全部退货|100.00"), QStringLiteral("2说明不是整单的全部退货|123.457")};
    QTest::newRow("partial, negative lines")
        << "-5.00" << "-500" << QStringList{"Q1,-4.00,C1,"} << QStringList()
        << partial << QString()
        << QStringList{QStringLiteral("1说明不是整单的全部退货|-4.00"), QStringLiteral("2说明不是整单的全部退货|5")};
    QTest::newRow("negative return total")
        << "-12.50" << "-1250" << QStringList{"Q1,12.50,C1,"} << QStringList()
        << QString() << "Q1,12.50,C1," << QStringList{toRefund("C1")};
    QTest::newRow("limit below payment")
        << "12.00" << "1000" << QStringList{"Q1,12.00,C1,"} << QStringList()
        << nothingLeft << QString() << QStringList();
    QTest::newRow("limit keeps the cents")
        << "10.50" << "1050" << QStringList{"Q1,10.50,C1,"} << QStringList()
        << QString() << "Q1,10.50,C1," << QStringList{toRefund("C1")};
    QTest::newRow("limit not an integer")
        << "10.00" << "10.00" << QStringList{"Q1,10.00,C1,"} << QStringList()
        << nothingLeft << QString() << QStringList();
    QTest::newRow("limit per line")
        << "12.00" << "600" << QStringList{"Q1,6.00,C1,", "Q1,6.00,C2,"} << QStringList()
        << QString() << "Q1,6.00,C1," << QStringList{toRefund("C1"), toRefund("C2")};
    QTest::newRow("other methods only")
        << "10.00" << "1000" << QStringList{"01,10.00,X1,"} << QStringList()
        << nothingLeft << QString() << QStringList();
    QTest::newRow("refunded within tolerance")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,"} << QStringList{"Q1,10.05,C1,"}
        << nothingLeft << QString() << QStringList{toRefund("C1"), refunded("C1")};
    QTest::newRow("refunded more than tolerance above")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,"} << QStringList{"Q1,10.20,C1,"}
        << QString() << "Q1,10.00,C1," << QStringList{toRefund("C1"), refunded("C1")};
    QTest::newRow("refunded more than tolerance below")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,"} << QStringList{"Q1,9.80,C1,"}
        << QString() << "Q1,10.00,C1," << QStringList{toRefund("C1"), refunded("C1")};
    QTest::newRow("refunded as negative amount")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,"} << QStringList{"Q1,-10.00,C1,"}
        << nothingLeft << QString() << QStringList{toRefund("C1"), refunded("C1")};
    QTest::newRow("refund of another coupon")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,"} << QStringList{"Q1,10.00,C9,"}
        << QString() << "Q1,10.00,C1," << QStringList{toRefund("C1"), refunded("C9")};
    QTest::newRow("refund by another method ignored")
        << "10.00" << "1000" << QStringList{"Q1,10.00,C1,"} << QStringList{"01,10.00,C1,"}
        << QString() << "Q1,10.00,C1," << QStringList{toRefund("C1")};
    QTest::newRow("two left, first refunded")
        << "10.00" << "1000" << QStringList{"Q1,5.00,C1,", "Q1,5.00,C2,"} << QStringList()
        << QString() << "Q1,5.00,C1," << QStringList{toRefund("C1"), toRefund("C2")};
    QTest::newRow("pairing restarts at same index")
        << "10.00" << "1000" << QStringList{"Q1,5.00,C1,", "Q1,3.00,C2,", "Q1,2.00,C3,E3"}
        << QStringList{"Q1,3.00,C2,", "Q1,5.00,C1,"}
        << QString() << "Q1,2.00,C3,E3"
        << QStringList{toRefund("C1"), toRefund("C2"), toRefund("C3"), refunded("C2"), refunded("C1")};
    QTest::newRow("one refund pairs one line")
        << "10.00" << "1000" << QStringList{"Q1,5.00,C1,A", "Q1,5.00,C1,B"} << QStringList{"Q1,5.00,C1,"}
        << QString() << "Q1,5.00,C1,B" << QStringList{toRefund("C1"), toRefund("C1"), refunded("C1")};
    QTest::newRow("all refunded")
        << "10.00" << "1000" << QStringList{"Q1,5.00,C1,", "Q1,5.00,C2,"} << QStringList{"Q1,5.00,C2,", "Q1,5.00,C1,"}
        << nothingLeft << QString()
        << QStringList{toRefund("C1"), toRefund("C2"), refunded("C2"), refunded("C1")};
    QTest::newRow("unreadable amount counts zero")
        << "10.00" << "1000" << QStringList{"Q1,abc,C1,", "01,10.00,X1,"} << QStringList()
        << QString() << "Q1,abc,C1," << QStringList{toRefund("C1")};
}

void tst_Refund::planRefund()
{
    QFETCH(QString, ssTotal);
    QFETCH(QString, trAmt);
    QFETCH(QStringList, payR);
    QFETCH(QStringList, payNowR);
    QFETCH(QString, message);
    QFETCH(QString, refundedLine);
    QFETCH(QStringList, log);

    TranMainDetail head;
    head.txn_type = QStringLiteral("VOID");
    head.SsTotal = ssTotal;
    head.tr_amt = trAmt;
    head.pay_code = QStringLiteral("Q1");
    const Gateway::RefundPlan plan = Gateway::planRefund(head, payLines(payR), payLines(payNowR));
    QCOMPARE(plan.ok, message.isEmpty());
    QCOMPARE(plan.message, message);
    if (plan.ok)
        QCOMPARE(payLine(plan.refunded), refundedLine);
    QCOMPARE(lines(plan.log), log);
}

QTEST_GUILESS_MAIN(tst_Refund)
#include "tst_refund.moc"
