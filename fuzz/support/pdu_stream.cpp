#include "support/pdu_stream.h"

#include <cstdlib>

#include "net/acse/acceptor.h"
#include "net/pdu/pdu_control.h"
#include "net/pdu/pdu_records.h"
#include "services/storage/serving_policy.h"

using namespace pella;

namespace pella_fuzz {

namespace {

// The values of one P-DATA-TF, each fragment read and dropped.
bool ReadPData(PduBuffer& buffer) {
    uint32_t pending = 0;
    if (!ReadPDataLength(buffer, pending)) return false;
    while (pending > 0) {
        PdvHeader header;
        if (!ReadPdvHeader(buffer, pending, header)) return false;
        if (!buffer.Skip(header.FragmentLength())) return false;
    }
    return true;
}

bool Offered(const PresentationContextRQ& proposed, const std::string& syntax) {
    for (const auto& offered : proposed.transferSyntaxes)
        if (offered.text == syntax) return true;
    return false;
}

// The answer the acceptor sent, read as its peer would.
void ExpectAnswerReadsBack(FedPdu& fed) {
    std::vector<uint8_t> sent = fed.TakeSent();
    if (sent.empty()) return;  // nothing could be sent
    PDU reader(1);
    reader.buffer.SetReadOrder(kBigEndian);
    reader.buffer.AppendInput(sent.data(), sent.size());
    AssociateAC answer;
    const auto& proposed = fed.pdu.request.presentationContexts;
    if (!answer.ReadWithType(reader.buffer) || reader.buffer.InputAvailable() != 0 ||
        answer.presentationContexts.size() != proposed.size())
        std::abort();
    for (std::size_t i = 0; i < proposed.size(); ++i) {
        const auto& decided = answer.presentationContexts[i];
        if (decided.contextID != proposed[i].contextID) std::abort();
        if (decided.result == 0 && !Offered(proposed[i], decided.transferSyntax.text)) std::abort();
    }
}

bool ReadAsAcceptor(FedPdu& fed, uint8_t type) {
    PDU& pdu = fed.pdu;
    switch (type) {
        case pdu_type::kAssociateRQ:
            if (!pdu.request.Read(pdu.buffer)) return false;
            pdu.ulState = UlState::kSta3;  // the request is read: the answer is due
            BuildAccept(pdu, AcceptorPolicy{"PELLA", false, StorageServingPolicy(true), {}, false, nullptr});
            ExpectAnswerReadsBack(fed);
            return true;
        case pdu_type::kPDataTF:
            return ReadPData(pdu.buffer);
        case pdu_type::kReleaseRQ:
            return pdu.releaseRequest.Read(pdu.buffer);
        default:
            return false;  // an abort ends the association; anything else is refused
    }
}

bool ReadAsRequestor(PDU& pdu, uint8_t type) {
    switch (type) {
        case pdu_type::kAssociateAC:
            if (!pdu.accept.Read(pdu.buffer)) return false;
            pdu.acceptedContexts.clear();
            for (const auto& context : pdu.accept.presentationContexts)
                if (context.result == 0) pdu.acceptedContexts.push_back(context);
            return true;
        case pdu_type::kAssociateRJ:
            return pdu.reject.Read(pdu.buffer);
        case pdu_type::kPDataTF:
            return ReadPData(pdu.buffer);
        case pdu_type::kReleaseRQ:
            return pdu.releaseRequest.Read(pdu.buffer);
        case pdu_type::kReleaseRP:
            return pdu.releaseReply.Read(pdu.buffer);
        default:
            return false;
    }
}

}  // namespace

int ReadPduStream(FedPdu& fed, Role role) {
    int whole = 0;
    uint8_t type = 0;
    while (fed.pdu.buffer.ReadU8(type)) {
        bool ok = role == Role::kAcceptor ? ReadAsAcceptor(fed, type) : ReadAsRequestor(fed.pdu, type);
        if (!ok) break;
        ++whole;
    }
    return whole;
}

}  // namespace pella_fuzz
