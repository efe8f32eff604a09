// A GEN6 till whose POS database is MySQL, on a real MariaDB server: a private mariadbd whose data,
// socket and logs live in a temporary folder, so the test never touches a server of the machine.
#include <QDeadlineTimer>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "posdb/posdb.h"
#include "support/appfolder.h"

class tst_MariaDb : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QProcess m_server;
    QString socket() const { return m_dir.filePath(QStringLiteral("mysqld.sock")); }

    static QString program(const QString &name)
    {
        return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/bin")});
    }

    // Grant tables are skipped: the tests run as root and there are no users to set up.
    QString startServer()
    {
        const QString data = m_dir.filePath(QStringLiteral("data"));
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(program(QStringLiteral("mariadb-install-db")), {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                      QStringLiteral("--user=root"), QStringLiteral("--skip-test-db")});
        if (!install.waitForFinished(180000) || install.exitCode() != 0)
            return QStringLiteral("mariadb-install-db: ") + install.errorString() + QString::fromLocal8Bit(install.readAll().right(800));
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(program(QStringLiteral("mariadbd")), {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                       QStringLiteral("--socket=") + socket(), QStringLiteral("--skip-networking"), QStringLiteral("--user=root"),
                       QStringLiteral("--skip-grant-tables"), QStringLiteral("--innodb-buffer-pool-size=16M"),
                       QStringLiteral("--pid-file=") + m_dir.filePath(QStringLiteral("mysqld.pid"))});
        for (QDeadlineTimer deadline(90000); !deadline.hasExpired(); QThread::msleep(200)) {
            if (m_server.state() == QProcess::NotRunning)
                return QStringLiteral("mariadbd ended: ") + m_server.errorString() + QString::fromLocal8Bit(m_server.readAll().right(800));
            {
                QSqlDatabase setup = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), QStringLiteral("setup"));
                setup.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + socket());
                setup.setUserName(QStringLiteral("root"));
                if (setup.open()) {
                    QSqlQuery query(setup);
                    return query.exec(QStringLiteral("CREATE DATABASE pos")) ? QString() : query.lastError().text();
                }
            }
            QSqlDatabase::removeDatabase(QStringLiteral("setup"));
        }
        return QStringLiteral("mariadbd did not accept connections");
    }

private slots:
    // Installed by the test command's set-up: a missing server is a failure here, not a skip.
    void initTestCase()
    {
        const QString failure = startServer();
        QSqlDatabase::removeDatabase(QStringLiteral("setup"));
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
    }

    void cleanupTestCase()
    {
        m_server.terminate();   // lets the server close its storage
        QVERIFY(m_server.waitForFinished(60000));
        QVERIFY(QSqlDatabase::connectionNames().isEmpty());
    }

    void mysqlTillReachesItsDatabase_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("outcome");   // the first value, or the message of a failed open
        QTest::newRow("the till's database") << "pos" << "SELECT DATABASE()" << "pos";
        // MariaDB names the three-byte "utf8" of SET NAMES 'utf8' utf8mb3.
        QTest::newRow("names set on the connection itself") << "pos" << "SELECT @@character_set_client, @@character_set_results" << "utf8mb3";
        QTest::newRow("server's text on a failed open") << "nopos" << "" << "Unknown database 'nopos' QMYSQL: Unable to connect数据库打开失败！";
    }

    void mysqlTillReachesItsDatabase()
    {
        QFETCH(QString, database);
        QFETCH(QString, sql);
        AppFolder app;
        app.writeIni(QStringLiteral("TwCouponPay5.ini"), {{"Config/SysType", "GEN6"}});
        app.writeIni(QStringLiteral("config.ini"), {{"DataBase/DbType", "mysql"}, {"DataBase/ServiceName", ""}, {"DataBase/DBName", database},
                                                    {"DataBase/UserName", ""}, {"DataBase/Password", ""}});
        PosDB db;
        // A till's server listens on its default socket; this one on the private socket.
        db.createConnection(QStringLiteral("mysql"));
        db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + socket());
        QString message;
        QSqlQuery query;
        const bool opened = db.initDb(message);
        QCOMPARE(db.activeType(), QStringLiteral("MYSQL"));
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
