#include "modem/ModemBrowser.h"

#include "support/PageServer.h"

#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace tolvane;

namespace {

const auto kAnswer = [](const httplib::Request&, httplib::Response& res) {
    res.set_content("<p>sent</p>", "text/html");
};

const QByteArray kFields =
    "<input type=password name=pws value=secret><input type=submit id=go></form>";

QString portOf(const test::PageServer& server)
{
    return QString::fromStdString(server.address()).section(u':', 1);
}

// What the modem's category logs, while a test listens.
QStringList g_log;
void keepModemLog(QtMsgType, const QMessageLogContext& context, const QString& message)
{
    if (QByteArray(context.category).startsWith("tolvane.modem"))
        g_log << message;
}

// A web server that keeps each request as the bytes that arrived, unparsed, and answers every
// one with `page`. It runs in the test's thread, on the event loop.
struct RawServer {
    explicit RawServer(QByteArray html) : page(std::move(html))
    {
        tcp.listen(QHostAddress::LocalHost);
        QObject::connect(&tcp, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = tcp.nextPendingConnection())
                QObject::connect(socket, &QTcpSocket::readyRead, socket,
                                 [this, socket] { take(*socket); });
        });
    }
    QString address() const { return "127.0.0.1:" + QString::number(tcp.serverPort()); }

    // Answers once the header and as many body bytes as it announces have arrived.
    void take(QTcpSocket& socket)
    {
        QByteArray& bytes = pending[&socket];
        bytes += socket.readAll();
        static const QRegularExpression length(QStringLiteral("\r\ncontent-length: *(\\d+)"),
                                               QRegularExpression::CaseInsensitiveOption);
        const qsizetype headEnd = bytes.indexOf("\r\n\r\n") + 4;
        const qsizetype size =
            headEnd +
            length.match(QString::fromLatin1(bytes.left(headEnd))).captured(1).toLongLong();
        if (headEnd < 4 || bytes.size() < size)
            return;
        requests << pending.take(&socket).left(size);
        socket.write("HTTP/1.1 200 OK\r\nContent-Type: text/html\r\nConnection: close\r\n"
                     "Content-Length: " +
                     QByteArray::number(page.size()) + "\r\n\r\n" + page);
        socket.disconnectFromHost();
    }

    QTcpServer tcp;
    QByteArray page;
    QHash<QTcpSocket*, QByteArray> pending;
    QList<QByteArray> requests;
};

struct Session {
    test::PageServer server;
    ModemBrowser browser;
    // A kept-alive connection would make the server's stop wait for its timeout.
    ~Session() { browser.closeConnections(); }

    QString html() const { return browser.Document().documentElement().outerHTML(); }
    // Opens `page` and clicks every element whose id is "go"; the load they start goes on.
    void openAndStartClick(const std::string& page)
    {
        server.page("/form.htm", page);
        browser.Navigate(QString::fromStdString(server.address()) + "/form.htm");
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading(), 20000);
        const ElementCollection all = browser.Document().All();
        for (int i = 0; i < all.Length(); ++i)
            if (all(i).id() == u"go")
                all(i).Click();
    }
};

} // namespace

class ModemBrowserTest : public QObject {
    Q_OBJECT

private slots:
    // A click sends the form's successful controls, encoded as the page is, or follows the link;
    // a page's form or link goes only to the scheme, host and port of that page, however the
    // address is spelled; anything else fails with the click, sends nothing and looks up no name
    // (.invalid never resolves). Rows: the page (%1: this server's port; %2: another server's),
    // and the request that reaches this server (method, path, query, body), or nothing.
    void submit_goesOnlyToTheModemThatSentThePage_data()
    {
        QTest::addColumn<QByteArray>("page");
        QTest::addColumn<QString>("reached");
        const auto row = [](const char* name, const QByteArray& page, const char* reached) {
            QTest::newRow(name) << page << QString(reached);
        };
        const auto post = [&row](const char* name, const char* action, const char* reached) {
            row(name, "<form method=post action=" + QByteArray(action) + '>' + kFields, reached);
        };
        row("several buttons, each clicked: one request, the last; an image's point",
            "<form action=/send method=post><input name=a value=1><input type=submit name=s "
            "value=One id=go><input type=image name=i id=go>",
            "POST /send a=1&i.x=0&i.y=0");
        row("hidden sent; disabled, nameless and unnamed button left out",
            "<form action=/send method=POST><input type=hidden name=h value=x><input name=d "
            "value=y disabled><input value=z><fieldset disabled><input name=f value=w></fieldset>"
            "<input type=submit id=go>",
            "POST /send h=x");
        row("checked boxes and radios, selected options, textarea, button",
            "<form action=/send method=post><input type=checkbox name=c1 checked><input "
            "type=checkbox name=c2 value=v><input type=radio name=r value=a><input type=radio "
            "name=r value=b checked><select name=s><option>o1<option selected value=o2>t</select>"
            "<select name=m multiple><option selected>m1<option>m2<option selected>m3</select>"
            "<textarea name=t>l1\nl2</textarea><button id=go name=b value=bv>Go</button>",
            "POST /send c1=on&r=b&s=o2&m=m1&m=m3&t=l1%0D%0Al2&b=bv");
        row("GET replaces the action's query",
            "<form action='/send?old=1'><input name=q value='a b&amp;c'><input type=submit id=go>",
            "GET /send?q=a+b%26c");
        row("page in windows-1252 sends windows-1252",
            "<form action=/send method=post><input name=v value='caf\xE9 \x80'><input type=submit "
            "id=go>",
            "POST /send v=caf%E9+%80");
        post("another host", "http://evil.invalid/send", "");
        post("another port", "http://127.0.0.1:%2/send", "");
        post("another scheme", "https://127.0.0.1:%1/send", "");
        post("no scheme", "//evil.invalid/send", "");
        post("user info before another host", "http://127.0.0.1:%1@evil.invalid/send", "");
        post("upper-case scheme", "HTTP://EVIL.invalid/send", "");
        post("leading blanks", "'  http://evil.invalid/send'", "");
        post("entities", "'&#104;ttp:&#x2F;/evil&#46;invalid/send'", "");
        row("base to another host",
            "<base href=http://evil.invalid/><form method=post action=send>" + kFields, "");
        row("GET to another port", "<form action=http://127.0.0.1:%2/send>" + kFields, "");
        row("button's own action to another port",
            "<form method=post><input type=submit id=go formaction=http://127.0.0.1:%2/send>", "");
        row("link to another port", "<a id=go href=http://127.0.0.1:%2/send>x</a>", "");
        post("relative action", "send", "POST /send pws=secret");
        post("empty action", "''", "POST /form.htm pws=secret");
        post("same host and port", "http://127.0.0.1:%1/send", "POST /send pws=secret");
        post("the modem spelled otherwise", "' HTTP://127.0.0.1:%1/x/../send'",
             "POST /send pws=secret");
        row("base on the modem",
            "<base href=http://127.0.0.1:%1/x/><form method=post action=../send>" + kFields,
            "POST /send pws=secret");
        row("link on the modem", "<a id=go href=/send>x</a>", "GET /send");
    }
    void submit_goesOnlyToTheModemThatSentThePage()
    {
        QFETCH(QByteArray, page);
        QFETCH(QString, reached);
        Session s;
        test::PageServer elsewhere;
        s.server.routes().Get("/send", kAnswer);
        QLoggingCategory::setFilterRules(QStringLiteral("tolvane.modem.info=true"));
        g_log.clear();
        const QtMessageHandler previous = qInstallMessageHandler(keepModemLog);
        const auto restore = qScopeGuard([previous] {
            qInstallMessageHandler(previous);
            QLoggingCategory::setFilterRules(QString());
        });
        s.openAndStartClick(page.replace("%1", portOf(s.server).toLatin1())
                                .replace("%2", portOf(elsewhere).toLatin1())
                                .toStdString());
        const bool loading = s.browser.isLoading();
        QTRY_VERIFY_WITH_TIMEOUT(!s.browser.isLoading(), 20000);

        QVERIFY(elsewhere.requests().empty());
        const auto requests = s.server.requests();
        const auto& last = requests.back();
        const std::string sent = last.method + ' ' + last.path +
                                 (last.query.empty() ? "" : '?' + last.query) +
                                 (last.body.empty() ? "" : ' ' + last.body);
        QCOMPARE(requests.size() == 2 ? QString::fromStdString(sent) : "", reached);
        QCOMPARE(loading, !reached.isEmpty()); // a refusal comes with the click
        QCOMPARE(s.browser.refusal().isEmpty(), !reached.isEmpty());
        if (reached.isEmpty())
            QVERIFY(s.html().contains(u"away from the modem") &&
                    g_log.join('\n').contains(u"not sent"));
        QVERIFY(!g_log.join('\n').contains(u"secret"));
    }

    // A redirect stays on the modem that sent it (same scheme, address and port; no host name
    // looked up) and takes the cookies set on the way. Rows: status and location (%1: this
    // server's port; %2: another's), and the method and body that reach /home.stm, if any.
    void redirect_isFollowedOnlyToTheSameModem_data()
    {
        QTest::addColumn<QString>("redirect");
        QTest::addColumn<QByteArray>("followed");
        QTest::newRow("301") << "301 /home.stm" << QByteArray("GET ");
        QTest::newRow("303") << "303 /home.stm" << QByteArray("GET ");
        QTest::newRow("307 keeps method and body")
            << "307 http://127.0.0.1:%1/home.stm" << QByteArray("POST username=root");
        QTest::newRow("307 to another port") << "307 http://127.0.0.1:%2/home.stm" << QByteArray();
        QTest::newRow("302 to a host name") << "302 http://localhost:%1/home.stm" << QByteArray();
        QTest::newRow("302 to another scheme")
            << "302 https://127.0.0.1:%1/home.stm" << QByteArray();
    }
    void redirect_isFollowedOnlyToTheSameModem()
    {
        QFETCH(QString, redirect);
        QFETCH(QByteArray, followed);
        Session s;
        test::PageServer elsewhere;
        const std::string target = redirect.section(u' ', 1)
                                       .replace(QStringLiteral("%1"), portOf(s.server))
                                       .replace(QStringLiteral("%2"), portOf(elsewhere))
                                       .toStdString();
        s.server.routes().Post("/login.cgi", [&](const httplib::Request&, httplib::Response& res) {
            res.status = redirect.section(u' ', 0, 0).toInt();
            res.set_header("Set-Cookie", "SESSIONID=abc123; Path=/");
            res.set_header("Location", target);
        });
        s.server.routes().Get("/home.stm", kAnswer);
        s.server.routes().Post("/home.stm", kAnswer);
        elsewhere.routes().Post("/home.stm", kAnswer);
        s.openAndStartClick("<form action=/login.cgi method=post><input name=username "
                            "value=root><input type=submit id=go>");
        QTRY_VERIFY_WITH_TIMEOUT(!s.browser.isLoading(), 20000);

        const auto request = s.server.requests().back();
        const bool reached = request.path == "/home.stm";
        QVERIFY(elsewhere.requests().empty());
        QCOMPARE(reached ? QByteArray::fromStdString(request.method + ' ' + request.body) : "",
                 followed);
        if (reached)
            QVERIFY(request.headers.count("Cookie") &&
                    request.headers.find("Cookie")->second.find("SESSIONID=abc123") !=
                        std::string::npos);
        else
            QVERIFY(s.html().contains(u"Cannot open the page"));
    }

    // The upload byte for byte, as the modem's small web server parses it: a bare boundary token
    // (a quoted one is legal, but such servers look for the token as it stands), then the parts
    // framed by CRLF in form order, and the closing boundary.
    void upload_sendsTheRequestTheModemExpects()
    {
        QTemporaryDir dir;
        const QByteArray image("\x00\x01\r\n--\r\nimage\xff", 14);
        QFile file(dir.filePath("42.bin"));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(image) == image.size());
        file.close();
        RawServer server("<form name=webForm method=post action=upgrade.cgi "
                         "enctype=multipart/form-data><input type=file name=webUpload>"
                         "<input type=hidden name=page value=system_f><input type=submit></form>");
        ModemBrowser browser;
        browser.Navigate(server.address() + "/system_f.stm");
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading(), 20000);
        HtmlDocument document = browser.Document();
        document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload")).Focus();
        QVERIFY(document.paste(file.fileName()));
        document.All(document.All().Length() - 1).Click();
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading() && server.requests.size() == 2, 20000);
        browser.closeConnections();

        const QByteArray request = server.requests.back();
        const qsizetype headEnd = request.indexOf("\r\n\r\n") + 2; // the head ends in CRLF
        const QString head = QString::fromLatin1(request.left(headEnd));
        const QByteArray body = request.mid(headEnd + 2);
        QVERIFY(head.startsWith("POST /upgrade.cgi HTTP/1.1\r\n"));
        QVERIFY(head.contains("\r\nContent-Length: " + QString::number(body.size()) + "\r\n"));
        static const QRegularExpression bare(QStringLiteral(
            "\r\nContent-Type: multipart/form-data; boundary=([0-9A-Za-z'()+_,./:=?-]{1,70})\r\n"));
        const QRegularExpressionMatch token = bare.match(head);
        QVERIFY2(token.hasMatch(), qPrintable(head));
        const QByteArray boundary = "--" + token.captured(1).toLatin1();
        QCOMPARE(body, boundary +
                           "\r\n"
                           "Content-Disposition: form-data; name=\"webUpload\"; "
                           "filename=\"42.bin\"\r\n"
                           "Content-Type: application/octet-stream\r\n"
                           "\r\n" +
                           image + "\r\n" + boundary +
                           "\r\n"
                           "Content-Disposition: form-data; name=\"page\"\r\n"
                           "\r\n"
                           "system_f\r\n" +
                           boundary + "--\r\n");
    }

    // Past the cap the load ends with what arrived: a server that never stops sending is cut
    // off. While the window's thread is busy, such an answer waits in the network rather than
    // pile up in the program; a POST answer once did, by gigabytes.
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
        constexpr std::size_t kPlenty = 256 * 1024 * 1024;
        std::atomic<bool> go = false;
        std::atomic<bool> stopped = false;
        std::atomic<std::size_t> sent = 0;
        const std::string piece = "<p>" + std::string(65536, 'a') + "</p>";
        Session s;
        const auto serve = [&](const httplib::Request&, httplib::Response& res) {
            if (!endless)
                return res.set_content(std::string(2000000, 'a') + "<p>end</p>", "text/html");
            // Not a text type, which the server would compress: `sent` counts what goes out.
            const char* type = "application/octet-stream";
            res.set_chunked_content_provider(type, [&](size_t, httplib::DataSink& sink) {
                while (!go)
                    std::this_thread::sleep_for(std::chrono::milliseconds(5));
                stopped = !sink.write(piece.data(), piece.size());
                sent += piece.size();
                return !stopped && sent < kPlenty;
            });
        };
        s.server.routes().Get("/big.htm", serve);
        s.server.routes().Post("/big.htm", serve);
        s.browser.setPageSizeCap(100000);
        s.openAndStartClick("<form action=/big.htm method=" + method.toStdString() +
                            "><input type=submit id=go>");
        if (endless) {
            QTRY_VERIFY_WITH_TIMEOUT(s.server.requests().size() == 2, 20000);
            QCoreApplication::processEvents(); // what the request queued behind itself
            go = true;
            const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
            while (sent < kPlenty && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            QVERIFY2(sent < 64 * 1024 * 1024, QByteArray::number(qulonglong(sent)));
        }
        QTRY_VERIFY_WITH_TIMEOUT(!s.browser.isLoading(), 20000);
        const QString html = s.html();
        QVERIFY(html.contains(u"aaaa") && !html.contains(u"end") && html.size() < 100100);
        if (endless)
            QTRY_VERIFY_WITH_TIMEOUT(stopped, 20000); // the connection was closed
    }
};

QTEST_GUILESS_MAIN(ModemBrowserTest)
#include "ModemBrowserTest.moc"
