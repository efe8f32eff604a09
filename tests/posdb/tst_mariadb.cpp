// A GEN6 till whose POS database is MySQL, on a real MariaDB server: a private mariadbd whose data,
// socket and logs live in a temporary folder, so the test never touches a server of the machine.
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
    // Installed by the test command's set-up: a missing server is a failure here, not a skip. Grant
    // tables are skipped: the tests run as root and there are no users to set up.
    void initTestCase()
    {
        // --no-defaults must come first.
        const QString options = QStringLiteral("--no-defaults --user=root --datadir=%1/data ").arg(m_dir.path());
        QCOMPARE(QProcess::execute(
                     "sh", {"-c", "PATH=$PATH:/usr/sbin mariadb-install-db " + options + "--skip-test-db >/dev/null"}),
                 0);
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start("sh",
                       {"-c",
                        "PATH=$PATH:/usr/sbin exec mariadbd " + options
                            + "--skip-networking --skip-grant-tables "
                              "--innodb-buffer-pool-size=16M --socket="
                            + socket()});
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(socket()) || m_server.state() == QProcess::NotRunning, 90000);
        QVERIFY2(m_server.state() == QProcess::Running, m_server.readAll().right(800).constData());
        QCOMPARE(QProcess::execute("mariadb", {"--socket=" + socket(), "-e", "CREATE DATABASE pos"}), 0);
    }

    void cleanupTestCase()
    {
        m_server.terminate(); // lets the server close its storage
        QVERIFY(m_server.waitForFinished(60000));
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }

    void mysqlTillReachesItsDatabase_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("outcome"); // the first value, or the message of a failed open
        QTest::newRow("the till's database") << "pos"
                                             << "SELECT DATABASE()"
                                             << "pos";
        // MariaDB names the three-byte "utf8" of SET NAMES 'utf8' utf8mb3.
        QTest::newRow("names set on the connection itself") << "pos"
                                                            << "SELECT @@character_set_client, @@character_set_results"
                                                            << "utf8mb3";
        QTest::newRow("server's text on a failed open")
            << "nopos"
            << ""
            << "Unknown database 'nopos' QMYSQL: Unable to connect数据库打开失败！";
    }

    void mysqlTillReachesItsDatabase()
    {
        QFETCH(QString, database);
        QFETCH(QString, sql);
        AppFolder app;
        app.writeIni("TwCouponPay5.ini", {{"Config/SysType", "GEN6"}});
        app.writeIni("config.ini",
                     {{"DataBase/DbType", "mysql"},
                      {"DataBase/ServiceName", ""},
                      {"DataBase/DBName", database},
                      {"DataBase/UserName", ""},
                      {"DataBase/Password", ""}});
        PosDB db;
        // A till's server listens on its default socket; this one on the private socket.
        db.createConnection("mysql");
        db.setConnectOptions("UNIX_SOCKET=" + socket());
        QString message;
        QSqlQuery query;
        const bool opened = db.initDb(message);
        QCOMPARE(db.activeType(), "MYSQL");
        if (!opened) {
            QTEST(message, "outcome");
            return;
        }
        QVERIFY2(db.openRecordset(sql, query, message) && query.next(), qPrintable(message));
        QTEST(query.value(0).toString(), "outcome");
        QCOMPARE(query.value(query.record().count() - 1), query.value(0));
    }
};
QTEST_GUILESS_MAIN(tst_MariaDb)
#include "tst_mariadb.moc"
