// The Specific Character Set a query identifier declares for the texts its keys hold.
#pragma once

#include <span>
#include <string>

namespace pella {

// Null when every value is plain ASCII (the default repertoire needs no declaration);
// "ISO_IR 192" when every value holding other bytes is valid UTF-8; otherwise "ISO_IR 100":
// 8-bit text that is not UTF-8 is taken as Latin-1.
const char* CharacterSetOfKeys(std::span<const std::string> values);

}  // namespace pella
