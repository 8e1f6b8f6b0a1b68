#include "data/edit/open_sequences.h"

#include "data/dictionary/dictionary.h"
#include "data/edit/tag_path.h"
#include "data/io/sequence_decoding.h"
#include "data/model/nesting_tracker.h"

#include <cstring>
#include <vector>

namespace pella {

namespace {

bool IsItemStart(const DataElement& e) {
    return e.group == 0xFFFE && e.element == 0xE000;
}

// Implicit data comes without VRs: the dictionary gives them; items and delimiters get "DL".
void GiveVR(DataElement& e) {
    if (e.vr[0] != '\0') return;
    if (e.group == 0xFFFE)
        std::memcpy(e.vr, "DL", 2);
    else
        LookupVR(e);
}

// A sequence or item still holding its contents as one encoded value.
bool HeldEncoded(const DataElement& e) {
    return e.length >= 0 && (IsItemStart(e) || (VrIs(e.vr, "SQ") && e.group != 0xFFFE));
}

bool OpenLevel(ElementList& list, bool explicitVR, bool bigEndian, int depth, ElementList& out,
               std::string& error);

// Appends the flat form of an encoded sequence or item, its contents opened as well.
bool OpenEncoded(const DataElement& e, bool explicitVR, bool bigEndian, int depth, ElementList& out,
                 std::string& error) {
    if (depth > kMaxSequenceDepth) {
        error = "sequences nest deeper than " + std::to_string(kMaxSequenceDepth) + " levels";
        return false;
    }
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    state.bigEndian = bigEndian;
    ElementList flat;
    if (!FlattenSequence(state, e, flat)) {
        error = "the contents of " + TagText(e.group, e.element) + " cannot be decoded";
        return false;
    }
    // Implicit contents come without VRs, and their own sequences were left encoded.
    return OpenLevel(flat, explicitVR, bigEndian, depth + 1, out, error);
}

// Moves the elements of `list` to `out`, opening encoded sequences and items on the way.
bool OpenLevel(ElementList& list, bool explicitVR, bool bigEndian, int depth, ElementList& out,
               std::string& error) {
    NestingTracker nesting;
    for (auto& owned : list.items) {
        bool fragment = nesting.InFragments();
        if (!fragment) GiveVR(*owned);
        nesting.Observe(*owned);
        if (fragment || !HeldEncoded(*owned)) {
            out.Append(std::move(owned));
        } else if (!OpenEncoded(*owned, explicitVR, bigEndian, depth, out, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool OpenSequences(ElementList& list, bool explicitVR, bool bigEndian, std::string& error) {
    if (!SequencesClosed(list)) {
        error = "the data set ends inside a sequence or item";
        return false;
    }
    // First every encoded sequence is opened aside, so that a failure leaves the list as it was.
    std::vector<ElementList> openedAt(list.size());
    std::vector<bool> replaced(list.size(), false);
    NestingTracker nesting;
    for (std::size_t i = 0; i < list.size(); ++i) {
        DataElement probe = list[i];  // header only: the VR the element is going to have
        probe.value = nullptr;
        bool fragment = nesting.InFragments();
        if (!fragment) GiveVR(probe);
        nesting.Observe(probe);
        if (fragment) continue;
        if (!HeldEncoded(probe)) continue;
        std::memcpy(list[i].vr, probe.vr, sizeof probe.vr);
        if (!OpenEncoded(list[i], explicitVR, bigEndian, 1, openedAt[i], error)) return false;
        replaced[i] = true;
    }
    ElementList opened;
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (!replaced[i]) {
            GiveVR(list[i]);
            opened.Append(std::move(list.items[i]));
            continue;
        }
        for (auto& element : openedAt[i].items) opened.Append(std::move(element));
    }
    list.items.swap(opened.items);
    return true;
}

}  // namespace pella
