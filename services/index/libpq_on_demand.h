// libpq is loaded when a PostgreSQL index is first used, not when the library is: it brings about
// twenty shared libraries (Kerberos, LDAP, GnuTLS, SASL, ...) whose loading every run of every
// command would otherwise pay, while only a PostgreSQL index needs it. The libpq functions this
// room calls are defined in libpq_on_demand.cpp and forward to the loaded library.
#pragma once

#include <string>

namespace pella {

// Loads libpq on first use; false with `reason` set when it cannot be loaded.
bool LibpqAvailable(std::string& reason);

}  // namespace pella
