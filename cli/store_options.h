// Options shared by the storage subcommands (store, send-series).
#pragma once

#include <string>
#include <vector>

#include "cli/args.h"
#include "cli/network_options.h"

namespace cli {

// The network options plus --syntax, --convert and --no-progress.
std::vector<OptionSpec> StoreOptions();

// The --syntax text for --help: the short names.
std::string StoreSyntaxHelp();

struct StoreSettings {
    NetworkSettings network;
    std::string wantedSyntax;  // empty: none
    bool convert = false;
    bool progress = true;
};

// Applies the network options and resolves --syntax; false, with the reason printed, on a bad
// value.
bool ApplyStoreOptions(const std::string& command, const Args& args, StoreSettings& out);

}  // namespace cli
