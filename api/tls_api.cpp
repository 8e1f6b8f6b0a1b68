// The exported TLS settings of this process's own associations.
#include <cstddef>
#include <stdexcept>
#include <string>

#include "api/boundary.h"
#include "api/sized_options.h"
#include "api/tls_settings.h"
#include "log/protocol_log.h"
#include "net/acse/client_tls.h"
#include "pella.h"

namespace pella {

namespace {

std::string Text(const char* text) {
    return text == nullptr ? std::string() : std::string(text);
}

}  // namespace

std::shared_ptr<const TlsContext> TlsContextFrom(const TLSSettings* given, TlsRole role) {
    constexpr std::size_t kFirstFields = offsetof(TLSSettings, requireClientCertificate) + sizeof(uint8_t);
    TLSSettings read = ReadSizedOptions(given, kFirstFields, "TLSSettings");
    if (read.enabled == 0) return nullptr;
    TlsSettings settings;
    settings.certificateFile = Text(read.certificateFile);
    settings.keyFile = Text(read.keyFile);
    settings.caFile = Text(read.caFile);
    settings.verifyPeer = read.noVerify == 0;
    settings.requirePeerCertificate = read.requireClientCertificate != 0;
    std::string why;
    std::shared_ptr<const TlsContext> context = TlsContext::Make(role, settings, why);
    if (!context) throw std::runtime_error(why);
    return context;
}

}  // namespace pella

extern "C" {

PELLA_API uint8_t SetTLSSettings(const TLSSettings* settings) {
    return pella::Guarded<uint8_t>("SetTLSSettings", 0, [&] {
        try {
            pella::ApplyClientTls(pella::TlsContextFrom(settings, pella::TlsRole::kClient));
        } catch (const std::runtime_error& error) {
            pella::LogFailure(std::string("TLS settings not taken: ") + error.what());
            return uint8_t{0};
        }
        return uint8_t{1};
    });
}

}  // extern "C"
