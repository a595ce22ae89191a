// The application interface's datasets: one sales report with its details
// from the application's rows, a row source, CSV, JSON and SQLite gives the
// same bytes; links that would list every detail record under every master
// record are refused with their reason; the data's warnings come back with
// the result; one Data serves several threads at once.
#include <gtest/gtest.h>

#include <qxrtf/datasets.h>
#include <qxrtf/report.h>

#include <functional>
#include <stdexcept>
#include <thread>

#include "api/sales_report.h"
#include "loaders/loader_fixture.h"

using namespace qxrtf;

namespace {

using qxtest::kSalesByRegion;
using qxtest::kSalesReport;

struct Sale {
    int region;
    double amount;
};
// As sales_report.h has them: not grouped by region, so a keyed detail goes
// back and forth in them.
const Sale kSales[] = {{2, 20.25}, {1, 10.5}, {4, 7}, {1, 4}, {2, 0.75}, {4, 1.5}, {1, 100}};

const char* const kSalesQuery =
    "SELECT region, amount FROM sales WHERE region = :REGIONS_ID ORDER BY id";

Rows RegionRows() {
    Rows regions("REGIONS", {{"ID", Kind::Integer}, {"NAME", Kind::String}});
    regions.Add({1, "North"}).Add({2, "South"}).Add({3, "East"}).Add({4, "West"});
    return regions;
}

Rows SaleRows() {
    Rows sales("SALES", {{"REGION", Kind::Integer}, {"AMOUNT", Kind::Number}});
    for (const Sale& s : kSales) sales.Add({s.region, s.amount});
    return sales;
}

// The sales read forward, as an application's cursor would give them;
// `failAt` > 0 throws instead of giving that record.
class SaleSource : public RowSource {
  public:
    explicit SaleSource(int failAt = 0) : FFailAt(failAt) {}
    std::vector<Column> Columns() override {
        return {{"REGION", Kind::Integer}, {"AMOUNT", Kind::Number}};
    }
    void Rewind() override { FNext = 0; }
    bool Next(std::vector<Value>& record) override {
        if (FNext == std::size(kSales)) return false;
        if (static_cast<int>(FNext) + 1 == FFailAt) throw std::runtime_error("the cursor broke");
        const Sale& s = kSales[FNext++];
        record = {s.region, s.amount};
        return true;
    }

  private:
    int FFailAt;
    std::size_t FNext = 0;
};

Dataset SaleSourceSet(int failAt = 0) {
    return Dataset("SALES", [failAt] { return std::make_unique<SaleSource>(failAt); });
}

class ReportDatasets : public qxtest::LoaderTest {
  protected:
    void SetUp() override {
        LoaderTest::SetUp();
        MakeFile("regions.csv", "ID,NAME\n1,North\n2,South\n3,East\n4,West\n");
        MakeFile("sales.csv", "REGION,AMOUNT\n2,20.25\n1,10.5\n4,7\n1,4\n2,0.75\n4,1.5\n1,100\n");
        MakeFile("regions.json", R"([{"ID": 1, "NAME": "North"}, {"ID": 2, "NAME": "South"},)"
                                 R"( {"ID": 3, "NAME": "East"}, {"ID": 4, "NAME": "West"}])");
        MakeFile("nested.json",
                 R"([{"ID": 1, "NAME": "North", "SALES": [{"AMOUNT": 10.5}, {"AMOUNT": 4},)"
                 R"( {"AMOUNT": 100}]}, {"ID": 2, "NAME": "South", "SALES": [{"AMOUNT": 20.25},)"
                 R"( {"AMOUNT": 0.75}]}, {"ID": 3, "NAME": "East"},)"
                 R"( {"ID": 4, "NAME": "West", "SALES": [{"AMOUNT": 7}, {"AMOUNT": 1.5}]}])");
        MakeFile("prices.csv", qxtest::kPricesCsv);
        MakeDb("shop.db", qxtest::kRegionSalesSql);
    }

    Dataset Db(const std::string& name, const std::string& query) {
        return SqliteQuery(name, Path("shop.db"), query);
    }

    // REGIONS and SALES as `make` gives them, SALES linked by its key.
    static Data Keyed(const Dataset& regions, const Dataset& sales) {
        Data data;
        data.Add(regions).Add(sales).Link("SALES", "REGIONS", "REGION", "ID");
        return data;
    }

    // The message of the Error that making the data or rendering the sales
    // report with it gives.
    static std::string FailureOf(const std::function<Data()>& make) {
        try {
            RenderToString(Template::FromString(kSalesReport), make());
        } catch (const Error& e) {
            return e.what();
        }
        return "no error";
    }
};

}  // namespace

TEST_F(ReportDatasets, OneSalesReportFromEverySourceIsTheSameBytes) {
    const Template tpl = Template::FromString(kSalesReport);
    struct Source {
        const char* name;
        Data data;
    };
    Data sqlite;
    sqlite.Add(Db("REGIONS", "regions")).Add(Db("SALES", kSalesQuery)).Link("SALES", "REGIONS");
    Data nested;
    nested.Add(JsonFile("REGIONS", Path("nested.json"))).Link("SALES", "REGIONS");
    const Source sources[] = {
        {"rows", Keyed(RegionRows(), SaleRows())},
        {"row source", Keyed(RegionRows(), SaleSourceSet())},
        {"csv",
         Keyed(CsvFile("REGIONS", Path("regions.csv")), CsvFile("SALES", Path("sales.csv")))},
        {"json master, csv detail",
         Keyed(JsonFile("REGIONS", Path("regions.json")), CsvFile("SALES", Path("sales.csv")))},
        {"sqlite master, row source detail", Keyed(Db("REGIONS", "regions"), SaleSourceSet())},
        {"json nested", nested},
        {"sqlite query", sqlite},
    };
    for (const Source& source : sources) {
        SCOPED_TRACE(source.name);
        std::string out;
        try {
            const Result result = qxrtf::Render(
                tpl, source.data, [&out](std::string_view bytes) { out.append(bytes); });
            EXPECT_TRUE(result.warnings.empty());
        } catch (const Error& e) {
            ADD_FAILURE() << e.what();
        }
        EXPECT_EQ(out, kSalesByRegion);
    }
}

TEST_F(ReportDatasets, LinksThatWouldListEveryRecordAreRefused) {
    struct Case {
        const char* what;
        std::function<Data()> data;
        std::string message;
    };
    const Case cases[] = {
        {"detail query left unlinked",
         [&] {
             Data d;
             d.Add(Db("REGIONS", "regions")).Add(Db("SALES", kSalesQuery));
             return d;
         },
         "Dataset SALES: parameter :REGIONS_ID needs a master dataset"},
        {"query without a parameter",
         [&] {
             Data d;
             d.Add(Db("REGIONS", "regions")).Add(Db("SALES", "sales")).Link("SALES", "REGIONS");
             return d;
         },
         "Detail SALES: the query of SALES has no :REGIONS_FIELD parameter to link it to "
         "REGIONS, so every record of REGIONS would list all its records"},
        {"query linked by a key",
         [&] { return Keyed(Db("REGIONS", "regions"), Db("SALES", kSalesQuery)); },
         "Detail SALES: SALES is read by a query: link it to REGIONS with :REGIONS_FIELD "
         "parameters in the query, not with a key"},
        {"file linked without a key",
         [&] {
             Data d;
             d.Add(Db("REGIONS", "regions"))
                 .Add(CsvFile("SALES", Path("sales.csv")))
                 .Link("SALES", "REGIONS");
             return d;
         },
         "Detail SALES: SALES has no query: give the fields that link it to REGIONS"},
        {"rows linked without a key",
         [&] {
             Data d;
             d.Add(RegionRows()).Add(SaleRows()).Link("SALES", "REGIONS");
             return d;
         },
         "Detail SALES: SALES has no query: give the fields that link it to REGIONS"},
        {"key field the detail lacks",
         [&] {
             Data d;
             d.Add(RegionRows()).Add(SaleSourceSet()).Link("SALES", "REGIONS", "REGON", "ID");
             return d;
         },
         "Detail SALES: SALES has no field REGON"},
        {"key field the master lacks",
         [&] {
             Data d;
             d.Add(RegionRows()).Add(SaleRows()).Link("SALES", "REGIONS", "REGION", "NO");
             return d;
         },
         "Detail SALES: REGIONS has no field NO"},
        {"one key field only",
         [&] {
             Data d;
             d.Add(RegionRows()).Add(SaleRows()).Link("SALES", "REGIONS", "REGION", "");
             return d;
         },
         "Detail SALES: give both key fields to link it to REGIONS"},
        {"no master",
         [&] {
             Data d;
             d.Add(SaleRows()).Link("SALES", "REGIONS", "REGION", "ID");
             return d;
         },
         "Detail SALES: no dataset REGIONS is given"},
        {"nested array of a master that has none",
         [&] {
             Data d;
             d.Add(RegionRows()).Link("SALES", "REGIONS");
             return d;
         },
         "Detail SALES: no dataset SALES is given, and REGIONS is no JSON dataset with nested "
         "arrays"},
        {"nested array linked by a key",
         [&] {
             Data d;
             d.Add(JsonFile("REGIONS", Path("nested.json"))).Link("SALES", "REGIONS", "A", "B");
             return d;
         },
         "Detail SALES: the records of a nested array belong to their master record already: "
         "give no key"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FailureOf(c.data), c.message);
    }
}

TEST_F(ReportDatasets, RowSourceFailuresAreErrors) {
    struct WrongKind : SaleSource {
        bool Next(std::vector<Value>& record) override {
            if (!SaleSource::Next(record)) return false;
            record[1] = "a lot";
            return true;
        }
    };
    const std::pair<Dataset, std::string> cases[] = {
        {SaleSourceSet(3), "the cursor broke"},
        {Dataset("SALES", [] { return std::make_unique<WrongKind>(); }),
         "SALES: record 1, column AMOUNT: the value is not of the column's kind"},
        {Dataset("SALES", [] { return std::unique_ptr<RowSource>(); }),
         "SALES: no row source was made"},
    };
    for (const auto& [sales, message] : cases) {
        SCOPED_TRACE(message);
        EXPECT_EQ(FailureOf([&] { return Keyed(RegionRows(), sales); }), message);
    }
}

TEST_F(ReportDatasets, WarningsOfTheDataComeWithTheResult) {
    const Template tpl =
        Template::FromString("{\\rtf1 \\\\SCAN(P)\\\\\\\\P.PRICE\\\\;\\\\ENDSCAN\\\\}");
    Data data;
    data.Add(CsvFile("P", Path("prices.csv")));
    std::string out;
    const Result result =
        qxrtf::Render(tpl, data, [&out](std::string_view bytes) { out.append(bytes); });
    EXPECT_EQ(out, "{\\rtf1 12.50;249,00;3;}");
    ASSERT_EQ(result.warnings.size(), 1u);
    EXPECT_EQ(result.warnings[0].message,
              Path("prices.csv") +
                  ": line 3, field PRICE: \"249,00\" is not a number; the column is read as text");

    Options strict;
    strict.strict = true;
    try {
        RenderToString(tpl, data, strict);
        ADD_FAILURE() << "a strict render went on after a warning of its data";
    } catch (const Error& e) {
        EXPECT_EQ(std::string(e.what()),
                  "Stopped by 1 warning: warnings are errors in a strict run");
    }
}

TEST_F(ReportDatasets, OneDataServesFourThreadsAtOnce) {
    const Template tpl = Template::FromString(kSalesReport);
    Data data;
    data.Add(Db("REGIONS", "regions"))
        .Add(Db("SALES", kSalesQuery))
        .Link("SALES", "REGIONS")
        .Add(CsvFile("ALSO", Path("sales.csv")));
    std::vector<std::string> results(4);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < results.size(); ++t)
        threads.emplace_back([&, t] {
            try {
                for (int round = 0; round < 5 && results[t].empty(); ++round) {
                    std::string out = RenderToString(tpl, data);
                    if (out != kSalesByRegion) results[t] = out;
                }
                if (results[t].empty()) results[t] = kSalesByRegion;
            } catch (const Error& e) {
                results[t] = e.what();
            }
        });
    for (std::thread& t : threads) t.join();
    for (const std::string& r : results) EXPECT_EQ(r, kSalesByRegion);
}
