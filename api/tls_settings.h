// TLSSettings of pella.h as the transport's TLS context.
#pragma once

#include <memory>

#include "net/transport/tls_context.h"
#include "pella.h"

namespace pella {

// The host's settings (as far as their `size` reaches) for `role`; null when not enabled.
// Throws std::runtime_error with the reason when the files cannot be used.
std::shared_ptr<const TlsContext> TlsContextFrom(const TLSSettings* given, TlsRole role);

}  // namespace pella
