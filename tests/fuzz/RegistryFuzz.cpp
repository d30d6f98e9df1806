// Registry names and data: SplitKeyName and RootKeyOf on arbitrary text, and the SQLite store
// against a model: keys and values are created and deleted as the Windows calls do, and at the
// end every value written reads back byte for byte, whatever the case of the names used.
#include "FuzzCheck.h"
#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <utility>
#include <vector>

using namespace tolvane;

namespace {

// Reads a fuzz input as a series of small fields. An exhausted input reads as zeros and empty
// texts, so every byte string is a valid input.
struct FuzzInput {
    const std::uint8_t* data;
    const std::uint8_t* end;

    bool empty() const { return data == end; }
    std::uint8_t byte() { return empty() ? 0 : *data++; }
    // A length byte (or two, little-endian, when `wide`), then that many bytes.
    std::string text(bool wide = false)
    {
        std::size_t length = byte();
        if (wide)
            length |= static_cast<std::size_t>(byte()) << 8;
        const auto* start = data;
        data += std::min<std::size_t>(length, static_cast<std::size_t>(end - data));
        return std::string(start, data);
    }
};

constexpr std::array<std::pair<const char*, std::uint32_t>, 4> Roots{
    {{"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
     {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
     {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
     {"HKEY_USERS", HKEY_USERS}}};

// A root name is exact; a key name splits at its first backslash behind one.
void checkKeyNames(const std::string& text)
{
    std::uint32_t root = 0;
    for (const auto& [name, handle] : Roots)
        root = text == name ? handle : root;
    FUZZ_CHECK(RootKeyOf(text) == root);
    const auto slash = text.find('\\');
    const bool split = slash != std::string::npos && RootKeyOf(text.substr(0, slash)) != 0;
    FUZZ_CHECK(SplitKeyName(text) ==
               (split ? KeyName{text.substr(0, slash), text.substr(slash + 1)} : KeyName{}));
}

// Names as the Windows registry compares them: case-insensitive in the ASCII range, and, being C
// strings there, ending at the first zero. `flip` swaps the case instead.
std::string withCase(std::string text, bool flip)
{
    if (!flip)
        text.resize(std::min(text.size(), text.find('\0')));
    for (char& c : text)
        if ((c >= 'A' && c <= 'Z') || (flip && c >= 'a' && c <= 'z'))
            c = static_cast<char>(c ^ 0x20);
    return text;
}

using KeyPath = std::vector<std::string>; // the root's index, then canonical components
using Values = std::map<std::string, std::pair<std::uint32_t, std::string>>;

struct Target {
    std::uint32_t root;
    std::string path; // as the store is given it
    KeyPath key;
};

// Every key the input makes lies below "Fuzz", away from the keys a new store is seeded with.
Target readTarget(FuzzInput& input)
{
    const std::size_t rootIndex = input.byte() % Roots.size();
    Target target{Roots[rootIndex].second, "Fuzz\\" + input.text(), {std::to_string(rootIndex)}};
    std::string part;
    for (const char c : target.path.substr(0, target.path.find('\0')) + '\\') {
        if (c != '\\')
            part += c;
        else if (!part.empty())
            target.key.push_back(withCase(std::exchange(part, {}), false));
    }
    return target;
}

void checkValue(SqliteRegistryStore& store, const Target& target, const std::string& name,
                const Values::mapped_type& expected)
{
    RegistryStore::Key key = 0;
    FUZZ_CHECK(store.openKey(target.root, withCase(target.path, true), KEY_ACCESS, &key) ==
               ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    FUZZ_CHECK(store.queryValue(key, withCase(name, true), &type, nullptr, &size) == ERROR_SUCCESS);
    FUZZ_CHECK(type == expected.first && size == expected.second.size());
    std::string data(size + 1, '\x7F');
    auto* bytes = reinterpret_cast<std::uint8_t*>(data.data());
    std::uint32_t room = size;
    FUZZ_CHECK(store.queryValue(key, name, nullptr, bytes, &room) == ERROR_SUCCESS);
    FUZZ_CHECK(room == size && data == expected.second + '\x7F');
    room = size - 1;
    if (size > 0)
        FUZZ_CHECK(store.queryValue(key, name, nullptr, bytes, &room) == ERROR_MORE_DATA &&
                   room == size);
    store.closeKey(key);
}

void runStore(FuzzInput& input)
{
    SqliteRegistryStore store(":memory:");
    std::map<KeyPath, Values> model;
    for (int step = 0; step < 64 && !input.empty(); ++step) {
        const std::uint8_t op = input.byte() % 4;
        const Target target = readTarget(input);
        const bool exists = model.count(target.key) > 0;
        RegistryStore::Key key = 0;
        if (op == 0) { // create the key and write a value
            const std::string name = input.text();
            const std::uint8_t type = input.byte();
            const std::string data = input.text(true);
            FUZZ_CHECK(store.createKey(target.root, target.path, KEY_ACCESS, &key) ==
                       ERROR_SUCCESS);
            FUZZ_CHECK(store.setValue(key, name, type,
                                      reinterpret_cast<const std::uint8_t*>(data.data()),
                                      static_cast<std::uint32_t>(data.size())) == ERROR_SUCCESS);
            store.closeKey(key);
            for (std::size_t n = 2; n <= target.key.size(); ++n)
                model[KeyPath(target.key.begin(), target.key.begin() + n)];
            model[target.key][withCase(name, false)] = {type, data};
        } else if (op < 3) { // open a missing key, or delete a value
            const std::string name = input.text();
            const long rc = store.openKey(target.root, target.path, KEY_ACCESS, &key);
            FUZZ_CHECK(rc == (exists ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND));
            if (!exists)
                continue;
            const bool had = model[target.key].erase(withCase(name, false)) > 0;
            FUZZ_CHECK(store.deleteValue(key, name) ==
                       (had ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND));
            store.closeKey(key);
        } else { // delete the key: refused while it has subkeys
            const auto next = model.upper_bound(target.key);
            const bool hasChildren =
                exists && next != model.end() && next->first.size() > target.key.size() &&
                std::equal(target.key.begin(), target.key.end(), next->first.begin());
            const long rc = store.deleteKey(target.root, withCase(target.path, true));
            FUZZ_CHECK(rc == (!exists       ? ERROR_FILE_NOT_FOUND
                              : hasChildren ? ERROR_ACCESS_DENIED
                                            : ERROR_SUCCESS));
            if (rc == ERROR_SUCCESS)
                model.erase(target.key);
        }
    }
    // Everything the model holds is in the store, byte for byte.
    for (const auto& [path, values] : model) {
        Target target{Roots[std::stoul(path[0])].second, {}, path};
        for (std::size_t i = 1; i < path.size(); ++i)
            target.path += path[i] + "\\";
        for (const auto& [name, value] : values)
            checkValue(store, target, name, value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkKeyNames(std::string(reinterpret_cast<const char*>(data), size));
    FuzzInput input{data, data + size};
    runStore(input);
    return 0;
}
