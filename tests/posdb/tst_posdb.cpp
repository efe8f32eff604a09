#include <ctime>
#include <memory>

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include "posdb/posdb.h"
#include "support/appsettings.h"
#include "support/testsupport.h"

using HostDatabase::PosDbConfig;

// Every function gets its own application directory holding the host's INI files and a
// SQLite till database seeded from tests/data/posdb/seed.sql.
class tst_PosDB : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();

    void typeIsUpperCasedForTheDriver_data();
    void typeIsUpperCasedForTheDriver();
    void missingTypeIsReported();
    void typeWithoutDriverCreatesNoConnection();
    void openFailureCarriesTheDriverText_data();
    void openFailureCarriesTheDriverText();
    void connectionNamesAreUniqueAndReused_data();
    void connectionNamesAreUniqueAndReused();
    void sqliteBareNameOpensInTheApplicationDir_data();
    void sqliteBareNameOpensInTheApplicationDir();
    void serverSettingsReachTheConnection_data();
    void serverSettingsReachTheConnection();
    void accessConnectionFile_data();
    void accessConnectionFile();
    void initDbKeepsAnOpenConnection();

    void openRecordsetTraces_data();
    void openRecordsetTraces();
    void closedOrMissingConnectionIsReported_data();
    void closedOrMissingConnectionIsReported();
    void excuteSqlTracesThirtyCharacters_data();
    void excuteSqlTracesThirtyCharacters();
    void boundRecordsetKeepsValuesOutOfTheSql_data();
    void boundRecordsetKeepsValuesOutOfTheSql();
    void procedures_data();
    void procedures();
    void transactions();
    void serverTimeOnSqlite();

    void navigationWalksTheRows();
    void navigationGuards_data();
    void navigationGuards();
    void recordCountLeavesThePosition_data();
    void recordCountLeavesThePosition();
    void getFieldValueConvertsByFormat_data();
    void getFieldValueConvertsByFormat();
    void insertAndUpdateRecord();
    void buildInsertSql();

private:
    QString appDir() const { return m_dir->path(); }
    void writeFile(const QString &name, const QByteArray &content);
    void seedDatabase(const QString &path);
    PosDbConfig sqliteConfig() const;
    static QStringList column(QSqlQuery &query, const QString &name);

    std::unique_ptr<QTemporaryDir> m_dir;
};

Q_DECLARE_METATYPE(PosDbConfig)

namespace {

PosDbConfig serverConfig(const QString &type, const QString &server, const QString &database,
                         int port)
{
    PosDbConfig config;
    config.dbType = type;
    config.server = server;
    config.databaseName = database;
    config.userName = QStringLiteral("till");
    config.password = QStringLiteral("secret");
    config.port = port;
    return config;
}

// A value of the registry's copy of the connection; the copy dies before the PosDB does.
QSqlDatabase registered(const PosDB &db)
{
    return QSqlDatabase::database(db.connectionName(), false);
}

}

void tst_PosDB::initTestCase()
{
    // The server clock test needs local time to differ from UTC, which SQLite reports.
    qputenv("TZ", "CST-8");
    tzset();
}

void tst_PosDB::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    AppSettings::overrideApplicationDir(m_dir->path());
    seedDatabase(m_dir->filePath(QStringLiteral("till.db")));
}

void tst_PosDB::cleanup()
{
    AppSettings::overrideApplicationDir(QString());
    m_dir.reset();
    QVERIFY2(QSqlDatabase::connectionNames().isEmpty(),
             qPrintable(QSqlDatabase::connectionNames().join(QLatin1Char(','))));
}

void tst_PosDB::writeFile(const QString &name, const QByteArray &content)
{
    QFile file(m_dir->filePath(name));
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(name));
    file.write(content);
}

void tst_PosDB::seedDatabase(const QString &path)
{
    const QString name = QStringLiteral("seed");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(path);
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        // One transaction: a sync per statement makes seeding slow on a busy disk.
        QVERIFY(db.transaction());
        const QString script = QString::fromUtf8(TestSupport::fixture("posdb/seed.sql"));
        for (const QString &statement : script.split(QStringLiteral(";\n"), Qt::SkipEmptyParts)) {
            QStringList lines = statement.split(QLatin1Char('\n'));
            lines.erase(std::remove_if(lines.begin(), lines.end(),
                                       [](const QString &l) { return l.startsWith("--"); }),
                        lines.end());
            const QString sql = lines.join(QLatin1Char('\n')).trimmed();
            if (sql.isEmpty())
                continue;
            QSqlQuery query(db);
            QVERIFY2(query.exec(sql), qPrintable(query.lastError().text() + " in " + sql));
        }
        QVERIFY(db.commit());
    }
    QSqlDatabase::removeDatabase(name);
}

PosDbConfig tst_PosDB::sqliteConfig() const
{
    PosDbConfig config;
    config.dbType = QStringLiteral("SQLITE");
    config.databaseName = QStringLiteral("till.db");
    return config;
}

QStringList tst_PosDB::column(QSqlQuery &query, const QString &name)
{
    QStringList values;
    while (query.next())
        values.append(query.value(name).toString());
    return values;
}

// ---- connection ----

void tst_PosDB::typeIsUpperCasedForTheDriver_data()
{
    QTest::addColumn<QByteArray>("dbType");
    QTest::addColumn<QString>("activeType");
    QTest::addColumn<QString>("driver");
    QTest::newRow("mysql") << QByteArray("mysql") << "MYSQL" << "QMYSQL";
    QTest::newRow("sqlite mixed case") << QByteArray("Sqlite") << "SQLITE" << "QSQLITE";
    QTest::newRow("sql server") << QByteArray("sqlserver") << "SQLSERVER" << "QODBC";
    QTest::newRow("oracle") << QByteArray("oracle") << "ORACLE" << "QOCI";
    QTest::newRow("access") << QByteArray("access") << "ACCESS" << "QODBC";
}

void tst_PosDB::typeIsUpperCasedForTheDriver()
{
    QFETCH(QByteArray, dbType);
    writeFile("TwCouponPay5.ini", "[Config]\nSysType=GEN6\n");
    writeFile("config.ini", "[DataBase]\nDbType=" + dbType
                  + "\nServiceName=127.0.0.1\nDBName=till.db\nUserName=u\nPassword=p\n");
    PosDB db;
    QCOMPARE(db.config().dbType, QString::fromLatin1(dbType));
    QString message;
    db.initDb(message);
    QTEST(db.activeType(), "activeType");
    QCOMPARE(db.connectionName(), QStringLiteral("MyDBProcessConn0"));
    QTEST(registered(db).driverName(), "driver");
    QCOMPARE(db.lastDatabase(), QStringLiteral("till.db"));
}

void tst_PosDB::missingTypeIsReported()
{
    writeFile("TwCouponPay5.ini", "[Config]\nSysType=GEN6\n");
    writeFile("config.ini", "[DataBase]\nDBName=till.db\n");
    PosDB db;
    QString message = QStringLiteral("left over");
    QVERIFY(!db.initDb(message));
    QCOMPARE(message, QStringLiteral("未设置数据库类型"));
    QCOMPARE(db.activeType(), QString());
    QCOMPARE(db.connectionName(), QString());
    QVERIFY(!db.isOpen());
}

void tst_PosDB::typeWithoutDriverCreatesNoConnection()
{
    PosDbConfig config = sqliteConfig();
    config.dbType = QStringLiteral("informix");
    PosDB db(config);
    QString message;
    QVERIFY(!db.initDb(message));
    QCOMPARE(message, QStringLiteral("数据库打开失败！"));
    QCOMPARE(db.activeType(), QStringLiteral("INFORMIX"));
    QCOMPARE(db.connectionName(), QString());
    QVERIFY(db.openFailed());
    QVERIFY(QSqlDatabase::connectionNames().isEmpty());

    QSqlQuery result;
    QVERIFY(!db.openRecordset(QStringLiteral("select 1"), result, message));
    QCOMPARE(message, QStringLiteral("Connection is not Created!"));
    QVERIFY(!db.excuteSQL(QStringLiteral("select 1"), message));
    QCOMPARE(message, QStringLiteral("Connection is not Created!"));
}

void tst_PosDB::openFailureCarriesTheDriverText_data()
{
    QTest::addColumn<PosDbConfig>("config");
    QTest::addColumn<QString>("message");   // empty: the driver's own text, then the sentence
    QTest::newRow("mysql without a server")
        << serverConfig("MYSQL", "127.0.0.1", "tillpos", 0) << QString();
    QTest::newRow("mysql without a database")
        << serverConfig("MYSQL", "127.0.0.1", "", 0) << "数据库打开失败！";
    QTest::newRow("oracle without its driver")
        << serverConfig("ORACLE", "db-host", "ORCL", 0)
        << "Driver not loaded Driver not loaded数据库打开失败！";
    PosDbConfig missingFolder = sqliteConfig();
    missingFolder.databaseName = QStringLiteral("/nonexistent-folder/till.db");
    QTest::newRow("sqlite in a missing folder")
        << missingFolder << "unable to open database file Error opening database数据库打开失败！";
}

void tst_PosDB::openFailureCarriesTheDriverText()
{
    QFETCH(PosDbConfig, config);
    QFETCH(QString, message);
    PosDB db(config);
    QString actual;
    QVERIFY(!db.initDb(actual));
    QVERIFY(db.openFailed());
    QVERIFY(!db.isOpen());
    if (message.isEmpty()) {
        const QString driverText = registered(db).lastError().text();
        QVERIFY(!driverText.trimmed().isEmpty());
        QCOMPARE(actual, driverText + QStringLiteral("数据库打开失败！"));
    } else {
        QCOMPARE(actual, message);
    }
}

void tst_PosDB::connectionNamesAreUniqueAndReused_data()
{
    QTest::addColumn<QString>("type");
    QTest::newRow("sqlite") << "SQLITE";
    // No OCI driver on this machine: the connection is registered but not valid.
    QTest::newRow("driver not loaded") << "ORACLE";
}

void tst_PosDB::connectionNamesAreUniqueAndReused()
{
    QFETCH(QString, type);
    PosDbConfig config = sqliteConfig();
    config.dbType = type;
    QString message;
    auto first = std::make_unique<PosDB>(config);
    auto second = std::make_unique<PosDB>(config);
    QCOMPARE(first->connectionName(), QString());
    first->initDb(message);
    second->initDb(message);
    QCOMPARE(first->connectionName(), QStringLiteral("MyDBProcessConn0"));
    QCOMPARE(second->connectionName(), QStringLiteral("MyDBProcessConn1"));
    QCOMPARE(QSqlDatabase::connectionNames().size(), 2);

    first.reset();
    QVERIFY(!QSqlDatabase::contains(QStringLiteral("MyDBProcessConn0")));
    QVERIFY(QSqlDatabase::contains(QStringLiteral("MyDBProcessConn1")));
    PosDB third(config);
    third.initDb(message);
    QCOMPARE(third.connectionName(), QStringLiteral("MyDBProcessConn0"));
    second.reset();
    QVERIFY(QSqlDatabase::contains(QStringLiteral("MyDBProcessConn0")));
}

void tst_PosDB::sqliteBareNameOpensInTheApplicationDir_data()
{
    QTest::addColumn<QString>("name");          // "<other>" stands for a second folder
    QTest::addColumn<QString>("databaseName");  // "<app>" stands for the application directory
    QTest::newRow("bare") << "till.db" << "<app>/till.db";
    QTest::newRow("bare with blanks") << "  till.db  " << "<app>/till.db";
    QTest::newRow("with a slash") << "<other>/till.db" << "<other>/till.db";
}

void tst_PosDB::sqliteBareNameOpensInTheApplicationDir()
{
    QFETCH(QString, name);
    QFETCH(QString, databaseName);
    QTemporaryDir other;
    QVERIFY(other.isValid());
    name.replace(QStringLiteral("<other>"), other.path());
    databaseName.replace(QStringLiteral("<other>"), other.path());
    databaseName.replace(QStringLiteral("<app>"), appDir());
    if (name.startsWith(other.path()))
        seedDatabase(name);
    PosDbConfig config = sqliteConfig();
    config.databaseName = name;
    PosDB db(config);
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QCOMPARE(registered(db).databaseName(), databaseName);
    QSqlQuery result;
    QVERIFY2(db.openRecordset(QStringLiteral("select count(*) as n from tJkPosKeyDef"), result,
                              message),
             qPrintable(message));
    QCOMPARE(column(result, QStringLiteral("n")), QStringList{"5"});
}

void tst_PosDB::serverSettingsReachTheConnection_data()
{
    QTest::addColumn<QString>("opener");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("connectionPort");
    QTest::addColumn<QString>("connectionHost");
    QTest::addColumn<QString>("connectionDatabase");
    QTest::newRow("sql server port 0")
        << "SQLSERVER" << "POS-01\\SQLEXPRESS" << "PosData" << 0 << 1433 << ""
        << "DRIVER={SQL SERVER};SERVER=POS-01\\SQLEXPRESS;DATABASE=PosData";
    QTest::newRow("sql server own port")
        << "SQLSERVER" << "POS-01" << "PosData" << 14330 << 14330 << ""
        << "DRIVER={SQL SERVER};SERVER=POS-01;DATABASE=PosData";
    QTest::newRow("oracle port 0")
        << "ORACLE" << "127.0.0.1" << "ORCL" << 0 << 1521 << "127.0.0.1" << "ORCL";
    QTest::newRow("oracle own port")
        << "ORACLE" << "127.0.0.1" << "ORCL" << 1522 << 1522 << "127.0.0.1" << "ORCL";
    QTest::newRow("access bare file")
        << "ACCESS" << "" << " pos.mdb " << 0 << -1 << ""
        << "DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=<app>/pos.mdb;UID=till;PWD=secret";
    QTest::newRow("access full path")
        << "ACCESS" << "" << "D:\\pos\\pos.mdb" << 0 << -1 << ""
        << "DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=D:\\pos\\pos.mdb;UID=till;PWD=secret";
    QTest::newRow("mysql keeps the driver's port")
        << "MYSQL" << "" << "tillpos" << 3307 << -1 << "localhost" << "tillpos";
}

void tst_PosDB::serverSettingsReachTheConnection()
{
    QFETCH(QString, opener);
    QFETCH(QString, server);
    QFETCH(QString, databaseName);
    QFETCH(int, port);
    QFETCH(QString, connectionDatabase);
    // Qt drops the settings of a connection whose driver is missing, and a till's ODBC or OCI
    // driver need not be installed where this runs: the openers run on a MySQL connection,
    // which keeps the settings and then fails to reach a server.
    PosDB db(serverConfig("MYSQL", server, databaseName, port));
    db.createConnection(QStringLiteral("MYSQL"));
    QString message;
    bool opened = true;
    if (opener == QLatin1String("SQLSERVER"))
        opened = db.openSqlServer(server, databaseName, "till", "secret", message, port);
    else if (opener == QLatin1String("ORACLE"))
        opened = db.openOracle(server, databaseName, "till", "secret", message, port);
    else if (opener == QLatin1String("ACCESS"))
        opened = db.openAccess(databaseName, message, "till", "secret");
    else
        opened = db.initDb(message);
    QVERIFY(!opened);
    QVERIFY(!message.isEmpty());
    const QSqlDatabase connection = registered(db);
    QTEST(connection.port(), "connectionPort");
    QTEST(connection.hostName(), "connectionHost");
    QCOMPARE(connection.databaseName(), connectionDatabase.replace("<app>", appDir()));
    QCOMPARE(connection.userName(), opener == QLatin1String("ACCESS") ? QString() : "till");
}

void tst_PosDB::accessConnectionFile_data()
{
    QTest::addColumn<QString>("sample");          // copied into the application directory
    QTest::addColumn<QString>("databaseName");    // "<app>" stands for the application directory
    QTest::addColumn<bool>("fileRead");
    QTest::newRow("utf-8 file") << "pos_utf8.udl"
        << "DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=C:\\TwPos\\Data\\pos.mdb;"
           "UID=sa;PWD="
        << true;
    QTest::newRow("utf-16 file") << "pos_utf16.udl"
        << "DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=C:\\TwPos\\Data\\pos.mdb;"
           "UID=sa;PWD="
        << true;
    QTest::newRow("utf-16 file, relative path") << "pos_relative_utf16.udl"
        << "DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=<app>/data\\pos.mdb;"
           "UID=sa;PWD="
        << true;
    QTest::newRow("missing file") << "" << "" << false;
}

void tst_PosDB::accessConnectionFile()
{
    QFETCH(QString, sample);
    QFETCH(QString, databaseName);
    const QString fileName = appDir() + QStringLiteral("/pos.udl");
    if (!sample.isEmpty())
        QVERIFY(QFile::copy(TestSupport::fixturePath("posdb/" + sample), fileName));
    {
        // Through the settings: whatever ODBC this machine has, there is no Access driver.
        // A file that cannot be read leaves no driver text in front of the sentence.
        QFETCH(bool, fileRead);
        PosDB db(serverConfig("ACCESS", fileName, "", 0));
        QString message;
        QVERIFY(!db.initDb(message));
        const QString driverText = fileRead ? registered(db).lastError().text() : QString();
        QCOMPARE(fileRead, !driverText.isEmpty());
        QCOMPARE(message, driverText + QStringLiteral("数据库打开失败！"));
    }
    // A MySQL connection keeps the connection string that the file leads to.
    PosDB db(sqliteConfig());
    db.createConnection(QStringLiteral("MYSQL"));
    QString message;
    QVERIFY(!db.openAccessFromFile(fileName, message));
    QCOMPARE(registered(db).databaseName(), databaseName.replace(QStringLiteral("<app>"), appDir()));
    QCOMPARE(message.isEmpty(), sample.isEmpty());
}

void tst_PosDB::initDbKeepsAnOpenConnection()
{
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    // A temporary table lives exactly as long as the session that made it.
    QVERIFY2(db.excuteSQL(QStringLiteral("create temp table tSession (a)"), message),
             qPrintable(message));
    QVERIFY2(db.initDb(message), qPrintable(message));
    QCOMPARE(message, QString());
    QVERIFY(!db.openFailed());
    QSqlQuery result;
    QVERIFY2(db.openRecordset(QStringLiteral("select a from tSession"), result, message),
             qPrintable(message));
    result = QSqlQuery();

    db.close();
    QVERIFY(!db.isOpen());
    QVERIFY2(db.initDb(message), qPrintable(message));
    QVERIFY(db.isOpen());
    QVERIFY(!db.openRecordset(QStringLiteral("select a from tSession"), result, message));
    QCOMPARE(db.connectionName(), QStringLiteral("MyDBProcessConn0"));
}

// ---- statements ----

void tst_PosDB::openRecordsetTraces_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("funcValues");
    QTest::addColumn<int>("position");   // an empty result starts after its (no) last row
    QTest::newRow("one row")
        << "select FuncValue, KeyType from tJkPosKeyDef where ScanCode=38" << true
        << "函数:openRecordset||执行:select FuncValue, KeyType from tJkPosKeyDef where ScanCode=38||"
        << QStringList{"1"} << -1;
    QTest::newRow("no row")
        << "select FuncValue, KeyType from tJkPosKeyDef where ScanCode=0" << true
        << "函数:openRecordset||执行:select FuncValue, KeyType from tJkPosKeyDef where ScanCode=0||"
        << QStringList() << -2;
    QTest::newRow("syntax error")
        << "selec FuncValue from tJkPosKeyDef" << false
        << "函数:openRecordset||执行:selec FuncValue from tJkPosKeyDef||"
           "near \"selec\": syntax error Unable to execute statement"
        << QStringList() << -1;
    QTest::newRow("missing table")
        << "select FuncValue from tPosKeyDef where ScanCode=24" << false
        << "函数:openRecordset||执行:select FuncValue from tPosKeyDef where ScanCode=24||"
           "no such table: tPosKeyDef Unable to execute statement"
        << QStringList() << -1;
}

void tst_PosDB::openRecordsetTraces()
{
    QFETCH(QString, sql);
    QFETCH(QStringList, funcValues);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QSqlQuery result;
    QTEST(db.openRecordset(sql, result, message), "ok");
    QTEST(message, "message");
    // The caller gets the query it ran, failed or not.
    QCOMPARE(result.lastQuery(), sql);
    QTEST(result.at(), "position");
    QCOMPARE(column(result, QStringLiteral("FuncValue")), funcValues);
}

void tst_PosDB::closedOrMissingConnectionIsReported_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("message");
    QTest::newRow("openRecordset")
        << "openRecordset" << "函数:openRecordset||执行:select * from tJkPosKeyDef|| DataBase is not opened!";
    QTest::newRow("bound openRecordset")
        << "bound" << "函数:openRecordset||执行:select * from tJkPosKeyDef|| DataBase is not opened!";
    QTest::newRow("excuteSQL")
        << "excuteSQL" << "函数:excuteSQL||执行:select * from tJkPosKeyDef|| DataBase is not opened!";
    QTest::newRow("exexProc")
        << "exexProc" << "函数:exexProc||执行:up_DayEnd|| DataBase is not opened!";
    QTest::newRow("handle")
        << "handle" << "函数:openRecordset||执行:select * from tJkPosKeyDef|| DataBase is not opened!";
    QTest::newRow("insertRecord")
        << "insertRecord"
        << "函数:insertRecord||执行:INSERT INTO tSaleJournal(code) VALUES (:code)|| DataBase is not opened!";
}

void tst_PosDB::closedOrMissingConnectionIsReported()
{
    QFETCH(QString, operation);
    PosDB db(sqliteConfig());
    const QString sql = QStringLiteral("select * from tJkPosKeyDef");
    QString message;
    QSqlQuery result;
    auto run = [&]() {
        if (operation == QLatin1String("openRecordset"))
            return db.openRecordset(sql, result, message);
        if (operation == QLatin1String("bound"))
            return db.openRecordset(sql, QVariantList{}, result, message, sql);
        if (operation == QLatin1String("excuteSQL"))
            return db.excuteSQL(sql, message);
        if (operation == QLatin1String("exexProc"))
            return db.exexProc(QStringLiteral("up_DayEnd"), message);
        if (operation == QLatin1String("handle"))
            return db.openRecordset(1, sql, message);
        return db.insertRecord(QStringLiteral("tSaleJournal"), {QStringLiteral("code")},
                               QStringLiteral("%s"), {QStringLiteral("A9")}, message);
    };

    QVERIFY(!run());
    QCOMPARE(message, QStringLiteral("Connection is not Created!"));

    QVERIFY2(db.initDb(message), qPrintable(message));
    db.close();
    QVERIFY(!run());
    QTEST(message, "message");
}

void tst_PosDB::excuteSqlTracesThirtyCharacters_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("nameOfA001");
    const QString hundred = QStringLiteral(
        "update tSaleJournal set name='Mineral water 550ml' where code in ('A001','A003','A004') and qty >= 1");
    QTest::newRow("hundred characters") << hundred << true
        << "函数:excuteSQL||执行:update tSaleJournal set name='||" << "Mineral water 550ml";
    QTest::newRow("short") << "delete from tSaleJournal" << true
        << "函数:excuteSQL||执行:delete from tSaleJournal||" << "";
    QTest::newRow("failure")
        << "update tSaleJournal set nam='x'" << false
        << "函数:excuteSQL||执行:update tSaleJournal set nam='x||"
           "no such column: nam Unable to execute statement"
        << "矿泉水";
}

void tst_PosDB::excuteSqlTracesThirtyCharacters()
{
    QFETCH(QString, sql);
    QFETCH(QString, nameOfA001);
    if (QTest::currentDataTag() == QLatin1String("hundred characters"))
        QCOMPARE(sql.size(), 100);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QTEST(db.excuteSQL(sql, message), "ok");
    QTEST(message, "message");
    QSqlQuery result;
    QVERIFY(db.openRecordset(QStringLiteral("select name from tSaleJournal where code='A001'"),
                             result, message));
    const QStringList names = column(result, QStringLiteral("name"));
    QCOMPARE(names, nameOfA001.isEmpty() ? QStringList() : QStringList{nameOfA001});
}

void tst_PosDB::boundRecordsetKeepsValuesOutOfTheSql_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<QVariantList>("values");
    QTest::addColumn<QString>("traceSql");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("funcValues");
    const QString sql = QStringLiteral(
        "select FuncValue from tJkPosKeyDef where ScanCode=? and KeyType=?");
    QTest::newRow("match") << sql << QVariantList{38, "F"}
        << "select FuncValue from tJkPosKeyDef where ScanCode=38 and KeyType='F'" << true
        << "函数:openRecordset||执行:select FuncValue from tJkPosKeyDef where ScanCode=38 and KeyType='F'||"
        << QStringList{"1"};
    QTest::newRow("quote stays a value") << sql << QVariantList{38, "F' or '1'='1"}
        << "select FuncValue from tJkPosKeyDef where ScanCode=38 and KeyType='F' or '1'='1'" << true
        << "函数:openRecordset||执行:select FuncValue from tJkPosKeyDef where ScanCode=38 and KeyType='F' or '1'='1'||"
        << QStringList();
    QTest::newRow("text scan code") << sql << QVariantList{"123", "F"}
        << "select FuncValue from tJkPosKeyDef where ScanCode='123' and KeyType='F'" << true
        << "函数:openRecordset||执行:select FuncValue from tJkPosKeyDef where ScanCode='123' and KeyType='F'||"
        << QStringList{"100"};
    QTest::newRow("bad statement") << "select FuncValue from tNoTable where ScanCode=?"
        << QVariantList{38} << "select FuncValue from tNoTable where ScanCode=38" << false
        << "函数:openRecordset||执行:select FuncValue from tNoTable where ScanCode=38||"
           "no such table: tNoTable Unable to execute statement"
        << QStringList();
}

void tst_PosDB::boundRecordsetKeepsValuesOutOfTheSql()
{
    QFETCH(QString, sql);
    QFETCH(QVariantList, values);
    QFETCH(QString, traceSql);
    QFETCH(QStringList, funcValues);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QSqlQuery result;
    QTEST(db.openRecordset(sql, values, result, message, traceSql), "ok");
    QTEST(message, "message");
    QCOMPARE(column(result, QStringLiteral("FuncValue")), funcValues);
}

void tst_PosDB::procedures_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("withParameters");
    QTest::addColumn<QString>("message");
    QTest::newRow("exexProc on sqlite") << "exexProc" << "up_DayEnd" << false
        << "不支持在数据库类型SQLITE执行存储过程";
    QTest::newRow("with args on sqlite") << "exexProcWithArgs" << "up_DayEnd" << true
        << "不支持在数据库类型SQLITE执行存储过程";
    QTest::newRow("with args, no name") << "exexProcWithArgs" << "" << true
        << "函数:exexProcWithArgs||执行:|| 存储过程名称或参数错误!";
    QTest::newRow("with args, no parameters") << "exexProcWithArgs" << "up_DayEnd" << false
        << "函数:exexProcWithArgs||执行:up_DayEnd|| 存储过程名称或参数错误!";
    QTest::newRow("positional, counts differ") << "exexProcWithValues" << "up_DayEnd" << false
        << "函数:exexProcWithValues||执行:up_DayEnd|| 存储过程名称或参数错误!";
    QTest::newRow("positional, sqlite has no exec") << "exexProcWithValues" << "up_DayEnd" << true
        << "函数:exexProcWithValues||执行:up_DayEnd||near \"exec\": syntax error Unable to execute statement";
}

void tst_PosDB::procedures()
{
    QFETCH(QString, operation);
    QFETCH(QString, name);
    QFETCH(bool, withParameters);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    bool ok = true;
    if (operation == QLatin1String("exexProc")) {
        ok = db.exexProc(name, message);
    } else if (operation == QLatin1String("exexProcWithArgs")) {
        QList<HostDatabase::ProcParam> parameters;
        if (withParameters)
            parameters.append(HostDatabase::ProcParam(QStringLiteral("org"), QStringLiteral("0101"), 1,
                                               QMetaType::QString));
        ok = db.exexProcWithArgs(name, parameters, message);
    } else {
        const QVariantList values = withParameters ? QVariantList{QStringLiteral("0101"), 3}
                                                   : QVariantList{QStringLiteral("0101")};
        ok = db.exexProcWithValues(name, QStringLiteral("%s%d"), values, message);
    }
    QVERIFY(!ok);
    QTEST(message, "message");
}

void tst_PosDB::transactions()
{
    PosDB db(sqliteConfig());
    QVERIFY(!db.beginTransaction());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QVERIFY(!db.commit());   // nothing to commit

    QVERIFY(db.beginTransaction());
    QVERIFY(db.excuteSQL(QStringLiteral("delete from tSaleJournal"), message));
    QVERIFY(db.rollback());
    QSqlQuery result;
    QVERIFY(db.openRecordset(QStringLiteral("select code from tSaleJournal order by code"), result,
                             message));
    QCOMPARE(column(result, QStringLiteral("code")), (QStringList{"A001", "A002"}));

    QVERIFY(db.beginTransaction());
    QVERIFY(db.excuteSQL(QStringLiteral("delete from tSaleJournal where code='A001'"), message));
    QVERIFY(db.commit());
    QVERIFY(db.openRecordset(QStringLiteral("select code from tSaleJournal order by code"), result,
                             message));
    QCOMPARE(column(result, QStringLiteral("code")), QStringList{"A002"});
}

void tst_PosDB::serverTimeOnSqlite()
{
    PosDB db(sqliteConfig());
    // Not connected: the local clock.
    QVERIFY(qAbs(db.getServerTime().secsTo(QDateTime::currentDateTime())) < 600);
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    // SQLite answers in UTC, eight hours behind this test's local zone.
    const QDateTime serverTime = db.getServerTime();
    QVERIFY(serverTime.isValid());
    QCOMPARE(serverTime.time().msec(), 0);
    const qint64 behind = serverTime.secsTo(QDateTime::currentDateTime());
    QVERIFY2(qAbs(behind - 8 * 3600) < 600, qPrintable(QString::number(behind)));
    db.close();
    QVERIFY(qAbs(db.getServerTime().secsTo(QDateTime::currentDateTime())) < 600);
}

// ---- handle recordsets ----

void tst_PosDB::navigationWalksTheRows()
{
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QVERIFY2(db.openRecordset(7, QStringLiteral("select ScanCode from tJkPosKeyDef order by ScanCode"),
                              message),
             qPrintable(message));
    auto current = [&]() {
        QVariantList values;
        return db.getFieldValue(7, {QStringLiteral("ScanCode")}, QStringLiteral("%d"), values)
            ? values.value(0).toInt() : -1;
    };
    QVERIFY(db.isBOF(7));
    QVERIFY(!db.isEOF(7));
    QCOMPARE(current(), -1);
    QVERIFY(db.moveNext(7));
    QCOMPARE(current(), 27);
    QVERIFY(db.moveLast(7));
    QCOMPARE(current(), 123);
    QVERIFY(db.movePrevious(7));
    QCOMPARE(current(), 40);
    QVERIFY(db.move(7, 1));
    QCOMPARE(current(), 32);
    QVERIFY(db.moveFirst(7));
    QCOMPARE(current(), 27);
    QVERIFY(!db.movePrevious(7));
    QVERIFY(db.isBOF(7));
    QVERIFY(db.moveLast(7));
    QVERIFY(!db.moveNext(7));
    QVERIFY(db.isEOF(7));
    QVERIFY(!db.move(7, 5));

    // Reopening a handle replaces its rows.
    QVERIFY(db.openRecordset(7, QStringLiteral("select ScanCode from tJkPosKeyDef where ScanCode>100"),
                             message));
    QCOMPARE(db.recordCount(7), 1);
    db.closeRecordset(7);
    QCOMPARE(db.recordCount(7), -1);
}

void tst_PosDB::navigationGuards_data()
{
    QTest::addColumn<QString>("state");
    QTest::newRow("unknown handle") << "unknown";
    QTest::newRow("failed statement") << "failed";
    QTest::newRow("connection closed") << "closed";
    QTest::newRow("handle closed") << "handleClosed";
}

void tst_PosDB::navigationGuards()
{
    QFETCH(QString, state);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    const QString sql = state == QLatin1String("failed")
        ? QStringLiteral("select nothing from nowhere")
        : QStringLiteral("select ScanCode from tJkPosKeyDef");
    QCOMPARE(db.openRecordset(3, sql, message), state != QLatin1String("failed"));
    const int handle = state == QLatin1String("unknown") ? 4 : 3;
    if (state == QLatin1String("closed"))
        db.close();
    if (state == QLatin1String("handleClosed"))
        db.closeRecordset(3);

    QVERIFY(!db.moveFirst(handle));
    QVERIFY(!db.moveNext(handle));
    QVERIFY(!db.movePrevious(handle));
    QVERIFY(!db.moveLast(handle));
    QVERIFY(!db.move(handle, 0));
    QCOMPARE(db.recordCount(handle), -1);
    QVariantList values;
    QVERIFY(!db.getFieldValue(handle, {QStringLiteral("ScanCode")}, QStringLiteral("%d"), values));
    QVERIFY(values.isEmpty());
    QVERIFY(db.isBOF(handle));
}

void tst_PosDB::recordCountLeavesThePosition_data()
{
    QTest::addColumn<QString>("where");
    QTest::addColumn<int>("row");      // -1 before the first row, -2 after the last
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("bof");
    QTest::addColumn<bool>("eof");
    QTest::newRow("before first") << "" << -1 << 5 << true << false;
    QTest::newRow("first row") << "" << 0 << 5 << false << false;
    QTest::newRow("middle row") << "" << 2 << 5 << false << false;
    QTest::newRow("last row") << "" << 4 << 5 << false << false;
    QTest::newRow("after last") << "" << -2 << 5 << false << true;
    QTest::newRow("no rows") << " where ScanCode=0" << -3 << 0 << false << true;
}

void tst_PosDB::recordCountLeavesThePosition()
{
    QFETCH(QString, where);
    QFETCH(int, row);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QVERIFY(db.openRecordset(1, "select ScanCode from tJkPosKeyDef" + where + " order by ScanCode",
                             message));
    if (row >= 0)
        QVERIFY(db.move(1, row));
    if (row == -2) {   // -3: as opened
        QVERIFY(db.moveLast(1));
        QVERIFY(!db.moveNext(1));
    }
    QTEST(db.recordCount(1), "count");
    QTEST(db.isBOF(1), "bof");
    QTEST(db.isEOF(1), "eof");
    if (row >= 0) {
        const QList<int> scanCodes{27, 32, 38, 40, 123};
        QVariantList values;
        QVERIFY(db.getFieldValue(1, {QStringLiteral("ScanCode")}, QStringLiteral("%d"), values));
        QCOMPARE(values, QVariantList{double(scanCodes.at(row))});
    }
}

void tst_PosDB::getFieldValueConvertsByFormat_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("format");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QVariantList>("values");
    QTest::newRow("every letter")
        << QStringList{"code", "name", "price", "sold", "qty", "photo"} << "%s%s%f%t%i%b" << true
        << QVariantList{QStringLiteral("A001"), QStringLiteral("矿泉水"), 2.5,
                        QDateTime(QDate(2024, 5, 1), QTime(9, 30)), qlonglong(3),
                        QByteArray("\x01\x02")};
    QTest::newRow("number as text") << QStringList{"price"} << "%s" << true
                                    << QVariantList{QStringLiteral("2.5")};
    QTest::newRow("text as integer") << QStringList{"code"} << "%x" << true
                                     << QVariantList{qlonglong(0)};
    QTest::newRow("more fields than letters") << QStringList{"code", "name"} << "%s" << false
                                              << QVariantList();
    QTest::newRow("unknown field") << QStringList{"code", "colour"} << "%s%s" << false
                                   << QVariantList();
}

void tst_PosDB::getFieldValueConvertsByFormat()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, format);
    QFETCH(QVariantList, values);
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    QVERIFY(db.openRecordset(2, QStringLiteral("select * from tSaleJournal order by code"), message));
    QVERIFY(db.moveFirst(2));
    QVariantList actual{QStringLiteral("stale")};
    QTEST(db.getFieldValue(2, fields, format, actual), "ok");
    QCOMPARE(actual, values);
}

void tst_PosDB::insertAndUpdateRecord()
{
    PosDB db(sqliteConfig());
    QString message;
    QVERIFY2(db.initDb(message), qPrintable(message));
    const QStringList fields{"code", "name", "price", "sold", "qty", "photo"};
    QVERIFY2(db.insertRecord(QStringLiteral("tSaleJournal"), fields, QStringLiteral("%s%s%f%t%i%b"),
                             {"B007", "O'Neil 绿茶", "3.20", "2024-06-02T18:05:00", "4",
                              QByteArray("\x00\x7f", 2)},
                             message),
             qPrintable(message));
    QCOMPARE(message, QStringLiteral("函数:insertRecord||执行:INSERT INTO tSaleJournal(code,name,"
                                     "price,sold,qty,photo) VALUES (:code,:name,:price,:sold,:qty,"
                                     ":photo)||"));
    QVERIFY(db.openRecordset(5, QStringLiteral("select * from tSaleJournal where code='B007'"),
                             message));
    QVERIFY(db.moveFirst(5));
    QVariantList values;
    QVERIFY(db.getFieldValue(5, fields, QStringLiteral("%s%s%f%t%i%b"), values));
    QCOMPARE(values, (QVariantList{"B007", "O'Neil 绿茶", 3.2,
                                   QDateTime(QDate(2024, 6, 2), QTime(18, 5)), qlonglong(4),
                                   QByteArray("\x00\x7f", 2)}));

    QVERIFY(!db.insertRecord(QStringLiteral("tSaleJournal"), {"code", "qty"}, QStringLiteral("%s"),
                             {"B008", 1}, message));
    QCOMPARE(message, QStringLiteral("函数:insertRecord||执行:INSERT INTO tSaleJournal(code,qty) "
                                     "VALUES (:code,:qty)|| 字段、格式与值的个数不一致!"));

    QVERIFY2(db.updateRecord(QStringLiteral("tSaleJournal"), {"qty"}, QStringLiteral("%i"), {9},
                             message, QStringLiteral("code='B007'")),
             qPrintable(message));
    QCOMPARE(message, QStringLiteral("函数:updateRecord||执行:UPDATE tSaleJournal SET qty=:qty "
                                     "WHERE code='B007'||"));
    QSqlQuery result;
    QVERIFY(db.openRecordset(QStringLiteral("select qty from tSaleJournal order by code"), result,
                             message));
    QCOMPARE(column(result, QStringLiteral("qty")), (QStringList{"3", "1", "9"}));

    QVERIFY(db.updateRecord(QStringLiteral("tSaleJournal"), {"name", "qty"}, QStringLiteral("%s%d"),
                            {"sold out", "0"}, message));
    QVERIFY(db.openRecordset(QStringLiteral("select name || '/' || qty as line from tSaleJournal"),
                             result, message));
    QCOMPARE(column(result, QStringLiteral("line")),
             (QStringList{"sold out/0", "sold out/0", "sold out/0"}));

    QVERIFY(!db.updateRecord(QStringLiteral("tSaleJournal"), {"colour"}, QStringLiteral("%s"),
                             {"red"}, message));
    QVERIFY2(message.startsWith(QStringLiteral(
                 "函数:updateRecord||执行:UPDATE tSaleJournal SET colour=:colour||no such column")),
             qPrintable(message));
}

void tst_PosDB::buildInsertSql()
{
    PosDB db(sqliteConfig());
    QCOMPARE(db.buildInsertSql(QStringLiteral("tSaleJournal"),
                               {{"code", "A003", true}, {"price", "9.90", false}}),
             QStringLiteral("insert into tSaleJournal(code,price) values('A003',9.90);"));
}

QTEST_GUILESS_MAIN(tst_PosDB)
#include "tst_posdb.moc"
