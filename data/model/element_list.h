// The in-memory form of DICOM data: owned data elements and the ordered element list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "pella.h"

namespace pella {

// Frees an element and its value bytes.
struct ElementDeleter {
    void operator()(DataElement* element) const noexcept;
};
using ElementPtr = std::unique_ptr<DataElement, ElementDeleter>;

constexpr int32_t kUndefinedLength = -1;

// True when the element carries value bytes (length neither 0 nor undefined).
inline bool HasValue(const DataElement& e) {
    return e.length > 0;
}

}  // namespace pella

// The list type of the public header. Elements in encoding order, appended at the end only;
// duplicates allowed. Undefined-length sequences and items stand flat in the list, between their
// element and its delimiter. Lookups return the first match among the data set's own (top-level)
// elements; FindNestedElement is the explicit lookup that also looks inside items.
struct ElementList {
    std::vector<pella::ElementPtr> items;

    void Append(pella::ElementPtr element) { items.push_back(std::move(element)); }
    std::size_t size() const { return items.size(); }
    bool empty() const { return items.empty(); }
    DataElement& operator[](std::size_t i) const { return *items[i]; }
    auto begin() const { return items.begin(); }
    auto end() const { return items.end(); }
};

namespace pella {

using ::ElementList;

// Makes an element: low 16 bits of group and element, the two VR characters when given, and a
// copy of `length` bytes of `value` when length is neither 0 nor -1 (zero bytes when value is
// null). Throws std::invalid_argument for a negative length other than -1.
ElementPtr NewElement(uint32_t group, uint32_t element, int32_t length, const void* value, const char* vr);

// An element whose `length` value bytes are allocated but left for the caller to fill.
ElementPtr NewElementToFill(uint32_t group, uint32_t element, int32_t length, const char* vr);

// The first top-level element with the tag, or nullptr: an element inside an undefined-length
// sequence item never stands in for the data set's own attribute.
DataElement* FindElement(const ElementList& list, uint16_t group, uint16_t element);

// The first element with the tag at any depth, items included, or nullptr.
DataElement* FindNestedElement(const ElementList& list, uint16_t group, uint16_t element);

// False when the list ends inside an undefined-length sequence, item or encapsulated pixel data
// (a data set cut short, which no reader could parse back).
bool SequencesClosed(const ElementList& list);

// The first two value bytes as a little-endian 16-bit number; 0 when absent or shorter.
uint16_t GetElementUS(const ElementList& list, uint16_t group, uint16_t element);

// The value as trimmed text; Rows and Columns as numbers; Patient's Name with "^" for ",".
std::string GetElementText(const ElementList& list, uint16_t group, uint16_t element);
// The same for one element wherever it stands (an item's element, say).
std::string ElementText(const DataElement& element);

// Bytes the list occupies when serialised in the given encoding (group 0002 always explicit).
uint64_t EncodedListLength(const ElementList& list, bool explicitVR);

// How one element's header is serialised. Group 0002 always carries a VR; items and delimiters
// never do. A VR that is not one of the standard's (IsKnownVR), or a 16-bit-length VR whose
// length does not fit 16 bits (a long LUT or text, or an undefined length), is written as "UN"
// with a 32-bit length, so that no length is ever cut.
struct HeaderForm {
    bool withVR = false;      // tag, VR, length (explicit) or tag, 32-bit length (implicit)
    bool longLength = false;  // with VR: two reserved bytes and a 32-bit length
    char vr[2] = {0, 0};      // the VR written, when withVR
};
HeaderForm EncodedHeaderForm(const DataElement& element, bool explicitVR);

// Header size of one element when serialised (8 or 12 bytes), from EncodedHeaderForm.
uint32_t EncodedHeaderSize(const DataElement& element, bool explicitVR);

// Appends a deep copy of every element of `source` to `destination`, in order.
void CopyElements(ElementList& destination, const ElementList& source);

// Frees every element and empties the list; the list stays usable.
void ClearTags(ElementList& list);

// VR helpers shared by every encoder and decoder.
bool VrIs(const char* vr, const char* name);
// VRs with two reserved bytes and a 32-bit length in explicit VR: OB, OW, SQ, UN, UT, and the
// later additions OF, OD, OL, OV, UC, UR, SV, UV (a 16-bit length read there would misparse
// everything after the element).
bool IsLongFormVR(const char* vr);
bool IsKnownVR(const char* vr);          // any VR of the standard (not the pseudo-VR "DL")
bool IsDelimiter(const DataElement& e);  // group FFFE or pseudo-VR "DL"

}  // namespace pella
