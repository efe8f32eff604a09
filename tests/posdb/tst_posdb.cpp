#include <ctime>
#include <memory>

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

#include "helpers/tillfolder.h"
#include "posdb/posdb.h"

enum class Op { Open, Bound, Exec, Proc, ProcArgs, ProcValues, Commit, Rollback, Time, Insert, Update, Build, Handle };
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

    void cleanup() { QCOMPARE(QSqlDatabase::connectionNames(), QStringList()); }

    void connectionFollowsTheTillsSettings_data()
    {
        QTest::addColumn<bool>("gen5");
        QTest::addColumn<QString>("driver");
        QTest::addColumn<QString>("database");
        QTest::newRow("GEN6 SQLite, name trimmed") << false << "QSQLITE"
                                                   << "<app>/pos.db";
        QTest::newRow("GEN5 over ODBC") << true << "QODBC"
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

    void connectionNamesAreNeverShared()
    {
        AppFolder app;
        app.writeGen6();
        QString message;
        auto first = std::make_unique<PosDB>();
        PosDB second;
        QVERIFY(first->initDb(message) && second.initDb(message));
        first.reset(); // frees its name
        PosDB third;
        QVERIFY(third.initDb(message));
        QCOMPARE(second.connectionName() + ',' + third.connectionName(), "MyDBProcessConn1,MyDBProcessConn0");
    }

    void statements_data()
    {
        QTest::addColumn<Op>("op");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("ok");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("values"); // t afterwards, or what was read
        const QString none = "不支持在数据库类型SQLITE执行存储过程";
        const QStringList t {"1a", "2b", "3c"};
        const QString failed =
            "函数:openRecordset||执行:select * from u where k=38||no such table: u Unable to execute statement";
        QTest::newRow("openRecordset fails")
            << Op::Open << "select * from u where k=38" << false << failed << QStringList();
        QTest::newRow("bound values traced as written")
            << Op::Bound << "select * from u where k=38" << false << failed << QStringList();
        QTest::newRow("excuteSQL, 30 characters")
            << Op::Exec << "update t set name='z' where id=3 and name='c'" << true
            << "函数:excuteSQL||执行:update t set name='z' where id||" << QStringList {"1a", "2b", "3z"};
        QTest::newRow("exexProc") << Op::Proc << "p" << false << none << QStringList();
        QTest::newRow("exexProcWithArgs") << Op::ProcArgs << "p" << false << none << QStringList {"***"};
        QTest::newRow("exexProcWithValues")
            << Op::ProcValues << "p" << false
            << "函数:exexProcWithValues||执行:p||near \"exec\": syntax error Unable to execute statement"
            << QStringList();
        QTest::newRow("commit") << Op::Commit << "" << true << "" << QStringList {"1a", "3c"};
        QTest::newRow("rollback") << Op::Rollback << "" << true << "" << t;
        QTest::newRow("getServerTime") << Op::Time << "select datetime('now')" << true << "" << QStringList();
        QTest::newRow("insertRecord") << Op::Insert << "" << true
                                      << "函数:insertRecord||执行:INSERT INTO t(id,name) VALUES (:id,:name)||"
                                      << t + QStringList {"4d"};
        QTest::newRow("updateRecord") << Op::Update << "id=2" << true
                                      << "函数:updateRecord||执行:UPDATE t SET name=:name WHERE id=2||"
                                      << QStringList {"1a", "2x", "3c"};
        QTest::newRow("buildInsertSql") << Op::Build << "" << true << "insert into t(id,name) values(4,'o''k');"
                                        << QStringList();
        QTest::newRow("handle recordset") << Op::Handle << "select id,name from t order by id" << true
                                          << "函数:openRecordset||执行:select id,name from t order by id||"
                                          << QStringList {"3", "3c", "2b", "1a", "3", "1a", "eof", "-1"};
    }

    void statements()
    {
        QFETCH(Op, op);
        QFETCH(QString, sql);
        AppFolder app;
        app.writeGen6();
        QVERIFY(app.runSql("pos.db",
                           {"create table t(id integer, name text)", "insert into t values(1,'a'),(2,'b'),(3,'c')"}));
        PosDB db;
        QString message, ignored;
        QVERIFY(db.initDb(ignored));
        bool ok = true;
        QStringList values;
        const auto field = [&](int handle) {
            QVariantList read;
            db.getFieldValue(handle, {"id", "name"}, "%d%s", read);
            return read.value(0).toString() + read.value(1).toString();
        };
        QSqlQuery query;
        const auto rows = [&] {
            db.openRecordset("select id||name from t order by id", query, ignored);
            while (query.next())
                values << query.value(0).toString();
        };
        switch (op) {
        case Op::Open:
            ok = db.openRecordset(sql, query, message);
            break;
        case Op::Bound:
            ok = db.openRecordset(QString(sql).replace("38", "?"), {38}, query, message, sql);
            break;
        case Op::Exec:
            ok = db.excuteSQL(sql, message);
            rows();
            break;
        case Op::Proc:
            ok = db.exexProc(sql, message);
            break;
        case Op::ProcArgs: {
            QList<HostDatabase::ProcParam> parameters {{"a", QString(), HostDatabase::ProcParam::kInput, 1}};
            ok = db.exexProcWithArgs(sql, parameters, message);
            values << parameters.at(0).value;
            break;
        }
        case Op::ProcValues:
            ok = db.exexProcWithValues(sql, "%d", {1}, message);
            break;
        case Op::Commit:
        case Op::Rollback:
            ok = db.beginTransaction() && db.excuteSQL("delete from t where id=2", ignored)
                && (op == Op::Commit ? db.commit() : db.rollback());
            rows();
            break;
        case Op::Time: {
            // SQLite's clock is UTC, ours eight hours away: the local fallback cannot pass.
            QVERIFY(db.openRecordset(sql, query, ignored) && query.next());
            ok =
                qAbs(QDateTime::fromString(query.value(0).toString(), "yyyy-MM-dd HH:mm:ss").secsTo(db.getServerTime()))
                < 3600;
            break;
        }
        case Op::Insert:
            ok = db.insertRecord("t", {"id", "name"}, "%d%s", {4, "d"}, message);
            rows();
            break;
        case Op::Update:
            ok = db.updateRecord("t", {"name"}, "%s", {"x"}, message, sql);
            rows();
            break;
        case Op::Build:
            message = db.buildInsertSql("t", {{"id", "4", false}, {"name", "o'k", true}});
            break;
        case Op::Handle:
            ok = db.openRecordset(7, sql, message);
            // The count keeps the position.
            values << QString::number(db.recordCount(7)) << (db.moveLast(7) ? field(7) : "")
                   << (db.movePrevious(7) ? field(7) : "") << (db.moveFirst(7) ? field(7) : "")
                   << QString::number(db.recordCount(7)) << field(7);
            db.move(7, 2);
            values << (!db.moveNext(7) && db.isEOF(7) && !db.isBOF(7) ? "eof" : "");
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
