#include "services/query/query_results.h"

#include <cstring>
#include <vector>

#include "data/io/sequence_decoding.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr uint32_t kStepSequence = 0x00400100;
constexpr uint32_t kItem = 0xFFFEE000;

uint32_t TagOf(const DataElement& e) { return (uint32_t{e.group} << 16) | e.element; }

// The identifier with every defined-length sequence expanded into the flat list form.
bool Flatten(const ElementList& identifier, bool explicitVR, ElementList& flat) {
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    for (const auto& item : identifier) {
        const DataElement& e = *item;
        if (VrIs(e.vr, "SQ") && HasValue(e)) {
            if (!FlattenSequence(state, e, flat)) return false;
        } else {
            flat.Append(NewElement(e.group, e.element, e.length, e.value, e.vr));
        }
    }
    return true;
}

// Where an element of the flat list stands: the tags of the sequences and items around it.
class Place {
public:
    void Observe(const DataElement& e) {
        bool closes = e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
        if (closes) {
            if (!open_.empty()) open_.pop_back();
        } else if (e.length == kUndefinedLength) {
            open_.push_back(TagOf(e));
        }
    }
    bool TopLevel() const { return open_.empty(); }
    bool InStepItem() const {
        return open_.size() == 2 && open_[0] == kStepSequence && open_[1] == kItem;
    }

private:
    std::vector<uint32_t> open_;
};

bool IsStepField(const QueryField& field) {
    return field.group == 0x0008 ? field.element == 0x0060
                                 : field.group == 0x0040 && field.element < 0x0100;
}

void TakeValue(void* record, QueryLevel level, const DataElement& e, bool inStep) {
    auto fields = QueryFields(level);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const QueryField& f = fields[i];
        if (f.group != e.group || f.element != e.element) continue;
        // Requested Contrast Agent is sent inside the step item but read wherever it stands.
        bool anywhere = level == QueryLevel::Worklist && TagOf(e) == 0x00321070;
        bool stepField = level == QueryLevel::Worklist && IsStepField(f);
        if (!anywhere && stepField != inStep) continue;
        const char* text = reinterpret_cast<const char*>(e.value);
        SetQueryField(record, level, int(i), text, strnlen(text, std::size_t(e.length)));
    }
}

}  // namespace

void* RecordFromIdentifier(QueryLevel level, const ElementList& identifier, bool explicitVR) {
    ElementList flat;
    if (!Flatten(identifier, explicitVR, flat)) {
        LogFailure("A response identifier could not be decoded");
        return nullptr;
    }
    void* record = NewQueryRecord(level);
    Place place;
    for (const auto& item : flat) {
        const DataElement& e = *item;
        bool top = place.TopLevel();
        bool inStep = level == QueryLevel::Worklist && place.InStepItem();
        place.Observe(e);
        if (!HasValue(e) || e.group == 0xFFFE || !(top || inStep)) continue;
        TakeValue(record, level, e, inStep);
    }
    return record;
}

}  // namespace pella
