#include <stdexcept>

#include <QDateTime>
#include <QTest>

#include "posdb/posdbsql.h"

using HostDatabase::FieldValue;
using HostDatabase::ProcParam;

Q_DECLARE_METATYPE(QList<FieldValue>)
Q_DECLARE_METATYPE(QList<ProcParam>)

class tst_PosDbSql : public QObject
{
    Q_OBJECT
private slots:
    void formatLetters_data();
    void formatLetters();
    void convertsByLetter_data();
    void convertsByLetter();
    void formatAndValueCountsMustAgree();
    void insertAndUpdateTexts_data();
    void insertAndUpdateTexts();
    void positionalExecText_data();
    void positionalExecText();
    void insertStatementText_data();
    void insertStatementText();
    void emptyTypeOneInputBecomesStars_data();
    void emptyTypeOneInputBecomesStars();
    void procedureCallText_data();
    void procedureCallText();
    void paramValueConversion_data();
    void paramValueConversion();
    void serverTimeStatement_data();
    void serverTimeStatement();
    void exceptionsBecomeMessages_data();
    void exceptionsBecomeMessages();
};

void tst_PosDbSql::formatLetters_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("letters");
    QTest::newRow("all kinds") << "%b%d%f%s%t%i" << "bdfsti";
    QTest::newRow("separated") << "%s, %d" << "sd";
    QTest::newRow("leading text ignored") << "x%s" << "xs";
    QTest::newRow("doubled percent") << "%%s" << "s";
    QTest::newRow("empty") << "" << "";
}

void tst_PosDbSql::formatLetters()
{
    QFETCH(QString, format);
    QFETCH(QString, letters);
    const QVector<QChar> parsed = HostDatabase::formatLetters(format);
    QCOMPARE(QString(parsed.constData(), parsed.size()), letters);
}

void tst_PosDbSql::convertsByLetter_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QChar>("letter");
    QTest::addColumn<QVariant>("converted");
    QTest::newRow("bytes") << QVariant(QStringLiteral("ab")) << QChar('b')
                           << QVariant(QByteArray("ab"));
    QTest::newRow("d number") << QVariant(QStringLiteral("12.5")) << QChar('d') << QVariant(12.5);
    QTest::newRow("f number") << QVariant(3) << QChar('f') << QVariant(3.0);
    QTest::newRow("text") << QVariant(42) << QChar('s') << QVariant(QStringLiteral("42"));
    QTest::newRow("date-time") << QVariant(QStringLiteral("2024-05-01T09:30:00")) << QChar('t')
                               << QVariant(QDateTime(QDate(2024, 5, 1), QTime(9, 30)));
    QTest::newRow("integer") << QVariant(QStringLiteral("7")) << QChar('l')
                             << QVariant(qlonglong(7));
    QTest::newRow("wide integer") << QVariant(QStringLiteral("8000000000")) << QChar('i')
                                  << QVariant(qlonglong(8000000000LL));
    QTest::newRow("not a number") << QVariant(QStringLiteral("abc")) << QChar('i')
                                  << QVariant(qlonglong(0));
}

void tst_PosDbSql::convertsByLetter()
{
    QFETCH(QVariant, value);
    QFETCH(QChar, letter);
    QFETCH(QVariant, converted);
    const QVariant actual = HostDatabase::convertByLetter(value, letter);
    QCOMPARE(actual.userType(), converted.userType());
    QCOMPARE(actual, converted);
}

void tst_PosDbSql::formatAndValueCountsMustAgree()
{
    QVariantList converted;
    QVERIFY(HostDatabase::convertByFormat(QStringLiteral("%s%d"), {QStringLiteral("x"), 1}, converted));
    QCOMPARE(converted, QVariantList({QStringLiteral("x"), 1.0}));
    QVERIFY(!HostDatabase::convertByFormat(QStringLiteral("%s"), {QStringLiteral("x"), 1}, converted));
    QVERIFY(converted.isEmpty());
}

void tst_PosDbSql::insertAndUpdateTexts_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("condition");
    QTest::addColumn<QString>("insertText");
    QTest::addColumn<QString>("updateText");
    QTest::newRow("one") << QStringList{"code"} << QString()
                         << "INSERT INTO tSaleJournal(code) VALUES (:code)"
                         << "UPDATE tSaleJournal SET code=:code";
    QTest::newRow("three") << QStringList{"code", "name", "qty"} << QString()
                           << "INSERT INTO tSaleJournal(code,name,qty) VALUES (:code,:name,:qty)"
                           << "UPDATE tSaleJournal SET code=:code,name=:name,qty=:qty";
    QTest::newRow("with condition") << QStringList{"qty"} << "code='A001'"
                                    << "INSERT INTO tSaleJournal(qty) VALUES (:qty)"
                                    << "UPDATE tSaleJournal SET qty=:qty WHERE code='A001'";
    QTest::newRow("blank condition") << QStringList{"qty"} << "  "
                                     << "INSERT INTO tSaleJournal(qty) VALUES (:qty)"
                                     << "UPDATE tSaleJournal SET qty=:qty";
}

void tst_PosDbSql::insertAndUpdateTexts()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, condition);
    const QString table = QStringLiteral("tSaleJournal");
    QTEST(HostDatabase::insertSql(table, fields), "insertText");
    QTEST(HostDatabase::updateSql(table, fields, condition), "updateText");
}

void tst_PosDbSql::positionalExecText_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("sql");
    QTest::newRow("none") << 0 << "exec up_Close";
    QTest::newRow("one") << 1 << "exec up_Close ?";
    QTest::newRow("three") << 3 << "exec up_Close ?,?,?";
}

void tst_PosDbSql::positionalExecText()
{
    QFETCH(int, count);
    QTEST(HostDatabase::positionalExecSql(QStringLiteral("up_Close"), count), "sql");
}

void tst_PosDbSql::insertStatementText_data()
{
    QTest::addColumn<QList<FieldValue>>("fields");
    QTest::addColumn<QString>("sql");
    QTest::newRow("text and number")
        << QList<FieldValue>{{"code", "A001", true}, {"qty", "3", false}}
        << "insert into tSaleJournal(code,qty) values('A001',3);";
    QTest::newRow("empty text") << QList<FieldValue>{{"name", "", true}}
                                << "insert into tSaleJournal(name) values('');";
    QTest::newRow("quote in text")
        << QList<FieldValue>{{"name", "O'Brien'); drop table t;--", true}}
        << "insert into tSaleJournal(name) values('O''Brien''); drop table t;--');";
    QTest::newRow("chinese") << QList<FieldValue>{{"name", "矿泉水", true}, {"price", "2.50", false}}
                             << "insert into tSaleJournal(name,price) values('矿泉水',2.50);";
}

void tst_PosDbSql::insertStatementText()
{
    QFETCH(QList<FieldValue>, fields);
    QTEST(HostDatabase::insertStatementText(QStringLiteral("tSaleJournal"), fields), "sql");
}

void tst_PosDbSql::emptyTypeOneInputBecomesStars_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("valueType");
    QTest::addColumn<QString>("kept");
    QTest::newRow("empty input type 1") << "" << 1 << 1 << "***";
    QTest::newRow("filled input type 1") << "x" << 1 << 1 << "x";
    QTest::newRow("empty output type 1") << "" << 2 << 1 << "";
    QTest::newRow("empty input other type") << "" << 1 << 10 << "";
}

void tst_PosDbSql::emptyTypeOneInputBecomesStars()
{
    QFETCH(QString, value);
    QFETCH(int, direction);
    QFETCH(int, valueType);
    const ProcParam param(QStringLiteral("p"), value, direction, valueType);
    QTEST(param.value, "kept");
}

void tst_PosDbSql::procedureCallText_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QList<ProcParam>>("params");
    QTest::addColumn<QString>("sql");
    const QList<ProcParam> inOut{{"org", "0101", 1, QMetaType::QString},
                                 {"total", "", 2, QMetaType::Int}};
    const QList<ProcParam> outFirst{{"total", "", 2, QMetaType::Int},
                                    {"org", "0101", 1, QMetaType::QString}};
    QTest::newRow("oracle") << "ORACLE" << inOut << "CALL up_Sum(:org,:total)";
    QTest::newRow("sql server") << "SQLSERVER" << inOut << "exec up_Sum ?,? output ";
    QTest::newRow("sql server output first") << "SQLSERVER" << outFirst
                                             << "exec up_Sum ? output ,?";
    QTest::newRow("sqlite") << "SQLITE" << inOut << "";
    QTest::newRow("mysql") << "MYSQL" << inOut << "";
}

void tst_PosDbSql::procedureCallText()
{
    QFETCH(QString, type);
    QFETCH(QList<ProcParam>, params);
    QTEST(HostDatabase::procedureCallSql(type, QStringLiteral("up_Sum"), params), "sql");
}

void tst_PosDbSql::paramValueConversion_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("valueType");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QVariant>("converted");
    QTest::newRow("int") << "42" << 1 << int(QMetaType::Int) << true << QVariant(42);
    QTest::newRow("double") << "2.5" << 1 << int(QMetaType::Double) << true << QVariant(2.5);
    QTest::newRow("text") << "abc" << 1 << int(QMetaType::QString) << true
                          << QVariant(QStringLiteral("abc"));
    QTest::newRow("bad int") << "abc" << 1 << int(QMetaType::Int) << false << QVariant();
    QTest::newRow("empty output int") << "" << 2 << int(QMetaType::Int) << true
                                      << QVariant(QVariant::Int);
}

void tst_PosDbSql::paramValueConversion()
{
    QFETCH(QString, value);
    QFETCH(int, direction);
    QFETCH(int, valueType);
    QFETCH(bool, ok);
    QFETCH(QVariant, converted);
    QVariant actual;
    QCOMPARE(HostDatabase::convertParamValue(ProcParam(QStringLiteral("p"), value, direction, valueType),
                                      actual),
             ok);
    if (ok) {
        QCOMPARE(actual.userType(), converted.userType());
        QCOMPARE(actual.isNull(), converted.isNull());
        QCOMPARE(actual, converted);
    }
}

void tst_PosDbSql::serverTimeStatement_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("sql");
    QTest::newRow("sqlite") << "SQLITE" << "select datetime('now') as date";
    QTest::newRow("mysql") << "MYSQL" << "select current_timestamp as date";
    QTest::newRow("sql server") << "SQLSERVER" << "select getdate() as date";
    QTest::newRow("access") << "ACCESS" << "select getdate() as date";
    QTest::newRow("oracle") << "ORACLE" << "select sysdate as date from dual";
    QTest::newRow("other") << "INFORMIX" << "";
}

void tst_PosDbSql::serverTimeStatement()
{
    QFETCH(QString, type);
    QTEST(HostDatabase::serverTimeSql(type), "sql");
}

void tst_PosDbSql::exceptionsBecomeMessages_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("message");
    QTest::newRow("no exception, true") << 0 << true << "trace||";
    QTest::newRow("no exception, false") << 1 << false << "trace||";
    QTest::newRow("std exception") << 2 << false << "trace||disk full";
    QTest::newRow("text") << 3 << false << "trace||连接中断";
    QTest::newRow("c text") << 4 << false << "trace||bad handle";
    QTest::newRow("anything else") << 5 << false << "trace||未定义的异常";
}

void tst_PosDbSql::exceptionsBecomeMessages()
{
    QFETCH(int, kind);
    QString message = QStringLiteral("trace||");
    const bool result = HostDatabase::runGuarded(message, [kind]() -> bool {
        switch (kind) {
        case 0: return true;
        case 1: return false;
        case 2: throw std::runtime_error("disk full");
        case 3: throw QStringLiteral("连接中断");
        case 4: throw "bad handle";
        default: throw 42;
        }
    });
    QTEST(result, "result");
    QTEST(message, "message");
}

QTEST_GUILESS_MAIN(tst_PosDbSql)
#include "tst_posdbsql.moc"
