#include "SqliteRegistryStore.h"

#include "common/RunOptions.h"

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sqlite3.h>
#include <string_view>

namespace tolvane {

namespace {

constexpr long ERROR_KEY_DELETED = 1018;

constexpr std::array<std::pair<std::uint32_t, const char*>, 4> Roots{{
    {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
    {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
    {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
    {HKEY_USERS, "HKEY_USERS"},
}};

bool isRoot(RegistryStore::Key key)
{
    for (const auto& root : Roots)
        if (root.first == key)
            return true;
    return false;
}

// One prepared statement, finalized when it goes out of scope.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr); }
    ~Statement() { sqlite3_finalize(m_stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return m_stmt != nullptr; }
    Statement& bind(int i, long long v)
    {
        sqlite3_bind_int64(m_stmt, i, v);
        return *this;
    }
    // Names end at their first zero, as they do for the registry's C-string API.
    Statement& bind(int i, const std::string& v)
    {
        sqlite3_bind_text(m_stmt, i, v.c_str(), -1, SQLITE_TRANSIENT);
        return *this;
    }
    Statement& bindBlob(int i, const std::uint8_t* data, std::uint32_t size)
    {
        // A zero-length blob, never NULL, so that empty data reads back as empty data.
        sqlite3_bind_blob(m_stmt, i, size ? data : reinterpret_cast<const std::uint8_t*>(""),
                          static_cast<int>(size), SQLITE_TRANSIENT);
        return *this;
    }
    int step() { return ok() ? sqlite3_step(m_stmt) : SQLITE_ERROR; }
    long long integer(int col) { return sqlite3_column_int64(m_stmt, col); }
    std::string text(int col)
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col)))
                 : std::string();
    }
    std::string_view blob(int col)
    {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(m_stmt, col));
        return {p ? p : "", static_cast<std::size_t>(sqlite3_column_bytes(m_stmt, col))};
    }

private:
    sqlite3_stmt* m_stmt = nullptr;
};

long writeResult(int rc)
{
    if (rc == SQLITE_DONE || rc == SQLITE_OK)
        return ERROR_SUCCESS;
    return rc == SQLITE_READONLY ? ERROR_ACCESS_DENIED : ERROR_CANTOPEN;
}

std::vector<std::string> components(const std::string& path)
{
    std::vector<std::string> parts;
    std::string part;
    for (char c : std::string_view(path.c_str())) {
        if (c == '\\') {
            if (!part.empty())
                parts.push_back(std::move(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty())
        parts.push_back(std::move(part));
    return parts;
}

// Commits on success, rolls back otherwise; one transaction for every change to the store.
class Transaction {
public:
    explicit Transaction(sqlite3* db) : m_db(db)
    {
        m_open = sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    ~Transaction()
    {
        if (m_open)
            sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    }
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool open() const { return m_open; }
    long commit(long result)
    {
        if (result != ERROR_SUCCESS)
            return result;
        const int rc = sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        m_open = rc != SQLITE_OK;
        return writeResult(rc);
    }

private:
    sqlite3* m_db;
    bool m_open;
};

} // namespace

SqliteRegistryStore::SqliteRegistryStore(const std::string& path)
{
    if (sqlite3_open_v2(path.c_str(), &m_db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
            SQLITE_OK ||
        !prepareSchema()) {
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

SqliteRegistryStore::~SqliteRegistryStore()
{
    sqlite3_close(m_db);
}

std::optional<bool> SqliteRegistryStore::hasSchema()
{
    Statement probe(m_db, "SELECT count(*) FROM sqlite_master WHERE name IN ('keys', 'vals')");
    if (probe.step() != SQLITE_ROW)
        return std::nullopt;
    return probe.integer(0) == 2;
}

bool SqliteRegistryStore::prepareSchema()
{
    sqlite3_busy_timeout(m_db, 5000);
    // Reading the schema first proves the file is a database; a garbage file fails here and is
    // left as it is.
    const auto ready = hasSchema();
    if (!ready)
        return false;
    sqlite3_exec(m_db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    if (*ready)
        return true;
    Transaction tx(m_db);
    if (!tx.open())
        return false;
    // Another process may have made the store since the first look; it made all of it.
    const auto made = hasSchema();
    if (!made || *made)
        return made.has_value();
    const char* schema =
        "CREATE TABLE keys(id INTEGER PRIMARY KEY, parent INTEGER NOT NULL,"
        " name TEXT NOT NULL COLLATE NOCASE, UNIQUE(parent, name));"
        "CREATE TABLE vals(key INTEGER NOT NULL, name TEXT NOT NULL COLLATE NOCASE,"
        " type INTEGER NOT NULL, data BLOB NOT NULL, PRIMARY KEY(key, name));";
    if (sqlite3_exec(m_db, schema, nullptr, nullptr, nullptr) != SQLITE_OK)
        return false;
    for (const auto& [handle, name] : Roots) {
        Statement insert(m_db, "INSERT INTO keys(id, parent, name) VALUES(?, 0, ?)");
        if (insert.bind(1, handle).bind(2, std::string(name)).step() != SQLITE_DONE)
            return false;
    }
    return seedFreshProfile() && tx.commit(ERROR_SUCCESS) == ERROR_SUCCESS;
}

// A new store holds what a fresh Windows profile holds of the settings the program reads, so a
// first start does not greet the user with errors about missing values: no proxy, and form
// submission allowed in the Internet zone.
bool SqliteRegistryStore::seedFreshProfile()
{
    const std::string settings = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
    const std::uint8_t zero[4] = {0, 0, 0, 0};
    KeyId key = 0;
    KeyId zone = 0;
    if (walk(HKEY_CURRENT_USER, settings, true, &key) != ERROR_SUCCESS ||
        walk(key, "Zones\\3", true, &zone) != ERROR_SUCCESS)
        return false;
    for (const auto& [id, name] : {std::pair{key, "ProxyEnable"}, std::pair{zone, "1601"}}) {
        Statement insert(m_db, "INSERT INTO vals(key, name, type, data) VALUES(?, ?, ?, ?)");
        if (insert.bind(1, id)
                .bind(2, std::string(name))
                .bind(3, REG_DWORD)
                .bindBlob(4, zero, 4)
                .step() != SQLITE_DONE)
            return false;
    }
    return true;
}

long SqliteRegistryStore::resolve(Key key, KeyId* id)
{
    if (!m_db)
        return ERROR_CANTOPEN;
    if (isRoot(key)) {
        *id = static_cast<KeyId>(key);
        return ERROR_SUCCESS;
    }
    const auto it = m_handles.find(key);
    if (it == m_handles.end())
        return ERROR_INVALID_HANDLE;
    Statement exists(m_db, "SELECT 1 FROM keys WHERE id = ?");
    if (exists.bind(1, it->second).step() != SQLITE_ROW)
        return ERROR_KEY_DELETED;
    *id = it->second;
    return ERROR_SUCCESS;
}

std::optional<SqliteRegistryStore::KeyId> SqliteRegistryStore::childOf(KeyId parent,
                                                                       const std::string& name)
{
    Statement find(m_db, "SELECT id FROM keys WHERE parent = ? AND name = ?");
    if (find.bind(1, parent).bind(2, name).step() != SQLITE_ROW)
        return std::nullopt;
    return find.integer(0);
}

long SqliteRegistryStore::walk(KeyId from, const std::string& path, bool create, KeyId* id)
{
    KeyId current = from;
    for (const std::string& part : components(path)) {
        if (const auto child = childOf(current, part)) {
            current = *child;
            continue;
        }
        if (!create)
            return ERROR_FILE_NOT_FOUND;
        Statement insert(m_db, "INSERT INTO keys(parent, name) VALUES(?, ?)");
        if (const long rc = writeResult(insert.bind(1, current).bind(2, part).step()))
            return rc;
        current = sqlite3_last_insert_rowid(m_db);
    }
    *id = current;
    return ERROR_SUCCESS;
}

RegistryStore::Key SqliteRegistryStore::newHandle(KeyId id)
{
    const Key handle = m_nextHandle++;
    m_handles[handle] = id;
    return handle;
}

long SqliteRegistryStore::openKey(Key parent, const std::string& path, std::uint32_t, Key* result)
{
    KeyId from = 0;
    KeyId id = 0;
    if (const long rc = resolve(parent, &from))
        return rc;
    if (const long rc = walk(from, path, false, &id))
        return rc;
    *result = newHandle(id);
    return ERROR_SUCCESS;
}

long SqliteRegistryStore::createKey(Key parent, const std::string& path, std::uint32_t, Key* result)
{
    KeyId from = 0;
    KeyId id = 0;
    if (const long rc = resolve(parent, &from))
        return rc;
    Transaction tx(m_db);
    if (!tx.open())
        return ERROR_ACCESS_DENIED;
    if (const long rc = tx.commit(walk(from, path, true, &id)))
        return rc;
    *result = newHandle(id);
    return ERROR_SUCCESS;
}

void SqliteRegistryStore::closeKey(Key key)
{
    m_handles.erase(key);
}

long SqliteRegistryStore::deleteKey(Key parent, const std::string& path)
{
    KeyId from = 0;
    KeyId id = 0;
    if (const long rc = resolve(parent, &from))
        return rc;
    if (components(path).empty())
        return ERROR_INVALID_PARAMETER; // never the key itself, and so never a root
    if (const long rc = walk(from, path, false, &id))
        return rc;
    Statement children(m_db, "SELECT 1 FROM keys WHERE parent = ? LIMIT 1");
    if (children.bind(1, id).step() == SQLITE_ROW)
        return ERROR_ACCESS_DENIED;
    Transaction tx(m_db);
    if (!tx.open())
        return ERROR_ACCESS_DENIED;
    Statement values(m_db, "DELETE FROM vals WHERE key = ?");
    Statement key(m_db, "DELETE FROM keys WHERE id = ?");
    long rc = writeResult(values.bind(1, id).step());
    if (rc == ERROR_SUCCESS)
        rc = writeResult(key.bind(1, id).step());
    return tx.commit(rc);
}

long SqliteRegistryStore::queryValue(Key key, const std::string& name, std::uint32_t* type,
                                     std::uint8_t* data, std::uint32_t* size)
{
    KeyId id = 0;
    if (const long rc = resolve(key, &id))
        return rc;
    Statement find(m_db, "SELECT type, data FROM vals WHERE key = ? AND name = ?");
    if (find.bind(1, id).bind(2, name).step() != SQLITE_ROW)
        return ERROR_FILE_NOT_FOUND;
    const std::string_view bytes = find.blob(1);
    const auto needed = static_cast<std::uint32_t>(bytes.size());
    if (type)
        *type = static_cast<std::uint32_t>(find.integer(0));
    if (data) {
        if (!size || *size < needed) {
            if (size)
                *size = needed;
            return ERROR_MORE_DATA;
        }
        std::memcpy(data, bytes.data(), bytes.size());
    }
    if (size)
        *size = needed;
    return ERROR_SUCCESS;
}

long SqliteRegistryStore::setValue(Key key, const std::string& name, std::uint32_t type,
                                   const std::uint8_t* data, std::uint32_t size)
{
    KeyId id = 0;
    if (const long rc = resolve(key, &id))
        return rc;
    Statement upsert(m_db, "INSERT OR REPLACE INTO vals(key, name, type, data) VALUES(?, ?, ?, ?)");
    return writeResult(
        upsert.bind(1, id).bind(2, name).bind(3, type).bindBlob(4, data, size).step());
}

long SqliteRegistryStore::deleteValue(Key key, const std::string& name)
{
    KeyId id = 0;
    if (const long rc = resolve(key, &id))
        return rc;
    Statement remove(m_db, "DELETE FROM vals WHERE key = ? AND name = ?");
    if (const long rc = writeResult(remove.bind(1, id).bind(2, name).step()))
        return rc;
    return sqlite3_changes(m_db) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

long SqliteRegistryStore::enumerate(const char* sql, Key key, std::uint32_t index,
                                    std::string* name)
{
    KeyId id = 0;
    if (const long rc = resolve(key, &id))
        return rc;
    Statement find(m_db, sql);
    if (find.bind(1, id).bind(2, static_cast<long long>(index)).step() != SQLITE_ROW)
        return ERROR_NO_MORE_ITEMS;
    *name = find.text(0);
    return ERROR_SUCCESS;
}

long SqliteRegistryStore::enumKey(Key key, std::uint32_t index, std::string* name)
{
    return enumerate("SELECT name FROM keys WHERE parent = ? ORDER BY name LIMIT 1 OFFSET ?", key,
                     index, name);
}

long SqliteRegistryStore::enumValue(Key key, std::uint32_t index, std::string* name)
{
    return enumerate("SELECT name FROM vals WHERE key = ? ORDER BY name LIMIT 1 OFFSET ?", key,
                     index, name);
}

namespace {

const char* storeOverride()
{
    const char* path = std::getenv("TOLVANE_REGISTRY");
    return path && *path ? path : nullptr;
}

std::filesystem::path defaultStoreFolder()
{
    namespace fs = std::filesystem;
    fs::path folder;
    if (const char* state = std::getenv("XDG_STATE_HOME"); state && *state)
        folder = state;
    else if (const char* home = std::getenv("HOME"); home && *home)
        folder = fs::path(home) / ".local" / "state";
    else
        folder = fs::temp_directory_path();
    return folder / "tolvane";
}

} // namespace

std::string registryStorePath()
{
    const char* path = storeOverride();
    return path ? path : (defaultStoreFolder() / "registry.sqlite").string();
}

std::unique_ptr<RegistryStore> makeRegistryStore()
{
    if (!storeOverride()) {
        namespace fs = std::filesystem;
        std::error_code ignored;
        fs::create_directories(defaultStoreFolder(), ignored);
        fs::permissions(defaultStoreFolder(), fs::perms::owner_all, ignored);
    }
    return std::make_unique<SqliteRegistryStore>(registryStorePath());
}

} // namespace tolvane
