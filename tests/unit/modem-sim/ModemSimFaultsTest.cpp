#include "ModemSimHarness.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>

using namespace modemsimtest;
using tolvane::modemsim::Faults;

namespace {

// -1 when the page does not hold the text.
qsizetype positionOf(const std::string& page, const std::string& text)
{
    const auto position = page.find(text);
    return position == std::string::npos ? -1 : static_cast<qsizetype>(position);
}

} // namespace

class ModemSimFaultsTest final : public QObject {
    Q_OBJECT

private slots:
    void statusPageFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("versionInReach"); // within the first 11,000 characters
        QTest::addColumn<bool>("versionAnywhere");
        QTest::addColumn<bool>("adsl");
        QTest::newRow("none") << "" << true << true << true;
        QTest::newRow("no version tag") << "no-version-tag" << false << false << true;
        QTest::newRow("late version tag") << "late-version-tag" << false << true << true;
        QTest::newRow("no adsl tag") << "no-adsl-tag" << true << true << false;
        QTest::newRow("garbage") << "garbage-status" << false << false << false;
    }

    void statusPageFaults()
    {
        QFETCH(QString, fault);
        QFETCH(bool, versionInReach);
        QFETCH(bool, versionAnywhere);
        QFETCH(bool, adsl);
        SimOptions options = instantOptions();
        if (!fault.isEmpty())
            options = withFault(options, fault.toStdString());
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));
        const std::string page = getPage(*client, "/status_main.stm");

        const qsizetype version = positionOf(page, "runtime_code_version=");
        QCOMPARE(version >= 0, versionAnywhere);
        QCOMPARE(version >= 0 && version + 21 + 25 < 11000, versionInReach);
        QCOMPARE(positionOf(page, "adsl_code_version=") >= 0, adsl);
        if (fault == "garbage-status")
            QVERIFY(std::count(page.begin(), page.end(), '\0') > 0);
    }

    void noFileInput_leavesFormWithoutFileInput_data()
    {
        QTest::addColumn<bool>("mini");
        QTest::newRow("kernel") << false;
        QTest::newRow("mini kernel") << true;
    }

    void noFileInput_leavesFormWithoutFileInput()
    {
        QFETCH(bool, mini);
        SimOptions options = withFault(instantOptions(), "no-file-input");
        options.mode = mini ? SimMode::Mini : SimMode::Kernel;
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        if (!mini)
            QVERIFY(login(*client));
        const std::string page =
            getPage(*client, mini ? "/upgrade_firm_browse.htm" : "/system_f.stm");

        QVERIFY(page.find("name=\"webForm\"") != std::string::npos);
        QVERIFY(page.find("type=\"submit\"") != std::string::npos);
        QVERIFY(page.find("name=\"webUpload\"") == std::string::npos);
    }

    void refusePasswords_refusesTheRightOne()
    {
        QTemporaryDir folder;
        SimOptions options = withFault(instantOptions(), "refuse-passwords");
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);

        const auto answer =
            client->Post("/login.cgi", httplib::Params{{"username", "root"}, {"pws", "admin"}});
        QVERIFY(answer && answer->body.find("Incorrect Password") != std::string::npos);
        const QJsonObject state = readState(folder.filePath("state.json"));
        QCOMPARE(state["logins"]["refused"].toInt(), 1);
    }

    void refuseUploads_keepsVersion()
    {
        QTemporaryDir folder;
        SimOptions options = withFault(instantOptions(), "refuse-uploads");
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        const auto answer = upload(*client, image42());
        QVERIFY(answer && answer->body.find("failed") != std::string::npos);
        const QJsonObject state = readState(folder.filePath("state.json"));
        QCOMPARE(state["uploads"]["rejected"].toArray().size(), 1);
        QCOMPARE(state["version"].toString().toStdString(), options.versionText);
    }

    void dropUpload_cutsConnectionAndStaysUp()
    {
        QTemporaryDir folder;
        SimOptions options = withFault(instantOptions(), "drop-upload");
        options.stateFile = folder.filePath("state.json").toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        const std::string image = makeImage({"0.42", "STD", "KVX4120/07", "A", 4 << 20});
        QVERIFY(!upload(*client, image));
        const QJsonObject state = readState(folder.filePath("state.json"));
        const QJsonObject rejected = state["uploads"]["rejected"][0].toObject();
        QVERIFY(rejected["reason"].toString().contains("dropped"));
        QVERIFY(rejected["size"].toInteger() < qint64(image.size()));
        QVERIFY(login(*client));
        QVERIFY(getPage(*client, "/status_main.stm").find(options.versionText) !=
                std::string::npos);
    }

    void delay_holdsBackEveryPage()
    {
        const auto modem = startModem(withFault(instantOptions(), "delay=300"));
        const auto client = clientOf(*modem);
        QElapsedTimer timer;
        timer.start();

        QVERIFY(client->Get("/login.stm"));
        QVERIFY(timer.elapsed() >= 300);
    }

private:
    static SimOptions withFault(SimOptions options, const std::string& fault)
    {
        const auto parsed = tolvane::modemsim::parseSimCommandLine({"--fault", fault});
        if (!parsed.error.empty())
            qFatal("bad fault %s", fault.c_str());
        options.faults = parsed.options.faults;
        return options;
    }
};

QTEST_GUILESS_MAIN(ModemSimFaultsTest)
#include "ModemSimFaultsTest.moc"
