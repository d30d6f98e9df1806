// Writes the seed inputs of the fuzz targets: the stand-in modem's pages as an in-process modem
// serves them, the requests the program sends it, and command lines and registry operations
// from the cases the program must handle. Usage: fuzz_seeds FOLDER (one folder per target is
// made below it).
#include "FuzzInput.h"
#include "ModemSimHarness.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace modemsimtest;
namespace fs = std::filesystem;

namespace {

fs::path g_root;

void seed(const std::string& target, const std::string& name, const std::string& bytes)
{
    const fs::path folder = g_root / target;
    fs::create_directories(folder);
    std::ofstream(folder / ("seed-" + name), std::ios::binary) << bytes;
}

void commandLines()
{
    const std::vector<std::pair<std::string, std::string>> lines = {
        {"empty", ""},
        {"installer", "-s -k HKEY_CURRENT_USER\\Software\\Acme\\Setup -p secret"},
        {"lower-root", "-k hkey_current_user\\Software\\X"},
        {"leading-backslash", "-k \\Setup"},
        {"root-alone", "-s -k HKEY_CURRENT_USER\\ -p x"},
        {"root-backslashes", "-k HKEY_USERS\\\\\\"},
        {"quoted", "-p \"two words\" -s"},
        {"upper-case", "-S -K -P x"},
        {"eleven-words", "a b c d e f g h i j k"},
        {"tabs", "\t-s\t\t-k\tMyTool  "},
        {"k-last", "-s -k"},
        {"p-last", "-p"},
        {"p-takes-s", "-p -s"},
        {"k-takes-k", "-k -k HKEY_LOCAL_MACHINE\\Software\\Y"},
    };
    for (const auto& [name, line] : lines)
        seed("fuzz_command_line", name, line);
}

std::string registryOp(int op, int root, const std::string& path, const std::string& name = {},
                       int type = 0, const std::string& data = {})
{
    std::string out(1, static_cast<char>(op));
    out += static_cast<char>(root);
    appendText(out, path);
    if (op != 3)
        appendText(out, name);
    if (op == 0) {
        out += static_cast<char>(type);
        appendText(out, data, true);
    }
    return out;
}

void registryOperations()
{
    // op 0 write, 1 read, 2 delete value, 3 delete key; root 0..3; type 0 REG_SZ, 1 REG_DWORD
    seed("fuzz_registry", "report",
         registryOp(0, 1, "Software\\Acme", "Firmware_Status", 0, "Upgrading") +
             registryOp(0, 1, "software\\ACME", "firmware_status", 0, "Done") +
             registryOp(1, 1, "SOFTWARE\\acme", "FIRMWARE_STATUS") +
             registryOp(3, 1, "Software\\Acme") + registryOp(3, 1, "Software") +
             registryOp(1, 1, "Software\\Acme", "Firmware_Status"));
    seed("fuzz_registry", "dword-and-binary",
         registryOp(0, 2, "Zones\\3", "1601", 1, std::string("\0\0\0\0", 4)) +
             registryOp(0, 2, "Zones\\3", "Blob", 2, std::string("\x00\xff\x7f\x80", 4)) +
             registryOp(2, 2, "zones\\3", "blob") + registryOp(1, 2, "Zones\\3", "Blob"));
    seed("fuzz_registry", "empty-names-and-data",
         registryOp(0, 0, "", "", 0, "") + registryOp(0, 3, "\\\\a\\\\", "v", 0, "") +
             registryOp(1, 3, "a", "v"));
    seed("fuzz_registry", "key-names", "HKEY_CURRENT_USER\\Software\\Example");
    seed("fuzz_registry", "key-names-lower", "hkey_users\\x");
}

std::string get(const std::string& path)
{
    return "GET " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
}

std::string post(const std::string& path, const std::string& type, const std::string& body)
{
    return "POST " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: " + type +
           "\r\nContent-Length: " + std::to_string(body.size()) + "\r\n\r\n" + body;
}

std::string uploadRequest(const std::string& image)
{
    const std::string boundary = "----tolvane";
    const std::string body =
        "--" + boundary +
        "\r\nContent-Disposition: form-data; name=\"page\"\r\n\r\nsystem_f\r\n"
        "--" +
        boundary +
        "\r\nContent-Disposition: form-data; name=\"webUpload\"; "
        "filename=\"42.bin\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
        image + "\r\n--" + boundary + "--\r\n";
    return post("/upgrade.cgi", "multipart/form-data; boundary=" + boundary, body);
}

void modemRequests()
{
    const std::string next = "\r\n--next--\r\n";
    const std::string login =
        post("/login.cgi", "application/x-www-form-urlencoded", "username=root&pws=admin");
    const std::string small = makeImage({"0.42", "STD", "KVX4120/07", "A", 64});
    seed("fuzz_modem_sim", "login-page", get("/login.stm"));
    seed("fuzz_modem_sim", "login-status", login + next + get("/status_main.stm"));
    seed("fuzz_modem_sim", "login-upload",
         login + next + get("/system_f.stm") + next + uploadRequest(small) + next + get("/"));
    seed("fuzz_modem_sim", "login-restart",
         login + next + post("/restart.cgi", "application/x-www-form-urlencoded", "") + next +
             get("/status_main.stm"));
    seed("fuzz_modem_sim", "mini-upload-save",
         "@mini\n" + get("/upgrade_firm_browse.htm") + next + uploadRequest(small) + next +
             get("/tools_save_restart.htm") + next +
             post("/save_restart.cgi", "application/x-www-form-urlencoded", "save=1"));
    seed("fuzz_modem_sim", "dropped-upload",
         "@drop\n" + login + next +
             uploadRequest(makeImage({"0.42", "STD", "KVX4120/07", "A", 2048})));
    seed("fuzz_modem_sim", "faults-status",
         "@garbage late noadsl password\n" + login + next + get("/status_main.stm"));
    seed("fuzz_modem_sim", "bad-image", login + next + uploadRequest("not an image"));
    seed("fuzz_modem_sim", "chunked",
         "POST /login.cgi HTTP/1.1\r\nHost: m\r\nTransfer-Encoding: chunked\r\n"
         "Content-Type: application/x-www-form-urlencoded\r\n\r\n"
         "9\r\nusername=\r\n4\r\nroot\r\n0\r\n\r\n");
    seed("fuzz_modem_sim", "ranges", get("/login.stm").insert(25, "Range: bytes=0-9,5-\r\n"));
}

// Fetches every page of an in-process modem in the given mode, with its Content-Type header.
void modemPages(const std::string& name, SimOptions options, const std::vector<std::string>& paths)
{
    options.listenPort = 0;
    options.writeSeconds = 0;
    options.restartSeconds = 0;
    const auto modem = startModem(options);
    const auto client = clientOf(*modem);
    if (options.mode == SimMode::Kernel && !login(*client))
        std::fprintf(stderr, "login refused by the %s modem\n", name.c_str());
    for (const std::string& path : paths) {
        const auto result = client->Get(path);
        if (!result)
            continue;
        std::string fileName = name + path;
        for (char& c : fileName)
            if (c == '/' || c == '.')
                c = '-';
        seed("fuzz_modem_page", fileName,
             "Content-Type: " + result->get_header_value("Content-Type") + "\n" + result->body);
    }
}

void pages()
{
    modemPages("kernel", instantOptions(),
               {"/", "/login.stm", "/status_main.stm", "/system_f.stm", "/setupw_2.stm",
                "/setupa_brief.stm", "/tools_restart.stm", "/nothing.htm"});
    SimOptions mini = instantOptions();
    mini.mode = SimMode::Mini;
    modemPages("mini", mini, {"/", "/upgrade_firm_browse.htm"});
    SimOptions faults = instantOptions();
    faults.faults.lateVersionTag = true;
    faults.faults.noFileInput = true;
    modemPages("late-nofile", faults, {"/status_main.stm", "/system_f.stm"});
    SimOptions garbage = instantOptions();
    garbage.faults.garbageStatus = true;
    modemPages("garbage", garbage, {"/status_main.stm"});
    SimOptions refused = instantOptions();
    refused.faults.refusePasswords = true;
    const auto modem = startModem(refused);
    const auto result = clientOf(*modem)->Post(
        "/login.cgi", httplib::Params{{"username", "root"}, {"pws", "wrong"}});
    if (result)
        seed("fuzz_modem_page", "login-refused", result->body);

    // Nesting beyond what the parser is given whole, and tables that reopen at every level.
    std::string deep;
    for (int i = 0; i < 1100; ++i)
        deep += "<div>";
    seed("fuzz_modem_page", "deep-divs", deep + "runtime_code_version=\"0.42 (x)\";");
    std::string tables;
    for (int i = 0; i < 300; ++i)
        tables += "<table><tr><td>";
    seed("fuzz_modem_page", "deep-tables", tables);
    seed("fuzz_modem_page", "utf16-bom", std::string("\xFF\xFE<\0p\0>\0\xAC\x20<\0/\0p\0>\0", 16));
    seed("fuzz_modem_page", "meta-utf8",
         "<meta charset=utf-8><form name=webForm method=post enctype=multipart/form-data "
         "action=/upgrade.cgi><input type=file name=webUpload autofocus>\xE2\x82\xAC"
         "<select name=s><option>a<option selected>b</select><textarea name=t>x\r\ny</textarea>"
         "<input type=image name=go></form>");
    seed("fuzz_modem_page", "form-in-table",
         "Content-Type: text/html; charset=koi8-r\n<table><form id=f action=\"http://[::1]/x\">"
         "<tr><td><input name=a form=f><input type=checkbox name=c checked>"
         "<button formmethod=get formaction=/y>go</button></form></table>"
         "<fieldset disabled><legend><input name=l></legend><input name=d></fieldset>");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds FOLDER\n");
        return 2;
    }
    g_root = argv[1];
    commandLines();
    registryOperations();
    modemRequests();
    pages();
    return 0;
}
