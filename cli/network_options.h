// Options shared by the network subcommands: AE titles, the protocol log, failure reasons.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cli/args.h"

namespace cli {

// The time limit of the network commands (the library's own default is longer).
constexpr long kDefaultTimeoutSeconds = 30;

// -aet/-aec, --timeout, the log options and the TLS options, for a command's option table.
std::vector<OptionSpec> NetworkOptions();

struct NetworkSettings {
    std::string callingAETitle;  // empty: the library's default
    std::string calledAETitle;
};

// The calling title in the writable 17-character buffer the library's calls take (it fills in
// its default when the title is empty).
std::array<char, 17> CallingTitleBuffer(const NetworkSettings& settings);

// Reads the titles and applies --log/--log-level (SetLOG), --user/--password
// (ApplyUserIdentity), --timeout and --max-results (ApplyClientLimits) and the TLS options
// (SetTLSSettings). False, with the reason printed, on a bad value.
bool ApplyNetworkOptions(const std::string& command, const Args& args, NetworkSettings& out);

// Sets the user identity the associations present from --user, --password and PELLA_PASSWORD.
// False, with the reason printed, on a bad value.
bool ApplyUserIdentity(const std::string& command, const Args& args);

// Sets the library's client limits from --timeout (default 30 s) and --max-results (default the
// library's). False, with the reason printed, on a bad value.
bool ApplyClientLimits(const std::string& command, const Args& args);

// --max-pdu: the largest PDU to announce for receiving (0 when not given: the library's
// default). False, with the reason printed, on a bad value.
bool ParseMaxPdu(const std::string& command, const Args& args, uint32_t& out);

// The --max-pdu option for a command's option table.
OptionSpec MaxPduOption();

// The library's reason for the last failure on this thread, or `fallback` when it gave none.
std::string FailureReason(const std::string& fallback);

}  // namespace cli
