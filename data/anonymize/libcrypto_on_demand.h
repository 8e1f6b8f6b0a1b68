// OpenSSL's libcrypto is loaded when it is first needed (a keyed UID mapping, a credentials file,
// TLS), not when the library is: relocating it cost every run of every command about a millisecond
// and several hundred page faults, while most commands never hash or encrypt anything. The
// libcrypto functions libpella calls are defined in libcrypto_on_demand.cpp and forward to the
// loaded library.
#pragma once

#include <string>

namespace pella {

// Loads libcrypto on first use; false with `reason` ("OpenSSL cannot be loaded: ...") when it
// cannot be loaded.
bool LibcryptoAvailable(std::string& reason);

}  // namespace pella
