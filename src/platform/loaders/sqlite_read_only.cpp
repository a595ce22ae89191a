#include "platform/loaders/internal/sqlite_read_only.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "platform/internal/unicode.h"

namespace qx {

namespace {

// Pragmas that only report, with no argument or with the name of what
// they report on; any other pragma, or one of these given a value to set,
// is refused.
constexpr std::string_view kPragmasReadingANamedThing[] = {
    "foreign_key_check", "foreign_key_list", "index_info",  "index_list",  "index_xinfo",
    "integrity_check",   "quick_check",      "table_info",  "table_list",  "table_xinfo",
};
constexpr std::string_view kPragmasReadingAValue[] = {
    "application_id", "collation_list", "compile_options", "data_version",   "database_list",
    "encoding",       "freelist_count", "function_list",   "module_list",    "page_count",
    "page_size",      "pragma_list",    "schema_version",  "user_version",
};
// Functions that reach outside the database: loading code, and the file
// functions some builds register.
constexpr std::string_view kFunctionsRefused[] = {
    "edit", "fts3_tokenizer", "load_extension", "readfile", "writefile",
};

template <std::size_t N>
bool Holds(const std::string_view (&names)[N], const char* name) {
    const std::string lower = LowerCase(name == nullptr ? "" : name);
    return std::find(std::begin(names), std::end(names), lower) != std::end(names);
}

bool PragmaOnlyReads(const char* name, const char* value) {
    if (Holds(kPragmasReadingANamedThing, name)) return true;
    return value == nullptr && Holds(kPragmasReadingAValue, name);
}

// The word for an action that writes, with the object it names.
const char* WriteVerb(int action) {
    switch (action) {
        case SQLITE_INSERT:
            return "INSERT into";
        case SQLITE_UPDATE:
            return "UPDATE of";
        case SQLITE_DELETE:
            return "DELETE from";
        case SQLITE_ALTER_TABLE:
            return "ALTER TABLE";
        case SQLITE_REINDEX:
            return "REINDEX";
        case SQLITE_ANALYZE:
            return "ANALYZE";
        case SQLITE_ATTACH:
            return "ATTACH";
        case SQLITE_DETACH:
            return "DETACH";
        case SQLITE_CREATE_VTABLE:
        case SQLITE_CREATE_INDEX:
        case SQLITE_CREATE_TABLE:
        case SQLITE_CREATE_TEMP_INDEX:
        case SQLITE_CREATE_TEMP_TABLE:
        case SQLITE_CREATE_TEMP_TRIGGER:
        case SQLITE_CREATE_TEMP_VIEW:
        case SQLITE_CREATE_TRIGGER:
        case SQLITE_CREATE_VIEW:
            return "CREATE";
        default:
            return "DROP";  // the other actions the authorizer is asked about
    }
}

bool IsSchemaTable(const char* table) {
    return table != nullptr &&
           (std::strcmp(table, "sqlite_master") == 0 || std::strcmp(table, "sqlite_temp_master") == 0);
}

}  // namespace

TSqliteReadOnlyGuard::TSqliteReadOnlyGuard(sqlite3* db) {
    sqlite3_limit(db, SQLITE_LIMIT_ATTACHED, 0);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_set_authorizer(db, &TSqliteReadOnlyGuard::Authorize, this);
}

void TSqliteReadOnlyGuard::Refuse(std::string what, const char* object) {
    if (!FRefused.empty()) return;
    if (object != nullptr && *object != '\0') what += std::string(" ") + object;
    FRefused = std::move(what);
}

int TSqliteReadOnlyGuard::Authorize(void* self, int action, const char* a1, const char* a2,
                                    const char* /*database*/, const char* /*trigger*/) {
    auto& guard = *static_cast<TSqliteReadOnlyGuard*>(self);
    switch (action) {
        case SQLITE_SELECT:
        case SQLITE_READ:
        case SQLITE_RECURSIVE:
            return SQLITE_OK;
        case SQLITE_INSERT:
        case SQLITE_UPDATE:
        case SQLITE_DELETE:
            // Table-valued functions (json_each, pragma_table_info) are set
            // up through the schema table, and a CREATE or DROP writes it
            // before it is asked about itself, which then names what the
            // query wanted. A statement that writes the schema table itself
            // is caught as one that writes.
            if (IsSchemaTable(a1)) return SQLITE_OK;
            break;
        case SQLITE_FUNCTION:
            if (!Holds(kFunctionsRefused, a2)) return SQLITE_OK;
            guard.Refuse("the function", a2);
            return SQLITE_DENY;
        case SQLITE_PRAGMA:
            if (PragmaOnlyReads(a1, a2)) return SQLITE_OK;
            guard.Refuse("PRAGMA " + std::string(a1 == nullptr ? "" : a1) +
                              (a2 == nullptr ? "" : std::string(" = ") + a2),
                          nullptr);
            return SQLITE_DENY;
        case SQLITE_TRANSACTION:
        case SQLITE_SAVEPOINT:
            guard.Refuse(action == SQLITE_SAVEPOINT ? "SAVEPOINT" : "a transaction", a1);
            return SQLITE_DENY;
        default:
            break;
    }
    guard.Refuse(WriteVerb(action), a1);
    return SQLITE_DENY;
}

std::string TSqliteReadOnlyGuard::Why(sqlite3_stmt* statement) const {
    if (!FRefused.empty()) return FRefused;
    if (statement != nullptr && sqlite3_stmt_readonly(statement) == 0)
        return "a statement that writes";
    return {};
}

}  // namespace qx
