#include "services/query/query_record_layout.h"

#include <array>
#include <cctype>
#include <cstddef>
#include <vector>

#include "data/dictionary/dictionary.h"
#include "pella.h"

namespace pella {

namespace {

// A position of a record: the member's slot in the pella.h struct, the attribute, and whether
// it lives in the step item.
struct Slot {
    std::size_t position;
    uint16_t group;
    uint16_t element;
    bool inStep;
};

#define PELLA_SLOT(Record, member, group, element)                      \
    Slot {                                                              \
        offsetof(Record, member) / sizeof(char*), group, element, false \
    }
#define PELLA_STEP_SLOT(Record, member, group, element)                \
    Slot {                                                             \
        offsetof(Record, member) / sizeof(char*), group, element, true \
    }

constexpr Slot kStudySlots[] = {
    PELLA_SLOT(StudyQueryRecord, patientName, 0x0010, 0x0010),
    PELLA_SLOT(StudyQueryRecord, patientID, 0x0010, 0x0020),
    PELLA_SLOT(StudyQueryRecord, patientAge, 0x0010, 0x1010),
    PELLA_SLOT(StudyQueryRecord, patientSex, 0x0010, 0x0040),
    PELLA_SLOT(StudyQueryRecord, patientBirthDate, 0x0010, 0x0030),
    PELLA_SLOT(StudyQueryRecord, studyDate, 0x0008, 0x0020),
    PELLA_SLOT(StudyQueryRecord, studyTime, 0x0008, 0x0030),
    PELLA_SLOT(StudyQueryRecord, studyID, 0x0020, 0x0010),
    PELLA_SLOT(StudyQueryRecord, studyDescription, 0x0008, 0x1030),
    PELLA_SLOT(StudyQueryRecord, studyInstanceUID, 0x0020, 0x000D),
    PELLA_SLOT(StudyQueryRecord, institutionName, 0x0008, 0x0080),
    PELLA_SLOT(StudyQueryRecord, referringPhysicianName, 0x0008, 0x0090),
    PELLA_SLOT(StudyQueryRecord, modalitiesInStudy, 0x0008, 0x0061),
    PELLA_SLOT(StudyQueryRecord, accessionNumber, 0x0008, 0x0050),
};

constexpr Slot kSeriesSlots[] = {
    PELLA_SLOT(SeriesQueryRecord, seriesDate, 0x0008, 0x0021),
    PELLA_SLOT(SeriesQueryRecord, seriesTime, 0x0008, 0x0031),
    PELLA_SLOT(SeriesQueryRecord, seriesDescription, 0x0008, 0x103E),
    PELLA_SLOT(SeriesQueryRecord, bodyPartExamined, 0x0018, 0x0015),
    PELLA_SLOT(SeriesQueryRecord, seriesInstanceUID, 0x0020, 0x000E),
    PELLA_SLOT(SeriesQueryRecord, seriesNumber, 0x0020, 0x0011),
    PELLA_SLOT(SeriesQueryRecord, modality, 0x0008, 0x0060),
    PELLA_SLOT(SeriesQueryRecord, studyInstanceUID, 0x0020, 0x000D),
    PELLA_SLOT(SeriesQueryRecord, protocolName, 0x0018, 0x1030),
    PELLA_SLOT(SeriesQueryRecord, patientPosition, 0x0018, 0x5100),
};

constexpr Slot kImageSlots[] = {
    PELLA_SLOT(ImageQueryRecord, contentDate, 0x0008, 0x0023),
    PELLA_SLOT(ImageQueryRecord, contentTime, 0x0008, 0x0033),
    PELLA_SLOT(ImageQueryRecord, instanceNumber, 0x0020, 0x0013),
    PELLA_SLOT(ImageQueryRecord, acquisitionDate, 0x0008, 0x0022),
    PELLA_SLOT(ImageQueryRecord, acquisitionTime, 0x0008, 0x0032),
    PELLA_SLOT(ImageQueryRecord, acquisitionNumber, 0x0020, 0x0012),
    PELLA_SLOT(ImageQueryRecord, sopInstanceUID, 0x0008, 0x0018),
    PELLA_SLOT(ImageQueryRecord, sopClassUID, 0x0008, 0x0016),
    PELLA_SLOT(ImageQueryRecord, seriesNumber, 0x0020, 0x0011),
    PELLA_SLOT(ImageQueryRecord, seriesInstanceUID, 0x0020, 0x000E),
    PELLA_SLOT(ImageQueryRecord, studyInstanceUID, 0x0020, 0x000D),
    PELLA_SLOT(ImageQueryRecord, sliceLocation, 0x0020, 0x1041),
    PELLA_SLOT(ImageQueryRecord, imageType, 0x0008, 0x0008),
    PELLA_SLOT(ImageQueryRecord, numberOfFrames, 0x0028, 0x0008),
    PELLA_SLOT(ImageQueryRecord, imagePosition, 0x0020, 0x0030),
    PELLA_SLOT(ImageQueryRecord, imageOrientationPatient, 0x0020, 0x0037),
    PELLA_SLOT(ImageQueryRecord, imagePositionPatient, 0x0020, 0x0032),
    PELLA_SLOT(ImageQueryRecord, frameOfReferenceUID, 0x0020, 0x0052),
};

constexpr Slot kPatientSlots[] = {
    PELLA_SLOT(PatientQueryRecord, patientName, 0x0010, 0x0010),
    PELLA_SLOT(PatientQueryRecord, patientID, 0x0010, 0x0020),
    PELLA_SLOT(PatientQueryRecord, issuerOfPatientID, 0x0010, 0x0021),
    PELLA_SLOT(PatientQueryRecord, patientBirthDate, 0x0010, 0x0030),
    PELLA_SLOT(PatientQueryRecord, patientSex, 0x0010, 0x0040),
    PELLA_SLOT(PatientQueryRecord, numberOfPatientRelatedStudies, 0x0020, 0x1200),
    PELLA_SLOT(PatientQueryRecord, numberOfPatientRelatedSeries, 0x0020, 0x1202),
    PELLA_SLOT(PatientQueryRecord, numberOfPatientRelatedInstances, 0x0020, 0x1204),
};

constexpr Slot kWorklistSlots[] = {
    PELLA_SLOT(WorklistQueryRecord, patientName, 0x0010, 0x0010),
    PELLA_SLOT(WorklistQueryRecord, patientID, 0x0010, 0x0020),
    PELLA_SLOT(WorklistQueryRecord, patientBirthDate, 0x0010, 0x0030),
    PELLA_SLOT(WorklistQueryRecord, patientSex, 0x0010, 0x0040),
    PELLA_SLOT(WorklistQueryRecord, accessionNumber, 0x0008, 0x0050),
    PELLA_SLOT(WorklistQueryRecord, requestingPhysician, 0x0032, 0x1032),
    PELLA_SLOT(WorklistQueryRecord, unused, 0x0000, 0x0000),
    PELLA_SLOT(WorklistQueryRecord, contrastAllergies, 0x0010, 0x2110),
    PELLA_SLOT(WorklistQueryRecord, studyInstanceUID, 0x0020, 0x000D),
    PELLA_SLOT(WorklistQueryRecord, requestedProcedureDescription, 0x0032, 0x1060),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledProcedureStepStartTime, 0x0040, 0x0003),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledProcedureStepStartDate, 0x0040, 0x0002),
    PELLA_STEP_SLOT(WorklistQueryRecord, modality, 0x0008, 0x0060),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledStationAETitle, 0x0040, 0x0001),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledPerformingPhysicianName, 0x0040, 0x0006),
    PELLA_STEP_SLOT(WorklistQueryRecord, requestedContrastAgent, 0x0032, 0x1070),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledProcedureStepID, 0x0040, 0x0009),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledProcedureStepDescription, 0x0040, 0x0007),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledStationName, 0x0040, 0x0010),
    PELLA_STEP_SLOT(WorklistQueryRecord, scheduledProcedureStepLocation, 0x0040, 0x0011),
    PELLA_STEP_SLOT(WorklistQueryRecord, preMedication, 0x0040, 0x0012),
    PELLA_SLOT(WorklistQueryRecord, requestedProcedureID, 0x0040, 0x1001),
    PELLA_SLOT(WorklistQueryRecord, requestedProcedurePriority, 0x0040, 0x1003),
};

#undef PELLA_SLOT
#undef PELLA_STEP_SLOT

// The table covers every text of the struct, in member order, each attribute once and none
// twice within one place (top level or step item).
template <typename Record, std::size_t N>
constexpr bool DescribesRecord(const Slot (&slots)[N]) {
    if (N * sizeof(char*) != sizeof(Record)) return false;
    for (std::size_t i = 0; i < N; ++i) {
        if (slots[i].position != i) return false;
        for (std::size_t j = 0; j < i; ++j) {
            bool sameTag = slots[i].group == slots[j].group && slots[i].element == slots[j].element;
            if (sameTag && slots[i].group != 0 && slots[i].inStep == slots[j].inStep) return false;
        }
    }
    return true;
}

static_assert(DescribesRecord<StudyQueryRecord>(kStudySlots), "StudyQueryRecord and its table differ");
static_assert(DescribesRecord<SeriesQueryRecord>(kSeriesSlots), "SeriesQueryRecord and its table differ");
static_assert(DescribesRecord<ImageQueryRecord>(kImageSlots), "ImageQueryRecord and its table differ");
static_assert(DescribesRecord<PatientQueryRecord>(kPatientSlots), "PatientQueryRecord and its table differ");
static_assert(DescribesRecord<WorklistQueryRecord>(kWorklistSlots),
              "WorklistQueryRecord and its table differ");

// A level's fields with VR and keyword from the dictionary, built once.
struct Described {
    std::vector<std::string> keywords;
    std::vector<QueryField> fields;

    explicit Described(std::span<const Slot> slots) {
        keywords.reserve(slots.size());  // the fields point into these strings
        for (const Slot& slot : slots) {
            const DictionaryEntry* entry =
                slot.group == 0 ? nullptr : FindDictionaryEntry(slot.group, slot.element);
            keywords.push_back(entry ? KeywordOf(entry->name) : "");
            fields.push_back(
                {slot.group, slot.element, slot.inStep, entry ? entry->vr : "", keywords.back().c_str()});
        }
    }
};

}  // namespace

std::span<const QueryField> QueryFields(QueryLevel level) {
    // In the order of QueryLevel.
    static const std::array<Described, 5> described{Described(kStudySlots), Described(kSeriesSlots),
                                                    Described(kImageSlots), Described(kWorklistSlots),
                                                    Described(kPatientSlots)};
    return described[static_cast<std::size_t>(level)].fields;
}

}  // namespace pella
