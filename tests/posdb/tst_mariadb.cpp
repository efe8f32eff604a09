// A GEN6 till on a private mariadbd in a temporary folder.
#include <QProcess>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QTest>

#include "helpers/tillfolder.h"
#include "posdb/posdb.h"

class tst_MariaDb : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_server;
    QString socket() const { return m_dir.filePath("mysqld.sock"); }

private slots:
    // A missing server fails, not skips. Run as root: no grant tables.
    void initTestCase()
    {
        const QString options = " --no-defaults --user=root --datadir=" + m_dir.path() + "/data"; // must come first
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(
            "sh",
            {"-c",
             "PATH=$PATH:/usr/sbin; mariadb-install-db" + options + " --skip-test-db >/dev/null && exec mariadbd"
                 + options
                 + " --skip-networking --skip-grant-tables --innodb-buffer-pool-size=16M --socket=" + socket()});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket()) || m_server.state() == QProcess::NotRunning, 90000);
        QVERIFY2(m_server.state() == QProcess::Running, m_server.readAll().right(800).constData());
        QCOMPARE(QProcess::execute("mariadb", {"--socket=" + socket(), "-e", "CREATE DATABASE pos"}), 0);
    }

    void cleanupTestCase()
    {
        m_server.terminate(); // lets the server close its storage
        QVERIFY(m_server.waitForFinished(60000));
    }

    void mysqlTillReachesItsDatabase_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("outcome"); // first value, or a failed open's message
        QTest::newRow("the till's database") << "pos"
                                             << "SELECT DATABASE()"
                                             << "pos";
        // MariaDB's name for the "utf8" of SET NAMES 'utf8'
        QTest::newRow("names set") << "pos"
                                   << "SELECT @@character_set_client, @@character_set_results"
                                   << "utf8mb3";
        QTest::newRow("failed open") << "nopos"
                                     << ""
                                     << "Unknown database 'nopos' QMYSQL: Unable to connect数据库打开失败！";
    }

    void mysqlTillReachesItsDatabase()
    {
        QFETCH(QString, database);
        QFETCH(QString, sql);
        AppFolder app;
        app.writeIni("TwCouponPay5.ini", {{"Config/SysType", "GEN6"}});
        app.writeIni("config.ini", {{"DataBase/DbType", "mysql"}, {"DataBase/DBName", database}});
        PosDB db;
        db.createConnection("mysql");
        db.setConnectOptions("UNIX_SOCKET=" + socket());
        QString message;
        QSqlQuery query;
        const bool read = db.initDb(message) && db.openRecordset(sql, query, message) && query.next();
        QTEST(read ? query.value(0).toString() : message, "outcome");
        QCOMPARE(query.value(query.record().count() - 1), query.value(0));
    }
};
QTEST_GUILESS_MAIN(tst_MariaDb)
#include "tst_mariadb.moc"
