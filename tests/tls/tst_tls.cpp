// An https server address: the till trusts its store's own certificate authority through the
// trust store variables, and a certificate that does not verify stops the call before any
// request is sent. Certificates are made with the openssl command for each run.
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include "entry/vipcouponcpu.h"
#include "gateway/transport.h"
#include "support/appfolder.h"
#include "support/simprocess.h"
#include "support/testsupport.h"
#include "support/tillfolder.h"

class tst_Tls : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void trustStoreCertificates();
    void certificateDecides_data();
    void certificateDecides();
    void hostCancelsOverHttps();

private:
    bool openssl(const QStringList &arguments);
    bool makeCa(const QString &name, const QString &subject);
    bool makeServerCert(const QString &name, const QString &ca, const QString &altNames);
    QString file(const QString &name) const { return m_dir.filePath(name); }

    QTemporaryDir m_dir;
    QString m_error;
};

namespace {
const QString kHandshakeFailed =
    QStringLiteral("网络错误，请再次尝试或联系管理员处理。错误代码:6 SSL handshake failed");

void setTrust(const QString &certFile, const QString &certDir)
{
    if (certFile.isEmpty())
        qunsetenv("SSL_CERT_FILE");
    else
        qputenv("SSL_CERT_FILE", QFile::encodeName(certFile));
    if (certDir.isEmpty())
        qunsetenv("SSL_CERT_DIR");
    else
        qputenv("SSL_CERT_DIR", QFile::encodeName(certDir));
}

QString httpsUrl(const SimProcess &sim)
{
    return QStringLiteral("https://127.0.0.1:%1").arg(sim.port());
}
}

bool tst_Tls::openssl(const QStringList &arguments)
{
    QProcess process;
    process.setWorkingDirectory(m_dir.path());
    process.start(QStringLiteral("openssl"), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_error = QStringLiteral("openssl ") + arguments.join(QLatin1Char(' ')) + QStringLiteral(": ")
                  + QString::fromLocal8Bit(process.readAllStandardError()) + process.errorString();
        return false;
    }
    return true;
}

bool tst_Tls::makeCa(const QString &name, const QString &subject)
{
    return openssl({QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                    QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                    QStringLiteral("-keyout"), name + QStringLiteral(".key"), QStringLiteral("-out"), name + QStringLiteral(".pem"),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), subject});
}

bool tst_Tls::makeServerCert(const QString &name, const QString &ca, const QString &altNames)
{
    QFile extensions(file(name + QStringLiteral(".cnf")));
    if (!extensions.open(QIODevice::WriteOnly))
        return false;
    extensions.write("basicConstraints=CA:FALSE\nsubjectAltName=" + altNames.toUtf8() + '\n');
    extensions.close();
    return openssl({QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                    QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                    name + QStringLiteral(".key"), QStringLiteral("-out"), name + QStringLiteral(".csr"),
                    QStringLiteral("-subj"), QStringLiteral("/CN=scrm test server")})
        && openssl({QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), name + QStringLiteral(".csr"),
                    QStringLiteral("-CA"), ca + QStringLiteral(".pem"), QStringLiteral("-CAkey"), ca + QStringLiteral(".key"),
                    QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), name + QStringLiteral(".pem"),
                    QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), name + QStringLiteral(".cnf")});
}

void tst_Tls::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QVERIFY2(makeCa(QStringLiteral("store-ca"), QStringLiteral("/CN=Store Test CA")), qPrintable(m_error));
    QVERIFY2(makeCa(QStringLiteral("other-ca"), QStringLiteral("/CN=Somebody Else CA")), qPrintable(m_error));
    QVERIFY2(makeServerCert(QStringLiteral("server"), QStringLiteral("store-ca"), QStringLiteral("IP:127.0.0.1,DNS:localhost")),
             qPrintable(m_error));
    QVERIFY2(makeServerCert(QStringLiteral("stranger"), QStringLiteral("other-ca"), QStringLiteral("IP:127.0.0.1")),
             qPrintable(m_error));
    QVERIFY2(makeServerCert(QStringLiteral("misnamed"), QStringLiteral("store-ca"), QStringLiteral("DNS:scrm.example")),
             qPrintable(m_error));
    // A hashed folder, as update-ca-certificates and c_rehash leave them.
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("store")));
    QVERIFY(QFile::copy(file(QStringLiteral("store-ca.pem")), file(QStringLiteral("store/store-ca.pem"))));
    QVERIFY2(openssl({QStringLiteral("rehash"), file(QStringLiteral("store"))}), qPrintable(m_error));
}

void tst_Tls::cleanup()
{
    setTrust(QString(), QString());
}

void tst_Tls::trustStoreCertificates()
{
    const QString storeCa = file(QStringLiteral("store-ca.pem"));
    const QString otherCa = file(QStringLiteral("other-ca.pem"));
    const QString store = file(QStringLiteral("store"));
    auto subjects = [](const QList<QSslCertificate> &certificates) {
        QStringList names;
        for (const QSslCertificate &certificate : certificates)
            names << certificate.subjectInfo(QSslCertificate::CommonName).join(QLatin1Char(','));
        return names;
    };
    QCOMPARE(subjects(Gateway::trustStoreCertificates(storeCa, QString())), QStringList{QStringLiteral("Store Test CA")});
    // The hashed link and the file it points at are one certificate.
    QCOMPARE(subjects(Gateway::trustStoreCertificates(QString(), store)), QStringList{QStringLiteral("Store Test CA")});
    QCOMPARE(subjects(Gateway::trustStoreCertificates(otherCa, store + QStringLiteral(":/nonexistent"))),
             (QStringList{QStringLiteral("Somebody Else CA"), QStringLiteral("Store Test CA")}));
    QCOMPARE(Gateway::trustStoreCertificates(QString(), QString()).size(), 0);
    QCOMPARE(Gateway::trustStoreCertificates(file(QStringLiteral("missing.pem")), QString()).size(), 0);
    // A key is no certificate.
    QCOMPARE(Gateway::trustStoreCertificates(file(QStringLiteral("store-ca.key")), QString()).size(), 0);
}

void tst_Tls::certificateDecides_data()
{
    QTest::addColumn<QString>("serverCert");
    QTest::addColumn<QString>("trustFile");
    QTest::addColumn<QString>("trustDir");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("outcome");
    const QString reply = QStringLiteral("{\"code\":\"0\"}");
    QTest::newRow("store CA named by file") << QStringLiteral("server") << QStringLiteral("store-ca.pem") << QString()
                                            << true << reply;
    QTest::newRow("store CA in a named folder") << QStringLiteral("server") << QString() << QStringLiteral("store")
                                                << true << reply;
    QTest::newRow("store CA not named") << QStringLiteral("server") << QString() << QString() << false << kHandshakeFailed;
    QTest::newRow("issued by another CA") << QStringLiteral("stranger") << QStringLiteral("store-ca.pem") << QString()
                                          << false << kHandshakeFailed;
    QTest::newRow("issued for another name") << QStringLiteral("misnamed") << QStringLiteral("store-ca.pem") << QString()
                                             << false << kHandshakeFailed;
}

void tst_Tls::certificateDecides()
{
    QFETCH(QString, serverCert);
    QFETCH(QString, trustFile);
    QFETCH(QString, trustDir);
    QFETCH(bool, ok);
    QFETCH(QString, outcome);

    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--scenario"), TestSupport::fixturePath(QStringLiteral("faults/transport.json")),
                        QStringLiteral("--cert"), file(serverCert + QStringLiteral(".pem")),
                        QStringLiteral("--key"), file(serverCert + QStringLiteral(".key"))}),
             qPrintable(sim.errorString()));
    setTrust(trustFile.isEmpty() ? QString() : file(trustFile), trustDir.isEmpty() ? QString() : file(trustDir));
    AppFolder app;
    app.writeGen6(httpsUrl(sim), 2);

    VipCouponCPU cpu;
    QString reply;
    QString error;
    QCOMPARE(cpu.SendRequest(QStringLiteral("/t/ok"), QStringLiteral("{\"orgCode\":\"A01\"}"), reply, error), ok);
    QCOMPARE(ok ? reply : error, outcome);
    // A server that did not prove itself never sees the request.
    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), ok ? 1 : 0);
    if (ok)
        QCOMPARE(requests.first().value(QStringLiteral("body")).toString(), QStringLiteral("{\"orgCode\":\"A01\"}"));
    QVERIFY(app.logText().contains(QStringLiteral("位置：请求地址\n内容：") + httpsUrl(sim) + QStringLiteral("/t/ok")));
}

void tst_Tls::hostCancelsOverHttps()
{
    SimProcess sim;
    QVERIFY2(sim.start({QStringLiteral("--wallet"), TestSupport::fixturePath(QStringLiteral("e2e/wallet-consumed.json")),
                        QStringLiteral("--cert"), file(QStringLiteral("server.pem")),
                        QStringLiteral("--key"), file(QStringLiteral("server.key"))}),
             qPrintable(sim.errorString()));
    // The host process inherits the variable, as a till's start script would set it.
    setTrust(file(QStringLiteral("store-ca.pem")), QString());
    TillFolder till;
    QVERIFY(till.isValid());
    till.writeGen6Config(httpsUrl(sim), 2);

    const QString samples = QStringLiteral(SAMPLES_DIR "/cancel/");
    const TillFolder::HostRun run = till.runHost({samples + QStringLiteral("header.xml"), samples + QStringLiteral("goods.xml"),
                                                  samples + QStringLiteral("pay.json"), samples + QStringLiteral("udp2.json")});
    QVERIFY2(run.finished && run.exitCode == 0, qPrintable(run.output));
    QCOMPARE(run.params.value(5), QByteArray("000000"));
    const QList<QJsonObject> requests = sim.requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.first().value(QStringLiteral("path")).toString(), QStringLiteral("/posPortal/offlineCancelCerti"));
    QVERIFY(requests.first().value(QStringLiteral("signatureValid")).toBool());
}

QTEST_MAIN(tst_Tls)
#include "tst_tls.moc"
