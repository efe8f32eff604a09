// A Qt console host cannot show windows: the call is refused instead of ending the process.
#include <dlfcn.h>

#include <QCoreApplication>
#include <QTest>

#include "helpers/tillfolder.h"

class tst_ConsoleHost : public QObject
{
    Q_OBJECT
private slots:
    void callIsRefusedAndLogged()
    {
        const TillFolder till {QString(), QString()};
        QVERIFY(QDir::setCurrent(till.workDir()));
        void *library = dlopen(PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
        QVERIFY2(library, dlerror());
        auto entry = reinterpret_cast<int (*)(char *, char *, char *, char *, char *, char *, char *, char *, char *,
                                              char *, char *, char *)>(dlsym(library, "TwCardTrans"));
        QVERIFY(entry);
        QByteArray p[12] = {"<root><txn_type>SALE</txn_type></root>"}; // 5 to 11 with room, 12 without
        for (int i = 4; i < 11; ++i)
            p[i].fill('\0', 4096);
        auto d = [&p](int i) {
            return p[i].data();
        };
        QCOMPARE(entry(d(0), d(1), d(2), d(3), d(4), d(5), d(6), d(7), d(8), d(9), d(10), d(11)), 1);
        QCOMPARE(p[4].constData(), "111111");
        QCOMPARE(QString::fromLocal8Bit(p[5]), "动态库无法显示界面（宿主程序的Qt环境不支持窗口），请联系管理员处理");
        QVERIFY(till.logText().contains(
            "内容：无法创建界面环境：宿主程序的Qt应用对象是QCoreApplication，不是QApplication，不能显示窗口"));
        QCOMPARE(QCoreApplication::instance()->metaObject()->className(), "QCoreApplication");
    }
};

QTEST_GUILESS_MAIN(tst_ConsoleHost)
#include "tst_consolehost.moc"
