// The user identity this process's own associations present (user identity negotiation):
// process-wide, put into each A-ASSOCIATE-RQ built afterwards.
#pragma once

#include <optional>

#include "net/pdu/pdu_items.h"

namespace pella {

// The identity sent; none when no user is set.
std::optional<UserIdentity> CurrentClientIdentity();
// Replaces it (none: requests carry no identity).
void SetClientIdentity(std::optional<UserIdentity> identity);

}  // namespace pella
