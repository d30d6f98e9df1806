#include "ui/ModemBrowserWidget.h"

#include "modem/ModemBrowser.h"
#include "support/PageServer.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

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
        auto* layout = new QVBoxLayout(&window);
        layout->addWidget(other);
        layout->addWidget(view);
        window.show();
        window.activateWindow();
        server.page("/page.stm", html.toStdString());
        browser.Navigate(QString::fromStdString(server.address()) + "/page.stm");
    }
    ~Window() { browser.closeConnections(); }
    bool loaded() const
    {
        return QTest::qWaitFor([&] { return !browser.isLoading(); }, 20000);
    }
};

// Shapes of page that once froze the program, each inside the upload form of a
// modem page and about as large as the page size cap allows.
void addHostilePages()
{
    constexpr qsizetype kCap = 4 * 1024 * 1024 - 4096;
    const auto fill = [](const QByteArray& start, const QByteArray& unit) {
        return start + unit.repeated((kCap - start.size()) / unit.size());
    };
    QByteArray attributes = "<p";
    for (int i = 0; attributes.size() < kCap - 16; ++i)
        attributes += " a" + QByteArray::number(i) + "=1";
    const QList<std::pair<const char*, QByteArray>> shapes = {
        {"end tags that close nothing", fill("", "<div></span>")},
        {"nesting after <noscript>", fill("<noscript>", "<div>")},
        {"nesting after an open comment", fill("<!--", "<div>")},
        {"nesting after a quote in an attribute name", fill("<p a\"b=1>", "<div>")},
        {"inputs of a missing form", fill("", "<input form=nosuch>")},
        {"submit inputs in the upload form", fill("", "<input type=submit>")},
        {"one element of many attributes", attributes + ">"},
        {"text without a break", fill("", "x")},
    };
    for (const auto& [name, shape] : shapes)
        QTest::newRow(name) << "<html><body><form name=webForm method=post action=/upgrade.cgi "
                               "enctype=multipart/form-data><input type=file name=webUpload>" +
                                   shape + "<input type=submit value=Upgrade></form></body></html>";
}

} // namespace

class ModemBrowserWidgetTest : public QObject {
    Q_OBJECT

private slots:
    void ctrlV_reachingTheWidget_pastesIntoTheFocusedField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("widgetFocused");
        QTest::addColumn<QString>("valueAfter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("password input") << "pws" << true << "/tmp/TFWU/42.bin"
                                        << "[>****************<]";
        QTest::newRow("checkbox takes no paste") << "remember" << true << "on"
                                                 << "";
        QTest::newRow("keystroke goes to another widget") << "webUpload" << false << ""
                                                          << "";
    }
    void ctrlV_reachingTheWidget_pastesIntoTheFocusedField()
    {
        QFETCH(QString, field);
        QFETCH(bool, widgetFocused);
        QFETCH(QString, valueAfter);
        QFETCH(QString, shown);
        Window w("<form name=webForm><input type=file name=webUpload>"
                 "<input type=password name=pws><input type=checkbox name=remember>");
        QVERIFY(w.loaded());
        QVERIFY(QTest::qWaitForWindowActive(&w.window));
        HtmlElement element = w.browser.Document().form(QStringLiteral("webForm")).control(field);
        QApplication::clipboard()->setText(QStringLiteral("/tmp/TFWU/42.bin"));
        QWidget* focused = widgetFocused ? static_cast<QWidget*>(w.view) : w.other;
        focused->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() == focused);
        element.Focus();
        QTest::keyClick(w.window.windowHandle(), Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(element.Value(), valueAfter);
        QVERIFY(w.view->toPlainText().contains(shown));
    }

    // No page within the size cap may keep the program busy: parsing, the walk
    // the upload makes over the page (a lookup of the file field and a click per
    // submit input), the request and what the window shows. A shape that brings
    // back a cost per element times the elements makes this run for many minutes,
    // past the test's time limit.
    void hostilePage_walkedAndSubmitted_endsWithTheWindowShowingItsBeginning_data()
    {
        QTest::addColumn<QByteArray>("html");
        addHostilePages();
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
        QVERIFY(w.server.posts().size() <= 1);
        QVERIFY(w.view->toPlainText().size() <= 8000);
    }
};

QTEST_MAIN(ModemBrowserWidgetTest)
#include "ModemBrowserWidgetTest.moc"
