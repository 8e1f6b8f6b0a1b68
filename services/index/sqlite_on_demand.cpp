#include "services/index/sqlite_on_demand.h"

#include <sqlite3.h>

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(Sqlite, "libsqlite3.so.0", SqliteAvailable, "SQLite")

// The callbacks SQLite takes.
using ExecCallback = int (*)(void*, int, char**, char**);
using WalHook = int (*)(void*, sqlite3*, const char*, int);
using Destructor = void (*)(void*);

}  // namespace pella

#define PELLA_SQLITE_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Sqlite(), Result, name, parameters, arguments)

// Connections.
PELLA_SQLITE_FORWARD(int, sqlite3_open_v2,
                     (const char* filename, sqlite3** ppDb, int flags, const char* zVfs),
                     (filename, ppDb, flags, zVfs))
PELLA_SQLITE_FORWARD(int, sqlite3_close_v2, (sqlite3 * db), (db))
PELLA_SQLITE_FORWARD(const char*, sqlite3_errmsg, (sqlite3 * db), (db))
PELLA_SQLITE_FORWARD(int, sqlite3_busy_timeout, (sqlite3 * db, int ms), (db, ms))
PELLA_SQLITE_FORWARD(int, sqlite3_get_autocommit, (sqlite3 * db), (db))
PELLA_SQLITE_FORWARD(int, sqlite3_exec,
                     (sqlite3 * db, const char* sql, pella::ExecCallback callback, void* argument,
                      char** errmsg),
                     (db, sql, callback, argument, errmsg))
PELLA_SQLITE_FORWARD(void, sqlite3_free, (void* memory), (memory))

// Statements.
PELLA_SQLITE_FORWARD(int, sqlite3_prepare_v2,
                     (sqlite3 * db, const char* zSql, int nByte, sqlite3_stmt** ppStmt, const char** pzTail),
                     (db, zSql, nByte, ppStmt, pzTail))
PELLA_SQLITE_FORWARD(int, sqlite3_bind_text,
                     (sqlite3_stmt * statement, int index, const char* text, int bytes,
                      pella::Destructor destructor),
                     (statement, index, text, bytes, destructor))
PELLA_SQLITE_FORWARD(int, sqlite3_clear_bindings, (sqlite3_stmt * statement), (statement))
PELLA_SQLITE_FORWARD(int, sqlite3_step, (sqlite3_stmt * statement), (statement))
PELLA_SQLITE_FORWARD(int, sqlite3_reset, (sqlite3_stmt * statement), (statement))
PELLA_SQLITE_FORWARD(int, sqlite3_finalize, (sqlite3_stmt * statement), (statement))
PELLA_SQLITE_FORWARD(int, sqlite3_column_bytes, (sqlite3_stmt * statement, int column), (statement, column))
PELLA_SQLITE_FORWARD(sqlite3_int64, sqlite3_column_int64, (sqlite3_stmt * statement, int column),
                     (statement, column))
PELLA_SQLITE_FORWARD(const unsigned char*, sqlite3_column_text, (sqlite3_stmt * statement, int column),
                     (statement, column))

// The write-ahead log.
PELLA_SQLITE_FORWARD(int, sqlite3_wal_checkpoint_v2,
                     (sqlite3 * db, const char* zDb, int eMode, int* pnLog, int* pnCkpt),
                     (db, zDb, eMode, pnLog, pnCkpt))
PELLA_SQLITE_FORWARD(void*, sqlite3_wal_hook, (sqlite3 * db, pella::WalHook hook, void* argument),
                     (db, hook, argument))
