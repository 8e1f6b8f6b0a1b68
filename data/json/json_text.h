// The compact text of a JSON value, as nlohmann's dump(-1) writes it (invalid UTF-8 replaced),
// with two shortcuts for large data sets: binary values are written as base64 strings straight
// into the text, and strings of plain printable ASCII are copied without the escaping pass.
#pragma once

#include <string>

#include "data/json/json_values.h"

namespace pella {

// Appends the text of `value` to `out`. A binary value becomes its base64 string.
void AppendJsonText(std::string& out, const Json& value);

}  // namespace pella
