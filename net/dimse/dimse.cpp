#include "net/dimse/dimse.h"

#include <algorithm>
#include <array>
#include <optional>

#include "data/dictionary/dictionary.h"
#include "data/dump/element_dump.h"
#include "data/io/byte_source.h"
#include "data/io/dataset_reader.h"
#include "data/io/deflater.h"
#include "data/io/element_header.h"
#include "data/io/inflater.h"
#include "data/io/list_encoder.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "net/acse/association_failures.h"
#include "net/acse/upper_layer.h"

namespace pella {

namespace {

// P-DATA-TF PDUs gathered into one send: up to this many bytes or PDUs.
constexpr std::size_t kSendBatchBytes = 256 * 1024;
constexpr std::size_t kSendBatchPdus = 64;
void LogDirection(const PDU& pdu, const char* arrow) {
    WriteLogLine(TrimmedTitle(pdu.accept.callingAETitle) + " " + arrow + " " +
                 TrimmedTitle(pdu.accept.calledAETitle));
}

struct UnitEncoding {
    bool explicitVR = false;
    bool bigEndian = false;
    bool deflated = false;  // data sets travel deflated (their elements explicit VR little endian)
};

// The encoding of a data set on a context: false when it cannot be sent or read there. Values
// stay in the byte order they were read in, so a big-endian data set travels on a big-endian
// context as it stands.
bool ContextEncoding(const PDU& pdu, uint8_t contextID, UnitEncoding& encoding) {
    std::string syntax;
    if (!FindAcceptedSyntax(pdu, contextID, syntax)) {
        LogFailure("No accepted presentation context " + std::to_string(contextID));
        return false;
    }
    TransferSyntax accepted(syntax);
    encoding.explicitVR = accepted.ExplicitVR();
    encoding.bigEndian = accepted.BigEndian();
    encoding.deflated = accepted.Deflated();
    return true;
}

// Writes the unit's elements to the log at message level.
void DumpUnit(const PDU& pdu, const ElementList& list, bool explicitVR) {
    if (!pdu.dumpFlag) return;
    LogDirection(pdu, ">>");
    for (const auto& e : list) DumpElement(*e, explicitVR, 1);
    WriteLogLine("");
}

// The bytes of the unit being sent, in order: the element list encoded a piece at a time and,
// for a data set sent from a file, the file's bytes after it. Only the piece being sent is held,
// whatever the unit's size; a unit deflated here (`deflated`) is held whole, compressed.
class UnitBytes {
public:
    UnitBytes(const ElementList& list, UnitEncoding encoding, const FileTail* tail,
              const ByteVector* deflated = nullptr)
        : encoder_(list, encoding.explicitVR, encoding.bigEndian),
          listSize_(deflated ? 0 : EncodedListLength(list, encoding.explicitVR)),
          tail_(deflated ? nullptr : tail),
          deflated_(deflated) {
        if (tail_ != nullptr) file_.emplace(tail_->file);
    }

    // A deflated tail of odd length (as some writers leave it) gains a zero byte: a unit is of
    // even length, and inflating stops at the end of the stream before it.
    uint64_t Size() const {
        if (deflated_ != nullptr) return deflated_->size();
        if (tail_ == nullptr) return listSize_;
        return listSize_ + tail_->length + (tail_->deflated && tail_->length % 2 != 0 ? 1 : 0);
    }

    // The next `count` bytes of the unit in one piece, valid until the next call; null, with
    // Failure() telling why, when they cannot be had.
    const uint8_t* Next(std::size_t count) {
        if (deflated_ != nullptr) {
            const uint8_t* piece = deflated_->data() + at_;
            at_ += count;
            return piece;
        }
        window_.resize(count);
        std::size_t fromList =
            at_ < listSize_ ? static_cast<std::size_t>(std::min<uint64_t>(count, listSize_ - at_)) : 0;
        if (fromList > 0 && encoder_.Next(window_.data(), fromList) != fromList) {
            failure_ = "The message's elements do not fill their encoded length";
            return nullptr;
        }
        std::size_t fromTail = count - fromList;
        std::size_t fromFile = fromTail;
        if (fromTail > 0) {
            uint64_t tailAt = at_ + fromList - listSize_;
            fromFile = static_cast<std::size_t>(std::min<uint64_t>(fromTail, tail_->length - tailAt));
            if (fromFile < fromTail) window_[count - 1] = 0;  // the pad byte
        }
        if (fromFile > 0) {
            uint64_t fileAt = tail_->offset + (at_ + fromList - listSize_);
            if (!file_->IsOpen() || !file_->Seek(fileAt) ||
                file_->Read(window_.data() + fromList, fromFile) != fromFile) {
                failure_ = "The file " + tail_->file + " ended or failed before its data set was sent";
                return nullptr;
            }
        }
        at_ += count;
        return window_.data();
    }

    const std::string& Failure() const { return failure_; }

private:
    ListEncoder encoder_;
    uint64_t listSize_;
    const FileTail* tail_;
    const ByteVector* deflated_;
    std::optional<FileSource> file_;
    uint64_t at_ = 0;
    ByteVector window_;
    std::string failure_;
};

// The data set deflated for a deflated context: the list encoded, then the tail's bytes, all
// through one deflate stream. False (logged) when the tail cannot be read.
bool DeflateUnit(const ElementList& list, const FileTail* tail, ByteVector& out) {
    out.clear();
    Deflater deflater([&out](const uint8_t* bytes, std::size_t size) {
        out.insert(out.end(), bytes, bytes + size);
        return true;
    });
    UnitBytes plain(list, UnitEncoding{true, false, false}, tail);
    for (uint64_t left = plain.Size(); left > 0;) {
        std::size_t n = static_cast<std::size_t>(std::min<uint64_t>(left, Deflater::kPieceSize));
        const uint8_t* piece = plain.Next(n);
        if (piece == nullptr) {
            LogFailure(plain.Failure());
            return false;
        }
        deflater.Add(piece, n);
        left -= n;
    }
    return deflater.Finish();
}

// Ends a unit that cannot be completed: part of it may have left, so the association is
// aborted.
bool AbortUnfinished(PDU& pdu, const std::string& why) {
    LogFailure(why + ": association aborted");
    AbortAssociation(pdu);
    return false;
}

bool SendFragments(PDU& pdu, uint8_t contextID, UnitBytes& unit) {
    // Each fragment is one P-DATA-TF of at most the peer's maximum length (one value, so the
    // fragment is 6 bytes shorter); a batch of them leaves in one gathered send, straight from
    // the batch the unit gave (no copy into the output buffer).
    const std::size_t fragmentLength = pdu.SendFragmentLength();
    const uint64_t size = unit.Size();
    std::array<std::array<uint8_t, kPDataHeaderLength>, kSendBatchPdus> headers;
    std::array<std::size_t, kSendBatchPdus> lengths;
    std::array<iovec, 2 * kSendBatchPdus> pieces;
    uint64_t sent = 0;
    if (!pdu.buffer.Flush()) return false;
    while (sent < size) {
        std::size_t count = 0, batchBytes = 0;
        while (count < kSendBatchPdus && batchBytes < kSendBatchBytes && sent + batchBytes < size) {
            lengths[count] =
                static_cast<std::size_t>(std::min<uint64_t>(fragmentLength, size - sent - batchBytes));
            batchBytes += lengths[count++];
        }
        const uint8_t* batch = unit.Next(batchBytes);
        if (batch == nullptr) return AbortUnfinished(pdu, unit.Failure());
        std::size_t within = 0;
        for (std::size_t i = 0; i < count; ++i) {
            bool last = sent + within + lengths[i] == size;
            uint8_t control =
                static_cast<uint8_t>((pdu.data.sendControl & kPdvCommand) | (last ? kPdvLastFragment : 0));
            if (!EncodePDataHeader(headers[i].data(), contextID, control, static_cast<uint32_t>(lengths[i])))
                return false;
            pieces[2 * i] = {headers[i].data(), kPDataHeaderLength};
            pieces[2 * i + 1] = {const_cast<uint8_t*>(batch + within), lengths[i]};
            within += lengths[i];
        }
        if (!pdu.buffer.Transport().SendPieces(pieces.data(), 2 * count)) {
            LogFailure("P-DATA-TF could not be sent: " + pdu.buffer.Transport().FailureText());
            return false;
        }
        sent += batchBytes;
    }
    return true;
}

// An abort this side decides (undecodable or mis-flagged message): source 0, reason 0.
bool Abort(PDU& pdu, const std::string& reason) {
    LogFailure(reason + ": association aborted");
    AbortAssociation(pdu);
    return false;
}

// An invalid PDU: source 2 with its reason.
bool AbortProtocol(PDU& pdu, uint8_t reason, const std::string& why) {
    Fire(pdu, UlEvent::kEvt19, reason, why);
    return false;
}

// The peer asks for release (AR-2). Between messages it is answered (A-RELEASE-RP, the
// connection closes); in the middle of a message (part of a unit, or a command whose data set
// has not come) the message could never complete: the association is aborted instead.
bool PeerReleases(PDU& pdu, bool midUnit) {
    if (midUnit || pdu.data.announcedDataSetContext != 0)
        return Abort(pdu, "A-RELEASE-RQ in the middle of a message");
    // The normal end of an association for a server; a failure for a requestor awaiting a
    // response, which then reads this reason.
    NoteFailure("The peer released the association (A-RELEASE-RQ)");
    LogProgress("A-RELEASE-RQ received: association released");
    Fire(pdu, UlEvent::kEvt14);
    return false;
}

// Why a read ended without a message: the time limit ("no response from the peer within 30 s"),
// the peer closing, or the connection failing.
void LogConnectionEnd(const PDU& pdu, bool midUnit) {
    const TcpTransport& transport = pdu.buffer.Transport();
    if (transport.TimedOut()) {
        LogFailure((midUnit ? "The message stopped: " : "") + transport.FailureText());
        return;
    }
    LogFailure(std::string(midUnit ? "Connection lost in the middle of a message"
                                   : "Connection lost while a message was awaited") +
               ": " + transport.FailureText());
}

// Reads PDUs until a P-DATA-TF arrives (its length then pending); false when the association
// ended instead (released, aborted, closed, or answered with an A-ABORT).
bool NextPData(PDU& pdu, bool midUnit) {
    uint8_t type = 0;
    UlAction action = ReceivePdu(pdu, type);
    if (action == UlAction::kDT2) return true;
    if (action == UlAction::kAR2) return PeerReleases(pdu, midUnit);
    if (type == 0) LogConnectionEnd(pdu, midUnit);
    return false;
}

// Every value of a unit sits on one context and says the same of the unit (command or data
// set); false, with the reason, for one that does not.
bool FitsUnit(const PdvHeader& header, bool first, uint8_t unitContext, bool unitCommand, std::string& why) {
    if (first) return true;
    if (header.contextID != unitContext) {
        why = "Fragments of one message on presentation contexts " + std::to_string(unitContext) + " and " +
              std::to_string(header.contextID);
        return false;
    }
    if (header.IsCommand() != unitCommand) {
        why = "A message mixes command and data set fragments";
        return false;
    }
    return true;
}

// Where the value bytes of a received unit go: staged whole, or handed on piece by piece.
class UnitTarget {
public:
    enum class Outcome { kTaken, kLost, kRefused };
    virtual ~UnitTarget() = default;
    // Reads the `count` bytes of the current fragment from the association's input. kRefused
    // sets `why`: the association is aborted for it.
    virtual Outcome Take(PDU& pdu, std::size_t count, bool command, std::string& why) = 0;
};

// Gathers the unit in pdu.data.staging, up to the limit of its kind.
class StagedUnit final : public UnitTarget {
public:
    Outcome Take(PDU& pdu, std::size_t count, bool command, std::string& why) override {
        PDataRecord& data = pdu.data;
        std::size_t limit = command ? kMaxReceivedCommand : data.dataSetLimit;
        if (data.staging.size() + count > limit) {
            why = std::string(command ? "Command set" : "Data set") + " larger than " +
                  std::to_string(limit) + " bytes";
            return Outcome::kRefused;
        }
        std::size_t before = data.staging.size();
        data.staging.resize(before + count);
        return pdu.buffer.ReadBytes(data.staging.data() + before, count) ? Outcome::kTaken : Outcome::kLost;
    }
};

// Hands the unit on in pieces of at most kStreamPiece bytes, read into the association's
// staging buffer (kept between messages, so no object costs an allocation of its own).
class StreamedUnit final : public UnitTarget {
public:
    explicit StreamedUnit(const DataSetConsumer& consume) : consume_(consume) {}

    Outcome Take(PDU& pdu, std::size_t count, bool, std::string& why) override {
        ByteVector& piece = pdu.data.staging;
        if (piece.size() < kStreamPiece) piece.resize(kStreamPiece);
        while (count > 0) {
            std::size_t n = std::min(count, kStreamPiece);
            if (!pdu.buffer.ReadBytes(piece.data(), n)) return Outcome::kLost;
            if (!consume_(piece.data(), n)) {
                why = "The data set was refused while it arrived";
                return Outcome::kRefused;
            }
            count -= n;
        }
        return Outcome::kTaken;
    }

private:
    static constexpr std::size_t kStreamPiece = 256 * 1024;
    const DataSetConsumer& consume_;
};

// The unit just begun is what the exchange expects: a command when one is due, otherwise the
// announced data set on its command's context.
bool ExpectedKind(PDU& pdu, const PdvHeader& first) {
    uint8_t announced = pdu.data.announcedDataSetContext;
    if (announced == 0 && !first.IsCommand()) return Abort(pdu, "A data set arrived where a command was due");
    if (announced != 0 && first.IsCommand())
        return Abort(pdu, "A command arrived where its announced data set was due");
    if (announced != 0 && first.contextID != announced)
        return Abort(pdu, "A data set arrived on presentation context " + std::to_string(first.contextID) +
                              ", its command on " + std::to_string(announced));
    return true;
}

// Reads values of the current P-DATA-TF (and further ones) until a unit is complete, each
// fragment's bytes into `target`.
bool ReceiveUnit(PDU& pdu, UnitTarget& target) {
    PDataRecord& data = pdu.data;
    data.complete = false;
    data.staging.clear();
    bool first = true, unitCommand = false;
    uint8_t unitContext = 0;
    while (!data.complete) {
        if (data.pendingLength == 0 && !NextPData(pdu, !first)) return false;
        if (data.pendingLength == 0) continue;  // a P-DATA-TF without values
        PdvHeader header;
        if (!ReadPdvHeader(pdu.buffer, data.pendingLength, header))
            return AbortProtocol(pdu, abort_reason::kInvalidParameterValue,
                                 "Malformed presentation data value");
        std::string why;
        if (!FitsUnit(header, first, unitContext, unitCommand, why)) return Abort(pdu, why);
        if (first) {
            if (!ExpectedKind(pdu, header)) return false;
            unitContext = header.contextID;
            unitCommand = header.IsCommand();
            first = false;
        }
        UnitTarget::Outcome outcome = target.Take(pdu, header.FragmentLength(), header.IsCommand(), why);
        if (outcome == UnitTarget::Outcome::kRefused) return Abort(pdu, why);
        if (outcome == UnitTarget::Outcome::kLost) {
            LogConnectionEnd(pdu, true);
            Fire(pdu, UlEvent::kEvt17);
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

bool DecodeUnit(PDU& pdu, ElementList& list, bool command) {
    // Command sets are implicit VR little endian on every context, but only on accepted ones.
    UnitEncoding encoding, commandEncoding;
    if (!ContextEncoding(pdu, pdu.data.messageContextID, command ? commandEncoding : encoding)) return false;
    bool explicitVR = encoding.explicitVR;
    ParseState state;
    state.metaMode = false;
    state.explicitVR = explicitVR;
    state.bigEndian = encoding.bigEndian;
    state.implicitCommandGroup = true;
    std::size_t first = list.size();
    const ByteVector* bytes = &pdu.data.staging;
    ByteVector inflated;
    if (!command && encoding.deflated) {
        // Inflated within the same limit as any received data set.
        std::string why;
        if (!InflateWhole(bytes->data(), bytes->size(), pdu.data.dataSetLimit, inflated, why)) {
            LogFailure("Received data set: " + why);
            pdu.data.ReleaseStaging();
            return false;
        }
        bytes = &inflated;
    }
    bool ok = ReadDatasetBytes(bytes->data(), bytes->size(), state, list);
    for (std::size_t i = first; i < list.size(); ++i) {
        DataElement& e = list[i];
        if (e.vr[0] == '\0') LookupVR(e);
    }
    if (pdu.dumpFlag) {
        LogDirection(pdu, "<<");
        for (std::size_t i = first; i < list.size(); ++i) DumpElement(list[i], explicitVR, 1);
        WriteLogLine("");
    }
    pdu.data.ReleaseStaging();
    return ok;
}

// A command announces a data set unless its Data Set Type says there is none (an absent
// Data Set Type announces nothing).
bool AnnouncesDataSet(const ElementList& list, std::size_t first) {
    for (std::size_t i = first; i < list.size(); ++i) {
        const DataElement& e = list[i];
        if (e.group == 0x0000 && e.element == 0x0800)
            return e.length >= 2 && HasValue(e) && (e.value[0] | (e.value[1] << 8)) != 0x0101;
    }
    return false;
}

}  // namespace

uint8_t FindContextID(const PDU& pdu, const std::string& abstractSyntax) {
    for (const auto& context : pdu.request.presentationContexts)
        if (context.abstractSyntax.text == abstractSyntax) return context.contextID;
    return 0;
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
    return SendUnit(pdu, list, id, kind);
}

bool SendUnit(PDU& pdu, const ElementList& list, uint8_t id, int kind) {
    return SendUnitWithTail(pdu, list, id, kind, nullptr);
}

bool SendDataSetWithTail(PDU& pdu, const ElementList& front, uint8_t contextID, const FileTail& tail) {
    return SendUnitWithTail(pdu, front, contextID, kDataSet, &tail);
}

bool SendUnitWithTail(PDU& pdu, const ElementList& list, uint8_t id, int kind, const FileTail* tail) {
    UnitEncoding encoding;
    if (kind != kCommandSet && !ContextEncoding(pdu, id, encoding)) return false;
    std::string syntax;
    if (kind == kCommandSet && !FindAcceptedSyntax(pdu, id, syntax)) {
        LogFailure("No accepted presentation context " + std::to_string(id));
        return false;
    }
    DumpUnit(pdu, list, encoding.explicitVR);
    if (Fire(pdu, UlEvent::kEvt9) == UlAction::kNone) {
        LogFailure("No established association to send a message on");
        return false;
    }
    pdu.data.messageContextID = id;
    pdu.data.sendControl = static_cast<uint8_t>(kind == kCommandSet ? kPdvCommand : 0);
    if (tail != nullptr && pdu.dumpFlag)
        WriteLogLine("  ... and " + std::to_string(tail->length) + " bytes from byte " +
                     std::to_string(tail->offset) + " of " + tail->file + ", as they stand");
    // A deflated file's own bytes go as they stand on a deflated context, and nowhere else.
    bool tailDeflated = tail != nullptr && tail->deflated;
    if (tailDeflated && (!encoding.deflated || !list.empty())) {
        LogFailure("A deflated data set can only be sent as it stands on a deflated context");
        return false;
    }
    ByteVector deflated;
    bool deflateHere = kind != kCommandSet && encoding.deflated && !tailDeflated;
    if (deflateHere && !DeflateUnit(list, tail, deflated)) return false;
    UnitBytes unit(list, encoding, tail, deflateHere ? &deflated : nullptr);
    return SendFragments(pdu, id, unit);
}

bool ReadMessage(PDU& pdu, ElementList& list) {
    if (!pdu.IsConnected()) return false;
    StagedUnit staged;
    if (!ReceiveUnit(pdu, staged)) {
        pdu.data.ReleaseStaging();
        return false;
    }
    bool command = (pdu.data.receivedControl & kPdvCommand) != 0;
    std::size_t first = list.size();
    if (!DecodeUnit(pdu, list, command)) return Abort(pdu, "Message could not be decoded");
    pdu.data.announcedDataSetContext =
        command && AnnouncesDataSet(list, first) ? pdu.data.messageContextID : 0;
    return true;
}

bool ReadDataSetStream(PDU& pdu, const DataSetConsumer& consume) {
    if (!pdu.IsConnected()) return false;
    if (pdu.data.announcedDataSetContext == 0) {
        LogFailure("No data set was announced");
        return false;
    }
    StreamedUnit streamed(consume);
    bool received = ReceiveUnit(pdu, streamed);
    pdu.data.ReleaseStaging();
    if (received) pdu.data.announcedDataSetContext = 0;
    return received;
}

}  // namespace pella
