// Anonymizing one Part 10 file into a folder: read, refuse what may show burned-in text unless
// allowed, anonymize the data set, write it with a new meta group in the same transfer syntax
// under a name made of its (new) SOP Instance UID, never outside the folder.
#pragma once

#include <string>

#include "data/anonymize/anonymize_options.h"

namespace pella {

enum class AnonymizeOutcome {
    kWritten,     // the anonymized file is in the folder
    kUnreadable,  // not a Part 10 file this system reads, or one whose nesting is broken
    kBurnedIn,    // the image may show text in its pixels and allowBurnedIn is not set
    kNotWritten,  // the file could not be written into the folder
};

struct AnonymizedFile {
    AnonymizeOutcome outcome = AnonymizeOutcome::kUnreadable;
    std::string path;  // the file written, when kWritten
};

// The file's name in the folder: "<SOP Instance UID>.dcm" when the anonymized data set holds a
// valid one (digits and dots only, so it never leaves the folder), otherwise the UID mapped from
// the input's path under the key.
std::string AnonymizedFileName(const std::string& sopInstanceUid, const std::string& inputPath,
                               const std::string& key);

// Anonymizes `inputFile` into the existing folder `outputFolder`; a file of the same name already
// there (another copy of the same instance, or an earlier run) is left as it is and the outcome
// is kNotWritten. A DICOMDIR is refused (its record offsets would no longer hold). Throws
// std::invalid_argument when the options hold no key. Every outcome but kWritten notes its
// reason as the thread's last failure.
AnonymizedFile AnonymizeFileInto(const std::string& inputFile, const std::string& outputFolder,
                                 const AnonymizeOptions& options);

}  // namespace pella
