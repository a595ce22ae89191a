// Confines an SQLite connection to reading. A connection opened read-only
// still lets a query write elsewhere (VACUUM INTO a new file, ATTACH,
// temporary tables, a pragma that changes the connection) and lets
// functions load code: a dataset's query comes with a template or a
// command line and must not do any of that.
#pragma once

#include <string>

struct sqlite3;
struct sqlite3_stmt;

namespace qx {

class TSqliteReadOnlyGuard {
  public:
    // Installs the statement authorizer on `db` and tightens the
    // connection (no attached databases, a schema that is not trusted to
    // call functions with side effects).
    explicit TSqliteReadOnlyGuard(sqlite3* db);
    TSqliteReadOnlyGuard(const TSqliteReadOnlyGuard&) = delete;
    TSqliteReadOnlyGuard& operator=(const TSqliteReadOnlyGuard&) = delete;

    // Forgets what an earlier statement was refused.
    void Clear() { FRefused.clear(); }
    // What the statement prepared since Clear was refused, as "PRAGMA
    // user_version = 3" or "the function load_extension"; empty when
    // nothing was.
    const std::string& Refused() const { return FRefused; }
    // What makes the prepared `statement` one a dataset may not run:
    // whatever the authorizer refused, or a statement that writes without
    // asking it (VACUUM); empty for a statement that only reads.
    std::string Why(sqlite3_stmt* statement) const;

  private:
    static int Authorize(void* self, int action, const char* a1, const char* a2, const char* a3,
                         const char* a4);
    void Refuse(std::string what, const char* object);

    std::string FRefused;  // the first action refused
};

}  // namespace qx
