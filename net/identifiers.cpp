#include "net/identifiers.h"

#include <atomic>

namespace pella {

namespace {

std::atomic<int> counter{1};

// Rounds the counter up to odd, returns that value and moves past it, in one atomic step.
int DrawOdd() {
    int current = counter.load();
    int next;
    do {
        int odd = (current % 2 == 0) ? current + 1 : current;
        next = odd + 1;
        if (counter.compare_exchange_weak(current, next)) return odd;
    } while (true);
}

}  // namespace

void ResetIdentifiers() { counter.store(1); }

uint8_t NextContextID() { return static_cast<uint8_t>(DrawOdd()); }

uint16_t NextMessageID() { return static_cast<uint16_t>(DrawOdd()); }

int TakeIdentifier() { return counter.fetch_add(1); }

}  // namespace pella
