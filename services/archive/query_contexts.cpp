#include "services/archive/query_contexts.h"

namespace pella {

namespace {

constexpr const char* kArchiveClasses[] = {
    "1.2.840.10008.5.1.4.1.2.1.1",  // Patient Root Query/Retrieve - FIND
    "1.2.840.10008.5.1.4.1.2.2.1",  // Study Root Query/Retrieve - FIND
};

}  // namespace

bool IsArchiveQueryClass(const std::string& abstractSyntax) {
    for (const char* uid : kArchiveClasses)
        if (abstractSyntax == uid) return true;
    return false;
}

}  // namespace pella
