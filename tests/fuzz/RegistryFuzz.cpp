// Registry names and data: SplitKeyName and RootKeyOf on arbitrary text, and the SQLite store
// against a model: what is written reads back byte for byte, whatever the case of the names used
// to read it, and keys are created and deleted as the Windows calls do.
#include "FuzzCheck.h"
#include "FuzzInput.h"
#include "common/RunOptions.h"
#include "platform/posix/SqliteRegistryStore.h"
#include "registry/Registry.h"

#include <algorithm>
#include <array>
#include <map>
#include <string>
#include <vector>

using namespace tolvane;

namespace {

constexpr std::array<std::uint32_t, 4> Roots = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER,
                                                HKEY_LOCAL_MACHINE, HKEY_USERS};
constexpr std::array<const char*, 4> RootNames = {"HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",
                                                  "HKEY_LOCAL_MACHINE", "HKEY_USERS"};

void checkKeyNames(const std::string& text)
{
    const KeyName key = SplitKeyName(text);
    const auto slash = text.find('\\');
    if (key.root.empty()) {
        FUZZ_CHECK(key.path.empty());
        FUZZ_CHECK(slash == std::string::npos || slash == 0 ||
                   RootKeyOf(text.substr(0, slash)) == 0);
    } else {
        FUZZ_CHECK(RootKeyOf(key.root) != 0);
        FUZZ_CHECK(key.root + "\\" + key.path == text);
        FUZZ_CHECK(key.root.size() == slash);
    }
    const std::uint32_t handle = RootKeyOf(text);
    const auto known = std::find(RootNames.begin(), RootNames.end(), text);
    FUZZ_CHECK((handle != 0) == (known != RootNames.end()));
    if (handle != 0)
        FUZZ_CHECK(handle == Roots[static_cast<std::size_t>(known - RootNames.begin())]);
}

// Names as the Windows registry compares them: case-insensitive in the ASCII range, and, being
// C strings there, ending at the first zero.
std::string canonicalName(const std::string& name)
{
    std::string out = name.substr(0, name.find('\0'));
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

std::string flipCase(std::string text)
{
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        else if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

using KeyPath = std::vector<std::string>; // the root's name first, then canonical components

struct Value {
    std::uint32_t type;
    std::string data;
};

// What the store must hold. Every key the input makes lies below "Fuzz" so that the keys a new
// store is seeded with never meet the model.
struct Model {
    std::map<KeyPath, std::map<std::string, Value>> keys;

    bool hasChildren(const KeyPath& key) const
    {
        const auto next = keys.upper_bound(key);
        return next != keys.end() && next->first.size() > key.size() &&
               std::equal(key.begin(), key.end(), next->first.begin());
    }
};

struct Target {
    std::uint32_t root;
    std::string path; // as the store is given it
    KeyPath key;
};

Target readTarget(FuzzInput& input)
{
    Target target;
    const std::size_t rootIndex = input.byte() % Roots.size();
    target.root = Roots[rootIndex];
    target.path = "Fuzz\\" + input.text();
    target.key.push_back(RootNames[rootIndex]);
    std::string part;
    for (const char c : target.path.substr(0, target.path.find('\0')) + '\\') {
        if (c != '\\') {
            part += c;
            continue;
        }
        if (!part.empty())
            target.key.push_back(canonicalName(part));
        part.clear();
    }
    return target;
}

std::uint32_t readType(FuzzInput& input)
{
    const std::uint8_t choice = input.byte();
    switch (choice % 4) {
    case 0:
        return REG_SZ;
    case 1:
        return REG_DWORD;
    case 2:
        return REG_BINARY;
    default:
        return choice;
    }
}

void checkValue(SqliteRegistryStore& store, const Target& target, const std::string& name,
                const Value* expected)
{
    RegistryStore::Key key = 0;
    FUZZ_CHECK(store.openKey(target.root, flipCase(target.path), KEY_ACCESS, &key) ==
               ERROR_SUCCESS);
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    const long rc = store.queryValue(key, flipCase(name), &type, nullptr, &size);
    if (!expected) {
        FUZZ_CHECK(rc == ERROR_FILE_NOT_FOUND);
    } else {
        FUZZ_CHECK(rc == ERROR_SUCCESS);
        FUZZ_CHECK(type == expected->type && size == expected->data.size());
        std::string data(size + 1, '\x7F');
        std::uint32_t room = size;
        FUZZ_CHECK(store.queryValue(key, name, nullptr,
                                    reinterpret_cast<std::uint8_t*>(data.data()),
                                    &room) == ERROR_SUCCESS);
        FUZZ_CHECK(room == size && data.back() == '\x7F');
        data.pop_back();
        FUZZ_CHECK(data == expected->data);
        if (size > 0) {
            room = size - 1;
            FUZZ_CHECK(store.queryValue(key, name, nullptr,
                                        reinterpret_cast<std::uint8_t*>(data.data()),
                                        &room) == ERROR_MORE_DATA);
            FUZZ_CHECK(room == size);
        }
    }
    store.closeKey(key);
}

void runStore(FuzzInput& input)
{
    SqliteRegistryStore store(":memory:");
    Model model;
    for (int step = 0; step < 64 && !input.empty(); ++step) {
        const std::uint8_t op = input.byte();
        const Target target = readTarget(input);
        const bool exists = model.keys.count(target.key) > 0;
        switch (op % 4) {
        case 0: { // create the key and write a value
            const std::string name = input.text();
            Value value{readType(input), input.text(true)};
            RegistryStore::Key key = 0;
            FUZZ_CHECK(store.createKey(target.root, target.path, KEY_ACCESS, &key) ==
                       ERROR_SUCCESS);
            FUZZ_CHECK(store.setValue(key, name, value.type,
                                      reinterpret_cast<const std::uint8_t*>(value.data.data()),
                                      static_cast<std::uint32_t>(value.data.size())) ==
                       ERROR_SUCCESS);
            store.closeKey(key);
            for (std::size_t n = 2; n <= target.key.size(); ++n)
                model.keys[KeyPath(target.key.begin(), target.key.begin() + n)];
            model.keys[target.key][canonicalName(name)] = value;
            break;
        }
        case 1: { // read a value back
            const std::string name = input.text();
            RegistryStore::Key key = 0;
            if (!exists) {
                FUZZ_CHECK(store.openKey(target.root, target.path, KEY_ACCESS, &key) ==
                           ERROR_FILE_NOT_FOUND);
                break;
            }
            const auto& values = model.keys[target.key];
            const auto found = values.find(canonicalName(name));
            checkValue(store, target, name, found == values.end() ? nullptr : &found->second);
            break;
        }
        case 2: { // delete a value
            const std::string name = input.text();
            RegistryStore::Key key = 0;
            if (store.openKey(target.root, target.path, KEY_ACCESS, &key) != ERROR_SUCCESS) {
                FUZZ_CHECK(!exists);
                break;
            }
            FUZZ_CHECK(exists);
            const bool had = model.keys[target.key].erase(canonicalName(name)) > 0;
            FUZZ_CHECK(store.deleteValue(key, name) ==
                       (had ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND));
            store.closeKey(key);
            break;
        }
        default: { // delete the key
            const long rc = store.deleteKey(target.root, flipCase(target.path));
            if (!exists) {
                FUZZ_CHECK(rc == ERROR_FILE_NOT_FOUND);
            } else if (model.hasChildren(target.key)) {
                FUZZ_CHECK(rc == ERROR_ACCESS_DENIED);
            } else {
                FUZZ_CHECK(rc == ERROR_SUCCESS);
                model.keys.erase(target.key);
            }
            break;
        }
        }
    }
    // Everything the model holds is in the store, byte for byte.
    for (const auto& [path, values] : model.keys) {
        std::string joined;
        for (std::size_t i = 1; i < path.size(); ++i)
            joined += path[i] + "\\";
        const auto rootIndex = static_cast<std::size_t>(
            std::find(RootNames.begin(), RootNames.end(), path[0]) - RootNames.begin());
        const Target target{Roots[rootIndex], joined, path};
        for (const auto& [name, value] : values)
            checkValue(store, target, name, &value);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    checkKeyNames(std::string(reinterpret_cast<const char*>(data), size));
    FuzzInput input(data, size);
    runStore(input);
    return 0;
}
