// A private folder in memory-backed storage (/dev/shm when present) for a target that writes
// files, with an empty "sandbox" folder inside it that is made afresh for each input. Anything
// appearing next to the sandbox was written outside the folder the code was given.
#pragma once

#include <filesystem>

namespace pella_fuzz {

class SandboxFolder {
public:
    SandboxFolder();
    ~SandboxFolder();  // removes everything
    SandboxFolder(const SandboxFolder&) = delete;
    SandboxFolder& operator=(const SandboxFolder&) = delete;

    // Empties the sandbox and returns its path.
    const std::filesystem::path& Fresh();
    // True when nothing but the sandbox lies in the private folder.
    bool NothingOutside() const;

private:
    std::filesystem::path root_;
    std::filesystem::path sandbox_;
};

}  // namespace pella_fuzz
