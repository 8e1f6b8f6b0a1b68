// Option structs of pella.h start with `uint32_t size`, set by the host to the struct's size in
// the header it was compiled with. The library reads only that many bytes over its defaults, so
// a host built against an older header keeps working when fields are added at the end.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <stdexcept>
#include <string>

namespace pella {

// The host's options as far as its `size` reaches, the rest zero (the defaults); NULL: all
// defaults. Throws std::invalid_argument when `size` does not cover the first `firstFields`
// bytes (the fields the struct had when it got its size), which catches a size left unset.
template <typename Options>
Options ReadSizedOptions(const Options* given, std::size_t firstFields, const char* name) {
    Options options{};
    options.size = sizeof options;
    if (given == nullptr) return options;
    if (given->size < firstFields)
        throw std::invalid_argument(std::string(name) + ".size is " + std::to_string(given->size) +
                                    ": set it to sizeof(" + name + ")");
    std::memcpy(&options, given, std::min<std::size_t>(given->size, sizeof options));
    options.size = sizeof options;
    return options;
}

}  // namespace pella
