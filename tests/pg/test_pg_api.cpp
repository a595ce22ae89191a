// The application interface's PostgreSQL datasets: the sales report of the
// other sources from a server, the detail following its master through a
// query parameter, and a connection that fails as an Error naming the
// dataset.
#include <gtest/gtest.h>

#include <qxrtf/datasets.h>
#include <qxrtf/report.h>

#include "api/sales_report.h"
#include "pg/pg_fixture.h"

namespace {

using PgApi = qxtest::PgTest;

TEST_F(PgApi, TheSalesReportFromAServerIsTheSameBytes) {
    qxrtf::Data data;
    data.Add(qxrtf::PostgresQuery("REGIONS", SocketConnection(),
                                  "SELECT * FROM (VALUES (1, 'North'), (2, 'South'), (3, 'East'),"
                                  " (4, 'West')) AS r(id, name)"))
        .Add(qxrtf::PostgresQuery(
            "SALES", SocketConnection(),
            "SELECT amount::float8 AS amount FROM (VALUES (1, 2, 20.25), (2, 1, 10.5), (3, 4, 7),"
            " (4, 1, 4), (5, 2, 0.75), (6, 4, 1.5), (7, 1, 100)) AS s(id, region, amount)"
            " WHERE region = :REGIONS_ID ORDER BY id"))
        .Link("SALES", "REGIONS");
    const auto tpl = qxrtf::Template::FromString(qxtest::kSalesReport);
    EXPECT_EQ(qxrtf::RenderToString(tpl, data), qxtest::kSalesByRegion);

    qxrtf::Data unreachable;
    unreachable.Add(qxrtf::PostgresQuery(
        "PG", "host=/nonexistent-qxrtf-socket-dir connect_timeout=1", "SELECT 1"));
    try {
        qxrtf::RenderToString(tpl, unreachable);
        ADD_FAILURE() << "no error";
    } catch (const qxrtf::Error& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Dataset PG: cannot connect to PostgreSQL", 0), 0u)
            << e.what();
    }
}

}  // namespace
