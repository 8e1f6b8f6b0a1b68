// The audit trail of a storage server: one JSON line per association and per study stored,
// queried or retrieved on it, appended to a file shared by every association at once (O_APPEND,
// one write a line) and opened anew when it was renamed or removed (rotated) meanwhile.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace pella {

class AuditTrail {
public:
    explicit AuditTrail(std::string fileName);
    ~AuditTrail();
    AuditTrail(const AuditTrail&) = delete;
    AuditTrail& operator=(const AuditTrail&) = delete;

    // Opens (creates) the file now, so that one that cannot be written is told at start; false
    // with `why` when it cannot.
    bool Open(std::string& why);
    // Appends one line (a newline is added) with one write.
    void Append(const std::string& line);

private:
    bool StillNamed() const;

    std::string fileName_;
    std::mutex mutex_;  // held while the file is checked, reopened or written
    int descriptor_ = -1;
};

// Who is on an association, as its lines name them.
struct AuditPeer {
    std::string callingTitle;
    std::string address;
    std::string user;  // the admitted user identity's name; empty without one
    bool tls = false;
};

// The audit of one association: what its requests did, written to the trail as it goes (a
// query or retrieve as it is answered, the stores of each study and the association's own line
// when it ends).
class AssociationAudit {
public:
    explicit AssociationAudit(std::shared_ptr<AuditTrail> trail);
    AssociationAudit(const AssociationAudit&) = delete;
    AssociationAudit& operator=(const AssociationAudit&) = delete;

    void SetPeer(AuditPeer peer) { peer_ = std::move(peer); }
    // One stored object of a study; `filed` false when it was refused or could not be filed.
    void NoteStore(const std::string& studyUid, bool filed);
    // One query or retrieve request answered: its service ("find", "move", "get"), the study it
    // named (empty when none), its counts and its outcome.
    void NoteRequest(const std::string& service, const std::string& studyUid,
                     const std::map<std::string, uint64_t>& counts, const std::string& outcome);
    // Writes a line for each study stored and the association's own line with `outcome`
    // ("released", "aborted", "rejected", ...).
    void Finish(const std::string& outcome);

private:
    struct StoreCounts {
        uint64_t stored = 0;
        uint64_t failed = 0;
    };
    void Write(const std::string& event, const std::string& service, const std::string& studyUid,
               const std::map<std::string, uint64_t>& counts, const std::string& outcome);

    std::shared_ptr<AuditTrail> trail_;
    AuditPeer peer_;
    std::map<std::string, StoreCounts> stores_;  // by study UID
    uint64_t requests_ = 0;
    bool finished_ = false;
};

// The audit of the association served on the calling thread; null when none is kept.
AssociationAudit* CurrentAudit();

// Makes `audit` the calling thread's current one while it lives.
class AuditScope {
public:
    explicit AuditScope(AssociationAudit* audit);
    ~AuditScope();
    AuditScope(const AuditScope&) = delete;
    AuditScope& operator=(const AuditScope&) = delete;

private:
    AssociationAudit* previous_;
};

}  // namespace pella
