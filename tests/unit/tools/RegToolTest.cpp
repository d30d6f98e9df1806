#include "RegTool.h"

#include "platform/posix/SqliteRegistryStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <sstream>

using namespace tolvane;

class RegToolTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<SqliteRegistryStore> m_store;
    std::string m_out;
    std::string m_err;

    int reg(const std::vector<std::string>& args)
    {
        std::ostringstream out;
        std::ostringstream err;
        const int rc = runRegTool(*m_store, args, out, err);
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

    void query_printsLikeRegExe()
    {
        QCOMPARE(reg({"add", "HKCU\\Software\\Acme", "/v", "Firmware_Status", "/t", "REG_SZ", "/d",
                      "Done", "/f"}),
                 0);
        QCOMPARE(reg({"add", "HKCU\\Software\\Acme", "/v", "ProxyEnable", "/t", "REG_DWORD", "/d",
                      "26", "/f"}),
                 0);
        QCOMPARE(reg({"add", "HKCU\\Software\\Acme\\Sub", "/f"}), 0);
        QCOMPARE(reg({"query", "HKEY_CURRENT_USER\\Software\\Acme"}), 0);
        QCOMPARE(m_out, "HKEY_CURRENT_USER\\Software\\Acme\n"
                        "    Firmware_Status    REG_SZ    Done\n"
                        "    ProxyEnable    REG_DWORD    0x1a\n"
                        "\n"
                        "HKEY_CURRENT_USER\\Software\\Acme\\Sub\n");
        QCOMPARE(reg({"query", "hkcu\\software\\acme", "/v", "Firmware_Status"}), 0);
        QCOMPARE(m_out, "HKEY_CURRENT_USER\\software\\acme\n"
                        "    Firmware_Status    REG_SZ    Done\n");
    }

    void query_missingKeyOrValue_failsWithTheRegExeMessage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("missing key") << QStringList{"query", "HKLM\\Software\\Nothing"};
        QTest::newRow("missing value") << QStringList{"query", "HKLM\\Software", "/v", "Nothing"};
    }
    void query_missingKeyOrValue_failsWithTheRegExeMessage()
    {
        QFETCH(QStringList, args);
        reg({"add", "HKLM\\Software", "/f"});
        std::vector<std::string> words;
        for (const QString& a : args)
            words.push_back(a.toStdString());
        QCOMPARE(reg(words), 1);
        QCOMPARE(m_err,
                 "ERROR: The system was unable to find the specified registry key or value.\n");
        QCOMPARE(m_out, "");
    }

    void add_rejectsBadInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown root") << QStringList{"add", "HKXX\\Software", "/f"};
        QTest::newRow("dword not a number")
            << QStringList{"add", "HKCU\\S", "/v", "D", "/t", "REG_DWORD", "/d", "one"};
        QTest::newRow("odd binary")
            << QStringList{"add", "HKCU\\S", "/v", "B", "/t", "REG_BINARY", "/d", "123"};
        QTest::newRow("unknown type")
            << QStringList{"add", "HKCU\\S", "/v", "Q", "/t", "REG_QWORD", "/d", "1"};
        QTest::newRow("unknown switch") << QStringList{"add", "HKCU\\S", "/z"};
        QTest::newRow("no key") << QStringList{"query"};
    }
    void add_rejectsBadInput()
    {
        QFETCH(QStringList, args);
        std::vector<std::string> words;
        for (const QString& a : args)
            words.push_back(a.toStdString());
        QCOMPARE(reg(words), 1);
        QVERIFY(!m_err.empty());
        QCOMPARE(reg({"query", "HKCU\\S"}), 1);
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
        QCOMPARE(reg({"delete", "HKCU", "/f"}), 1); // a root stays
    }

    void export_writesARegFile()
    {
        reg({"add", "HKCU\\Software\\Acme", "/v", "Error_Msg", "/d", "a \"quoted\" C:\\path",
             "/f"});
        reg({"add", "HKCU\\Software\\Acme", "/v", "N", "/t", "REG_DWORD", "/d", "0x1", "/f"});
        reg({"add", "HKCU\\Software\\Acme\\Sub", "/v", "B", "/t", "REG_BINARY", "/d", "00ff",
             "/f"});
        const QString file = m_dir.filePath("acme.reg");
        QCOMPARE(reg({"export", "HKCU\\Software\\Acme", file.toStdString(), "/y"}), 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray bytes = f.readAll();
        QVERIFY(bytes.startsWith("\xFF\xFE"));
        const QString text = QString::fromUtf16(
            reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
        QCOMPARE(text, QStringLiteral("Windows Registry Editor Version 5.00\r\n"
                                      "\r\n[HKEY_CURRENT_USER\\Software\\Acme]\r\n"
                                      "\"Error_Msg\"=\"a \\\"quoted\\\" C:\\\\path\"\r\n"
                                      "\"N\"=dword:00000001\r\n"
                                      "\r\n[HKEY_CURRENT_USER\\Software\\Acme\\Sub]\r\n"
                                      "\"B\"=hex:00,ff\r\n"
                                      "\r\n"));
        QCOMPARE(reg({"export", "HKCU\\Software\\Missing", file.toStdString()}), 1);
    }
};

QTEST_GUILESS_MAIN(RegToolTest)
#include "RegToolTest.moc"
