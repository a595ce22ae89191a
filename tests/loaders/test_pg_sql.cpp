// The :MASTER_FIELD parameters of a PostgreSQL query become numbered ones,
// and nothing else in the query does.
#include <gtest/gtest.h>

#include "platform/loaders/pg_sql.h"

using qx::TPgQuery;
using qx::TranslatePgParameters;

TEST(PgParameters, NamesBecomeNumbersOnlyOutsideQuotedText) {
    struct Case {
        std::string sql, translated;
        std::vector<std::string> params;
    };
    const Case cases[] = {
        {"SELECT * FROM lines WHERE order_id = :ORDERS_ID",
         "SELECT * FROM lines WHERE order_id = $1",
         {":ORDERS_ID"}},
        // The same name twice is one parameter, in any case.
        {"SELECT :c_id, :C_ID + :C_NO", "SELECT $1, $1 + $2", {":c_id", ":C_NO"}},
        {"SELECT x::date, y::text FROM t WHERE d=:M_D::date",
         "SELECT x::date, y::text FROM t WHERE d=$1::date",
         {":M_D"}},
        {"SELECT ':M_A', E'\\':M_B', 'it''s :M_C' WHERE a = :M_D",
         "SELECT ':M_A', E'\\':M_B', 'it''s :M_C' WHERE a = $1",
         {":M_D"}},
        {"SELECT \":M_A\" -- :M_B\n, /* :M_C /* :M_D */ :M_E */ :M_F",
         "SELECT \":M_A\" -- :M_B\n, /* :M_C /* :M_D */ :M_E */ $1",
         {":M_F"}},
        {"SELECT $$ :M_A $$, $q$ :M_B $ $q$, :M_C",
         "SELECT $$ :M_A $$, $q$ :M_B $ $q$, $1",
         {":M_C"}},
        {"SELECT a[1:n], b[lo:hi], c[2:3]", "SELECT a[1:n], b[lo:hi], c[2:3]", {}},
        {"SELECT 'unterminated :M_A", "SELECT 'unterminated :M_A", {}},
        {"SELECT :Ümlaut_1", "SELECT $1", {":Ümlaut_1"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql);
        const TPgQuery q = TranslatePgParameters(c.sql);
        EXPECT_EQ(q.sql, c.translated);
        EXPECT_EQ(q.params, c.params);
        ASSERT_EQ(q.origin.size(), q.sql.size());
    }
}

TEST(PgParameters, EveryByteKnowsWhereItCameFrom) {
    const std::string sql = "SELECT :LONG_NAME_A + x FROM t";
    const TPgQuery q = TranslatePgParameters(sql);
    ASSERT_EQ(q.sql, "SELECT $1 + x FROM t");
    EXPECT_EQ(q.origin[q.sql.find("$1")], sql.find(":LONG"));
    EXPECT_EQ(q.origin[q.sql.find("x")], sql.find("x"));
    EXPECT_EQ(q.origin.back(), sql.size() - 1);

    // The server counts characters of what it was sent; the message counts
    // characters of what was written.
    const std::string written = "SELECT 'ü', :M_LONG_NAME, nme";
    const TPgQuery sent = TranslatePgParameters(written);
    ASSERT_EQ(sent.sql, "SELECT 'ü', $1, nme");
    EXPECT_EQ(sent.OriginalCharacter(written, 17), 27u);  // nme
    EXPECT_EQ(sent.OriginalCharacter(written, 13), 13u);  // the parameter
    EXPECT_EQ(sent.OriginalCharacter(written, 0), 0u);
    EXPECT_EQ(sent.OriginalCharacter(written, 99), 0u);
}

TEST(PgParameters, TableNames) {
    struct Case {
        const char* text;
        bool table;
    };
    const Case cases[] = {
        {"customers", true},
        {"sales.orders", true},
        {"_t$1", true},
        {"SELECT 1", false},
        {"1abc", false},
        {"a..b", false},
        {"a.", false},
        {"", false},
        {"t; DROP TABLE x", false},
        {"\"Quoted\"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(qx::IsPgTableName(c.text), c.table);
    }
}
