// The display options of `render` and `thumbnail`: --window C W, --min-max, --frame N.
#pragma once

#include <string>
#include <vector>

#include "cli/args.h"
#include "pella.h"

namespace cli {

// The options' descriptions for a command's help.
std::vector<OptionSpec> DisplayOptionSpecs();

// Takes "--window C W" out of `argv` (the parser gives each option one value) into `options`.
// False with `error` set when C or W is missing or not a number.
bool TakeWindowOption(std::vector<std::string>& argv, ImageDisplayOptions& options, std::string& error);

// Reads --min-max and --frame into `options`; `given` tells whether any display option was
// given (--window included). False with `error` set for a bad frame number or both --min-max and
// --window.
bool ReadDisplayOptions(const Args& args, ImageDisplayOptions& options, bool& given, std::string& error);

// TakeWindowOption, ParseOrExit and ReadDisplayOptions in one, the errors printed: -1 when the
// command should run, else its exit code.
int ParseDisplayCommand(const CommandSpec& spec, std::vector<std::string> argv, Args& args,
                        ImageDisplayOptions& options, bool& given);

}  // namespace cli
