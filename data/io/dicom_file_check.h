// The one test of "is this a DICOM Part 10 file": a regular file whose bytes 128 to 131 are
// "DICM" (after the 128-byte preamble). Folders, pipes and devices are never opened for reading.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "pella.h"

namespace pella {

constexpr uint64_t kPart10PreambleSize = 128;
constexpr uint64_t kPart10DataOffset = kPart10PreambleSize + 4;  // after "DICM"

// What a file is, as far as the Part 10 test goes; the values are those pella.h exports.
enum class Part10Check : int32_t {
    kPart10File = PELLA_FILE_PART10,
    kMissing = PELLA_FILE_MISSING,
    kUnreadable = PELLA_FILE_UNREADABLE,
    kFolder = PELLA_FILE_FOLDER,
    kNotRegularFile = PELLA_FILE_NOT_REGULAR,  // a pipe, socket or device
    kNoMarker = PELLA_FILE_NOT_PART10,         // shorter than 132 bytes, or no "DICM" at 128
};

Part10Check CheckPart10File(const std::string& fileName);

bool IsPart10File(const std::string& fileName);

// The same test on bytes already read (a whole file, or at least its first 132 bytes).
bool HasPart10Marker(const uint8_t* bytes, std::size_t size);

}  // namespace pella
