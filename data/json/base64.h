// Base64 (RFC 4648, with padding) of a byte range, as the JSON model's InlineBinary holds it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace pella {

// Appends the base64 text of `size` bytes to `out`.
void AppendBase64(std::string& out, const uint8_t* bytes, std::size_t size);

}  // namespace pella
