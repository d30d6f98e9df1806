#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace tolvane::modemsim {

struct UploadRecord {
    std::size_t size = 0;
    std::string label;   // from the trailer, when one was found
    std::string variant; // likewise
    std::string reason;  // why it was refused; empty for an accepted upload
};

// Everything a test or a support engineer may want to know about the modem after the fact.
struct ModemReport {
    std::string listen;
    std::string versionText;
    std::string mode;  // "kernel", "mini"
    std::string phase; // "running", "writing", "restarting"
    bool imageWritten = false;
    long long requests = 0;
    int loginsAccepted = 0;
    int loginsRefused = 0;
    std::vector<UploadRecord> uploadsAccepted;
    std::vector<UploadRecord> uploadsRejected;
    int saveRestarts = 0;
    int restarts = 0;
    int sessions = 0;
};

// Replaces the file in one step, so that a reader never sees half of it. False on failure.
bool writeStateFile(const std::string& path, const ModemReport& report);

} // namespace tolvane::modemsim
