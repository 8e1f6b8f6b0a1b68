// Negotiation as a pure function: requests given as bytes, a policy given as data, each
// context's answer checked field by field.
#include "net/acse/negotiation.h"
#include "net/acse/negotiated_roles.h"

#include <gtest/gtest.h>

#include <map>

#include "net/pdu/pdu_records.h"
#include "net/pdu/pdu_test_data.h"
#include "support/pdu_pipe.h"

using namespace pella;
using Bytes = std::vector<uint8_t>;

namespace {

const std::string kCt = "1.2.840.10008.5.1.4.1.1.2";
const std::string kMr = "1.2.840.10008.5.1.4.1.1.4";
const std::string kRt = "1.2.840.10008.5.1.4.1.1.481.1";
const std::string kImplicit = "1.2.840.10008.1.2";
const std::string kExplicit = "1.2.840.10008.1.2.1";
const std::string kBig = "1.2.840.10008.1.2.2";
const std::string kLossless = "1.2.840.10008.1.2.4.70";

// CT prefers lossless, then explicit, then implicit; MR takes implicit only.
ServingPolicy TablePolicy() {
    static const std::map<std::string, std::vector<std::string>> table = {
        {kCt, {kLossless, kExplicit, kImplicit}},
        {kMr, {kImplicit}},
    };
    ServingPolicy policy;
    policy.transferSyntaxesFor = [](const std::string& abstract) {
        auto found = table.find(abstract);
        return found == table.end() ? std::vector<std::string>{} : found->second;
    };
    return policy;
}

// The proposed contexts of an A-ASSOCIATE-RQ, read from its bytes.
std::vector<PresentationContextRQ> Proposed(const std::vector<Bytes>& contexts) {
    std::vector<Bytes> items = contexts;
    items.push_back(pdu_test::UserInfo());
    testing_support::PduPipe pipe;
    pipe.Feed(pdu_test::Associate(0x01, "PELLA", "PEER", items));
    pipe.EndFeed();
    AssociateRQ request;
    EXPECT_TRUE(request.ReadWithType(pipe.buffer));
    return request.presentationContexts;
}

struct Expected {
    uint8_t id;
    uint8_t result;
    std::string abstractSyntax;
    std::string transferSyntax;
};

}  // namespace

TEST(Negotiation, EachProposedContextGetsItsAnswerInOrder) {
    using pdu_test::ProposedContext;
    struct Case {
        const char* what;
        std::vector<Bytes> proposed;
        std::vector<Expected> expected;
    };
    const Case cases[] = {
        {"the policy's preference wins over the offer's order",
         {ProposedContext(1, kCt, {kImplicit, kExplicit, kLossless})},
         {{1, 0, kCt, kLossless}}},
        {"explicit before implicit when both are offered",
         {ProposedContext(1, kCt, {kImplicit, kExplicit})},
         {{1, 0, kCt, kExplicit}}},
        {"no offered syntax is accepted: 4", {ProposedContext(1, kCt, {kBig})}, {{1, 4, kCt, ""}}},
        {"abstract syntax not served: 3", {ProposedContext(1, kRt, {kImplicit})}, {{1, 3, "", ""}}},
        {"texts compare exactly (a trailing space is another UID)",
         {ProposedContext(1, kCt + " ", {kImplicit}), ProposedContext(3, kMr, {kImplicit + " "})},
         {{1, 3, "", ""}, {3, 4, kMr, ""}}},
        {"contexts of one class decided on their own, IDs and order kept",
         {ProposedContext(7, kMr, {kExplicit}), ProposedContext(3, kMr, {kImplicit}),
          ProposedContext(5, kRt, {kImplicit}), ProposedContext(1, kCt, {kExplicit})},
         {{7, 4, kMr, ""}, {3, 0, kMr, kImplicit}, {5, 3, "", ""}, {1, 0, kCt, kExplicit}}},
        {"a context offering no transfer syntax", {ProposedContext(1, kCt, {})}, {{1, 4, kCt, ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::vector<ContextDecision> decisions = NegotiateContexts(Proposed(c.proposed), TablePolicy());
        ASSERT_EQ(decisions.size(), c.expected.size());
        for (std::size_t i = 0; i < decisions.size(); ++i) {
            EXPECT_EQ(decisions[i].contextID, c.expected[i].id) << i;
            EXPECT_EQ(decisions[i].result, c.expected[i].result) << i;
            EXPECT_EQ(decisions[i].Accepted(), c.expected[i].result == 0) << i;
            EXPECT_EQ(decisions[i].abstractSyntax, c.expected[i].abstractSyntax) << i;
            EXPECT_EQ(decisions[i].transferSyntax, c.expected[i].transferSyntax) << i;
        }
    }
}

TEST(Negotiation, APolicyThatServesNothingRefusesEverything) {
    std::vector<PresentationContextRQ> proposed = Proposed({pdu_test::ProposedContext(1, kCt, {kImplicit})});
    for (const ServingPolicy& policy :
         {ServingPolicy{},
          ServingPolicy{[](const std::string&) { return std::vector<std::string>{}; }, {}, {}}}) {
        std::vector<ContextDecision> decisions = NegotiateContexts(proposed, policy);
        ASSERT_EQ(decisions.size(), 1u);
        EXPECT_EQ(decisions[0].result, context_result::kAbstractSyntaxNotSupported);
    }
    EXPECT_TRUE(NegotiateContexts({}, TablePolicy()).empty());
}

// A served class refused to this requestor gets result 1 (user rejection) whatever it offers; an
// unserved one stays 3, and the others are decided as ever.
TEST(Negotiation, AClassRefusedToTheRequestorIsAUserRejection) {
    using pdu_test::ProposedContext;
    ServingPolicy policy = TablePolicy();
    policy.refusedFor = [](const std::string& abstract) { return abstract == kCt || abstract == kRt; };
    std::vector<ContextDecision> decisions = NegotiateContexts(
        Proposed({ProposedContext(1, kCt, {kExplicit}), ProposedContext(3, kRt, {kImplicit}),
                  ProposedContext(5, kMr, {kImplicit})}),
        policy);
    ASSERT_EQ(decisions.size(), 3u);
    EXPECT_EQ(decisions[0].result, context_result::kUserRejection);
    EXPECT_EQ(decisions[0].transferSyntax, "");
    EXPECT_EQ(decisions[1].result, context_result::kAbstractSyntaxNotSupported);
    EXPECT_EQ(decisions[2].result, context_result::kAcceptance);
}

// Role selection: each proposed item whose class has an accepted context is answered once; the
// requestor keeps the user role it proposed and gets the provider role only where the policy
// acts as user; RolesFor combines proposal and answer, with the defaults where either is missing.
TEST(Negotiation, RoleSelectionAnswersAndTheRolesTheyGive) {
    ServingPolicy policy = TablePolicy();
    policy.actsAsUserFor = [](const std::string& abstract) { return abstract == kCt; };
    std::vector<ContextDecision> decisions(3);
    decisions[0] = {1, context_result::kAcceptance, kCt, kExplicit};
    decisions[1] = {3, context_result::kAcceptance, kMr, kImplicit};
    decisions[2] = {5, context_result::kAbstractSyntaxNotSupported, "", ""};
    const std::vector<RoleSelection> proposed = {
        {kCt, 0, 1},  // provider only, granted
        {kMr, 1, 1},  // both, the provider role refused by the policy
        {kRt, 0, 1},  // no accepted context: not answered
        {kCt, 1, 0},  // a second item for CT: not answered
    };
    std::vector<RoleSelection> answers = NegotiateRoles(proposed, decisions, policy);
    ASSERT_EQ(answers.size(), 2u);
    EXPECT_EQ(answers[0], (RoleSelection{kCt, 0, 1}));
    EXPECT_EQ(answers[1], (RoleSelection{kMr, 1, 0}));
    // Without a policy for the user role nothing is granted but the user role.
    ServingPolicy plain = TablePolicy();
    EXPECT_EQ(NegotiateRoles(proposed, decisions, plain)[0], (RoleSelection{kCt, 0, 0}));

    AssociateRQ request;
    request.userInformation.roles = proposed;
    AssociateAC accept;
    accept.userInformation.roles = answers;
    const struct {
        std::string sopClass;
        bool user, provider;
    } cases[] = {
        {kCt, false, true},      // proposed provider only and granted
        {kMr, true, false},      // the provider role refused
        {kRt, true, false},      // no answer: the default roles
        {"1.2.3", true, false},  // never proposed
    };
    for (const auto& c : cases) {
        NegotiatedRoles roles = RolesFor(request, accept, c.sopClass);
        EXPECT_EQ(roles.requestorIsUser, c.user) << c.sopClass;
        EXPECT_EQ(roles.requestorIsProvider, c.provider) << c.sopClass;
    }
    // An answer granting what was never proposed gives nothing beyond the proposal.
    accept.userInformation.roles = {{kCt, 1, 1}};
    request.userInformation.roles = {{kCt, 0, 1}};
    EXPECT_FALSE(RolesFor(request, accept, kCt).requestorIsUser);
}
