// The DICOM JSON model of a Part 10 file's data set, as text.
#pragma once

#include <cstdint>
#include <string>

namespace pella {

// "file://" and the absolute, percent-encoded path of `fileName`.
std::string FileUri(const std::string& fileName);

// Reads the file and writes its data set's JSON object to `out` on one line. Binary values
// longer than `inlineLimit` bytes become BulkDataURIs into the file ("file:///path?offset=N&
// length=M", the offset and length of the value's bytes in the file); a negative limit inlines
// every value. False when the file is not a readable Part 10 file.
bool FileToJsonText(const std::string& fileName, int64_t inlineLimit, std::string& out);

}  // namespace pella
