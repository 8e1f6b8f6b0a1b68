// The front end's settings: the peer to test against and the print options, kept in one file of
// 436 bytes ("netprobe.cfg" in the start directory). No Qt here, so that it is testable alone.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pellatool {

struct TestSettings {
    std::string remoteHost = "127.0.0.1";
    std::string remotePort = "104";
    std::string localAETitle = "local";
    std::string remoteAETitle = "remote";
    int32_t logLevel = 0;  // 0 none chosen, 1 "No Log", 2 "PDU Level", 3 "Socket Level"
    int32_t filmDestination = 0;
    int32_t filmOrientation = 0;
    int32_t filmSize = 0;
    int32_t magnificationType = 0;
};

inline constexpr std::size_t kSettingsFileSize = 436;
inline constexpr const char* kSettingsFileName = "netprobe.cfg";

// Widths of the four text fields, terminating zero included; longer texts are cut to width - 1.
inline constexpr std::size_t kHostFieldWidth = 128;
inline constexpr std::size_t kPortFieldWidth = 32;
inline constexpr std::size_t kTitleFieldWidth = 128;

// The masked file image: the four texts, then the five integers little endian.
std::vector<uint8_t> EncodeSettings(const TestSettings& settings);

// The settings of a file image; nothing when it is shorter than the record (only the first 436
// bytes count).
std::optional<TestSettings> DecodeSettings(const std::vector<uint8_t>& bytes);

// The settings file's contents; the defaults when it is missing, unreadable or too short.
TestSettings LoadSettings(const std::string& fileName);

// Writes the settings file (created or truncated); an empty text on success, else the reason.
std::string SaveSettings(const std::string& fileName, const TestSettings& settings);

}  // namespace pellatool
