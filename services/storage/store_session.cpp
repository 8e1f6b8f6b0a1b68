#include "services/storage/store_session.h"

#include <cstdio>
#include <filesystem>

#include "data/io/dataset_reader.h"
#include "data/io/element_header.h"
#include "data/registry/dimse_statuses.h"
#include "data/registry/sop_classes.h"
#include "data/registry/uid.h"
#include "log/protocol_log.h"
#include "net/dimse/dimse.h"
#include "services/storage/store.h"

namespace pella {

namespace {

uint64_t FileSize(const std::string& file) {
    std::error_code ec;
    uint64_t size = std::filesystem::file_size(file, ec);
    return ec ? 0 : size;
}

std::string FailureOr(const std::string& fallback) {
    std::string reason = LastFailure();
    return reason.empty() ? fallback : reason;
}

bool Fail(const std::string& file, const std::string& why, std::string& reason) {
    reason = why;
    LogFailure(file + ": " + why);
    return false;
}

}  // namespace

bool LoadObject(const std::string& file, LoadedObject& object, std::string& reason) {
    object.file = file;
    ClearTags(object.data);
    if (file.empty()) return Fail(file, "index line names no file inside the series folder", reason);
    object.bytes = FileSize(file);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec)) return Fail(file, "file not found", reason);
    object.tail.reset();
    if (DataSetFront front; ReadDataSetFront(file, front)) {
        object.data = std::move(front.elements);
        object.syntax = front.syntax;
        object.tail = FileTail{file, front.tailOffset, front.tailLength, front.deflated};
    } else if (!ReadDatasetAndSyntax(file, object.data, object.syntax)) {
        return Fail(file, "not a readable DICOM Part 10 file with a transfer syntax", reason);
    }
    const DataElement* sopClass = FindElement(object.data, 0x0008, 0x0016);
    object.sopClass = sopClass ? UidText(sopClass->value, sopClass->length) : "";
    if (object.sopClass.empty()) return Fail(file, "the data set has no SOP Class UID", reason);
    return true;
}

bool LoadWholeObject(LoadedObject& object, std::string& reason) {
    if (!object.tail) return true;
    ClearTags(object.data);
    object.tail.reset();
    if (!ReadDatasetAndSyntax(object.file, object.data, object.syntax))
        return Fail(object.file, "not a readable DICOM Part 10 file with a transfer syntax", reason);
    return true;
}

std::vector<std::string> CandidateSyntaxes(const std::string& sopClass, const std::string& fileSyntax,
                                           const std::string& wantedSyntax, bool convert) {
    std::vector<std::string> candidates;
    auto add = [&](const std::string& syntax, bool always) {
        if (syntax.empty() || (!always && !CanTravelAs(fileSyntax, syntax, convert))) return;
        for (const std::string& present : candidates)
            if (present == syntax) return;
        candidates.push_back(syntax);
    };
    // Objects without pixel data are never offered in a syntax meant for images. The wanted
    // syntax is offered even when this object cannot travel in it, so that the peer's answer
    // shows whether it takes it; the object then goes on another accepted context.
    if (!IsNonImageSopClass(sopClass)) add(wantedSyntax, true);
    add(fileSyntax, true);
    add(kExplicitLittleEndian, false);
    add(kImplicitLittleEndian, false);
    return candidates;
}

std::vector<ProposedContext> StoreContexts(const std::string& sopClass, const std::string& fileSyntax,
                                           const std::string& wantedSyntax, bool convert) {
    std::vector<ProposedContext> contexts;
    for (const std::string& syntax : CandidateSyntaxes(sopClass, fileSyntax, wantedSyntax, convert))
        contexts.push_back({sopClass, {syntax}});
    return contexts;
}

PlannedObject PeekObject(const std::string& file) {
    ElementList header;
    PlannedObject planned;
    if (!ReadHeaderForDump(file, header)) return planned;
    planned.syntax = ElementUid(header, 0x0002, 0x0010);
    planned.sopClass = ElementUid(header, 0x0008, 0x0016);
    return planned;
}

std::vector<ProposedContext> StoreSession::ContextsFrom(const LoadedObject& object) const {
    std::vector<ProposedContext> contexts =
        StoreContexts(object.sopClass, object.syntax, target_.wantedSyntax, target_.convert);
    auto known = [&](const ProposedContext& c) {
        for (const ProposedContext& present : contexts)
            if (present.abstractSyntax == c.abstractSyntax && present.transferSyntaxes == c.transferSyntaxes)
                return true;
        return false;
    };
    // filesTaken_ counts the current file, so the plan's files to come start there.
    for (std::size_t i = filesTaken_; i < plan_.size(); ++i) {
        if (plan_[i].sopClass.empty() || plan_[i].syntax.empty()) continue;
        std::vector<ProposedContext> fresh;
        for (ProposedContext& c :
             StoreContexts(plan_[i].sopClass, plan_[i].syntax, target_.wantedSyntax, target_.convert))
            if (!known(c)) fresh.push_back(std::move(c));
        if (contexts.size() + fresh.size() > kMaxPresentationContexts) break;  // the next association's
        contexts.insert(contexts.end(), fresh.begin(), fresh.end());
    }
    return contexts;
}

bool StoreSession::Ready(const LoadedObject& object, std::string& reason) {
    std::string accepted;
    if (pdu_ && pdu_->IsConnected() &&
        StoreContextFor(*pdu_, object.sopClass, object.syntax, target_.convert, accepted,
                        &target_.wantedSyntax) != 0)
        return true;
    std::string key = object.sopClass + " " + object.syntax;
    if (key == openKey_ && !openFailure_.empty()) {
        reason = openFailure_;  // no second attempt for the same class and syntax in a row
        return false;
    }
    Close();
    openKey_ = key;
    if (!target_.wantedSyntax.empty() && !IsValidUid(target_.wantedSyntax)) {
        openFailure_ = "wanted transfer syntax '" + target_.wantedSyntax + "' is not a valid UID";
        LogFailure(openFailure_);
        reason = openFailure_;
        return false;
    }
    pdu_ = std::make_unique<PDU>();
    ClearLastFailure();
    std::vector<ProposedContext> contexts = ContextsFrom(object);
    if (BuildRequest(*pdu_, target_.calling, target_.called, contexts) &&
        RequestAssociation(*pdu_, target_.host, target_.port)) {
        ++opened_;
        if (StoreContextFor(*pdu_, object.sopClass, object.syntax, target_.convert, accepted,
                            &target_.wantedSyntax) != 0)
            return true;
        openFailure_ = "the peer accepted none of the proposed contexts for " +
                       SopClassName(object.sopClass) + " in " + TransferSyntaxName(object.syntax);
    } else {
        openFailure_ = "association not accepted: " + FailureOr("no reason given");
        // No connection at all (refused, unknown host, no answer), as opposed to a peer that
        // answered and rejected: the files to come would fail the same way.
        if (!pdu_->rejected)
            stopReason_ = lost_ > 0
                              ? "the association was lost and could not be re-opened (" + openFailure_ + ")"
                              : openFailure_;
    }
    reason = openFailure_;
    LogFailure(object.file + ": " + openFailure_);
    if (pdu_->IsConnected()) ReleaseAssociation(*pdu_);
    pdu_.reset();
    return false;
}

StoreOutcome SendLoadedObject(PDU& pdu, LoadedObject& object, bool convert, const std::string* wantedSyntax) {
    StoreOutcome outcome;
    outcome.file = object.file;
    outcome.bytes = object.bytes;
    ClearLastFailure();
    std::string note;
    // The file's bytes go as they stand when the peer takes its own syntax; any other syntax
    // needs the whole data set in memory to be converted or re-encoded.
    if (object.tail && !TravelsAsStored(pdu, object.sopClass, object.syntax, convert, wantedSyntax) &&
        !LoadWholeObject(object, outcome.reason))
        return outcome;
    bool written = object.tail ? WriteStoreRQFromFile(pdu, object.data, *object.tail, object.sopClass,
                                                      object.syntax, convert, wantedSyntax)
                               : WriteStoreRQ(pdu, object.data, object.sopClass, object.syntax, convert,
                                              &note, wantedSyntax);
    if (!written) {
        outcome.reason = "not sent: " + FailureOr("the request could not be sent");
        return outcome;
    }
    outcome.status = ReadStoreRSP(pdu);
    outcome.reason = outcome.Stored() ? note : FailureOr(StoreStatusText(outcome.status));
    return outcome;
}

StoreOutcome StoreSession::Send(LoadedObject& object) {
    StoreOutcome outcome;
    outcome.file = object.file;
    outcome.bytes = object.bytes;
    if (!Ready(object, outcome.reason)) return outcome;
    outcome = SendLoadedObject(*pdu_, object, target_.convert, &target_.wantedSyntax);
    NoteIfLost(outcome);
    return outcome;
}

void StoreSession::NoteIfLost(const StoreOutcome& outcome) {
    if (outcome.Stored() || !pdu_ || pdu_->IsConnected()) return;
    // The next file re-opens an association; after a second loss the run stops.
    if (++lost_ >= 2) stopReason_ = "the association was lost twice (last: " + outcome.reason + ")";
    Close();
}

StoreOutcome StoreSession::SendFile(const std::string& file) {
    ++filesTaken_;
    LoadedObject object;
    StoreOutcome outcome;
    if (!LoadObject(file, object, outcome.reason)) {
        outcome.file = file;
        outcome.bytes = object.bytes;
        return outcome;
    }
    return Send(object);
}

void StoreSession::Close() {
    if (pdu_) ReleaseAssociation(*pdu_);
    pdu_.reset();
    openKey_.clear();
    openFailure_.clear();
}

bool StoreFiles(const std::vector<std::string>& files, StoreTarget& target, const OutcomeSink& sink) {
    StoreSession session(target);
    std::vector<PlannedObject> plan;
    plan.reserve(files.size());
    for (const std::string& file : files) plan.push_back(PeekObject(file));
    session.PlanAhead(std::move(plan));
    bool allStored = !files.empty();
    for (const std::string& file : files) {
        StoreOutcome outcome;
        if (session.Stopped()) {
            outcome.file = file;
            outcome.bytes = FileSize(file);
            outcome.reason = "not sent: " + session.StopReason();
        } else {
            outcome = session.SendFile(file);
        }
        allStored = allStored && outcome.Stored();
        if (sink) sink(outcome);
    }
    return allStored;
}

std::string StoreStatusText(int32_t status) {
    if (status == kNoStoreResponse) return "no response";
    if (status == kNotAStoreResponse) return "response to another command";
    const char* meaning = "failure";
    StatusCategory category = CategoryOfStatus(status);
    if (category == StatusCategory::kSuccess)
        meaning = "success";
    else if (category == StatusCategory::kWarning)
        meaning = "warning";
    else if ((status & 0xFF00) == 0xA700)
        meaning = "refused: out of resources";
    else if ((status & 0xFF00) == 0xA900)
        meaning = "error: data set does not match SOP class";
    else if ((status & 0xF000) == 0xC000)
        meaning = "error: cannot understand";
    char text[80];
    std::snprintf(text, sizeof text, "status 0x%04X (%s)", static_cast<unsigned>(status), meaning);
    return text;
}

}  // namespace pella
