#include "services/query/query_records.h"

#include <cstdlib>
#include <cstring>

#include "log/protocol_log.h"

namespace pella {

namespace {

constexpr QueryField kStudyFields[] = {
    {0x0010, 0x0010, "PN", "PatientName"},      {0x0010, 0x0020, "LO", "PatientID"},
    {0x0010, 0x1010, "AS", "PatientAge"},       {0x0010, 0x0040, "CS", "PatientSex"},
    {0x0010, 0x0030, "DA", "PatientBirthDate"}, {0x0008, 0x0020, "DA", "StudyDate"},
    {0x0008, 0x0030, "TM", "StudyTime"},        {0x0020, 0x0010, "SH", "StudyID"},
    {0x0008, 0x1030, "LO", "StudyDescription"}, {0x0020, 0x000D, "UI", "StudyInstanceUID"},
    {0x0008, 0x0080, "LO", "InstitutionName"},  {0x0008, 0x0090, "PN", "ReferringPhysicianName"},
    {0x0008, 0x0061, "CS", "ModalitiesInStudy"}, {0x0008, 0x0050, "SH", "AccessionNumber"},
};

constexpr QueryField kSeriesFields[] = {
    {0x0008, 0x0021, "DA", "SeriesDate"},        {0x0008, 0x0031, "TM", "SeriesTime"},
    {0x0008, 0x103E, "LO", "SeriesDescription"}, {0x0018, 0x0015, "CS", "BodyPartExamined"},
    {0x0020, 0x000E, "UI", "SeriesInstanceUID"}, {0x0020, 0x0011, "IS", "SeriesNumber"},
    {0x0008, 0x0060, "CS", "Modality"},          {0x0020, 0x000D, "UI", "StudyInstanceUID"},
    {0x0018, 0x1030, "LO", "ProtocolName"},      {0x0018, 0x5100, "CS", "PatientPosition"},
};

constexpr QueryField kImageFields[] = {
    {0x0008, 0x0023, "DA", "ContentDate"},        {0x0008, 0x0033, "TM", "ContentTime"},
    {0x0020, 0x0013, "IS", "InstanceNumber"},     {0x0008, 0x0022, "DA", "AcquisitionDate"},
    {0x0008, 0x0032, "TM", "AcquisitionTime"},    {0x0020, 0x0012, "IS", "AcquisitionNumber"},
    {0x0008, 0x0018, "UI", "SOPInstanceUID"},     {0x0008, 0x0016, "UI", "SOPClassUID"},
    {0x0020, 0x0011, "IS", "SeriesNumber"},       {0x0020, 0x000E, "UI", "SeriesInstanceUID"},
    {0x0020, 0x000D, "UI", "StudyInstanceUID"},   {0x0020, 0x1041, "DS", "SliceLocation"},
    {0x0008, 0x0008, "CS", "ImageType"},          {0x0028, 0x0008, "IS", "NumberOfFrames"},
    {0x0020, 0x0030, "DS", "ImagePosition"},      {0x0020, 0x0037, "DS", "ImageOrientationPatient"},
    {0x0020, 0x0032, "DS", "ImagePositionPatient"}, {0x0020, 0x0052, "UI", "FrameOfReferenceUID"},
};

constexpr QueryField kWorklistFields[] = {
    {0x0010, 0x0010, "PN", "PatientName"},
    {0x0010, 0x0020, "LO", "PatientID"},
    {0x0010, 0x0030, "DA", "PatientBirthDate"},
    {0x0010, 0x0040, "CS", "PatientSex"},
    {0x0008, 0x0050, "SH", "AccessionNumber"},
    {0x0032, 0x1032, "PN", "RequestingPhysician"},
    {0x0000, 0x0000, "", ""},  // unused, always empty
    {0x0010, 0x2110, "LO", "ContrastAllergies"},
    {0x0020, 0x000D, "UI", "StudyInstanceUID"},
    {0x0032, 0x1060, "LO", "RequestedProcedureDescription"},
    {0x0040, 0x0003, "TM", "ScheduledProcedureStepStartTime"},
    {0x0040, 0x0002, "DA", "ScheduledProcedureStepStartDate"},
    {0x0008, 0x0060, "CS", "Modality"},
    {0x0040, 0x0001, "AE", "ScheduledStationAETitle"},
    {0x0040, 0x0006, "PN", "ScheduledPerformingPhysicianName"},
    {0x0032, 0x1070, "LO", "RequestedContrastAgent"},
    {0x0040, 0x0009, "SH", "ScheduledProcedureStepID"},
    {0x0040, 0x0007, "LO", "ScheduledProcedureStepDescription"},
    {0x0040, 0x0010, "SH", "ScheduledStationName"},
    {0x0040, 0x0011, "SH", "ScheduledProcedureStepLocation"},
    {0x0040, 0x0012, "LO", "PreMedication"},
    {0x0040, 0x1001, "SH", "RequestedProcedureID"},
    {0x0040, 0x1003, "SH", "RequestedProcedurePriority"},
};

char** Texts(void* record) { return static_cast<char**>(record); }
char* const* Texts(const void* record) { return static_cast<char* const*>(record); }

}  // namespace

std::optional<QueryLevel> ParseQueryLevel(const char* level) {
    if (level == nullptr) return std::nullopt;
    if (std::strcmp(level, "STUDY") == 0) return QueryLevel::Study;
    if (std::strcmp(level, "SERIES") == 0) return QueryLevel::Series;
    if (std::strcmp(level, "IMAGE") == 0) return QueryLevel::Image;
    if (std::strcmp(level, "WORKLIST") == 0) return QueryLevel::Worklist;
    return std::nullopt;
}

std::optional<QueryLevel> QueryRetrieveLevel(const char* level) {
    std::optional<QueryLevel> parsed = ParseQueryLevel(level);
    if (parsed && *parsed != QueryLevel::Worklist) return parsed;
    LogFailure(std::string("Query/retrieve level \"") + (level ? level : "(none)") +
               "\" is none of STUDY, SERIES and IMAGE; nothing is sent");
    return std::nullopt;
}

const char* LevelText(QueryLevel level) {
    switch (level) {
        case QueryLevel::Study: return "STUDY";
        case QueryLevel::Series: return "SERIES";
        case QueryLevel::Image: return "IMAGE";
        case QueryLevel::Worklist: return "WORKLIST";
    }
    return "";
}

std::span<const QueryField> QueryFields(QueryLevel level) {
    switch (level) {
        case QueryLevel::Study: return kStudyFields;
        case QueryLevel::Series: return kSeriesFields;
        case QueryLevel::Image: return kImageFields;
        case QueryLevel::Worklist: return kWorklistFields;
    }
    return {};
}

void* NewQueryRecord(QueryLevel level) {
    return std::calloc(QueryFields(level).size(), sizeof(char*));
}

void FreeQueryRecord(void* record, QueryLevel level) {
    if (record == nullptr) return;
    for (std::size_t i = 0; i < QueryFields(level).size(); ++i) std::free(Texts(record)[i]);
    std::free(record);
}

bool SetQueryField(void* record, QueryLevel level, int position, const char* text, std::size_t length) {
    if (record == nullptr || position < 0 || std::size_t(position) >= QueryFields(level).size())
        return false;
    char*& slot = Texts(record)[position];
    char* copy = nullptr;
    if (text != nullptr && length > 0) {
        copy = static_cast<char*>(std::malloc(length + 1));
        if (copy == nullptr) return false;
        std::memcpy(copy, text, length);
        copy[length] = '\0';
    }
    std::free(slot);
    slot = copy;
    return true;
}

std::string QueryFieldText(const void* record, QueryLevel level, int position) {
    if (record == nullptr || position < 0 || std::size_t(position) >= QueryFields(level).size())
        return "";
    const char* text = Texts(record)[position];
    return text ? text : "";
}

void ClearRecords(QueryRecordList& list, QueryLevel level) {
    for (void* record : list.records) FreeQueryRecord(record, level);
    list.records.clear();
}

}  // namespace pella
