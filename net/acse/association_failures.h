// The words for an A-ASSOCIATE-RJ's result, source and reason and for an A-ABORT's source and
// reason, as they go into the log and the failure reason.
#pragma once

#include <cstdint>
#include <string>

namespace pella {

// A-ASSOCIATE-RJ reasons sent by this system: source 1 (service user) for what the request
// says, source 3 (service provider, presentation) for the server's own limit.
namespace reject_reason {
constexpr uint8_t kNoReasonGiven = 1;
constexpr uint8_t kApplicationContextNotSupported = 2;
constexpr uint8_t kCallingAETitleNotRecognized = 3;
constexpr uint8_t kCalledAETitleNotRecognized = 7;
constexpr uint8_t kLocalLimitExceeded = 2;  // with source 3
}  // namespace reject_reason

// An A-ASSOCIATE-RJ's result, source and reason.
struct Rejection {
    uint8_t result = 1;  // 1 permanent, 2 transient
    uint8_t source = 1;  // 1 service user, 2 provider (ACSE), 3 provider (presentation)
    uint8_t reason = reject_reason::kNoReasonGiven;
};

// Too many associations at once: transient, service provider (presentation), local limit.
constexpr Rejection kOverLimitRejection{2, 3, reject_reason::kLocalLimitExceeded};

// "result 1 (permanent), source 1 (service user), reason 7 (called AE title not recognized)"
std::string RejectText(uint8_t result, uint8_t source, uint8_t reason);

// "source 2 (service provider), reason 1 (unrecognized PDU)"
std::string AbortText(uint8_t source, uint8_t reason);

// The meaning of a presentation-context result of an A-ASSOCIATE-AC.
std::string ContextResultText(uint8_t result);

}  // namespace pella
