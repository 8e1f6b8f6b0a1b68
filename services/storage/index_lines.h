// The three text index files of the storage database: the line each holds per study, series and
// image, written and read here only. Fields are attribute texts joined by ","; a value's ",",
// CR and LF are escaped (EscapeIndexField), so that no value splits a field or a line; every
// line ends in CR LF. docs/index-files.md describes the files in full.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/model/element_list.h"

namespace pella {

inline constexpr const char* kStudyIndexName = "KPStudy.dir";  // in the database root
inline constexpr const char* kSeriesIndexName = "Series.dir";  // in each study folder
inline constexpr const char* kImageIndexName = "Image.dir";    // in each series folder

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

// True for an attribute some index line or the archive index holds (the UIDs that place the
// object among them): what a received object must keep of its data set to be filed.
bool IsIndexedAttribute(uint16_t group, uint16_t element);

// Appends one whole line to an index file (made when missing) with one write call; false
// (logged) when the file cannot be opened or the line not written whole.
bool AppendIndexLine(const std::string& indexFile, const std::string& line);

// Removes `line` from the end of the index file when it is the file's last line (the append that
// is being undone); false (logged) when it is not or cannot be removed.
bool TakeBackLastLine(const std::string& indexFile, const std::string& line);

// The lines of an index file without their line ends (CR LF, or a lone LF); empty lines are no
// entries. An index that is no regular file (a pipe, a folder) has no lines.
std::vector<std::string> ReadIndexLines(const std::string& indexFile);

// The n-th field (counted from 1) of a text whose fields are separated by `delimiter`; empty
// when the text has fewer than n fields. Raw: index fields are read with IndexLineField.
std::string GetDelimitedField(const std::string& text, int n, char delimiter);

// A value as an index field: "," becomes "%2C", CR "%0D", LF "%0A", and a "%" that would read as
// one of these escapes (or as "%25") becomes "%25". Other values are written as they are.
std::string EscapeIndexField(const std::string& value);

// The value an index field stands for: each "%2C", "%0D", "%0A" and "%25" (hexadecimal digits
// in either case) back to its byte; anything else as it stands.
std::string UnescapeIndexField(const std::string& field);

// The n-th field (from 1) of an index line (read without its line end), unescaped.
std::string IndexLineField(const std::string& line, int n);

// The SOP Instance UID field of an image line (read without its line end).
std::string ImageLineSopInstance(const std::string& line);

// The three index files, each keyed by the UID its lines name.
enum class IndexKind { Study, Series, Image };

// The UID a line of that index names: the Study, Series or SOP Instance UID.
std::string IndexLineKey(IndexKind kind, const std::string& line);

// True when the index file holds a line naming `key`.
bool IndexListsKey(const std::string& indexFile, IndexKind kind, const std::string& key);

// Replaces every image line naming the SOP instance of `line` by `line` (appended at the end), by
// writing the whole file anew beside it and renaming it into place, so that a crash leaves the
// old or the new file, never a part. False (logged) when that fails; the old file then stays.
bool ReplaceImageLine(const std::string& indexFile, const std::string& line);

}  // namespace pella
