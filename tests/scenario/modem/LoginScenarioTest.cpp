#include "support/ScenarioRig.h"
#include "support/Form1Scenario.h"
#include "support/PageServer.h"
#include "support/StandInModem.h"
#include "wizard/ModemPageAddresses.h"

#include <QtTest>

#include <algorithm>

using namespace tolvane;
using test::Form1Scenario;
using test::ScenarioRig;
using test::StandInModem;

namespace {

modemsim::SimOptions modemWithPassword(const std::string& password)
{
    auto options = StandInModem::instantOptions();
    options.password = password;
    return options;
}

} // namespace

class LoginScenarioTest : public QObject {
    Q_OBJECT

private slots:
    void rightPassword_isAcceptedAtTheFirstAttempt_data()
    {
        QTest::addColumn<QString>("password");
        QTest::newRow("password from the command line") << "admin";
        QTest::newRow("empty password sent as it is") << "";
    }
    void rightPassword_isAcceptedAtTheFirstAttempt()
    {
        QFETCH(QString, password);
        ScenarioRig rig;
        StandInModem modem(modemWithPassword(password.toStdString()));
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = password.toStdString();
        rig.form.LoginUrl = LoginPage(modem.address());

        rig.form.LoginMachine();

        QCOMPARE(modem.count("GET /login.stm"), 1);
        QCOMPARE(modem.state()["logins"].toObject()["accepted"].toInt(), 1);
        QCOMPARE(modem.state()["logins"].toObject()["refused"].toInt(), 0);
        // 5 s after the navigation, 3 s after the click, 1.5 s before the search.
        QVERIFY(scenario.clock.waited() >= 9500 && scenario.clock.waited() < 9600);
        QVERIFY(scenario.panelTexts().empty());
        QVERIFY(rig.form.control(Control::Frame1).visible);
    }

    void refusedTwice_interactive_asksOnTheEmptiedPanelEachTime()
    {
        ScenarioRig rig;
        StandInModem modem;
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "wrong";
        rig.form.userTyped(Control::txtPassword, "typed earlier");
        scenario.answerPasswordPanel({"still wrong", "admin"});
        rig.form.LoginUrl = LoginPage(modem.address());

        rig.form.LoginMachine();

        QCOMPARE(scenario.panelTexts(), std::vector<std::string>({"", ""}));
        QCOMPARE(std::count(rig.view.m_focus.begin(), rig.view.m_focus.end(), Control::txtPassword),
                 2);
        QCOMPARE(modem.count("GET /login.stm"), 3);
        QCOMPARE(modem.state()["logins"].toObject()["refused"].toInt(), 2);
        QCOMPARE(modem.state()["logins"].toObject()["accepted"].toInt(), 1);
        QCOMPARE(rig.state.runOptions.Password, "admin");
        QVERIFY(rig.form.control(Control::Frame1).visible);
        QVERIFY(!rig.form.control(Control::Frame2).visible);
        QVERIFY(rig.view.shown().empty());
        QCOMPARE(rig.reported("Firmware_Status"), "");
    }

    void cancelOnThePanel_removesTheImagesAndEnds()
    {
        ScenarioRig rig;
        rig.deploy();
        StandInModem modem;
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "wrong";
        rig.form.LoginUrl = LoginPage(modem.address());

        QVERIFY(test::Form1Rig::ends([&] { rig.form.LoginMachine(); }));

        QVERIFY(scenario.cancelled());
        QVERIFY(!rig.imagesOnDisk());
    }

    void refused_silent_reportsAndEndsWithTheImagesLeft_data()
    {
        QTest::addColumn<bool>("reporting");
        QTest::addColumn<QString>("status");
        QTest::addColumn<QString>("error");
        QTest::newRow("reporting") << true << "Fail"
                                   << "Login Password Incorrect..";
        QTest::newRow("not reporting") << false << ""
                                       << "";
    }
    void refused_silent_reportsAndEndsWithTheImagesLeft()
    {
        QFETCH(bool, reporting);
        QFETCH(QString, status);
        QFETCH(QString, error);
        ScenarioRig rig(true, reporting);
        rig.deploy();
        StandInModem modem;
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "wrong";
        rig.form.LoginUrl = LoginPage(modem.address());

        QVERIFY(test::Form1Rig::ends([&] { rig.form.LoginMachine(); }));

        QCOMPARE(QString::fromStdString(rig.reported("Firmware_Status")), status);
        QCOMPARE(QString::fromStdString(rig.reported("Error_Msg")), error);
        QVERIFY(rig.imagesOnDisk());
        QVERIFY(scenario.panelTexts().empty());
        QVERIFY(rig.view.shown().empty());
        QCOMPARE(modem.count("GET /login.stm"), 1);
    }

    // Page shapes the stand-in never serves.
    void loginForm_fillsOnlyTheInputsBeforeItsSubmit_data()
    {
        QTest::addColumn<QString>("form");
        QTest::addColumn<bool>("sent");
        QTest::addColumn<QString>("pws");
        QTest::newRow("submit after pws")
            << "<input type=text name=username><input type=password name=pws>"
               "<input type=submit value='Log In'>"
            << true << "secret";
        QTest::newRow("submit before pws")
            << "<input type=text name=username><input type=submit value='Log In'>"
               "<input type=password name=pws>"
            << true << "";
        QTest::newRow("capital tags and types")
            << "<INPUT TYPE=TEXT NAME=username><INPUT TYPE=PASSWORD NAME=pws><INPUT TYPE=SUBMIT>"
            << true << "secret";
        QTest::newRow("no submit input: filled, not sent")
            << "<input type=text name=username><input type=password name=pws>"
               "<button>Log In</button>"
            << false << "";
    }
    void loginForm_fillsOnlyTheInputsBeforeItsSubmit()
    {
        QFETCH(QString, form);
        QFETCH(bool, sent);
        QFETCH(QString, pws);
        ScenarioRig rig;
        test::PageServer server;
        server.page("/login.stm", "<html><body><form method=post action=login.cgi>" +
                                      form.toStdString() + "</form></body></html>");
        Form1Scenario scenario(rig);
        rig.state.runOptions.Password = "secret";
        rig.form.LoginUrl = LoginPage(server.address());

        rig.form.LoginHtml();
        Pause(1000);

        const auto posts = server.posts();
        QCOMPARE(posts.size(), std::size_t(sent ? 1 : 0));
        if (!sent)
            QVERIFY(rig.browser.Document().renderedText().contains("[root]"));
        if (sent) {
            QCOMPARE(posts[0].path, "/login.cgi");
            QCOMPARE(posts[0].fields.find("username")->second, "root");
            QCOMPARE(QString::fromStdString(posts[0].fields.find("pws")->second), pws);
        }
    }
};

QTEST_GUILESS_MAIN(LoginScenarioTest)
#include "LoginScenarioTest.moc"
