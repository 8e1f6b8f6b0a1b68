// One C-FIND association of the find and worklist commands: request, matches printed and freed
// as they arrive (memory stays bounded however many come), count and final status.
#pragma once

#include <string>

#include "cli/network_options.h"

namespace cli {

struct QuerySession {
    std::string command;  // "find" or "worklist"
    std::string level;    // "STUDY", "SERIES", "IMAGE" or "WORKLIST"
    bool json = false;

    // Sends the query record (freed here) and prints every match; the exit code.
    int Run(const std::string& host, const std::string& port, const NetworkSettings& settings, void* record,
            const char* sopClassUid);
};

}  // namespace cli
