#include "data/convert/encapsulated_frames.h"

namespace pella {

namespace {

bool IsItem(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}
bool IsSequenceEnd(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE0DD;
}

}  // namespace

bool CollectFrames(const ElementList& input, std::size_t pixelIndex, int64_t frames, EncapsulatedFrames& out,
                   std::string& reason) {
    std::size_t i = pixelIndex + 1;
    if (i >= input.size() || !IsItem(input[i])) {
        reason = "encapsulated pixel data without a basic offset table item";
        return false;
    }
    for (++i; i < input.size() && IsItem(input[i]); ++i) {
        if (static_cast<int64_t>(out.fragments.size()) == frames) {
            reason = "more fragments than the " + std::to_string(frames) +
                     " frame(s): a frame split over several fragments is not supported";
            return false;
        }
        out.fragments.push_back(&input[i]);
        out.compressedBytes += HasValue(input[i]) ? static_cast<uint64_t>(input[i].length) : 0;
    }
    if (i >= input.size() || !IsSequenceEnd(input[i])) {
        reason = "encapsulated pixel data do not end with a sequence delimiter";
        return false;
    }
    if (static_cast<int64_t>(out.fragments.size()) != frames) {
        reason =
            std::to_string(out.fragments.size()) + " fragment(s) for " + std::to_string(frames) + " frame(s)";
        return false;
    }
    out.lastIndex = i;
    return true;
}

}  // namespace pella
