// The byte-run coding of one RLE segment: a control byte n of 0..127 copies the next n + 1 bytes,
// -1..-127 repeats the next byte 1 - n times, -128 does nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace pella {

// Decodes `segment` into exactly out.size() bytes. Bytes after the output is full (a padding
// byte) are ignored. False with `reason` set when a run would go past the output or the input
// ends before the output is full; nothing is written outside `out`.
bool UnpackBits(std::span<const uint8_t> segment, std::span<uint8_t> out, std::string& reason);

// Appends `row` coded as runs to `out`; runs never go past the row.
void PackBitsRow(std::span<const uint8_t> row, std::vector<uint8_t>& out);

}  // namespace pella
