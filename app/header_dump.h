// The Dump button's text: a Part 10 file's meta elements and data set, one line per element.
#pragma once

#include <string>
#include <vector>

namespace pellatool {

// "Dump OK!" and the element lines (meta elements with their own VRs, the data set with the
// dictionary's VRs when it is implicit), or "Dump Failed!" alone when the file cannot be read.
std::vector<std::string> DumpFileLines(const std::string& fileName);

}  // namespace pellatool
