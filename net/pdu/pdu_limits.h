// Limits that every PDU reader enforces on what a peer sends.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pella {

// A PDU announcing more than this is refused instead of buffered.
constexpr uint32_t kMaxPduLength = 16u * 1024u * 1024u;

// A received message unit is refused, and the association aborted, once its fragments add up
// to more than its limit. Command sets hold a few hundred bytes. A data set is held twice while
// it is decoded (the reassembled bytes and the element list), so 512 MiB keeps one association
// near 1 GiB; that still takes any single object a 32-bit host could have held.
constexpr std::size_t kMaxReceivedCommand = 64u * 1024u;
constexpr std::size_t kMaxReceivedDataSet = 512u * 1024u * 1024u;

// A message buffer that grew past this is given back once its message is sent or decoded, so an
// association holds a large object's memory only while that object is in flight.
constexpr std::size_t kKeptMessageBuffer = 1024u * 1024u;

// Text sub-items (UIDs, version names) keep at most this many characters; longer ones are cut.
constexpr std::size_t kMaxSubItemText = 64;

// AE titles occupy 16 bytes on the wire and keep at most 16 characters.
constexpr std::size_t kAETitleLength = 16;

// Presentation context IDs are odd numbers from 1 to 255.
constexpr std::size_t kMaxPresentationContexts = 128;

}  // namespace pella
