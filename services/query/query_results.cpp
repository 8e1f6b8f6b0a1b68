#include "services/query/query_results.h"

#include <cstring>
#include <memory>

#include "data/io/character_set.h"
#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

// The texts whose bytes the Specific Character Set decides (the others are ASCII by definition).
bool IsCharacterSetText(const char* vr) {
    for (const char* text : {"SH", "LO", "ST", "LT", "UC", "UT", "PN"})
        if (VrIs(vr, text)) return true;
    return false;
}

// The decoder of the identifier's own Specific Character Set; null when it declares none, so
// that the values stay the bytes the peer sent.
std::unique_ptr<TextDecoder> DecoderOf(const ElementList& identifier) {
    const DataElement* set = FindElement(identifier, 0x0008, 0x0005);
    if (set == nullptr || !HasValue(*set)) return nullptr;
    return std::make_unique<TextDecoder>(
        std::string(reinterpret_cast<const char*>(set->value),
                    strnlen(reinterpret_cast<const char*>(set->value), std::size_t(set->length))));
}

// Sets the field the element's tag has at the element's place (top level or step item): text
// decoded to UTF-8 when the identifier declares its character set.
void TakeValue(void* record, QueryLevel level, const DataElement& e, bool inStep,
               const TextDecoder* decoder) {
    auto fields = QueryFields(level);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const QueryField& f = fields[i];
        if (f.group != e.group || f.element != e.element || f.inStep != inStep) continue;
        const char* text = reinterpret_cast<const char*>(e.value);
        std::size_t length = strnlen(text, std::size_t(e.length));
        if (decoder != nullptr && IsCharacterSetText(f.vr)) {
            std::string utf8 = decoder->ToUtf8(e.value, length);
            SetQueryField(record, level, int(i), utf8.data(), utf8.size());
        } else {
            SetQueryField(record, level, int(i), text, length);
        }
    }
}

}  // namespace

void* RecordFromIdentifier(QueryLevel level, const ElementList& identifier, bool explicitVR) {
    ElementList flat;
    if (!FlattenDataSet(identifier, explicitVR, flat)) {
        LogFailure("A response identifier could not be decoded");
        return nullptr;
    }
    void* record = NewQueryRecord(level);
    std::unique_ptr<TextDecoder> decoder = DecoderOf(identifier);
    NestingTracker nesting;
    bool inStepSequence = false;  // the top-level element last opened is the step sequence
    for (const auto& item : flat) {
        const DataElement& e = *item;
        bool top = nesting.AtTopLevel();
        bool inStep = inStepSequence && nesting.Depth() == 2;
        if (top) inStepSequence = e.group == kStepSequenceGroup && e.element == kStepSequenceElement;
        nesting.Observe(e);
        if (!HasValue(e) || e.group == 0xFFFE || !(top || inStep)) continue;
        TakeValue(record, level, e, inStep, decoder.get());
    }
    return record;
}

}  // namespace pella
