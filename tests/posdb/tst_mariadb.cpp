// The host POS database on a real MariaDB server: a private mariadbd in a temporary folder,
// reached through its own socket, so the test never touches a server of the machine.
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <memory>

#include "entry/vipcouponcpu.h"
#include "posdb/posdb.h"
#include "support/appfolder.h"

namespace {

const QString kSetupConnection = QStringLiteral("mariadb-setup");

QString findProgram(const QString &name)
{
    const QString found = QStandardPaths::findExecutable(name);
    if (!found.isEmpty())
        return found;
    return QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin")});
}

// A throw-away mariadbd: its data folder, socket and log live in a temporary folder, it listens
// on a free loopback port, and grant tables are skipped (tests run as root, no users to set up).
class PrivateMariaDb
{
public:
    ~PrivateMariaDb() { stop(); }

    // Empty on success, else why the server cannot run here.
    QString start()
    {
        if (!m_dir.isValid())
            return QStringLiteral("no temporary folder");
        const QString installDb = findProgram(QStringLiteral("mariadb-install-db"));
        const QString server = findProgram(QStringLiteral("mariadbd"));
        if (installDb.isEmpty() || server.isEmpty())
            return QStringLiteral("mariadb-install-db or mariadbd not found (package mariadb-server)");
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QMYSQL")))
            return QStringLiteral("Qt's QMYSQL driver is not installed");

        const QString data = m_dir.filePath(QStringLiteral("data"));
        QProcess install;
        install.setProcessChannelMode(QProcess::MergedChannels);
        install.start(installDb, {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                                  QStringLiteral("--user=root"), QStringLiteral("--auth-root-authentication-method=normal"),
                                  QStringLiteral("--skip-test-db")});
        if (!install.waitForFinished(180000) || install.exitStatus() != QProcess::NormalExit || install.exitCode() != 0)
            return QStringLiteral("mariadb-install-db failed: ") + QString::fromLocal8Bit(install.readAll().right(800));

        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return QStringLiteral("no free loopback port");
        m_port = probe.serverPort();
        probe.close();

        m_socket = m_dir.filePath(QStringLiteral("mysqld.sock"));
        m_errorLog = m_dir.filePath(QStringLiteral("mysqld.err"));
        m_server.setProcessChannelMode(QProcess::MergedChannels);
        m_server.start(server, {QStringLiteral("--no-defaults"), QStringLiteral("--datadir=") + data,
                                QStringLiteral("--socket=") + m_socket, QStringLiteral("--port=%1").arg(m_port),
                                QStringLiteral("--bind-address=127.0.0.1"), QStringLiteral("--user=root"),
                                QStringLiteral("--skip-grant-tables"), QStringLiteral("--log-error=") + m_errorLog,
                                QStringLiteral("--pid-file=") + m_dir.filePath(QStringLiteral("mysqld.pid")),
                                QStringLiteral("--innodb-buffer-pool-size=16M"), QStringLiteral("--general-log=1"),
                                QStringLiteral("--general-log-file=") + generalLogPath()});
        if (!m_server.waitForStarted(10000))
            return QStringLiteral("mariadbd did not start: ") + m_server.errorString();

        // Ready once a client gets in through the socket.
        QDeadlineTimer deadline(90000);
        while (!deadline.hasExpired()) {
            if (m_server.state() != QProcess::Running)
                return QStringLiteral("mariadbd ended: ") + errorLogTail();
            {
                QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QMYSQL"), kSetupConnection);
                db.setHostName(QStringLiteral("localhost"));
                db.setUserName(QStringLiteral("root"));
                db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + m_socket);
                if (db.open())
                    return QString();
            }
            QSqlDatabase::removeDatabase(kSetupConnection);
            QThread::msleep(200);
        }
        return QStringLiteral("mariadbd did not accept connections: ") + errorLogTail();
    }

    // SIGTERM lets the server shut down its storage cleanly; true when it ended by itself.
    bool stop()
    {
        if (QSqlDatabase::contains(kSetupConnection))
            QSqlDatabase::removeDatabase(kSetupConnection);
        if (m_server.state() == QProcess::NotRunning)
            return true;
        m_server.terminate();
        if (m_server.waitForFinished(60000))
            return m_server.exitStatus() == QProcess::NormalExit && m_server.exitCode() == 0;
        m_server.kill();
        m_server.waitForFinished(10000);
        return false;
    }

    QString socket() const { return m_socket; }
    // Every statement the server received, with the id of the connection that sent it.
    QString generalLogPath() const { return m_dir.filePath(QStringLiteral("general.log")); }
    int port() const { return m_port; }

private:
    QString errorLogTail() const
    {
        QFile log(m_errorLog);
        return log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll().right(800)) : QString();
    }

    QTemporaryDir m_dir;
    QProcess m_server;
    QString m_socket;
    QString m_errorLog;
    int m_port = 0;
};

}

class tst_MariaDb : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();

    void mysqlConnectionReachesThePrivateServer();
    void namesAreSetToUtf8_data();
    void namesAreSetToUtf8();
    void setNamesRunsOnTheConnectionItself();
    void openFailureCarriesTheServerText();
    void keyLookupsThroughTheController_data();
    void keyLookupsThroughTheController();
    void openRecordsetTraces_data();
    void openRecordsetTraces();

private:
    // A GEN6 till whose POS database is "pos" on the private server (type written in lower case).
    void writeTill(AppFolder &app, const QString &orgCode, const QString &posNo,
                   const QString &databaseName = QStringLiteral("pos"));
    // Creates the connection first, so that it can be pointed at the private socket before it
    // opens: PosDB sets no port for MySQL, a till's server is always on its default one.
    bool openPosDb(PosDB &db, QString &message);

    PrivateMariaDb m_server;
};

void tst_MariaDb::initTestCase()
{
    const QString reason = m_server.start();
    if (!reason.isEmpty())
        QSKIP(qPrintable(QStringLiteral("MariaDB cannot run here: ") + reason));

    QSqlDatabase setup = QSqlDatabase::database(kSetupConnection);
    const QStringList statements{
        QStringLiteral("CREATE DATABASE pos CHARACTER SET utf8mb4"),
        QStringLiteral("CREATE TABLE pos.tPosKeyDef(ScanCode INT, FuncValue VARCHAR(10), KeyType VARCHAR(10))"),
        QStringLiteral("CREATE TABLE pos.tPosKeyDefDetail(OrgCode VARCHAR(20), PosNo VARCHAR(20), ScanCode VARCHAR(10),"
                       " FuncValue VARCHAR(10), KeyType VARCHAR(10))"),
        QStringLiteral("INSERT INTO pos.tPosKeyDef VALUES (24, '107', '1'), (12, '110', '1'), (15, '111', '1'), (30, 'abc', '1')"),
        QStringLiteral("INSERT INTO pos.tPosKeyDefDetail VALUES ('A01', '001', '24', '115', '1'),"
                       " ('A01', '002', '12', '112', '1'), ('B''02', '001', '15', '107', '1')"),
    };
    for (const QString &sql : statements) {
        QSqlQuery query(setup);
        QVERIFY2(query.exec(sql), qPrintable(query.lastError().text() + QStringLiteral(" in ") + sql));
    }
}

void tst_MariaDb::cleanupTestCase()
{
    QVERIFY(m_server.stop());
}

void tst_MariaDb::writeTill(AppFolder &app, const QString &orgCode, const QString &posNo, const QString &databaseName)
{
    app.writeIni(QStringLiteral("TwCouponPay5.ini"), {{QStringLiteral("Config/SysType"), QStringLiteral("GEN6")}});
    app.writeIni(QStringLiteral("config.ini"),
                 {{QStringLiteral("Config/OrgCode"), orgCode},
                  {QStringLiteral("Config/PosNo"), posNo},
                  {QStringLiteral("DataBase/DbType"), QStringLiteral("mysql")},
                  {QStringLiteral("DataBase/ServiceName"), QStringLiteral("localhost")},
                  {QStringLiteral("DataBase/DBName"), databaseName},
                  {QStringLiteral("DataBase/UserName"), QStringLiteral("root")},
                  {QStringLiteral("DataBase/Password"), QString()}});
}

bool tst_MariaDb::openPosDb(PosDB &db, QString &message)
{
    db.createConnection(QStringLiteral("mysql"));
    db.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + m_server.socket());
    return db.initDb(message);
}

void tst_MariaDb::mysqlConnectionReachesThePrivateServer()
{
    AppFolder app;
    writeTill(app, QStringLiteral("A01"), QStringLiteral("001"));
    PosDB db;
    QString message;
    QVERIFY2(openPosDb(db, message), qPrintable(message));
    QVERIFY(db.isOpen());
    QCOMPARE(db.activeType(), QStringLiteral("MYSQL"));
    QCOMPARE(db.lastDatabase(), QStringLiteral("pos"));
    QVERIFY(!db.openFailed());

    QSqlQuery query;
    QVERIFY2(db.openRecordset(QStringLiteral("SELECT @@socket, @@port, DATABASE()"), query, message), qPrintable(message));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), m_server.socket());
    QCOMPARE(query.value(1).toInt(), m_server.port());
    QCOMPARE(query.value(2).toString(), QStringLiteral("pos"));
}

void tst_MariaDb::namesAreSetToUtf8_data()
{
    QTest::addColumn<QString>("variable");
    QTest::addColumn<QString>("value");
    // MariaDB 10.6 and later call the three-byte "utf8" by its full name.
    QTest::newRow("client") << QStringLiteral("character_set_client") << QStringLiteral("utf8mb3");
    QTest::newRow("connection") << QStringLiteral("character_set_connection") << QStringLiteral("utf8mb3");
    QTest::newRow("results") << QStringLiteral("character_set_results") << QStringLiteral("utf8mb3");
}

void tst_MariaDb::namesAreSetToUtf8()
{
    QFETCH(QString, variable);
    QFETCH(QString, value);
    const QString sql = QStringLiteral("SHOW VARIABLES LIKE '%1'").arg(variable);

    AppFolder app;
    writeTill(app, QStringLiteral("A01"), QStringLiteral("001"));
    PosDB db;
    QString message;
    QVERIFY2(openPosDb(db, message), qPrintable(message));
    QSqlQuery query;
    QVERIFY2(db.openRecordset(sql, query, message), qPrintable(message));
    QVERIFY(query.next());
    QCOMPARE(query.value(0).toString(), variable);
    QCOMPARE(query.value(1).toString(), value);
}

void tst_MariaDb::setNamesRunsOnTheConnectionItself()
{
    AppFolder app;
    writeTill(app, QStringLiteral("A01"), QStringLiteral("001"));
    PosDB db;
    QString message;
    QVERIFY2(openPosDb(db, message), qPrintable(message));
    QSqlQuery query;
    QVERIFY2(db.openRecordset(QStringLiteral("SELECT CONNECTION_ID()"), query, message), qPrintable(message));
    QVERIFY(query.next());
    const QString id = query.value(0).toString();

    // The server's log names the connection of every statement: the quoted statement must have
    // come through this very connection, not through another client of the server.
    QFile log(m_server.generalLogPath());
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    const QRegularExpression ours(QStringLiteral("\\s%1\\s+Query\\s+SET NAMES 'utf8'\\n").arg(id));
    QVERIFY2(text.contains(ours), qPrintable(text.right(2000)));
}

void tst_MariaDb::openFailureCarriesTheServerText()
{
    AppFolder app;
    writeTill(app, QStringLiteral("A01"), QStringLiteral("001"), QStringLiteral("nopos"));
    PosDB db;
    QString message;
    QVERIFY(!openPosDb(db, message));
    QVERIFY(db.openFailed());
    QVERIFY2(message.startsWith(QStringLiteral("Unknown database 'nopos'")), qPrintable(message));
    QVERIFY2(message.endsWith(QStringLiteral("数据库打开失败！")), qPrintable(message));
}

void tst_MariaDb::keyLookupsThroughTheController_data()
{
    QTest::addColumn<QString>("orgCode");
    QTest::addColumn<QString>("posNo");
    QTest::addColumn<int>("scanCode");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("funcValue");
    QTest::addColumn<QString>("error");

    QTest::newRow("till override wins") << "A01" << "001" << 24 << true << "115" << QString();
    QTest::newRow("no override for this till") << "A01" << "001" << 12 << true << "110" << QString();
    QTest::newRow("override of another till") << "A01" << "002" << 12 << true << "112" << QString();
    QTest::newRow("other organisation") << "C03" << "001" << 24 << true << "107" << QString();
    // Bound, not spliced: a quote in the configured organisation still finds its row.
    QTest::newRow("quote in organisation") << "B'02" << "001" << 15 << true << "107" << QString();
    QTest::newRow("text function value") << "A01" << "001" << 30 << true << "abc" << QString();
    QTest::newRow("no key definition") << "A01" << "001" << 99 << false << QString()
        << "未查找到相应记录！函数:openRecordset||执行:select FuncValue, KeyType from tPosKeyDef where ScanCode=99||"
           " TwPosConfig-KeyBoardGetFuncCode";
}

void tst_MariaDb::keyLookupsThroughTheController()
{
    QFETCH(QString, orgCode);
    QFETCH(QString, posNo);
    QFETCH(int, scanCode);
    QFETCH(bool, found);
    QFETCH(QString, funcValue);
    QFETCH(QString, error);

    AppFolder app;
    writeTill(app, orgCode, posNo);
    VipCouponCPU cpu;
    cpu.m_PosDB.createConnection(QStringLiteral("mysql"));
    cpu.m_PosDB.setConnectOptions(QStringLiteral("UNIX_SOCKET=") + m_server.socket());
    QString message;
    QVERIFY2(cpu.Initialize(message), qPrintable(message));
    QCOMPARE(cpu.m_sOrgCode, orgCode);

    QString value;
    QString lookupError;
    QCOMPARE(cpu.KeyBoardGetFuncCode(scanCode, value, lookupError), found);
    QCOMPARE(value, funcValue);
    QCOMPARE(lookupError, error);
}

void tst_MariaDb::openRecordsetTraces_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("closeFirst");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("firstValue");
    QTest::addColumn<QString>("messageEnd");

    QTest::newRow("rows") << "select FuncValue from tPosKeyDef where ScanCode=24" << false << true << "107" << QString();
    QTest::newRow("no rows") << "select FuncValue from tPosKeyDef where ScanCode=1" << false << true << QString() << QString();
    QTest::newRow("syntax error") << "selec FuncValue from tPosKeyDef" << false << false << QString()
        << "Unable to execute query";
    QTest::newRow("missing table") << "select * from tNoSuchTable" << false << false << QString()
        << "Unable to execute query";
    QTest::newRow("closed connection") << "select 1" << true << false << QString() << " DataBase is not opened!";
}

void tst_MariaDb::openRecordsetTraces()
{
    QFETCH(QString, sql);
    QFETCH(bool, closeFirst);
    QFETCH(bool, succeeds);
    QFETCH(QString, firstValue);
    QFETCH(QString, messageEnd);

    AppFolder app;
    writeTill(app, QStringLiteral("A01"), QStringLiteral("001"));
    PosDB db;
    QString message;
    QVERIFY2(openPosDb(db, message), qPrintable(message));
    if (closeFirst)
        db.close();

    QSqlQuery query;
    QCOMPARE(db.openRecordset(sql, query, message), succeeds);
    const QString trace = QStringLiteral("函数:openRecordset||执行:") + sql + QStringLiteral("||");
    if (succeeds) {
        QCOMPARE(message, trace);
        QCOMPARE(query.next(), !firstValue.isEmpty());
        if (!firstValue.isEmpty())
            QCOMPARE(query.value(0).toString(), firstValue);
    } else {
        QVERIFY2(message.startsWith(trace), qPrintable(message));
        QVERIFY2(message.endsWith(messageEnd), qPrintable(message));
        QVERIFY(!query.isActive());
    }
}

QTEST_MAIN(tst_MariaDb)
#include "tst_mariadb.moc"
