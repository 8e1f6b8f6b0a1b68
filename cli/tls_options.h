// The TLS options of the network commands (as a client) and of `pella serve`.
#pragma once

#include <string>
#include <vector>

#include "cli/args.h"
#include "pella.h"

namespace cli {

// --tls, --tls-ca, --tls-cert, --tls-key, --tls-no-verify.
std::vector<OptionSpec> ClientTlsOptions();

// Sets the library's client TLS from those options (plain TCP without --tls). False, with the
// reason printed, when a TLS option comes without --tls or the files cannot be used.
bool ApplyClientTlsOptions(const std::string& command, const Args& args);

// --tls-cert, --tls-key, --tls-ca, --tls-require-client-cert.
std::vector<OptionSpec> ServerTlsOptions();

// The server's TLS settings and the texts they point into.
struct ServerTls {
    std::string certificate, key, ca;
    TLSSettings settings{};
};

// Reads the server's TLS options into `out` (not enabled without --tls-cert). False, with the
// reason printed, when a certificate comes without its key or an option without a certificate.
bool ReadServerTlsOptions(const Args& args, ServerTls& out);

}  // namespace cli
