#include "Registry.h"

#include "common/RunOptions.h"
#include "platform/RegistryStore.h"

#include <array>
#include <charconv>
#include <vector>

namespace tolvane {

namespace {

constexpr std::array<std::pair<const char*, std::uint32_t>, 4> RootNames{{
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", HKEY_USERS},
}};

bool toLong(const std::string& text, std::int32_t* number)
{
    // Leading and trailing blanks are allowed around the number, as the conversion of the old
    // platform allowed them; anything else makes it no number.
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    if (first == std::string::npos)
        return false;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+')
        ++begin;
    const auto [ptr, error] = std::from_chars(begin, end, *number);
    return error == std::errc() && ptr == end;
}

} // namespace

void Registry::CreateKey(std::uint32_t root, const std::string& path)
{
    RegistryStore::Key key = 0;
    if (m_store.createKey(root, path, KEY_ACCESS, &key) == ERROR_SUCCESS)
        m_store.closeKey(key);
}

void Registry::DeleteKey(std::uint32_t root, const std::string& path)
{
    const OpenedKey key(m_store, root, path, KEY_ACCESS);
    if (key.open())
        m_store.deleteKey(root, path);
}

void Registry::SetKeyValue(std::uint32_t root, const std::string& path,
                           const std::string& valueName, const std::string& value, int kind)
{
    const OpenedKey key(m_store, root, path, KEY_ACCESS);
    if (!key.open())
        return;
    if (kind == ValueKindString) {
        m_store.setValue(key.key(), valueName, REG_SZ,
                         reinterpret_cast<const std::uint8_t*>(value.data()),
                         static_cast<std::uint32_t>(value.size()));
    } else if (kind == ValueKindNumber) {
        std::int32_t number = 0;
        if (!toLong(value, &number))
            return;
        std::uint8_t bytes[4];
        const auto bits = static_cast<std::uint32_t>(number);
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<std::uint8_t>(bits >> (8 * i));
        m_store.setValue(key.key(), valueName, REG_DWORD, bytes, sizeof bytes);
    }
}

std::string Registry::QueryKeyValue(std::uint32_t root, const std::string& path,
                                    const std::string& valueName)
{
    const OpenedKey key(m_store, root, path, KEY_ACCESS);
    if (!key.open())
        return "";
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    if (m_store.queryValue(key.key(), valueName, &type, nullptr, &size) != ERROR_SUCCESS)
        return "No Data";
    if (type == REG_SZ) {
        std::string text(size, '\0');
        if (m_store.queryValue(key.key(), valueName, nullptr,
                               reinterpret_cast<std::uint8_t*>(text.data()),
                               &size) != ERROR_SUCCESS)
            return "";
        return text;
    }
    if (type == REG_DWORD) {
        std::uint8_t bytes[4] = {};
        std::uint32_t read = sizeof bytes;
        if (m_store.queryValue(key.key(), valueName, nullptr, bytes, &read) != ERROR_SUCCESS)
            return "";
        std::uint32_t bits = 0;
        for (int i = 0; i < 4; ++i)
            bits |= static_cast<std::uint32_t>(bytes[i]) << (8 * i);
        return std::to_string(static_cast<std::int32_t>(bits));
    }
    return "-1";
}

KeyName SplitKeyName(const std::string& keyName)
{
    const auto slash = keyName.find('\\');
    if (slash == std::string::npos || slash == 0)
        return {};
    const std::string root = keyName.substr(0, slash);
    if (RootKeyOf(root) == 0)
        return {};
    return {root, keyName.substr(slash + 1)};
}

std::uint32_t RootKeyOf(const std::string& rootName)
{
    for (const auto& [name, handle] : RootNames)
        if (rootName == name)
            return handle;
    return 0;
}

} // namespace tolvane
