#include "modem/HtmlDocument.h"

#include "common/Errors.h"

#include <QTest>

using namespace tolvane;

namespace {

HtmlDocument page(const QByteArray& html)
{
    return HtmlDocument::fromHtml(html, QUrl(QStringLiteral("http://127.0.0.1/page.htm")));
}

HtmlElement firstNamed(const HtmlDocument& document, const QString& name)
{
    const ElementCollection all = document.All();
    for (int i = 0; i < all.Length(); ++i) {
        if (all(i).Name() == name)
            return all(i);
    }
    throw StepError("no element named " + name.toStdString());
}

} // namespace

class HtmlDocumentTest : public QObject {
    Q_OBJECT

private slots:
    void element_properties_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<QString>("tagName");
        QTest::addColumn<QString>("type");

        QTest::newRow("upper-case tag and type")
            << QByteArray("<INPUT TYPE=FILE NAME=e>") << "INPUT"
            << "file";
        QTest::newRow("lower-case") << QByteArray("<input type=password name=e>") << "INPUT"
                                    << "password";
        QTest::newRow("no type") << QByteArray("<input name=e>") << "INPUT"
                                 << "text";
        QTest::newRow("unknown type") << QByteArray("<input type=Fancy name=e>") << "INPUT"
                                      << "text";
        QTest::newRow("mixed-case submit") << QByteArray("<Input Type=SubMit name=e>") << "INPUT"
                                           << "submit";
        QTest::newRow("button without type") << QByteArray("<button name=e>Go</button>") << "BUTTON"
                                             << "submit";
        QTest::newRow("select") << QByteArray("<select name=e><option>a</select>") << "SELECT"
                                << "select-one";
        QTest::newRow("unknown element") << QByteArray("<Blink name=e>x</Blink>") << "BLINK"
                                         << "";
    }
    void element_properties()
    {
        QFETCH(QByteArray, html);
        QFETCH(QString, tagName);
        QFETCH(QString, type);
        const HtmlElement element = firstNamed(page(html), QStringLiteral("e"));
        QCOMPARE(element.tagName(), tagName);
        QCOMPARE(element.Type(), type);
    }

    void all_listsEveryElementInDocumentOrder()
    {
        const HtmlDocument document = page("<title>t</title><p>a<b>b</b></p><!-- c --><p>d");
        QStringList tags;
        for (int i = 0; i < document.All().Length(); ++i)
            tags << document.All(i).tagName();
        QCOMPARE(tags, QStringList({"HTML", "HEAD", "TITLE", "BODY", "P", "B", "P"}));
    }

    void namedControl_followsFormOwnership_data()
    {
        QTest::addColumn<QByteArray>("html");
        QTest::addColumn<bool>("found");

        QTest::newRow("form around table")
            << QByteArray("<form name=webForm><table><tr><td><input type=file name=webUpload>"
                          "</td></tr></table></form>")
            << true;
        QTest::newRow("form inside table, left empty by the parser")
            << QByteArray("<table><form name=webForm method=post><tr><td>"
                          "<input type=file name=webUpload></td></tr></form></table>")
            << true;
        QTest::newRow("form inside table row, closed in a cell")
            << QByteArray("<table><tr><form id=webForm><td><input id=webUpload type=file>"
                          "</td></form></tr></table>")
            << true;
        QTest::newRow("end tag in a comment or script does not close it")
            << QByteArray("<table><form name=webForm><!-- </form> --><script>'</form>'</script>"
                          "<tr><td><input name=webUpload></td></tr></table>")
            << true;
        QTest::newRow("control after the form's end tag")
            << QByteArray("<table><form name=webForm><tr><td>x</td></tr></form>"
                          "<tr><td><input name=webUpload></td></tr></table>")
            << false;
        QTest::newRow("form attribute pointing elsewhere")
            << QByteArray("<form name=webForm><input name=webUpload form=other></form>"
                          "<form id=other></form>")
            << false;
        QTest::newRow("form attribute pointing here")
            << QByteArray("<form id=webForm></form><input name=webUpload form=webForm>") << true;
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

    void missingMember_throwsStepError_data()
    {
        QTest::addColumn<int>("member");
        QTest::newRow("All(-1)") << 0;
        QTest::newRow("All(Length)") << 1;
        QTest::newRow("no such form") << 2;
        QTest::newRow("no such control") << 3;
        QTest::newRow("Value of an element without one") << 4;
        QTest::newRow("path put into a file input by the page") << 5;
        QTest::newRow("control of something not a form") << 6;
    }
    void missingMember_throwsStepError()
    {
        QFETCH(int, member);
        const HtmlDocument document =
            page("<div id=d></div><form name=f><input type=file name=u></form>");
        const auto touch = [&] {
            switch (member) {
            case 0:
                document.All(-1);
                break;
            case 1:
                document.All(document.All().Length());
                break;
            case 2:
                document.form(QStringLiteral("webForm"));
                break;
            case 3:
                document.form(QStringLiteral("f")).control(QStringLiteral("webUpload"));
                break;
            case 4:
                document.documentElement().Value();
                break;
            case 5:
                document.form(QStringLiteral("f"))
                    .control(QStringLiteral("u"))
                    .setValue(QStringLiteral("/tmp/x.bin"));
                break;
            case 6:
                document.documentElement().control(QStringLiteral("u"));
                break;
            }
        };
        QVERIFY_THROWS_EXCEPTION(StepError, touch());
    }

    void paste_landsOnlyInFocusedTextPasswordOrFile_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<bool>("lands");
        QTest::addColumn<QString>("valueAfter");

        QTest::newRow("file") << QByteArray("<input type=file name=f>") << true << "/tmp/42.bin";
        QTest::newRow("text after its value")
            << QByteArray("<input name=f value=a>") << true << "a/tmp/42.bin";
        QTest::newRow("password") << QByteArray("<input type=password name=f>") << true
                                  << "/tmp/42.bin";
        QTest::newRow("checkbox") << QByteArray("<input type=checkbox name=f>") << false << "on";
        QTest::newRow("hidden cannot take focus")
            << QByteArray("<input type=hidden name=f>") << false << "";
        QTest::newRow("disabled cannot take focus")
            << QByteArray("<input name=f disabled>") << false << "";
    }
    void paste_landsOnlyInFocusedTextPasswordOrFile()
    {
        QFETCH(QByteArray, field);
        QFETCH(bool, lands);
        QFETCH(QString, valueAfter);
        HtmlDocument document = page("<form>" + field + "</form>");
        HtmlElement element = firstNamed(document, QStringLiteral("f"));
        element.Focus();
        QCOMPARE(document.paste(QStringLiteral("/tmp/42.bin\n")), lands);
        QCOMPARE(element.Value(), valueAfter);
    }

    void paste_withoutFocus_goesNowhere()
    {
        HtmlDocument document = page("<input name=a><input name=b>");
        QVERIFY(!document.paste(QStringLiteral("x")));
        firstNamed(document, QStringLiteral("b")).Focus();
        QVERIFY(document.paste(QStringLiteral("x")));
        QCOMPARE(firstNamed(document, QStringLiteral("a")).Value(), QString());
        QCOMPARE(firstNamed(document, QStringLiteral("b")).Value(), QStringLiteral("x"));
    }

    void click_togglesCheckboxAndChecksOneRadio()
    {
        const HtmlDocument document =
            page("<input type=checkbox name=c checked><input type=radio name=r value=1 checked>"
                 "<input type=radio name=r value=2>");
        HtmlElement box = document.All(3);
        box.Click();
        QVERIFY(!box.checked());
        box.Click();
        QVERIFY(box.checked());
        HtmlElement first = document.All(4);
        HtmlElement second = document.All(5);
        second.Click();
        second.Click();
        QVERIFY(second.checked());
        QVERIFY(!first.checked());
    }

    void outerHTML_keepsScriptTextAndReadsAsHtml()
    {
        const QByteArray html = "<HTML><BODY><SCRIPT>var runtime_code_version=\"0.39k (Jan 1 "
                                "2008)\";if(a<b&&c>d){}</SCRIPT><A HREF='x?a=1&amp;b=\"2\"'>"
                                "1 &lt; 2 &amp; ok</A></BODY></HTML>";
        const QString outer = page(html).documentElement().outerHTML();
        QVERIFY(outer.startsWith(u"<html><head></head><body>"));
        QVERIFY(outer.contains(u"var runtime_code_version=\"0.39k (Jan 1 2008)\";if(a<b&&c>d){}"));
        QVERIFY(outer.contains(u"<a href=\"x?a=1&amp;b=&quot;2&quot;\">1 &lt; 2 &amp; ok</a>"));
        QVERIFY(outer.endsWith(u"</body></html>"));
    }

    void decoding_followsDeclarationsElseWindows1252_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("contentType");
        QTest::addColumn<QString>("text");

        QTest::newRow("nothing declared")
            << QByteArray("<p>\x80 caf\xE9 \x93q\x94</p>") << QByteArray("text/html")
            << QString::fromUtf8("€ café “q”");
        QTest::newRow("latin1 declared means windows-1252")
            << QByteArray("<meta charset=ISO-8859-1><p>\x80</p>") << QByteArray()
            << QString::fromUtf8("€");
        QTest::newRow("meta http-equiv utf-8")
            << QByteArray("<meta http-equiv=Content-Type content='text/html; charset=utf-8'>"
                          "<p>caf\xC3\xA9</p>")
            << QByteArray() << QString::fromUtf8("café");
        QTest::newRow("header wins over meta")
            << QByteArray("<meta charset=utf-8><p>caf\xE9</p>")
            << QByteArray("text/html; charset=windows-1252") << QString::fromUtf8("café");
        QTest::newRow("byte order mark wins over header")
            << QByteArray("\xEF\xBB\xBF<p>caf\xC3\xA9</p>")
            << QByteArray("text/html; charset=windows-1252") << QString::fromUtf8("café");
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
