// A short long run: tools/longrun/longrun.sh drives one sample-host process through three cycles of
// five calls (sales by the scripted cashier, returns, cancellations, refusals), checks each call's
// result and samples the stopped host through /proc between calls, as an operator would.
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

class tst_LongRun : public QObject
{
    Q_OBJECT
private slots:
    void manyCallsLeaveNothingBehind()
    {
        QTemporaryDir out;
        QProcess run;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BUILD_DIR", QFileInfo(QStringLiteral(POS_HOST_PATH)).path());
        environment.insert("OUT_DIR", out.path());
        run.setProcessEnvironment(environment);
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start("bash", {QStringLiteral(SAMPLES_DIR "/../tools/longrun/longrun.sh"), "3"});
        // Generous: a hung call shows up as a failure here rather than as the suite's time-out.
        QVERIFY(run.waitForFinished(110000));
        const QString output = QString::fromUtf8(run.readAll());
        QVERIFY2(run.exitCode() == 0, qPrintable(output));
        QVERIFY2(output.contains("longrun: 15 of 15 calls answered, 0 differ from the expected result\n"),
                 qPrintable(output));
        QVERIFY2(output.contains(QStringLiteral("longrun: threads, tasks and files unchanged, no socket or database "
                                                "handle open between calls from call 5 on (4 samples)")),
                 qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(tst_LongRun)
#include "tst_longrun.moc"
