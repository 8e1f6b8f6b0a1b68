// The backslash-separated values of a text element, changed one at a time.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace pella {

// Each value of `value` without its padding spaces and zero bytes is given to `change`, which
// returns its replacement (nullopt refuses the whole element); empty values stay empty. The
// results are joined with "\" and padded to an even length with `pad`.
std::optional<std::string> ChangeEachValue(
    std::string_view value, char pad,
    const std::function<std::optional<std::string>(std::string_view)>& change);

}  // namespace pella
