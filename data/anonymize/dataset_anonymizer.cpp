#include "data/anonymize/dataset_anonymizer.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "data/anonymize/attribute_actions.h"
#include "data/anonymize/deidentification_marks.h"
#include "data/anonymize/element_vr.h"
#include "data/anonymize/identity_terms.h"
#include "data/anonymize/replacement_values.h"
#include "data/anonymize/uid_mapping.h"
#include "data/io/sequence_decoding.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

bool IsItem(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

bool Closes(const DataElement& e) {
    return e.group == 0xFFFE && (e.element == 0xE00D || e.element == 0xE0DD);
}

// A sequence, by its own VR or, for an element read without one (implicit data), the
// dictionary's.
bool IsSequence(const DataElement& e) {
    return e.group != 0xFFFE && VrOf(e) == "SQ";
}

// Encapsulated pixel data (or another bulk value in fragments): its items are not data sets.
bool HoldsFragments(const DataElement& e) {
    std::string_view vr = VrOf(e);
    return e.group != 0xFFFE && vr != "SQ" && (e.group == 0x7FE0 || vr == "OB" || vr == "OW");
}

// A defined-length value that holds a whole sequence or item to decode into the flat form.
bool NeedsFlattening(const DataElement& e, bool inFragments) {
    if (!HasValue(e) || inFragments) return false;
    if (IsItem(e)) return true;
    if (VrIs(e.vr, "UN"))
        return FindDictionaryEntry(e.group, e.element) != nullptr &&
               VrIs(FindDictionaryEntry(e.group, e.element)->vr, "SQ");
    return IsSequence(e);
}

// The data set with every defined-length sequence and item decoded into the flat form; a
// sequence hidden in a UN element is decoded as implicit VR little endian, as UN values are.
// A value that cannot be decoded is left out.
void Flatten(ElementList& dataSet, const ParseState& encoding, ElementList& flat) {
    std::vector<bool> fragments;  // per open element: whether its items are fragments
    for (auto& element : dataSet.items) {
        DataElement& e = *element;
        bool inFragments = !fragments.empty() && fragments.back();
        if (NeedsFlattening(e, inFragments)) {
            ParseState state = encoding;
            state.metaMode = false;
            if (VrIs(e.vr, "UN")) {
                state.explicitVR = false;
                state.bigEndian = false;
            }
            if (!IsItem(e)) std::memcpy(e.vr, "SQ", 2);
            ElementList decoded;
            if (FlattenSequence(state, e, decoded) && SequencesClosed(decoded)) {
                for (auto& inner : decoded.items) flat.Append(std::move(inner));
            } else {
                char tag[16];
                std::snprintf(tag, sizeof tag, "(%04X,%04X)", e.group, e.element);
                WriteLogLine(std::string("anonymize: the value of ") + tag +
                             " cannot be decoded as a sequence and is left out");
            }
            continue;
        }
        if (Closes(e)) {
            if (!fragments.empty()) fragments.pop_back();
        } else if (e.length == kUndefinedLength) {
            fragments.push_back(HoldsFragments(e));
        }
        flat.Append(std::move(element));
    }
    dataSet.items.clear();
}

std::string_view ValueOf(const DataElement& e) {
    if (!HasValue(e)) return {};
    return {reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length)};
}

ElementPtr WithValue(const DataElement& e, const std::string& value) {
    return NewElement(e.group, e.element, static_cast<int32_t>(value.size()), value.data(), e.vr);
}

class Walker {
public:
    Walker(ElementList& in, const AnonymizeOptions& options, ElementList& out)
        : in_(in), options_(options), terms_(IdentityTerms::From(in)), out_(out) {}

    void Run() {
        std::size_t i = Level(0);
        while (i < in_.size()) i = Level(i + 1);  // a stray delimiter at the top is dropped
    }

private:
    // The elements of one level from `i` up to its closing delimiter (or the end); returns
    // the delimiter's index, or the list's size.
    std::size_t Level(std::size_t i) {
        while (i < in_.size()) {
            DataElement& e = in_[i];
            if (Closes(e)) return i;
            if (e.group == 0xFFFE) {  // an item outside a sequence: no attribute, dropped
                i = e.length == kUndefinedLength ? AttributeEnd(i) : i + 1;
                continue;
            }
            AttributeAction action = ActionForTag(e.group, e.element, options_);
            if (e.length == kUndefinedLength) {
                i = Container(i, action);
            } else {
                Single(i, action);
                ++i;
            }
        }
        return i;
    }

    // The index after the attribute starting at `start` (past its closing delimiter).
    std::size_t AttributeEnd(std::size_t start) const {
        int depth = 0;
        std::size_t i = start;
        do {
            const DataElement& e = in_[i];
            if (Closes(e))
                --depth;
            else if (e.length == kUndefinedLength)
                ++depth;
            ++i;
        } while (i < in_.size() && depth > 0);
        return i;
    }

    void Take(std::size_t i) { out_.Append(std::move(in_.items[i])); }

    // An undefined-length attribute at `i`: a sequence, or bulk data in fragments.
    std::size_t Container(std::size_t i, AttributeAction action) {
        std::size_t end = AttributeEnd(i);
        if (action == AttributeAction::kRemove) return end;
        if (HoldsFragments(in_[i])) {
            for (std::size_t j = i; j < end; ++j) Take(j);
            return end;
        }
        Take(i);
        std::size_t j = i + 1;
        if (action != AttributeAction::kEmpty && action != AttributeAction::kDummy) {
            while (j + 1 < end) j = Item(j);
        }
        out_.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
        return end;
    }

    // One element directly inside a sequence: an item is walked, anything else dropped.
    std::size_t Item(std::size_t j) {
        DataElement& e = in_[j];
        if (!IsItem(e) || e.length != kUndefinedLength) {
            if (IsItem(e) && e.length == 0) Take(j);  // an empty item stays an item
            return e.length == kUndefinedLength ? AttributeEnd(j) : j + 1;
        }
        Take(j);
        std::size_t close = Level(j + 1);
        out_.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
        return close + 1;
    }

    void Single(std::size_t i, AttributeAction action) {
        const DataElement& e = in_[i];
        switch (action) {
            case AttributeAction::kKeep:
                Take(i);
                return;
            case AttributeAction::kRemove:
                return;
            case AttributeAction::kEmpty:
                out_.Append(NewElement(e.group, e.element, 0, nullptr, e.vr));
                return;
            case AttributeAction::kDummy:
                out_.Append(WithValue(e, DummyValue(VrOf(e))));
                return;
            case AttributeAction::kReplaceUids:
                out_.Append(WithValue(e, MappedUidValue(ValueOf(e), options_.key)));
                return;
            case AttributeAction::kClean:
                out_.Append(WithValue(e, Cleaned(e)));
                return;
        }
    }

    // A cleaned value: dates moved by the shift (a date that cannot be moved is emptied), times
    // kept (whole days move nothing in them), other text with the identifying words masked.
    std::string Cleaned(const DataElement& e) const {
        std::string_view vr = VrOf(e);
        std::string_view value = ValueOf(e);
        if (vr == "DA" || vr == "DT") {
            if (!options_.dateShiftDays) return {};
            return ShiftedDates(value, *options_.dateShiftDays, vr == "DT").value_or(std::string());
        }
        if (vr == "TM") return std::string(value);
        if (IsTextVr(vr)) return terms_.Masked(value);
        return std::string(value);
    }

    static bool IsTextVr(std::string_view vr) {
        for (const char* text : {"AE", "CS", "LO", "LT", "PN", "SH", "ST", "UC", "UT"}) {
            if (vr == text) return true;
        }
        return false;
    }

    ElementList& in_;
    const AnonymizeOptions& options_;
    IdentityTerms terms_;
    ElementList& out_;
};

}  // namespace

bool AnonymizeDataSet(ElementList& dataSet, const ParseState& encoding, const AnonymizeOptions& options,
                      ElementList& out) {
    if (!SequencesClosed(dataSet)) {
        LogFailure("anonymize: the data set ends inside a sequence or item");
        return false;
    }
    ElementList flat;
    Flatten(dataSet, encoding, flat);
    Walker(flat, options, out).Run();
    AddDeidentificationMarks(out, options);
    return true;
}

}  // namespace pella
