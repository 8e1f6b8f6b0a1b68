#include "net/acse/client_tls.h"

#include <mutex>

namespace pella {

namespace {

std::mutex gMutex;
std::shared_ptr<const TlsContext> gContext;

}  // namespace

std::shared_ptr<const TlsContext> CurrentClientTls() {
    std::lock_guard lock(gMutex);
    return gContext;
}

void ApplyClientTls(std::shared_ptr<const TlsContext> context) {
    std::lock_guard lock(gMutex);
    gContext = std::move(context);
}

}  // namespace pella
