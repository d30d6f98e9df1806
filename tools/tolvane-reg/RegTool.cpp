#include "RegTool.h"

#include "common/RunOptions.h"
#include "platform/RegistryStore.h"

#include <QString>
#include <QStringDecoder>
#include <QStringEncoder>

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <optional>
#include <ostream>
#include <sstream>

namespace tolvane {

namespace {

constexpr const char* NotFound =
    "ERROR: The system was unable to find the specified registry key or value.";
constexpr const char* Done = "The operation completed successfully.";
constexpr std::uint32_t AllAccess = 0x3F;

struct RootName {
    const char* longName;
    const char* shortName;
    std::uint32_t handle;
};

constexpr std::array<RootName, 4> RootNames{{
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
    {"HKEY_USERS", "HKU", HKEY_USERS},
}};

bool equalsIgnoringCase(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) ==
               std::toupper(static_cast<unsigned char>(y));
    });
}

struct KeyPath {
    const RootName* root = nullptr;
    std::string path; // without leading or trailing backslashes

    std::string fullName() const
    {
        return path.empty() ? root->longName : std::string(root->longName) + "\\" + path;
    }
    KeyPath child(const std::string& name) const
    {
        return {root, path.empty() ? name : path + "\\" + name};
    }
};

std::optional<KeyPath> parseKey(const std::string& text)
{
    const auto slash = text.find('\\');
    const std::string rootText = text.substr(0, slash);
    for (const RootName& root : RootNames) {
        if (equalsIgnoringCase(rootText, root.longName) ||
            equalsIgnoringCase(rootText, root.shortName)) {
            std::string path = slash == std::string::npos ? "" : text.substr(slash + 1);
            while (!path.empty() && path.back() == '\\')
                path.pop_back();
            return KeyPath{&root, path};
        }
    }
    return std::nullopt;
}

// An opened key of the tool's key text.
OpenedKey openKey(RegistryStore& store, const KeyPath& key,
                  OpenedKey::Mode mode = OpenedKey::Mode::Open)
{
    return OpenedKey(store, key.root->handle, key.path, AllAccess, mode);
}

struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

std::optional<Value> readValue(RegistryStore& store, RegistryStore::Key key,
                               const std::string& name)
{
    Value value;
    std::uint32_t size = 0;
    if (store.queryValue(key, name, &value.type, nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.data.resize(size);
    if (size && store.queryValue(key, name, nullptr, value.data.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

std::vector<std::string> names(RegistryStore& store, RegistryStore::Key key, bool subkeys)
{
    std::vector<std::string> result;
    std::string name;
    for (std::uint32_t i = 0;
         (subkeys ? store.enumKey(key, i, &name) : store.enumValue(key, i, &name)) == ERROR_SUCCESS;
         ++i)
        result.push_back(name);
    return result;
}

std::string textOf(const Value& value)
{
    std::string text(value.data.begin(), value.data.end());
    return text.substr(0, text.find('\0'));
}

std::uint32_t dwordOf(const Value& value)
{
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(4, value.data.size()); ++i)
        bits |= static_cast<std::uint32_t>(value.data[i]) << (8 * i);
    return bits;
}

const char* typeName(std::uint32_t type)
{
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_BINARY:
        return "REG_BINARY";
    default:
        return "REG_NONE";
    }
}

std::string hexOf(const std::vector<std::uint8_t>& data, const char* separator, bool upper)
{
    std::string text;
    char byte[3];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(byte, sizeof byte, upper ? "%02X" : "%02x", data[i]);
        if (i)
            text += separator;
        text += byte;
    }
    return text;
}

std::string displayed(const Value& value)
{
    if (value.type == REG_SZ)
        return textOf(value);
    if (value.type == REG_DWORD) {
        std::ostringstream hex;
        hex << "0x" << std::hex << dwordOf(value);
        return hex.str();
    }
    return hexOf(value.data, "", true);
}

// Options after the key: /v NAME, /t TYPE, /d DATA, and flags such as /f and /y.
struct Options {
    std::optional<std::string> valueName;
    std::string type = "REG_SZ";
    std::string data;
    bool recurse = false;
    bool valid = true;
};

Options parseOptions(const std::vector<std::string>& args, std::size_t from)
{
    Options options;
    for (std::size_t i = from; i < args.size(); ++i) {
        const std::string& flag = args[i];
        const bool hasValue = i + 1 < args.size();
        if (equalsIgnoringCase(flag, "/v") && hasValue)
            options.valueName = args[++i];
        else if (equalsIgnoringCase(flag, "/ve"))
            options.valueName = "";
        else if (equalsIgnoringCase(flag, "/t") && hasValue)
            options.type = args[++i];
        else if (equalsIgnoringCase(flag, "/d") && hasValue)
            options.data = args[++i];
        else if (equalsIgnoringCase(flag, "/s"))
            options.recurse = true;
        else if (!equalsIgnoringCase(flag, "/f") && !equalsIgnoringCase(flag, "/y"))
            options.valid = false;
    }
    return options;
}

std::optional<Value> parseData(const std::string& type, const std::string& data)
{
    Value value;
    if (equalsIgnoringCase(type, "REG_SZ")) {
        value.type = REG_SZ;
        value.data.assign(data.begin(), data.end());
        value.data.push_back(0); // as reg.exe stores it
        return value;
    }
    if (equalsIgnoringCase(type, "REG_DWORD")) {
        const bool hex = data.size() > 2 && data[0] == '0' && (data[1] == 'x' || data[1] == 'X');
        std::uint32_t number = 0;
        const char* begin = data.data() + (hex ? 2 : 0);
        const char* end = data.data() + data.size();
        const auto [ptr, error] = std::from_chars(begin, end, number, hex ? 16 : 10);
        if (error != std::errc() || ptr != end)
            return std::nullopt;
        value.type = REG_DWORD;
        for (int i = 0; i < 4; ++i)
            value.data.push_back(static_cast<std::uint8_t>(number >> (8 * i)));
        return value;
    }
    if (equalsIgnoringCase(type, "REG_BINARY")) {
        if (data.size() % 2)
            return std::nullopt;
        value.type = REG_BINARY;
        for (std::size_t i = 0; i < data.size(); i += 2) {
            std::uint8_t byte = 0;
            const auto [ptr, error] =
                std::from_chars(data.data() + i, data.data() + i + 2, byte, 16);
            if (error != std::errc() || ptr != data.data() + i + 2)
                return std::nullopt;
            value.data.push_back(byte);
        }
        return value;
    }
    return std::nullopt;
}

constexpr const char* Usage =
    R"(Reads and changes the registry store of tolvane, as reg.exe does the Windows registry.

  tolvane-reg query KEY [/v NAME | /ve | /s]
  tolvane-reg add KEY [/v NAME | /ve] [/t TYPE] [/d DATA] [/f]
  tolvane-reg delete KEY [/v NAME | /ve] [/f]
  tolvane-reg export KEY FILE [/y]

  KEY   a root, a backslash and a path; the roots are HKEY_CLASSES_ROOT (HKCR),
        HKEY_CURRENT_USER (HKCU), HKEY_LOCAL_MACHINE (HKLM) and HKEY_USERS (HKU)
  /v    the value NAME; /ve the default value
  /s    the key and every key below it
  /t    REG_SZ (the default), REG_DWORD or REG_BINARY
  /d    the value's DATA
  /f /y accepted and ignored: nothing asks for confirmation

The store is $TOLVANE_REGISTRY, by default ~/.local/state/tolvane/registry.sqlite.
)";

class Tool {
public:
    Tool(RegistryStore& store, std::ostream& out, std::ostream& err)
        : m_store(store), m_out(out), m_err(err)
    {}

    int run(const std::vector<std::string>& args)
    {
        if (args.size() == 1 && args[0] == "/?") {
            m_out << Usage;
            return 0;
        }
        if (args.size() < 2)
            return invalidSyntax();
        const std::string& command = args[0];
        const auto key = parseKey(args[1]);
        if (!key)
            return fail("ERROR: Invalid key name.");
        if (equalsIgnoringCase(command, "export"))
            return args.size() >= 3 && parseOptions(args, 3).valid ? exportKey(*key, args[2])
                                                                   : invalidSyntax();
        const Options options = parseOptions(args, 2);
        if (equalsIgnoringCase(command, "query") && !(options.recurse && options.valueName))
            return options.valid ? query(*key, options) : invalidSyntax();
        if (!options.valid || options.recurse)
            return invalidSyntax();
        if (equalsIgnoringCase(command, "add"))
            return add(*key, options);
        if (equalsIgnoringCase(command, "delete"))
            return remove(*key, options);
        return invalidSyntax();
    }

private:
    int fail(const char* message)
    {
        m_err << message << '\n';
        return 1;
    }
    int invalidSyntax()
    {
        return fail("ERROR: Invalid syntax.\nType \"tolvane-reg /?\" for usage.");
    }

    void printValue(const std::string& name, const Value& value)
    {
        m_out << "    " << (name.empty() ? "(Default)" : name) << "    " << typeName(value.type)
              << "    " << displayed(value) << '\n';
    }

    // As reg.exe lists a key: its name, its values and a blank line after them, then its
    // subkeys' names or, with /s, each subkey listed the same way.
    void printKey(const KeyPath& key, RegistryStore::Key handle, bool recurse)
    {
        m_out << key.fullName() << '\n';
        const auto values = names(m_store, handle, false);
        for (const std::string& name : values)
            if (const auto value = readValue(m_store, handle, name))
                printValue(name, *value);
        if (!values.empty() || recurse)
            m_out << '\n';
        for (const std::string& name : names(m_store, handle, true)) {
            const KeyPath child = key.child(name);
            if (!recurse) {
                m_out << child.fullName() << '\n';
            } else if (const OpenedKey sub = openKey(m_store, child); sub.open()) {
                printKey(child, sub.key(), true);
            }
        }
    }

    int query(const KeyPath& key, const Options& options)
    {
        const OpenedKey handle = openKey(m_store, key);
        if (!handle.open())
            return fail(NotFound);
        if (!options.valueName) {
            m_out << '\n';
            printKey(key, handle.key(), options.recurse);
            return 0;
        }
        const auto value = readValue(m_store, handle.key(), *options.valueName);
        if (!value)
            return fail(NotFound);
        m_out << '\n' << key.fullName() << '\n';
        printValue(*options.valueName, *value);
        m_out << '\n';
        return 0;
    }

    int add(const KeyPath& key, const Options& options)
    {
        std::optional<Value> value;
        if (options.valueName && !(value = parseData(options.type, options.data)))
            return fail("ERROR: Invalid value data or type.");
        const OpenedKey handle = openKey(m_store, key, OpenedKey::Mode::Create);
        if (!handle.open())
            return fail("ERROR: Access is denied.");
        if (value &&
            m_store.setValue(handle.key(), *options.valueName, value->type, value->data.data(),
                             static_cast<std::uint32_t>(value->data.size())) != ERROR_SUCCESS)
            return fail("ERROR: Access is denied.");
        m_out << Done << '\n';
        return 0;
    }

    // reg.exe deletes a key with everything below it.
    bool deleteTree(const KeyPath& key)
    {
        {
            const OpenedKey handle = openKey(m_store, key);
            if (!handle.open())
                return false;
            for (const std::string& name : names(m_store, handle.key(), true))
                if (!deleteTree(key.child(name)))
                    return false;
        }
        return m_store.deleteKey(key.root->handle, key.path) == ERROR_SUCCESS;
    }

    int remove(const KeyPath& key, const Options& options)
    {
        if (options.valueName) {
            const OpenedKey handle = openKey(m_store, key);
            if (!handle.open() ||
                m_store.deleteValue(handle.key(), *options.valueName) != ERROR_SUCCESS)
                return fail(NotFound);
        } else {
            if (key.path.empty())
                return fail("ERROR: Access is denied.");
            const OpenedKey handle = openKey(m_store, key);
            if (!handle.open())
                return fail(NotFound);
            if (!deleteTree(key))
                return fail("ERROR: Access is denied.");
        }
        m_out << Done << '\n';
        return 0;
    }

    static QString quoted(const QString& text)
    {
        QString result = "\"";
        for (const QChar c : text) {
            if (c == '\\' || c == '"')
                result += '\\';
            result += c;
        }
        return result + '"';
    }

    // A REG_SZ value as a .reg file line's data: quoted, or, when a line break or another
    // control character would not survive the quotes, hex(1) with its UTF-16LE bytes, each
    // character of the data (any terminating zero too), so that regedit reads back exactly it.
    static QString regData(const Value& value)
    {
        std::string text(value.data.begin(), value.data.end());
        if (!text.empty() && text.back() == '\0')
            text.pop_back();
        if (std::none_of(text.begin(), text.end(),
                         [](char c) { return static_cast<unsigned char>(c) < 0x20; }))
            return quoted(fromStore(text));
        const QByteArray bytes = QStringEncoder(QStringEncoder::Utf16LE)(
            fromStore(std::string(value.data.begin(), value.data.end())));
        return "hex(1):" + QString::fromStdString(hexOf({bytes.begin(), bytes.end()}, ",", false));
    }

    // The store holds text as the program wrote it, UTF-8; bytes that are no UTF-8 are taken
    // one character each.
    static QString fromStore(const std::string& text)
    {
        QStringDecoder utf8(QStringDecoder::Utf8);
        const QString decoded = utf8(QByteArrayView(text.data(), std::ssize(text)));
        return utf8.hasError() ? QString::fromLatin1(text.data(), std::ssize(text)) : decoded;
    }

    void exportTree(const KeyPath& key, QString& text)
    {
        const OpenedKey handle = openKey(m_store, key);
        if (!handle.open())
            return;
        text += "\r\n[" + fromStore(key.fullName()) + "]\r\n";
        for (const std::string& name : names(m_store, handle.key(), false)) {
            const auto value = readValue(m_store, handle.key(), name);
            if (!value)
                continue;
            text += name.empty() ? "@" : quoted(fromStore(name));
            text += '=';
            if (value->type == REG_SZ) {
                text += regData(*value);
            } else if (value->type == REG_DWORD) {
                char dword[9];
                std::snprintf(dword, sizeof dword, "%08x", dwordOf(*value));
                text += QString("dword:") + dword;
            } else {
                text += value->type == REG_BINARY ? QString("hex:")
                                                  : QString("hex(%1):").arg(value->type);
                text += QString::fromStdString(hexOf(value->data, ",", false));
            }
            text += "\r\n";
        }
        for (const std::string& name : names(m_store, handle.key(), true))
            exportTree(key.child(name), text);
    }

    int exportKey(const KeyPath& key, const std::string& file)
    {
        {
            const OpenedKey handle = openKey(m_store, key);
            if (!handle.open())
                return fail(NotFound);
        }
        QString text = "Windows Registry Editor Version 5.00\r\n";
        exportTree(key, text);
        text += "\r\n";
        const QByteArray bytes =
            QStringEncoder(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom)(text);
        std::ofstream stream(file, std::ios::binary | std::ios::trunc);
        stream.write(bytes.constData(), bytes.size());
        if (!stream.flush())
            return fail("ERROR: Error accessing the registry.");
        m_out << Done << '\n';
        return 0;
    }

    RegistryStore& m_store;
    std::ostream& m_out;
    std::ostream& m_err;
};

} // namespace

int runRegTool(RegistryStore& store, const std::vector<std::string>& arguments, std::ostream& out,
               std::ostream& err)
{
    return Tool(store, out, err).run(arguments);
}

} // namespace tolvane
