#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include "gateway/replies.h"
#include "gateway/requests.h"
#include "gateway/signing.h"
#include "support/jsonguard.h"

namespace {

TranMainDetail header()
{
    TranMainDetail head;
    head.OrgCode = QStringLiteral("A01");
    head.vip_no = QStringLiteral("13800138000");
    head.vip_id = QStringLiteral("V9");
    head.saleNo = QStringLiteral("S200");
    head.bizBillNo = QStringLiteral("B100");
    head.SsTotal = QStringLiteral("88.50");
    return head;
}

GoodDetail couponGood(int line)
{
    GoodDetail g;
    g.index = QString::number(line);
    g.outPluId = QStringLiteral("P%1").arg(line);
    g.pluId = QStringLiteral("S%1").arg(line);
    g.pluCode = QStringLiteral("69%1").arg(line, 8, 10, QLatin1Char('0'));
    g.pluName = QStringLiteral("商品%1").arg(line);
    g.transCount = QStringLiteral("1");
    g.shouldTotal = QStringLiteral("12.30");
    g.actualAmount = QStringLiteral("12.30");
    g.shopClsId = QStringLiteral("K1");
    g.shopClsCode = QStringLiteral("01");
    g.brandId = QStringLiteral("B1");
    g.brandCode = QStringLiteral("BR1");
    g.apportionAmount = QStringLiteral("0.50");
    g.unPayAmount = QStringLiteral("11.80");
    return g;
}

QJsonObject replyGood(int line)
{
    return {{"index", QString::number(line)},
            {"outPluId", QStringLiteral("P%1").arg(line)},
            {"pluId", QStringLiteral("S%1").arg(line)},
            {"pluCode", "6900001"},
            {"pluName", "商品"},
            {"transCount", "1"},
            {"shouldTotal", "12.30"},
            {"actualAmount", "12.30"},
            {"shopClsId", "K1"},
            {"shopClsCode", "01"},
            {"brandId", "B1"},
            {"brandCode", "BR1"},
            {"apportionAmountAllType", "0.50"},
            {"apportionAmount", line % 2 ? "0.50" : "0"},
            {"thresholdAmount", "100"},
            {"unPayAmount", "11.80"}};
}

// A coupon list reply of the given size, every coupon with ten goods lines.
QString couponListReplyText(int coupons)
{
    QJsonArray certiList;
    for (int c = 0; c < coupons; ++c) {
        QJsonArray goods;
        for (int g = 0; g < 10; ++g)
            goods.append(replyGood(g));
        certiList.append(QJsonObject {{"certiInfoId", QString::number(c)},
                                      {"certiInfoCode", QStringLiteral("C%1").arg(c)},
                                      {"certiInfoName", "满100减10"},
                                      {"certiMe", "10.00"},
                                      {"realCertiMe", "10.00"},
                                      {"availableFlag", c % 5 ? "1" : "0"},
                                      {"enddate", "2026-12-31"},
                                      {"goodsList", goods}});
    }
    QJsonArray goods;
    for (int g = 0; g < 10; ++g)
        goods.append(replyGood(g));
    return Gateway::jsonToString(QJsonObject {
        {"code", "0"}, {"meta", QJsonObject {{"data", QJsonObject {{"certiList", certiList}, {"goodsList", goods}}}}}});
}

}

class bench_Gateway : public QObject
{
    Q_OBJECT
private slots:
    void couponQueryRequest_data();
    void couponQueryRequest();
    void batchConsumeRequest_data();
    void batchConsumeRequest();
    void couponListReply_data();
    void couponListReply();
    void repeatedKeyCheck_data();
    void repeatedKeyCheck();
    void repeatedKeyReplyMemory();
};

void bench_Gateway::couponQueryRequest_data()
{
    QTest::addColumn<int>("lines");
    for (int lines : {10, 100, 1000, 10000})
        QTest::addRow("%d goods lines", lines) << lines;
}

void bench_Gateway::couponQueryRequest()
{
    QFETCH(int, lines);
    Gateway::CouponQueryInput input;
    input.mode = Gateway::CouponListMode::Selection;
    input.tranMain = header();
    for (int i = 0; i < lines; ++i) {
        PluDetail plu;
        plu.SeN = QString::number(i + 1);
        plu.PI = QStringLiteral("P%1").arg(i);
        plu.SC = QStringLiteral("1");
        plu.YS = QStringLiteral("12.30");
        plu.ST = QStringLiteral("12.30");
        input.goods << plu;
    }
    for (int i = 0; i < 3; ++i) {
        VipCouponDetail coupon;
        coupon.certiInfoId = QString::number(9000 + i);
        input.selected << coupon;
    }

    QString json, signature;
    QBENCHMARK {
        json = Gateway::jsonToString(Gateway::couponQueryBody(input));
        signature = Gateway::signQuery(Gateway::couponQuerySignParams(input.tranMain)).signature;
    }
    QVERIFY(json.contains(QStringLiteral("\"outPluId\":\"P%1\"").arg(lines - 1)));
    QCOMPARE(signature.size(), 32);
}

void bench_Gateway::batchConsumeRequest_data()
{
    couponQueryRequest_data();
}

void bench_Gateway::batchConsumeRequest()
{
    QFETCH(int, lines);
    // Ten goods lines per ticked coupon.
    QList<VipCouponDetail> selected;
    PluIndex index;
    for (int c = 0; c < qMax(1, lines / 10); ++c) {
        VipCouponDetail coupon;
        coupon.certiInfoCode = QStringLiteral("C%1").arg(c);
        coupon.realCertiMe = QStringLiteral("5.00");
        for (int g = 0; g < qMin(10, lines); ++g) {
            const int line = c * 10 + g;
            coupon.goodsList << couponGood(line);
            PluDetail plu;
            plu.PI = QStringLiteral("P%1").arg(line);
            plu.DepId = QStringLiteral("D1");
            plu.Dep = QStringLiteral("01");
            plu.DepName = QStringLiteral("食品");
            index.insert(plu.PI, plu);
        }
        selected << coupon;
    }
    const TranMainDetail head = header();

    QString body;
    QBENCHMARK {
        body = Gateway::signFormBody(Gateway::batchConsumeParams(head, selected, index)).body;
    }
    QVERIFY(body.contains(QStringLiteral("&sign=")));
}

void bench_Gateway::couponListReply_data()
{
    QTest::addColumn<int>("coupons");
    for (int coupons : {10, 100, 1000, 5000})
        QTest::addRow("%d coupons", coupons) << coupons;
}

void bench_Gateway::couponListReply()
{
    QFETCH(int, coupons);
    const QString reply = couponListReplyText(coupons);
    Gateway::CouponListReply parsed;
    QBENCHMARK {
        parsed = Gateway::parseCouponListReply(Gateway::CouponListMode::Selection, reply, QStringLiteral("0"));
    }
    QVERIFY2(parsed.ok, qPrintable(parsed.message));
    QCOMPARE(parsed.coupons.size(), coupons);
}

// What the look for repeated keys adds to every reply before the JSON reader sees it.
void bench_Gateway::repeatedKeyCheck_data()
{
    couponListReply_data();
}

void bench_Gateway::repeatedKeyCheck()
{
    QFETCH(int, coupons);
    const QByteArray reply = couponListReplyText(coupons).toUtf8();
    bool repeated = true;
    QBENCHMARK {
        repeated = JsonGuard::repeatsKey(reply);
    }
    QVERIFY(!repeated);
}

// Qt's reader keeps (and never frees) the first of two values under one key; such a reply must
// cost the host nothing however often it comes. Prints the resident size before and after.
void bench_Gateway::repeatedKeyReplyMemory()
{
    const auto residentKb = [] {
        QFile status(QStringLiteral("/proc/self/statm"));
        return status.open(QIODevice::ReadOnly) ? status.readAll().split(' ').value(1).toLongLong() * 4 : 0;
    };
    const QString reply = QStringLiteral(R"({"a":[1,2,3,4,5,6,7,8],"a":[2]})");
    const qint64 before = residentKb();
    for (int i = 0; i < 1000000; ++i)
        Gateway::readEnvelope(reply);
    qInfo("resident: %lld KB before, %lld KB after one million replies", before, residentKb());
}

QTEST_GUILESS_MAIN(bench_Gateway)
#include "bench_gateway.moc"
