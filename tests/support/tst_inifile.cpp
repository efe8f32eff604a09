#include <QTest>
#include <QTextCodec>

#include "support/inifile.h"

class tst_IniFile : public QObject
{
    Q_OBJECT
private slots:
    void valueAsTheHostReadsIt_data();
    void valueAsTheHostReadsIt();
};

void tst_IniFile::valueAsTheHostReadsIt_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // null: missing
    const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("[DataBase]\nDBName=门店库\n"));

    QTest::newRow("names ignore case and spaces") << QByteArray("[ config ]\n  systype = GEN6  \n") << "Config/SysType"
                                                  << "GEN6";
    QTest::newRow("value keeps its case") << QByteArray("[Config]\nSysType=gen6\n") << "Config/SysType"
                                          << "gen6";
    QTest::newRow("comment after a space") << QByteArray("[Config]\nSysType=GEN6 ;till type\n") << "Config/SysType"
                                           << "GEN6";
    QTest::newRow("hash comment after a tab") << QByteArray("[Config]\nSysType=GEN6\t# till\n") << "Config/SysType"
                                              << "GEN6";
    QTest::newRow("semicolon inside a value") << QByteArray("[DataBase]\nPassword=ab;cd#e\n") << "DataBase/Password"
                                              << "ab;cd#e";
    QTest::newRow("quoted value keeps its comment sign")
        << QByteArray("[DataBase]\nPassword=\" a ;b \"\n") << "DataBase/Password"
        << " a ;b ";
    QTest::newRow("backslash kept") << QByteArray("[DataBase]\nServer=POS-01\\SQLEXPRESS\n") << "DataBase/Server"
                                    << "POS-01\\SQLEXPRESS";
    QTest::newRow("first of two keys wins") << QByteArray("[Config]\nUrl=http://a\nUrl=http://b\n") << "Config/Url"
                                            << "http://a";
    QTest::newRow("other section's key") << QByteArray("[Other]\nUrl=x\n[Config]\n") << "Config/Url" << QString();
    QTest::newRow("commented-out key") << QByteArray("[Config]\n;Url=x\n") << "Config/Url" << QString();
    QTest::newRow("empty value is not missing") << QByteArray("[Config]\nUrl=\n") << "Config/Url"
                                                << "";
    QTest::newRow("CR LF and BOM") << QByteArray("\xEF\xBB\xBF[Config]\r\nTimeOut=5\r\n") << "Config/TimeOut"
                                   << "5";
    QTest::newRow("GBK file") << gbk << "DataBase/DBName" << QStringLiteral("门店库");
    QTest::newRow("UTF-8 file") << QStringLiteral("[DataBase]\nDBName=门店库\n").toUtf8() << "DataBase/DBName"
                                << QStringLiteral("门店库");
    QTest::newRow("binary garbage") << QByteArray("\x00\xff[Config\x01]=\n", 12) << "Config/Url" << QString();
}

void tst_IniFile::valueAsTheHostReadsIt()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    const QString value = IniFile::value(content, key);
    QCOMPARE(value, expected);
    QCOMPARE(value.isNull(), expected.isNull());
}

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
