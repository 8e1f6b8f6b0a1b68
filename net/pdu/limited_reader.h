// Reads from a PduBuffer no more than the bytes that an enclosing PDU or item announced, so that
// no length a peer sends can make a reader run past its PDU.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "net/pdu/pdu_buffer.h"

namespace pella {

class LimitedReader {
public:
    LimitedReader(PduBuffer& buffer, uint32_t limit) : buffer_(&buffer), remaining_(limit) {}

    uint32_t Remaining() const { return remaining_; }

    // Each read fails, consuming nothing, when it would go past the limit.
    bool ReadU8(uint8_t& value);
    bool ReadU16(uint16_t& value);
    bool ReadU32(uint32_t& value);
    bool ReadBytes(void* destination, std::size_t count);
    bool Skip(std::size_t count);
    bool SkipRest() { return Skip(remaining_); }

    // Reads `length` text bytes and keeps at most `keep` characters of them, up to the first
    // zero byte (a text field ends there).
    bool ReadText(std::string& text, std::size_t length, std::size_t keep);

    // Sets aside `length` bytes of this reader's budget for an enclosed item and returns a reader
    // limited to them; nothing when they do not fit.
    std::optional<LimitedReader> Enclosed(uint32_t length);

private:
    bool Take(std::size_t count);

    PduBuffer* buffer_;
    uint32_t remaining_;
};

// Reads the reserved byte and the PDU length that follow a PDU's type byte, and gives a reader
// limited to the PDU's body. Nothing when the length is below `minimum` or above kMaxPduLength.
std::optional<LimitedReader> ReadPduBody(PduBuffer& buffer, uint32_t minimum, uint8_t& reserved,
                                         uint32_t& pduLength);

}  // namespace pella
