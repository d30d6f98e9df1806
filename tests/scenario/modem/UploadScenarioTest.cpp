#include "support/ScenarioRig.h"
#include "support/Form1Scenario.h"
#include "support/PageServer.h"
#include "support/StandInModem.h"

#include <QJsonArray>
#include <QtTest>

using namespace tolvane;
using test::Form1Scenario;
using test::ScenarioRig;
using test::StandInModem;

namespace {

const std::string PasteFailed = "Can not paste the firmware file into the Update Firmware Page";
const std::string FieldEmpty =
    "The Update Firmware Page did not take the firmware file. The upgrade is stopped.";

std::string upgradeForm(const std::string& inputs)
{
    return "<html><body><form name=webForm method=post enctype=multipart/form-data "
           "action=upgrade.cgi><input type=hidden name=step value=1>" +
           inputs + "</form></body></html>";
}

} // namespace

class UploadScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void upload_sendsTheDeployedImageToTheStandIn_data()
    {
        QTest::addColumn<bool>("miniKernel");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("reporting");
        QTest::newRow("kernel") << false << false << true;
        QTest::newRow("kernel, silent") << false << true << true;
        QTest::newRow("mini kernel") << true << false << true;
        QTest::newRow("mini kernel, silent, not reporting") << true << true << false;
    }
    void upload_sendsTheDeployedImageToTheStandIn()
    {
        QFETCH(bool, miniKernel);
        QFETCH(bool, silent);
        QFETCH(bool, reporting);
        ScenarioRig rig(silent, reporting);
        rig.deploy();
        auto options = StandInModem::instantOptions();
        options.mode = miniKernel ? modemsim::SimMode::Mini : modemsim::SimMode::Kernel;
        StandInModem modem(options);
        Form1Scenario scenario(rig);
        rig.form.ModemAddress = modem.address();
        rig.state.runOptions.Password = "admin";
        rig.state.kernelMode = miniKernel ? KernelMode::MiniKernel : KernelMode::Kernel;
        if (!miniKernel) {
            rig.form.LoginUrl = modem.address() + "/login.stm";
            rig.form.LoginMachine();
        }
        miniKernel ? rig.form.Firmware1() : rig.form.Firmware3();
        const QByteArray image = rig.image();
        QVERIFY(!image.isEmpty());

        rig.form.UpdateFirmware();
        QCOMPARE(rig.reported("Firmware_Status"), reporting ? "Upgrading" : "");
        Pause(1000); // the click's request goes out

        QVERIFY(rig.form.UploadReady);
        QCOMPARE(modem.count(miniKernel ? "GET /upgrade_firm_browse.htm" : "GET /system_f.stm"), 1);
        const QJsonArray accepted = modem.state()["uploads"].toObject()["accepted"].toArray();
        QCOMPARE(accepted.size(), 1);
        QCOMPARE(accepted[0].toObject()["size"].toInteger(), image.size());
        QCOMPARE(accepted[0].toObject()["label"].toString(), miniKernel ? "0.38f" : "0.42");
        QCOMPARE(accepted[0].toObject()["variant"].toString(), "STD");
        QCOMPARE(rig.view.m_keys.m_pastes, 1);
        QVERIFY(rig.view.m_keys.m_clipboard.empty());
        QVERIFY(rig.view.m_windowEverShown);
        QCOMPARE(rig.view.m_activations, 1);
        QVERIFY(rig.view.m_window.topmost);
        QCOMPARE(rig.view.m_window.visible, !silent);
    }

    // Upgrade pages the stand-in never serves.
    void walk_pastesAndClicksAsThePageAllows_data()
    {
        QTest::addColumn<QString>("inputs");
        QTest::addColumn<int>("pastes");
        QTest::addColumn<bool>("uploadReady");
        QTest::addColumn<QString>("submitter"); // the submit input whose request went out
        QTest::addColumn<bool>("fileSent");
        QTest::newRow("two submit inputs: the last click is sent")
            << "<input type=file name=webUpload><input type=submit name=first value=Update>"
               "<input type=submit name=second value=Again>"
            << 1 << true << "second" << true;
        QTest::newRow("tags and types in capitals")
            << "<INPUT TYPE=FILE NAME=webUpload><INPUT TYPE=SUBMIT NAME=go VALUE=Update>" << 1
            << true << "go" << true;
        QTest::newRow("field already holding a value: no paste")
            << "<input type=text name=webUpload value=C:\\old.bin><input type=file "
               "name=webUpload><input type=submit name=go value=Update>"
            << 0 << false << "go" << false;
    }
    void walk_pastesAndClicksAsThePageAllows()
    {
        QFETCH(QString, inputs);
        QFETCH(int, pastes);
        QFETCH(bool, uploadReady);
        QFETCH(QString, submitter);
        QFETCH(bool, fileSent);
        ScenarioRig rig;
        rig.deploy();
        test::PageServer server;
        server.page("/upgrade_firm_browse.htm", upgradeForm(inputs.toStdString()));
        Form1Scenario scenario(rig);
        rig.form.ModemAddress = server.address();
        rig.form.Firmware1();

        rig.form.UpdateFirmware();
        Pause(1000);

        QCOMPARE(rig.view.m_keys.m_pastes, pastes);
        QCOMPARE(rig.form.UploadReady, uploadReady);
        const auto posts = server.posts();
        QCOMPARE(posts.size(), std::size_t(1));
        QCOMPARE(posts[0].path, "/upgrade.cgi");
        QVERIFY(posts[0].fields.count(submitter.toStdString()) == 1);
        QCOMPARE(posts[0].fields.count("first"), std::size_t(0));
        QCOMPARE(posts[0].fileNames.count("webUpload") == 1, fileSent);
        if (fileSent) {
            const auto file = posts[0].fields.equal_range("webUpload").first->second;
            QVERIFY(QByteArray::fromStdString(file) == rig.image());
        }
    }

    void fileInputWithAnotherName_andNoWebUpload_abandonsTheUpload()
    {
        ScenarioRig rig(true);
        rig.deploy();
        test::PageServer server;
        server.page("/upgrade_firm_browse.htm",
                    upgradeForm("<input type=file name=firmware><input type=submit>"));
        Form1Scenario scenario(rig);
        rig.form.ModemAddress = server.address();
        rig.form.Firmware1();

        QVERIFY_THROWS_EXCEPTION(StepError, rig.form.UpdateFirmware());
        Pause(1000);

        QCOMPARE(rig.view.m_keys.m_pastes, 0);
        QVERIFY(!rig.form.UploadReady);
        QVERIFY(server.posts().empty());
        QVERIFY(!rig.view.m_window.visible); // silent: out of sight again
        QVERIFY(rig.imagesOnDisk());
    }

    void submitMetWithTheFieldEmpty_endsTheRunReportedWithTheImagesRemoved()
    {
        ScenarioRig rig;
        rig.deploy();
        test::PageServer server;
        server.page("/upgrade_firm_browse.htm",
                    upgradeForm("<input type=text name=webUpload><input type=file name=firmware>"
                                "<input type=submit>"));
        Form1Scenario scenario(rig);
        rig.form.ModemAddress = server.address();
        rig.form.Firmware1();

        QVERIFY(test::Form1Rig::ends([&] { rig.form.UpdateFirmware(); }));

        QVERIFY(server.posts().empty());
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
        QCOMPARE(rig.reported("Error_Msg"), FieldEmpty);
        QVERIFY(!rig.imagesOnDisk());
        QCOMPARE(rig.view.m_unloads, 1);
        QCOMPARE(rig.view.shown().size(), std::size_t(1));
        QCOMPARE(rig.view.shown()[0].text, FieldEmpty);
    }

    void pasteThatNeverLands_givesUpAfterFiveAttemptsWithoutSending()
    {
        ScenarioRig rig(true);
        rig.deploy();
        auto options = StandInModem::instantOptions();
        options.mode = modemsim::SimMode::Mini;
        StandInModem modem(options);
        Form1Scenario scenario(rig);
        rig.view.m_keys.m_deliver = nullptr; // another program holds the keyboard
        rig.form.ModemAddress = modem.address();
        rig.state.kernelMode = KernelMode::MiniKernel;
        rig.form.Firmware1();

        rig.form.UpdateFirmware();
        Pause(1000);

        QCOMPARE(rig.view.m_keys.m_pastes, 5);
        QVERIFY(!rig.form.UploadReady);
        QCOMPARE(modem.count("POST /upgrade.cgi"), 0);
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
        QCOMPARE(rig.reported("Error_Msg"), PasteFailed);
        QVERIFY(!rig.view.m_window.visible);
        QVERIFY(rig.imagesOnDisk());
    }
};

QTEST_GUILESS_MAIN(UploadScenarioTest)
#include "UploadScenarioTest.moc"
