// Texts from the C boundary, and the calling AE title buffer that an empty title is replaced in.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

namespace pella {

// A C text as a string; NULL reads as empty.
inline std::string Text(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

// Runs an operation that may replace an empty calling title, and writes the title back into
// the caller's buffer (which holds at least 17 bytes) when it was empty.
template <typename Body>
uint8_t WithCallingTitle(char* callingAETitle, Body&& body) {
    std::string calling = Text(callingAETitle);
    bool ok = body(calling);
    if (callingAETitle != nullptr && callingAETitle[0] == '\0' && !calling.empty()) {
        std::memcpy(callingAETitle, calling.c_str(), std::min<std::size_t>(calling.size(), 16) + 1);
        callingAETitle[16] = '\0';
    }
    return ok ? 1 : 0;
}

}  // namespace pella
