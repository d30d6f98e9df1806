#include "RegTool.h"

#include "platform/posix/SqliteRegistryStore.h"

#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

using namespace tolvane;

namespace {

const QString Acme = "HKEY_CURRENT_USER\\Software\\Acme";

QString utf16File(const QString& path)
{
    QFile file(path);
    const QByteArray bytes = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    return bytes.startsWith("\xFF\xFE") ? QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2))
                                        : QString();
}

// reg.exe writes to a pipe in the OEM code page, which has no euro sign: the line of the value
// that is not ASCII is left out here (the export shows its characters).
QByteArray comparable(QByteArray listing)
{
    listing.replace("\r\n", "\n");
    const qsizetype text = listing.indexOf("    Text    REG_SZ");
    return text < 0 ? listing : listing.remove(text, listing.indexOf('\n', text) + 1 - text);
}

} // namespace

class RegToolTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SqliteRegistryStore> m_store;
    std::string m_out;
    std::string m_err;

    int reg(const QStringList& args)
    {
        std::vector<std::string> words;
        for (const QString& arg : args)
            words.push_back(arg.toStdString());
        std::ostringstream out;
        std::ostringstream err;
        const int rc = runRegTool(*m_store, words, out, err);
        m_out = out.str();
        m_err = err.str();
        return rc;
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath("r.sqlite"));
        m_store = std::make_unique<SqliteRegistryStore>(m_dir.filePath("r.sqlite").toStdString());
    }

    void addAndDelete_changeWhatTheySayOnly()
    {
        QCOMPARE(reg({"add", Acme + "\\Sub\\Deep", "/v", "x", "/d", "1"}), 0);
        QCOMPARE(reg({"add", Acme, "/v", "x", "/d", "1"}), 0);
        QCOMPARE(reg({"add", Acme, "/v", "D", "/t", "REG_DWORD", "/d", "one"}), 1);
        QCOMPARE(reg({"query", Acme, "/v", "x", "/s"}), 1); // /s lists keys, not one value
        QCOMPARE(reg({"delete", Acme, "/v", "X", "/f"}), 0);
        QCOMPARE(reg({"query", Acme, "/v", "x"}), 1);
        QCOMPARE(m_err,
                 "ERROR: The system was unable to find the specified registry key or value.\n");
        QCOMPARE(reg({"delete", "HKCU", "/f"}), 1); // a root stays
        QCOMPARE(reg({"delete", "hkcu\\software\\acme", "/f"}), 0);
        QCOMPARE(reg({"query", Acme}), 1);
        QCOMPARE(reg({"query", "HKCU\\Software"}), 0);
    }

    // The command itself, with no store where it looks by default: a query or an export answers
    // as for a missing key and makes no file or folder; the first add makes the store there.
    void missingStore_onlyAWriteMakesIt()
    {
        QTemporaryDir home;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("TOLVANE_REGISTRY");
        env.remove("XDG_STATE_HOME");
        env.insert("HOME", home.path());
        QProcess tool;
        tool.setProcessEnvironment(env);
        const auto run = [&](const QStringList& args) {
            tool.start(qEnvironmentVariable("TOLVANE_BIN") + "/tolvane-reg", args);
            return tool.waitForFinished(30000) ? tool.exitCode() : -1;
        };
        QCOMPARE(run({"query", Acme}), 1);
        QCOMPARE(tool.readAllStandardError(),
                 "ERROR: The system was unable to find the specified registry key or value.\n");
        QCOMPARE(run({"export", Acme, home.filePath("acme.reg")}), 1);
        QCOMPARE(run({"/?"}), 0);
        QCOMPARE(
            QDir(home.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList());
        QCOMPARE(run({"add", Acme, "/v", "x", "/d", "1"}), 0);
        QVERIFY(QFileInfo::exists(home.filePath(".local/state/tolvane/registry.sqlite")));
        QCOMPARE(run({"query", Acme, "/v", "x"}), 0);
    }

    // Wine's regedit and reg.exe stand in for Windows': what regedit imports from our export,
    // reg.exe lists as we do, and regedit exports the text with the same characters.
    void exportAndQuery_matchRegeditAndReg()
    {
        for (const QStringList& value : {
                 QStringList{"Error_Msg", "REG_SZ", "a \"quoted\" C:\\path"},
                 QStringList{"Mac_Address", "REG_SZ", "0\r\n[HKEY_USERS\\X]"},
                 QStringList{"N", "REG_DWORD", "0x1a"},
                 QStringList{"Text", "REG_SZ", "Grüße €"},
             })
            QCOMPARE(reg({"add", Acme, "/v", value[0], "/t", value[1], "/d", value[2], "/f"}), 0);
        QCOMPARE(reg({"add", Acme + "\\Empty", "/f"}), 0);
        QCOMPARE(reg({"add", Acme + "\\Sub", "/v", "B", "/t", "REG_BINARY", "/d", "00ff"}), 0);
        const QString file = m_dir.filePath("acme.reg");
        QCOMPARE(reg({"export", Acme, file, "/y"}), 0);
        QCOMPARE(utf16File(file), "Windows Registry Editor Version 5.00\r\n"
                                  "\r\n[HKEY_CURRENT_USER\\Software\\Acme]\r\n"
                                  "\"Error_Msg\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n"
                                  "\"Mac_Address\"=hex(1):30,00,0d,00,0a,00,5b,00,48,00,4b,00,45,"
                                  "00,59,00,5f,00,55,00,53,00,45,00,52,00,53,00,5c,00,58,00,5d,00,"
                                  "00,00\r\n"
                                  "\"N\"=dword:0000001a\r\n"
                                  "\"Text\"=\"Grüße €\"\r\n"
                                  "\r\n[HKEY_CURRENT_USER\\Software\\Acme\\Empty]\r\n"
                                  "\r\n[HKEY_CURRENT_USER\\Software\\Acme\\Sub]\r\n"
                                  "\"B\"=hex:00,ff\r\n"
                                  "\r\n");
        QCOMPARE(reg({"export", "HKCU\\Software\\Missing", file}), 1);

        if (QStandardPaths::findExecutable("wine").isEmpty()) {
            if (qEnvironmentVariable("CI") == "true")
                QFAIL("wine is missing");
            QSKIP("wine is not installed");
        }
        QProcess wine;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", m_dir.filePath("wine"));
        env.insert("WINEDEBUG", "-all");
        env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
        // wineserver makes its socket folder (wine-XXXXXX) in TMPDIR: here, not in /tmp.
        QVERIFY(QDir().mkpath(m_dir.filePath("tmp")));
        env.insert("TMPDIR", m_dir.filePath("tmp"));
        wine.setProcessEnvironment(env);
        wine.setWorkingDirectory(m_dir.path());
        const auto run = [&](const QString& program, const QStringList& args) {
            wine.start(program, args);
            return wine.waitForFinished(240000) ? wine.readAllStandardOutput() : "(hung)";
        };
        const auto stopServer = qScopeGuard([&] { run("wineserver", {"-k"}); });
        run("wine", {"regedit", "/S", "acme.reg"});
        for (const QStringList& query : {QStringList{"query", Acme},
                                         {"query", Acme, "/s"},
                                         {"query", Acme, "/v", "Error_Msg"}}) {
            QCOMPARE(reg(query), 0);
            QCOMPARE(comparable(run("wine", QStringList{"reg"} + query)),
                     comparable(QByteArray::fromStdString(m_out)));
        }
        run("wine", {"reg", "export", Acme, "back.reg", "/y"});
        QVERIFY(utf16File(m_dir.filePath("back.reg")).contains("\r\n\"Text\"=\"Grüße €\"\r\n"));
    }
};

QTEST_GUILESS_MAIN(RegToolTest)
#include "RegToolTest.moc"
