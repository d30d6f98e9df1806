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
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    return bytes.startsWith("\xFF\xFE") ? QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2))
                                        : QString();
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

    // A key with a value of every kind, text that quotes, breaks lines or is not ASCII, a
    // subkey without values and one with.
    void addAcme()
    {
        for (const QStringList& value : {
                 QStringList{"Error_Msg", "REG_SZ", "a \"quoted\" C:\\path"},
                 QStringList{"Mac_Address", "REG_SZ",
                             "0\r\n[" + Acme + "\\Injected]\r\n\"x\"=\"y\""},
                 QStringList{"N", "REG_DWORD", "0x1a"},
                 QStringList{"Text", "REG_SZ", "Grüße €"},
             })
            QCOMPARE(reg({"add", Acme, "/v", value[0], "/t", value[1], "/d", value[2], "/f"}), 0);
        QCOMPARE(reg({"add", Acme + "\\Empty", "/f"}), 0);
        QCOMPARE(reg({"add", Acme + "\\Sub", "/v", "B", "/t", "REG_BINARY", "/d", "00ff"}), 0);
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath("r.sqlite"));
        m_store = std::make_unique<SqliteRegistryStore>(m_dir.filePath("r.sqlite").toStdString());
    }

    void query_printsLikeRegExe()
    {
        QCOMPARE(reg({"add", "HKCU\\Software\\T", "/v", "Firmware_Status", "/d", "Done"}), 0);
        QCOMPARE(reg({"add", "HKCU\\Software\\T\\Sub", "/v", "N", "/t", "REG_DWORD", "/d", "26"}),
                 0);
        QCOMPARE(reg({"add", "HKCU\\Software\\T\\Sub\\Deep", "/f"}), 0);
        const QString key = "HKEY_CURRENT_USER\\Software\\T";
        const QString status = "    Firmware_Status    REG_SZ    Done\n";
        const QString number = "    N    REG_DWORD    0x1a\n";
        QCOMPARE(reg({"query", "hkcu\\Software\\T\\"}), 0);
        QCOMPARE(QString::fromStdString(m_out),
                 "\n" + key + "\n" + status + "\n" + key + "\\Sub\n");
        QCOMPARE(reg({"query", "HKCU\\Software\\T", "/v", "firmware_status"}), 0);
        QCOMPARE(QString::fromStdString(m_out),
                 "\n" + key + "\n    firmware_status    REG_SZ    Done\n\n");
        QCOMPARE(reg({"query", "HKCU\\Software\\T", "/s"}), 0);
        QCOMPARE(QString::fromStdString(m_out), "\n" + key + "\n" + status + "\n" + key +
                                                    "\\Sub\n" + number + "\n" + key +
                                                    "\\Sub\\Deep\n\n");
    }

    void badCommand_failsWithReadsMessageAndChangesNothing_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("error");
        const QString missing =
            "ERROR: The system was unable to find the specified registry key or value.\n";
        const QString syntax = "ERROR: Invalid syntax.\nType \"tolvane-reg /?\" for usage.\n";
        QTest::newRow("missing key") << QStringList{"query", "HKLM\\Software\\Nothing"} << missing;
        QTest::newRow("missing value")
            << QStringList{"query", "HKCU\\Software", "/v", "Nothing"} << missing;
        QTest::newRow("unknown root")
            << QStringList{"add", "HKXX\\S"} << "ERROR: Invalid key name.\n";
        QTest::newRow("dword not a number")
            << QStringList{"add", "HKCU\\S", "/v", "D", "/t", "REG_DWORD", "/d", "one"}
            << "ERROR: Invalid value data or type.\n";
        QTest::newRow("odd binary")
            << QStringList{"add", "HKCU\\S", "/v", "B", "/t", "REG_BINARY", "/d", "123"}
            << "ERROR: Invalid value data or type.\n";
        QTest::newRow("unknown switch") << QStringList{"add", "HKCU\\S", "/z"} << syntax;
        QTest::newRow("/s on add") << QStringList{"add", "HKCU\\S", "/s"} << syntax;
        QTest::newRow("/s with /v") << QStringList{"query", "HKCU", "/v", "x", "/s"} << syntax;
        QTest::newRow("no key") << QStringList{"query"} << syntax;
        QTest::newRow("a root") << QStringList{"delete", "HKCU", "/f"}
                                << "ERROR: Access is denied.\n";
    }
    void badCommand_failsWithReadsMessageAndChangesNothing()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, error);
        QCOMPARE(reg(args), 1);
        QCOMPARE(QString::fromStdString(m_err), error);
        QCOMPARE(m_out, "");
        QCOMPARE(reg({"query", "HKCU\\S"}), 1);
        QCOMPARE(reg({"query", "HKCU\\Software", "/v", "x"}), 1);
    }

    void delete_removesKeysWithSubkeysAndSingleValues()
    {
        reg({"add", "HKCU\\Software\\Tree\\A\\B", "/v", "x", "/d", "1", "/f"});
        reg({"add", "HKCU\\Software\\Tree", "/v", "keep", "/d", "1", "/f"});
        reg({"add", "HKCU\\Software\\Tree", "/v", "drop", "/d", "1", "/f"});
        QCOMPARE(reg({"delete", "HKCU\\Software\\Tree", "/v", "drop", "/f"}), 0);
        QCOMPARE(reg({"query", "HKCU\\Software\\Tree", "/v", "drop"}), 1);
        QCOMPARE(reg({"query", "HKCU\\Software\\Tree", "/v", "keep"}), 0);
        QCOMPARE(reg({"delete", "HKCU\\Software\\Tree", "/f"}), 0);
        QCOMPARE(reg({"query", "HKCU\\Software\\Tree"}), 1);
        QCOMPARE(reg({"query", "HKCU\\Software"}), 0);
    }

    void export_writesWhatRegeditReadsBackExactly()
    {
        addAcme();
        const QString file = m_dir.filePath("acme.reg");
        QCOMPARE(reg({"export", Acme, file, "/y"}), 0);
        QCOMPARE(utf16File(file),
                 "Windows Registry Editor Version 5.00\r\n\r\n[" + Acme +
                     "]\r\n"
                     "\"Error_Msg\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n"
                     "\"Mac_Address\"=hex(1):30,00,0d,00,0a,00,5b,00,48,00,4b,00,45,00,59,00,5f,00,"
                     "43,00,55,00,52,00,52,00,45,00,4e,00,54,00,5f,00,55,00,53,00,45,00,52,00,5c,"
                     "00,53,00,6f,00,66,00,74,00,77,00,61,00,72,00,65,00,5c,00,41,00,63,00,6d,00,"
                     "65,00,5c,00,49,00,6e,00,6a,00,65,00,63,00,74,00,65,00,64,00,5d,00,0d,00,0a,"
                     "00,22,00,78,00,22,00,3d,00,22,00,79,00,22,00,00,00\r\n"
                     "\"N\"=dword:0000001a\r\n"
                     "\"Text\"=\"Grüße €\"\r\n"
                     "\r\n[" +
                     Acme +
                     "\\Empty]\r\n"
                     "\r\n[" +
                     Acme +
                     "\\Sub]\r\n"
                     "\"B\"=hex:00,ff\r\n"
                     "\r\n");
        QCOMPARE(reg({"export", "HKCU\\Software\\Missing", file}), 1);
    }

    // Wine's regedit and reg.exe stand in for Windows': what regedit imports from our export,
    // reg.exe lists as we do, and regedit exports the text with the same characters.
    void export_importedByWinesRegedit_readsBackAlike()
    {
        if (QStandardPaths::findExecutable("wine").isEmpty()) {
            if (qEnvironmentVariable("CI") == "true")
                QFAIL("wine is missing");
            QSKIP("wine is not installed");
        }
        addAcme();
        QCOMPARE(reg({"export", Acme, m_dir.filePath("acme.reg")}), 0);
        QCOMPARE(reg({"query", Acme, "/s"}), 0);
        QProcess wine;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("WINEPREFIX", m_dir.filePath("wine"));
        env.insert("WINEDEBUG", "-all");
        env.insert("WINEDLLOVERRIDES", "mscoree,mshtml=");
        wine.setProcessEnvironment(env);
        wine.setWorkingDirectory(m_dir.path());
        const auto run = [&](const QString& program, const QStringList& args) {
            wine.start(program, args);
            QVERIFY(wine.waitForFinished(240000));
        };
        run("wine", {"regedit", "/S", "acme.reg"});
        run("wine", {"reg", "query", Acme, "/s"});
        QByteArray listed = wine.readAllStandardOutput().replace("\r\n", "\n");
        run("wine", {"reg", "export", Acme, "back.reg", "/y"});
        run("wineserver", {"-k"});
        // reg.exe writes to a pipe in the OEM code page, which has no euro sign.
        const QByteArray text = "    Text    REG_SZ    ";
        const QByteArray ours = QByteArray::fromStdString(m_out).replace("\r\n", "\n");
        QCOMPARE(listed.left(listed.indexOf(text)), ours.left(ours.indexOf(text)));
        QCOMPARE(listed.mid(listed.indexOf('\n', listed.indexOf(text))),
                 ours.mid(ours.indexOf('\n', ours.indexOf(text))));
        QVERIFY(utf16File(m_dir.filePath("back.reg")).contains("\r\n\"Text\"=\"Grüße €\"\r\n"));
    }
};

QTEST_GUILESS_MAIN(RegToolTest)
#include "RegToolTest.moc"
