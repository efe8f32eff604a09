// An https server address: the till trusts its store's own certificate authority named through
// OpenSSL's trust store variables, and a certificate that does not verify stops the call before
// any request is sent. The openssl command makes the certificates for each run.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "support/appfolder.h"
#include "support/simprocess.h"

class tst_Tls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void certificateDecides_data();
    void certificateDecides();

private:
    bool openssl(const QString &arguments);
    QString file(const QString &name) const { return name.isEmpty() ? QString() : m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error;
};

namespace {
void setVariable(const char *name, const QString &path)
{
    if (path.isEmpty())
        qunsetenv(name);
    else
        qputenv(name, QFile::encodeName(path));
}

void setTrust(const QString &certFile, const QString &certDir)
{
    setVariable("SSL_CERT_FILE", certFile);
    setVariable("SSL_CERT_DIR", certDir);
}
}

bool tst_Tls::openssl(const QString &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), arguments.split(QLatin1Char(' ')));
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    m_error = QStringLiteral("openssl ") + arguments + QStringLiteral(": ") + QString::fromLocal8Bit(process.readAllStandardError());
    return false;
}

void tst_Tls::initTestCase()
{
    QVERIFY(m_dir.isValid());
    const QString key = QStringLiteral("-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -keyout ");
    for (const QString &ca : {QStringLiteral("store-ca"), QStringLiteral("other-ca")})
        QVERIFY2(openssl("req -x509 " + key + ca + ".key -out " + ca + ".pem -days 2 -subj /CN=" + ca), qPrintable(m_error));
    // name: issuing CA and subject alternative names
    const QList<QStringList> servers{{"server", "store-ca", "IP:127.0.0.1,DNS:localhost"},
                                     {"stranger", "other-ca", "IP:127.0.0.1"},
                                     {"misnamed", "store-ca", "DNS:scrm.example"}};
    for (const QStringList &s : servers) {
        QFile extensions(file(s[0] + ".cnf"));
        QVERIFY(extensions.open(QIODevice::WriteOnly));
        extensions.write("basicConstraints=CA:FALSE\nsubjectAltName=" + s[2].toUtf8() + '\n');
        extensions.close();
        QVERIFY2(openssl("req " + key + s[0] + ".key -out " + s[0] + ".csr -subj /CN=scrm"), qPrintable(m_error));
        QVERIFY2(openssl("x509 -req -in " + s[0] + ".csr -CA " + s[1] + ".pem -CAkey " + s[1] + ".key -CAcreateserial -out " + s[0]
                         + ".pem -days 2 -extfile " + s[0] + ".cnf"),
                 qPrintable(m_error));
    }
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("store")));
    QVERIFY(QFile::copy(file("store-ca.pem"), file("store/store-ca.pem")));
    QVERIFY2(openssl("rehash " + file("store")), qPrintable(m_error));
}

void tst_Tls::cleanup()
{
    setTrust(QString(), QString());
}

void tst_Tls::certificateDecides_data()
{
    QTest::addColumn<QString>("serverCert");
    QTest::addColumn<QString>("trustFile");
    QTest::addColumn<QString>("trustDir");
    QTest::addColumn<QString>("outcome");   // the reply, or "!" and the cashier's message
    const QString failed = QStringLiteral("!网络错误，请再次尝试或联系管理员处理。错误代码:6 SSL handshake failed");
    QTest::newRow("store CA named by file") << "server" << "store-ca.pem" << "" << "{\"code\":\"0\"}";
    // A hashed folder, as update-ca-certificates and c_rehash leave them; one folder may be missing.
    QTest::newRow("store CA in a named folder") << "server" << "" << "store:/nonexistent" << "{\"code\":\"0\"}";
    QTest::newRow("store CA not named") << "server" << "" << "" << failed;
    QTest::newRow("issued by another CA") << "stranger" << "store-ca.pem" << "" << failed;
    QTest::newRow("issued for another name") << "misnamed" << "store-ca.pem" << "" << failed;
}

void tst_Tls::certificateDecides()
{
    QFETCH(QString, serverCert);
    QFETCH(QString, trustFile);
    QFETCH(QString, trustDir);
    QFETCH(QString, outcome);
    SimProcess sim(QStringLiteral(SCRM_SIM_PATH));
    QVERIFY2(sim.startScenario({{"/t/ok", QJsonObject{{"bodyJson", QJsonObject{{"code", "0"}}}}}},
                               {"--cert", file(serverCert + ".pem"), "--key", file(serverCert + ".key")}),
             qPrintable(sim.errorString()));
    setTrust(file(trustFile), file(trustDir));
    const QString url = QStringLiteral("https://127.0.0.1:%1").arg(sim.port());
    AppFolder app;
    app.writeGen6(url, 2);

    VipCouponCPU cpu;
    QString reply;
    QString error;
    const bool ok = cpu.SendRequest(QStringLiteral("/t/ok"), QStringLiteral("{\"orgCode\":\"A01\"}"), reply, error);
    QCOMPARE(ok ? reply : QLatin1Char('!') + error, outcome);
    // A server that did not prove itself never sees the request.
    QCOMPARE(sim.requests().size(), ok ? 1 : 0);
    QVERIFY(app.logText().contains(QStringLiteral("位置：请求地址\n内容：") + url + QStringLiteral("/t/ok")));
}

QTEST_MAIN(tst_Tls)
#include "tst_tls.moc"
