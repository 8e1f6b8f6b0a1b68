// The three text index files of the storage database and the line each holds per study, series
// and image. Fields are attribute texts joined by ",", without quoting; every line ends in CR LF.
#pragma once

#include <string>

#include "data/model/element_list.h"

namespace pella {

inline constexpr const char* kStudyIndexName = "KPStudy.dir";   // in the database root
inline constexpr const char* kSeriesIndexName = "Series.dir";   // in each study folder
inline constexpr const char* kImageIndexName = "Image.dir";     // in each series folder

// Study line: Study Instance UID, Study Date, Study Time, Patient ID, Patient's Birth Date,
// Patient's Name, Referring Physician's Name, Accession Number, Modalities in Study, Study
// Description, then ",", the byte 0xA7 and the filing date.
std::string StudyIndexLine(const ElementList& dataSet, const std::string& filingDate);

// Series line: Series Number, Series Instance UID, Acquisition Number, Series Date, Series Time,
// Series Description, Patient Position, Body Part Examined, Manufacturer, Frame of Reference UID.
std::string SeriesIndexLine(const ElementList& dataSet);

// Image line: Acquisition Number, Instance Number, SOP Instance UID (which names the file,
// "<uid>.dcm" in the series folder), Content Date, Content Time, Echo Numbers, Number of
// Frames, Slice Location, SOP Class UID, Rows, Columns, Image Type.
std::string ImageIndexLine(const ElementList& dataSet);

}  // namespace pella
