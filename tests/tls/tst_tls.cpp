// An https server address: the till trusts its store's own certificate authority named through OpenSSL's trust store
// variables, and a certificate that does not verify stops the call before any request is sent. The openssl command
// makes the certificates for each run.
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
        const QString key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ";
        QVERIFY2(openssl("req -x509 " + key + "store-ca.key -out store-ca.pem -days 2 -subj /CN=store-ca"),
                 qPrintable(m_error));
        // Both issued by the store's CA, for the server's address and for another name.
        for (const QStringList &server :
             {QStringList {"server", "IP:127.0.0.1,DNS:localhost"}, QStringList {"misnamed", "DNS:scrm.example"}})
            QVERIFY2(openssl("req -x509 " + key + server[0] + ".key -out " + server[0]
                             + ".pem -days 2 -subj /CN=scrm -CA store-ca.pem "
                               "-CAkey store-ca.key -addext basicConstraints=CA:FALSE -addext subjectAltName="
                             + server[1]),
                     qPrintable(m_error));
        QVERIFY(QDir(m_dir.path()).mkpath("store"));
        QVERIFY(QFile::copy(file("store-ca.pem"), file("store/store-ca.pem")));
        QVERIFY2(openssl("rehash " + file("store")), qPrintable(m_error));
    }

    void certificateDecides_data()
    {
        QTest::addColumn<QString>("serverCert");
        QTest::addColumn<QString>("trustFile");
        QTest::addColumn<QString>("trustDir");
        QTest::addColumn<QString>("outcome"); // the reply, or "!" and the cashier's message
        const QString failed = "!网络错误，请再次尝试或联系管理员处理。错误代码:6 SSL handshake failed";
        QTest::newRow("store CA named by file") << "server"
                                                << "store-ca.pem"
                                                << ""
                                                << "{\"code\":\"0\"}";
        // A hashed folder, as update-ca-certificates and c_rehash leave them; one folder may be missing.
        QTest::newRow("store CA in a named folder") << "server"
                                                    << ""
                                                    << "store:/nonexistent"
                                                    << "{\"code\":\"0\"}";
        QTest::newRow("store CA not named") << "server"
                                            << ""
                                            << "" << failed;
        QTest::newRow("issued for another name") << "misnamed"
                                                 << "store-ca.pem"
                                                 << "" << failed;
    }

    void certificateDecides()
    {
        QFETCH(QString, serverCert);
        QFETCH(QString, trustFile);
        QFETCH(QString, trustDir);
        QFETCH(QString, outcome);
        SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
        QVERIFY2(sim.startScenario({{"/t/ok", QJsonObject {{"bodyJson", QJsonObject {{"code", "0"}}}}}},
                                   {"--cert", file(serverCert + ".pem"), "--key", file(serverCert + ".key")}),
                 qPrintable(sim.errorString()));
        trustFile.isEmpty() ? qunsetenv("SSL_CERT_FILE") : qputenv("SSL_CERT_FILE", QFile::encodeName(file(trustFile)));
        trustDir.isEmpty() ? qunsetenv("SSL_CERT_DIR") : qputenv("SSL_CERT_DIR", QFile::encodeName(file(trustDir)));
        AppFolder app;
        app.writeGen6(QStringLiteral("https://127.0.0.1:%1").arg(sim.port()), 2);

        VipCouponCPU cpu;
        QString reply, error;
        const bool ok = cpu.SendRequest("/t/ok", "{\"orgCode\":\"A01\"}", reply, error);
        QCOMPARE(ok ? reply : '!' + error, outcome);
        // A server that did not prove itself never sees the request.
        QCOMPARE(sim.requests().size(), ok ? 1 : 0);
    }

private:
    bool openssl(const QString &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir.path());
        process.start("openssl", arguments.split(' '));
        if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return true;
        m_error = "openssl " + arguments + ": " + QString::fromLocal8Bit(process.readAllStandardError());
        return false;
    }
    QString file(const QString &name) const { return name.isEmpty() ? QString() : m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error; // of the last openssl run
};
QTEST_MAIN(tst_Tls)
#include "tst_tls.moc"
