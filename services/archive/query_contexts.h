// The query and retrieve classes the archive answers, added to the storage server's policy and
// handler table in one place: each retrieve service adds its classes here too.
#pragma once

#include <string>

namespace pella {

// True for a query/retrieve abstract syntax the archive serves.
bool IsArchiveQueryClass(const std::string& abstractSyntax);

}  // namespace pella
