#include "net/acse/client_identity.h"

#include <mutex>

namespace pella {

namespace {

struct IdentityState {
    std::mutex mutex;
    std::optional<UserIdentity> identity;
};

IdentityState& State() {
    static IdentityState state;
    return state;
}

}  // namespace

std::optional<UserIdentity> CurrentClientIdentity() {
    std::lock_guard lock(State().mutex);
    return State().identity;
}

void SetClientIdentity(std::optional<UserIdentity> identity) {
    std::lock_guard lock(State().mutex);
    State().identity = std::move(identity);
}

}  // namespace pella
