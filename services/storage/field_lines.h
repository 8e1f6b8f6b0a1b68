// Small configuration files of one entry a line (the peers file, the credentials file): read
// whole with a size bound, each line split into blank-separated fields, "#" starting a comment.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace pella {

// Reads the file into `text`; false with `why` ("the <what> file <path> cannot be read" or "is
// larger than ...") when it cannot be read or holds more than `maxBytes`.
bool ReadBoundedTextFile(const std::string& path, const std::string& what, std::size_t maxBytes,
                         std::string& text, std::string& why);

// Calls `take` with the fields of each line that has any (a CR before the line end dropped). When
// `take` returns false with its problem, stops with `why` = "line N: <problem>".
bool ForEachFieldLine(
    const std::string& text,
    const std::function<bool(const std::vector<std::string>& fields, std::string& problem)>& take,
    std::string& why);

}  // namespace pella
