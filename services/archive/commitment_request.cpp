#include "services/archive/commitment_request.h"

#include "data/io/element_header.h"
#include "data/model/nesting_tracker.h"
#include "data/registry/uid.h"

namespace pella {

namespace {

bool Is(const DataElement& e, uint16_t group, uint16_t element) {
    return e.group == group && e.element == element;
}

std::string UidValue(const DataElement& e) {
    return HasValue(e) ? UidText(e.value, e.length) : "";
}

void AppendUid(ElementList& list, uint16_t group, uint16_t element, std::string uid) {
    if (uid.size() % 2 != 0) uid.push_back('\0');
    list.Append(NewElement(group, element, static_cast<int32_t>(uid.size()), uid.data(), "UI"));
}

void AppendSequence(ElementList& list, uint16_t element, const CommitmentRequest& checked, bool failed) {
    bool opened = false;
    for (const CommitmentReference& reference : checked.references) {
        if ((reference.failureReason != 0) != failed) continue;
        if (!opened) list.Append(NewElement(0x0008, element, kUndefinedLength, nullptr, "SQ"));
        opened = true;
        list.Append(NewElement(0xFFFE, 0xE000, kUndefinedLength, nullptr, "DL"));
        AppendUid(list, 0x0008, 0x1150, reference.sopClass);
        AppendUid(list, 0x0008, 0x1155, reference.sopInstance);
        if (failed) {
            uint8_t reason[2] = {static_cast<uint8_t>(reference.failureReason & 0xFF),
                                 static_cast<uint8_t>(reference.failureReason >> 8)};
            list.Append(NewElement(0x0008, 0x1197, 2, reason, "US"));
        }
        list.Append(NewElement(0xFFFE, 0xE00D, 0, nullptr, "DL"));
    }
    if (opened) list.Append(NewElement(0xFFFE, 0xE0DD, 0, nullptr, "DL"));
}

}  // namespace

bool ReadCommitmentRequest(const ElementList& flat, CommitmentRequest& request, std::string& why) {
    request = CommitmentRequest{};
    NestingTracker tracker;
    bool inReferences = false;
    for (const auto& item : flat) {
        const DataElement& e = *item;
        if (tracker.AtTopLevel()) {
            if (Is(e, 0x0008, 0x1195)) request.transactionUid = UidValue(e);
            inReferences = Is(e, 0x0008, 0x1199);
        } else if (inReferences && tracker.Depth() == 1 && Is(e, 0xFFFE, 0xE000)) {
            if (request.references.size() >= kMaxCommitmentReferences) {
                why =
                    "the request names more than " + std::to_string(kMaxCommitmentReferences) + " instances";
                return false;
            }
            request.references.emplace_back();
        } else if (inReferences && tracker.Depth() == 2 && !request.references.empty()) {
            if (Is(e, 0x0008, 0x1150)) request.references.back().sopClass = UidValue(e);
            if (Is(e, 0x0008, 0x1155)) request.references.back().sopInstance = UidValue(e);
        }
        tracker.Observe(e);
    }
    if (!IsValidUid(request.transactionUid)) {
        why = "the request has no valid Transaction UID";
        return false;
    }
    if (request.references.empty()) {
        why = "the request names no instance";
        return false;
    }
    for (const CommitmentReference& reference : request.references)
        if (!IsValidUid(reference.sopClass) || !IsValidUid(reference.sopInstance)) {
            why = "a Referenced SOP Sequence item lacks a valid SOP Class or Instance UID";
            return false;
        }
    return true;
}

ElementList CommitmentReport(const CommitmentRequest& checked) {
    ElementList report;
    AppendUid(report, 0x0008, 0x1195, checked.transactionUid);
    AppendSequence(report, 0x1198, checked, true);
    AppendSequence(report, 0x1199, checked, false);
    return report;
}

uint16_t CommitmentEventType(const CommitmentRequest& checked) {
    for (const CommitmentReference& reference : checked.references)
        if (reference.failureReason != 0) return kCommitmentSomeFailed;
    return kCommitmentAllDone;
}

}  // namespace pella
