#include "media/dicomdir_reader.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/io/byte_source.h"
#include "data/io/dicom_file_check.h"
#include "data/io/element_header.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr int kLowestLevel = 4;  // instance records; their lower-level offsets are not followed

bool IsTag(const ElementHeader& h, uint16_t group, uint16_t element) {
    return h.group == group && h.element == element;
}
bool IsItemStart(const ElementHeader& h) {
    return IsTag(h, 0xFFFE, 0xE000);
}
bool IsItemEnd(const ElementHeader& h) {
    return IsTag(h, 0xFFFE, 0xE00D);
}
bool IsSequenceEnd(const ElementHeader& h) {
    return IsTag(h, 0xFFFE, 0xE0DD);
}

// The record type a level takes, and the value it is listed with.
struct LevelType {
    const char* name;
    const char* listedValue;
};
const LevelType kLevelTypes[] = {{"PATIENT", "PATIENT "}, {"STUDY", "STUDY "}, {"SERIES", "SERIES"}};

// A text value without its trailing padding (spaces and zero bytes).
std::string TrimmedText(const DataElement& e) {
    if (!HasValue(e)) return "";
    std::string text(reinterpret_cast<const char*>(e.value), static_cast<std::size_t>(e.length));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
    return text;
}

// A 32-bit offset value in the file's byte order; 0 (none) when it is not 4 bytes long.
uint32_t OffsetValue(const DataElement& e, bool bigEndian) {
    if (e.length != 4) return 0;
    const uint8_t* b = e.value;
    return bigEndian ? (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]
                     : (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
}

// Reads the meta group (explicit VR little endian) from the stream position and sets `state`
// for the data set from its transfer syntax; `pos` ends at the first data-set element.
bool ReadMetaGroup(const ByteVector& bytes, uint64_t& pos, ParseState& state) {
    std::string syntax = kExplicitLittleEndian;
    for (;;) {
        MemorySource source(bytes.data(), bytes.size(), pos);
        uint8_t group[2];
        if (source.Peek(group, 2) != 2 || (group[0] | (group[1] << 8)) != 0x0002) break;
        ParseState metaState;
        ElementHeader header;
        if (!ReadElementHeader(metaState, source, header)) return false;
        ElementPtr element = ReadElementValue(source, header, false);
        if (!element) return false;
        if (header.element == 0x0010) syntax = UidText(element->value, element->length);
        pos = source.Position();
    }
    state = ParseState{};
    state.metaMode = false;
    ApplyTransferSyntax(state, syntax);
    return true;
}

class DirectoryWalk {
public:
    DirectoryWalk(const ByteVector& bytes, const ParseState& state, ElementList& list)
        : bytes_(bytes), state_(state), list_(list), seen_(bytes.size(), false) {}

    // Walks the records of one level from `offset` along their next-record offsets, descending
    // into the lower level of every record taken above the lowest level.
    void ReadDirectoryLevel(uint64_t offset, int level);

private:
    struct Record {
        uint32_t next = 0;
        uint32_t lower = 0;
        bool taken = false;
    };

    bool ReadRecord(uint64_t offset, int level, Record& record);
    void CopyRecordBody(uint64_t& pos, uint64_t itemEnd);
    bool ReadHeaderAt(uint64_t pos, uint64_t& after, ElementHeader& header) const;
    ElementPtr ReadValueAt(uint64_t& pos, const ElementHeader& header);
    bool SkipValue(uint64_t& pos, const ElementHeader& header) const;

    const ByteVector& bytes_;
    ParseState state_;
    ElementList& list_;
    std::vector<bool> seen_;  // header positions already read: a loop or overlap ends there
};

void DirectoryWalk::ReadDirectoryLevel(uint64_t offset, int level) {
    while (offset != 0) {
        if (offset < kPart10DataOffset || offset >= bytes_.size()) {
            WriteLogLine("DICOMDIR: a level-" + std::to_string(level) + " record offset (" +
                         std::to_string(offset) + ") lies outside the file; the level ends");
            return;
        }
        if (seen_[offset]) {
            WriteLogLine("DICOMDIR: a level-" + std::to_string(level) + " record offset (" +
                         std::to_string(offset) + ") leads back to data already read; the level ends");
            return;
        }
        Record record;
        if (!ReadRecord(offset, level, record)) return;
        if (record.taken && level < kLowestLevel && record.lower != 0)
            ReadDirectoryLevel(record.lower, level + 1);
        offset = record.next;
    }
}

// Reads the record whose item starts at (or after) `offset`: its links, its type, and when the
// type suits the level, the type and the elements after it into the list. False when no record
// type could be reached (the level then ends).
bool DirectoryWalk::ReadRecord(uint64_t offset, int level, Record& record) {
    uint64_t pos = offset;
    ElementHeader header;
    do {
        uint64_t start = pos;
        if (!ReadHeaderAt(start, pos, header)) return false;
        seen_[start] = true;
        if (!IsItemStart(header) && !SkipValue(pos, header)) return false;
    } while (!IsItemStart(header));
    uint64_t itemEnd = header.length == kUndefinedLength
                           ? bytes_.size()
                           : std::min<uint64_t>(bytes_.size(), pos + uint64_t(header.length));

    while (pos < itemEnd) {
        uint64_t start = pos;
        if (!ReadHeaderAt(start, pos, header)) return false;
        if (header.group == 0xFFFE) return true;  // the record ends without a type
        seen_[start] = true;
        bool link = IsTag(header, 0x0004, 0x1400) || IsTag(header, 0x0004, 0x1420);
        if (!link && !IsTag(header, 0x0004, 0x1430)) {
            if (!SkipValue(pos, header)) return false;
            continue;
        }
        ElementPtr element = ReadValueAt(pos, header);
        if (!element) return false;
        if (IsTag(header, 0x0004, 0x1400)) {
            record.next = OffsetValue(*element, state_.bigEndian);
        } else if (IsTag(header, 0x0004, 0x1420)) {
            record.lower = OffsetValue(*element, state_.bigEndian);
        } else {
            if (level < kLowestLevel) {
                const LevelType& type = kLevelTypes[level - 1];
                if (TrimmedText(*element) != type.name) return true;  // skipped with its subtree
                element = NewElement(0x0004, 0x1430, int32_t(std::strlen(type.listedValue)), type.listedValue,
                                     element->vr);
            }
            record.taken = true;
            list_.Append(std::move(element));
            CopyRecordBody(pos, itemEnd);
            return true;
        }
    }
    return true;
}

// Appends the record's elements from `pos` to its end: the end of a defined-length item, its
// item delimitation (appended), or the next item start or sequence end outside the record's
// own nested sequences, or the end of the readable data.
void DirectoryWalk::CopyRecordBody(uint64_t& pos, uint64_t itemEnd) {
    int nesting = 0;  // undefined-length sequences open inside the record
    while (pos < itemEnd) {
        ElementHeader header;
        uint64_t next = pos;
        if (!ReadHeaderAt(pos, next, header)) return;
        if (nesting == 0 && (IsItemStart(header) || IsSequenceEnd(header))) return;
        seen_[pos] = true;
        pos = next;
        ElementPtr element = ReadValueAt(pos, header);
        if (!element) return;
        list_.Append(std::move(element));
        if (IsItemEnd(header) && nesting == 0) return;
        if (header.group != 0xFFFE && header.length == kUndefinedLength)
            ++nesting;
        else if (IsSequenceEnd(header))
            --nesting;
    }
}

// Reads the header at `pos`, setting `after` to the position behind it; false at the end of the
// data or where a header was already taken during this walk (the caller marks what it takes).
bool DirectoryWalk::ReadHeaderAt(uint64_t pos, uint64_t& after, ElementHeader& header) const {
    if (pos >= bytes_.size() || seen_[pos]) return false;
    MemorySource source(bytes_.data(), bytes_.size(), pos);
    header = ElementHeader{};
    ParseState state = state_;
    if (!ReadElementHeader(state, source, header)) return false;
    after = source.Position();
    return true;
}

// The element of `header` with its value, read from `pos`; VRs of implicit data come from the
// dictionary, and undefined-length elements other than items are sequences.
ElementPtr DirectoryWalk::ReadValueAt(uint64_t& pos, const ElementHeader& header) {
    MemorySource source(bytes_.data(), bytes_.size(), pos);
    ElementPtr element = ReadElementValue(source, header, false);
    if (!element) return nullptr;
    pos = source.Position();
    if (header.group == 0xFFFE)
        std::memcpy(element->vr, "DL", 2);
    else if (header.length == kUndefinedLength)
        std::memcpy(element->vr, "SQ", 2);
    else if (!state_.explicitVR)
        LookupVR(*element);
    return element;
}

bool DirectoryWalk::SkipValue(uint64_t& pos, const ElementHeader& header) const {
    if (header.length <= 0) return true;
    if (uint64_t(header.length) > bytes_.size() - pos) return false;
    pos += uint64_t(header.length);
    return true;
}

// Finds (0004,1200) among the data set's top-level elements; elements inside sequences are
// passed over without being taken for it.
bool FindRootOffset(const ByteVector& bytes, uint64_t pos, ParseState state, uint32_t& offset) {
    int nesting = 0;
    while (pos < bytes.size()) {
        MemorySource source(bytes.data(), bytes.size(), pos);
        ElementHeader header;
        if (!ReadElementHeader(state, source, header)) return false;
        pos = source.Position();
        bool delimiter = IsItemEnd(header) || IsSequenceEnd(header);
        if (delimiter) {
            if (nesting > 0) --nesting;
            continue;
        }
        if (header.length == kUndefinedLength) {
            ++nesting;
            continue;
        }
        if (nesting == 0 && IsTag(header, 0x0004, 0x1200)) {
            ElementPtr element = ReadElementValue(source, header, false);
            if (!element) return false;
            offset = OffsetValue(*element, state.bigEndian);
            return true;
        }
        if (header.length > 0 && uint64_t(header.length) > bytes.size() - pos) return false;
        pos += uint64_t(std::max(header.length, 0));
    }
    return false;
}

}  // namespace

bool ReadDicomDirectory(const std::string& fileName, ElementList& list) {
    ByteVector bytes;
    if (!LoadFile(fileName, bytes)) {
        LogFailure("DICOMDIR: cannot read '" + fileName + "'");
        return false;
    }
    if (!HasPart10Marker(bytes.data(), bytes.size())) {
        LogFailure("DICOMDIR: '" + fileName + "' has no preamble and \"DICM\" marker");
        return false;
    }
    uint64_t pos = kPart10DataOffset;
    ParseState state;
    uint32_t rootOffset = 0;
    if (!ReadMetaGroup(bytes, pos, state) || !FindRootOffset(bytes, pos, state, rootOffset)) {
        LogFailure("DICOMDIR: '" + fileName + "' holds no offset of the root directory (0004,1200)");
        return false;
    }
    DirectoryWalk(bytes, state, list).ReadDirectoryLevel(rootOffset, 1);
    return true;
}

}  // namespace pella
