// One connection to a PostgreSQL server, shared by the datasets that read
// from it. Everything runs in one read-only transaction with one snapshot,
// so a master and its details see the same data however long a report
// runs; each dataset reads through a cursor of its own in it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct pg_conn;
struct pg_result;

namespace qx {

struct TPgResultFree {
    void operator()(pg_result* result) const;
};
using TPgResult = std::unique_ptr<pg_result, TPgResultFree>;

// A failed command: the server's message, where in the command it points
// (0: nowhere) and the whole text of the error for the rare case without a
// primary message.
struct TPgError {
    std::string message;
    int position = 0;
};

class TPgConnection {
  public:
    // `conninfo`: "key=value ..." or a postgresql:// URI; what it leaves out
    // comes from libpq's PG* environment variables (all of them when it is
    // empty). Raises EDatabaseError naming `dataSetName` when libpq cannot
    // be loaded (it is loaded by the first connection) or the server cannot
    // be reached or refuses; the message never shows a password.
    TPgConnection(const std::string& conninfo, const std::string& dataSetName);
    ~TPgConnection();
    TPgConnection(const TPgConnection&) = delete;
    TPgConnection& operator=(const TPgConnection&) = delete;

    pg_conn* Handle() const { return FConn; }
    // "PostgreSQL database NAME", how messages name the source.
    const std::string& Label() const { return FLabel; }
    // A name for a statement or cursor, unique on this connection.
    std::string NewName(const char* prefix);

    // Runs a command without parameters; a failure answers false with the
    // server's error in `error`, and starts the transaction over.
    bool Run(const std::string& command, TPgResult& result, TPgError& error);
    // Checks the result of a libpq call; on failure fills `error` and
    // starts the transaction over.
    bool Check(TPgResult& result, TPgError& error);

    // Counts the times the transaction started over: cursors of an earlier
    // one are gone, and their readers open them again.
    std::uint64_t Generation() const { return FGeneration; }

  private:
    void Begin();

    pg_conn* FConn = nullptr;
    std::string FLabel;
    std::uint64_t FNextName = 0;
    std::uint64_t FGeneration = 0;
};

// Why a connection failed, safe to show: libpq's message on one line, or
// only that the connection string is malformed when its text might hold a
// password.
std::string PgConnectFailure(const std::string& conninfo, const std::string& libpqMessage,
                             bool conninfoParsed);

}  // namespace qx
