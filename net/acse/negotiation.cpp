#include "net/acse/negotiation.h"

namespace pella {

namespace {

bool Offers(const PresentationContextRQ& proposed, const std::string& syntax) {
    for (const auto& offered : proposed.transferSyntaxes)
        if (offered.text == syntax) return true;
    return false;
}

ContextDecision Decide(const PresentationContextRQ& proposed, const ServingPolicy& policy) {
    ContextDecision decision;
    decision.contextID = proposed.contextID;
    const std::string& abstract = proposed.abstractSyntax.text;
    std::vector<std::string> preference;
    if (policy.transferSyntaxesFor && !abstract.empty()) preference = policy.transferSyntaxesFor(abstract);
    if (preference.empty()) return decision;
    decision.abstractSyntax = abstract;
    if (policy.refusedFor && policy.refusedFor(abstract)) {
        decision.result = context_result::kUserRejection;
        return decision;
    }
    decision.result = context_result::kTransferSyntaxesNotSupported;
    for (const std::string& syntax : preference) {
        if (!Offers(proposed, syntax)) continue;
        decision.result = context_result::kAcceptance;
        decision.transferSyntax = syntax;
        break;
    }
    return decision;
}

bool HasAcceptedContext(const std::vector<ContextDecision>& decisions, const std::string& abstractSyntax) {
    for (const ContextDecision& decision : decisions)
        if (decision.Accepted() && decision.abstractSyntax == abstractSyntax) return true;
    return false;
}

}  // namespace

std::vector<RoleSelection> NegotiateRoles(const std::vector<RoleSelection>& proposed,
                                          const std::vector<ContextDecision>& decisions,
                                          const ServingPolicy& policy) {
    std::vector<RoleSelection> answers;
    for (const RoleSelection& item : proposed) {
        if (!HasAcceptedContext(decisions, item.sopClass)) continue;
        bool answered = false;
        for (const RoleSelection& answer : answers) answered = answered || answer.sopClass == item.sopClass;
        if (answered) continue;
        RoleSelection answer;
        answer.sopClass = item.sopClass;
        answer.scuRole = item.scuRole != 0 ? 1 : 0;
        answer.scpRole =
            item.scpRole != 0 && policy.actsAsUserFor && policy.actsAsUserFor(item.sopClass) ? 1 : 0;
        answers.push_back(std::move(answer));
    }
    return answers;
}

std::vector<ContextDecision> NegotiateContexts(const std::vector<PresentationContextRQ>& proposed,
                                               const ServingPolicy& policy) {
    std::vector<ContextDecision> decisions;
    decisions.reserve(proposed.size());
    for (const PresentationContextRQ& context : proposed) decisions.push_back(Decide(context, policy));
    return decisions;
}

}  // namespace pella
