#include "data/convert/encapsulated_frames.h"

#include <algorithm>

namespace pella {

namespace {

bool IsItem(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}
bool IsSequenceEnd(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE0DD;
}

uint64_t ValueBytes(const DataElement& e) {
    return HasValue(e) ? static_cast<uint64_t>(e.length) : 0;
}

uint64_t LittleEndian(const uint8_t* p, int bytes) {
    uint64_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = v << 8 | p[i];
    return v;
}

std::vector<uint64_t> ReadOffsets(std::span<const uint8_t> value, int width) {
    std::vector<uint64_t> offsets;
    for (std::size_t at = 0; at + width <= value.size(); at += width)
        offsets.push_back(LittleEndian(&value[at], width));
    return offsets;
}

// A fragment that starts a JPEG, JPEG-LS or JPEG 2000 codestream (or a JP2 file).
bool StartsCodestream(const DataElement& fragment) {
    if (fragment.length < 4) return false;
    const uint8_t* v = fragment.value;
    return (v[0] == 0xFF && (v[1] == 0xD8 || v[1] == 0x4F)) ||
           (v[0] == 0 && v[1] == 0 && v[2] == 0 && v[3] == 0x0C);
}

// Indexes of the fragments at which frames start, from byte offsets measured from the first
// fragment's item header.
bool StartsFromOffsets(const std::vector<const DataElement*>& fragments, const std::vector<uint64_t>& offsets,
                       std::vector<std::size_t>& starts, std::string& reason) {
    uint64_t position = 0;
    std::size_t next = 0;
    for (std::size_t k = 0; k < fragments.size() && next < offsets.size(); ++k) {
        if (offsets[next] == position) starts.push_back(k), ++next;
        position += 8 + ValueBytes(*fragments[k]);
    }
    if (next != offsets.size() || starts.empty() || starts.front() != 0) {
        reason = "an offset table points between or past the fragments";
        return false;
    }
    return true;
}

bool StartsWithoutTable(const std::vector<const DataElement*>& fragments, int64_t frames,
                        std::vector<std::size_t>& starts, std::string& reason) {
    if (frames == 1 || static_cast<int64_t>(fragments.size()) == frames) {
        for (std::size_t k = 0; k < (frames == 1 ? 1 : fragments.size()); ++k) starts.push_back(k);
        return true;
    }
    for (std::size_t k = 0; k < fragments.size(); ++k)
        if (StartsCodestream(*fragments[k])) starts.push_back(k);
    if (static_cast<int64_t>(starts.size()) == frames && starts.front() == 0) return true;
    reason = std::to_string(fragments.size()) + " fragment(s) for " + std::to_string(frames) +
             " frame(s), and no offset table tells where each frame starts";
    return false;
}

}  // namespace

std::span<const uint8_t> EncapsulatedFrames::FrameBytes(std::size_t frame,
                                                        std::vector<uint8_t>& joined) const {
    const auto& parts = frames[frame];
    if (parts.size() == 1) return {parts[0]->value, static_cast<std::size_t>(ValueBytes(*parts[0]))};
    joined.clear();
    for (const DataElement* part : parts)
        joined.insert(joined.end(), part->value, part->value + ValueBytes(*part));
    return joined;
}

bool CollectFrames(const ElementList& input, std::size_t pixelIndex, int64_t frames,
                   std::span<const uint8_t> extendedOffsets, EncapsulatedFrames& out, std::string& reason) {
    std::size_t i = pixelIndex + 1;
    if (i >= input.size() || !IsItem(input[i])) {
        reason = "encapsulated pixel data without a basic offset table item";
        return false;
    }
    const DataElement& table = input[i];
    std::vector<const DataElement*> fragments;
    for (++i; i < input.size() && IsItem(input[i]); ++i) {
        fragments.push_back(&input[i]);
        out.compressedBytes += ValueBytes(input[i]);
    }
    if (i >= input.size() || !IsSequenceEnd(input[i])) {
        reason = "encapsulated pixel data do not end with a sequence delimiter";
        return false;
    }
    if (fragments.empty() || static_cast<int64_t>(fragments.size()) < frames) {
        reason =
            std::to_string(fragments.size()) + " fragment(s) for " + std::to_string(frames) + " frame(s)";
        return false;
    }
    std::vector<uint64_t> offsets =
        !extendedOffsets.empty() ? ReadOffsets(extendedOffsets, 8)
                                 : ReadOffsets({table.value, static_cast<std::size_t>(ValueBytes(table))}, 4);
    std::vector<std::size_t> starts;
    if (!offsets.empty() && static_cast<int64_t>(offsets.size()) != frames) {
        reason = "the offset table lists " + std::to_string(offsets.size()) + " frame(s); the image has " +
                 std::to_string(frames);
        return false;
    }
    bool found = offsets.empty() ? StartsWithoutTable(fragments, frames, starts, reason)
                                 : StartsFromOffsets(fragments, offsets, starts, reason);
    if (!found) return false;
    starts.push_back(fragments.size());
    for (std::size_t f = 0; f + 1 < starts.size(); ++f)
        out.frames.emplace_back(fragments.begin() + static_cast<std::ptrdiff_t>(starts[f]),
                                fragments.begin() + static_cast<std::ptrdiff_t>(starts[f + 1]));
    out.lastIndex = i;
    return true;
}

bool BasicOffsetTable(std::span<const uint64_t> frameBytes, std::vector<uint8_t>& table) {
    table.clear();
    if (frameBytes.size() < 2) return true;
    uint64_t position = 0;
    for (uint64_t bytes : frameBytes) {
        if (position > UINT32_MAX) {
            table.clear();
            return false;
        }
        for (int b = 0; b < 4; ++b) table.push_back(static_cast<uint8_t>(position >> (8 * b)));
        position += 8 + bytes + (bytes % 2);
    }
    return true;
}

}  // namespace pella
