#include "data/anonymize/deidentification_marks.h"

#include <cstring>

#include "data/anonymize/top_level_placement.h"

namespace pella {

namespace {

constexpr MethodCode kBasicProfile{"113100", "Basic Application Confidentiality Profile"};
constexpr MethodCode kCleanDescriptors{"113105", "Clean Descriptors Option"};
constexpr MethodCode kFullDates{"113106", "Retain Longitudinal Temporal Information Full Dates Option"};
constexpr MethodCode kModifiedDates{"113107",
                                    "Retain Longitudinal Temporal Information Modified Dates Option"};
constexpr MethodCode kPatientCharacteristics{"113108", "Retain Patient Characteristics Option"};
constexpr MethodCode kDeviceIdentity{"113109", "Retain Device Identity Option"};
constexpr MethodCode kUids{"113110", "Retain UIDs Option"};
constexpr MethodCode kInstitutionIdentity{"113112", "Retain Institution Identity Option"};

ElementPtr TextElement(uint16_t group, uint16_t element, const char* vr, std::string value) {
    if (value.size() % 2) value.push_back(' ');
    return NewElement(group, element, static_cast<int32_t>(value.size()), value.data(), vr);
}

ElementPtr Marker(uint16_t element, int32_t length) {
    return NewElement(0xFFFE, element, length, nullptr, "DL");
}

std::vector<ElementPtr> One(ElementPtr element) {
    std::vector<ElementPtr> run;
    run.push_back(std::move(element));
    return run;
}

std::vector<ElementPtr> CodeSequence(const std::vector<MethodCode>& codes) {
    std::vector<ElementPtr> run;
    run.push_back(NewElement(0x0012, 0x0064, kUndefinedLength, nullptr, "SQ"));
    for (const MethodCode& code : codes) {
        run.push_back(Marker(0xE000, kUndefinedLength));
        run.push_back(TextElement(0x0008, 0x0100, "SH", code.value));
        run.push_back(TextElement(0x0008, 0x0102, "SH", "DCM"));
        run.push_back(TextElement(0x0008, 0x0104, "LO", code.meaning));
        run.push_back(Marker(0xE00D, 0));
    }
    run.push_back(Marker(0xE0DD, 0));
    return run;
}

// The method in words: the codes' meanings, one value each (a value holds 64 characters).
std::string MethodText(const std::vector<MethodCode>& codes) {
    std::string text;
    for (const MethodCode& code : codes) {
        if (!text.empty()) text += '\\';
        text += std::string(code.meaning).substr(0, 64);
    }
    return text;
}

}  // namespace

std::vector<MethodCode> MethodCodes(const AnonymizeOptions& options) {
    std::vector<MethodCode> codes{kBasicProfile};
    if (options.cleanDescriptors) codes.push_back(kCleanDescriptors);
    if (options.retainFullDates) codes.push_back(kFullDates);
    if (options.dateShiftDays) codes.push_back(kModifiedDates);
    if (options.retainPatientCharacteristics) codes.push_back(kPatientCharacteristics);
    if (options.retainDeviceIdentity) codes.push_back(kDeviceIdentity);
    if (options.retainUids) codes.push_back(kUids);
    if (options.retainInstitutionIdentity) codes.push_back(kInstitutionIdentity);
    return codes;
}

void AddDeidentificationMarks(ElementList& dataSet, const AnonymizeOptions& options) {
    std::vector<MethodCode> codes = MethodCodes(options);
    PlaceAtTopLevel(dataSet, One(TextElement(0x0012, 0x0062, "CS", "YES")));
    PlaceAtTopLevel(dataSet, One(TextElement(0x0012, 0x0063, "LO", MethodText(codes))));
    PlaceAtTopLevel(dataSet, CodeSequence(codes));
    if (options.dateShiftDays) PlaceAtTopLevel(dataSet, One(TextElement(0x0028, 0x0303, "CS", "MODIFIED")));
}

}  // namespace pella
