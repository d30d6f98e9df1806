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

// The real file system, except that no folder can be made, for the reason given.
struct RefusingFolders final : FileSystem {
    using Bytes = std::span<const std::byte>;
    RefusingFolders(FileSystem& real, std::errc reason) : m(real), m_reason(reason) {}
    char separator() const override { return m.separator(); }
    bool writeWholeFile(const std::string& p, Bytes b) override { return m.writeWholeFile(p, b); }
    bool plainFileExists(const std::string& p) override { return m.plainFileExists(p); }
    bool plainFileHolds(const std::string& p, Bytes b) override { return m.plainFileHolds(p, b); }
    bool deleteFile(const std::string& p) override { return m.deleteFile(p); }
    bool folderExists(const std::string& p) override { return m.folderExists(p); }
    bool removeEmptyFolder(const std::string& p) override { return m.removeEmptyFolder(p); }
    bool createFolder(const std::string&, std::error_code* reason) override
    {
        *reason = std::make_error_code(m_reason);
        return false;
    }
    FileSystem& m;
    std::errc m_reason;
};

} // namespace

// The main window's state and procedures that need no modem: its pure rules, loading with the
// pre-flight checks, and choosing an image file.
class Form1Test : public QObject {
    Q_OBJECT

private slots:
    void rules_cutTheStatusPageAndNameTheSystem()
    {
        QCOMPARE(cut("x runtime_code_version=\"0.39k (Nov 15 2005)\";"), "0.39k (Nov 15 2005)");
        QCOMPARE(cut("runtime_code_version=\" 0.42\n...;more;"), "0.42\n.."); // trimmed, first ;
        QCOMPARE(cut("runtime_code_version=\";x\";"), "-");    // delimiter right after the quote
        QCOMPARE(cut("; runtime_code_version=\"0.42\""), "-"); // no delimiter behind the tag
        QCOMPARE(cut("runtime_code_version=\"0.39k(Nov)\";", '('), "0.39");
        QCOMPARE(GetOSName({2, 5, 2}), "Windows XP"); // Server 2003
        QCOMPARE(GetOSName({2, 6, 1}), "");           // Windows 7
        QCOMPARE(GetOSName({0, 6, 1}), "Failed");     // not Windows
        QCOMPARE(DriveTextOf("D:\\Tools\\a:\\b"), "D:\\");
        QCOMPARE(MinimumSpaceMegabytes(5 * 1024 * 1024 / 2), 3); // 2.5 rounds to 2, plus one
        QCOMPARE(MinimumSpaceMegabytes(7 * 1024 * 1024 / 2), 5); // 3.5 rounds to 4, plus one
    }

    void load_deploysAndLaysTheWindowOutAroundTheLogo()
    {
        test::Form1Rig rig;
        const std::string zone = Settings + "\\Zones\\3";
        rig.registry.SetKeyValue(HKEY_CURRENT_USER, zone, "1601", "1", ValueKindNumber);
        QVERIFY(!rig.ends([&] { rig.form.Show(); }));
        QCOMPARE(rig.registry.QueryKeyValue(HKEY_CURRENT_USER, zone, "1601"), "0");
        QCOMPARE(QDir(QString::fromStdString(rig.form.WorkFolder)).entryList(QDir::Files),
                 (QStringList{"38f.bin", "42.bin", "42Special.bin", "logo.bmp"}));
        // In twips, for a logo of 1680 by 315.
        const Form1& form = rig.form;
        QCOMPARE(QPointF(form.control(Control::Image1).left, form.control(Control::Image1).top),
                 QPointF(3147.5, 100));
        QCOMPARE(QSizeF(form.window().width, form.window().height), QSizeF(7975, 3430));
        QCOMPARE(form.control(Control::Frame2).top, 415.0F);
        QCOMPARE(form.control(Control::lblStatus).top, 2530.0F);
        QVERIFY(!form.control(Control::Frame2).visible &&
                !form.control(Control::ProgressLab).visible);
        QCOMPARE(form.control(Control::Label1).caption,
                 "After you click on the 'Start' button, the firmware upgrade will begin.\r\n"
                 " (You need IE Version 5 or above to support this upgrade)");
    }

    // A failed check is reported, told unless silent, and ends the load before any writing.
    void load_failedCheck_endsBeforeWriting_data()
    {
        QTest::addColumn<QString>("proxy");
        QTest::addColumn<qint64>("free");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("error");
        const QString proxyOn = "You have enabled proxy server in your browser! Please disable "
                                "proxy server and rerun the utility";
        QTest::newRow("proxy on") << "1" << (qint64(1) << 40) << false << proxyOn;
        QTest::newRow("proxy on, silent") << "1" << (qint64(1) << 40) << true << proxyOn;
        QTest::newRow("space exactly enough") << "0" << qint64(2522494) << false << "";
        QTest::newRow("one byte short") << "0" << qint64(2522493) << false
                                        << "Utility need necessary disk space (Minimum Space : 3 "
                                           "MB) to Upgrade Firmware. Please Make necessary disk "
                                           "space and rerun the Utility";
        QTest::newRow("proxy setting not a number: loading goes on")
            << "x" << (qint64(1) << 40) << false
            << "The Internet setting \"ProxyEnable\" cannot be read as a number.";
    }
    void load_failedCheck_endsBeforeWriting()
    {
        QFETCH(QString, proxy);
        QFETCH(qint64, free);
        QFETCH(bool, silent);
        QFETCH(QString, error);
        test::Form1Rig rig(silent);
        rig.registry.SetKeyValue(HKEY_CURRENT_USER, Settings, "ProxyEnable", proxy.toStdString(),
                                 proxy == "x" ? ValueKindString : ValueKindNumber);
        rig.diskSpace.m_figures.availableToCaller = free;
        const bool ends = !error.isEmpty() && proxy != "x";
        QCOMPARE(rig.ends([&] { rig.form.Show(); }), ends);
        QCOMPARE(QFileInfo::exists(QString::fromStdString(rig.form.WorkFolder)), !ends);
        QCOMPARE(QString::fromStdString(rig.reported("Error_Msg")), error);
        QCOMPARE(rig.view.shown().size(), error.isEmpty() || silent ? 0u : 1u);
        if (!rig.view.shown().empty())
            QCOMPARE(QString::fromStdString(rig.view.shown()[0].text + rig.view.shown()[0].title),
                     error + "Tolvane");
    }

    // Without administrator rights at the drive's root: the message says why.
    void load_workFolderRefused_saysWhyAndEndsAtTheMissingImage()
    {
        test::Form1Rig rig;
        RefusingFolders files(*rig.files, std::errc::permission_denied);
        Form1 form(rig.services(&files), rig.view);
        QVERIFY(rig.ends([&] { form.Show(); }));
        QCOMPARE(rig.view.shown().size(), 2u);
        QCOMPARE(rig.view.shown()[0].text, "The work folder " + form.WorkFolder +
                                               " cannot be created: Permission denied. The "
                                               "program needs administrator rights to create it.");
        QCOMPARE(rig.view.shown()[1].text, FirmwareMissingMessage);
    }

    // An image file is chosen only when it holds exactly the carried image.
    void firmware_choosesOnlyTheCarriedImage_data()
    {
        QTest::addColumn<Procedure>("procedure");
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<QString>("version"); // "-": the program ends
        QTest::newRow("Firmware1") << &Form1::Firmware1 << "" << false << "0.38f";
        QTest::newRow("Firmware2") << &Form1::Firmware2 << "" << false << "0.42";
        QTest::newRow("Firmware3") << &Form1::Firmware3 << "" << false << "0.42";
        QTest::newRow("38f missing") << &Form1::Firmware1 << "delete" << false << "-";
        QTest::newRow("42Special cut short, silent") << &Form1::Firmware2 << "cut" << true << "-";
        QTest::newRow("42 holds the special image") << &Form1::Firmware3 << "swap" << false << "-";
    }
    void firmware_choosesOnlyTheCarriedImage()
    {
        QFETCH(Procedure, procedure);
        QFETCH(QString, damage);
        QFETCH(bool, silent);
        QFETCH(QString, version);
        test::Form1Rig rig(silent);
        rig.deploy();
        const std::string path =
            rig.form.workFilePath(procedure == &Form1::Firmware1   ? "38f.bin"
                                  : procedure == &Form1::Firmware2 ? "42Special.bin"
                                                                   : "42.bin");
        const auto special = *resourceFileBytes(104, "CUSTOM");
        if (damage == "delete")
            QVERIFY(rig.files->deleteFile(path));
        if (damage == "cut")
            QVERIFY(rig.files->writeWholeFile(path, special.first(special.size() - 1)));
        if (damage == "swap")
            QVERIFY(rig.files->writeWholeFile(path, special));

        const bool ends = version == "-";
        QCOMPARE(rig.ends([&] { (rig.form.*procedure)(); }), ends);
        QCOMPARE(rig.form.ImagePath, ends ? "" : path);
        QCOMPARE(QString::fromStdString(rig.form.ImageVersion), ends ? "" : version);
        QCOMPARE(rig.view.m_unloads, ends ? 1 : 0);
        QCOMPARE(rig.view.shown().size(), ends && !silent ? 1u : 0u);
        if (!rig.view.shown().empty())
            QVERIFY(rig.view.shown()[0].text == FirmwareMissingMessage &&
                    rig.view.shown()[0].icon == MessageIcon::Information);
        QCOMPARE(rig.reported("Error_Msg"), ends ? FirmwareMissingMessage : "");
    }
};

QTEST_GUILESS_MAIN(Form1Test)
#include "Form1Test.moc"
