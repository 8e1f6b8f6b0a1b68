#include "services/storage/audit_trail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <nlohmann/json.hpp>

#include "log/protocol_log.h"

namespace pella {

namespace {

thread_local AssociationAudit* current = nullptr;

// "2026-12-10T11:49:11.123Z"
std::string UtcTime() {
    auto now = std::chrono::system_clock::now();
    std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
    std::tm utc{};
    gmtime_r(&seconds, &utc);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    char withMillis[48];
    std::snprintf(withMillis, sizeof withMillis, "%s.%03dZ", text, static_cast<int>(millis));
    return withMillis;
}

int OpenForAppending(const std::string& fileName) {
    return ::open(fileName.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
}

}  // namespace

AuditTrail::AuditTrail(std::string fileName) : fileName_(std::move(fileName)) {}

AuditTrail::~AuditTrail() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool AuditTrail::Open(std::string& why) {
    std::lock_guard lock(mutex_);
    if (descriptor_ < 0) descriptor_ = OpenForAppending(fileName_);
    if (descriptor_ >= 0) return true;
    why = "the audit file " + fileName_ + " cannot be opened: " + std::strerror(errno);
    return false;
}

bool AuditTrail::StillNamed() const {
    struct stat named {
    }, open{};
    return ::stat(fileName_.c_str(), &named) == 0 && ::fstat(descriptor_, &open) == 0 &&
           named.st_ino == open.st_ino && named.st_dev == open.st_dev;
}

void AuditTrail::Append(const std::string& line) {
    std::string whole = line + "\n";
    std::lock_guard lock(mutex_);
    if (descriptor_ >= 0 && !StillNamed()) {
        ::close(descriptor_);
        descriptor_ = -1;
    }
    if (descriptor_ < 0) descriptor_ = OpenForAppending(fileName_);
    if (descriptor_ < 0) {
        LogFailure("Audit line lost: " + fileName_ + " cannot be opened");
        return;
    }
    // One write: lines of other associations and other processes never interleave with it.
    ssize_t written = ::write(descriptor_, whole.data(), whole.size());
    if (written != static_cast<ssize_t>(whole.size()))
        LogFailure("Audit line could not be written to " + fileName_);
}

AssociationAudit::AssociationAudit(std::shared_ptr<AuditTrail> trail) : trail_(std::move(trail)) {}

void AssociationAudit::NoteStore(const std::string& studyUid, bool filed) {
    StoreCounts& counts = stores_[studyUid];
    ++(filed ? counts.stored : counts.failed);
}

void AssociationAudit::NoteRequest(const std::string& service, const std::string& studyUid,
                                   const std::map<std::string, uint64_t>& counts,
                                   const std::string& outcome) {
    ++requests_;
    Write("study", service, studyUid, counts, outcome);
}

void AssociationAudit::Finish(const std::string& outcome) {
    if (finished_) return;
    finished_ = true;
    uint64_t stored = 0;
    for (const auto& [study, counts] : stores_) {
        stored += counts.stored + counts.failed;
        std::string result = counts.failed == 0 ? "success" : counts.stored == 0 ? "failure" : "partial";
        Write("study", "store", study, {{"stored", counts.stored}, {"failed", counts.failed}}, result);
    }
    Write("association", "", "", {{"studies", stores_.size()}, {"objects", stored}, {"requests", requests_}},
          outcome);
}

void AssociationAudit::Write(const std::string& event, const std::string& service,
                             const std::string& studyUid, const std::map<std::string, uint64_t>& counts,
                             const std::string& outcome) {
    if (!trail_) return;
    nlohmann::ordered_json line;
    line["time"] = UtcTime();
    line["event"] = event;
    line["peer"] = peer_.callingTitle;
    line["address"] = peer_.address;
    line["user"] = peer_.user;
    line["tls"] = peer_.tls;
    if (!service.empty()) line["service"] = service;
    if (event == "study") line["study"] = studyUid;
    line["counts"] = nlohmann::ordered_json::object();
    for (const auto& [name, value] : counts) line["counts"][name] = value;
    line["outcome"] = outcome;
    // Texts from peers may hold any bytes: invalid UTF-8 is replaced rather than thrown at.
    trail_->Append(line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
}

AssociationAudit* CurrentAudit() {
    return current;
}

AuditScope::AuditScope(AssociationAudit* audit) : previous_(current) {
    current = audit;
}

AuditScope::~AuditScope() {
    current = previous_;
}

}  // namespace pella
