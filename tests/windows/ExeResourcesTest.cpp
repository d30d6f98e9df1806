// What Windows reads from tolvane.exe itself before running it, through the real APIs under Wine:
// the manifest's request for administrator rights, the version record Explorer and installers
// read, the icon Qt and Explorer look up, and an export table that names nothing of ours.

#include <QTest>

#include <windows.h>

namespace {

// The built tolvane.exe, named by the test's environment as a Linux path seen from drive Z:.
std::wstring exePath()
{
    QString path = QStringLiteral("Z:") + qEnvironmentVariable("TOLVANE_EXE");
    return path.replace(u'/', u'\\').toStdWString();
}

QByteArray resource(HMODULE module, const wchar_t* name, const wchar_t* type)
{
    HRSRC found = FindResourceW(module, name, type);
    if (!found)
        return {};
    const void* data = LockResource(LoadResource(module, found));
    return QByteArray(static_cast<const char*>(data), SizeofResource(module, found));
}

} // namespace

class ExeResourcesTest : public QObject {
    Q_OBJECT

    HMODULE m_exe = nullptr;
    QByteArray m_version;

    QString versionText(const QString& name) const
    {
        void* text = nullptr;
        UINT length = 0;
        const std::wstring path =
            (QStringLiteral("\\StringFileInfo\\040904B0\\") + name).toStdWString();
        if (!VerQueryValueW(m_version.data(), path.c_str(), &text, &length) || length == 0)
            return {};
        return QString::fromWCharArray(static_cast<const wchar_t*>(text), length - 1);
    }

private slots:
    void initTestCase()
    {
        m_exe = LoadLibraryExW(exePath().c_str(), nullptr,
                               LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        QVERIFY2(m_exe, qPrintable(QString::fromStdWString(exePath())));
        m_version.resize(GetFileVersionInfoSizeW(exePath().c_str(), nullptr));
        QVERIFY(!m_version.isEmpty());
        QVERIFY(GetFileVersionInfoW(exePath().c_str(), 0, m_version.size(), m_version.data()));
    }
    void cleanupTestCase() { FreeLibrary(m_exe); }

    void manifest_asksForAdministratorRights()
    {
        const QByteArray manifest = resource(m_exe, MAKEINTRESOURCEW(1), RT_MANIFEST);
        QVERIFY(manifest.contains(
            R"(<requestedExecutionLevel level="requireAdministrator" uiAccess="false"/>)"));
        QVERIFY(manifest.contains(R"(<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>)"));
    }

    // Explorer shows the texts; installers compare the numbers.
    void versionRecord_saysWhatTheProgramIs()
    {
        QCOMPARE(versionText("ProductName"), "Tolvane");
        QCOMPARE(versionText("ProductVersion"), TOLVANE_VERSION);
        QCOMPARE(versionText("FileVersion"), TOLVANE_VERSION);
        void* data = nullptr;
        UINT length = 0;
        QVERIFY(VerQueryValueW(m_version.data(), L"\\", &data, &length));
        const auto* fixed = static_cast<const VS_FIXEDFILEINFO*>(data);
        const QStringList parts = QStringLiteral(TOLVANE_VERSION).split(u'.');
        const DWORD high = MAKELONG(parts.value(1).toUShort(), parts.value(0).toUShort());
        QCOMPARE(fixed->dwFileVersionMS, high);
        QCOMPARE(fixed->dwProductVersionMS, high);
        QCOMPARE(fixed->dwFileVersionLS, DWORD(0));
    }

    // Qt's Windows platform loads the window's icon by this name; Explorer takes the first icon.
    void icon_isNamedForQtAndHoldsEverySize()
    {
        const QByteArray group = resource(m_exe, L"IDI_ICON1", RT_GROUP_ICON);
        QVERIFY(group.size() >= 6);
        const int count = *reinterpret_cast<const WORD*>(group.constData() + 4);
        QList<int> sizes;
        for (int i = 0; i < count; ++i) {
            const int width = static_cast<unsigned char>(group.at(6 + 14 * i));
            sizes.append(width == 0 ? 256 : width);
        }
        QCOMPARE(sizes, QList<int>({16, 24, 32, 48, 256}));
        for (const int size : {16, 32, 256}) {
            HICON icon = static_cast<HICON>(
                LoadImageW(m_exe, L"IDI_ICON1", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
            QVERIFY2(icon, qPrintable(QString::number(size)));
            DestroyIcon(icon);
        }
    }

    // libxml2's API once made 1,447 exports. Qt marks its startup hook for export even in a
    // static build, and no linker option unmarks it; nothing else may be exported.
    void exportTable_namesOnlyQtsStartupHook()
    {
        const auto* base = reinterpret_cast<const BYTE*>(reinterpret_cast<ULONG_PTR>(m_exe) &
                                                         ~ULONG_PTR(3)); // mapped as an image
        const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& entry =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        QStringList names;
        if (entry.Size != 0) {
            const auto* exports =
                reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + entry.VirtualAddress);
            QCOMPARE(exports->NumberOfFunctions, exports->NumberOfNames);
            const auto* name = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
            for (DWORD i = 0; i < exports->NumberOfNames; ++i)
                names.append(QString::fromLatin1(reinterpret_cast<const char*>(base + name[i])));
        }
        QCOMPARE(names, QStringList({"qt_startup_hook"}));
    }
};

QTEST_APPLESS_MAIN(ExeResourcesTest)
#include "ExeResourcesTest.moc"
