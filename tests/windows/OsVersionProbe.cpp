// Prints the version record that the program reads and the name it gives it, for the version
// test, which starts this probe under each Windows version that Wine can pretend to be.

#include "platform/OsVersion.h"
#include "wizard/SystemQueries.h"

#include <cstdio>

int main()
{
    const tolvane::OsVersionRecord record = tolvane::makeOsVersion()->query();
    std::printf("%u %u.%u\n%s\n", record.platformId, record.majorVersion, record.minorVersion,
                tolvane::GetOSName(record).c_str());
    return 0;
}
