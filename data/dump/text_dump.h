// A file's elements as text in the layout DICOM users know from dcmdump: one line per element,
// "(gggg,eeee) VR value  # length, multiplicity Keyword", two spaces of indentation per level,
// every sequence and item shown with its markers whatever its length encoding, numbers and
// tags shown as values, texts decoded to UTF-8 by the Specific Character Set.
#pragma once

#include <string>

namespace pella {

// How the file was read: a Part 10 file, or (no preamble and "DICM") a bare data set, with or
// without a meta group in front.
enum class DumpedFileKind { kPart10, kBareDataSet };

// The text of the whole file: meta group then data set, each under a "#" heading naming its
// transfer syntax. A file without preamble is read as a bare data set (its meta group, when it
// starts with one, naming the data set's syntax; otherwise the encoding told from the first
// element). False with `reason` when the file cannot be read or nests deeper than the dump goes.
bool DumpFileAsText(const std::string& fileName, std::string& text, DumpedFileKind& kind,
                    std::string& reason);

}  // namespace pella
