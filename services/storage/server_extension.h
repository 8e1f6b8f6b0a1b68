// Services that stand above the storage server (the archive's query and retrieve) join it
// through this hook: the abstract syntaxes they serve, with their transfer syntaxes, and the
// handlers they add to each association's table.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "services/storage/request_handlers.h"

namespace pella {

struct StoreServerConfig;

struct ServerExtension {
    // The transfer syntaxes accepted for an abstract syntax, best first; empty when the
    // extension does not serve it.
    std::function<std::vector<std::string>(const std::string& abstractSyntax)> transferSyntaxesFor;
    // Adds the extension's handlers for one association (the config outlives them).
    std::function<void(RequestHandlers& handlers, const StoreServerConfig& config)> addHandlers;
};

}  // namespace pella
