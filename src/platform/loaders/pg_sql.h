// The query text of a PostgreSQL dataset: its :MASTER_FIELD parameters
// become the server's numbered parameters $1, $2, ..., so that their values
// travel apart from the query (a prepared statement), never spliced into it.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace qx {

struct TPgQuery {
    std::string sql;                  // with $1, $2, ... in place of the names
    std::vector<std::string> params;  // the names, ":ORDERS_ID", by number
    // For each byte of `sql`, the byte of the query as written that it
    // comes from, so the server's error positions point into the latter.
    std::vector<std::size_t> origin;

    // The 1-based character of the query as written that the server's
    // 1-based character `position` of `sql` comes from; 0 for none.
    std::size_t OriginalCharacter(const std::string& written, int position) const;
};

// Finds the :NAME parameters of `sql` outside string literals, quoted
// identifiers, comments and dollar-quoted text; "::type" casts and array
// slices ("a[1:n]") are no parameters. A name given twice is one parameter.
TPgQuery TranslatePgParameters(const std::string& sql);

// A plain table or view name, perhaps with its schema ("sales.orders"):
// letters, digits, "_" and "$", not starting with a digit or "$".
bool IsPgTableName(const std::string& text);

}  // namespace qx
