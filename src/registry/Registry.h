#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

class RegistryStore;

// Access mask of every open and create: all key-specific rights, without the standard rights.
inline constexpr std::uint32_t KEY_ACCESS = 0x3F;

// ValueKind of SetKeyValue.
inline constexpr int ValueKindString = 1; // REG_SZ
inline constexpr int ValueKindNumber = 4; // REG_DWORD

// The program's registry operations. None of them raises an error or shows a message: a key
// that cannot be opened, created or deleted, or a value that cannot be written, stays as it was.
class Registry {
public:
    explicit Registry(RegistryStore& store) : m_store(store) {}

    void CreateKey(std::uint32_t root, const std::string& path);
    void DeleteKey(std::uint32_t root, const std::string& path);

    // Kind 1 writes the text as REG_SZ, without a terminating zero; kind 4 writes it, read as a
    // 32-bit signed number, as REG_DWORD (a text that is no number writes nothing); any other
    // kind writes nothing.
    void SetKeyValue(std::uint32_t root, const std::string& path, const std::string& valueName,
                     const std::string& value, int kind);

    // The value as text: "" when the key cannot be opened, "No Data" when the value is missing,
    // REG_SZ data as stored (a terminating zero included), REG_DWORD as decimal text, and "-1"
    // for a value of any other type.
    std::string QueryKeyValue(std::uint32_t root, const std::string& path,
                              const std::string& valueName);

    RegistryStore& store() { return m_store; }

private:
    RegistryStore& m_store;
};

struct KeyName {
    std::string root;
    std::string path;
    bool operator==(const KeyName&) const = default;
};

// "HKEY_CURRENT_USER\Software\X" gives {"HKEY_CURRENT_USER", "Software\X"}; a text without a
// backslash, one starting with it, or one whose root name is not exactly one of the four root
// names gives two empty strings.
KeyName SplitKeyName(const std::string& keyName);

// The handle value of one of the four root names (exact, case-sensitive); 0 for any other text.
std::uint32_t RootKeyOf(const std::string& rootName);

} // namespace tolvane
