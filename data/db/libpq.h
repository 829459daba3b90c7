#pragma once
#include <libpq-fe.h>

// libpq, loaded the first time a server connection needs it: a practice in
// a file never loads it (nor the TLS, Kerberos and LDAP libraries it
// brings), which keeps them out of every start-up.
#define MOLARIX_LIBPQ_FUNCTIONS(X) \
    X(PQclear)                     \
    X(PQcmdStatus)                 \
    X(PQcmdTuples)                 \
    X(PQconnectdbParams)           \
    X(PQconnectionNeedsPassword)   \
    X(PQconnectionUsedPassword)    \
    X(PQconsumeInput)              \
    X(PQencryptPasswordConn)       \
    X(PQerrorMessage)              \
    X(PQexecParams)                \
    X(PQfinish)                    \
    X(PQfname)                     \
    X(PQfreemem)                   \
    X(PQftable)                    \
    X(PQftablecol)                 \
    X(PQftype)                     \
    X(PQgetCopyData)               \
    X(PQgetResult)                 \
    X(PQgetisnull)                 \
    X(PQgetlength)                 \
    X(PQgetvalue)                  \
    X(PQisBusy)                    \
    X(PQnfields)                   \
    X(PQntuples)                   \
    X(PQpass)                      \
    X(PQreset)                     \
    X(PQresultErrorField)          \
    X(PQresultErrorMessage)        \
    X(PQresultStatus)              \
    X(PQsendDescribePrepared)      \
    X(PQsendPrepare)               \
    X(PQsendQueryParams)           \
    X(PQsocket)                    \
    X(PQstatus)                    \
    X(PQtransactionStatus)

struct LibPq {
#define MOLARIX_LIBPQ_MEMBER(f) decltype(&::f) f = nullptr;
    MOLARIX_LIBPQ_FUNCTIONS(MOLARIX_LIBPQ_MEMBER)
#undef MOLARIX_LIBPQ_MEMBER
};

// The library's functions, loaded once for the process. Throws DbError,
// naming the library, when it is not installed or lacks one of them.
const LibPq &libpq();
