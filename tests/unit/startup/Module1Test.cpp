#include "startup/Module1.h"

#include "common/ProcessState.h"
#include "platform/InstanceCheck.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace tolvane;

class Module1Test : public QObject {
    Q_OBJECT

    struct NoEarlierInstance final : InstanceCheck {
        bool earlierInstanceRunning() override { return false; }
    };
    QTemporaryDir m_dir;

private slots:
    // The command line is one text split at blanks and tabs only (Windows), or the words a shell
    // passed (a QStringList), each as it stands. Expected: "w" when the window is shown, "s"
    // silent, "r" reporting, "d" when HKEY_LOCAL_MACHINE\Software\A was deleted; then the report
    // root's last hex digit, the report path and the password.
    void main_readsTheOptions_data()
    {
        QTest::addColumn<QVariant>("commandLine");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char* name, const QVariant& given, const char* expected) {
            QTest::newRow(name) << given << QString(expected);
        };
        row("everything", "\t-s\t\t-k  HKEY_CURRENT_USER\\Software\\A -p pw ",
            "wsr 1 Software\\A pw");
        row("quotes do not group", "-p \"a b\"", "w 2 Software \"a");
        row("a line break is no blank", "-p a\nb", "w 2 Software a\nb");
        row("HKEY_CLASSES_ROOT", "-k HKEY_CLASSES_ROOT\\A", "wr 0 A ");
        row("HKEY_LOCAL_MACHINE", "-k HKEY_LOCAL_MACHINE\\Software\\A\\", "wrd 2 Software\\A\\ ");
        row("case-sensitive root", "-k hkey_users\\X", "wr 2 Software\\hkey_users\\X ");
        row("no root name", "-k A", "wrd 2 Software\\A ");
        row("leading backslash", "-k \\Setup", "wr 2 Software\\\\Setup ");
        row("password from an option", "-p -s", "ws 2 Software -s");
        row("upper case is no option", "-S -K X -P y", "w 2 Software ");
        row("last one wins", "-p a -k HKEY_USERS\\A -p b -k HKEY_USERS\\B", "wr 3 B b");
        row("-k last ends", "-s -k", "s 2 Software ");
        row("-p last ends", "-p", " 2 Software ");
        row("a root is no report key", "-k HKEY_USERS\\", "w 2 Software ");
        row("nor is a backslash", "-k A -k \\", "wrd 2 Software\\A ");
        row("nor is Software", "-k HKEY_USERS\\SOFTWARE\\\\", "w 2 Software ");
        row("tenth word read, eleventh ignored", "a b c d e f g h i -s -p", "ws 2 Software ");
        row("shell: a word with blanks is one word",
            QStringList{"-k", "HKEY_LOCAL_MACHINE\\Software\\A B"}, "wr 2 Software\\A B ");
        row("shell: an empty password", QStringList{"-p", ""}, "w 2 Software ");
        row("shell: an empty password, then a key", QStringList{"-p", "", "-k", "HKEY_USERS\\A"},
            "wr 3 A ");
        row("shell: tenth word read, eleventh ignored",
            QStringList{"a b c", "d", "e", "f", "g", "h", "i", "j", "-s", "-p", "pw"},
            "s 2 Software ");
    }
    void main_readsTheOptions()
    {
        QFETCH(QVariant, commandLine);
        QFETCH(QString, expected);
        SqliteRegistryStore store(m_dir.filePath(QTest::currentDataTag()).toStdString());
        Registry registry(store);
        registry.CreateKey(HKEY_LOCAL_MACHINE, "Software\\A");
        registry.SetKeyValue(HKEY_LOCAL_MACHINE, "Software", "V", "kept", ValueKindString);
        NoEarlierInstance instance;
        ProcessState state;
        int windows = 0;
        CommandLine given = commandLine.toString().toStdString();
        if (commandLine.typeId() == QMetaType::QStringList) {
            std::vector<std::string> shellWords;
            for (const QString& word : commandLine.toStringList())
                shellWords.push_back(word.toStdString());
            given = shellWords;
        }
        const bool shown = Main(given, state, registry, instance, [&] { ++windows; });
        const RunOptions& o = state.runOptions;
        QCOMPARE(windows, shown ? 1 : 0);
        const bool deleted =
            !OpenedKey(store, HKEY_LOCAL_MACHINE, "Software\\A", KEY_ACCESS).open();
        QCOMPARE(registry.QueryKeyValue(HKEY_LOCAL_MACHINE, "Software", "V"), "kept");
        QCOMPARE(QString("%1%2%3%4 %5 %6 %7")
                     .arg(shown ? "w" : "", o.Silent ? "s" : "", o.ReportEnabled ? "r" : "",
                          deleted ? "d" : "")
                     .arg(o.ReportRoot & 0xF)
                     .arg(QString::fromStdString(o.ReportPath), QString::fromStdString(o.Password)),
                 expected);
    }
};

QTEST_GUILESS_MAIN(Module1Test)
#include "Module1Test.moc"
