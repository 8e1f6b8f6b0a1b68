// Options shared by the network subcommands: AE titles, the protocol log, failure reasons.
#pragma once

#include <array>
#include <string>
#include <vector>

#include "cli/args.h"

namespace cli {

// -aet/-aec and the log options, for a command's option table.
std::vector<OptionSpec> NetworkOptions();

struct NetworkSettings {
    std::string callingAETitle;  // empty: the library's default
    std::string calledAETitle;
};

// The calling title in the writable 17-character buffer the library's calls take (it fills in
// its default when the title is empty).
std::array<char, 17> CallingTitleBuffer(const NetworkSettings& settings);

// Reads the titles and applies --log/--log-level (SetLOG). False, with the reason printed,
// on a bad value.
bool ApplyNetworkOptions(const std::string& command, const Args& args, NetworkSettings& out);

// The library's reason for the last failure on this thread, or `fallback` when it gave none.
std::string FailureReason(const std::string& fallback);

}  // namespace cli
