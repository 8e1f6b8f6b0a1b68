#include "data/json/dataset_json.h"

#include <cstdio>
#include <cstring>
#include <memory>

#include "data/dictionary/dictionary.h"
#include "data/io/sequence_decoding.h"

namespace pella {

namespace {

bool IsTag(const DataElement& e, uint16_t group, uint16_t element) {
    return e.group == group && e.element == element;
}
bool IsItem(const DataElement& e) {
    return IsTag(e, 0xFFFE, 0xE000);
}
bool IsItemEnd(const DataElement& e) {
    return IsTag(e, 0xFFFE, 0xE00D);
}
bool IsSequenceEnd(const DataElement& e) {
    return IsTag(e, 0xFFFE, 0xE0DD);
}

std::string TagKey(const DataElement& e) {
    char key[12];
    std::snprintf(key, sizeof key, "%04X%04X", e.group, e.element);
    return key;
}

// The VR the JSON names: the encoded one ("UN" for a code that is no VR), or for implicit data
// the dictionary's, with private creators as LO and group lengths as UL.
std::string JsonVR(const DataElement& e) {
    if (e.vr[0] != '\0') return IsKnownVR(e.vr) ? std::string(e.vr, 2) : "UN";
    if (e.element == 0x0000) return "UL";
    if ((e.group & 1) != 0 && e.element >= 0x0010 && e.element <= 0x00FF) return "LO";
    DataElement copy = e;
    LookupVR(copy);
    return std::string(copy.vr, 2);
}

// Walks the flat list from `next`, one data set or item at a time.
class Walker {
public:
    Walker(const JsonSource& source, const JsonOptions& options, std::size_t start)
        : source_(source), options_(options), next_(start) {}

    // The members of one data set or item, up to and including its item delimitation.
    bool Object(const TextDecoder& inherited, int depth, Json& out) {
        if (depth > kMaxSequenceDepth) return false;
        out = Json::object();
        const TextDecoder* text = &inherited;
        std::unique_ptr<TextDecoder> own;
        while (next_ < List().size()) {
            const DataElement& e = List()[next_];
            if (IsItemEnd(e)) {
                ++next_;
                if (depth > 0) return true;
                continue;  // a stray delimitation in the data set itself
            }
            if (IsSequenceEnd(e) && depth > 0) return true;  // an item left open: the sequence ends it
            std::size_t index = next_++;
            if (e.group == 0xFFFE || e.group == 0x0002) continue;  // stray delimiters, file meta
            Json attribute;
            if (!Attribute(index, *text, depth, attribute)) return false;
            out[TagKey(e)] = std::move(attribute);
            if (IsTag(e, 0x0008, 0x0005)) {
                own = std::make_unique<TextDecoder>(
                    std::string(reinterpret_cast<const char*>(e.value), HasValue(e) ? e.length : 0));
                text = own.get();
            }
        }
        return true;
    }

private:
    const ElementList& List() const { return source_.list; }

    uint64_t ValueOffset(std::size_t index) const {
        return source_.valueOffsets ? (*source_.valueOffsets)[index] : 0;
    }

    bool Inline(uint64_t length) const {
        return options_.inlineLimit < 0 || options_.fileUri.empty() ||
               length <= static_cast<uint64_t>(options_.inlineLimit) || !source_.valueOffsets;
    }

    std::string BulkUri(uint64_t offset, uint64_t length) const {
        return options_.fileUri + "?offset=" + std::to_string(offset) + "&length=" + std::to_string(length);
    }

    bool Attribute(std::size_t index, const TextDecoder& text, int depth, Json& attribute) {
        const DataElement& e = List()[index];
        std::string vr = JsonVR(e);
        bool undefined = e.length == kUndefinedLength;
        bool encapsulated = undefined && (IsTag(e, 0x7FE0, 0x0010) || vr == "OB" || vr == "OW");
        if (encapsulated) return Fragments(e.vr[0] != '\0' ? vr : "OB", attribute);
        if (undefined || vr == "SQ") {
            attribute["vr"] = "SQ";
            if (undefined) return Items(text, depth, attribute);
            if (HasValue(e)) return DefinedSequence(index, text, depth, attribute);
            return true;
        }
        attribute["vr"] = vr;
        if (IsBinaryJsonVR(vr.c_str())) {
            Binary(index, attribute);
        } else {
            bool bigEndian = source_.encoding.bigEndian && e.vr[0] != '\0';
            SetJsonValue(attribute, vr.c_str(), e, bigEndian, text);
        }
        return true;
    }

    void Binary(std::size_t index, Json& attribute) const {
        const DataElement& e = List()[index];
        if (!HasValue(e) || e.value == nullptr) return;
        uint64_t length = static_cast<uint64_t>(e.length);
        if (Inline(length)) {
            attribute["InlineBinary"] =
                Json::binary(Json::binary_t::container_type(e.value, e.value + length));
        } else {
            attribute["BulkDataURI"] = BulkUri(ValueOffset(index), length);
        }
    }

    // Items of an undefined-length sequence, up to and including its delimitation.
    bool Items(const TextDecoder& text, int depth, Json& attribute) {
        Json items = Json::array();
        while (next_ < List().size()) {
            const DataElement& e = List()[next_];
            if (IsSequenceEnd(e)) {
                ++next_;
                break;
            }
            if (!IsItem(e)) break;  // the sequence was never closed
            std::size_t index = next_++;
            Json item;
            bool ok = e.length == kUndefinedLength ? Object(text, depth + 1, item)
                                                   : DefinedItem(index, text, depth, item);
            if (!ok) return false;
            items.push_back(std::move(item));
        }
        if (!items.empty()) attribute["Value"] = std::move(items);
        return true;
    }

    // Decodes a defined-length sequence or item into the flat form and walks that.
    bool Flattened(std::size_t index, ElementList& flat, std::vector<uint64_t>& offsets) const {
        ParseState state = source_.encoding;
        state.metaMode = false;
        const DataElement& e = List()[index];
        if (e.vr[0] == '\0') {
            state.explicitVR = false;
            state.bigEndian = false;
        }
        return FlattenSequence(state, e, flat, &offsets, ValueOffset(index));
    }

    bool DefinedSequence(std::size_t index, const TextDecoder& text, int depth, Json& attribute) {
        ElementList flat;
        std::vector<uint64_t> offsets;
        if (!Flattened(index, flat, offsets)) {
            // Not a decodable sequence after all: keep the bytes.
            attribute["vr"] = "UN";
            Binary(index, attribute);
            return true;
        }
        Walker inner({flat, source_.valueOffsets ? &offsets : nullptr, source_.encoding}, options_, 1);
        return inner.Items(text, depth, attribute);
    }

    bool DefinedItem(std::size_t index, const TextDecoder& text, int depth, Json& item) {
        item = Json::object();
        if (!HasValue(List()[index])) return true;
        ElementList flat;
        std::vector<uint64_t> offsets;
        if (!Flattened(index, flat, offsets)) return true;  // undecodable item: left empty
        Walker inner({flat, source_.valueOffsets ? &offsets : nullptr, source_.encoding}, options_, 1);
        return inner.Object(text, depth + 1, item);
    }

    // Encapsulated pixel data: the items as they stand in the file (headers included), up to
    // the sequence delimitation. The VR is the file's (OB, or OW as some writers have it).
    bool Fragments(const std::string& vr, Json& attribute) {
        attribute["vr"] = vr;
        std::size_t first = next_;
        uint64_t total = 0;
        while (next_ < List().size() && IsItem(List()[next_])) {
            const DataElement& item = List()[next_++];
            total += 8 + static_cast<uint64_t>(item.length > 0 ? item.length : 0);
        }
        std::size_t end = next_;
        if (next_ < List().size() && IsSequenceEnd(List()[next_])) ++next_;
        if (total == 0) return true;
        if (!Inline(total)) {
            attribute["BulkDataURI"] = BulkUri(ValueOffset(first) - 8, total);
            return true;
        }
        std::vector<uint8_t> bytes;
        bytes.reserve(total);
        for (std::size_t i = first; i < end; ++i) {
            const DataElement& item = List()[i];
            uint32_t length = static_cast<uint32_t>(item.length > 0 ? item.length : 0);
            const uint8_t header[8] = {0xFE,
                                       0xFF,
                                       0x00,
                                       0xE0,
                                       static_cast<uint8_t>(length),
                                       static_cast<uint8_t>(length >> 8),
                                       static_cast<uint8_t>(length >> 16),
                                       static_cast<uint8_t>(length >> 24)};
            bytes.insert(bytes.end(), header, header + 8);
            if (length > 0) bytes.insert(bytes.end(), item.value, item.value + length);
        }
        attribute["InlineBinary"] = Json::binary(std::move(bytes));
        return true;
    }

    JsonSource source_;
    const JsonOptions& options_;
    std::size_t next_;
};

}  // namespace

bool DatasetToJson(const JsonSource& source, const JsonOptions& options, Json& out) {
    static const TextDecoder kDefault;
    Walker walker(source, options, 0);
    return walker.Object(kDefault, 0, out);
}

}  // namespace pella
