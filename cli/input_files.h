// The files a reading command works on: named files, and the files in named folders.
#pragma once

#include <string>
#include <vector>

namespace cli {

struct InputFiles {
    std::vector<std::string> files;   // in the order named; a folder's files sorted by path
    std::vector<std::string> errors;  // one line per name that is neither file nor folder
    bool namedFolder = false;         // a folder was among the names
};

// Expands folders into the regular files directly in them, or below them with `recursive`.
InputFiles ExpandInputs(const std::vector<std::string>& names, bool recursive);

// Why a file could not be read as a DICOM file: the system's reason when it cannot be opened,
// otherwise that it is not a readable Part 10 file.
std::string ReadFailureReason(const std::string& file);

}  // namespace cli
