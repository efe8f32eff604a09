// The host POS database: the connection a till's settings lead to (a GEN5 "SQL Server" is SQLite's ODBC driver under
// that name) and a failed statement with its trace; failures to open and key lookups run through tests/entry and
// tests/ui. No test may leave a connection registered.
#include <memory>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include "helpers/tillfolder.h"
#include "posdb/posdb.h"

class tst_PosDB : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        QVERIFY2(QSqlDatabase::connectionNames().isEmpty(), qPrintable(QSqlDatabase::connectionNames().join(',')));
    }

    void connectionFollowsTheTillsSettings_data()
    {
        QTest::addColumn<bool>("gen5");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("database"); // <app>: the application directory
        QTest::newRow("GEN6 SQLite, bare name trimmed") << false << "QSQLITE"
                                                        << "<app>/pos.db";
        QTest::newRow("GEN5 SQL Server over ODBC") << true << "QODBC"
                                                   << "DRIVER={SQL SERVER};SERVER=localhost;DATABASE=<app>/gen5.db";
    }

    void connectionFollowsTheTillsSettings()
    {
        QFETCH(bool, gen5);
        QFETCH(QString, database);
        AppFolder app;
        gen5 ? app.writeGen5() : app.writeGen6();
        if (!gen5)
            app.writeIni("config.ini", {{"DataBase/DbType", "sqlite"}, {"DataBase/DBName", " pos.db "}});
        PosDB db;
        QString message;
        QVERIFY2(db.initDb(message), qPrintable(message));
        {
            const QSqlDatabase connection = QSqlDatabase::database(db.connectionName(), false);
            QTEST(connection.driverName(), "driver");
            QCOMPARE(connection.databaseName(), database.replace("<app>", app.path()));
        }
        QSqlQuery query;
        QVERIFY2(db.openRecordset("select 1", query, message), qPrintable(message));
    }

    void failedStatementCarriesTheDriversText()
    {
        AppFolder app;
        app.writeGen6();
        PosDB db;
        QString message;
        QVERIFY2(db.initDb(message), qPrintable(message));
        QSqlQuery query;
        const QString sql = "select FuncValue from tNoTable where ScanCode=";
        const QString failed =
            "函数:openRecordset||执行:" + sql + "38||no such table: tNoTable Unable to execute statement";
        QCOMPARE(db.openRecordset(sql + "38", query, message) ? QString() : message, failed);
        // Bound values: the trace shows the statement as a person would write it.
        QCOMPARE(db.openRecordset(sql + '?', {38}, query, message, sql + "38") ? QString() : message, failed);
        // A statement that ran leaves nothing after its trace.
        QCOMPARE(db.openRecordset("select 1", query, message) ? message : QString(),
                 "函数:openRecordset||执行:select 1||");
    }

    void connectionNamesAreNeverShared()
    {
        AppFolder app;
        app.writeGen6();
        QString message;
        auto first = std::make_unique<PosDB>();
        PosDB second;
        QVERIFY(first->initDb(message) && second.initDb(message));
        // A freed name is taken again, while the other stays with its owner.
        first.reset();
        PosDB third;
        QVERIFY(third.initDb(message));
        QCOMPARE(second.connectionName() + ',' + third.connectionName(), "MyDBProcessConn1,MyDBProcessConn0");
    }
};
QTEST_GUILESS_MAIN(tst_PosDB)
#include "tst_posdb.moc"
