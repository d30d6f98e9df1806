#include "WinTest.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace tolvane::wintest {

namespace {

std::string g_row;
int g_failedChecks = 0;

} // namespace

void recordFailure(const char* file, int line, const std::string& what)
{
    ++g_failedChecks;
    const char* name = std::strrchr(file, '/');
    std::printf("  FAIL %s:%d: %s%s%s\n", name ? name + 1 : file, line, what.c_str(),
                g_row.empty() ? "" : "  [row: ", g_row.empty() ? "" : (g_row + "]").c_str());
}

Row::Row(std::string name) : m_previous(std::move(g_row))
{
    g_row = std::move(name);
}

Row::~Row()
{
    g_row = std::move(m_previous);
}

std::string printable(const std::string& text)
{
    constexpr std::size_t Shown = 60;
    std::string out = "\"";
    for (const char c : text.substr(0, Shown)) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte >= 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            out += escaped;
        } else {
            out += c;
        }
    }
    out += "\"";
    if (text.size() > Shown)
        out += "... (" + std::to_string(text.size()) + " bytes)";
    return out;
}

int runTests(const char* suite, std::initializer_list<TestCase> cases, int argc, char** argv)
{
    const std::vector<std::string> only(argv + 1, argv + argc);
    int passed = 0;
    int failed = 0;
    for (const TestCase& test : cases) {
        if (!only.empty() && std::find(only.begin(), only.end(), test.name) == only.end())
            continue;
        const int before = g_failedChecks;
        try {
            test.run();
        } catch (const std::exception& error) {
            recordFailure(suite, 0, std::string("unexpected exception: ") + error.what());
        }
        const bool ok = g_failedChecks == before;
        std::printf("%s %s::%s\n", ok ? "PASS" : "FAIL", suite, test.name);
        ++(ok ? passed : failed);
    }
    std::printf("%s: %d passed, %d failed\n", suite, passed, failed);
    std::fflush(stdout);
    return failed == 0 && passed > 0 ? 0 : 1;
}

} // namespace tolvane::wintest
