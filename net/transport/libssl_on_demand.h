// OpenSSL's libssl is loaded when the first TLS context is made, not when the library is: most
// commands never open a TLS connection, and loading libssl and its libcrypto cost every run of
// every command over a millisecond. The libssl functions this room calls are defined in
// libssl_on_demand.cpp and forward to the loaded library; libcrypto's forward through
// data/anonymize/libcrypto_on_demand.h.
#pragma once

#include <string>

namespace pella {

// Loads libssl and libcrypto on first use; false with `reason` ("OpenSSL cannot be loaded: ...")
// when either cannot be loaded.
bool OpenSslAvailable(std::string& reason);

}  // namespace pella
