#include "ui/ModemBrowserWidget.h"

#include "LocalServer.h"
#include "modem/ModemBrowser.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

using namespace tolvane;

class ModemBrowserWidgetTest : public QObject {
    Q_OBJECT

private slots:
    void ctrlV_reachingTheWidget_pastesIntoTheFocusedField_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<bool>("widgetFocused");
        QTest::addColumn<QString>("valueAfter");
        QTest::addColumn<QString>("shown");
        QTest::newRow("file input") << "webUpload" << true << "/tmp/TFWU/42.bin"
                                    << "[>/tmp/TFWU/42.bin<]";
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

        test::LocalServer server;
        server.page("/upgrade_firm_browse.htm",
                    "<form name=webForm><input type=file name=webUpload>"
                    "<input type=password name=pws><input type=checkbox name=remember>"
                    "<input type=submit></form>");
        ModemBrowser browser;
        browser.Navigate(server.address(QStringLiteral("/upgrade_firm_browse.htm")));
        QTRY_VERIFY_WITH_TIMEOUT(!browser.isLoading(), 20000);
        browser.closeConnections();

        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* other = new QLineEdit(&window);
        auto* view = new ModemBrowserWidget(browser, &window);
        layout->addWidget(other);
        layout->addWidget(view);
        window.show();
        window.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&window));

        HtmlElement element = browser.Document().form(QStringLiteral("webForm")).control(field);
        QApplication::clipboard()->setText(QStringLiteral("/tmp/TFWU/42.bin"));
        (widgetFocused ? static_cast<QWidget*>(view) : other)->setFocus();
        QTRY_VERIFY(QApplication::focusWidget() ==
                    (widgetFocused ? view : static_cast<QWidget*>(other)));
        element.Focus();
        QTest::keyClick(window.windowHandle(), Qt::Key_V, Qt::ControlModifier);

        QCOMPARE(element.Value(), valueAfter);
        QVERIFY(view->toPlainText().contains(shown));
    }
};

QTEST_MAIN(ModemBrowserWidgetTest)
#include "ModemBrowserWidgetTest.moc"
