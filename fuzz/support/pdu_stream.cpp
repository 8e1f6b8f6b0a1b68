#include "support/pdu_stream.h"

#include "net/acceptor.h"
#include "net/pdu_control.h"
#include "net/pdu_records.h"

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

bool ReadAsAcceptor(PDU& pdu, uint8_t type) {
    switch (type) {
        case pdu_type::kAssociateRQ:
            if (!pdu.request.Read(pdu.buffer)) return false;
            BuildAccept(pdu);
            return true;
        case pdu_type::kPDataTF: return ReadPData(pdu.buffer);
        case pdu_type::kReleaseRQ: return pdu.releaseRequest.Read(pdu.buffer);
        default: return false;  // an abort ends the association; anything else is refused
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
        case pdu_type::kAssociateRJ: return pdu.reject.Read(pdu.buffer);
        case pdu_type::kPDataTF: return ReadPData(pdu.buffer);
        case pdu_type::kReleaseRQ: return pdu.releaseRequest.Read(pdu.buffer);
        case pdu_type::kReleaseRP: return pdu.releaseReply.Read(pdu.buffer);
        default: return false;
    }
}

}  // namespace

void FeedInput(PDU& pdu, const uint8_t* data, std::size_t size) {
    pdu.buffer.SetReadOrder(kBigEndian);
    pdu.buffer.SetWriteOrder(kBigEndian);
    pdu.buffer.AppendInput(data, size);
}

int ReadPduStream(PDU& pdu, Role role) {
    int whole = 0;
    uint8_t type = 0;
    while (pdu.buffer.ReadU8(type)) {
        bool ok = role == Role::kAcceptor ? ReadAsAcceptor(pdu, type) : ReadAsRequestor(pdu, type);
        if (!ok) break;
        ++whole;
    }
    return whole;
}

}  // namespace pella_fuzz
