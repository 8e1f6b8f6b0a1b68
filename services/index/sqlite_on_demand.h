// SQLite is loaded when an archive index is first opened, not when the library is: only the
// server, the index commands and queries against an archive use it, while loading it cost every
// run of every other command about 1,600 symbol bindings. The SQLite functions this room calls are
// defined in sqlite_on_demand.cpp and forward to the loaded library.
#pragma once

#include <string>

namespace pella {

// Loads SQLite on first use; false with `reason` ("SQLite cannot be loaded: ...") when it cannot
// be loaded.
bool SqliteAvailable(std::string& reason);

}  // namespace pella
