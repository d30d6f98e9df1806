#pragma once

#include "platform/RegistryStore.h"

#include <map>
#include <optional>

struct sqlite3;

namespace tolvane {

// The registry kept in one SQLite file, for systems that have none. Several processes may use
// the same file at once (an installer reading the report while the program writes it): the file
// is in WAL mode with a busy timeout and every change is one transaction. A file that cannot be
// opened or is not a store makes every call fail; it is never replaced or repaired.
// Names compare case-insensitively in the ASCII range, which covers every name the program uses.
class SqliteRegistryStore final : public RegistryStore {
public:
    explicit SqliteRegistryStore(const std::string& path);
    ~SqliteRegistryStore() override;
    SqliteRegistryStore(const SqliteRegistryStore&) = delete;
    SqliteRegistryStore& operator=(const SqliteRegistryStore&) = delete;

    long openKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override;
    long createKey(Key parent, const std::string& path, std::uint32_t access, Key* result) override;
    void closeKey(Key key) override;
    long deleteKey(Key parent, const std::string& path) override;
    long queryValue(Key key, const std::string& name, std::uint32_t* type, std::uint8_t* data,
                    std::uint32_t* size) override;
    long setValue(Key key, const std::string& name, std::uint32_t type, const std::uint8_t* data,
                  std::uint32_t size) override;
    long deleteValue(Key key, const std::string& name) override;
    long enumKey(Key key, std::uint32_t index, std::string* name) override;
    long enumValue(Key key, std::uint32_t index, std::string* name) override;

private:
    using KeyId = long long;

    std::optional<bool> hasSchema(); // nullopt: the file is no database
    bool prepareSchema();
    bool seedFreshProfile();
    long resolve(Key key, KeyId* id);
    std::optional<KeyId> childOf(KeyId parent, const std::string& name);
    long walk(KeyId from, const std::string& path, bool create, KeyId* id);
    Key newHandle(KeyId id);
    long enumerate(const char* sql, Key key, std::uint32_t index, std::string* name);

    sqlite3* m_db = nullptr;
    std::map<Key, KeyId> m_handles;
    Key m_nextHandle = 1;
};

// The path makeRegistryStore() opens, worked out without touching anything.
std::string registryStorePath();

} // namespace tolvane
