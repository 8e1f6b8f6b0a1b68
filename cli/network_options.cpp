#include "cli/network_options.h"

#include <cstdio>
#include <cstdlib>

#include "cli/tls_options.h"
#include "pella.h"

namespace cli {

std::vector<OptionSpec> NetworkOptions() {
    std::vector<OptionSpec> options = {
        {{"-aet", "--aetitle"}, "AETITLE", "calling AE title (default KESTRA)"},
        {{"-aec", "--call"}, "AETITLE", "called AE title of the peer (default ANY-SCP)"},
        {{"--timeout", "-to"},
         "SECONDS",
         "longest wait for the connection, the association and each response (default 30)"},
        MaxPduOption(),
        {{"--user", "-usr"}, "NAME", "present user NAME (user identity negotiation)"},
        {{"--password", "-pwd"},
         "PASSWORD",
         "with --user: present PASSWORD too (default: $PELLA_PASSWORD when set; it keeps the\n"
         "      password out of the process list)"},
        {{"--log"}, "FILE", "write the protocol log to FILE"},
        {{"--log-level", "-ll"},
         "N",
         "log level: 0 failures, 1 progress, 2 messages, 3 hex dumps (default 1 with --log)"},
    };
    for (OptionSpec& option : ClientTlsOptions()) options.push_back(std::move(option));
    return options;
}

std::array<char, 17> CallingTitleBuffer(const NetworkSettings& settings) {
    std::array<char, 17> calling{};
    settings.callingAETitle.copy(calling.data(), 16);
    return calling;
}

bool ApplyNetworkOptions(const std::string& command, const Args& args, NetworkSettings& out) {
    out.callingAETitle = args.ValueOr("-aet", "");
    out.calledAETitle = args.ValueOr("-aec", "ANY-SCP");
    for (const std::string* title : {&out.callingAETitle, &out.calledAETitle}) {
        if (title->size() > 16) {
            std::fprintf(stderr, "pella %s: AE title '%s' is longer than 16 characters\n", command.c_str(),
                         title->c_str());
            return false;
        }
    }
    long level = args.Has("--log") ? 1 : 0;
    if (auto text = args.Value("--log-level")) {
        if (!ParseNumber(*text, 0, 3, level)) {
            std::fprintf(stderr, "pella %s: --log-level wants 0, 1, 2 or 3\n", command.c_str());
            return false;
        }
    }
    std::string file = args.ValueOr("--log", "");
    SetLOG(file.c_str(), static_cast<int32_t>(level));
    return ApplyUserIdentity(command, args) && ApplyClientLimits(command, args) &&
           ApplyClientTlsOptions(command, args);
}

bool ApplyUserIdentity(const std::string& command, const Args& args) {
    std::optional<std::string> user = args.Value("--user");
    std::optional<std::string> password = args.Value("--password");
    if (password && !user) {
        std::fprintf(stderr, "pella %s: --password wants --user\n", command.c_str());
        return false;
    }
    const char* fromEnvironment = std::getenv("PELLA_PASSWORD");
    if (user && !password && fromEnvironment != nullptr) password = fromEnvironment;
    if (user && user->empty()) {
        std::fprintf(stderr, "pella %s: --user wants a name\n", command.c_str());
        return false;
    }
    if (SetAssociationUser(user ? user->c_str() : nullptr, password ? password->c_str() : nullptr) == 0) {
        std::fprintf(stderr, "pella %s: %s\n", command.c_str(),
                     FailureReason("the user identity is not usable").c_str());
        return false;
    }
    return true;
}

bool ApplyClientLimits(const std::string& command, const Args& args) {
    long timeout = kDefaultTimeoutSeconds;
    if (auto text = args.Value("--timeout"); text && !ParseNumber(*text, 1, 86400, timeout)) {
        std::fprintf(stderr, "pella %s: --timeout wants a number of seconds from 1 to 86400\n",
                     command.c_str());
        return false;
    }
    long maxResults = 0;  // the library's default
    if (auto text = args.Value("--max-results"); text && !ParseNumber(*text, 1, 1000000000, maxResults)) {
        std::fprintf(stderr, "pella %s: --max-results wants a number from 1 to 1000000000\n",
                     command.c_str());
        return false;
    }
    uint32_t maxPdu = 0;
    if (!ParseMaxPdu(command, args, maxPdu)) return false;
    ClientLimits limits{sizeof(ClientLimits), static_cast<int32_t>(timeout), static_cast<int32_t>(maxResults),
                        maxPdu};
    SetClientLimits(&limits);
    return true;
}

OptionSpec MaxPduOption() {
    return {{"--max-pdu"}, "SIZE", "largest PDU announced for receiving, 4K to 16M (default 128K)"};
}

bool ParseMaxPdu(const std::string& command, const Args& args, uint32_t& out) {
    out = 0;
    auto text = args.Value("--max-pdu");
    if (!text) return true;
    uint64_t size = 0;
    if (!ParseByteSize(*text, size) || size < 4096 || size > 16 * 1024 * 1024) {
        std::fprintf(stderr, "pella %s: --max-pdu wants a size from 4096 to 16M, such as 131072 or 1M\n",
                     command.c_str());
        return false;
    }
    out = static_cast<uint32_t>(size);
    return true;
}

std::string FailureReason(const std::string& fallback) {
    char text[512];
    LastFailureText(text, sizeof text);
    return text[0] != '\0' ? std::string(text) : fallback;
}

}  // namespace cli
