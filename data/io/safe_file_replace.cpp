#include "data/io/safe_file_replace.h"

#include <sys/stat.h>

#include "data/io/staged_file.h"
#include "log/protocol_log.h"

namespace pella {

bool ReplaceFileSafely(const std::string& fileName,
                       const std::function<bool(const std::string& tempName)>& write) {
    // Private while it is written: the file it replaces may not be readable by everyone.
    StagedFile staged(fileName + ".tmp-", "", 0600);
    if (!staged.Valid()) {
        WriteLogLine("cannot create a temporary file beside " + fileName);
        return false;
    }
    bool ok = write(staged.Name());
    struct stat original {};
    if (ok && stat(fileName.c_str(), &original) == 0)
        ok = chmod(staged.Name().c_str(), original.st_mode & 07777) == 0;
    if (ok) ok = staged.MoveTo(fileName);
    if (!ok) WriteLogLine("could not replace " + fileName + "; it is left as it was");
    return ok;
}

}  // namespace pella
