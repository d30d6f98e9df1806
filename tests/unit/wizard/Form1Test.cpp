#include "platform/OsVersion.h"
#include "support/Form1Rig.h"
#include "wizard/PublicFunctions.h"
#include "wizard/StatusPageCut.h"
#include "wizard/SystemQueries.h"

#include <QDir>
#include <QtTest>

using namespace tolvane;

namespace {

using Procedure = void (Form1::*)();
const std::string Settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";

// The version tag's value cut at the delimiter; "-" when the cut fails.
std::string cut(const std::string& page, char delimiter = ';')
{
    const std::string tag = "runtime_code_version=";
    return CutTagValue(page, FindText(page, tag), tag.size(), delimiter).value_or("-");
}

// A drive whose root the user may not write to: nothing can be made, so nothing is found.
struct RefusingDrive final : FileSystem {
    using Bytes = std::span<const std::byte>;
    char separator() const override { return '/'; }
    bool writeWholeFile(const std::string&, Bytes) override { return false; }
    bool plainFileExists(const std::string&) override { return false; }
    bool plainFileHolds(const std::string&, Bytes) override { return false; }
    bool deleteFile(const std::string&) override { return false; }
    bool folderExists(const std::string&) override { return false; }
    bool removeEmptyFolder(const std::string&) override { return false; }
    bool createFolder(const std::string&, std::error_code* reason) override
    {
        *reason = std::make_error_code(std::errc::permission_denied);
        return false;
    }
};

} // namespace

// The main window's state and procedures that need no modem: its pure rules, loading with the
// pre-flight checks, and refusing a damaged image file.
class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void rules_cutTheStatusPageAndNameTheSystem()
    {
        QCOMPARE(cut("runtime_code_version=\" 0.42\n...;more;"), "0.42\n.."); // trimmed, first ;
        QCOMPARE(cut("runtime_code_version=\";x\";"), "-");    // delimiter right after the quote
        QCOMPARE(cut("; runtime_code_version=\"0.42\""), "-"); // no delimiter behind the tag
        QCOMPARE(cut("runtime_code_version=\"0.39k(Nov)\";", '('), "0.39");
        QCOMPARE(GetOSName({2, 5, 2}), "Windows XP"); // Server 2003
        QCOMPARE(GetOSName({2, 6, 1}), "");           // Windows 7
        QCOMPARE(DriveTextOf("D:\\Tools\\a:\\b"), "D:\\");
        QCOMPARE(MinimumSpaceMegabytes(5 * 1024 * 1024 / 2), 3); // 2.5 rounds to 2, plus one
        QCOMPARE(MinimumSpaceMegabytes(7 * 1024 * 1024 / 2), 5); // 3.5 rounds to 4, plus one
        QVERIFY(!resourceFileBytes(105, "CUSTOM") && !resourceFileBytes(101, "CUSTOM/../CUSTOM"));
    }

    // A failed check is reported, told unless silent, and ends the load before any writing; a
    // load that goes on deploys the images and lays the window out around the logo.
    void load_checksThenDeploys_data()
    {
        QTest::addColumn<QString>("proxy");
        QTest::addColumn<qint64>("free");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("refused");     // the work folder cannot be made
        QTest::addColumn<QStringList>("told"); // "%1": the work folder; the last one is reported
        const qint64 plenty = qint64(1) << 40;
        QTest::newRow("proxy on, silent")
            << "1" << plenty << true << false
            << QStringList{"You have enabled proxy server in your browser! Please disable proxy "
                           "server and rerun the utility"};
        QTest::newRow("space exactly enough")
            << "0" << qint64(2522494) << false << false << QStringList();
        QTest::newRow("one byte short")
            << "0" << qint64(2522493) << false << false
            << QStringList{"Utility need necessary disk space (Minimum Space : 3 MB) to Upgrade "
                           "Firmware. Please Make necessary disk space and rerun the Utility"};
        QTest::newRow("proxy setting not a number: loading goes on")
            << "x" << plenty << false << false
            << QStringList{"The Internet setting \"ProxyEnable\" cannot be read as a number."};
        QTest::newRow("work folder refused: says why, ends at the missing image")
            << "0" << plenty << false << true
            << QStringList{"The work folder %1 cannot be created: Permission denied. The program "
                           "needs administrator rights to create it.",
                           FirmwareMissingMessage};
    }
    void load_checksThenDeploys()
    {
        QFETCH(QString, proxy);
        QFETCH(qint64, free);
        QFETCH(bool, silent);
        QFETCH(bool, refused);
        QFETCH(QStringList, told);
        test::Form1Rig rig(silent);
        RefusingDrive drive;
        Form1 form(rig.services(refused ? &drive : nullptr), rig.view);
        form.WorkFolder = rig.form.WorkFolder; // where the load puts it, read before it does
        const std::string zone = Settings + "\\Zones\\3";
        rig.registry.SetKeyValue(HKEY_CURRENT_USER, zone, "1601", "1", ValueKindNumber);
        rig.registry.SetKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable", proxy.toStdString(),
                                 proxy == "x" ? ValueKindString : ValueKindNumber);
        rig.diskSpace.m_figures.availableToCaller = free;
        const bool ends = !told.isEmpty() && proxy != "x";
        QCOMPARE(rig.ends([&] { form.Show(); }), ends);
        QCOMPARE(rig.registry.QueryKeyValue(HKEY_CURRENT_USER, zone, "1601"), "0");
        told.replaceInStrings("%1", QString::fromStdString(form.WorkFolder));
        QCOMPARE(QString::fromStdString(rig.reported("Error_Msg")), told.value(told.size() - 1));
        QStringList shown;
        for (const auto& box : rig.view.shown())
            shown << QString::fromStdString(box.title + ": " + box.text);
        QCOMPARE(shown, silent ? QStringList()
                               : told.replaceInStrings(QRegularExpression("^"), "Tolvane: "));
        const QDir work(QString::fromStdString(form.WorkFolder));
        QCOMPARE(work.entryList(QDir::Files),
                 ends ? QStringList()
                      : (QStringList{"38f.bin", "42.bin", "42Special.bin", "logo.bmp"}));
        if (ends)
            return;
        const ControlState image = form.control(Control::Image1);
        // In twips, for a logo of 1680 by 315: the logo, the window, Frame2, the status line.
        QCOMPARE(
            (QList<float>{image.left, image.top, form.window().width, form.window().height,
                          form.control(Control::Frame2).top, form.control(Control::lblStatus).top}),
            (QList<float>{3147.5, 100, 7975, 3430, 415, 2530}));
        QVERIFY(!form.control(Control::Frame2).visible &&
                !form.control(Control::ProgressLab).visible);
        QCOMPARE(form.control(Control::Label1).caption,
                 "After you click on the 'Start' button, the firmware upgrade will begin.\r\n"
                 " (You need IE Version 5 or above to support this upgrade)");
    }

    // An image file that is missing or differs from the carried image in any byte ends the
    // program; the scenario tests upload the intact ones.
    void firmware_damagedImage_endsTheProgram_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("silent");
        QTest::newRow("38f missing") << &Form1::Firmware1 << "38f.bin"
                                     << "delete" << false;
        QTest::newRow("42Special cut short, silent") << &Form1::Firmware2 << "42Special.bin"
                                                     << "cut" << true;
        QTest::newRow("42 holds the special image") << &Form1::Firmware3 << "42.bin"
                                                    << "swap" << false;
    }
    void firmware_damagedImage_endsTheProgram()
    {
        QFETCH(Procedure, procedure);
        QFETCH(QString, file);
        QFETCH(QString, damage);
        QFETCH(bool, silent);
        test::Form1Rig rig(silent);
        rig.deploy();
        const std::string path = rig.form.workFilePath(qPrintable(file));
        const auto special = *resourceFileBytes(104, "CUSTOM");
        QVERIFY(damage == "delete"
                    ? rig.files->deleteFile(path)
                    : rig.files->writeWholeFile(
                          path, damage == "cut" ? special.first(special.size() - 1) : special));
        QVERIFY(rig.ends([&] { (rig.form.*procedure)(); }));
        QVERIFY(rig.form.ImagePath.empty() && rig.view.m_unloads == 1);
        QCOMPARE(rig.reported("Error_Msg"), FirmwareMissingMessage);
        const auto& shown = rig.view.shown();
        QVERIFY(silent ? shown.empty()
                       : shown.size() == 1 && shown[0].text == FirmwareMissingMessage &&
                             shown[0].icon == MessageIcon::Information);
    }
};

QTEST_GUILESS_MAIN(Form1Test)
#include "Form1Test.moc"
