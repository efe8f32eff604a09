// The library loaded into a Qt console program: its application object cannot carry windows,
// so every call must be refused with a message instead of ending the host's process.
#include <dlfcn.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_ConsoleHost : public QObject
{
    Q_OBJECT
private slots:
    void callIsRefusedAndLogged();
};

void tst_ConsoleHost::callIsRefusedAndLogged()
{
    QTemporaryDir workDir;
    QVERIFY(QDir::setCurrent(workDir.path()));
    void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(library, dlerror());
    using CardTrans =
        int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *, char *);
    auto entry = reinterpret_cast<CardTrans>(dlsym(library, "TwCardTrans"));
    QVERIFY(entry);

    QByteArray header("<root><txn_type>SALE</txn_type></root>");
    QByteArray empty("");
    QByteArray out[7];
    for (QByteArray &buffer : out)
        buffer.fill('\0', 4096);
    QCOMPARE(entry(header.data(), empty.data(), empty.data(), empty.data(), out[0].data(), out[1].data(), out[2].data(),
                   out[3].data(), out[4].data(), out[5].data(), out[6].data(), empty.data()),
             1);
    QCOMPARE(out[0].constData(), "111111");
    QCOMPARE(QString::fromLocal8Bit(out[1].constData()),
             "动态库无法显示界面（宿主程序的Qt环境不支持窗口），请联系管理员处理");
    QFile log("LOG/PayLog" + QDate::currentDate().toString("yyyyMMdd") + ".txt");
    QVERIFY(log.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromLocal8Bit(log.readAll())
                .contains(QStringLiteral(
                    "内容：无法创建界面环境：宿主程序的Qt应用对象是QCoreApplication，不是QApplication，不能显示窗口")));
    QCOMPARE(QCoreApplication::instance()->metaObject()->className(), "QCoreApplication");
}

QTEST_GUILESS_MAIN(tst_ConsoleHost)
#include "tst_consolehost.moc"
