// New UIDs for old ones under a secret key: "2.25." and the first 128 bits of the HMAC-SHA256
// of the old UID, in decimal. The same UID and key always give the same new UID, so a study
// anonymized in several runs stays one study, and no table of old and new UIDs is kept.
#pragma once

#include <string>
#include <string_view>

namespace pella {

// The new UID of `uid` (its padding removed first) under `key`.
std::string MappedUid(std::string_view uid, std::string_view key);

// A multi-valued UI value with each UID mapped; empty values stay empty. The result is padded
// to even length with a zero byte.
std::string MappedUidValue(std::string_view value, std::string_view key);

}  // namespace pella
