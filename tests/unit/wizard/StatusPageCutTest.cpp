#include "wizard/StatusPageCut.h"

#include "wizard/ModemPageAddresses.h"

#include <QtTest>

using namespace tolvane;

namespace {

const std::string VersionTag = "runtime_code_version=";

} // namespace

class StatusPageCutTest : public QObject {
    Q_OBJECT

private slots:
    void cutTagValue_takesTheValueBetweenItsQuotes_data()
    {
        QTest::addColumn<QString>("page");
        QTest::addColumn<QChar>("delimiter");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QString>("value");
        QTest::newRow("version text") << R"p(x runtime_code_version="0.39k (Nov 15 2005)";)p"
                                      << QChar(';') << true << "0.39k (Nov 15 2005)";
        QTest::newRow("blanks inside the quotes trimmed")
            << R"p(runtime_code_version="  0.42  ";)p" << QChar(';') << true << "0.42";
        QTest::newRow("empty quotes")
            << R"p(runtime_code_version="";)p" << QChar(';') << true << "";
        QTest::newRow("first delimiter only, however far")
            << "runtime_code_version=\"0.42\n...;more;" << QChar(';') << true << "0.42\n..";
        QTest::newRow("delimiter right after the opening quote")
            << "runtime_code_version=\";x\";" << QChar(';') << false << "";
        QTest::newRow("no delimiter behind the tag")
            << "; runtime_code_version=\"0.42\"" << QChar(';') << false << "";
        QTest::newRow("tag at the very end")
            << "runtime_code_version=" << QChar(';') << false << "";
        QTest::newRow("parenthesis as delimiter drops the character before it")
            << R"p(runtime_code_version="0.39k(Nov)";)p" << QChar('(') << true << "0.39";
    }
    void cutTagValue_takesTheValueBetweenItsQuotes()
    {
        QFETCH(QString, page);
        QFETCH(QChar, delimiter);
        QFETCH(bool, cut);
        QFETCH(QString, value);
        const std::string text = page.toStdString();
        const auto result =
            CutTagValue(text, FindText(text, VersionTag), VersionTag.size(), delimiter.toLatin1());
        QCOMPARE(result.has_value(), cut);
        if (cut)
            QCOMPARE(QString::fromStdString(*result), value);
    }

    void versionNumberOf_isTheTextBeforeItsOwnParenthesis_data()
    {
        QTest::addColumn<QString>("versionText");
        QTest::addColumn<QString>("number");
        QTest::newRow("blank before the date") << "0.39k (Nov 15 2005)"
                                               << "0.39k";
        QTest::newRow("no blank before the date") << "0.39k(Nov 15 2005)"
                                                  << "0.39k";
        QTest::newRow("no date") << "0.39"
                                 << "0.39";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("only a date") << " (Nov 15 2005)"
                                     << "";
        QTest::newRow("second parenthesis ignored") << "0.38f (a) (b)"
                                                    << "0.38f";
    }
    void versionNumberOf_isTheTextBeforeItsOwnParenthesis()
    {
        QFETCH(QString, versionText);
        QFETCH(QString, number);
        QCOMPARE(QString::fromStdString(VersionNumberOf(versionText.toStdString())), number);
    }

    void probePage_opensTheFactoryAddressBare_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("page");
        QTest::newRow("factory address") << "192.168.2.1"
                                         << "192.168.2.1";
        QTest::newRow("another address") << "192.168.2.254"
                                         << "192.168.2.254/login.stm";
        QTest::newRow("factory address with a port") << "192.168.2.1:80"
                                                     << "192.168.2.1:80/login.stm";
    }
    void probePage_opensTheFactoryAddressBare()
    {
        QFETCH(QString, address);
        QFETCH(QString, page);
        QCOMPARE(QString::fromStdString(ProbePage(address.toStdString())), page);
    }
};

QTEST_APPLESS_MAIN(StatusPageCutTest)
#include "StatusPageCutTest.moc"
