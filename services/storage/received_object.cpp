#include "services/storage/received_object.h"

#include <algorithm>
#include <cstring>

#include "data/convert/value_byte_order.h"
#include "data/io/meta_header.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"
#include "services/index/index_attributes.h"
#include "services/storage/index_lines.h"

namespace pella {

namespace {

// An indexed attribute longer than this is written but not kept: no index field needs more,
// and the attributes an object keeps stay small.
constexpr int32_t kMaxKeptValue = 16 * 1024;

// Nesting deeper than this is refused: real data sets stay far below it, and the tracker's
// memory grows with the depth.
constexpr std::size_t kMaxNestingDepth = 1024;

ParseState StateFor(const std::string& transferSyntax) {
    ParseState state;
    state.metaMode = false;
    state.implicitCommandGroup = true;
    ApplyTransferSyntax(state, transferSyntax);
    return state;
}

}  // namespace

ReceivedObject::ReceivedObject(const StagedFile& staged, const std::string& transferSyntax,
                               ByteVector& buffer, uint64_t inflationLimit)
    : transferSyntax_(transferSyntax),
      explicitVR_(TransferSyntax(transferSyntax).ExplicitVR()),
      bigEndian_(TransferSyntax(transferSyntax).BigEndian()),
      scanner_(StateFor(transferSyntax)),
      file_(
          staged.Descriptor(), staged.Name(), [this](ElementList& meta) { MakeMeta(meta); }, buffer) {
    if (TransferSyntax(transferSyntax).Deflated()) inflater_ = std::make_unique<Inflater>(inflationLimit);
}

// A deflated piece is inflated and read before it is written, so that the attributes it holds
// are kept by the time the meta header is made.
bool ReceivedObject::Take(const uint8_t* bytes, std::size_t size) {
    if (!inflater_) return Scan(bytes, size);
    if (!inflater_->Feed(bytes, size, [this](const uint8_t* piece, std::size_t n) { return Scan(piece, n); }))
        return false;
    file_.Append(bytes, size);
    return true;
}

bool ReceivedObject::Scan(const uint8_t* bytes, std::size_t size) {
    return scanner_.Feed(bytes, size, *this);
}

// The file takes the bytes the scanner reads, unless they are inflated ones: then it has had
// the deflated bytes already.
void ReceivedObject::Write(const uint8_t* bytes, std::size_t size) {
    if (!inflater_) file_.Append(bytes, size);
}

const std::string& ReceivedObject::Failure() const {
    if (!scanner_.Failure().empty()) return scanner_.Failure();
    if (inflater_ && !inflater_->Failure().empty()) return inflater_->Failure();
    return failure_;
}

ReceivedObject::Result ReceivedObject::Finish() {
    bool written = file_.Finish();
    if (dropped_ > 0)
        WriteLogLine("Dropped " + std::to_string(dropped_) +
                     " file meta element(s) found inside a received data set");
    if (kept0002_ > 0)
        WriteLogLine("Kept " + std::to_string(kept0002_) +
                     " file meta element(s) found inside a received deflated data set, as received");
    if (!scanner_.AtElementEnd() || (inflater_ && !inflater_->Ended())) {
        failure_ = inflater_ && !inflater_->Ended() ? "the deflated data set is cut short"
                                                    : "the data set ends inside an element";
        return Result::kCutShort;
    }
    if (!nesting_.AtTopLevel()) {
        failure_ = "the data set ends inside an open sequence or item";
        return Result::kOpenSequence;
    }
    if (scanner_.State().explicitVR != explicitVR_ || metaClass_ != ElementUid(attributes_, 0x0008, 0x0016) ||
        metaInstance_ != ElementUid(attributes_, 0x0008, 0x0018)) {
        failure_ =
            "its SOP Class and Instance UID do not lead the data set, or its encoding changes inside it";
        return Result::kMisplaced;
    }
    if (!written) {
        failure_ = "the file could not be written";
        return Result::kNotWritten;
    }
    return Result::kComplete;
}

ReceivedObject::Route ReceivedObject::RouteFor(const DataElement& e, bool topLevel) {
    if (!topLevel) return Route::kWrite;
    if (e.group == 0x0002) return Route::kDrop;
    if (e.length < 0 && IsIndexedSequence(e.group, e.element)) openIndexedSequence_ = true;
    if (e.length < 0 || e.length > kMaxKeptValue || !IsIndexedAttribute(e.group, e.element) ||
        FindElement(attributes_, e.group, e.element) != nullptr)
        return Route::kWrite;
    return Route::kKeep;
}

bool ReceivedObject::Header(const DataElement& e, const uint8_t* raw, std::size_t rawSize) {
    bool topLevel = nesting_.AtTopLevel();
    nesting_.Observe(e);
    if (nesting_.Depth() > kMaxNestingDepth) {
        failure_ = "the data set nests deeper than " + std::to_string(kMaxNestingDepth) + " levels";
        return false;
    }
    route_ = RouteFor(e, topLevel);
    if (route_ == Route::kDrop && !inflater_) {
        ++dropped_;
        return true;
    }
    if (route_ != Route::kKeep) {
        if (route_ == Route::kDrop) ++kept0002_;  // inside the deflated bytes, written with them
        route_ = Route::kWrite;
        Write(raw, rawSize);
        return true;
    }
    kept_ = NewElementToFill(e.group, e.element, e.length, e.vr);
    std::memcpy(keptHeader_, raw, rawSize);
    keptHeaderSize_ = rawSize;
    keptFill_ = 0;
    if (e.length == 0) KeepFinished();
    return true;
}

bool ReceivedObject::Value(const uint8_t* bytes, std::size_t size, bool last) {
    if (route_ == Route::kWrite) {
        Write(bytes, size);
    } else if (route_ == Route::kKeep) {
        std::memcpy(kept_->value + keptFill_, bytes, size);
        keptFill_ += size;
        if (last) KeepFinished();
    }
    return true;
}

// The kept attribute is whole: it joins the attributes before its bytes reach the file, so the
// meta header, made when the file's first block is written, can name it.
void ReceivedObject::KeepFinished() {
    Write(keptHeader_, keptHeaderSize_);
    if (HasValue(*kept_)) Write(kept_->value, static_cast<std::size_t>(kept_->length));
    if (bigEndian_) ReverseValueNumbers(*kept_);
    attributes_.Append(std::move(kept_));
    route_ = Route::kWrite;
}

void ReceivedObject::MakeMeta(ElementList& meta) {
    metaClass_ = ElementUid(attributes_, 0x0008, 0x0016);
    metaInstance_ = ElementUid(attributes_, 0x0008, 0x0018);
    BuildMetaHeader(meta, metaClass_, metaInstance_, transferSyntax_, explicitVR_);
}

}  // namespace pella
