#include "common/Pause.h"
#include "support/Form1Rig.h"
#include "support/VirtualClock.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

#include <map>

using namespace tolvane;

namespace {

const std::string Settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
const std::string Zone = Settings + "\\Zones\\3";
const std::string ProxyMessage = "You have enabled proxy server in your browser! Please disable "
                                 "proxy server and rerun the utility";
const std::string SpaceMessage =
    "Utility need necessary disk space (Minimum Space : 3 MB) to Upgrade Firmware. Please Make "
    "necessary disk space and rerun the Utility";
constexpr std::int64_t BytesNeeded = 2522494;

// Every key and value in the store, as text, to see what a run changed.
void dump(RegistryStore& store, RegistryStore::Key key, const std::string& path,
          std::map<std::string, std::string>& into)
{
    std::string name;
    for (std::uint32_t i = 0; store.enumValue(key, i, &name) == ERROR_SUCCESS; ++i) {
        std::uint32_t type = 0;
        std::uint32_t size = 64;
        std::uint8_t data[64] = {};
        store.queryValue(key, name, &type, data, &size);
        into[path + "|" + name] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data), size);
    }
    for (std::uint32_t i = 0; store.enumKey(key, i, &name) == ERROR_SUCCESS; ++i) {
        RegistryStore::Key child = 0;
        store.openKey(key, name, KEY_ACCESS, &child);
        into[path + "\\" + name] = "";
        dump(store, child, path + "\\" + name, into);
        store.closeKey(child);
    }
}

std::map<std::string, std::string> everything(RegistryStore& store)
{
    std::map<std::string, std::string> all;
    for (std::uint32_t root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE})
        dump(store, root, std::to_string(root), all);
    return all;
}

struct LoadRig : test::Form1Rig {
    explicit LoadRig(bool silent = false, bool reporting = true)
    {
        state.runOptions.Silent = silent;
        state.runOptions.ReportEnabled = reporting;
        state.runOptions.ReportRoot = HKEY_CURRENT_USER;
        state.runOptions.ReportPath = "Software\\Setup";
    }
    void setting(const std::string& path, const char* name, const std::string& value)
    {
        registry.SetKeyValue(HKEY_CURRENT_USER, path, name, value, ValueKindNumber);
    }
    std::string reported(const char* name)
    {
        return registry.QueryKeyValue(HKEY_CURRENT_USER, "Software\\Setup", name);
    }
    QString workFolder() const { return dir.filePath("C:\\TFWU"); }
    bool load()
    {
        return ends([&] { form.Show(); });
    }
};

} // namespace

class Form1LoadTest : public QObject {
    Q_OBJECT

private slots:
    void load_deploysLaysOutAndChoosesTheDefaultImage()
    {
        LoadRig rig;
        QVERIFY(!rig.load());
        QVERIFY(rig.view.shown().empty());
        QCOMPARE(rig.form.WorkFolder, rig.workFolder().toStdString());
        QCOMPARE(QDir(rig.workFolder()).entryList(QDir::Files, QDir::Name),
                 (QStringList{"38f.bin", "42.bin", "42Special.bin", "logo.bmp"}));
        QCOMPARE(QFileInfo(rig.workFolder() + "/logo.bmp").size(), 3430);
        QCOMPARE(QFileInfo(rig.workFolder() + "/38f.bin").size(), 1184778);
        QCOMPARE(rig.form.ImageVersion, "0.38f");
        QCOMPARE(rig.view.m_picturePath, (rig.workFolder() + "/logo.bmp").toStdString());
        QCOMPARE(rig.diskSpace.m_asked, rig.dir.filePath("C:\\").toStdString());
        QCOMPARE(rig.form.SpaceNeeded, BytesNeeded / 2);

        // The picture is 1680 by 315 twips.
        const auto& image = rig.form.control(Control::Image1);
        QCOMPARE(image.top, 100.0F);
        QCOMPARE(image.left, (1680.0F + 7975.0F) / 2 - 1680.0F);
        QCOMPARE(rig.form.window().width, 7975.0F);
        QCOMPARE(rig.form.window().height, 2415.0F + 315.0F + 700.0F);
        const auto& frame1 = rig.form.control(Control::Frame1);
        const auto& frame2 = rig.form.control(Control::Frame2);
        QCOMPARE(frame1.top, 415.0F);
        QCOMPARE(rig.form.control(Control::lblStatus).top, 3430.0F - 900.0F);
        QCOMPARE((std::array{frame2.left, frame2.top, frame2.width, frame2.height}),
                 (std::array{frame1.left, frame1.top, frame1.width, frame1.height}));
        QVERIFY(frame1.visible && !frame2.visible);
        QVERIFY(!rig.form.control(Control::ProgressLab).visible);
        QVERIFY(!rig.form.control(Control::ProgressLabelback).visible);
        QVERIFY(rig.form.window().visible);
        QCOMPARE(rig.form.control(Control::Label1).caption,
                 "After you click on the 'Start' button, the firmware upgrade will begin.\r\n"
                 " (You need IE Version 5 or above to support this upgrade)");
        QCOMPARE(rig.form.control(Control::Label5).caption,
                 " BEFORE upgrading, please make sure that:\r\n"
                 "  * this PC must be connected either to LAN1,LAN2 or wireless\r\n"
                 "  * in case of wireless, please save the wireless profile of your PC!");
    }

    void load_allowsFormSubmissionOnlyWhenItWouldAsk_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("ask becomes allow") << "1"
                                           << "0";
        QTest::newRow("disable stays") << "3"
                                       << "3";
        QTest::newRow("allow stays") << "0"
                                     << "0";
    }
    void load_allowsFormSubmissionOnlyWhenItWouldAsk()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        LoadRig rig(false, false);
        rig.setting(Zone, "1601", before.toStdString());
        const auto start = everything(rig.store);
        QVERIFY(!rig.load());
        QCOMPARE(
            QString::fromStdString(rig.registry.QueryKeyValue(HKEY_CURRENT_USER, Zone, "1601")),
            after);
        // Without a report key nothing else in the registry changes.
        auto end = everything(rig.store);
        end.erase(std::to_string(HKEY_CURRENT_USER) +
                  "\\Software\\Microsoft\\Windows\\CurrentVersion"
                  "\\Internet Settings\\Zones\\3|1601");
        auto expected = start;
        expected.erase(std::to_string(HKEY_CURRENT_USER) +
                       "\\Software\\Microsoft\\Windows\\"
                       "CurrentVersion\\Internet Settings\\Zones\\3|1601");
        QCOMPARE(end, expected);
        QVERIFY(rig.view.shown().empty());
    }

    void load_withProxy_reportsTellsAndEndsBeforeWriting_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("interactive") << false;
        QTest::newRow("silent") << true;
    }
    void load_withProxy_reportsTellsAndEndsBeforeWriting()
    {
        QFETCH(bool, silent);
        LoadRig rig(silent);
        rig.setting(Settings, "ProxyEnable", "1");
        QVERIFY(rig.load());
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
        QCOMPARE(rig.reported("Error_Msg"), ProxyMessage);
        QCOMPARE(rig.view.shown().size(), silent ? 0U : 1U);
        if (!silent) {
            QCOMPARE(rig.view.shown()[0].text, ProxyMessage);
            QCOMPARE(rig.view.shown()[0].title, "Tolvane");
        }
        QVERIFY(!QFileInfo::exists(rig.workFolder()));
    }

    void load_checksTheSpaceAtItsBoundary_data()
    {
        QTest::addColumn<std::int64_t>("available");
        QTest::addColumn<bool>("passes");
        QTest::newRow("exactly enough") << BytesNeeded << true;
        QTest::newRow("one byte short") << BytesNeeded - 1 << false;
        QTest::newRow("volume cannot be queried") << std::int64_t(-1) << false;
    }
    void load_checksTheSpaceAtItsBoundary()
    {
        QFETCH(std::int64_t, available);
        QFETCH(bool, passes);
        LoadRig rig;
        rig.diskSpace.m_figures = {available, std::int64_t(1) << 34, available};
        if (available < 0) {
            rig.diskSpace.m_ok = false;
            rig.diskSpace.m_figures = {};
        }
        QCOMPARE(rig.load(), !passes);
        QCOMPARE(rig.form.DiskFree, std::max<std::int64_t>(available, 0));
        QCOMPARE(QFileInfo::exists(rig.workFolder()), passes);
        if (!passes) {
            QCOMPARE(rig.reported("Error_Msg"), SpaceMessage);
            QCOMPARE(rig.view.shown().size(), 1U);
            QCOMPARE(rig.view.shown()[0].text, SpaceMessage);
        }
    }

    void load_errorsAreShownOnceReportedAndLoadingGoesOn_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::newRow("interactive") << false;
        QTest::newRow("silent") << true;
    }
    void load_errorsAreShownOnceReportedAndLoadingGoesOn()
    {
        QFETCH(bool, silent);
        LoadRig rig(silent);
        RegistryStore::Key key = 0;
        QCOMPARE(rig.store.openKey(HKEY_CURRENT_USER, Settings, KEY_ACCESS, &key), ERROR_SUCCESS);
        rig.store.deleteValue(key, "ProxyEnable"); // reads as "No Data": not a number
        rig.store.closeKey(key);
        rig.view.m_pictureFails = true;

        QVERIFY(!rig.load());
        QCOMPARE(rig.view.shown().size(), silent ? 0U : 2U);
        if (!silent) {
            QVERIFY(rig.view.shown()[0].text.find("ProxyEnable") != std::string::npos);
            QVERIFY(rig.view.shown()[1].text.find("logo.bmp") != std::string::npos);
        }
        QCOMPARE(rig.reported("Firmware_Status"), "Fail");
        QVERIFY(rig.reported("Error_Msg").find("logo.bmp") != std::string::npos);
        // The rest of the load still ran.
        QCOMPARE(rig.form.ImageVersion, "0.38f");
        QCOMPARE(rig.form.window().width, 7975.0F);
        QCOMPARE(rig.form.window().visible, !silent);
        QCOMPARE(rig.view.m_windowEverShown, !silent);
    }

    void load_workFolderNameTakenByAFile_endsWithTheMissingImage()
    {
        LoadRig rig(true);
        QFile blocker(rig.workFolder());
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        QVERIFY(rig.load());
        QCOMPARE(rig.reported("Error_Msg"), "Can not Find the Firmware!");
        QVERIFY(QFileInfo(rig.workFolder()).isFile());
    }

    void activate_startsTheUpgradeOnlyInSilentMode()
    {
        LoadRig interactive;
        QVERIFY(!interactive.load());
        interactive.form.Form_Activate();
        QVERIFY(interactive.form.window().visible);

        // Silent: the upgrade runs by itself; with no adapter it finds no modem and ends.
        test::VirtualClock clock;
        InstallPauseClock(&clock);
        LoadRig silent(true);
        QVERIFY(!silent.load());
        QVERIFY(silent.ends([&] { silent.form.Form_Activate(); }));
        InstallPauseClock(nullptr);
        QVERIFY(!silent.view.m_windowEverShown);
        QCOMPARE(silent.reported("Firmware_Status"), "Fail");
        QVERIFY(!QFileInfo::exists(silent.workFolder()));
    }
};

QTEST_GUILESS_MAIN(Form1LoadTest)
#include "Form1LoadTest.moc"
