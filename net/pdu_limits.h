// Limits that every PDU reader enforces on what a peer sends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pella {

// A PDU announcing more than this is refused instead of buffered.
constexpr uint32_t kMaxPduLength = 16u * 1024u * 1024u;

// Text sub-items (UIDs, version names) keep at most this many characters; longer ones are cut.
constexpr std::size_t kMaxSubItemText = 64;

// AE titles occupy 16 bytes on the wire and keep at most 16 characters.
constexpr std::size_t kAETitleLength = 16;

// Presentation context IDs are odd numbers from 1 to 255.
constexpr std::size_t kMaxPresentationContexts = 128;

}  // namespace pella
