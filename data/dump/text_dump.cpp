#include "data/dump/text_dump.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "data/dump/element_dump.h"
#include "data/io/byte_source.h"
#include "data/io/character_set.h"
#include "data/io/dataset_reader.h"
#include "data/io/dicom_file_check.h"
#include "data/io/element_header.h"
#include "data/io/sequence_decoding.h"
#include "data/registry/transfer_syntaxes.h"
#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr std::size_t kValueColumn = 56;     // where "#" stands, counted after the indentation
constexpr std::size_t kShownTextChars = 64;  // longer values end in "..."
constexpr std::size_t kShownNumbers = 16;    // numbers and binary words shown before "..."
// Bulk values are read only as far as the dump shows them (up to 16 words of 8 bytes).
constexpr uint64_t kReadBulkBytes = kShownNumbers * 8;

bool IsItemTag(const DataElement& e, uint16_t element) {
    return e.group == 0xFFFE && e.element == element;
}

std::string Hex(uint64_t value, int digits) {
    char text[20];
    std::snprintf(text, sizeof text, "%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

std::string TagText(uint16_t group, uint16_t element) {
    char text[16];
    std::snprintf(text, sizeof text, "(%04x,%04x)", group, element);
    return text;
}

// Reads `size` bytes at `at` as an unsigned number in the data set's byte order.
uint64_t Unsigned(const uint8_t* at, std::size_t size, bool bigEndian) {
    uint64_t value = 0;
    for (std::size_t i = 0; i < size; ++i) {
        std::size_t k = bigEndian ? i : size - 1 - i;
        value = (value << 8) | at[k];
    }
    return value;
}

template <typename Number>
std::string NumberText(Number value) {
    char text[40];
    auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : "?";
}

// The fixed-size values of a binary number VR, joined with "\".
std::string NumbersText(const DataElement& e, const char* vr, bool bigEndian) {
    struct Kind {
        const char* vr;
        std::size_t size;
        char type;  // 'u' unsigned, 's' signed, 'f' float
    };
    static constexpr Kind kKinds[] = {{"US", 2, 'u'}, {"SS", 2, 's'}, {"UL", 4, 'u'},
                                      {"SL", 4, 's'}, {"UV", 8, 'u'}, {"SV", 8, 's'},
                                      {"FL", 4, 'f'}, {"FD", 8, 'f'}, {"AT", 4, 'a'}};
    const Kind* kind = nullptr;
    for (const Kind& k : kKinds)
        if (VrIs(vr, k.vr)) kind = &k;
    if (kind == nullptr) return "";
    std::string text;
    std::size_t count = static_cast<std::size_t>(e.length) / kind->size;
    for (std::size_t i = 0; i < count && i < kShownNumbers; ++i) {
        const uint8_t* at = e.value + i * kind->size;
        uint64_t bits = Unsigned(at, kind->size, bigEndian);
        if (i > 0) text += '\\';
        if (kind->type == 'u') {
            text += NumberText(bits);
        } else if (kind->type == 's') {
            int shift = 64 - static_cast<int>(kind->size) * 8;
            text += NumberText(static_cast<int64_t>(bits << shift) >> shift);
        } else if (kind->type == 'a') {
            text += TagText(static_cast<uint16_t>(Unsigned(at, 2, bigEndian)),
                            static_cast<uint16_t>(Unsigned(at + 2, 2, bigEndian)));
        } else if (kind->size == 4) {
            float f;
            uint32_t b32 = static_cast<uint32_t>(bits);
            std::memcpy(&f, &b32, sizeof f);
            text += NumberText(f);
        } else {
            double d;
            std::memcpy(&d, &bits, sizeof d);
            text += NumberText(d);
        }
    }
    if (count > kShownNumbers) text += "\\...";
    return text;
}

// Binary values as hexadecimal words of the VR's width, joined with "\".
std::string BinaryText(const DataElement& e, const char* vr, bool bigEndian) {
    std::size_t size = VrIs(vr, "OW")                     ? 2
                       : VrIs(vr, "OF") || VrIs(vr, "OL") ? 4
                       : VrIs(vr, "OD") || VrIs(vr, "OV") ? 8
                                                          : 1;
    std::string text;
    std::size_t count = static_cast<std::size_t>(e.length) / size;
    for (std::size_t i = 0; i < count && i < kShownNumbers; ++i) {
        if (i > 0) text += '\\';
        text += Hex(Unsigned(e.value + i * size, size, bigEndian), static_cast<int>(size * 2));
    }
    if (count > kShownNumbers) text += "\\...";
    return text;
}

bool IsBinaryVR(const char* vr) {
    for (const char* binary : {"OB", "OW", "OF", "OD", "OL", "OV", "UN"})
        if (VrIs(vr, binary)) return true;
    return false;
}

// The number of values: backslash-separated texts, fixed-size numbers, 1 for anything else.
int Multiplicity(const DataElement& e, const char* vr) {
    if (!HasValue(e)) return 0;
    for (const auto& [name, size] : {std::pair{"US", 2},
                                     {"SS", 2},
                                     {"UL", 4},
                                     {"SL", 4},
                                     {"UV", 8},
                                     {"SV", 8},
                                     {"FL", 4},
                                     {"FD", 8},
                                     {"AT", 4}})
        if (VrIs(vr, name)) return e.length / size;
    if (IsBinaryVR(vr) || VrIs(vr, "LT") || VrIs(vr, "ST") || VrIs(vr, "UT")) return 1;
    int values = 1;
    for (int32_t i = 0; i < e.length; ++i) values += e.value[i] == '\\';
    return values;
}

class TextDumper {
public:
    TextDumper(std::string& out, bool explicitVR, bool bigEndian, const TextDecoder& decoder)
        : out_(out), explicitVR_(explicitVR), bigEndian_(bigEndian), decoder_(decoder) {}

    // Every element of `list` (a flat list: undefined-length parts stand between their
    // delimiters) from `level` on. False when a value cannot be decoded or nests too deep.
    // `cut` lists the elements whose values were read only in part, with their whole lengths.
    bool List(const ElementList& list, int level, const std::vector<BulkValueCut>& cut = {});

private:
    // The VR the dump shows: the element's own when explicit, else the dictionary's.
    std::string VrOf(const DataElement& e) const;
    std::string ValueText(const DataElement& e, const std::string& vr) const;
    void Line(int level, const DataElement& e, const std::string& vr, const std::string& value,
              int multiplicity, const std::string& name);
    // A defined-length sequence or item: its line, its contents one level deeper, its end mark.
    bool Expanded(const DataElement& e, int level);
    // Direct children of the undefined-length element list[at] until its delimiter.
    static std::size_t ChildCount(const ElementList& list, std::size_t at);

    std::string& out_;
    bool explicitVR_;
    bool bigEndian_;
    const TextDecoder& decoder_;
};

std::string TextDumper::VrOf(const DataElement& e) const {
    if (e.group == 0xFFFE) return "na";
    std::string own(e.vr, strnlen(e.vr, 2));
    if (explicitVR_ && !own.empty() && own != "DL") return own;
    const DictionaryEntry* entry = FindDictionaryEntry(e.group, e.element);
    if (entry != nullptr) return std::string(entry->vr, 2);
    return own.empty() || own == "DL" ? "UN" : own;
}

std::string TextDumper::ValueText(const DataElement& e, const std::string& vr) const {
    if (!HasValue(e)) return "(no value available)";
    std::string numbers = NumbersText(e, vr.c_str(), bigEndian_);
    if (!numbers.empty()) return numbers;
    if (IsBinaryVR(vr.c_str())) return BinaryText(e, vr.c_str(), bigEndian_);
    std::size_t length = static_cast<std::size_t>(e.length);
    while (length > 0 && (e.value[length - 1] == ' ' || e.value[length - 1] == '\0')) --length;
    std::string text = decoder_.ToUtf8(e.value, length);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20) c = '.';
    if (text.size() > kShownTextChars) {
        std::size_t cut = kShownTextChars;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;  // whole characters
        text = text.substr(0, cut) + "...";
    }
    std::string shown = "[";
    shown += text;
    shown += ']';
    return shown;
}

void TextDumper::Line(int level, const DataElement& e, const std::string& vr, const std::string& value,
                      int multiplicity, const std::string& name) {
    std::string line = TagText(e.group, e.element) + " " + vr + " " + value;
    if (line.size() < kValueColumn) line.resize(kValueColumn, ' ');
    std::string length = e.length == kUndefinedLength ? "u/l" : std::to_string(e.length);
    char tail[48];
    std::snprintf(tail, sizeof tail, "#%4s,%2d ", length.c_str(), multiplicity);
    out_ += std::string(static_cast<std::size_t>(level) * 2, ' ') + line + tail + name + "\n";
}

std::string NameOf(const DataElement& e) {
    if (IsItemTag(e, 0xE000)) return "Item";
    if (IsItemTag(e, 0xE00D)) return "ItemDelimitationItem";
    if (IsItemTag(e, 0xE0DD)) return "SequenceDelimitationItem";
    if (e.group % 2 == 1 && e.element >= 0x0010 && e.element <= 0x00FF) return "PrivateCreator";
    const DictionaryEntry* entry = FindDictionaryEntry(e.group, e.element);
    return entry != nullptr ? KeywordOf(entry->name) : "Unknown Tag & Data";
}

std::size_t TextDumper::ChildCount(const ElementList& list, std::size_t at) {
    std::size_t count = 0;
    int depth = 0;
    for (std::size_t i = at + 1; i < list.size(); ++i) {
        const DataElement& e = list[i];
        bool closes = IsItemTag(e, 0xE00D) || IsItemTag(e, 0xE0DD);
        if (closes && depth == 0) break;
        if (depth == 0) ++count;
        if (e.length == kUndefinedLength) ++depth;
        if (closes) --depth;
    }
    return count;
}

bool TextDumper::Expanded(const DataElement& e, int level) {
    if (level >= kMaxDumpLevel) return false;
    ElementList contents;
    if (!dictionary::Exp_One_SQ(e, contents, explicitVR_, bigEndian_)) return false;
    bool item = IsItemTag(e, 0xE000);
    std::string marker = item ? "(Item with explicit length #=" : "(Sequence with explicit length #=";
    Line(level, e, VrOf(e), marker + std::to_string(contents.size()) + ")", 1, NameOf(e));
    if (!List(contents, level + 1)) return false;
    auto end = NewElement(0xFFFE, item ? 0xE00D : 0xE0DD, 0, nullptr, "DL");
    Line(level, *end, "na",
         item ? "(ItemDelimitationItem for re-encoding)" : "(SequenceDelimitationItem for re-encod.)", 0,
         NameOf(*end));
    return true;
}

bool TextDumper::List(const ElementList& list, int level, const std::vector<BulkValueCut>& cut) {
    std::vector<bool> pixelSequences;  // open undefined-length elements: encapsulated pixel data?
    auto nextCut = cut.begin();
    for (std::size_t i = 0; i < list.size(); ++i) {
        // A value read only in part shows its whole length; only its first words are printed.
        DataElement whole = list[i];
        if (nextCut != cut.end() && nextCut->index == i)
            whole.length = static_cast<int32_t>((nextCut++)->length);
        const DataElement& e = whole;
        int here = level + static_cast<int>(pixelSequences.size());
        if (here >= kMaxDumpLevel) return false;
        if (IsItemTag(e, 0xE00D) || IsItemTag(e, 0xE0DD)) {
            if (!pixelSequences.empty()) pixelSequences.pop_back();
            int closed = level + static_cast<int>(pixelSequences.size());
            Line(closed, e, "na",
                 IsItemTag(e, 0xE00D) ? "(ItemDelimitationItem)" : "(SequenceDelimitationItem)", 0,
                 NameOf(e));
            continue;
        }
        bool inPixels = !pixelSequences.empty() && pixelSequences.back();
        std::string vr = VrOf(e);
        if (e.length == kUndefinedLength) {
            bool pixels = !IsItemTag(e, 0xE000) && vr != "SQ";
            std::string marker = IsItemTag(e, 0xE000) ? "(Item with undefined length #="
                                 : pixels             ? "(PixelSequence #="
                                                      : "(Sequence with undefined length #=";
            Line(here, e, vr, marker + std::to_string(ChildCount(list, i)) + ")", 1, NameOf(e));
            pixelSequences.push_back(pixels);
            continue;
        }
        bool container = HasValue(e) && !inPixels && (vr == "SQ" || IsItemTag(e, 0xE000));
        if (container) {
            if (!Expanded(e, here)) return false;
            continue;
        }
        std::string value =
            inPixels ? (HasValue(e) ? BinaryText(e, "OB", false) : "(no value available)") : ValueText(e, vr);
        Line(here, e, inPixels ? "pi" : vr, value, inPixels ? 1 : Multiplicity(e, vr.c_str()), NameOf(e));
    }
    return true;
}

// A file without preamble: its meta group (when it starts with one) and data set, read as
// dcmdump reads such files. The meta group's elements are moved to `meta`.
bool ReadBareFile(const std::string& fileName, ElementList& meta, ElementList& data, ParseState& state) {
    ByteVector bytes;
    if (!LoadFile(fileName, bytes) || bytes.size() < 8) return false;
    state = ParseState{};
    bool startsWithMeta = bytes[0] == 0x02 && bytes[1] == 0x00;
    const char vr[3] = {static_cast<char>(bytes[4]), static_cast<char>(bytes[5]), 0};
    state.metaMode = startsWithMeta;
    state.explicitVR = IsKnownVR(vr);
    ElementList all;
    if (!ReadDatasetBytes(bytes.data(), bytes.size(), state, all)) return false;
    for (auto& element : all.items) (element->group == 0x0002 ? meta : data).Append(std::move(element));
    return true;
}

std::string SyntaxHeading(const ElementList& meta, const ParseState& state) {
    std::string uid = ElementUid(meta, 0x0002, 0x0010);
    if (!uid.empty()) return TransferSyntaxName(uid);
    if (!state.explicitVR) return "Implicit VR Little Endian";
    return state.bigEndian ? "Explicit VR Big Endian" : "Explicit VR Little Endian";
}

std::string CharacterSetOf(const ElementList& data) {
    const DataElement* set = FindElement(data, 0x0008, 0x0005);
    if (set == nullptr || !HasValue(*set)) return "";
    return std::string(reinterpret_cast<const char*>(set->value), static_cast<std::size_t>(set->length));
}

}  // namespace

bool DumpFileAsText(const std::string& fileName, std::string& text, DumpedFileKind& kind,
                    std::string& reason) {
    ElementList meta, data;
    ParseState state;
    BulkValueSkipping skipping{kReadBulkBytes, {}};
    kind = DumpedFileKind::kPart10;
    if (!ReadPart10FileSkippingBulk(fileName, meta, data, state, skipping)) {
        std::string part10Failure = LastFailure();
        ElementList bareMeta, bareData;
        if (IsPart10File(fileName) || !ReadBareFile(fileName, bareMeta, bareData, state)) {
            reason = part10Failure.empty() ? "not a readable DICOM file" : part10Failure;
            return false;
        }
        kind = DumpedFileKind::kBareDataSet;
        skipping.cut.clear();  // the bare read loaded every value
        meta = std::move(bareMeta);
        data = std::move(bareData);
    }
    text.clear();
    if (kind == DumpedFileKind::kPart10) text += "\n# Dicom-File-Format\n";
    TextDecoder ascii;
    if (!meta.empty()) {
        text += "\n# Dicom-Meta-Information-Header\n# Used TransferSyntax: Explicit VR Little Endian\n";
        TextDumper(text, true, false, ascii).List(meta, 0);
    }
    text += "\n# Dicom-Data-Set\n# Used TransferSyntax: " + SyntaxHeading(meta, state) + "\n";
    std::string characterSet = CharacterSetOf(data);
    std::unique_ptr<TextDecoder> decoder =
        characterSet.empty() ? nullptr : std::make_unique<TextDecoder>(characterSet);
    if (!TextDumper(text, state.explicitVR, state.bigEndian, decoder ? *decoder : ascii)
             .List(data, 0, skipping.cut)) {
        reason =
            "a sequence cannot be decoded or nests deeper than " + std::to_string(kMaxDumpLevel) + " levels";
        return false;
    }
    return true;
}

}  // namespace pella
