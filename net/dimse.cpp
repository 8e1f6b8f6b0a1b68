#include "net/dimse.h"

#include <algorithm>
#include <array>

#include "data/io/dataset_reader.h"
#include "data/io/dataset_writer.h"
#include "data/dictionary/dictionary.h"
#include "data/io/element_header.h"
#include "data/dump/element_dump.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

// P-DATA-TF PDUs gathered before a send.
constexpr std::size_t kSendBatch = 64 * 1024;
constexpr const char* kGrayscalePrintMeta = "1.2.840.10008.5.1.1.9";
constexpr const char* kColorPrintMeta = "1.2.840.10008.5.1.1.18";

bool IsGrayscalePrintClass(const std::string& uid) {
    return uid == "1.2.840.10008.5.1.1.16" || uid == "1.2.840.10008.5.1.1.1" ||
           uid == "1.2.840.10008.5.1.1.2" || uid == "1.2.840.10008.5.1.1.4";
}

bool IsColorPrintClass(const std::string& uid) {
    return uid == "1.2.840.10008.5.1.1.16" || uid == "1.2.840.10008.5.1.1.1" ||
           uid == "1.2.840.10008.5.1.1.2" || uid == "1.2.840.10008.5.1.1.4.1";
}

std::string Trimmed(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

void LogDirection(const PDU& pdu, const char* arrow) {
    WriteLogLine(Trimmed(pdu.accept.callingAETitle) + " " + arrow + " " +
                 Trimmed(pdu.accept.calledAETitle));
}

// The encoding of a unit on a context: false when it cannot be sent or read there.
bool ContextEncoding(const PDU& pdu, uint8_t contextID, bool& explicitVR) {
    std::string syntax;
    if (!FindAcceptedSyntax(pdu, contextID, syntax)) {
        LogFailure("No accepted presentation context " + std::to_string(contextID));
        return false;
    }
    if (syntax == kExplicitBigEndian) {
        // Data sets are held little endian; sending them under a big-endian name would
        // corrupt them.
        LogFailure("Explicit VR big endian is not supported on the network");
        return false;
    }
    explicitVR = syntax != kImplicitLittleEndian;
    return true;
}

bool EncodeUnit(PDU& pdu, const ElementList& list, bool explicitVR) {
    try {
        pdu.data.staging.resize(static_cast<std::size_t>(EncodedListLength(list, explicitVR)));
        if (SerializeElements(list, pdu.data.staging.data(), pdu.data.staging.size(), explicitVR,
                              false) < 0)
            throw std::runtime_error("element list does not fit its encoded length");
    } catch (const std::exception& error) {
        LogFailure(std::string("Message could not be encoded: ") + error.what());
        return false;
    }
    if (pdu.dumpFlag) {
        LogDirection(pdu, ">>");
        for (const auto& e : list) DumpElement(*e, explicitVR, 1);
        WriteLogLine("");
    }
    return true;
}

bool SendFragments(PDU& pdu, uint8_t contextID) {
    const ByteVector& unit = pdu.data.staging;
    // Each fragment is one P-DATA-TF; a batch of them leaves in one gathered send, straight
    // from the staged unit (no copy into the output buffer).
    constexpr std::size_t kPerBatch = kSendBatch / kMaxFragment + 1;
    std::array<std::array<uint8_t, kPDataHeaderLength>, kPerBatch> headers;
    std::array<iovec, 2 * kPerBatch> pieces;
    std::size_t sent = 0;
    if (!pdu.buffer.Flush()) return false;
    while (sent < unit.size()) {
        std::size_t count = 0;
        while (count < kPerBatch && sent < unit.size()) {
            std::size_t n = std::min(kMaxFragment, unit.size() - sent);
            bool last = sent + n == unit.size();
            uint8_t control = static_cast<uint8_t>((pdu.data.sendControl & kPdvCommand) |
                                                   (last ? kPdvLastFragment : 0));
            if (!EncodePDataHeader(headers[count].data(), contextID, control, static_cast<uint32_t>(n)))
                return false;
            pieces[2 * count] = {headers[count].data(), kPDataHeaderLength};
            pieces[2 * count + 1] = {const_cast<uint8_t*>(unit.data() + sent), n};
            sent += n;
            ++count;
        }
        if (!pdu.buffer.Transport().SendPieces(pieces.data(), 2 * count)) {
            LogFailure("P-DATA-TF could not be sent");
            return false;
        }
    }
    return true;
}

bool Abort(PDU& pdu, const std::string& reason) {
    LogFailure(reason + ": association aborted");
    AbortAssociation(pdu);
    return false;
}

// Reads values of the current P-DATA-TF (and further ones) until a unit is complete.
bool ReceiveUnit(PDU& pdu) {
    PDataRecord& data = pdu.data;
    data.complete = false;
    data.staging.clear();
    while (!data.complete) {
        if (data.pendingLength == 0) {
            uint8_t type = 0;
            if (!pdu.buffer.ReadU8(type)) {
                LogFailure("Connection lost while a message was awaited");
                return false;
            }
            switch (type) {
                case pdu_type::kPDataTF:
                    if (!ReadPDataLength(pdu.buffer, data.pendingLength))
                        return Abort(pdu, "Malformed P-DATA-TF");
                    continue;
                case pdu_type::kReleaseRQ:
                    // The normal end of an association for a server; a failure for a requestor
                    // awaiting a response, which then reads this reason.
                    NoteFailure("The peer released the association (A-RELEASE-RQ)");
                    LogProgress("A-RELEASE-RQ received: association released");
                    if (pdu.releaseRequest.Read(pdu.buffer)) pdu.releaseReply.Write(pdu.buffer);
                    return false;
                case pdu_type::kReleaseRP:
                case pdu_type::kAbort:
                    LogFailure(type == pdu_type::kAbort ? "A-ABORT received" : "A-RELEASE-RP received");
                    pdu.buffer.Transport().Close();
                    return false;
                default:
                    return Abort(pdu, "Unexpected PDU type " + std::to_string(type));
            }
        }
        PdvHeader header;
        if (!ReadPdvHeader(pdu.buffer, data.pendingLength, header))
            return Abort(pdu, "Malformed presentation data value");
        std::size_t fragment = header.FragmentLength();
        std::size_t limit = header.IsCommand() ? kMaxReceivedCommand : data.dataSetLimit;
        if (data.staging.size() + fragment > limit)
            return Abort(pdu, "Message larger than " + std::to_string(limit) + " bytes");
        std::size_t before = data.staging.size();
        data.staging.resize(before + fragment);
        if (!pdu.buffer.ReadBytes(data.staging.data() + before, fragment)) {
            LogFailure("Connection lost in the middle of a message");
            return false;
        }
        data.receivedControl = header.control;
        if (header.IsLast()) {
            data.complete = true;
            data.messageContextID = header.contextID;
        }
    }
    return true;
}

bool DecodeUnit(PDU& pdu, ElementList& list) {
    bool explicitVR = false;
    if (!ContextEncoding(pdu, pdu.data.messageContextID, explicitVR)) return false;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    state.implicitCommandGroup = true;
    std::size_t first = list.size();
    bool ok = ReadDatasetBytes(pdu.data.staging.data(), pdu.data.staging.size(), state, list);
    for (std::size_t i = first; i < list.size(); ++i) {
        DataElement& e = list[i];
        if (e.vr[0] == '\0') LookupVR(e);
    }
    if (pdu.dumpFlag) {
        LogDirection(pdu, "<<");
        for (std::size_t i = first; i < list.size(); ++i) DumpElement(list[i], explicitVR, 1);
        WriteLogLine("");
    }
    pdu.data.staging.clear();
    return ok;
}

}  // namespace

uint8_t FindContextID(const PDU& pdu, const std::string& sopClassUid) {
    uint8_t result = 0;
    for (const auto& context : pdu.request.presentationContexts) {
        const std::string& abstract = context.abstractSyntax.text;
        if (abstract == kGrayscalePrintMeta && IsGrayscalePrintClass(sopClassUid)) {
            result = context.contextID;
        } else if (abstract == kColorPrintMeta) {
            if (IsColorPrintClass(sopClassUid)) result = context.contextID;
        } else if (abstract == sopClassUid) {
            return context.contextID;
        }
    }
    return result;
}

bool FindAcceptedSyntax(const PDU& pdu, uint8_t contextID, std::string& syntax) {
    for (const auto& context : pdu.acceptedContexts) {
        if (context.contextID != contextID) continue;
        syntax = context.transferSyntax.text;
        return true;
    }
    return false;
}

uint8_t AcceptedContextFor(const PDU& pdu, const std::string& sopClassUid, std::string& syntax) {
    uint8_t id = FindContextID(pdu, sopClassUid);
    if (id == 0) {
        LogFailure("No presentation context proposed for " + sopClassUid);
        return 0;
    }
    if (!FindAcceptedSyntax(pdu, id, syntax)) {
        LogFailure("The presentation context for " + sopClassUid + " was not accepted");
        return 0;
    }
    return id;
}

bool SendMessage(PDU& pdu, const ElementList& list, const std::string& sopClassUid, int kind) {
    std::string acceptedSyntax;
    uint8_t id = AcceptedContextFor(pdu, sopClassUid, acceptedSyntax);
    if (id == 0) return false;
    bool explicitVR = false;
    if (kind != kCommandSet && !ContextEncoding(pdu, id, explicitVR)) return false;
    if (!EncodeUnit(pdu, list, explicitVR)) return false;
    pdu.data.messageContextID = id;
    pdu.data.sendControl = static_cast<uint8_t>(kind == kCommandSet ? kPdvCommand : 0);
    bool sent = SendFragments(pdu, id);
    pdu.data.staging.clear();
    return sent;
}

bool ReadMessage(PDU& pdu, ElementList& list) {
    if (!pdu.IsConnected()) return false;
    if (!ReceiveUnit(pdu)) return false;
    if (!DecodeUnit(pdu, list)) return Abort(pdu, "Message could not be decoded");
    return true;
}

}  // namespace pella
