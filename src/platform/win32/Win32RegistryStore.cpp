#include "Utf16.h"
#include "platform/RegistryStore.h"

#include <algorithm>
#include <vector>
#include <windows.h>

namespace tolvane {

namespace {

bool isText(DWORD type)
{
    return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

// The real registry through the wide-character calls, so that every key, name and text is stored
// as written; to the program they are UTF-8, with sizes counted in UTF-8 bytes as the ANSI calls
// count theirs in ANSI bytes. Predefined roots are passed as their 32-bit values, which the
// 64-bit API expects sign-extended.
class Win32RegistryStore final : public RegistryStore {
public:
    long openKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override
    {
        HKEY key = nullptr;
        const LONG rc = RegOpenKeyExW(toHkey(parent), toUtf16(path).c_str(), 0, access, &key);
        *result = fromHkey(key);
        return rc;
    }
    long createKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override
    {
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyExW(toHkey(parent), toUtf16(path).c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
        *result = fromHkey(key);
        return rc;
    }
    void closeKey(Key key) override { RegCloseKey(toHkey(key)); }
    long deleteKey(Key parent, const std::string& path) override
    {
        if (path.find_first_not_of('\\') == std::string::npos)
            return ERROR_INVALID_PARAMETER; // never the key itself, and so never a root
        return RegDeleteKeyW(toHkey(parent), toUtf16(path).c_str());
    }
    long queryValue(Key key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override
    {
        DWORD t = 0;
        std::vector<BYTE> bytes;
        const LONG rc = readValue(toHkey(key), toUtf16(name), &t, &bytes);
        if (rc != ERROR_SUCCESS)
            return rc;
        if (isText(t)) {
            const std::string text = toUtf8(reinterpret_cast<const wchar_t*>(bytes.data()),
                                            bytes.size() / sizeof(wchar_t));
            bytes.assign(text.begin(), text.end());
        }
        if (type)
            *type = t;
        if (!size)
            return ERROR_SUCCESS;
        const auto needed = static_cast<std::uint32_t>(bytes.size());
        const bool fits = *size >= needed;
        *size = needed;
        if (!data)
            return ERROR_SUCCESS;
        if (!fits)
            return ERROR_MORE_DATA;
        std::copy(bytes.begin(), bytes.end(), data);
        return ERROR_SUCCESS;
    }
    long setValue(Key key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override
    {
        if (!isText(type))
            return RegSetValueExW(toHkey(key), toUtf16(name).c_str(), 0, type, data, size);
        // Both calls keep a zero that follows the text in memory as its terminator, so the wide
        // text is followed by one exactly when the given bytes are.
        std::wstring text = toUtf16(std::string(reinterpret_cast<const char*>(data), size));
        const auto bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
        if (size > 0 && data[size] != 0)
            text.push_back(L'?');
        return RegSetValueExW(toHkey(key), toUtf16(name).c_str(), 0, type,
                              reinterpret_cast<const BYTE*>(text.data()), bytes);
    }
    long deleteValue(Key key, const std::string& name) override
    {
        return RegDeleteValueW(toHkey(key), toUtf16(name).c_str());
    }
    long enumKey(Key key, std::uint32_t index, std::string* name) override
    {
        wchar_t buffer[256];
        DWORD length = std::size(buffer);
        const LONG rc =
            RegEnumKeyExW(toHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS)
            *name = toUtf8(buffer, length);
        return rc;
    }
    long enumValue(Key key, std::uint32_t index, std::string* name) override
    {
        wchar_t buffer[16384];
        DWORD length = std::size(buffer);
        const LONG rc =
            RegEnumValueW(toHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS)
            *name = toUtf8(buffer, length);
        return rc;
    }

private:
    // The whole value, however much it grows between asking for its size and reading it.
    static LONG readValue(HKEY key, const std::wstring& name, DWORD* type, std::vector<BYTE>* bytes)
    {
        DWORD size = 0;
        LONG rc = RegQueryValueExW(key, name.c_str(), nullptr, type, nullptr, &size);
        while (rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA) {
            bytes->resize(size);
            rc = RegQueryValueExW(key, name.c_str(), nullptr, type, bytes->data(), &size);
            if (rc == ERROR_SUCCESS) {
                bytes->resize(size);
                return rc;
            }
        }
        return rc;
    }
    static HKEY toHkey(Key key)
    {
        if (key >= 0x80000000u && key <= 0x800000FFu)
            return reinterpret_cast<HKEY>(
                static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(key))));
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(key));
    }
    static Key fromHkey(HKEY key) { return reinterpret_cast<ULONG_PTR>(key); }
};

} // namespace

std::unique_ptr<RegistryStore> makeRegistryStore()
{
    return std::make_unique<Win32RegistryStore>();
}

} // namespace tolvane
