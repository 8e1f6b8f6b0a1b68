// DIMSE message reassembly and command decoding, as an association that has accepted four
// contexts meets a stream of P-DATA-TF (and release or abort) PDUs: each unit is reassembled
// from its fragments, decoded in its context's syntax and dumped; a command announcing a data
// set is followed by reading that data set.
#include <cstddef>
#include <cstdint>

#include "data/convert/conversion_syntax.h"
#include "data/io/element_header.h"
#include "net/dimse/command_set.h"
#include "net/dimse/dimse.h"
#include "net/pdu/pdu_control.h"
#include "support/fed_pdu.h"

using namespace pella;

namespace {

// More would only repeat what the fuzzer already covers; keeps one input's run short.
constexpr int kMaxMessages = 64;

void Accept(PDU& pdu, uint8_t id, const char* abstractSyntax, const char* syntax) {
    PresentationContextRQ proposed;
    proposed.contextID = id;
    proposed.SetAbstractSyntax(abstractSyntax);
    proposed.AddTransferSyntax(syntax);
    pdu.request.presentationContexts.push_back(proposed);
    PresentationContextAC accepted;
    accepted.contextID = id;
    accepted.SetAbstractSyntax(abstractSyntax);
    accepted.SetTransferSyntax(syntax);
    pdu.acceptedContexts.push_back(accepted);
}

// The fields the services read from a command set.
void DecodeCommand(const ElementList& command) {
    GetElementUS(command, 0x0000, kTagCommandField);
    GetElementUS(command, 0x0000, kTagMessageID);
    GetElementUS(command, 0x0000, kTagMessageIDRespondedTo);
    GetElementUS(command, 0x0000, kTagStatus);
    GetElementUS(command, 0x0000, kTagPriority);
    for (uint16_t tag : {kTagAffectedSopClass, kTagAffectedSopInstance, kTagRequestedSopClass,
                         kTagRequestedSopInstance, kTagMoveDestination}) {
        const DataElement* e = FindElement(command, 0x0000, tag);
        if (e != nullptr) UidText(e->value, e->length);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    pella_fuzz::FedPdu fed(data, size);
    PDU& pdu = fed.pdu;
    pdu.dumpFlag = true;
    pdu.ulState = UlState::kSta6;  // an established association
    Accept(pdu, 1, "1.2.840.10008.1.1", kImplicitLittleEndian);
    Accept(pdu, 3, "1.2.840.10008.5.1.4.1.1.2", kExplicitLittleEndian);
    Accept(pdu, 5, "1.2.840.10008.5.1.4.1.1.7", kJpegLossless);
    Accept(pdu, 7, "1.2.840.10008.5.1.4.1.1.4", kExplicitBigEndian);
    for (int i = 0; i < kMaxMessages; ++i) {
        ElementList command;
        if (!ReadMessage(pdu, command)) break;
        if ((pdu.data.receivedControl & kPdvCommand) == 0) continue;
        DecodeCommand(command);
        if (GetElementUS(command, 0x0000, kTagDataSetType) == kNoDataSet) continue;
        ElementList dataSet;
        if (!ReadMessage(pdu, dataSet)) break;
    }
    return 0;
}
