#include "ModemSimHarness.h"

#include <QTest>

using namespace modemsimtest;

namespace {

// Position of `needle` in `page`, or -1; for checks of element order.
qsizetype at(const std::string& page, const std::string& needle)
{
    const auto position = page.find(needle);
    return position == std::string::npos ? -1 : static_cast<qsizetype>(position);
}

} // namespace

class ModemSimPagesTest final : public QObject {
    Q_OBJECT

private slots:
    void login_answers_data()
    {
        QTest::addColumn<QString>("modemPassword");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("password");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("right password") << "admin"
                                        << "root"
                                        << "admin" << true;
        QTest::newRow("wrong password") << "admin"
                                        << "root"
                                        << "Admin" << false;
        QTest::newRow("empty password given") << "admin"
                                              << "root"
                                              << "" << false;
        QTest::newRow("other user") << "admin"
                                    << "admin"
                                    << "admin" << false;
        QTest::newRow("modem without password") << ""
                                                << "root"
                                                << "" << true;
    }

    void login_answers()
    {
        QFETCH(QString, modemPassword);
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(bool, accepted);
        SimOptions options = instantOptions();
        options.password = modemPassword.toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);

        const auto answer =
            client->Post("/login.cgi", httplib::Params{{"username", user.toStdString()},
                                                       {"pws", password.toStdString()}});
        QVERIFY(answer);
        QCOMPARE(answer->status == 302, accepted);
        QCOMPARE(answer->body.find("Incorrect Password") != std::string::npos, !accepted);
        if (accepted)
            QCOMPARE(answer->get_header_value("Location"), std::string("/"));
        QCOMPARE(getPage(*client, "/status_main.stm").find("runtime_code_version=") !=
                     std::string::npos,
                 accepted);
    }

    void pages_needSession_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("marker");
        QTest::newRow("start page") << "/"
                                    << "Welcome";
        QTest::newRow("home") << "/index.stm"
                              << "Welcome";
        QTest::newRow("status") << "/status_main.stm"
                                << "runtime_code_version=";
        QTest::newRow("firmware update") << "/system_f.stm"
                                         << "name=\"webForm\"";
        QTest::newRow("wan setup") << "/setupw_2.stm"
                                   << "VPI / VCI";
        QTest::newRow("unknown page") << "/nothing.stm"
                                      << "Not Found";
    }

    void pages_needSession()
    {
        QFETCH(QString, path);
        QFETCH(QString, marker);
        const auto modem = startModem(instantOptions());
        const auto client = clientOf(*modem);

        const std::string before = getPage(*client, path.toStdString());
        QVERIFY(before.find("name=\"pws\"") != std::string::npos);
        QVERIFY(before.find(marker.toStdString()) == std::string::npos);
        QVERIFY(login(*client));
        QVERIFY(getPage(*client, path.toStdString()).find(marker.toStdString()) !=
                std::string::npos);
    }

    void session_belongsToClientAddress()
    {
        const auto modem = startModem(instantOptions());
        const auto here = clientOf(*modem);
        const auto there = clientOf(*modem, "127.0.0.2");
        QVERIFY(login(*here));

        QVERIFY(getPage(*there, "/status_main.stm").find("name=\"pws\"") != std::string::npos);
        // Cookies play no part: a stray one neither opens nor closes a session.
        QVERIFY(there->Get("/status_main.stm", {{"Cookie", "SESSIONID=1; auth=root"}})
                    ->body.find("name=\"pws\"") != std::string::npos);
        QVERIFY(here->Get("/status_main.stm", {{"Cookie", "SESSIONID=junk"}})
                    ->body.find("runtime_code_version=") != std::string::npos);

        getPage(*here, "/logout.cgi");
        QVERIFY(getPage(*here, "/status_main.stm").find("name=\"pws\"") != std::string::npos);
    }

    void session_expiresWhenIdle()
    {
        SimOptions options = instantOptions();
        options.sessionSeconds = 0.2;
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));

        QThread::msleep(500);
        QVERIFY(getPage(*client, "/status_main.stm").find("name=\"pws\"") != std::string::npos);
    }

    void kernelEntryPages_showMakerAndLoginForm_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("start page") << "/";
        QTest::newRow("login page") << "/login.stm";
    }

    void kernelEntryPages_showMakerAndLoginForm()
    {
        QFETCH(QString, path);
        const auto modem = startModem(instantOptions());
        const std::string page = getPage(*clientOf(*modem), path.toStdString());

        for (const char* text :
             {"Velmora", "setupw_2.stm", "setupa_brief.stm", "<style", "<script"})
            QVERIFY2(page.find(text) != std::string::npos, text);
        QVERIFY(page.find("Incorrect Password") == std::string::npos);
        const auto user = at(page, "<input type=\"text\" name=\"username\"");
        const auto password = at(page, "<input type=\"password\" name=\"pws\"");
        const auto hidden = at(page, "<input type=\"hidden\"");
        const auto submit = at(page, "<input type=\"submit\"");
        QVERIFY(user > 0 && password > 0 && hidden > 0);
        QVERIFY(submit > user && submit > password && submit > hidden);
    }

    void statusPage_carriesTagsInShape_data()
    {
        QTest::addColumn<QString>("version");
        QTest::addColumn<QString>("annex");
        QTest::addColumn<QString>("mac");
        QTest::newRow("default") << "0.39k (Nov 15 2005)"
                                 << "A"
                                 << "00:17:3F:5A:21:C4";
        QTest::newRow("annex B") << "0.39k (Nov 15 2005)"
                                 << "B"
                                 << "00:17:3F:00:00:01";
        QTest::newRow("old version") << "0.38f (Aug 30 2005)"
                                     << "A"
                                     << "00:17:3F:5A:21:C4";
        QTest::newRow("empty version") << ""
                                       << "A"
                                       << "00:17:3F:5A:21:C4";
    }

    void statusPage_carriesTagsInShape()
    {
        QFETCH(QString, version);
        QFETCH(QString, annex);
        QFETCH(QString, mac);
        SimOptions options = instantOptions();
        options.versionText = version.toStdString();
        options.annex = annex.toStdString();
        options.mac = mac.toStdString();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        QVERIFY(login(*client));
        const std::string page = getPage(*client, "/status_main.stm");

        QVERIFY(page.size() > 3000);
        const std::string head = page.substr(0, 11000);
        QVERIFY(head.find("runtime_code_version=\"" + version.toStdString() + "\";") !=
                std::string::npos);
        QVERIFY(head.find("lan_mac_addr=\"" + mac.toStdString() + "\";") != std::string::npos);
        const std::string adsl = tagValue(head, "adsl_code_version=");
        QVERIFY(head.find("adsl_code_version=\"" + adsl + "\";") != std::string::npos);
        QCOMPARE(adsl.find('A') != std::string::npos, annex == "A");
    }

    void upgradePage_holdsUploadForm_data()
    {
        QTest::addColumn<bool>("mini");
        QTest::addColumn<QString>("path");
        QTest::newRow("kernel") << false << "/system_f.stm";
        QTest::newRow("mini kernel") << true << "/upgrade_firm_browse.htm";
    }

    void upgradePage_holdsUploadForm()
    {
        QFETCH(bool, mini);
        QFETCH(QString, path);
        SimOptions options = instantOptions();
        options.mode = mini ? SimMode::Mini : SimMode::Kernel;
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);
        if (!mini)
            QVERIFY(login(*client));
        const std::string page = getPage(*client, path.toStdString());

        const auto form = at(page, "<form name=\"webForm\" method=\"post\" "
                                   "enctype=\"multipart/form-data\"");
        const auto file = at(page, "<input type=\"file\" name=\"webUpload\"");
        const auto submit = at(page, "<input type=\"submit\"");
        QVERIFY(form > 0);
        QVERIFY(file > form);
        QVERIFY(submit > file);
        // Any further submit would be pressed by a client that presses every one.
        QCOMPARE(page.find("type=\"submit\"", static_cast<std::size_t>(submit) + 20),
                 std::string::npos);
    }

    void miniKernel_servesOnlyItsUpgradePage_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("start page") << "/";
        QTest::newRow("login page") << "/login.stm";
        QTest::newRow("status") << "/status_main.stm";
        QTest::newRow("kernel upgrade page") << "/system_f.stm";
        QTest::newRow("save and restart before writing") << "/tools_save_restart.htm";
    }

    void miniKernel_servesOnlyItsUpgradePage()
    {
        QFETCH(QString, path);
        SimOptions options = instantOptions();
        options.mode = SimMode::Mini;
        const auto modem = startModem(options);
        const std::string page = getPage(*clientOf(*modem), path.toStdString());

        QVERIFY(page.find("upgrade_firm_browse.htm") != std::string::npos);
        for (const char* text :
             {"Velmora", "setupw_2.stm", "setupa_brief.stm", "webForm", "<input"})
            QVERIFY2(page.find(text) == std::string::npos, text);
    }

    void upload_withoutSession_isRefused()
    {
        const SimOptions options = instantOptions();
        const auto modem = startModem(options);
        const auto client = clientOf(*modem);

        const auto answer = upload(*client, image42());
        QVERIFY(answer);
        QVERIFY(answer->body.find("name=\"pws\"") != std::string::npos);
        QVERIFY(login(*client));
        QVERIFY(getPage(*client, "/status_main.stm").find(options.versionText) !=
                std::string::npos);
    }
};

QTEST_GUILESS_MAIN(ModemSimPagesTest)
#include "ModemSimPagesTest.moc"
