// What the storage server serves: which abstract syntaxes it accepts and the transfer syntaxes
// it prefers for each, handed to the acceptor's negotiation.
#pragma once

#include <string>
#include <vector>

#include "net/acse/negotiation.h"

namespace pella {

// The transfer syntaxes the server accepts for a served abstract syntax, best first. Every
// syntax of the registry: explicit VR little endian (received objects keep the VRs of their
// private elements), implicit VR little endian, explicit VR big endian, the lossless compressed
// syntaxes, then the lossy ones; a peer offering several in one context so gets its object
// filed without loss, in the syntax it arrives in. The original table keeps its own choice:
// JPEG lossless first (JPEG baseline first for Ultrasound Multi-frame), implicit before
// explicit VR, JPEG baseline, never big endian.
std::vector<std::string> ServedTransferSyntaxes(const std::string& abstractSyntax, bool originalTable);

// Verification and the storage classes the server takes: every storage class of the standard,
// or (originalTable) only the classes of the original table.
bool ServesAbstractSyntax(const std::string& abstractSyntax, bool originalTable);

// The policy of a server that takes every storage class (allStorageClasses) or the original
// table.
ServingPolicy StorageServingPolicy(bool allStorageClasses);

}  // namespace pella
