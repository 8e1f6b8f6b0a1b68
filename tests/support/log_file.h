// Helpers for tests that look at the protocol log.
#pragma once

#include <fstream>
#include <sstream>
#include <string>

#include "log/protocol_log.h"

namespace testing_support {

// Restores the process-wide log settings (level 0, no file) when a test ends.
struct LogSettingsGuard {
    ~LogSettingsGuard() { pella::SetLogSettings(0, ""); }
};

// The whole file as bytes in a string; empty when it does not exist.
inline std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace testing_support
