#include "support/ProgramRun.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tolvane::test;

namespace {

const QString FailureText = "Firmware Update not successful!!!. Please check all cables connected "
                            "to your wireless modem, and power on/off the modem..";

} // namespace

// The built program against a stand-in modem that misbehaves: each fault ends in an honest
// report, with no crash and no hang.
class ModemFaultsProcessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ProgramRun> m_run;

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_run = std::make_unique<ProgramRun>(m_dir->path());
        QVERIFY(m_run->ok());
    }
    void cleanup()
    {
        m_run.reset();
        m_dir.reset();
    }

    void faultyModem_endsWithAnHonestReport_data()
    {
        QTest::addColumn<QStringList>("modem");
        QTest::addColumn<QString>("errorMessage");
        QTest::addColumn<QString>("newVersion");
        QTest::addColumn<QString>("modemVersion");
        QTest::addColumn<bool>("imagesRemoved");
        // Every upload is cut off, so the cycles run out with the modem where it was.
        QTest::newRow("connection dropped mid-upload")
            << QStringList{"--fault", "drop-upload"} << FailureText << "0.42"
            << "0.39k (Nov 15 2005)" << true;
        // No page arrives within the probe's waits: the modem is never recognised.
        QTest::newRow("pages slower than the waits")
            << QStringList{"--fault", "delay=1500"} << FailureText << "No Data"
            << "0.39k (Nov 15 2005)" << true;
        // No version can be read, so the oldest image is uploaded, cycle after cycle.
        QTest::newRow("status page of garbage")
            << QStringList{"--fault", "garbage-status"} << FailureText << "0.38f"
            << "0.38f (Aug 30 2005)" << true;
        QTest::newRow("version tag beyond the 11,000th character")
            << QStringList{"--fault", "late-version-tag"} << FailureText << "0.38f"
            << "0.38f (Aug 30 2005)" << true;
        // The image is taken, but the modem is still down when it is looked for again; it
        // takes on its new version only once it is up.
        QTest::newRow("restart slower than the progress bar")
            << QStringList{"--restart-seconds", "4000"} << FailureText << "0.42"
            << "0.39k (Nov 15 2005)" << true;
        QTest::newRow("every password refused")
            << QStringList{"--fault", "refuse-passwords"} << "Login Password Incorrect.."
            << "No Data"
            << "0.39k (Nov 15 2005)" << false;
        // An upgrade page without its file field is run by UpgradeProcessTest.
    }
    void faultyModem_endsWithAnHonestReport()
    {
        QFETCH(QStringList, modem);
        QFETCH(QString, errorMessage);
        QFETCH(QString, newVersion);
        QFETCH(QString, modemVersion);
        QFETCH(bool, imagesRemoved);
        ModemProcess stub(m_dir->filePath("modem.json"));
        const QString address = stub.start(modem);
        QVERIFY(!address.isEmpty());
        QVERIFY(m_run->writeAdapters({address}));
        QVERIFY(m_run->run({"-p", "admin"}));

        QCOMPARE(m_run->reported("Firmware_Status"), "Fail");
        QCOMPARE(QString::fromStdString(m_run->reported("Error_Msg")), errorMessage);
        QCOMPARE(QString::fromStdString(m_run->reported("New_Firmware_Version")), newVersion);
        QCOMPARE(stub.version(), modemVersion);
        QCOMPARE(!QFileInfo::exists(m_run->workFolder()), imagesRemoved);
        if (modem.contains("--restart-seconds"))
            QCOMPARE(stub.state()["phase"].toString(), "restarting");
    }
};

QTEST_GUILESS_MAIN(ModemFaultsProcessTest)
#include "ModemFaultsProcessTest.moc"
