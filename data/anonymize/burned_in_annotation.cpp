#include "data/anonymize/burned_in_annotation.h"

#include <algorithm>
#include <array>

#include "data/registry/uid.h"

namespace pella {

namespace {

constexpr std::array<std::string_view, 14> kCommonlyBurnedIn{
    "1.2.840.10008.5.1.4.1.1.3",         // Ultrasound Multi-frame Image (retired)
    "1.2.840.10008.5.1.4.1.1.3.1",       // Ultrasound Multi-frame Image
    "1.2.840.10008.5.1.4.1.1.6",         // Ultrasound Image (retired)
    "1.2.840.10008.5.1.4.1.1.6.1",       // Ultrasound Image
    "1.2.840.10008.5.1.4.1.1.6.2",       // Enhanced US Volume
    "1.2.840.10008.5.1.4.1.1.7",         // Secondary Capture Image
    "1.2.840.10008.5.1.4.1.1.7.1",       // Multi-frame Single Bit Secondary Capture
    "1.2.840.10008.5.1.4.1.1.7.2",       // Multi-frame Grayscale Byte Secondary Capture
    "1.2.840.10008.5.1.4.1.1.7.3",       // Multi-frame Grayscale Word Secondary Capture
    "1.2.840.10008.5.1.4.1.1.7.4",       // Multi-frame True Color Secondary Capture
    "1.2.840.10008.5.1.4.1.1.104.1",     // Encapsulated PDF
    "1.2.840.10008.5.1.4.1.1.104.2",     // Encapsulated CDA
    "1.2.840.10008.5.1.4.1.1.77.1.1.1",  // Video Endoscopic Image
    "1.2.840.10008.5.1.4.1.1.77.1.4.1",  // Video Photographic Image
};

std::string_view ValueText(const DataElement* element) {
    if (element == nullptr || !HasValue(*element)) return {};
    std::string_view text(reinterpret_cast<const char*>(element->value),
                          static_cast<std::size_t>(element->length));
    while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.remove_suffix(1);
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    return text;
}

}  // namespace

bool IsCommonlyBurnedInClass(std::string_view sopClassUid) {
    std::string_view uid = WithoutUidPadding(sopClassUid);
    return std::find(kCommonlyBurnedIn.begin(), kCommonlyBurnedIn.end(), uid) != kCommonlyBurnedIn.end();
}

bool MayShowBurnedInText(const ElementList& dataSet) {
    const DataElement* annotation = FindElement(dataSet, 0x0028, 0x0301);
    if (!ValueText(annotation).empty()) return ValueText(annotation) == "YES";
    return IsCommonlyBurnedInClass(ValueText(FindElement(dataSet, 0x0008, 0x0016)));
}

}  // namespace pella
