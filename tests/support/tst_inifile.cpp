#include <QTest>
#include <QTextCodec>

#include "support/inifile.h"

class tst_IniFile : public QObject
{
    Q_OBJECT
private slots:
    void valueAsTheHostReadsIt_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // of Config/Url; null: missing
        const QByteArray gbk = QTextCodec::codecForName("GBK")->fromUnicode(QStringLiteral("[Config]\nUrl=门店库\n"));
        QTest::newRow("BOM, names ignore case and spaces, value keeps its case")
            << QByteArray("\xEF\xBB\xBF[ config ]\n  url = GeN6  \n") << "GeN6";
        QTest::newRow("signs inside a value") << QByteArray("[Config]\nUrl=a;b#c\\d\n") << "a;b#c\\d";
        QTest::newRow("quoted value, then a comment") << QByteArray("[Config]\nUrl=\" a ;b \" ;c\n") << " a ;b ";
        QTest::newRow("# after a tab, first key wins") << QByteArray("[Config]\nUrl=a\t# b\nUrl=c\n") << "a";
        QTest::newRow("other section's key, commented-out key")
            << QByteArray("[Other]\nUrl=x\n[Config]\n;Url=y\n") << QString();
        QTest::newRow("empty value is not missing") << QByteArray("[Config]\nUrl=\n") << "";
        QTest::newRow("UTF-8 file, CR LF") << QStringLiteral("[Config]\r\nUrl=门店库\r\n").toUtf8() << "门店库";
        QTest::newRow("GBK file") << gbk << "门店库";
        QTest::newRow("binary garbage") << QByteArray("\x00\xff[Config\x01]=\n", 12) << QString();
    }

    void valueAsTheHostReadsIt()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        const QString value = IniFile::value(content, "Config/Url");
        QCOMPARE(value, expected);
        QCOMPARE(value.isNull(), expected.isNull());
    }
};

QTEST_GUILESS_MAIN(tst_IniFile)
#include "tst_inifile.moc"
