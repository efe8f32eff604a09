#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "posdb/posdbconfig.h"
#include "support/testsupport.h"

using HostDatabase::PosDbConfig;

class tst_PosDbConfig : public QObject
{
    Q_OBJECT
private slots:
    void readsTheLayoutOfTheSysType_data();
    void readsTheLayoutOfTheSysType();
    void iniValueAsTheHostReadsIt_data();
    void iniValueAsTheHostReadsIt();
    void driverByType_data();
    void driverByType();
    void bareFileNamesLiveInTheApplicationDir_data();
    void bareFileNamesLiveInTheApplicationDir();
    void connectionStrings();
    void missingPortMeansTheUsualOne_data();
    void missingPortMeansTheUsualOne();
    void connectionFileEncodingIsRecognised_data();
    void connectionFileEncodingIsRecognised();
    void accessPathSitsAfterTheSecondEquals_data();
    void accessPathSitsAfterTheSecondEquals();
    void accessPathWithoutDriveIsRelative_data();
    void accessPathWithoutDriveIsRelative();
    void traceText();
};

namespace {

void writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY2(file.open(QIODevice::WriteOnly), qPrintable(path));
    file.write(content);
}

}

void tst_PosDbConfig::readsTheLayoutOfTheSysType_data()
{
    QTest::addColumn<QByteArray>("pluginIni");
    QTest::addColumn<QString>("hostFile");
    QTest::addColumn<QByteArray>("hostIni");
    QTest::addColumn<QString>("dbType");
    QTest::addColumn<QString>("server");
    QTest::addColumn<QString>("databaseName");
    QTest::addColumn<QString>("userName");
    QTest::addColumn<QString>("password");
    QTest::addColumn<int>("port");

    const QByteArray credentials = "UserName=plugin_user\nPassword=plugin_pw\n";
    QTest::newRow("gen6")
        << QByteArray("[Config]\nSysType=GEN6\n" + credentials) << "config.ini"
        << QByteArray("[Config]\nOrgCode=0101\n[DataBase]\nDbType=mysql\nServiceName=10.0.0.5\n"
                      "DBName=tillpos\nUserName=till\nPassword=secret\nPort=3307\n")
        << "mysql" << "10.0.0.5" << "tillpos" << "till" << "secret" << 3307;
    QTest::newRow("gen6 keys missing")
        << QByteArray("[Config]\nSysType=GEN6\n" + credentials) << "config.ini"
        << QByteArray("[DataBase]\nDbType=SQLITE\n")
        << "SQLITE" << "" << "" << "" << "" << 0;
    QTest::newRow("gen6 without config.ini")
        << QByteArray("[Config]\nSysType=GEN6\n" + credentials) << "other.ini" << QByteArray()
        << "" << "" << "" << "" << "" << 0;
    QTest::newRow("gen5")
        << QByteArray("[Config]\nSysType=GEN5\n" + credentials) << "PosCfg.ini"
        << QByteArray("[SQL SERVER]\nLOCAL NAME=POS-01\\SQLEXPRESS\nLOCAL DBNAME=PosData\n")
        << "SQLSERVER" << "POS-01\\SQLEXPRESS" << "PosData" << "plugin_user" << "plugin_pw"
        << 1433;
    QTest::newRow("gen6 as windows writes it")
        << QByteArray("[Config]\r\nSysType=GEN6\r\n") << "config.ini"
        << QByteArray("[DATABASE]\r\ndbtype=SQLSERVER\r\nServiceName=POS-01\\SQLEXPRESS\r\n"
                      "DBName=\"PosData\"\r\nPort= 14330 \r\n")
        << "SQLSERVER" << "POS-01\\SQLEXPRESS" << "PosData" << "" << "" << 14330;
    QTest::newRow("no systype")
        << QByteArray("[Config]\n" + credentials) << "GdPosCfg.ini"
        << QByteArray("[DataBase]\nServer=192.168.1.20\nDbName=GdPos\n")
        << "SQLSERVER" << "192.168.1.20" << "GdPos" << "plugin_user" << "plugin_pw" << 1433;
    QTest::newRow("systype case matters")
        << QByteArray("[Config]\nSysType=gen6\n") << "GdPosCfg.ini"
        << QByteArray("[DataBase]\nServer=gd-server\nDbName=GdPos\n")
        << "SQLSERVER" << "gd-server" << "GdPos" << "" << "" << 1433;
    QTest::newRow("no ini at all")
        << QByteArray() << "nothing.ini" << QByteArray()
        << "SQLSERVER" << "" << "" << "" << "" << 1433;
}

void tst_PosDbConfig::readsTheLayoutOfTheSysType()
{
    QFETCH(QByteArray, pluginIni);
    QFETCH(QString, hostFile);
    QFETCH(QByteArray, hostIni);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (!pluginIni.isEmpty())
        writeFile(dir.filePath("TwCouponPay5.ini"), pluginIni);
    if (!hostIni.isEmpty())
        writeFile(dir.filePath(hostFile), hostIni);

    const PosDbConfig config = HostDatabase::readPosDbConfig(dir.path());

    QTEST(config.dbType, "dbType");
    QTEST(config.server, "server");
    QTEST(config.databaseName, "databaseName");
    QTEST(config.userName, "userName");
    QTEST(config.password, "password");
    QTEST(config.port, "port");
}

void tst_PosDbConfig::iniValueAsTheHostReadsIt_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("found");
    QTest::newRow("plain") << QByteArray("[DataBase]\nServer=gd-server\n") << "DataBase/Server"
                           << "gd-server" << true;
    QTest::newRow("backslash kept") << QByteArray("[SQL SERVER]\r\nLOCAL NAME=POS-01\\SQLEXPRESS\r\n")
                                    << "SQL SERVER/LOCAL NAME" << "POS-01\\SQLEXPRESS" << true;
    QTest::newRow("windows path") << QByteArray("[DataBase]\nServiceName=C:\\TwPos\\pos.udl\n")
                                  << "DataBase/ServiceName" << "C:\\TwPos\\pos.udl" << true;
    QTest::newRow("names ignore case") << QByteArray("[database]\ndbname = PosData \n")
                                       << "DataBase/DbName" << "PosData" << true;
    QTest::newRow("quotes removed") << QByteArray("[Config]\nPassword=\" a;b \"\n")
                                    << "Config/Password" << " a;b " << true;
    QTest::newRow("equals in value") << QByteArray("[Config]\nPassword=a=b\n")
                                     << "Config/Password" << "a=b" << true;
    QTest::newRow("empty value") << QByteArray("[Config]\nPassword=\n") << "Config/Password"
                                 << "" << true;
    QTest::newRow("other section") << QByteArray("[Config]\nServer=x\n[DataBase]\nPort=1\n")
                                   << "DataBase/Server" << "" << false;
    QTest::newRow("commented out") << QByteArray("[Config]\n;SysType=GEN6\n") << "Config/SysType"
                                   << "" << false;
    QTest::newRow("first of two") << QByteArray("[Config]\nSysType=GEN5\nSysType=GEN6\n")
                                  << "Config/SysType" << "GEN5" << true;
    QTest::newRow("gbk text") << QByteArray("[Config]\nName=\xCA\xD5\xD2\xF8\n") << "Config/Name"
                              << "收银" << true;
    QTest::newRow("utf-8 with mark") << QByteArray("\xEF\xBB\xBF[Config]\nName=收银\n")
                                     << "Config/Name" << "收银" << true;
    QTest::newRow("no file") << QByteArray() << "Config/Name" << "" << false;
}

void tst_PosDbConfig::iniValueAsTheHostReadsIt()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(bool, found);
    const QString value = HostDatabase::iniValue(content, key);
    QTEST(value, "value");
    QCOMPARE(!value.isNull(), found);
}

void tst_PosDbConfig::driverByType_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("driver");
    QTest::newRow("sqlite") << "SQLITE" << "QSQLITE";
    QTest::newRow("mysql") << "MYSQL" << "QMYSQL";
    QTest::newRow("sql server") << "SQLSERVER" << "QODBC";
    QTest::newRow("oracle") << "ORACLE" << "QOCI";
    QTest::newRow("access") << "ACCESS" << "QODBC";
    QTest::newRow("lower case is not a type") << "sqlite" << "";
    QTest::newRow("unknown") << "INFORMIX" << "";
    QTest::newRow("empty") << "" << "";
}

void tst_PosDbConfig::driverByType()
{
    QFETCH(QString, type);
    QTEST(HostDatabase::driverForType(type), "driver");
}

void tst_PosDbConfig::bareFileNamesLiveInTheApplicationDir_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("bare") << "pos.db" << "/opt/till/pos.db";
    QTest::newRow("bare with blanks") << "  pos.db \t" << "/opt/till/pos.db";
    QTest::newRow("absolute") << "/var/pos/pos.db" << "/var/pos/pos.db";
    QTest::newRow("relative with slash") << "data/pos.db" << "data/pos.db";
    QTest::newRow("drive letter") << "D:\\pos\\pos.db" << "D:\\pos\\pos.db";
    QTest::newRow("drive without slash") << "D:pos.db" << "D:pos.db";
    QTest::newRow("backslash") << "data\\pos.db" << "data\\pos.db";
    QTest::newRow("memory") << ":memory:" << ":memory:";
    QTest::newRow("trimmed and kept") << " /var/pos/pos.db " << "/var/pos/pos.db";
}

void tst_PosDbConfig::bareFileNamesLiveInTheApplicationDir()
{
    QFETCH(QString, path);
    QTEST(HostDatabase::resolveBareFileName(path, QStringLiteral("/opt/till")), "resolved");
}

void tst_PosDbConfig::connectionStrings()
{
    QCOMPARE(HostDatabase::sqlServerConnectionString(QStringLiteral("POS-01\\SQLEXPRESS"),
                                              QStringLiteral("PosData")),
             QStringLiteral("DRIVER={SQL SERVER};SERVER=POS-01\\SQLEXPRESS;DATABASE=PosData"));
    QCOMPARE(HostDatabase::accessConnectionString(QStringLiteral("C:\\pos.mdb"), QStringLiteral("sa"),
                                           QString()),
             QStringLiteral("DRIVER={Microsoft Access Driver (*.mdb,*.accdb)};DBQ=C:\\pos.mdb;"
                            "UID=sa;PWD="));
}

void tst_PosDbConfig::missingPortMeansTheUsualOne_data()
{
    QTest::addColumn<int>("configured");
    QTest::addColumn<int>("defaultPort");
    QTest::addColumn<int>("port");
    QTest::newRow("sql server unset") << 0 << 1433 << 1433;
    QTest::newRow("oracle unset") << 0 << 1521 << 1521;
    QTest::newRow("negative") << -5 << 1521 << 1521;
    QTest::newRow("lowest real port") << 1 << 1433 << 1;
    QTest::newRow("configured") << 14330 << 1433 << 14330;
}

void tst_PosDbConfig::missingPortMeansTheUsualOne()
{
    QFETCH(int, configured);
    QFETCH(int, defaultPort);
    QTEST(HostDatabase::portOrDefault(configured, defaultPort), "port");
}

void tst_PosDbConfig::connectionFileEncodingIsRecognised_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("utf-8 sample") << TestSupport::fixture("posdb/pos_utf8.udl")
        << "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\TwPos\\Data\\pos.mdb;"
           "Persist Security Info=False\r\n";
    QTest::newRow("utf-16 sample with mark") << TestSupport::fixture("posdb/pos_utf16.udl")
        << "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\TwPos\\Data\\pos.mdb;"
           "Persist Security Info=False\r\n";
    QTest::newRow("utf-16 without mark")
        << QByteArray("P\0=\0x\0;\0", 8) << "P=x;";
    QTest::newRow("utf-16 big endian mark")
        << QByteArray("\xFE\xFF\0P\0=\0x", 8) << "P=x";
    QTest::newRow("utf-8 chinese") << QByteArray("a=b=收银;") << "a=b=收银;";
    QTest::newRow("too short to tell") << QByteArray("P\0=", 3) << QStringLiteral("P\0=");
    QTest::newRow("empty") << QByteArray() << "";
}

void tst_PosDbConfig::connectionFileEncodingIsRecognised()
{
    QFETCH(QByteArray, bytes);
    QTEST(HostDatabase::decodeConnectionFile(bytes), "text");
}

void tst_PosDbConfig::accessPathSitsAfterTheSecondEquals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("path");
    QTest::newRow("udl")
        << "[oledb]\r\n; Everything after this line is an OLE DB initstring\r\n"
           "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=C:\\TwPos\\Data\\pos.mdb;"
           "Persist Security Info=False\r\n"
        << "C:\\TwPos\\Data\\pos.mdb";
    QTest::newRow("no semicolon after") << "Provider=Jet;Data Source= pos.mdb \r\n" << "pos.mdb";
    QTest::newRow("empty value") << "Provider=Jet;Data Source=;x=y" << "";
    QTest::newRow("one equals") << "Provider=Jet;" << "";
    QTest::newRow("no equals") << "[oledb]" << "";
}

void tst_PosDbConfig::accessPathSitsAfterTheSecondEquals()
{
    QFETCH(QString, text);
    QTEST(HostDatabase::accessPathFromConnectionText(text), "path");
}

void tst_PosDbConfig::accessPathWithoutDriveIsRelative_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("resolved");
    QTest::newRow("drive") << "C:\\pos.mdb" << "C:\\pos.mdb";
    QTest::newRow("bare") << "pos.mdb" << "/opt/till/pos.mdb";
    QTest::newRow("sub folder") << "data\\pos.mdb" << "/opt/till/data\\pos.mdb";
}

void tst_PosDbConfig::accessPathWithoutDriveIsRelative()
{
    QFETCH(QString, path);
    QTEST(HostDatabase::resolveAccessPath(path, QStringLiteral("/opt/till")), "resolved");
}

void tst_PosDbConfig::traceText()
{
    QCOMPARE(HostDatabase::traceText(QStringLiteral("excuteSQL"), QStringLiteral("delete from t")),
             QStringLiteral("函数:excuteSQL||执行:delete from t||"));
    QCOMPARE(HostDatabase::traceText(QStringLiteral("openRecordset"), QString()),
             QStringLiteral("函数:openRecordset||执行:||"));
}

QTEST_GUILESS_MAIN(tst_PosDbConfig)
#include "tst_posdbconfig.moc"
