// Finding the files of one series folder to send: through the folder's image index
// "Image.dir" when it has one, otherwise by listing the folder for Part 10 files.
#pragma once

#include <string>
#include <vector>

namespace pella {

// Appends "<folder>/<name>" for every Part 10 file directly in the folder (sub-folders are not
// entered, pipes and devices not opened), sorted by file name in byte order, so that a listed series goes out
// in a stable, predictable order rather than the file system's. A folder that cannot be listed adds nothing.
void ListDicomFiles(const std::string& folder, std::vector<std::string>& list);

// The files a series send goes through, in order. With "<folder>/Image.dir": one entry per
// non-empty line, in line order, naming "<folder>/<field 3, unescaped>.dcm". A line that names
// no file inside the folder (fewer than three fields, an empty third field, or one holding "/"
// or "..") gives an empty entry: it is not followed, and reading it fails like any unreadable
// file, so the entry still counts as a failed file of the series. With `lines`, each entry's
// index line is appended there (nothing without an index). Without "Image.dir": ListDicomFiles.
std::vector<std::string> SeriesFilesToSend(const std::string& folder,
                                           std::vector<std::string>* lines = nullptr);

}  // namespace pella
