// The limits of this process's own associations (the requestor's side): how long it waits for
// the connection, the answer to its A-ASSOCIATE-RQ and each response, how many pending
// responses one query or retrieval may bring, and how large a response data set may be.
// Process-wide, read when an association is requested (the time limit) or a query reads its
// responses (the result limit).
#pragma once

#include <cstddef>
#include <cstdint>

namespace pella {

constexpr int kDefaultClientTimeoutSeconds = 300;
constexpr int32_t kDefaultMaxResults = 100000;
// A response data set (an identifier, a print object's attributes) is a few KiB; anything past
// this is a peer gone wrong, and the association is aborted before it costs more memory.
constexpr std::size_t kMaxResponseDataSet = 16u * 1024u * 1024u;
// The longest time limit taken (a day); longer requests are cut to it.
constexpr int kMaxClientTimeoutSeconds = 86400;

struct ClientLimitValues {
    int timeoutSeconds = kDefaultClientTimeoutSeconds;
    int32_t maxResults = kDefaultMaxResults;
    uint32_t maxPduLength = 0;  // announced for receiving; 0: the default
};

// The current limits.
ClientLimitValues CurrentClientLimits();
// Replaces them; a value below 1 becomes its default, a time limit above a day a day.
void ApplyClientLimits(int timeoutSeconds, int32_t maxResults, uint32_t maxPduLength = 0);

}  // namespace pella
