// Sending files one after the other with C-STORE, over as few associations as their SOP
// classes allow, and telling what became of each file.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/model/element_list.h"
#include "net/acse/association.h"
#include "net/dimse/dimse.h"

namespace pella {

// Where and how objects go.
struct StoreTarget {
    std::string host;
    std::string port;
    std::string calling;  // empty: the default title, which is then left here
    std::string called;
    std::string wantedSyntax;  // empty: none
    bool convert = false;
};

// What became of one file.
struct StoreOutcome {
    std::string file;
    int32_t status = -1;  // C-STORE status; -1 not sent or no response, -2 another response
    std::string reason;   // why it was not stored; for status 0 a note on how it was sent
                          // when not as asked (another syntax), else empty
    uint64_t bytes = 0;   // size of the file
    bool Stored() const { return status == 0; }
};

using OutcomeSink = std::function<void(const StoreOutcome&)>;

// A file read for sending. Normally only the data set's front (up to the pixel data) is in
// memory and the rest is sent from the file as it stands; a data set that must be converted or
// re-encoded for the accepted syntax is read whole (LoadWholeObject).
struct LoadedObject {
    std::string file;
    ElementList data;      // the whole data set, or its front when `tail` is set
    std::string syntax;    // from the meta header
    std::string sopClass;  // (0008,0016) up to its first zero byte
    uint64_t bytes = 0;
    std::optional<FileTail> tail;  // the rest of the data set, in the file
};

// The SOP class and transfer syntax of a file, read from its header without the pixel data;
// both empty when the file cannot be read.
struct PlannedObject {
    std::string sopClass;
    std::string syntax;
};
PlannedObject PeekObject(const std::string& file);

// Reads the file's transfer syntax and its data set's front, the rest left in the file (or,
// when the file cannot be split so, the whole data set); false (with `reason`) when the file
// cannot be read, has no transfer syntax, or its data set has no SOP Class UID.
bool LoadObject(const std::string& file, LoadedObject& object, std::string& reason);

// Reads the whole data set of an object loaded with LoadObject into memory (nothing to do when
// it is there already); false (with `reason`) when the file cannot be read.
bool LoadWholeObject(LoadedObject& object, std::string& reason);

// The transfer syntaxes to propose for an object, best first: the wanted syntax (not for
// classes without pixel data), the file's own syntax (any, sent unchanged when accepted), then
// the uncompressed little-endian ones it can travel as (the crossing between them, or a
// conversion when asked for).
std::vector<std::string> CandidateSyntaxes(const std::string& sopClass, const std::string& fileSyntax,
                                           const std::string& wantedSyntax, bool convert);

// One presentation context per candidate syntax (so the peer cannot pick its own preference
// among them), for the object's class.
std::vector<ProposedContext> StoreContexts(const std::string& sopClass, const std::string& fileSyntax,
                                           const std::string& wantedSyntax, bool convert);

// Sends a loaded object on an open association: C-STORE-RQ on the context StoreContextFor
// chooses (the file's bytes as they stand when it travels in its own syntax; otherwise read
// whole and converted with `convert`), then reads the C-STORE-RSP.
StoreOutcome SendLoadedObject(PDU& pdu, LoadedObject& object, bool convert,
                              const std::string* wantedSyntax = nullptr);

// One association at a time, opened with one context per candidate syntax of the object being
// sent and, when the files to come are known (PlanAhead), of theirs too, up to 128 contexts;
// kept open while the following objects can travel on one of its accepted contexts. Any other
// object closes it and opens the next, so that no object is announced under a class it does
// not have.
class StoreSession {
public:
    explicit StoreSession(StoreTarget& target) : target_(target) {}
    ~StoreSession() { Close(); }
    StoreSession(const StoreSession&) = delete;
    StoreSession& operator=(const StoreSession&) = delete;

    // The files that SendFile will be given after the current one, in order.
    void PlanAhead(std::vector<PlannedObject> upcoming) { plan_ = std::move(upcoming); }
    StoreOutcome Send(LoadedObject& object);
    // Reads the file, then Send.
    StoreOutcome SendFile(const std::string& file);
    // Releases the open association, if any.
    void Close();
    // Associations opened so far (for reports and tests).
    int AssociationsOpened() const { return opened_; }
    // True once the peer cannot be reached any more: the connection could not be made, or an
    // association was lost and the one re-opened for it was lost or could not be made too.
    // The files still to come are then not tried; StopReason says why.
    bool Stopped() const { return !stopReason_.empty(); }
    const std::string& StopReason() const { return stopReason_; }

private:
    // True with an association open for the class; false (with `reason`) when none could be.
    bool Ready(const LoadedObject& object, std::string& reason);
    // The contexts to propose for the object, and for the planned files after it while they fit.
    std::vector<ProposedContext> ContextsFrom(const LoadedObject& object) const;

    StoreTarget& target_;
    std::unique_ptr<PDU> pdu_;
    std::string openKey_;      // class and syntax of the last object an association was opened for
    std::string openFailure_;  // why that association could not be used
    int opened_ = 0;
    // Notes an association lost while an object was on it; a second loss stops the run.
    void NoteIfLost(const StoreOutcome& outcome);

    std::vector<PlannedObject> plan_;  // every file of the run, in order (may be empty)
    std::size_t filesTaken_ = 0;       // files handed to SendFile so far
    int lost_ = 0;                     // associations lost while in use
    std::string stopReason_;
};

// Sends every file in order through one StoreSession, handing each outcome to `sink` (may be
// empty). Once the session has stopped (the peer cannot be reached), each file left gets an
// outcome "not sent: " + the stop reason without being tried. True only when every file was
// stored with status 0 and there was at least one.
bool StoreFiles(const std::vector<std::string>& files, StoreTarget& target, const OutcomeSink& sink);

// One line of text for a C-STORE status or failure value.
std::string StoreStatusText(int32_t status);

}  // namespace pella
