#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tolvane {

// Registry value types, with the platform's numbers.
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;

// Platform result codes used by the stores.
inline constexpr long ERROR_SUCCESS = 0;
inline constexpr long ERROR_FILE_NOT_FOUND = 2;
inline constexpr long ERROR_ACCESS_DENIED = 5;
inline constexpr long ERROR_INVALID_HANDLE = 6;
inline constexpr long ERROR_INVALID_PARAMETER = 87;
inline constexpr long ERROR_MORE_DATA = 234;
inline constexpr long ERROR_NO_MORE_ITEMS = 259;
inline constexpr long ERROR_CANTOPEN = 1011;

// The registry as the Windows API offers it: keys opened by handle below a predefined root,
// names compared without regard to case, data kept byte for byte with its type. Every call
// returns ERROR_SUCCESS or a platform error code and never throws. The predefined roots are
// valid handles that need no opening and can never be deleted. Paths are backslash-separated;
// empty components are ignored. Paths, names and string data are UTF-8, and sizes of string data
// count its UTF-8 bytes, as the ANSI calls named below count the bytes of theirs.
class RegistryStore {
public:
    using Key = std::uint64_t;

    virtual ~RegistryStore() = default;

    // RegOpenKeyExA: fails with ERROR_FILE_NOT_FOUND when the key does not exist.
    virtual long openKey(Key parent, const std::string& path, std::uint32_t access,
                         Key* result) = 0;

    // RegCreateKeyExA: opens the key, creating it and any missing keys above it.
    virtual long createKey(Key parent, const std::string& path, std::uint32_t access,
                           Key* result) = 0;

    // RegCloseKey.
    virtual void closeKey(Key key) = 0;

    // RegDeleteKeyA: deletes a key that has no subkeys, with its values. A key that still has
    // subkeys is left unchanged and ERROR_ACCESS_DENIED returned.
    virtual long deleteKey(Key parent, const std::string& path) = 0;

    // RegQueryValueExA: reports the type and size; with `data` also the bytes, provided *size is
    // large enough (ERROR_MORE_DATA otherwise, with the size needed in *size).
    virtual long queryValue(Key key, const std::string& name, std::uint32_t* type,
                            std::uint8_t* data, std::uint32_t* size) = 0;

    // RegSetValueExA: creates or replaces the value.
    virtual long setValue(Key key, const std::string& name, std::uint32_t type,
                          const std::uint8_t* data, std::uint32_t size) = 0;

    // RegDeleteValueA.
    virtual long deleteValue(Key key, const std::string& name) = 0;

    // RegEnumKeyExA and RegEnumValueA, reduced to names: the index-th subkey or value name in
    // alphabetical order, ERROR_NO_MORE_ITEMS past the last.
    virtual long enumKey(Key key, std::uint32_t index, std::string* name) = 0;
    virtual long enumValue(Key key, std::uint32_t index, std::string* name) = 0;
};

// A key opened (or created) for the length of a scope, and closed at its end.
class OpenedKey {
public:
    enum class Mode { Open, Create };

    OpenedKey(RegistryStore& store, RegistryStore::Key parent, const std::string& path,
              std::uint32_t access, Mode mode = Mode::Open)
        : m_store(store)
    {
        m_open =
            (mode == Mode::Create ? store.createKey(parent, path, access, &m_key)
                                  : store.openKey(parent, path, access, &m_key)) == ERROR_SUCCESS;
    }
    ~OpenedKey()
    {
        if (m_open)
            m_store.closeKey(m_key);
    }
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;

    bool open() const { return m_open; }
    RegistryStore::Key key() const { return m_key; }

private:
    RegistryStore& m_store;
    RegistryStore::Key m_key = 0;
    bool m_open = false;
};

// The store of this platform: the real registry on Windows; elsewhere the SQLite file named by
// TOLVANE_REGISTRY, by default registry.sqlite in the user's XDG state folder under "tolvane".
std::unique_ptr<RegistryStore> makeRegistryStore();

} // namespace tolvane
