// What the storage server serves: which abstract syntaxes it accepts and the transfer syntaxes
// it prefers for each, handed to the acceptor's negotiation.
#pragma once

#include <string>
#include <vector>

#include "net/acse/negotiation.h"

namespace pella {

// The transfer syntaxes the server accepts for a served abstract syntax, best first.
// Compressed syntaxes win over uncompressed ones (JPEG baseline first for Ultrasound
// Multi-frame, whose objects are mostly lossy already); of the uncompressed little-endian ones
// explicit VR comes first, so that received objects keep the VRs of their private elements,
// except with the original table, which prefers implicit VR. Big endian is never accepted.
std::vector<std::string> ServedTransferSyntaxes(const std::string& abstractSyntax, bool originalTable);

// Verification and the storage classes the server takes: every storage class of the standard,
// or (originalTable) only the classes of the original table.
bool ServesAbstractSyntax(const std::string& abstractSyntax, bool originalTable);

// The policy of a server that takes every storage class (allStorageClasses) or the original
// table.
ServingPolicy StorageServingPolicy(bool allStorageClasses);

}  // namespace pella
