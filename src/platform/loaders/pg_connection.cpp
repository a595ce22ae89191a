#include "platform/loaders/pg_connection.h"

#include <cstdlib>
#include <cstring>

#include "platform/internal/unicode.h"
#include "platform/loaders/column_types.h"
#include "platform/loaders/internal/pg_api.h"

namespace qx {

namespace {

// The session's settings that the reading of values relies on: ISO dates
// and float text that gives back every bit of the value.
constexpr const char* kSessionSettings =
    "SET DateStyle = ISO, YMD; SET extra_float_digits = 3; SET IntervalStyle = postgres";
constexpr const char* kBegin = "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";

// libpq's messages end in a newline and continue on indented lines.
std::string OneLine(const std::string& text) {
    std::string line;
    bool blank = false;
    for (char c : text) {
        if (c == '\n' || c == '\r' || c == '\t' || c == ' ') {
            blank = !line.empty();
            continue;
        }
        if (blank) line += ' ';
        blank = false;
        line += c;
    }
    return line;
}

void ReplaceAll(std::string& text, const std::string& what, const std::string& with) {
    if (what.empty()) return;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size()))
        text.replace(at, what.size(), with);
}

// A "password" key, or a URI's "user:password@".
bool MayHoldPassword(const std::string& conninfo) {
    if (UpperCase(conninfo).find("PASSWORD") != std::string::npos) return true;
    const std::size_t scheme = conninfo.find("://");
    if (scheme == std::string::npos) return false;
    const std::size_t at = conninfo.find('@', scheme + 3);
    return at != std::string::npos && conninfo.find(':', scheme + 3) < at;
}

// The password given in the connection string, if any.
std::string GivenPassword(PQconninfoOption* options) {
    for (PQconninfoOption* o = options; o != nullptr && o->keyword != nullptr; ++o)
        if (std::strcmp(o->keyword, "password") == 0 && o->val != nullptr) return o->val;
    return {};
}

}  // namespace

void TPgResultFree::operator()(pg_result* result) const {
    Libpq().PQclear(result);
}

std::string PgConnectFailure(const std::string& conninfo, const std::string& libpqMessage,
                             bool conninfoParsed) {
    if (!conninfoParsed && MayHoldPassword(conninfo))
        return "the connection string is malformed (it is not shown: it may hold a password)";
    return OneLine(libpqMessage);
}

TPgConnection::TPgConnection(const std::string& conninfo, const std::string& dataSetName) {
    if (const std::string& missing = LoadLibpq(); !missing.empty())
        FailDataSet(dataSetName, missing);
    const TLibpq& pq = Libpq();
    const std::string failed = "cannot connect to PostgreSQL: ";
    char* parseError = nullptr;
    PQconninfoOption* options = pq.PQconninfoParse(conninfo.c_str(), &parseError);
    if (options == nullptr) {
        const std::string why = parseError != nullptr ? parseError : "out of memory";
        pq.PQfreemem(parseError);
        FailDataSet(dataSetName, failed + PgConnectFailure(conninfo, why, false));
    }
    const std::string password = GivenPassword(options);
    pq.PQconninfoFree(options);

    FConn = pq.PQconnectdb(conninfo.c_str());
    if (FConn == nullptr || pq.PQstatus(FConn) != CONNECTION_OK) {
        std::string why =
            PgConnectFailure(conninfo, FConn ? pq.PQerrorMessage(FConn) : "out of memory", true);
        pq.PQfinish(FConn);
        FConn = nullptr;
        // libpq does not repeat passwords; this keeps it so whatever it says.
        ReplaceAll(why, password, "***");
        if (const char* fromEnv = std::getenv("PGPASSWORD")) ReplaceAll(why, fromEnv, "***");
        FailDataSet(dataSetName, failed + why);
    }
    FLabel = std::string("PostgreSQL database ") + pq.PQdb(FConn);
    TPgResult result;
    TPgError error;
    if (pq.PQsetClientEncoding(FConn, "UTF8") != 0 || !Run(kSessionSettings, result, error) ||
        !Run(kBegin, result, error)) {
        if (error.message.empty()) error.message = OneLine(pq.PQerrorMessage(FConn));
        pq.PQfinish(FConn);
        FConn = nullptr;
        FailDataSet(dataSetName, FLabel + ": " + error.message);
    }
}

TPgConnection::~TPgConnection() {
    // Nothing was written: ending the session ends the transaction.
    Libpq().PQfinish(FConn);
}

std::string TPgConnection::NewName(const char* prefix) {
    return prefix + std::to_string(++FNextName);
}

bool TPgConnection::Run(const std::string& command, TPgResult& result, TPgError& error) {
    result.reset(Libpq().PQexec(FConn, command.c_str()));
    return Check(result, error);
}

bool TPgConnection::Check(TPgResult& result, TPgError& error) {
    const TLibpq& pq = Libpq();
    const ExecStatusType status = result ? pq.PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK) return true;
    const char* primary =
        result ? pq.PQresultErrorField(result.get(), PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    const char* position =
        result ? pq.PQresultErrorField(result.get(), PG_DIAG_STATEMENT_POSITION) : nullptr;
    error.message = OneLine(primary != nullptr ? primary : pq.PQerrorMessage(FConn));
    error.position = position != nullptr ? std::atoi(position) : 0;
    // An error ends the transaction; a new one lets the other datasets (and
    // the next document of a batch) read on.
    if (pq.PQstatus(FConn) == CONNECTION_OK && pq.PQtransactionStatus(FConn) == PQTRANS_INERROR) {
        pq.PQclear(pq.PQexec(FConn, "ROLLBACK"));
        pq.PQclear(pq.PQexec(FConn, kBegin));
        ++FGeneration;
    }
    return false;
}

}  // namespace qx
