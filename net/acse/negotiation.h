// Presentation-context negotiation as a pure function: the contexts a requestor proposed and
// the acceptor's serving policy give the answer to each context. The policy comes from the
// service that serves (which abstract syntaxes, which transfer syntaxes in which preference).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "net/pdu/pdu_items.h"

namespace pella {

// Results of a presentation context in an A-ASSOCIATE-AC.
namespace context_result {
constexpr uint8_t kAcceptance = 0;
constexpr uint8_t kUserRejection = 1;
constexpr uint8_t kAbstractSyntaxNotSupported = 3;
constexpr uint8_t kTransferSyntaxesNotSupported = 4;
}  // namespace context_result

struct ServingPolicy {
    // The transfer syntaxes accepted for an abstract syntax, best first; empty when the
    // abstract syntax is not served. Unset: nothing is served.
    std::function<std::vector<std::string>(const std::string& abstractSyntax)> transferSyntaxesFor;
    // Whether this side takes the user's role for an abstract syntax when the requestor asks to
    // be its provider (the stores of a retrieve on the requesting association). Unset: never.
    std::function<bool(const std::string& abstractSyntax)> actsAsUserFor;
    // Whether a served abstract syntax is refused to this requestor (a service its peer entry
    // does not allow): answered with result 1, user rejection. Unset: none is.
    std::function<bool(const std::string& abstractSyntax)> refusedFor;
};

// The answer to one proposed context.
struct ContextDecision {
    uint8_t contextID = 0;
    uint8_t result = context_result::kAbstractSyntaxNotSupported;
    std::string abstractSyntax;  // the proposed one when it is served, else empty
    std::string transferSyntax;  // the chosen one when accepted, else empty
    bool Accepted() const { return result == context_result::kAcceptance; }
};

// One decision per proposed context, in the proposed order, with the proposed context IDs.
// A context is accepted with the policy's most preferred transfer syntax among those offered
// (exact text); refused with result 3 when its abstract syntax is not served, 1 when it is served
// but refused to this requestor, and 4 when none of the offered transfer syntaxes is accepted. Each context
// is decided on its own.
std::vector<ContextDecision> NegotiateContexts(const std::vector<PresentationContextRQ>& proposed,
                                               const ServingPolicy& policy);

// The answers to the requestor's role selection items, one for each proposed item whose class
// has an accepted context (other items are not answered, which leaves the default roles): the
// requestor's user role as proposed, its provider role when proposed and the policy acts as user
// for the class. A second item for the same class is not answered.
std::vector<RoleSelection> NegotiateRoles(const std::vector<RoleSelection>& proposed,
                                          const std::vector<ContextDecision>& decisions,
                                          const ServingPolicy& policy);

}  // namespace pella
