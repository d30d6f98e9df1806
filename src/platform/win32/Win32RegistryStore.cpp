#include "platform/RegistryStore.h"

#include <windows.h>

namespace tolvane {

namespace {

// The real registry through the ANSI calls. Predefined roots are passed as their 32-bit values,
// which the 64-bit API expects sign-extended.
class Win32RegistryStore final : public RegistryStore {
public:
    long openKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override
    {
        HKEY key = nullptr;
        const LONG rc = RegOpenKeyExA(toHkey(parent), path.c_str(), 0, access, &key);
        *result = fromHkey(key);
        return rc;
    }
    long createKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override
    {
        HKEY key = nullptr;
        const LONG rc = RegCreateKeyExA(toHkey(parent), path.c_str(), 0, nullptr,
                                        REG_OPTION_NON_VOLATILE, access, nullptr, &key, nullptr);
        *result = fromHkey(key);
        return rc;
    }
    void closeKey(Key key) override { RegCloseKey(toHkey(key)); }
    long deleteKey(Key parent, const std::string& path) override
    {
        if (path.find_first_not_of('\\') == std::string::npos)
            return ERROR_INVALID_PARAMETER; // never the key itself, and so never a root
        return RegDeleteKeyA(toHkey(parent), path.c_str());
    }
    long queryValue(Key key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override
    {
        DWORD t = 0;
        DWORD s = size ? *size : 0;
        const LONG rc = RegQueryValueExA(toHkey(key), name.c_str(), nullptr, &t, data, &s);
        if (type)
            *type = t;
        if (size)
            *size = s;
        return rc;
    }
    long setValue(Key key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override
    {
        return RegSetValueExA(toHkey(key), name.c_str(), 0, type, data, size);
    }
    long deleteValue(Key key, const std::string& name) override
    {
        return RegDeleteValueA(toHkey(key), name.c_str());
    }
    long enumKey(Key key, std::uint32_t index, std::string* name) override
    {
        char buffer[256];
        DWORD length = sizeof buffer;
        const LONG rc =
            RegEnumKeyExA(toHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS)
            name->assign(buffer, length);
        return rc;
    }
    long enumValue(Key key, std::uint32_t index, std::string* name) override
    {
        char buffer[16384];
        DWORD length = sizeof buffer;
        const LONG rc =
            RegEnumValueA(toHkey(key), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS)
            name->assign(buffer, length);
        return rc;
    }

private:
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
