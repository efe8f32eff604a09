// The host POS database: the connection a till's settings lead to (a GEN5 "SQL Server" is SQLite's ODBC driver under
// that name) and a failed statement with its trace; failures to open and key lookups run through tests/entry and
// tests/ui. No test may leave a connection registered. Every statement operation runs once on SQLite, which has no
// stored procedures.
#include <ctime>
#include <memory>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "helpers/tillfolder.h"
#include "posdb/posdb.h"

enum class Op {
    Execute,
    Procedure,
    ProcedureWithArgs,
    ProcedureWithValues,
    Commit,
    Rollback,
    ServerTime,
    Insert,
    Update,
    BuildInsert,
    Handle
};
Q_DECLARE_METATYPE(Op)

class tst_PosDB : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("TZ", "CST-8");
        tzset();
    }

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

    // Every statement operation once on a real SQLite database holding t = (1,a) (2,b) (3,c).
    void statements_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("values"); // rows of t afterwards, or what the op read
        const QString insertTrace =
            QStringLiteral("函数:insertRecord||执行:INSERT INTO t(id,name) VALUES (:id,:name)||");
        const QString noProcedures = QStringLiteral("不支持在数据库类型SQLITE执行存储过程");
        QTest::newRow("excuteSQL traces 30 characters")
            << Op::Execute << "update t set name='z' where id=3 and name='c'" << true
            << "函数:excuteSQL||执行:update t set name='z' where id||" << QStringList {"1a", "2b", "3z"};
        QTest::newRow("exexProc, none on SQLite") << Op::Procedure << "p" << false << noProcedures << QStringList {};
        QTest::newRow("exexProcWithArgs, none on SQLite")
            << Op::ProcedureWithArgs << "p" << false << noProcedures << QStringList {"***"};
        QTest::newRow("exexProcWithValues")
            << Op::ProcedureWithValues << "p" << false
            << "函数:exexProcWithValues||执行:p||near \"exec\": syntax error Unable to execute statement"
            << QStringList {};
        QTest::newRow("commit") << Op::Commit << "delete from t where id=2" << true << QString()
                                << QStringList {"1a", "3c"};
        QTest::newRow("rollback") << Op::Rollback << "delete from t where id=2" << true << QString()
                                  << QStringList {"1a", "2b", "3c"};
        QTest::newRow("getServerTime asks the server")
            << Op::ServerTime << "select datetime('now')" << true << QString() << QStringList {};
        QTest::newRow("insertRecord") << Op::Insert << "" << true << insertTrace
                                      << QStringList {"1a", "2b", "3c", "4d"};
        QTest::newRow("updateRecord") << Op::Update << "id=2" << true
                                      << "函数:updateRecord||执行:UPDATE t SET name=:name WHERE id=2||"
                                      << QStringList {"1a", "2x", "3c"};
        QTest::newRow("buildInsertSql") << Op::BuildInsert << "" << true << "insert into t(id,name) values(4,'o''k');"
                                        << QStringList {};
        // count, last, previous, seek, count again (position kept), past the end, after close
        QTest::newRow("handle recordset") << Op::Handle << "select id,name from t order by id" << true
                                          << "函数:openRecordset||执行:select id,name from t order by id||"
                                          << QStringList {"3", "3c", "2b", "1a", "3", "1a", "eof", "-1"};
    }

    void statements()
    {
        QFETCH(Op, op);
        QFETCH(QString, argument);
        QTemporaryDir dir;
        HostDatabase::PosDbConfig config;
        config.dbType = HostDatabase::DbType::Sqlite;
        config.databaseName = dir.filePath(QStringLiteral("pos.db"));
        PosDB db(config);
        QString message;
        QVERIFY2(db.initDb(message) && db.excuteSQL(QStringLiteral("create table t(id integer, name text)"), message)
                     && db.excuteSQL(QStringLiteral("insert into t values(1,'a'),(2,'b'),(3,'c')"), message),
                 qPrintable(message));
        message.clear();
        bool ok = true;
        QStringList values;
        auto field = [&](int handle) {
            QVariantList read;
            db.getFieldValue(handle, {QStringLiteral("id"), QStringLiteral("name")}, QStringLiteral("%d%s"), read);
            return read.value(0).toString() + read.value(1).toString();
        };
        auto rowsOfT = [&] {
            QString ignored;
            QStringList rows;
            if (db.openRecordset(1, QStringLiteral("select id,name from t order by id"), ignored)) {
                while (db.moveNext(1))
                    rows << field(1);
            }
            db.closeRecordset(1);
            return rows;
        };
        switch (op) {
        case Op::Execute:
            ok = db.excuteSQL(argument, message);
            values = rowsOfT();
            break;
        case Op::Procedure:
            ok = db.exexProc(argument, message);
            break;
        case Op::ProcedureWithArgs: {
            QList<HostDatabase::ProcParam> parameters {
                {QStringLiteral("a"), QString(), HostDatabase::ProcParam::kInput, 1}};
            ok = db.exexProcWithArgs(argument, parameters, message);
            values << parameters.at(0).value;
            break;
        }
        case Op::ProcedureWithValues:
            ok = db.exexProcWithValues(argument, QStringLiteral("%d"), {1}, message);
            break;
        case Op::Commit:
        case Op::Rollback: {
            QString statementMessage;
            ok = db.beginTransaction() && db.excuteSQL(argument, statementMessage)
                && (op == Op::Commit ? db.commit() : db.rollback());
            values = rowsOfT();
            break;
        }
        case Op::ServerTime: {
            // SQLite's clock is UTC; ours is set eight hours away, so the fallback cannot pass.
            QSqlQuery query;
            QVERIFY(db.openRecordset(argument, query, message) && query.next());
            message.clear();
            const QDateTime server =
                QDateTime::fromString(query.value(0).toString(), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            ok = qAbs(server.secsTo(db.getServerTime())) < 3600;
            break;
        }
        case Op::Insert:
            ok = db.insertRecord(QStringLiteral("t"), {QStringLiteral("id"), QStringLiteral("name")},
                                 QStringLiteral("%d%s"), {4, QStringLiteral("d")}, message);
            values = rowsOfT();
            break;
        case Op::Update:
            ok = db.updateRecord(QStringLiteral("t"), {QStringLiteral("name")}, QStringLiteral("%s"),
                                 {QStringLiteral("x")}, message, argument);
            values = rowsOfT();
            break;
        case Op::BuildInsert:
            message = db.buildInsertSql(QStringLiteral("t"),
                                        {{QStringLiteral("id"), QStringLiteral("4"), false},
                                         {QStringLiteral("name"), QStringLiteral("o'k"), true}});
            break;
        case Op::Handle:
            ok = db.openRecordset(7, argument, message);
            values << QString::number(db.recordCount(7));
            values << (db.moveLast(7) ? field(7) : QString());
            values << (db.movePrevious(7) ? field(7) : QString());
            values << (db.moveFirst(7) ? field(7) : QString());
            values << QString::number(db.recordCount(7)) << field(7);
            db.move(7, 2);
            values << (!db.moveNext(7) && db.isEOF(7) && !db.isBOF(7) ? QStringLiteral("eof") : QString());
            db.closeRecordset(7);
            values << QString::number(db.recordCount(7));
            break;
        }
        QTEST(ok, "ok");
        QTEST(message, "message");
        QTEST(values, "values");
    }
};
QTEST_GUILESS_MAIN(tst_PosDB)
#include "tst_posdb.moc"
