#include "support/ProgramRun.h"

#include <QJsonArray>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace tolvane;

namespace {

const std::string FailureText = "Firmware Update not successful!!!. Please check all cables "
                                "connected to your wireless modem, and power on/off the modem..";

// A refused port on loopback: nothing of ours listens there.
QString refusedAddress()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    const QString address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
    probe.close();
    return address;
}

} // namespace

// The built program, run silently with a report key as an installer runs it, against the
// stand-in modem on loopback and simulated adapters; the report is read back from its store.
class UpgradeProcessTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<test::ProgramRun> m_run;
    std::unique_ptr<test::ModemProcess> m_modem;

    QString startModem(const QStringList& options)
    {
        m_modem = std::make_unique<test::ModemProcess>(m_dir->filePath("modem.json"));
        return m_modem->start(options);
    }
    void writeAdapters(const QStringList& gateways) { QVERIFY(m_run->writeAdapters(gateways)); }
    bool upgrade(const QStringList& extra = {}) { return m_run->run(extra, {}, 240000); }
    std::string reported(const char* name) { return m_run->reported(name); }
    QJsonObject modemState() const { return m_modem->state(); }

    QStringList uploadedLabels() const
    {
        QStringList labels;
        const QJsonArray accepted = modemState()["uploads"].toObject()["accepted"].toArray();
        for (const auto& upload : accepted)
            labels << upload.toObject()["label"].toString() + " " +
                          upload.toObject()["variant"].toString();
        return labels;
    }

    bool workFolderGone() const { return !QFileInfo::exists(m_run->workFolder()); }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_run = std::make_unique<test::ProgramRun>(m_dir->path());
        QVERIFY(m_run->ok());
    }
    void cleanup()
    {
        m_modem.reset();
        m_run.reset();
        m_dir.reset();
    }

    void silentUpgrade_reachesTheLatestVersion_data()
    {
        QTest::addColumn<QStringList>("modem");
        QTest::addColumn<QStringList>("images");
        QTest::addColumn<QString>("oldVersion");
        QTest::newRow("from 0.39k, one cycle") << QStringList{"--version", "0.39k (Nov 15 2005)"}
                                               << QStringList{"0.42 STD"} << "0.39k";
        QTest::newRow("from 0.39, two cycles") << QStringList{"--version", "0.39 (Oct 3 2005)"}
                                               << QStringList{"0.38f STD", "0.42 STD"} << "0.39";
        QTest::newRow("from 0.39c, the special image")
            << QStringList{"--version", "0.39c (Oct 20 2005)"} << QStringList{"0.42 SPECIAL"}
            << "0.39c";
        QTest::newRow("mini kernel: saved, restarted, then upgraded")
            << QStringList{"--mode", "mini", "--version", "0.39k (Nov 15 2005)"}
            << QStringList{"0.38f STD", "0.42 STD"} << "0.38f";
    }
    void silentUpgrade_reachesTheLatestVersion()
    {
        QFETCH(QStringList, modem);
        QFETCH(QStringList, images);
        QFETCH(QString, oldVersion);
        const QString address = startModem(modem);
        QVERIFY(!address.isEmpty());
        writeAdapters({address});
        QVERIFY(upgrade({"-p", "admin"}));

        QCOMPARE(modemState()["version"].toString(), "0.42 (Mar 14 2006)");
        QCOMPARE(uploadedLabels(), images);
        QCOMPARE(reported("Firmware_Status"), "Done");
        QCOMPARE(reported("Old_Firmware_Version"), oldVersion.toStdString());
        QCOMPARE(reported("New_Firmware_Version"), "0.42");
        QCOMPARE(reported("Operation_System"), "Failed");
        QCOMPARE(reported("Mac_Address"), "00:17:3F:5A:21:C4");
        QCOMPARE(reported("Error_Msg"), "No Data");
        QVERIFY(workFolderGone());
    }

    void silentRun_reportsEachFailure_data()
    {
        QTest::addColumn<QStringList>("modem");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("errorMessage");
        QTest::addColumn<bool>("imagesRemoved");
        QTest::newRow("already up to date")
            << QStringList{"--version", "0.42 (Mar 14 2006)"} << QStringList{"-p", "admin"}
            << "You already have the latest firmware version 0.42 (Mar 14 2006) .Exit Now!" << true;
        QTest::newRow("password refused")
            << QStringList{} << QStringList{"-p", "wrong"} << "Login Password Incorrect.." << false;
        QTest::newRow("annex B modem") << QStringList{"--annex", "B"} << QStringList{"-p", "admin"}
                                       << "Can not find a KVX4120/07 annex A basestation " << false;
        QTest::newRow("upgrade page without its file field")
            << QStringList{"--fault", "no-file-input"} << QStringList{"-p", "admin"}
            << QString::fromStdString(FailureText) << true;
    }
    void silentRun_reportsEachFailure()
    {
        QFETCH(QStringList, modem);
        QFETCH(QStringList, options);
        QFETCH(QString, errorMessage);
        QFETCH(bool, imagesRemoved);
        const QString address = startModem(modem);
        QVERIFY(!address.isEmpty());
        writeAdapters({address});
        QVERIFY(upgrade(options));
        QCOMPARE(reported("Firmware_Status"), "Fail");
        QCOMPARE(QString::fromStdString(reported("Error_Msg")), errorMessage);
        QCOMPARE(workFolderGone(), imagesRemoved);
        QCOMPARE(modemState()["uploads"].toObject()["accepted"].toArray().size(), 0);
    }

    void silentRun_withoutAModem_reportsTheFailure_data()
    {
        QTest::addColumn<bool>("gateway");
        QTest::newRow("no gateway") << false;
        QTest::newRow("nobody answers, nine attempts") << true;
    }
    void silentRun_withoutAModem_reportsTheFailure()
    {
        QFETCH(bool, gateway);
        writeAdapters({gateway ? refusedAddress() : QString()});
        QVERIFY(upgrade());
        QCOMPARE(reported("Firmware_Status"), "Fail");
        QCOMPARE(reported("Error_Msg"), FailureText);
        QCOMPARE(reported("Old_Firmware_Version"), "No Data");
        QVERIFY(workFolderGone());
    }

    void modemOnTheSecondGateway_isFoundBehindARefusedFirst()
    {
        const QString address = startModem({});
        QVERIFY(!address.isEmpty());
        writeAdapters({refusedAddress(), address});
        QVERIFY(upgrade({"-p", "admin"}));
        QCOMPARE(reported("Firmware_Status"), "Done");
        QCOMPARE(modemState()["version"].toString(), "0.42 (Mar 14 2006)");
    }
};

QTEST_GUILESS_MAIN(UpgradeProcessTest)
#include "UpgradeProcessTest.moc"
