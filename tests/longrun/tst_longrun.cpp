// longrun.sh drives one sample host through three cycles of five calls, checks each result and samples the stopped host
// through /proc between calls.
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
        run.setEnvironment(QProcess::systemEnvironment()
                           << "BUILD_DIR=" + QFileInfo(POS_HOST_PATH).path() << "OUT_DIR=" + out.path());
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start("bash", {SAMPLES_DIR "/../tools/longrun/longrun.sh", "3"});
        QVERIFY(run.waitForFinished(110000)); // a hung call fails here, not on ctest's time-out
        const QString output = QString::fromUtf8(run.readAll());
        QVERIFY2(run.exitCode() == 0
                     && output.contains("longrun: 15 of 15 calls answered, 0 differ from the expected result\n"
                                        "longrun: threads, tasks and files unchanged, no socket or database handle "
                                        "open between calls from call 5 on (4 samples)"),
                 qPrintable(output));
    }
};

QTEST_GUILESS_MAIN(tst_LongRun)
#include "tst_longrun.moc"
