// The staged objects left in a storage folder's ".incoming" folder: every entry but the filing
// journal a running server keeps there.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::string> StagedObjects(const std::filesystem::path& incoming) {
    std::vector<std::string> names;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(incoming, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (!name.ends_with(".journal.part")) names.push_back(name);
    }
    return names;
}

}  // namespace testing_support
