#include "startup/Module1.h"

#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolvane;

namespace {

class FakeInstanceCheck final : public InstanceCheck {
public:
    explicit FakeInstanceCheck(bool running) : m_running(running) {}
    bool earlierInstanceRunning() override
    {
        ++m_asked;
        return m_running;
    }
    bool m_running;
    int m_asked = 0;
};

QStringList toList(const std::vector<std::string>& words)
{
    QStringList list;
    for (const auto& w : words)
        list << QString::fromStdString(w);
    return list;
}

} // namespace

class Module1Test : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void splitCommandLine_splitsAtBlanksAndTabsOnly_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("maximum");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("empty") << "" << 10 << QStringList{"0"};
        QTest::newRow("blanks only") << "  \t " << 10 << QStringList{"0"};
        QTest::newRow("runs of separators")
            << " -s \t\t-k  X " << 10 << QStringList{"3", "-s", "-k", "X"};
        QTest::newRow("quotes do not group")
            << "-p \"my pass\"" << 10 << QStringList{"3", "-p", "\"my", "pass\""};
        QTest::newRow("eleven words keep ten")
            << "a b c d e f g h i j k" << 10
            << QStringList{"10", "a", "b", "c", "d", "e", "f", "g", "h", "i", "j"};
        QTest::newRow("smaller maximum") << "a b c" << 2 << QStringList{"2", "a", "b"};
        QTest::newRow("other whitespace is a character")
            << "a\nb" << 10 << QStringList{"1", "a\nb"};
    }
    void splitCommandLine_splitsAtBlanksAndTabsOnly()
    {
        QFETCH(QString, line);
        QFETCH(int, maximum);
        QFETCH(QStringList, expected);
        QCOMPARE(toList(SplitCommandLine(line.toStdString(), maximum)), expected);
    }

    void main_readsTheOptions_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<bool>("silent");
        QTest::addColumn<bool>("reportEnabled");
        QTest::addColumn<quint32>("root");
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("password");

        QTest::newRow("no words") << "" << true << false << false << HKEY_LOCAL_MACHINE
                                  << "Software"
                                  << "";
        QTest::newRow("everything")
            << "-s -k HKEY_CURRENT_USER\\Software\\Acme\\Setup -p secret" << true << true << true
            << HKEY_CURRENT_USER << "Software\\Acme\\Setup"
            << "secret";
        QTest::newRow("root names are case-sensitive")
            << "-k hkey_current_user\\Software\\X" << true << false << true << HKEY_LOCAL_MACHINE
            << "Software\\hkey_current_user\\Software\\X"
            << "";
        QTest::newRow("plain word goes below Software")
            << "-k MyTool" << true << false << true << HKEY_LOCAL_MACHINE << "Software\\MyTool"
            << "";
        QTest::newRow("leading backslash")
            << "-k \\Setup" << true << false << true << HKEY_LOCAL_MACHINE << "Software\\\\Setup"
            << "";
        QTest::newRow("password taken from a following option")
            << "-p -s" << true << true << false << HKEY_LOCAL_MACHINE << "Software"
            << "-s";
        QTest::newRow("quoted password splits")
            << "-p \"two words\"" << true << false << false << HKEY_LOCAL_MACHINE << "Software"
            << "\"two";
        QTest::newRow("upper case is not an option")
            << "-S -K X -P y" << true << false << false << HKEY_LOCAL_MACHINE << "Software"
            << "";
        QTest::newRow("last one wins") << "-p a -k HKEY_USERS\\A -p b -k HKEY_USERS\\B" << true
                                       << false << true << HKEY_USERS << "B"
                                       << "b";
        QTest::newRow("-k last ends after -s took effect")
            << "-s -k" << false << true << false << HKEY_LOCAL_MACHINE << "Software"
            << "";
        QTest::newRow("-p last ends")
            << "-p" << false << false << false << HKEY_LOCAL_MACHINE << "Software"
            << "";
        QTest::newRow("a root alone is no report key") << "-k HKEY_CURRENT_USER\\" << true << false
                                                       << false << HKEY_LOCAL_MACHINE << "Software"
                                                       << "";
        QTest::newRow("a backslash alone is no report key")
            << "-k \\" << true << false << false << HKEY_LOCAL_MACHINE << "Software"
            << "";
        QTest::newRow("Software itself is no report key")
            << "-k HKEY_LOCAL_MACHINE\\SOFTWARE" << true << false << false << HKEY_LOCAL_MACHINE
            << "Software"
            << "";
        QTest::newRow("eleventh word is ignored") << "a b c d e f g h i j -s" << true << false
                                                  << false << HKEY_LOCAL_MACHINE << "Software"
                                                  << "";
        QTest::newRow("-k as tenth word ends") << "a b c d e f g h i -k HKEY_USERS\\X" << false
                                               << false << false << HKEY_LOCAL_MACHINE << "Software"
                                               << "";
    }
    void main_readsTheOptions()
    {
        QFETCH(QString, line);
        QFETCH(bool, shown);
        QFETCH(bool, silent);
        QFETCH(bool, reportEnabled);
        QFETCH(quint32, root);
        QFETCH(QString, path);
        QFETCH(QString, password);

        SqliteRegistryStore store(m_dir.filePath(QTest::currentDataTag()).toStdString());
        Registry registry(store);
        FakeInstanceCheck instance(false);
        ProcessState state;
        int windows = 0;
        QCOMPARE(Main(line.toStdString(), state, registry, instance, [&] { ++windows; }), shown);
        QCOMPARE(windows, shown ? 1 : 0);
        const RunOptions& options = state.runOptions;
        QCOMPARE(options.Silent, silent);
        QCOMPARE(options.ReportEnabled, reportEnabled);
        QCOMPARE(options.ReportRoot, root);
        QCOMPARE(QString::fromStdString(options.ReportPath), path);
        QCOMPARE(QString::fromStdString(options.Password), password);
        QCOMPARE(options.ReportValueNames, RunOptions::DefaultReportValueNames());
    }

    void main_deletesEveryReportKeyItNamesAndNothingAbove()
    {
        SqliteRegistryStore store(m_dir.filePath("delete.sqlite").toStdString());
        Registry registry(store);
        for (const char* path : {"Software\\A", "Software\\B", "Software"}) {
            registry.CreateKey(HKEY_LOCAL_MACHINE, path);
            registry.SetKeyValue(HKEY_LOCAL_MACHINE, path, "Error_Msg", "old", ValueKindString);
        }
        FakeInstanceCheck instance(false);
        ProcessState state;
        QVERIFY(!Main("-k A -k HKEY_LOCAL_MACHINE\\Software\\B -k \\ -k HKEY_LOCAL_MACHINE\\ -p",
                      state, registry, instance, [] {}));
        QCOMPARE(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, "Software\\A", "Error_Msg"), "");
        QCOMPARE(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, "Software\\B", "Error_Msg"), "");
        QCOMPARE(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, "Software", "Error_Msg"), "old");
    }

    void main_besideAnEarlierInstance_endsOnlyWhenWordsWereGiven()
    {
        SqliteRegistryStore store(m_dir.filePath("instance.sqlite").toStdString());
        Registry registry(store);
        registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\Report");
        FakeInstanceCheck running(true);
        ProcessState state;
        int windows = 0;
        QVERIFY(!Main("-s -k Report", state, registry, running, [&] { ++windows; }));
        QCOMPARE(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, "Software\\Report", "x"), "No Data");
        QVERIFY(!state.runOptions.Silent);
        QVERIFY(Main("", state, registry, running, [&] { ++windows; }));
        QCOMPARE(windows, 1);
        QCOMPARE(running.m_asked, 1);
    }
};

QTEST_GUILESS_MAIN(Module1Test)
#include "Module1Test.moc"
