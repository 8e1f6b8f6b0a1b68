#include "services/index/index_attributes.h"

#include <iterator>

namespace pella {

namespace {

constexpr IndexAttribute kAttributes[] = {
    {0x0010, 0x0010, ArchiveLevel::Patient, "patient_name", MatchKind::Text},
    {0x0010, 0x0020, ArchiveLevel::Patient, "patient_id", MatchKind::Text},
    {0x0010, 0x0021, ArchiveLevel::Patient, "issuer_of_patient_id", MatchKind::Text},
    {0x0010, 0x0030, ArchiveLevel::Patient, "birth_date", MatchKind::Date},
    {0x0010, 0x0040, ArchiveLevel::Patient, "sex", MatchKind::Text},
    {0x0020, 0x000D, ArchiveLevel::Study, "study_uid", MatchKind::Uid},
    {0x0008, 0x0020, ArchiveLevel::Study, "study_date", MatchKind::Date},
    {0x0008, 0x0030, ArchiveLevel::Study, "study_time", MatchKind::Time},
    {0x0008, 0x0050, ArchiveLevel::Study, "accession_number", MatchKind::Text},
    {0x0008, 0x0090, ArchiveLevel::Study, "referring_physician", MatchKind::Text},
    {0x0008, 0x1030, ArchiveLevel::Study, "study_description", MatchKind::Text},
    {0x0020, 0x0010, ArchiveLevel::Study, "study_id", MatchKind::Text},
    {0x0020, 0x000E, ArchiveLevel::Series, "series_uid", MatchKind::Uid},
    {0x0008, 0x0060, ArchiveLevel::Series, "modality", MatchKind::Text},
    {0x0008, 0x0021, ArchiveLevel::Series, "series_date", MatchKind::Date},
    {0x0008, 0x0031, ArchiveLevel::Series, "series_time", MatchKind::Time},
    {0x0008, 0x103E, ArchiveLevel::Series, "series_description", MatchKind::Text},
    {0x0018, 0x0015, ArchiveLevel::Series, "body_part", MatchKind::Text},
    {0x0020, 0x0011, ArchiveLevel::Series, "series_number", MatchKind::Text},
    {0x0008, 0x0018, ArchiveLevel::Image, "sop_uid", MatchKind::Uid},
    {0x0008, 0x0016, ArchiveLevel::Image, "sop_class", MatchKind::Uid},
    {0x0008, 0x0023, ArchiveLevel::Image, "content_date", MatchKind::Date},
    {0x0008, 0x0033, ArchiveLevel::Image, "content_time", MatchKind::Time},
    {0x0020, 0x0013, ArchiveLevel::Image, "instance_number", MatchKind::Text},
    // Procedure Code Sequence, first item
    {0x0008, 0x0100, ArchiveLevel::Study, "procedure_code_value", MatchKind::Text, 0x0008, 0x1032},
    {0x0008, 0x0102, ArchiveLevel::Study, "procedure_code_scheme", MatchKind::Text, 0x0008, 0x1032},
    {0x0008, 0x0104, ArchiveLevel::Study, "procedure_code_meaning", MatchKind::Text, 0x0008, 0x1032},
    // Request Attributes Sequence, first item
    {0x0040, 0x1001, ArchiveLevel::Series, "requested_procedure_id", MatchKind::Text, 0x0040, 0x0275},
    {0x0040, 0x0009, ArchiveLevel::Series, "scheduled_step_id", MatchKind::Text, 0x0040, 0x0275},
    {0x0032, 0x1060, ArchiveLevel::Series, "requested_procedure_description", MatchKind::Text, 0x0040,
     0x0275},
};

struct DerivedTag {
    uint16_t group;
    uint16_t element;
    DerivedAttribute attribute;
    ArchiveLevel level;
};

constexpr DerivedTag kDerived[] = {
    {0x0008, 0x0061, DerivedAttribute::ModalitiesInStudy, ArchiveLevel::Study},
    {0x0020, 0x1200, DerivedAttribute::NumberOfPatientRelatedStudies, ArchiveLevel::Patient},
    {0x0020, 0x1202, DerivedAttribute::NumberOfPatientRelatedSeries, ArchiveLevel::Patient},
    {0x0020, 0x1204, DerivedAttribute::NumberOfPatientRelatedInstances, ArchiveLevel::Patient},
    {0x0020, 0x1206, DerivedAttribute::NumberOfStudyRelatedSeries, ArchiveLevel::Study},
    {0x0020, 0x1208, DerivedAttribute::NumberOfStudyRelatedInstances, ArchiveLevel::Study},
    {0x0020, 0x1209, DerivedAttribute::NumberOfSeriesRelatedInstances, ArchiveLevel::Series},
};

}  // namespace

std::span<const IndexAttribute> IndexAttributes() {
    return kAttributes;
}

const IndexAttribute* FindIndexAttribute(uint16_t group, uint16_t element) {
    return FindItemAttribute(0, 0, group, element);
}

const IndexAttribute* FindItemAttribute(uint16_t sequenceGroup, uint16_t sequenceElement, uint16_t group,
                                        uint16_t element) {
    for (const IndexAttribute& attribute : kAttributes)
        if (attribute.group == group && attribute.element == element &&
            attribute.sequenceGroup == sequenceGroup && attribute.sequenceElement == sequenceElement)
            return &attribute;
    return nullptr;
}

bool IsIndexedSequence(uint16_t group, uint16_t element) {
    for (const IndexAttribute& attribute : kAttributes)
        if (attribute.InSequence() && attribute.sequenceGroup == group &&
            attribute.sequenceElement == element)
            return true;
    return false;
}

DerivedAttribute FindDerivedAttribute(uint16_t group, uint16_t element) {
    for (const DerivedTag& derived : kDerived)
        if (derived.group == group && derived.element == element) return derived.attribute;
    return DerivedAttribute::None;
}

ArchiveLevel DerivedLevel(DerivedAttribute attribute) {
    for (const DerivedTag& derived : kDerived)
        if (derived.attribute == attribute) return derived.level;
    return ArchiveLevel::Patient;
}

bool IsArchiveIndexAttribute(uint16_t group, uint16_t element) {
    return (group == 0x0008 && element == 0x0005) || FindIndexAttribute(group, element) != nullptr ||
           IsIndexedSequence(group, element);
}

}  // namespace pella
