#include "data/io/dataset_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/io/dicom_file_check.h"
#include "data/io/implicit_sequence_tracker.h"
#include "data/io/inflater.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr const char* kUnreadableFile = "the file cannot be opened or read";
constexpr const char* kNoPart10Prefix = "no preamble and \"DICM\": not a DICOM Part 10 file";

// The meta group's VRs are fixed whatever the file says.
const char* MetaVR(uint16_t element) {
    switch (element) {
        case 0x0000:
            return "UL";
        case 0x0001:
            return "OB";
        case 0x0002:
        case 0x0003:
        case 0x0010:
        case 0x0012:
        case 0x0100:
            return "UI";
        case 0x0013:
            return "SH";
        case 0x0016:
            return "AE";
        case 0x0102:
            return "OB";
        default:
            return nullptr;
    }
}

uint32_t LittleEndian32(const uint8_t* b) {
    return uint32_t{b[0]} | (uint32_t{b[1]} << 8) | (uint32_t{b[2]} << 16) | (uint32_t{b[3]} << 24);
}

struct FileReadOptions {
    bool fixMetaVRs;        // replace group 0002 VRs from the fixed table
    bool stopAtPixelData;   // stop before the first element of group 7FE0
    bool allowOneShort;     // a value missing only its last byte at the end of a file
    ElementList* metaList;  // group 0002 elements (the data list when null)
    ElementList* dataList;
    std::vector<uint64_t>* dataOffsets = nullptr;  // where each data-list value starts
    uint64_t* stopOffset = nullptr;                // where the header the read stopped at starts
    uint64_t* deflatedAt = nullptr;                // where a deflated data set starts in the source
    BulkValueSkipping* skipping = nullptr;         // bulk values to leave unread
};

bool IsBulkVR(const char* vr) {
    for (const char* bulk : {"OB", "OW", "OF", "OD", "OL", "OV"})
        if (vr[0] == bulk[0] && vr[1] == bulk[1]) return true;
    return false;
}

// Reads the first `keep` bytes of a value of `header.length` bytes (which the source holds) and
// seeks past the rest.
ElementPtr ReadValuePrefix(ByteSource& source, const ElementHeader& header, uint64_t keep) {
    uint64_t whole = static_cast<uint64_t>(header.length);
    ElementHeader prefix = header;
    prefix.length = static_cast<int32_t>(keep);
    ElementPtr element = ReadElementValue(source, prefix, false);
    if (!element || !source.Skip(whole - keep)) return nullptr;
    return element;
}

// A meta group without a transfer syntax: tell the data set's encoding from its first header,
// whose bytes 4 and 5 are a VR only when it is explicit.
void GuessDataSetEncoding(ParseState& state, ByteSource& source) {
    uint8_t head[6];
    if (source.Peek(head, sizeof head) != sizeof head) return;
    const char vr[2] = {static_cast<char>(head[4]), static_cast<char>(head[5])};
    state.explicitVR = IsKnownVR(vr);
    state.bigEndian = false;
}

std::string TagText(uint16_t group, uint16_t element) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04X,%04X)", group, element);
    return text;
}

// A file read that stops: the reason becomes the thread's failure, and the log line names the
// file as well.
bool FileRefused(const std::string& fileName, const std::string& reason) {
    NoteFailure(reason);
    WriteLogLine(fileName + ": " + reason);
    return false;
}

// The rest of a deflated source, inflated: the data set's own bytes. False with `reason` set
// when the stream is corrupt, cut short or inflates past its limit.
bool InflateRest(ByteSource& source, ByteVector& inflated, std::string& reason) {
    ByteVector compressed(static_cast<std::size_t>(source.Remaining()));
    if (source.Read(compressed.data(), compressed.size()) != compressed.size()) {
        reason = "the deflated data set cannot be read";
        return false;
    }
    return InflateWhole(compressed.data(), compressed.size(), InflationLimit(compressed.size()), inflated,
                        reason);
}

// The element loop shared by the readers; the source stands at the first element. A data set
// in the deflated syntax is inflated once the meta group has been read, and read from there;
// value offsets are then positions in the inflated data set. False with `reason` set when the
// data cannot be read.
bool ReadElements(ByteSource& source, ParseState& state, const FileReadOptions& options,
                  std::string& reason) {
    uint64_t endOfMeta = source.Size();
    bool sawTransferSyntax = false;
    bool deflated = false;
    ByteVector inflated;
    std::optional<MemorySource> inflatedSource;
    ByteSource* in = &source;
    ImplicitSequenceTracker unSequences;
    bool inPixelItems = false;  // inside encapsulated pixel data, where items hold fragments
    while (in->Position() < in->Size()) {
        if (deflated && !state.metaMode && !inflatedSource) {
            if (options.deflatedAt) *options.deflatedAt = source.Position();
            if (!InflateRest(source, inflated, reason)) return false;
            in = &inflatedSource.emplace(inflated.data(), inflated.size());
            if (inflated.empty()) break;
        }
        bool readInMeta = state.metaMode;
        ElementHeader header;
        uint64_t at = in->Position();
        if (!ReadElementHeader(state, *in, header)) {
            reason = "element header at byte " + std::to_string(at) +
                     (inflatedSource ? " of the inflated data set" : "") +
                     " is cut short or holds an impossible length";
            return false;
        }
        if (deflated && readInMeta && !state.metaMode) {
            reason = "the meta group's length does not end it where the deflated data set begins";
            return false;
        }
        if (options.stopAtPixelData && header.group == 0x7FE0) {
            if (options.stopOffset) *options.stopOffset = at;
            unSequences.End(state);
            return true;
        }
        uint64_t valueOffset = in->Position();
        uint64_t valueLength = header.length > 0 ? static_cast<uint64_t>(header.length) : 0;
        if (!inflatedSource && in->Position() + valueLength >= endOfMeta) state.metaMode = false;

        if (header.group == 0x7FE0 && header.length == kUndefinedLength) inPixelItems = true;
        if (header.group == 0xFFFE && header.element == 0xE0DD) inPixelItems = false;
        bool pixelItem = inPixelItems && header.group == 0xFFFE && header.element == 0xE000;
        bool skip = options.skipping && header.group != 0x0002 && header.length > 0 &&
                    valueLength > options.skipping->keepBytes && valueLength <= in->Remaining() &&
                    (pixelItem || IsBulkVR(header.vr) || (header.vr[0] == '\0' && header.group == 0x7FE0));
        ElementPtr element = skip ? ReadValuePrefix(*in, header, options.skipping->keepBytes)
                                  : ReadElementValue(*in, header, options.allowOneShort);
        if (!element) {
            reason = "the " + std::to_string(valueLength) + "-byte value of " +
                     TagText(header.group, header.element) + " (header at byte " + std::to_string(at) +
                     ") runs past the end of the data";
            return false;
        }
        if (header.group == 0x0002) {
            // The transfer syntax steers the data set when it was read as part of the meta
            // group, wherever it stands in that group (an implicit meta group overrides it).
            if (header.element == 0x0010 && readInMeta) {
                std::string syntax = UidText(element->value, element->length);
                deflated = TransferSyntax(syntax).Deflated();
                ApplyTransferSyntax(state, syntax);
                sawTransferSyntax = true;
            }
            if (options.fixMetaVRs) {
                if (const char* vr = MetaVR(header.element)) std::memcpy(element->vr, vr, 2);
            }
            if (header.element == 0x0000 && element->length >= 4 && !inflatedSource)
                endOfMeta = in->Position() + LittleEndian32(element->value);
        }
        if (readInMeta && header.group == 0x0002 && !state.metaMode && state.explicitVR && !sawTransferSyntax)
            GuessDataSetEncoding(state, *in);
        unSequences.Observe(state, *element);
        bool toMeta = header.group == 0x0002 && options.metaList && !inflatedSource;
        if (!toMeta && options.dataOffsets) options.dataOffsets->push_back(valueOffset);
        if (skip) options.skipping->cut.push_back({options.dataList->size(), valueLength});
        (toMeta ? *options.metaList : *options.dataList).Append(std::move(element));
    }
    if (deflated && !inflatedSource) {
        reason = "the file ends before its deflated data set";
        return false;
    }
    unSequences.End(state);
    return true;
}

// A Part 10 file opened for reading at its first element after "DICM"; null, with the reason
// noted, when it is no such file or cannot be read.
std::unique_ptr<FileSource> OpenAtFirstElement(const std::string& fileName) {
    Part10Check check = CheckPart10File(fileName);
    if (check == Part10Check::kNoMarker) {
        FileRefused(fileName, kNoPart10Prefix);
        return nullptr;
    }
    auto source = std::make_unique<FileSource>(fileName);
    if (check != Part10Check::kPart10File || !source->Seek(kPart10DataOffset)) {
        FileRefused(fileName, kUnreadableFile);
        return nullptr;
    }
    return source;
}

// Follows element headers from the source's position to its end without reading values: true
// when every header reads and every defined length fits what remains.
bool WalkElementHeaders(FileSource& source, ParseState& state) {
    while (source.Position() < source.Size()) {
        ElementHeader header;
        if (!ReadElementHeader(state, source, header)) return false;
        if (header.length <= 0) continue;  // empty, or undefined: its items follow as elements
        uint64_t length = static_cast<uint64_t>(header.length);
        if (length > source.Remaining() || !source.Seek(source.Position() + length)) return false;
    }
    return true;
}

}  // namespace

bool ReadPart10File(const std::string& fileName, ElementList& metaList, ElementList& dataList,
                    ParseState& state, std::vector<uint64_t>* dataOffsets) {
    ByteVector bytes;
    if (!LoadFile(fileName, bytes)) return FileRefused(fileName, kUnreadableFile);
    if (!HasPart10Marker(bytes.data(), bytes.size())) return FileRefused(fileName, kNoPart10Prefix);
    MemorySource source(bytes.data(), bytes.size(), kPart10DataOffset);
    state = ParseState{};
    std::string reason;
    if (!ReadElements(source, state, {true, false, true, &metaList, &dataList, dataOffsets}, reason))
        return FileRefused(fileName, reason);
    return true;
}

bool ReadPart10FileSkippingBulk(const std::string& fileName, ElementList& metaList, ElementList& dataList,
                                ParseState& state, BulkValueSkipping& skipping) {
    std::unique_ptr<FileSource> opened = OpenAtFirstElement(fileName);
    if (!opened) return false;
    state = ParseState{};
    FileReadOptions options{true, false, true, &metaList, &dataList};
    options.skipping = &skipping;
    std::string reason;
    if (!ReadElements(*opened, state, options, reason)) return FileRefused(fileName, reason);
    return true;
}

bool ReadDatasetAndSyntax(const std::string& fileName, ElementList& dataList, std::string& syntaxOut) {
    ElementList metaList;
    ParseState state;
    if (!ReadPart10File(fileName, metaList, dataList, state)) return false;
    const DataElement* syntax = FindElement(metaList, 0x0002, 0x0010);
    if (syntax == nullptr)
        return FileRefused(fileName, "no transfer syntax (0002,0010) in the file meta group");
    syntaxOut = UidText(syntax->value, syntax->length);
    return true;
}

bool ReadHeaderForDump(const std::string& fileName, ElementList& list) {
    std::unique_ptr<FileSource> opened = OpenAtFirstElement(fileName);
    if (!opened) return false;
    FileSource& source = *opened;
    ParseState state;
    std::string reason;
    if (!ReadElements(source, state, {false, true, true, nullptr, &list}, reason))
        return FileRefused(fileName, reason);
    return true;
}

bool ReadDataSetFront(const std::string& fileName, DataSetFront& out) {
    out = DataSetFront{};
    std::unique_ptr<FileSource> opened = OpenAtFirstElement(fileName);
    if (!opened) return false;
    FileSource& source = *opened;
    ElementList metaList;
    ParseState state;
    std::string reason;
    out.tailOffset = source.Size();
    uint64_t deflatedAt = source.Size();
    FileReadOptions options{true, true, false, &metaList, &out.elements};
    options.stopOffset = &out.tailOffset;
    options.deflatedAt = &deflatedAt;
    if (!ReadElements(source, state, options, reason)) return FileRefused(fileName, reason);
    out.syntax = ElementUid(metaList, 0x0002, 0x0010);
    if (out.syntax.empty())
        return FileRefused(fileName, "no transfer syntax (0002,0010) in the file meta group");
    if (TransferSyntax(out.syntax).Deflated()) {
        // The front was read from the inflated stream; the file's deflated bytes are the tail.
        out.deflated = true;
        out.tailOffset = deflatedAt;
        out.tailLength = source.Size() - deflatedAt;
        return true;
    }
    out.tailLength = source.Size() - out.tailOffset;
    if (!source.Seek(out.tailOffset) || !WalkElementHeaders(source, state))
        return FileRefused(
            fileName, "the elements from byte " + std::to_string(out.tailOffset) + " on do not fit the file");
    return true;
}

bool ReadRawDataset(const std::string& fileName, ElementList& list, const std::string& transferSyntaxUid,
                    ParseState* finalState) {
    ByteVector bytes;
    if (!LoadFile(fileName, bytes)) return FileRefused(fileName, kUnreadableFile);
    if (TransferSyntax(transferSyntaxUid).Deflated()) {
        ByteVector inflated;
        std::string why;
        if (!InflateWhole(bytes.data(), bytes.size(), InflationLimit(bytes.size()), inflated, why))
            return FileRefused(fileName, why);
        bytes.swap(inflated);
    }
    ParseState state;
    state.metaMode = false;
    ApplyTransferSyntax(state, transferSyntaxUid);
    MemorySource source(bytes.data(), bytes.size());
    std::string reason;
    bool read = ReadElements(source, state, {false, false, true, nullptr, &list}, reason);
    if (finalState != nullptr) *finalState = state;
    return read || FileRefused(fileName, reason);
}

bool ReadDatasetBytes(const uint8_t* bytes, std::size_t size, ParseState& state, ElementList& list) {
    MemorySource source(bytes, size);
    std::string reason;  // a received unit: its reader reports the failure in its own terms
    return ReadElements(source, state, {false, false, false, nullptr, &list}, reason);
}

}  // namespace pella
