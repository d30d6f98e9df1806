#include "modem/HtmlDocument.h"

#include "ModemPages.h"
#include "common/Errors.h"
#include "support/ServedScripts.h"
#include "wizard/StatusPageCut.h"

#include <QTest>

using namespace tolvane;

namespace {

HtmlDocument page(const QByteArray& html)
{
    return HtmlDocument::fromHtml(html, QUrl(QStringLiteral("http://127.0.0.1/page.htm")));
}

// A status page whose script holds `lines` lines of one shape before the status values.
QByteArray statusPageAfter(const QByteArray& shape, int lines)
{
    QByteArray page = "<html><head><title>Status</title>\n<script type=\"text/javascript\">\n";
    for (int i = 0; i < lines; ++i)
        page += QByteArray(shape).replace("%1", QByteArray::number(i)) + '\n';
    return page + "var z;\nvar runtime_code_version=\"0.42 (Mar 14 2006)\";\n"
                  "var lan_mac_addr=\"00:0A:79:12:34:56\";\n"
                  "var adsl_code_version=\"A2pB023c.d16 (annex A)\";\n</script></head>\n"
                  "<body><script>document.write(runtime_code_version);</script></body></html>\n";
}

QList<QByteArray> standInPages()
{
    using namespace modemsim;
    StatusValues status{"0.39k (Nov 15 2005)", "00:0A:79:12:34:56", "A2pB023c.d16"};
    const std::string early = statusPage(status);
    status.versionTagLate = true;
    QList<QByteArray> pages;
    for (const std::string& html :
         {loginPage(false), loginPage(true), homePage("0.39k"), early, statusPage(status),
          kernelUpgradePage("0.39k", true), settingsSavedPage(), restartingPage(), busyPage(),
          uploadAcceptedPage(false), uploadRefusedPage("bad", true), miniKernelPage(false),
          miniUpgradePage(true), saveRestartPage()})
        pages << QByteArray::fromStdString(html);
    return pages;
}

// The values the version reading cuts out of a page's text: version text and number, MAC address
// and ADSL code.
QStringList statusValues(const QString& text)
{
    const std::string plain = text.toStdString();
    QStringList values;
    for (const std::string tag : {"runtime_code_version=", "lan_mac_addr=", "adsl_code_version="}) {
        const std::size_t at = FindText(plain, tag);
        for (const char delimiter : {';', '('})
            values << QString::fromStdString(
                at ? CutTagValue(plain, at, tag.size(), delimiter).value_or("-") : "none");
    }
    return values;
}

} // namespace

class HtmlDocumentTest : public QObject {
    Q_OBJECT

private slots:
    // document.all: every element in tree order, no text or comment. A click toggles a checkbox
    // and checks a radio button, clearing the others of its group.
    void all_listsElementsInOrder_clicksToggleCheckboxAndRadios()
    {
        const HtmlDocument document =
            page("<title>t</title><p><b>b</b><!-- c --><input type=checkbox checked></p>"
                 "<input type=radio name=r value=1 checked><input type=radio name=r value=2>");
        QStringList tags;
        for (int i = 0; i < document.All().Length(); ++i)
            tags << document.All(i).tagName();
        QCOMPARE(tags, QStringList(
                           {"HTML", "HEAD", "TITLE", "BODY", "P", "B", "INPUT", "INPUT", "INPUT"}));
        HtmlElement box = document.All(6);
        box.Click();
        QVERIFY(!box.checked());
        box.Click();
        QVERIFY(box.checked());
        document.All(8).Click();
        document.All(8).Click();
        QVERIFY(document.All(8).checked() && !document.All(7).checked());
    }

    void namedControl_followsFormOwnership_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<bool>("found");
        const auto row = [](const char* name, const char* html, bool found) {
            QTest::newRow(name) << QByteArray(html) << found;
        };
        row("form inside table, left empty by the parser",
            "<table><form name=webForm method=post><tr><td><input type=file name=webUpload></td>"
            "</tr></form></table>",
            true);
        row("form inside table row, closed in a cell",
            "<table><tr><form id=webForm><td><input id=webUpload></td></form>", true);
        row("end tag in a comment or script does not close it",
            "<table><form name=webForm><!-- </form> --><script>'</form>'</script><tr><td><input "
            "name=webUpload></td></tr></table>",
            true);
        row("control after the form's end tag",
            "<table><form name=webForm><tr><td>x</td></tr></form><tr><td><input name=webUpload>"
            "</td></tr></table>",
            false);
        row("form attribute pointing elsewhere",
            "<form name=webForm><input name=webUpload form=other></form><form id=other></form>",
            false);
        row("form attribute pointing here",
            "<form id=webForm></form><input name=webUpload form=webForm>", true);
    }
    void namedControl_followsFormOwnership()
    {
        QFETCH(QByteArray, html);
        QFETCH(bool, found);
        const HtmlElement form = page(html).form(QStringLiteral("webForm"));
        if (found)
            QCOMPARE(form.control(QStringLiteral("webUpload")).tagName(), QStringLiteral("INPUT"));
        else
            QVERIFY_THROWS_EXCEPTION(StepError, form.control(QStringLiteral("webUpload")));
    }

    // The version reading searches outerHTML: every script body and every status value comes
    // through as served, whatever the number and shape of the lines before them.
    void outerHtml_keepsScriptsAndStatusValuesAsServed_data()
    {
        QTest::addColumn<QList<QByteArray>>("pages");
        QTest::newRow("the stand-in modem's pages") << standInPages();
        for (const char* shape :
             {"var cfg_%1=\"84\";", "var z;", "var s%1 = \"b c d\";",
              "var long%1 = \"a 'quoted' phrase, a = b, <td class=x> and more words to say\";",
              "if (a<b) { n%1 = 'x'; }", "// don't \"quote\" %1 /* it's */"}) {
            QList<QByteArray> pages;
            for (int lines = 0; lines <= 800; ++lines)
                pages << statusPageAfter(shape, lines);
            QTest::addRow("status page after 0 to 800 lines of %s", shape) << pages;
        }
        for (const QByteArray nesting : {"<div>", "<table><tr><td>"}) {
            QList<QByteArray> pages;
            for (const int depth : {84, 85, 86, 254, 255, 256, 257, 1000, 20000})
                pages << nesting.repeated(depth) + statusPageAfter("var z;", 3);
            QTest::addRow("status page inside up to 20000 of %s", nesting.constData()) << pages;
        }
        QByteArray attributes = "<p";
        for (int i = 0; i < 3000; ++i)
            attributes += " a" + QByteArray::number(i) + "='<i>" + QByteArray::number(i) + "'";
        QTest::newRow("status page after a tag of 3000 attributes")
            << QList<QByteArray>{attributes + '>' + statusPageAfter("var z;", 3)};
        QTest::newRow("status page after 600,000 nodes") << QList<QByteArray>{
            QByteArray("<p>x").repeated(300000) + statusPageAfter("var z;", 3)};
        QTest::newRow("status page after a page's closing tags")
            << QList<QByteArray>{"<p>x</body></html>" + statusPageAfter("var z;", 3),
                                 "<p>x</html>\n<script>var s=1;</script>" + statusPageAfter("", 1)};
    }
    void outerHtml_keepsScriptsAndStatusValuesAsServed()
    {
        QFETCH(QList<QByteArray>, pages);
        qsizetype scripts = 0;
        for (const QByteArray& served : pages) {
            const QString text = QString::fromUtf8(served);
            const HtmlDocument document = page(served);
            QVERIFY(document.All().Length() <= 500000);
            const QString html = document.documentElement().outerHTML();
            for (const QString& script : test::servedScripts(text)) {
                QVERIFY2(html.contains(script), qPrintable(script.left(200)));
                ++scripts;
            }
            QCOMPARE(statusValues(html), statusValues(text));
        }
        QVERIFY(scripts >= pages.size());
    }

    void missingMember_throwsStepError()
    {
        const HtmlDocument document = page("<form name=f><input type=file name=u></form>");
        const HtmlElement form = document.form(QStringLiteral("f"));
        QVERIFY_THROWS_EXCEPTION(StepError, document.All(-1));
        QVERIFY_THROWS_EXCEPTION(StepError, document.All(document.All().Length()));
        QVERIFY_THROWS_EXCEPTION(StepError, document.form(QStringLiteral("webForm")));
        QVERIFY_THROWS_EXCEPTION(StepError, document.documentElement().Value());
        QVERIFY_THROWS_EXCEPTION(StepError, document.documentElement().control("u"));
        // Only a paste puts a path into a file input, never the page.
        QVERIFY_THROWS_EXCEPTION(StepError,
                                 form.control(QStringLiteral("u")).setValue("/tmp/x.bin"));
    }

    void paste_landsOnlyInFocusedTextPasswordOrFile_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<bool>("lands");
        QTest::addColumn<QString>("valueAfter");
        const auto row = [](const char* name, const char* field, bool lands, const char* after) {
            QTest::newRow(name) << QByteArray(field) << lands << QString(after);
        };
        row("file", "<input type=file>", true, "/tmp/42.bin");
        row("text after its value", "<input value=a>", true, "a/tmp/42.bin");
        row("checkbox", "<input type=checkbox>", false, "on");
        row("hidden, which takes no focus", "<input type=hidden>", false, "");
    }
    void paste_landsOnlyInFocusedTextPasswordOrFile()
    {
        QFETCH(QByteArray, field);
        QFETCH(bool, lands);
        QFETCH(QString, valueAfter);
        HtmlDocument document = page("<form><input name=other>" + field + "</form>");
        QVERIFY(!document.paste(QStringLiteral("x"))); // nothing focused yet
        HtmlElement element = document.All(document.All().Length() - 1);
        element.Focus();
        QCOMPARE(document.paste(QStringLiteral("/tmp/42.bin\n")), lands);
        QCOMPARE(element.Value(), valueAfter);
        QCOMPARE(document.All(document.All().Length() - 2).Value(), QString());
    }

    void decoding_followsDeclarationsElseWindows1252_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");
        const auto row = [](const char* name, const char* bytes, const char* type,
                            const char* text) {
            QTest::newRow(name) << QByteArray(bytes) << QByteArray(type) << QString::fromUtf8(text);
        };
        row("nothing declared", "<p>\x80 caf\xE9 \x93q\x94</p>", "text/html", "€ café “q”");
        row("latin1 declared means windows-1252", "<meta charset=ISO-8859-1><p>\x80</p>", "", "€");
        row("meta http-equiv utf-8",
            "<meta http-equiv=Content-Type content='text/html; charset=utf-8'><p>caf\xC3\xA9</p>",
            "", "café");
        row("header wins over meta", "<meta charset=utf-8><p>caf\xE9</p>",
            "text/html; charset=windows-1252", "café");
        row("byte order mark wins over header", "\xEF\xBB\xBF<p>caf\xC3\xA9</p>",
            "text/html; charset=windows-1252", "café");
    }
    void decoding_followsDeclarationsElseWindows1252()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, contentType);
        QFETCH(QString, text);
        const HtmlDocument document = HtmlDocument::fromHtml(bytes, {}, contentType);
        QCOMPARE(document.All(document.All().Length() - 1).outerHTML(),
                 QString(QLatin1String("<p>") + text + QLatin1String("</p>")));
    }
};

QTEST_APPLESS_MAIN(HtmlDocumentTest)
#include "HtmlDocumentTest.moc"
