#include "net/acse/upper_layer.h"

#include "log/protocol_log.h"
#include "net/acse/association_failures.h"

namespace pella {

namespace {

void CloseConnection(PDU& pdu) {
    pdu.buffer.Transport().Close();
    pdu.buffer.Clear();
    pdu.data.pendingLength = 0;
}

void SendAbort(PDU& pdu, uint8_t source, uint8_t reason) {
    pdu.abort = AbortPDU();
    pdu.abort.source = source;
    pdu.abort.reason = reason;
    LogProgress("A-ABORT sent: " + AbortText(source, reason));
    pdu.abort.Write(pdu.buffer);
}

void ReadReceivedAbort(PDU& pdu) {
    bool read = pdu.abort.Read(pdu.buffer);
    LogFailure("A-ABORT received: " +
               (read ? AbortText(pdu.abort.source, pdu.abort.reason) : std::string("malformed")));
}

uint8_t DefaultAbortReason(UlEvent event) {
    return event == UlEvent::kEvt19 ? abort_reason::kUnrecognizedPdu : abort_reason::kUnexpectedPdu;
}

// This layer's part of an action (see Fire).
void Perform(PDU& pdu, UlAction action, UlEvent event, std::optional<uint8_t> reason) {
    switch (action) {
        case UlAction::kAA1:
            SendAbort(pdu, abort_source::kServiceUser, abort_reason::kNotSpecified);
            break;
        case UlAction::kAA7:
        case UlAction::kAA8:
            SendAbort(pdu, abort_source::kServiceProvider, reason.value_or(DefaultAbortReason(event)));
            break;
        case UlAction::kAA3:
            ReadReceivedAbort(pdu);
            CloseConnection(pdu);
            break;
        case UlAction::kAR1:
            pdu.releaseRequest = ReleaseRQ();
            pdu.releaseRequest.Write(pdu.buffer);
            break;
        case UlAction::kAR4:
        case UlAction::kAR9:
            pdu.releaseReply = ReleaseRP();
            pdu.releaseReply.Write(pdu.buffer);
            break;
        case UlAction::kAE4:
        case UlAction::kAR3:
        case UlAction::kAR5:
        case UlAction::kAA2:
        case UlAction::kAA4:
        case UlAction::kAA5:
            CloseConnection(pdu);
            break;
        default:
            break;  // the caller's part
    }
}

// Actions after which the caller takes the received PDU: its body is read first.
bool TakesBody(UlAction action) {
    switch (action) {
        case UlAction::kAE3:
        case UlAction::kAE4:
        case UlAction::kAE6:
        case UlAction::kDT2:
        case UlAction::kAR2:
        case UlAction::kAR3:
        case UlAction::kAR6:
        case UlAction::kAR8:
        case UlAction::kAR10:
            return true;
        default:
            return false;
    }
}

bool ReadBody(PDU& pdu, uint8_t type) {
    switch (type) {
        case pdu_type::kAssociateRQ:
            return pdu.request.Read(pdu.buffer);
        case pdu_type::kAssociateAC:
            return pdu.accept.Read(pdu.buffer);
        case pdu_type::kAssociateRJ:
            return pdu.reject.Read(pdu.buffer);
        case pdu_type::kPDataTF:
            return ReadPDataLength(pdu.buffer, pdu.data.pendingLength);
        case pdu_type::kReleaseRQ:
            return pdu.releaseRequest.Read(pdu.buffer);
        case pdu_type::kReleaseRP:
            return pdu.releaseReply.Read(pdu.buffer);
        default:
            return false;
    }
}

const char* PduName(uint8_t type) {
    switch (type) {
        case pdu_type::kAssociateRQ:
            return "A-ASSOCIATE-RQ";
        case pdu_type::kAssociateAC:
            return "A-ASSOCIATE-AC";
        case pdu_type::kAssociateRJ:
            return "A-ASSOCIATE-RJ";
        case pdu_type::kPDataTF:
            return "P-DATA-TF";
        case pdu_type::kReleaseRQ:
            return "A-RELEASE-RQ";
        case pdu_type::kReleaseRP:
            return "A-RELEASE-RP";
        default:
            return "PDU";
    }
}

std::string UnexpectedText(UlEvent event, uint8_t type) {
    return std::string(event == UlEvent::kEvt19 ? "Unrecognized" : "Unexpected") + " PDU type " +
           std::to_string(type);
}

}  // namespace

UlAction Fire(PDU& pdu, UlEvent event, std::optional<uint8_t> reason, const std::string& why) {
    const UlState from = pdu.ulState;
    const UlAction action = TransitionAction(from, event);
    if (action == UlAction::kNone) {
        LogProgress(std::string(EventName(event)) + " is not expected in " + StateName(from) + ": ignored");
        return action;
    }
    pdu.ulState = NextState(action, from, pdu.requestor);
    if (!why.empty() && SendsAbort(action)) LogFailure(why + ": association aborted");
    Perform(pdu, action, event, reason);
    if (pdu.ulState == UlState::kSta13 && action != UlAction::kAE8) Fire(pdu, UlEvent::kEvt18);
    return action;
}

UlAction ReceivePdu(PDU& pdu, uint8_t& type) {
    type = 0;
    // The wait for a PDU is bounded by the time-out; once its first byte is in, the whole PDU
    // (a P-DATA-TF's values too, which the caller reads) must arrive within the time-out.
    TcpTransport& transport = pdu.buffer.Transport();
    transport.EndUnit();
    if (!pdu.buffer.ReadU8(type)) {
        type = 0;
        return Fire(pdu, UlEvent::kEvt17);
    }
    transport.BeginUnit();
    UlEvent event = EventForPduType(type);
    UlAction expected = TransitionAction(pdu.ulState, event);
    if (TakesBody(expected) && !ReadBody(pdu, type)) {
        if (!pdu.IsConnected()) return Fire(pdu, UlEvent::kEvt17);
        return Fire(pdu, UlEvent::kEvt19, abort_reason::kInvalidParameterValue,
                    std::string("Malformed ") + PduName(type));
    }
    return Fire(pdu, event, std::nullopt, TakesBody(expected) ? "" : UnexpectedText(event, type));
}

}  // namespace pella
