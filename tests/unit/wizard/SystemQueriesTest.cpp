#include "wizard/SystemQueries.h"

#include "platform/OsVersion.h"

#include <QtTest>

using namespace tolvane;

class SystemQueriesTest : public QObject {
    Q_OBJECT

private slots:
    void getOSName_namesTheWindowsVersions_data()
    {
        QTest::addColumn<quint32>("platform");
        QTest::addColumn<quint32>("major");
        QTest::addColumn<quint32>("minor");
        QTest::addColumn<QString>("name");
        QTest::newRow("95") << 1u << 4u << 0u << "Windows 95";
        QTest::newRow("98") << 1u << 4u << 10u << "Windows 98";
        QTest::newRow("Me") << 1u << 4u << 90u << "Windows Millennium";
        QTest::newRow("unknown 9x") << 1u << 4u << 3u << "";
        QTest::newRow("NT 3") << 2u << 3u << 51u << "Windows NT 3.51";
        QTest::newRow("NT 4") << 2u << 4u << 0u << "Windows NT 4.0";
        QTest::newRow("2000") << 2u << 5u << 0u << "Windows 2000";
        QTest::newRow("XP") << 2u << 5u << 1u << "Windows XP";
        QTest::newRow("Server 2003 reads as XP") << 2u << 5u << 2u << "Windows XP";
        QTest::newRow("Windows 7 is unknown") << 2u << 6u << 1u << "";
        QTest::newRow("no Windows at all") << 0u << 6u << 1u << "Failed";
        QTest::newRow("CE") << 3u << 5u << 0u << "Failed";
    }
    void getOSName_namesTheWindowsVersions()
    {
        QFETCH(quint32, platform);
        QFETCH(quint32, major);
        QFETCH(quint32, minor);
        QFETCH(QString, name);
        QCOMPARE(QString::fromStdString(GetOSName({platform, major, minor})), name);
    }

    void getOSName_ofThisSystemIsFailed()
    {
        QCOMPARE(GetOSName(makeOsVersion()->query()), "Failed");
    }

    void driveTextOf_takesUpToTheFirstColonBackslash_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("drive");
        QTest::newRow("folder on C") << "C:\\Tools\\Upgrade"
                                     << "C:\\";
        QTest::newRow("drive root") << "C:\\"
                                    << "C:\\";
        QTest::newRow("Linux folder") << "/opt/tolvane/bin"
                                      << "/";
        QTest::newRow("UNC path") << "\\\\server\\share\\tool"
                                  << "\\";
        QTest::newRow("second colon later") << "D:\\a:\\b"
                                            << "D:\\";
    }
    void driveTextOf_takesUpToTheFirstColonBackslash()
    {
        QFETCH(QString, folder);
        QFETCH(QString, drive);
        QCOMPARE(QString::fromStdString(DriveTextOf(folder.toStdString())), drive);
    }

    void minimumSpace_forTheCarriedResourcesIsThreeMegabytes()
    {
        const std::int64_t needed =
            2 * (CharacterCount(3430) + CharacterCount(1184780) + CharacterCount(1334284));
        QCOMPARE(needed, 2522494);
        QCOMPARE(MinimumSpaceMegabytes(needed), 3);
        QCOMPARE(MinimumSpaceMegabytes(5 * 1024 * 1024 / 2), 3); // 2.5 rounds to 2
        QCOMPARE(MinimumSpaceMegabytes(7 * 1024 * 1024 / 2), 5); // 3.5 rounds to 4
        QCOMPARE(CharacterCount(3431), 1715);
    }
};

QTEST_APPLESS_MAIN(SystemQueriesTest)
#include "SystemQueriesTest.moc"
