// Whether this process's own associations (the requestor's side) run over TLS, and with which
// certificates. Process-wide like the client limits, read when an association is requested.
#pragma once

#include <memory>

#include "net/transport/tls_context.h"

namespace pella {

// The TLS context of associations requested from now on; null: plain TCP.
std::shared_ptr<const TlsContext> CurrentClientTls();
// Replaces it (null: plain TCP again).
void ApplyClientTls(std::shared_ptr<const TlsContext> context);

}  // namespace pella
