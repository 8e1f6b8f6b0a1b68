#include "cli/store_options.h"

#include "cli/transfer_syntax_names.h"

namespace cli {

std::vector<OptionSpec> StoreOptions() {
    std::vector<OptionSpec> options = NetworkOptions();
    options.push_back({{"--syntax", "-xs"},
                       "SYNTAX",
                       "transfer syntax to offer first (UID or short name, below); objects "
                       "without pixel data are never offered in it"});
    options.push_back({{"--convert"},
                       "",
                       "convert each data set into the syntax the peer accepted when that "
                       "differs from the file's (the default)"});
    options.push_back({{"--no-convert"}, "", "send every file in its own syntax only, never converted"});
    options.push_back({{"--no-progress"}, "", "do not show progress on standard error"});
    return options;
}

std::string StoreSyntaxHelp() {
    return "Short names for --syntax:\n" + TransferSyntaxNameTable();
}

bool ApplyStoreOptions(const std::string& command, const Args& args, StoreSettings& out) {
    if (!ApplyNetworkOptions(command, args, out.network)) return false;
    if (auto name = args.Value("--syntax")) {
        std::optional<std::string> uid = ResolveTransferSyntaxArgument(command, *name);
        if (!uid) return false;
        out.wantedSyntax = *uid;
    }
    out.convert = !args.Has("--no-convert");
    out.progress = !args.Has("--no-progress");
    return true;
}

}  // namespace cli
