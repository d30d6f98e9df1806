#include "modem/ModemBrowser.h"

#include "common/Pause.h"
#include "support/PageServer.h"
#include "support/VirtualClock.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <optional>

using namespace tolvane;
using namespace std::chrono_literals;

namespace {

// The marks by which the program recognises the modem and a refused login.
const QStringList kModemTexts = {"Velmora", "setupw_2.stm", "upgrade_firm_browse.htm",
                                 "Incorrect Password"};
const std::string kModemPage =
    "<p>Velmora <a href=setupw_2.stm>x</a> upgrade_firm_browse.htm Incorrect Password</p>";
const auto kAnswer = [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<p>sent</p>", "text/html");
};

struct Session {
    test::PageServer server;
    ModemBrowser browser;
    // A kept-alive connection would make the server's stop wait for its timeout.
    ~Session() { browser.closeConnections(); }

    QString at(const char* path) const { return QString::fromStdString(server.address()) + path; }
    QString html() const { return browser.Document().documentElement().outerHTML(); }
    void open(const QString& address)
    {
        browser.Navigate(address);
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading(), 20000);
    }
    void click(const QString& id)
    {
        const ElementCollection all = browser.Document().All();
        for (int i = 0; i < all.Length(); ++i) {
            if (all(i).id() == id)
                all(i).Click();
        }
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading(), 20000);
    }
    std::optional<test::PageServer::Request> lastTo(const std::string& path) const
    {
        std::optional<test::PageServer::Request> found;
        for (const auto& request : server.requests())
            if (request.path == path)
                found = request;
        return found;
    }
};

} // namespace

class ModemBrowserTest : public QObject {
    Q_OBJECT

private slots:
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
        s.server.routes().Get("/stalled", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(1500ms);
            res.set_content(kModemPage, "text/html");
        });
        s.open(s.at("")); // without a scheme: http
        QVERIFY(s.html().contains(u"Velmora"));
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const quint16 closedPort = closed.serverPort();
        closed.close();
        s.browser.setTransferTimeout(200ms);
        s.open(failure == u"refused"   ? QStringLiteral("127.0.0.1:%1/").arg(closedPort)
               : failure == u"stalled" ? s.at("/stalled")
                                       : QStringLiteral("ftp://127.0.0.1/"));
        QVERIFY2(s.html().contains(u"Cannot open the page"), qPrintable(s.html()));
        for (const QString& mark : kModemTexts)
            QVERIFY2(!s.html().contains(mark), qPrintable(mark));
    }

    void navigate_documentIsEmptyUntilTheNewPageArrives()
    {
        Session s;
        s.server.page("/", kModemPage);
        s.server.routes().Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            std::this_thread::sleep_for(300ms);
            res.status = 404;
            res.set_content("<p>second</p>", "text/html");
        });
        s.open(s.at("/"));
        const HtmlDocument previous = s.browser.Document();
        s.browser.Navigate(s.at("/slow"));
        QCOMPARE(s.browser.Document().All().Length(), 3); // html, head, body
        QTRY_VERIFY_WITH_TIMEOUT(!s.browser.isLoading(), 20000);
        QVERIFY(s.html().contains(u"<p>second</p>")); // an error status shows the server's page
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
        s.browser.Navigate(s.at("/login.stm"));
        Pause(5000);
        InstallPauseClock(nullptr);
        QVERIFY(s.html().contains(u"late"));
    }

    void submit_sendsTheSuccessfulControls_data()
    {
        QTest::addColumn<QByteArray>("form");
        QTest::addColumn<QString>("method");
        QTest::addColumn<QString>("sent");
        QTest::newRow("second of several submit buttons")
            << QByteArray("<form action=/send method=post><input name=a value=1>"
                          "<input type=submit name=s value=One><input type=submit name=s "
                          "value=Two id=go></form>")
            << "POST"
            << "a=1&s=Two";
        QTest::newRow("hidden sent; disabled, nameless and unnamed button left out")
            << QByteArray("<form action=/send method=POST><input type=hidden name=h value=x>"
                          "<input name=d value=y disabled><input value=z><fieldset disabled>"
                          "<input name=f value=w></fieldset><input type=submit id=go></form>")
            << "POST"
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
            << "c1=on&r=b&s=o2&m=m1&m=m3&t=l1%0D%0Al2&b=bv";
        QTest::newRow("GET replaces the action's query")
            << QByteArray("<form action='/send?old=1'><input name=q value='a b&amp;c'>"
                          "<input type=submit id=go></form>")
            << "GET"
            << "q=a+b%26c";
        QTest::newRow("form in a table, closed by the parser in the first cell")
            << QByteArray("<table><tr><td><form action=/send method=post><input name=a "
                          "value=1></td><td><input type=submit id=go name=s value=S></td></tr>"
                          "</form><tr><td><input name=after></td></tr></table>")
            << "POST"
            << "a=1&s=S";
        QTest::newRow("page in windows-1252 sends windows-1252")
            << QByteArray("<form action=/send method=post><input name=v value='caf\xE9 \x80'>"
                          "<input type=submit id=go></form>")
            << "POST"
            << "v=caf%E9+%80";
        QTest::newRow("image button sends its coordinates")
            << QByteArray("<form action=/send method=post><input type=image name=i id=go>")
            << "POST"
            << "i.x=0&i.y=0";
    }
    void submit_sendsTheSuccessfulControls()
    {
        QFETCH(QByteArray, form);
        QFETCH(QString, method);
        QFETCH(QString, sent);
        Session s;
        s.server.page("/form.htm", form.toStdString());
        s.server.routes().Get("/send", kAnswer);
        s.open(s.at("/form.htm"));
        s.click(QStringLiteral("go"));
        const auto request = s.lastTo("/send");
        QVERIFY(request);
        QCOMPARE(QString::fromStdString(request->method), method);
        QCOMPARE(QString::fromStdString(method == u"GET" ? request->query : request->body), sent);
    }

    void submit_ofSeveralClicksInOneGo_sendsOnlyTheLast()
    {
        Session s;
        s.server.page("/form.htm", "<form action=/send method=post><input type=submit name=s "
                                   "value=One id=go><input type=submit name=s value=Two id=go>");
        s.open(s.at("/form.htm"));
        s.click(QStringLiteral("go"));
        QCOMPARE(s.server.posts().size(), 1u);
        QCOMPARE(QString::fromStdString(s.lastTo("/send")->body), QStringLiteral("s=Two"));
    }

    void redirect_isFollowedOnlyToTheSameModem_data()
    {
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("location"); // %1: this server's port; %2: another's
        QTest::addColumn<QString>("method");   // of the request that reaches /home.stm
        QTest::addColumn<QString>("body");
        QTest::newRow("301") << 301 << "/home.stm"
                             << "GET"
                             << "";
        QTest::newRow("302") << 302 << "/home.stm"
                             << "GET"
                             << "";
        QTest::newRow("303") << 303 << "/home.stm"
                             << "GET"
                             << "";
        QTest::newRow("307 keeps method and body") << 307 << "http://127.0.0.1:%1/home.stm"
                                                   << "POST"
                                                   << "username=root";
        QTest::newRow("307 to another port") << 307 << "http://127.0.0.1:%2/home.stm"
                                             << ""
                                             << "";
        QTest::newRow("302 to a host name") << 302 << "http://localhost:%1/home.stm"
                                            << ""
                                            << "";
        QTest::newRow("302 to another scheme") << 302 << "https://127.0.0.1:%1/home.stm"
                                               << ""
                                               << "";
    }
    void redirect_isFollowedOnlyToTheSameModem()
    {
        QFETCH(int, status);
        QFETCH(QString, location);
        QFETCH(QString, method);
        QFETCH(QString, body);
        Session s;
        test::PageServer elsewhere;
        const auto port = [](const test::PageServer& server) {
            return QString::fromStdString(server.address()).section(u':', 1);
        };
        const std::string target = QString(location)
                                       .replace(QStringLiteral("%1"), port(s.server))
                                       .replace(QStringLiteral("%2"), port(elsewhere))
                                       .toStdString();
        s.server.page("/login.stm", "<form action=/login.cgi method=post>"
                                    "<input name=username value=root><input type=submit id=go>");
        s.server.routes().Post("/login.cgi", [&](const httplib::Request&, httplib::Response& res) {
            res.status = status;
            res.set_header("Location", target);
        });
        s.server.routes().Get("/home.stm", kAnswer);
        s.server.routes().Post("/home.stm", kAnswer);
        elsewhere.routes().Post("/home.stm", kAnswer);
        s.open(s.at("/login.stm"));
        s.click(QStringLiteral("go"));

        const auto request = s.lastTo("/home.stm");
        QCOMPARE(request.has_value(), !method.isEmpty());
        QVERIFY(elsewhere.requests().empty());
        if (!request) {
            QVERIFY(s.html().contains(u"Cannot open the page"));
            return;
        }
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
        s.open(s.at("/login.stm"));
        s.click(QStringLiteral("go"));
        s.open(s.at("/status_main.stm"));
        QVERIFY(s.lastTo("/status_main.stm")->header("Cookie").find("SESSIONID=abc123") !=
                std::string::npos);
    }

    void upload_sendsTheFileByteForByteUnderItsOwnName_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QByteArray>("content"); // null: no file there
        QTest::addColumn<QString>("fileName");
        QByteArray image(1300000, Qt::Uninitialized);
        for (qsizetype i = 0; i < image.size(); ++i)
            image[i] = static_cast<char>((i * 7919) >> 3);
        QTest::newRow("image") << "42.bin" << image << "42.bin";
        QTest::newRow("empty path: empty nameless part") << "" << QByteArray() << "";
        QTest::newRow("missing file") << "/nonexistent-tolvane/42.bin" << QByteArray() << "";
        QTest::newRow("a folder") << "/" << QByteArray() << "";
    }
    void upload_sendsTheFileByteForByteUnderItsOwnName()
    {
        QFETCH(QString, path);
        QFETCH(QByteArray, content);
        QFETCH(QString, fileName);
        QTemporaryDir dir;
        if (!content.isNull()) {
            path = dir.filePath(path);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
        }
        Session s;
        s.server.page("/system_f.stm",
                      "<table><form name=webForm method=post action=/upgrade.cgi "
                      "enctype=multipart/form-data><tr><td><input type=file name=webUpload></td>"
                      "<td><input type=hidden name=step value=1><input type=submit id=go>"
                      "</td></tr></form></table>");
        s.open(s.at("/system_f.stm"));
        HtmlDocument document = s.browser.Document();
        HtmlElement field =
            document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload"));
        field.Focus();
        QCOMPARE(document.paste(path), true);
        QCOMPARE(field.Value(), path);
        s.click(QStringLiteral("go"));

        const auto request = s.lastTo("/upgrade.cgi");
        QVERIFY(request);
        const std::string contentType = request->header("Content-Type");
        QVERIFY2(contentType.rfind("multipart/form-data; boundary=", 0) == 0 &&
                     contentType.find('"') == std::string::npos,
                 contentType.c_str());
        const auto& upload = request->files.find("webUpload")->second;
        QCOMPARE(QString::fromStdString(upload.filename), fileName);
        QVERIFY(QByteArray::fromStdString(upload.content) == content);
        QCOMPARE(request->files.find("step")->second.content, std::string("1"));
    }

    void click_link_opensItsAddressResolvedAgainstThePage()
    {
        Session s;
        s.server.page("/dir/page.htm", "<base href=/dir/sub/><a href='../next.htm?x=1'><b id=go>"
                                       "next</b></a>");
        s.server.page("/dir/next.htm", "<p>next page</p>");
        s.open(s.at("/dir/page.htm"));
        s.click(QStringLiteral("go"));
        QVERIFY(s.html().contains(u"next page"));
        QCOMPARE(s.lastTo("/dir/next.htm")->query, std::string("x=1"));
    }

    void sizeCap_endsTheLoadThereAndShowsTheBeginning_data()
    {
        QTest::addColumn<QByteArray>("method");
        QTest::addColumn<bool>("endless");
        QTest::newRow("GET, fixed length") << QByteArray("GET") << false;
        QTest::newRow("GET, endless chunks") << QByteArray("GET") << true;
        QTest::newRow("POST, endless chunks") << QByteArray("POST") << true;
    }
    void sizeCap_endsTheLoadThereAndShowsTheBeginning()
    {
        QFETCH(QByteArray, method);
        QFETCH(bool, endless);
        std::atomic<bool> stopped = false;
        const std::string piece = "<p>" + std::string(65536, 'a') + "</p>";
        Session s;
        const auto serve = [&](const httplib::Request&, httplib::Response& res) {
            if (!endless)
                return res.set_content(std::string(2000000, 'a') + "<p>end</p>", "text/html");
            res.set_chunked_content_provider("text/html", [&](size_t, httplib::DataSink& sink) {
                stopped = !sink.write(piece.data(), piece.size());
                return !stopped;
            });
        };
        s.server.routes().Get("/big.htm", serve);
        s.server.routes().Post("/big.htm", serve);
        s.server.page("/form.htm", "<form action=/big.htm method=" + method.toStdString() +
                                       "><input type=submit id=go>");
        s.browser.setPageSizeCap(100000);
        s.open(s.at("/form.htm"));
        s.click(QStringLiteral("go"));
        const QString html = s.html();
        QVERIFY(html.contains(u"aaaa"));
        QVERIFY(!html.contains(u"end"));
        QVERIFY(html.size() < 100100);
        if (endless)
            QTRY_VERIFY_WITH_TIMEOUT(stopped, 20000); // the connection was closed
    }
};

QTEST_GUILESS_MAIN(ModemBrowserTest)
#include "ModemBrowserTest.moc"
