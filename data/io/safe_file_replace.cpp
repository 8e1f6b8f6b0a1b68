#include "data/io/safe_file_replace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "log/protocol_log.h"

namespace pella {

namespace {

// Creates an empty, uniquely named file next to `fileName`; empty string on failure.
std::string MakeTempFileBeside(const std::string& fileName) {
    std::string pattern = fileName + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return "";
    close(fd);
    return name.data();
}

}  // namespace

bool ReplaceFileSafely(const std::string& fileName,
                       const std::function<bool(const std::string& tempName)>& write) {
    std::string tempName = MakeTempFileBeside(fileName);
    if (tempName.empty()) {
        WriteLogLine("cannot create a temporary file beside " + fileName);
        return false;
    }
    bool ok = false;
    try {
        ok = write(tempName);
    } catch (...) {
        std::remove(tempName.c_str());
        throw;
    }
    struct stat original {};
    if (ok && stat(fileName.c_str(), &original) == 0)
        ok = chmod(tempName.c_str(), original.st_mode & 07777) == 0;
    if (ok) ok = std::rename(tempName.c_str(), fileName.c_str()) == 0;
    if (!ok) {
        std::remove(tempName.c_str());
        WriteLogLine("could not replace " + fileName + "; it is left as it was");
    }
    return ok;
}

}  // namespace pella
