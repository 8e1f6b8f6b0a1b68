// The choices of the settings dialog's drop-downs, and the rule for stored positions that lie
// outside them (a settings file can hold any number).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace pellatool {

using OptionList = std::vector<std::string>;

const OptionList& LogLevelNames();  // stored as position + 1
const OptionList& FilmDestinations();
const OptionList& FilmOrientations();
const OptionList& FilmSizes();
const OptionList& MagnificationTypes();

// `position` when it lies inside a list of `count` entries, else 0 (the first entry).
int ValidPosition(int32_t position, std::size_t count);

// The list's entry at `position`, the first entry when it lies outside.
const std::string& EntryAt(const OptionList& list, int32_t position);

// A stored log level (0 none chosen, 1 to 3 a list entry); anything else counts as none chosen.
int32_t ValidLogLevel(int32_t level);

}  // namespace pellatool
