#include "support/sandbox_folder.h"

#include <unistd.h>

#include <cstdlib>
#include <string>

namespace fs = std::filesystem;

namespace pella_fuzz {

SandboxFolder::SandboxFolder() {
    std::string base = fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
    std::string name = base + "/pella-fuzz-XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) std::abort();  // a target that writes cannot run without it
    root_ = name;
    sandbox_ = root_ / "sandbox";
}

SandboxFolder::~SandboxFolder() {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
}

const fs::path& SandboxFolder::Fresh() {
    std::error_code ignored;
    fs::remove_all(sandbox_, ignored);
    fs::create_directory(sandbox_, ignored);
    return sandbox_;
}

bool SandboxFolder::NothingOutside() const {
    for (const auto& entry : fs::directory_iterator(root_))
        if (entry.path() != sandbox_) return false;
    return true;
}

}  // namespace pella_fuzz
