#include "data/convert/sequence_reencoding.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "data/convert/element_conversion.h"
#include "data/io/encoded_element.h"
#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"

namespace pella {

namespace {

bool Fail(const DataElement& element, const char* reason) {
    char tag[32];
    std::snprintf(tag, sizeof tag, "sequence (%04X,%04X): ", element.group, element.element);
    return ConversionFailed(tag + std::string(reason));
}

}  // namespace

bool DecodeSequenceValue(const DataElement& element, ElementList& list, const ConversionFlags& flags,
                         int depth) {
    if (depth >= kMaxSequenceDepth) return Fail(element, "nested too deep");
    ElementList decoded;
    if (!dictionary::Exp_One_SQ(element, decoded, flags.sourceExplicit, flags.sourceBigEndian))
        return Fail(element, "value is not a run of whole elements");
    NestingTracker nesting;
    for (const auto& inner : decoded) {
        PrepareSourceVR(*inner, flags);
        ElementPtr converted = ConvertElement(*inner, flags, nesting.InFragments(), depth + 1);
        if (!converted) return false;
        nesting.Observe(*converted);
        list.Append(std::move(converted));
    }
    return true;
}

void EncodeSequenceValue(DataElement& element, const ElementList& list, bool targetExplicit,
                         bool targetBigEndian) {
    std::vector<uint8_t> stream;
    for (const auto& inner : list) EncodeElement(stream, *inner, targetExplicit, targetBigEndian);
    if (stream.size() > 0x7FFFFFFEu) throw std::length_error("re-encoded sequence too long");
    std::free(element.value);
    element.value = nullptr;
    element.length = static_cast<int32_t>(stream.size());
    if (stream.empty()) return;
    element.value = static_cast<uint8_t*>(std::malloc(stream.size()));
    if (element.value == nullptr) {
        element.length = 0;
        throw std::bad_alloc();
    }
    std::memcpy(element.value, stream.data(), stream.size());
}

ElementPtr ReencodeSequenceValue(const DataElement& element, const ConversionFlags& flags, int depth) {
    ElementList contents;
    if (!DecodeSequenceValue(element, contents, flags, depth)) return nullptr;
    ElementPtr out = NewElement(element.group, element.element, 0, nullptr, element.vr);
    EncodeSequenceValue(*out, contents, flags.targetExplicit, flags.targetBigEndian);
    return out;
}

}  // namespace pella
