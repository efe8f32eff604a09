// The host POS database as the library's calls use it: the connection a till's settings lead
// to, key lookups with their trace, and failures with the driver's own text. A GEN5 till's
// "SQL Server" is SQLite's ODBC driver registered under that name, so that code path runs for
// real. No test may leave a connection registered.
#include <memory>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include "posdb/posdb.h"
#include "support/appfolder.h"

class tst_PosDB : public QObject
{
    Q_OBJECT
private slots:
    void cleanup();
    void initDbFollowsTheTillsSettings_data();
    void initDbFollowsTheTillsSettings();
    void openRecordsetTraces_data();
    void openRecordsetTraces();
    void connectionNamesAreNeverShared();
};

namespace {
// The till's key table, seeded into the GEN6 database.
const QStringList kKeys{QStringLiteral("insert into tPosKeyDef values (38, '1', 'F')"),
                        QStringLiteral("insert into tPosKeyDef values (123, '100', 'F')")};
}

void tst_PosDB::cleanup()
{
    QVERIFY2(QSqlDatabase::connectionNames().isEmpty(), qPrintable(QSqlDatabase::connectionNames().join(QLatin1Char(','))));
}

void tst_PosDB::initDbFollowsTheTillsSettings_data()
{
    QTest::addColumn<QString>("sysType");
    QTest::addColumn<QString>("dbType");     // GEN6 only: config.ini's DbType and DBName
    QTest::addColumn<QString>("dbName");
    QTest::addColumn<QString>("message");    // empty: opened
    QTest::addColumn<QString>("driver");
    QTest::addColumn<QString>("database");   // <app>: the application directory
    QTest::newRow("GEN6 SQLite, bare name") << "GEN6" << "sqlite" << " pos.db " << "" << "QSQLITE" << "<app>/pos.db";
    QTest::newRow("GEN5 SQL Server over ODBC") << "GEN5" << "" << "" << "" << "QODBC"
                                               << "DRIVER={SQL SERVER};SERVER=localhost;DATABASE=<app>/gen5.db";
    QTest::newRow("no type") << "GEN6" << "" << "pos.db" << "未设置数据库类型" << "" << "";
    QTest::newRow("type without driver") << "GEN6" << "informix" << "pos.db" << "数据库打开失败！" << "" << "";
    QTest::newRow("SQLite in a missing folder") << "GEN6" << "SQLITE" << "/nonexistent-folder/pos.db"
        << "unable to open database file Error opening database数据库打开失败！" << "QSQLITE" << "/nonexistent-folder/pos.db";
}

void tst_PosDB::initDbFollowsTheTillsSettings()
{
    QFETCH(QString, sysType);
    QFETCH(QString, dbType);
    QFETCH(QString, dbName);
    QFETCH(QString, message);
    QFETCH(QString, database);
    AppFolder app;
    if (sysType == QLatin1String("GEN5")) {
        app.writeGen5();
    } else {
        app.writeGen6();
        app.writeIni(QStringLiteral("config.ini"), {{"DataBase/DbType", dbType}, {"DataBase/DBName", dbName}});
    }
    PosDB db;
    QString actual = QStringLiteral("left over");
    QCOMPARE(db.initDb(actual), message.isEmpty());
    QCOMPARE(actual, message);
    QCOMPARE(db.openFailed(), !message.isEmpty() && message != QStringLiteral("未设置数据库类型"));
    {
        const QSqlDatabase connection = QSqlDatabase::database(db.connectionName(), false);
        QTEST(connection.driverName(), "driver");
        QCOMPARE(connection.databaseName(), database.replace(QStringLiteral("<app>"), app.path()));
    }
    if (message.isEmpty()) {
        // A second call keeps the open connection: a temporary table lives as long as its session.
        QSqlQuery query;
        QVERIFY2(db.openRecordset(QStringLiteral("create temp table tSession (a)"), query, actual), qPrintable(actual));
        QVERIFY(db.initDb(actual));
        QVERIFY2(db.openRecordset(QStringLiteral("select count(*) from tSession"), query, actual), qPrintable(actual));
    }
}

void tst_PosDB::openRecordsetTraces_data()
{
    QTest::addColumn<QString>("state");       // open, closed, or none before initDb
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values"); // bound values; empty: the plain statement
    QTest::addColumn<QString>("traceSql");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("funcValues");
    const QString byScan = QStringLiteral("select FuncValue from tPosKeyDef where ScanCode=");
    const QString bound = QStringLiteral("select FuncValue from tPosKeyDef where ScanCode=? and KeyType=?");
    const QString trace = QStringLiteral("函数:openRecordset||执行:");
    QTest::newRow("one row") << "open" << byScan + "38" << QVariantList() << "" << trace + byScan + "38||" << QStringList{"1"};
    QTest::newRow("no row") << "open" << byScan + "0" << QVariantList() << "" << trace + byScan + "0||" << QStringList();
    QTest::newRow("syntax error") << "open" << "selec FuncValue from tPosKeyDef" << QVariantList() << ""
        << trace + "selec FuncValue from tPosKeyDef||near \"selec\": syntax error Unable to execute statement" << QStringList();
    QTest::newRow("bound match") << "open" << bound << QVariantList{123, "F"} << byScan + "123 and KeyType='F'"
                                 << trace + byScan + "123 and KeyType='F'||" << QStringList{"100"};
    QTest::newRow("bound quote stays a value") << "open" << bound << QVariantList{38, "F' or '1'='1"}
        << byScan + "38 and KeyType='F' or '1'='1'" << trace + byScan + "38 and KeyType='F' or '1'='1'||" << QStringList();
    QTest::newRow("bound, missing table") << "open" << "select FuncValue from tNoTable where ScanCode=?" << QVariantList{38}
        << "select FuncValue from tNoTable where ScanCode=38"
        << trace + "select FuncValue from tNoTable where ScanCode=38||no such table: tNoTable Unable to execute statement"
        << QStringList();
    QTest::newRow("closed") << "closed" << byScan + "38" << QVariantList() << "" << trace + byScan + "38|| DataBase is not opened!"
                            << QStringList();
    QTest::newRow("bound, closed") << "closed" << bound << QVariantList{38, "F"} << byScan + "38"
                                   << trace + byScan + "38|| DataBase is not opened!" << QStringList();
    QTest::newRow("not created") << "none" << byScan + "38" << QVariantList() << "" << "Connection is not Created!" << QStringList();
}

void tst_PosDB::openRecordsetTraces()
{
    QFETCH(QString, state);
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    QFETCH(QString, traceSql);
    QFETCH(QString, message);
    AppFolder app;
    app.writeGen6();
    QString error;
    QVERIFY2(app.runSql(QStringLiteral("pos.db"), kKeys, &error), qPrintable(error));
    PosDB db;
    QString actual;
    if (state != QLatin1String("none"))
        QVERIFY2(db.initDb(actual), qPrintable(actual));
    if (state == QLatin1String("closed"))
        db.close();
    QSqlQuery result;
    const bool ok = values.isEmpty() ? db.openRecordset(sql, result, actual) : db.openRecordset(sql, values, result, actual, traceSql);
    // A statement that ran leaves nothing after its trace.
    QCOMPARE(ok, message.endsWith(QStringLiteral("||")));
    QCOMPARE(actual, message);
    QStringList funcValues;
    while (result.next())
        funcValues << result.value(0).toString();
    QTEST(funcValues, "funcValues");
}

void tst_PosDB::connectionNamesAreNeverShared()
{
    AppFolder app;
    app.writeGen6();
    QString message;
    auto first = std::make_unique<PosDB>();
    auto second = std::make_unique<PosDB>();
    QVERIFY(first->initDb(message) && second->initDb(message));
    QCOMPARE(first->connectionName() + QLatin1Char(',') + second->connectionName(), QStringLiteral("MyDBProcessConn0,MyDBProcessConn1"));
    // A freed name is taken again, while the other stays with its owner.
    first.reset();
    PosDB third;
    QVERIFY(third.initDb(message));
    QCOMPARE(third.connectionName(), QStringLiteral("MyDBProcessConn0"));
    second.reset();
    QCOMPARE(QSqlDatabase::connectionNames(), QStringList{QStringLiteral("MyDBProcessConn0")});
}

QTEST_GUILESS_MAIN(tst_PosDB)
#include "tst_posdb.moc"
