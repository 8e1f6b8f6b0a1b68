#include "cli/tls_options.h"

#include <cstdio>

#include "cli/network_options.h"

namespace cli {

std::vector<OptionSpec> ClientTlsOptions() {
    return {
        {{"--tls"}, "", "connect with TLS (1.2 or 1.3), checking the peer's certificate and host name"},
        {{"--tls-ca"},
         "FILE",
         "CA certificates (PEM) the peer's certificate must come from (default the system's)"},
        {{"--tls-cert"}, "FILE", "this side's certificate (PEM), for servers that require one (mutual TLS)"},
        {{"--tls-key"}, "FILE", "the private key (PEM, not encrypted) of --tls-cert"},
        {{"--tls-no-verify"}, "", "accept any peer certificate and name (tests only)"},
    };
}

bool ApplyClientTlsOptions(const std::string& command, const Args& args) {
    const bool wanted = args.Has("--tls");
    for (const char* option : {"--tls-ca", "--tls-cert", "--tls-key", "--tls-no-verify"}) {
        if (!wanted && args.Has(option)) {
            std::fprintf(stderr, "pella %s: %s needs --tls\n", command.c_str(), option);
            return false;
        }
    }
    std::string ca = args.ValueOr("--tls-ca", "");
    std::string certificate = args.ValueOr("--tls-cert", "");
    std::string key = args.ValueOr("--tls-key", "");
    TLSSettings settings{};
    settings.size = sizeof settings;
    settings.enabled = wanted ? 1 : 0;
    settings.caFile = ca.empty() ? nullptr : ca.c_str();
    settings.certificateFile = certificate.empty() ? nullptr : certificate.c_str();
    settings.keyFile = key.empty() ? nullptr : key.c_str();
    settings.noVerify = args.Has("--tls-no-verify") ? 1 : 0;
    if (SetTLSSettings(&settings) != 0) return true;
    std::fprintf(stderr, "pella %s: %s\n", command.c_str(),
                 FailureReason("the TLS settings cannot be used").c_str());
    return false;
}

std::vector<OptionSpec> ServerTlsOptions() {
    return {
        {{"--tls-cert"}, "FILE", "serve TLS (1.2 or 1.3) only, with this certificate (PEM)"},
        {{"--tls-key"}, "FILE", "the private key (PEM, not encrypted) of --tls-cert"},
        {{"--tls-ca"}, "FILE", "CA certificates (PEM): a client certificate sent is checked against them"},
        {{"--tls-require-client-cert"},
         "",
         "refuse clients without a certificate from --tls-ca (mutual TLS)"},
    };
}

bool ReadServerTlsOptions(const Args& args, ServerTls& out) {
    out.certificate = args.ValueOr("--tls-cert", "");
    out.key = args.ValueOr("--tls-key", "");
    out.ca = args.ValueOr("--tls-ca", "");
    const bool require = args.Has("--tls-require-client-cert");
    if (out.certificate.empty() != out.key.empty()) {
        std::fprintf(stderr, "pella serve: --tls-cert and --tls-key go together\n");
        return false;
    }
    if (out.certificate.empty() && (!out.ca.empty() || require)) {
        std::fprintf(stderr, "pella serve: --tls-ca and --tls-require-client-cert need --tls-cert\n");
        return false;
    }
    if (require && out.ca.empty()) {
        std::fprintf(stderr, "pella serve: --tls-require-client-cert needs --tls-ca\n");
        return false;
    }
    out.settings = TLSSettings{};
    out.settings.size = sizeof out.settings;
    out.settings.enabled = out.certificate.empty() ? 0 : 1;
    out.settings.certificateFile = out.certificate.c_str();
    out.settings.keyFile = out.key.c_str();
    out.settings.caFile = out.ca.empty() ? nullptr : out.ca.c_str();
    out.settings.requireClientCertificate = require ? 1 : 0;
    return true;
}

}  // namespace cli
