// libpq, loaded when the first PostgreSQL connection is opened rather than
// when the program starts: loading it pulls in some twenty libraries (TLS,
// Kerberos, LDAP, ...), which every run would otherwise pay for, though
// most runs read no PostgreSQL at all. The code still compiles against
// libpq's header for its types and constants.
#pragma once

#include <libpq-fe.h>

#include <string>

namespace qx {

// The libpq functions the PostgreSQL datasets call.
#define QXRTF_LIBPQ_FUNCTIONS(X) \
    X(PQclear)                   \
    X(PQconnectdb)               \
    X(PQconninfoFree)            \
    X(PQconninfoParse)           \
    X(PQdb)                      \
    X(PQdescribePrepared)        \
    X(PQerrorMessage)            \
    X(PQexec)                    \
    X(PQexecParams)              \
    X(PQexecPrepared)            \
    X(PQfinish)                  \
    X(PQfname)                   \
    X(PQfreemem)                 \
    X(PQftype)                   \
    X(PQgetisnull)               \
    X(PQgetlength)               \
    X(PQgetvalue)                \
    X(PQnfields)                 \
    X(PQnparams)                 \
    X(PQntuples)                 \
    X(PQprepare)                 \
    X(PQresultErrorField)        \
    X(PQresultStatus)            \
    X(PQsetClientEncoding)       \
    X(PQstatus)                  \
    X(PQtransactionStatus)       \
    X(PQunescapeBytea)

struct TLibpq {
#define QXRTF_LIBPQ_MEMBER(name) decltype(&::name) name = nullptr;
    QXRTF_LIBPQ_FUNCTIONS(QXRTF_LIBPQ_MEMBER)
#undef QXRTF_LIBPQ_MEMBER
};

// Loads libpq the first time it is called (from any thread); answers why
// it cannot be used, "PostgreSQL support needs libpq.so.5: <reason>", or ""
// once it is loaded. A failure is remembered: every later call answers the
// same.
const std::string& LoadLibpq();

// libpq's functions; only after LoadLibpq() answered "". A connection is
// made only then, so whatever holds one may call them.
const TLibpq& Libpq();

// Tests only: the library LoadLibpq() loads from now on (nullptr: libpq's
// own), forgetting what an earlier call found. Only while no connection is
// open: the functions of the library loaded before are gone from Libpq().
void UseLibpqForTests(const char* soname);

}  // namespace qx
