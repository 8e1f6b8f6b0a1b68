#include "services/index/libpq_on_demand.h"

#include <libpq-fe.h>

#include "log/library_on_demand.h"

namespace pella {

PELLA_LIBRARY_ON_DEMAND(Libpq, "libpq.so.5", LibpqAvailable, "libpq")

}  // namespace pella

#define PELLA_LIBPQ_FORWARD(Result, name, parameters, arguments) \
    PELLA_FORWARD_ON_DEMAND(pella::Libpq(), Result, name, parameters, arguments)

PELLA_LIBPQ_FORWARD(int, PQcancel, (PGcancel * cancel, char* errbuf, int errbufsize),
                    (cancel, errbuf, errbufsize))
PELLA_LIBPQ_FORWARD(void, PQclear, (PGresult * res), (res))
PELLA_LIBPQ_FORWARD(char*, PQcmdStatus, (PGresult * res), (res))
PELLA_LIBPQ_FORWARD(PGconn*, PQconnectdbParams,
                    (const char* const* keywords, const char* const* values, int expand_dbname),
                    (keywords, values, expand_dbname))
PELLA_LIBPQ_FORWARD(void, PQconninfoFree, (PQconninfoOption * connOptions), (connOptions))
PELLA_LIBPQ_FORWARD(PQconninfoOption*, PQconninfoParse, (const char* conninfo, char** errmsg),
                    (conninfo, errmsg))
PELLA_LIBPQ_FORWARD(char*, PQerrorMessage, (const PGconn* conn), (conn))
PELLA_LIBPQ_FORWARD(PGresult*, PQexec, (PGconn * conn, const char* query), (conn, query))
PELLA_LIBPQ_FORWARD(PGresult*, PQexecParams,
                    (PGconn * conn, const char* command, int nParams, const Oid* paramTypes,
                     const char* const* paramValues, const int* paramLengths, const int* paramFormats,
                     int resultFormat),
                    (conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats,
                     resultFormat))
PELLA_LIBPQ_FORWARD(PGresult*, PQexecPrepared,
                    (PGconn * conn, const char* stmtName, int nParams, const char* const* paramValues,
                     const int* paramLengths, const int* paramFormats, int resultFormat),
                    (conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat))
PELLA_LIBPQ_FORWARD(void, PQfinish, (PGconn * conn), (conn))
PELLA_LIBPQ_FORWARD(void, PQfreeCancel, (PGcancel * cancel), (cancel))
PELLA_LIBPQ_FORWARD(void, PQfreemem, (void* ptr), (ptr))
PELLA_LIBPQ_FORWARD(PGcancel*, PQgetCancel, (PGconn * conn), (conn))
PELLA_LIBPQ_FORWARD(PGresult*, PQgetResult, (PGconn * conn), (conn))
PELLA_LIBPQ_FORWARD(int, PQgetlength, (const PGresult* res, int tup_num, int field_num),
                    (res, tup_num, field_num))
PELLA_LIBPQ_FORWARD(char*, PQgetvalue, (const PGresult* res, int tup_num, int field_num),
                    (res, tup_num, field_num))
PELLA_LIBPQ_FORWARD(int, PQntuples, (const PGresult* res), (res))
PELLA_LIBPQ_FORWARD(PGresult*, PQprepare,
                    (PGconn * conn, const char* stmtName, const char* query, int nParams,
                     const Oid* paramTypes),
                    (conn, stmtName, query, nParams, paramTypes))
PELLA_LIBPQ_FORWARD(ExecStatusType, PQresultStatus, (const PGresult* res), (res))
PELLA_LIBPQ_FORWARD(int, PQsendQueryParams,
                    (PGconn * conn, const char* command, int nParams, const Oid* paramTypes,
                     const char* const* paramValues, const int* paramLengths, const int* paramFormats,
                     int resultFormat),
                    (conn, command, nParams, paramTypes, paramValues, paramLengths, paramFormats,
                     resultFormat))
PELLA_LIBPQ_FORWARD(int, PQsendQueryPrepared,
                    (PGconn * conn, const char* stmtName, int nParams, const char* const* paramValues,
                     const int* paramLengths, const int* paramFormats, int resultFormat),
                    (conn, stmtName, nParams, paramValues, paramLengths, paramFormats, resultFormat))
PELLA_LIBPQ_FORWARD(PQnoticeProcessor, PQsetNoticeProcessor,
                    (PGconn * conn, PQnoticeProcessor proc, void* arg), (conn, proc, arg))
PELLA_LIBPQ_FORWARD(int, PQsetSingleRowMode, (PGconn * conn), (conn))
PELLA_LIBPQ_FORWARD(ConnStatusType, PQstatus, (const PGconn* conn), (conn))
PELLA_LIBPQ_FORWARD(PGTransactionStatusType, PQtransactionStatus, (const PGconn* conn), (conn))
