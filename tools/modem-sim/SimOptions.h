#pragma once

#include <string>
#include <vector>

namespace tolvane::modemsim {

enum class SimMode { Kernel, Mini };

// Misbehaviour on demand, so that the program's failure paths can be rehearsed.
struct Faults {
    bool refuseUploads = false;   // every upload answered with an error page
    bool noFileInput = false;     // the upgrade form lacks its file input
    bool noVersionTag = false;    // the status page carries no runtime_code_version
    bool lateVersionTag = false;  // ... carries it only beyond the 11,000th character
    bool noAdslTag = false;       // ... carries no adsl_code_version
    bool dropUpload = false;      // the connection is cut while an upload is still arriving
    bool garbageStatus = false;   // the status page is random bytes
    bool refusePasswords = false; // every login answered with "Incorrect Password"
    bool loginElsewhere = false;  // the login form sends to a host that is not the modem
    bool uploadElsewhere = false; // ... the upgrade form too
    int delayMs = 0;              // every answer held back this long (real time, not scaled)
    int missedVersions = 0;       // status pages without the version after the first restart
};

struct SimOptions {
    std::string listenHost = "127.0.0.1";
    int listenPort = 8080;
    std::string versionText = "0.39k (Nov 15 2005)";
    SimMode mode = SimMode::Kernel;
    std::string password = "admin";
    std::string annex = "A";
    std::string mac = "00:17:3F:5A:21:C4";
    double writeSeconds = 20;
    double restartSeconds = 8;
    double timeScale = 1;
    double sessionSeconds = 300;
    std::string stateFile;
    Faults faults;
};

struct ParsedCommandLine {
    SimOptions options;
    bool help = false;
    std::string error; // not empty when the command line is unusable
};

// Reads the words after the program's name.
ParsedCommandLine parseSimCommandLine(const std::vector<std::string>& arguments);

// The text --help prints.
std::string simUsage();

} // namespace tolvane::modemsim
