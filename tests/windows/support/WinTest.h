#pragma once

// A small test harness for the Windows back-ends, which are built without Qt. Its header holds
// standard C++ only, so that a test can include the platform headers without <windows.h>, whose
// macros share names with their constants.

#include <cstdint>
#include <initializer_list>
#include <sstream>
#include <string>

namespace tolvane::wintest {

// Records a failed check of the running test case; the case goes on with its next check.
void recordFailure(const char* file, int line, const std::string& what);

// Names the table row that the checks made during its life belong to.
class Row {
public:
    explicit Row(std::string name);
    ~Row();
    Row(const Row&) = delete;
    Row& operator=(const Row&) = delete;

private:
    std::string m_previous;
};

std::string printable(const std::string& text);
inline std::string printable(const char* text)
{
    return printable(std::string(text));
}
template <typename T> std::string printable(const T& value)
{
    std::ostringstream out;
    out << value;
    return out.str();
}

template <typename A, typename E>
bool checkEqual(const A& actual, const E& expected, const char* actualText, const char* file,
                int line)
{
    if (actual == expected)
        return true;
    recordFailure(file, line,
                  std::string(actualText) + " is " + printable(actual) + ", expected " +
                      printable(expected));
    return false;
}

struct TestCase {
    const char* name;
    void (*run)();
};

// Runs the cases in order (or only those named on the command line), prints every failed check
// and closes with "N passed, M failed", counted in cases. Answers 0 when none failed.
int runTests(const char* suite, std::initializer_list<TestCase> cases, int argc, char** argv);

} // namespace tolvane::wintest

#define CHECK(condition)                                                                           \
    ((condition) ? true                                                                            \
                 : (::tolvane::wintest::recordFailure(__FILE__, __LINE__, #condition), false))
#define CHECK_EQ(actual, expected)                                                                 \
    ::tolvane::wintest::checkEqual((actual), (expected), #actual, __FILE__, __LINE__)
