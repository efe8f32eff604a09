// The till trusts the store's CA named by OpenSSL's trust variables; an unverified certificate stops the call unsent.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "helpers/simprocess.h"
#include "helpers/tillfolder.h"

class tst_Tls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        const QString req = "req -x509 -nodes -days 2 -subj /CN=";
        const QString issued = req
            + "scrm -CA store/ca.pem -CAkey ca.key -addext basicConstraints=CA:FALSE -addext "
              "subjectAltName=";
        QVERIFY(QDir(m_dir.path()).mkpath("store"));
        QProcess openssl;
        openssl.setWorkingDirectory(m_dir.path());
        // The store's CA in a hashed folder as update-ca-certificates leaves it, and two it issued.
        for (const QString &args :
             {req + "store-ca -keyout ca.key -out store/ca.pem",
              issued + "IP:127.0.0.1 -keyout server.key -out server.pem",
              issued + "DNS:scrm.example -keyout misnamed.key -out misnamed.pem", QString("rehash store")}) {
            openssl.start("openssl", args.split(' '));
            QVERIFY2(openssl.waitForFinished(30000) && openssl.exitCode() == 0,
                     openssl.readAllStandardError().constData());
        }
    }

    void certificateDecides_data()
    {
        QTest::addColumn<QString>("cert");
        QTest::addColumn<QString>("trustFile");
        QTest::addColumn<QString>("trustDir");
        QTest::addColumn<QString>("outcome"); // the reply, or "!" and the message
        const QString ca = "store/ca.pem", ok = "{\"code\":\"0\"}",
                      failed = "!网络错误，请再次尝试或联系管理员处理。错误代码:6 SSL handshake failed";
        QTest::newRow("store CA named by file") << "server" << ca << QString() << ok;
        QTest::newRow("store CA in a named folder") << "server" << QString() << "store:/nonexistent" << ok;
        QTest::newRow("store CA not named") << "server" << QString() << QString() << failed;
        QTest::newRow("issued for another name") << "misnamed" << ca << QString() << failed;
    }

    void certificateDecides()
    {
        QFETCH(QString, cert);
        QFETCH(QString, trustFile);
        QFETCH(QString, trustDir);
        SimProcess sim(SCRM_SIM_PATH);
        QVERIFY2(sim.startScenario({{"/t/ok", QJsonObject {{"bodyJson", QJsonObject {{"code", "0"}}}}}},
                                   {"--cert", m_dir.filePath(cert + ".pem"), "--key", m_dir.filePath(cert + ".key")}),
                 qPrintable(sim.errorString()));
        for (const auto &[name, value] : {std::pair {"SSL_CERT_FILE", trustFile}, {"SSL_CERT_DIR", trustDir}})
            value.isEmpty() ? qunsetenv(name) : qputenv(name, QFile::encodeName(m_dir.filePath(value)));
        AppFolder app;
        app.writeGen6(sim.baseUrl().replace("http:", "https:"), 2);
        VipCouponCPU cpu;
        QString reply, error;
        const bool ok = cpu.SendRequest("/t/ok", "{\"orgCode\":\"A01\"}", reply, error);
        QTEST(ok ? reply : '!' + error, "outcome");
        QCOMPARE(sim.requests().size(), ok ? 1 : 0);
    }

private:
    QTemporaryDir m_dir;
};
QTEST_MAIN(tst_Tls)
#include "tst_tls.moc"
