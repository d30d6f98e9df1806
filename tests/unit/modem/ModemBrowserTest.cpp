#include "modem/ModemBrowser.h"

#include "LocalServer.h"
#include "common/Pause.h"
#include "support/VirtualClock.h"

#include <QFile>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <optional>

using namespace tolvane;
using namespace std::chrono_literals;

namespace {

// The marks by which the program recognises the modem and a refused login.
const QStringList kModemTexts = {"Velmora", "setupw_2.stm", "setupa_brief.stm",
                                 "upgrade_firm_browse.htm", "Incorrect Password"};
const std::string kModemPage = "<p>Velmora <a href=setupw_2.stm>x</a> setupa_brief.stm "
                               "upgrade_firm_browse.htm Incorrect Password</p>";

struct Session {
    test::LocalServer server;
    ModemBrowser browser;
    // A kept-alive connection would make the server's stop wait for its timeout.
    ~Session() { browser.closeConnections(); }

    QString html() const { return browser.Document().documentElement().outerHTML(); }

    HtmlElement byId(const QString& id) const
    {
        const ElementCollection all = browser.Document().All();
        for (int i = 0; i < all.Length(); ++i) {
            if (all(i).id() == id)
                return all(i);
        }
        throw std::runtime_error("no element " + id.toStdString());
    }

    std::optional<test::LocalServer::Request> lastTo(const std::string& path) const
    {
        std::optional<test::LocalServer::Request> found;
        for (const auto& request : server.requests()) {
            if (request.path == path)
                found = request;
        }
        return found;
    }
};

#define WAIT_LOADED(browser) QTRY_VERIFY_WITH_TIMEOUT(!(browser).isLoading(), 20000)

} // namespace

class ModemBrowserTest : public QObject {
    Q_OBJECT

private slots:
    void navigate_addressWithoutScheme_isHttp_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("requested");
        QTest::newRow("address alone") << ""
                                       << ""
                                       << "/";
        QTest::newRow("address and page") << ""
                                          << "/login.stm"
                                          << "/login.stm";
        QTest::newRow("with scheme") << "http://"
                                     << "/status_main.stm"
                                     << "/status_main.stm";
    }
    void navigate_addressWithoutScheme_isHttp()
    {
        QFETCH(QString, prefix);
        QFETCH(QString, path);
        QFETCH(QString, requested);
        Session s;
        s.server.routes().Get(R"(/.*)", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content("<p>at " + req.path + "</p>", "text/html");
        });
        s.browser.Navigate(prefix + s.server.address(path));
        QVERIFY(s.browser.isLoading());
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(QLatin1String("<p>at ") + requested + QLatin1String("</p>")));
    }

    void navigate_failedLoad_givesErrorPageWithoutModemText_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("refused port") << "refused";
        QTest::newRow("silent host") << "stalled";
        QTest::newRow("not an http address") << "scheme";
    }
    void navigate_failedLoad_givesErrorPageWithoutModemText()
    {
        QFETCH(QString, failure);
        Session s;
        s.server.page("/", kModemPage);
        s.server.routes().Get("/stalled/upgrade_firm_browse.htm",
                              [](const httplib::Request&, httplib::Response& res) {
                                  std::this_thread::sleep_for(1500ms);
                                  res.set_content(kModemPage, "text/html");
                              });
        s.browser.Navigate(s.server.address());
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"Velmora"));

        QString address;
        if (failure == u"refused") {
            QTcpServer closed;
            QVERIFY(closed.listen(QHostAddress::LocalHost));
            address =
                QStringLiteral("127.0.0.1:%1/upgrade_firm_browse.htm").arg(closed.serverPort());
        } else if (failure == u"stalled") {
            s.browser.setTransferTimeout(200ms);
            address = s.server.address(QStringLiteral("/stalled/upgrade_firm_browse.htm"));
        } else {
            address = QStringLiteral("ftp://127.0.0.1/upgrade_firm_browse.htm");
        }
        s.browser.Navigate(address);
        WAIT_LOADED(s.browser);
        const QString html = s.html();
        QVERIFY2(html.contains(u"Cannot open the page"), qPrintable(html));
        for (const QString& mark : kModemTexts)
            QVERIFY2(!html.contains(mark), qPrintable(mark));
    }

    void navigate_documentIsEmptyUntilTheNewPageArrives()
    {
        Session s;
        s.server.page("/", kModemPage);
        s.server.routes().Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(300ms);
            res.set_content("<p>second</p>", "text/html");
        });
        s.browser.Navigate(s.server.address());
        WAIT_LOADED(s.browser);
        const HtmlDocument previous = s.browser.Document();

        s.browser.Navigate(s.server.address(QStringLiteral("/slow")));
        QVERIFY(s.browser.isLoading());
        QCOMPARE(s.browser.Document().All().Length(), 3); // html, head, body
        for (const QString& mark : kModemTexts)
            QVERIFY(!s.html().contains(mark));
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"<p>second</p>"));
        QVERIFY(previous.documentElement().outerHTML().contains(u"Velmora"));
    }

    void pause_onTheTestClock_letsTheLoadFinishBeforeTimeMoves()
    {
        Session s;
        s.server.routes().Get("/login.stm", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(200ms);
            res.set_content("<p>late</p>", "text/html");
        });
        test::VirtualClock clock;
        clock.setBusy([&s] { return s.browser.isLoading(); });
        InstallPauseClock(&clock);
        s.browser.Navigate(s.server.address(QStringLiteral("/login.stm")));
        Pause(5000);
        InstallPauseClock(nullptr);
        QVERIFY(s.html().contains(u"late"));
    }

    void navigate_httpErrorStatus_showsTheServersPage()
    {
        Session s;
        s.server.routes().Get("/missing.stm", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("<h1>No such page here</h1>", "text/html");
        });
        s.browser.Navigate(s.server.address(QStringLiteral("/missing.stm")));
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"No such page here"));
    }

    void submit_sendsTheSuccessfulControls_data()
    {
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("sent");

        QTest::newRow("second of several submit buttons")
            << QByteArray("<form action=/send method=post><input name=a value=1>"
                          "<input type=submit name=s value=One>"
                          "<input type=submit name=s value=Two id=go></form>")
            << "POST"
            << "/send"
            << "a=1&s=Two";
        QTest::newRow("hidden sent; disabled, nameless and unnamed button left out")
            << QByteArray("<form action=/send method=POST><input type=hidden name=h value=x>"
                          "<input name=d value=y disabled><input value=z>"
                          "<fieldset disabled><input name=f value=w></fieldset>"
                          "<input type=submit id=go></form>")
            << "POST"
            << "/send"
            << "h=x";
        QTest::newRow("checked boxes and radios, selected options, textarea, button")
            << QByteArray("<form action=/send method=post><input type=checkbox name=c1 checked>"
                          "<input type=checkbox name=c2 value=v><input type=radio name=r value=a>"
                          "<input type=radio name=r value=b checked><select name=s><option>o1"
                          "<option selected value=o2>t</select><select name=m multiple>"
                          "<option selected>m1<option>m2<option selected>m3</select>"
                          "<textarea name=t>l1\nl2</textarea>"
                          "<button id=go name=b value=bv>Go</button></form>")
            << "POST"
            << "/send"
            << "c1=on&r=b&s=o2&m=m1&m=m3&t=l1%0D%0Al2&b=bv";
        QTest::newRow("GET replaces the action's query")
            << QByteArray("<form action='/send?old=1'><input name=q value='a b&amp;c'>"
                          "<input type=submit id=go></form>")
            << "GET"
            << "/send"
            << "q=a+b%26c";
        QTest::newRow("no action sends to the page itself")
            << QByteArray("<form method=post><input name=a value=1><input type=submit id=go>"
                          "</form>")
            << "POST"
            << "/form.htm"
            << "a=1";
        QTest::newRow("form inside a table")
            << QByteArray("<table><form action=/send method=post><tr><td><input name=a value=1>"
                          "</td><td><input type=submit id=go name=s value=S></td></tr></form>"
                          "</table>")
            << "POST"
            << "/send"
            << "a=1&s=S";
        QTest::newRow("page in windows-1252 sends windows-1252")
            << QByteArray("<form action=/send method=post><input name=v value='caf\xE9 \x80'>"
                          "<input type=submit id=go></form>")
            << "POST"
            << "/send"
            << "v=caf%E9+%80";
        QTest::newRow("image button sends its coordinates")
            << QByteArray("<form action=/send method=post><input type=image name=i id=go>"
                          "</form>")
            << "POST"
            << "/send"
            << "i.x=0&i.y=0";
    }
    void submit_sendsTheSuccessfulControls()
    {
        QFETCH(QByteArray, form);
        QFETCH(QString, method);
        QFETCH(QString, path);
        QFETCH(QString, sent);
        Session s;
        s.server.page("/form.htm", form.toStdString(), "text/html");
        const auto answer = [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<p>sent</p>", "text/html");
        };
        s.server.routes().Get("/send", answer);
        s.server.routes().Post("/send", answer);
        s.server.routes().Post("/form.htm", answer);

        s.browser.Navigate(s.server.address(QStringLiteral("/form.htm")));
        WAIT_LOADED(s.browser);
        s.byId(QStringLiteral("go")).Click();
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"<p>sent</p>"));

        const auto request = s.lastTo(path.toStdString());
        QVERIFY(request);
        QCOMPARE(QString::fromStdString(request->method), method);
        QCOMPARE(QString::fromStdString(method == u"GET" ? request->query : request->body), sent);
    }

    void submit_ofSeveralClicksInOneGo_sendsOnlyTheLast()
    {
        Session s;
        s.server.page("/form.htm", "<form action=/send method=post><input type=submit name=s "
                                   "value=One id=one><input type=submit name=s value=Two id=two>"
                                   "</form>");
        s.server.routes().Post("/send", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<p>sent</p>", "text/html");
        });
        s.browser.Navigate(s.server.address(QStringLiteral("/form.htm")));
        WAIT_LOADED(s.browser);
        // A walk goes on over the page taken at its start, after a click has left it.
        const HtmlDocument walked = s.browser.Document();
        walked.All(walked.All().Length() - 2).Click();
        walked.All(walked.All().Length() - 1).Click();
        WAIT_LOADED(s.browser);
        int posts = 0;
        for (const auto& request : s.server.requests())
            posts += request.path == "/send";
        QCOMPARE(posts, 1);
        QCOMPARE(QString::fromStdString(s.lastTo("/send")->body), QStringLiteral("s=Two"));
    }

    void submit_redirectedPost_goesOnAsBrowsersDo_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("body");
        QTest::newRow("301") << 301 << "GET"
                             << "";
        QTest::newRow("302") << 302 << "GET"
                             << "";
        QTest::newRow("303") << 303 << "GET"
                             << "";
        QTest::newRow("307 keeps the method and body") << 307 << "POST"
                                                       << "username=root";
    }
    void submit_redirectedPost_goesOnAsBrowsersDo()
    {
        QFETCH(int, status);
        QFETCH(QString, method);
        QFETCH(QString, body);
        Session s;
        s.server.page("/login.stm", "<form action=/login.cgi method=post>"
                                    "<input name=username value=root>"
                                    "<input type=submit id=go></form>");
        s.server.routes().Post("/login.cgi",
                               [status](const httplib::Request&, httplib::Response& res) {
                                   res.status = status;
                                   res.set_header("Location", "/home.stm");
                                   res.set_content("moved", "text/plain");
                               });
        const auto home = [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<p>home</p>", "text/html");
        };
        s.server.routes().Get("/home.stm", home);
        s.server.routes().Post("/home.stm", home);

        s.browser.Navigate(s.server.address(QStringLiteral("/login.stm")));
        WAIT_LOADED(s.browser);
        s.byId(QStringLiteral("go")).Click();
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"<p>home</p>"));
        QCOMPARE(s.browser.Document().url().path(), QStringLiteral("/home.stm"));
        const auto request = s.lastTo("/home.stm");
        QVERIFY(request);
        QCOMPARE(QString::fromStdString(request->method), method);
        QCOMPARE(QString::fromStdString(request->body), body);
    }

    void cookies_setAtLogin_areSentForTheRestOfTheRun()
    {
        Session s;
        s.server.routes().Post("/login.cgi", [](const httplib::Request&, httplib::Response& res) {
            res.status = 302;
            res.set_header("Set-Cookie", "SESSIONID=abc123; Path=/");
            res.set_header("Location", "/status_main.stm");
        });
        s.server.page("/login.stm", "<form action=/login.cgi method=post>"
                                    "<input type=submit id=go></form>");
        s.server.page("/status_main.stm", "<p>status</p>");
        s.server.page("/system_f.stm", "<p>upload</p>");

        s.browser.Navigate(s.server.address(QStringLiteral("/login.stm")));
        WAIT_LOADED(s.browser);
        s.byId(QStringLiteral("go")).Click();
        WAIT_LOADED(s.browser);
        s.browser.Navigate(s.server.address(QStringLiteral("/system_f.stm")));
        WAIT_LOADED(s.browser);
        for (const char* path : {"/status_main.stm", "/system_f.stm"}) {
            const auto request = s.lastTo(path);
            QVERIFY(request);
            QVERIFY2(request->header("Cookie").find("SESSIONID=abc123") != std::string::npos, path);
        }
    }

    void upload_fileArrivesByteForByteUnderItsOwnName()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QByteArray image(1300000, Qt::Uninitialized);
        QRandomGenerator generator(4120);
        for (char& c : image)
            c = static_cast<char>(generator.bounded(256));
        const QString path = dir.filePath(QStringLiteral("42.bin"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();

        Session s;
        s.server.page("/system_f.stm",
                      "<table><form name=webForm method=post action=/upgrade.cgi "
                      "enctype=multipart/form-data><tr><td><input type=file name=webUpload></td>"
                      "<td><input type=hidden name=step value=1><input type=submit value=Upgrade>"
                      "</td></tr></form></table>");
        s.server.routes().Post("/upgrade.cgi", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<p>writing</p>", "text/html");
        });
        s.browser.Navigate(s.server.address(QStringLiteral("/system_f.stm")));
        WAIT_LOADED(s.browser);

        HtmlDocument document = s.browser.Document();
        HtmlElement field =
            document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload"));
        field.Focus();
        QVERIFY(document.paste(path));
        QCOMPARE(field.Value(), path);
        for (int i = 0; i < document.All().Length(); ++i) {
            if (document.All(i).Type() == u"submit")
                document.All(i).Click();
        }
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"writing"));

        const auto request = s.lastTo("/upgrade.cgi");
        QVERIFY(request);
        const std::string contentType = request->header("Content-Type");
        QVERIFY2(contentType.rfind("multipart/form-data; boundary=", 0) == 0 &&
                     contentType.find('"') == std::string::npos,
                 contentType.c_str());
        const auto& upload = request->files.find("webUpload")->second;
        QCOMPARE(QString::fromStdString(upload.filename), QStringLiteral("42.bin"));
        QVERIFY(QByteArray::fromStdString(upload.content) == image);
        QCOMPARE(request->files.find("step")->second.content, std::string("1"));
    }

    void upload_withoutReadableFile_sendsAnEmptyNamelessPart_data()
    {
        QTest::addColumn<QString>("path");
        QTest::newRow("empty path") << "";
        QTest::newRow("missing file") << "/nonexistent-tolvane/42.bin";
        QTest::newRow("a folder") << "/";
    }
    void upload_withoutReadableFile_sendsAnEmptyNamelessPart()
    {
        QFETCH(QString, path);
        Session s;
        s.server.page("/upgrade_firm_browse.htm",
                      "<form name=webForm method=post action=/upgrade.cgi "
                      "enctype=multipart/form-data><input type=file name=webUpload>"
                      "<input type=submit id=go></form>");
        s.server.routes().Post("/upgrade.cgi", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("<p>refused</p>", "text/html");
        });
        s.browser.Navigate(s.server.address(QStringLiteral("/upgrade_firm_browse.htm")));
        WAIT_LOADED(s.browser);
        HtmlDocument document = s.browser.Document();
        document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload")).Focus();
        document.paste(path);
        s.byId(QStringLiteral("go")).Click();
        WAIT_LOADED(s.browser);

        const auto request = s.lastTo("/upgrade.cgi");
        QVERIFY(request);
        const auto part = request->files.find("webUpload");
        QVERIFY(part != request->files.end());
        QCOMPARE(part->second.filename, std::string());
        QCOMPARE(part->second.content, std::string());
    }

    void click_link_opensItsAddressResolvedAgainstThePage()
    {
        Session s;
        s.server.page("/dir/page.htm", "<a href='../next.htm?x=1' id=go><b>next</b></a>");
        s.server.page("/next.htm", "<p>next page</p>");
        s.browser.Navigate(s.server.address(QStringLiteral("/dir/page.htm")));
        WAIT_LOADED(s.browser);
        s.browser.Document().All(s.browser.Document().All().Length() - 1).Click(); // the <b>
        WAIT_LOADED(s.browser);
        QVERIFY(s.html().contains(u"next page"));
        QCOMPARE(s.lastTo("/next.htm")->query, std::string("x=1"));
    }

    void sizeCap_keepsTheBeginningAndDropsTheRest()
    {
        Session s;
        s.browser.setPageSizeCap(100000);
        s.server.page("/big.htm", "<p>" + std::string(2000000, 'a') + "</p><p>end</p>");
        s.browser.Navigate(s.server.address(QStringLiteral("/big.htm")));
        WAIT_LOADED(s.browser);
        const QString html = s.html();
        QVERIFY(html.contains(u"<p>aaaa"));
        QVERIFY(!html.contains(u"end"));
        QVERIFY(html.size() < 100100);
    }
};

QTEST_GUILESS_MAIN(ModemBrowserTest)
#include "ModemBrowserTest.moc"
