// Short names for the transfer syntaxes the tool writes, shared by the commands that take one.
#pragma once

#include <optional>
#include <string>

namespace cli {

// A short name ("explicit", "rle", "jpeg-ls", ..., see the table) becomes its UID; a valid UID
// (IsValidUID) is taken as it stands; anything else gives nothing.
std::optional<std::string> ResolveTransferSyntax(const std::string& nameOrUid);

// ResolveTransferSyntax for a command's argument: an unknown name is reported on standard error
// as "pella COMMAND: 'NAME' is neither a transfer syntax UID nor one of the names:" and the table.
std::optional<std::string> ResolveTransferSyntaxArgument(const std::string& command,
                                                         const std::string& nameOrUid);

// One line per short name, "  name  UID  description", for --help texts.
std::string TransferSyntaxNameTable();

}  // namespace cli
