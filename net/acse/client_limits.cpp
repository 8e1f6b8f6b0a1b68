#include "net/acse/client_limits.h"

#include <atomic>

namespace pella {

namespace {

std::atomic<int> gTimeoutSeconds{kDefaultClientTimeoutSeconds};
std::atomic<int32_t> gMaxResults{kDefaultMaxResults};
std::atomic<uint32_t> gMaxPduLength{0};

}  // namespace

ClientLimitValues CurrentClientLimits() {
    return {gTimeoutSeconds.load(std::memory_order_relaxed), gMaxResults.load(std::memory_order_relaxed),
            gMaxPduLength.load(std::memory_order_relaxed)};
}

void ApplyClientLimits(int timeoutSeconds, int32_t maxResults, uint32_t maxPduLength) {
    gMaxPduLength.store(maxPduLength, std::memory_order_relaxed);
    int seconds = timeoutSeconds < 1 ? kDefaultClientTimeoutSeconds : timeoutSeconds;
    gTimeoutSeconds.store(seconds > kMaxClientTimeoutSeconds ? kMaxClientTimeoutSeconds : seconds,
                          std::memory_order_relaxed);
    gMaxResults.store(maxResults < 1 ? kDefaultMaxResults : maxResults, std::memory_order_relaxed);
}

}  // namespace pella
