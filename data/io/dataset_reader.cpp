#include "data/io/dataset_reader.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/io/dicom_file_check.h"
#include "data/io/implicit_sequence_tracker.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr const char* kUnreadableFile = "the file cannot be opened or read";
constexpr const char* kNoPart10Prefix = "no preamble and \"DICM\": not a DICOM Part 10 file";
constexpr const char* kDeflatedRefusal = "deflated transfer syntax not supported";

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
};

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

// The element loop shared by the readers; the source stands at the first element. False with
// `reason` set when the data cannot be read.
bool ReadElements(ByteSource& source, ParseState& state, const FileReadOptions& options,
                  std::string& reason) {
    uint64_t endOfMeta = source.Size();
    bool sawTransferSyntax = false;
    ImplicitSequenceTracker unSequences;
    while (source.Position() < source.Size()) {
        bool readInMeta = state.metaMode;
        ElementHeader header;
        uint64_t at = source.Position();
        if (!ReadElementHeader(state, source, header)) {
            reason = "element header at byte " + std::to_string(at) +
                     " is cut short or holds an impossible length";
            return false;
        }
        if (options.stopAtPixelData && header.group == 0x7FE0) {
            if (options.stopOffset) *options.stopOffset = at;
            unSequences.End(state);
            return true;
        }
        uint64_t valueOffset = source.Position();
        uint64_t valueLength = header.length > 0 ? static_cast<uint64_t>(header.length) : 0;
        if (source.Position() + valueLength >= endOfMeta) state.metaMode = false;

        ElementPtr element = ReadElementValue(source, header, options.allowOneShort);
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
                if (TransferSyntax(syntax).Deflated()) {
                    reason = kDeflatedRefusal;
                    return false;
                }
                ApplyTransferSyntax(state, syntax);
                sawTransferSyntax = true;
            }
            if (options.fixMetaVRs) {
                if (const char* vr = MetaVR(header.element)) std::memcpy(element->vr, vr, 2);
            }
            if (header.element == 0x0000 && element->length >= 4)
                endOfMeta = source.Position() + LittleEndian32(element->value);
        }
        if (readInMeta && header.group == 0x0002 && !state.metaMode && state.explicitVR && !sawTransferSyntax)
            GuessDataSetEncoding(state, source);
        unSequences.Observe(state, *element);
        bool toMeta = header.group == 0x0002 && options.metaList;
        if (!toMeta && options.dataOffsets) options.dataOffsets->push_back(valueOffset);
        (toMeta ? *options.metaList : *options.dataList).Append(std::move(element));
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
    FileReadOptions options{true, true, false, &metaList, &out.elements};
    options.stopOffset = &out.tailOffset;
    if (!ReadElements(source, state, options, reason)) return FileRefused(fileName, reason);
    out.syntax = ElementUid(metaList, 0x0002, 0x0010);
    if (out.syntax.empty())
        return FileRefused(fileName, "no transfer syntax (0002,0010) in the file meta group");
    out.tailLength = source.Size() - out.tailOffset;
    if (!source.Seek(out.tailOffset) || !WalkElementHeaders(source, state))
        return FileRefused(
            fileName, "the elements from byte " + std::to_string(out.tailOffset) + " on do not fit the file");
    return true;
}

bool ReadRawDataset(const std::string& fileName, ElementList& list, const std::string& transferSyntaxUid,
                    ParseState* finalState) {
    if (TransferSyntax(transferSyntaxUid).Deflated()) return FileRefused(fileName, kDeflatedRefusal);
    ByteVector bytes;
    if (!LoadFile(fileName, bytes)) return FileRefused(fileName, kUnreadableFile);
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
