#include "ui/ModemBrowserWidget.h"

#include "HostilePages.h"
#include "modem/ModemBrowser.h"
#include "support/PageServer.h"
#include "support/RuntimeDir.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

using namespace tolvane;

namespace {

struct Window {
    test::PageServer server;
    ModemBrowser browser;
    QWidget window;
    QLineEdit* other = new QLineEdit(&window);
    ModemBrowserWidget* view = new ModemBrowserWidget(browser, &window);

    explicit Window(const QByteArray& html)
    {
        window.show();
        window.activateWindow();
        server.page("/page.stm", html.toStdString());
        browser.Navigate(QString::fromStdString(server.address()) + "/page.stm");
    }
    ~Window() { browser.closeConnections(); }
    // The test server compresses a page of 4 MiB with brotli before it sends it: seconds of its
    // own, and many more on a machine busy with other tests.
    bool loaded() const
    {
        return QTest::qWaitFor([&] { return !browser.isLoading(); }, 120000);
    }
};

} // namespace

class ModemBrowserWidgetTest : public QObject {
    Q_OBJECT

public:
    static void initMain() { tolvane::test::useOwnRuntimeDir(); }

private slots:
    // A Ctrl+V that reaches another widget leaves the page alone; one that reaches this widget
    // pastes into the page's focused field, and the rendering shows it.
    void ctrlV_reachingTheWidget_pastesIntoTheFocusedField()
    {
        Window w("<form name=webForm><input type=password name=pws>");
        QVERIFY(w.loaded());
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        HtmlElement field =
            w.browser.Document().form(QStringLiteral("webForm")).control(QStringLiteral("pws"));
        field.Focus();
        QApplication::clipboard()->setText(QStringLiteral("/tmp/TFWU/42.bin"));
        for (QWidget* focused : {static_cast<QWidget*>(w.other), static_cast<QWidget*>(w.view)}) {
            focused->setFocus();
            QTRY_VERIFY(QApplication::focusWidget() == focused);
            QTest::keyClick(w.window.windowHandle(), Qt::Key_V, Qt::ControlModifier);
        }
        QCOMPARE(field.Value(), QStringLiteral("/tmp/TFWU/42.bin"));
        QVERIFY(w.view->toPlainText().contains(u"[>****************<]"));
    }

    // No page within the size cap may keep the program busy: parsing, the walk the upload makes
    // over the page (a lookup of the file field and a click per submit input), the request and
    // what the window shows. A cost per element times the elements runs past the time limit.
    void hostilePage_walkedAndSubmitted_endsWithTheWindowShowingItsBeginning_data()
    {
        QTest::addColumn<QByteArray>("html");
        for (const auto& [name, html] : test::hostilePages())
            QTest::newRow(name) << html;
    }
    void hostilePage_walkedAndSubmitted_endsWithTheWindowShowingItsBeginning()
    {
        QFETCH(QByteArray, html);
        Window w(html);
        QVERIFY(w.loaded());
        HtmlDocument document = w.browser.Document();
        document.documentElement().outerHTML(); // what the version reading searches
        const auto uploadField = [&] {
            return document.form(QStringLiteral("webForm")).control(QStringLiteral("webUpload"));
        };
        uploadField().Focus();
        QVERIFY(document.paste(QStringLiteral("/nonexistent-tolvane/42.bin")));
        const ElementCollection all = document.All();
        for (int i = 0; i < all.Length(); ++i) {
            HtmlElement element = all(i);
            if (element.tagName() == u"INPUT" && element.Type() == u"submit" &&
                !uploadField().Value().isEmpty())
                element.Click();
        }
        QVERIFY(w.loaded());
        QVERIFY(std::ranges::count(w.server.requests(), "POST",
                                   &test::PageServer::Request::method) <= 1);
        QVERIFY(w.view->toPlainText().size() <= 8000);
    }
};

QTEST_MAIN(ModemBrowserWidgetTest)
#include "ModemBrowserWidgetTest.moc"
