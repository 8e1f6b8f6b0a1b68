// The exported archive-index functions.
#include "api/boundary.h"
#include "log/protocol_log.h"
#include "pella.h"
#include "services/index/index_migration.h"

using namespace pella;

extern "C" {

PELLA_API int64_t MigrateArchiveIndex(const char* storageFolder, const char* target,
                                      IndexMigrationCallback callback, void* context) {
    return Guarded<int64_t>("MigrateArchiveIndex", -1, [&]() -> int64_t {
        RequireArguments(storageFolder, target);
        MigrationProgress progress;
        if (callback)
            progress = [&](uint64_t copied, bool finished) { callback(copied, finished ? 1 : 0, context); };
        std::string reason;
        int64_t copied = pella::MigrateArchiveIndex(storageFolder, target, progress, reason);
        if (copied < 0) LogFailure("The archive index cannot be migrated: " + reason);
        return copied;
    });
}

}  // extern "C"
