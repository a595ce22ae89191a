// Datasets from real files in a private directory: SQLite databases made
// with SQLite itself, CSV and JSON files written as a user would.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "qxrtf/qxrtf.h"
#include "test_support.h"

namespace qxtest {

// The shop several tool and API tests report on: four regions and seven
// sales (a grand total of 144.00), with the prices a German user types.
inline constexpr char kRegionSalesSql[] =
    "CREATE TABLE regions (id INTEGER, name TEXT);"
    "INSERT INTO regions VALUES (1, 'North'), (2, 'South'), (3, 'East'), (4, 'West');"
    "CREATE TABLE sales (id INTEGER, region INTEGER, amount REAL);"
    "INSERT INTO sales VALUES (1, 2, 20.25), (2, 1, 10.5), (3, 4, 7), (4, 1, 4),"
    "(5, 2, 0.75), (6, 4, 1.5), (7, 1, 100);";
inline constexpr char kPricesCsv[] = "ITEM,PRICE\npen,12.50\nink,\"249,00\"\npad,3\n";

class LoaderTest : public TempDirTest {
  protected:
    // A database file `name` made by running `sql`.
    std::string MakeDb(const std::string& name, const std::string& sql) {
        const std::string path = Path(name);
        sqlite3* db = nullptr;
        EXPECT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << (error ? error : "");
        sqlite3_free(error);
        sqlite3_close(db);
        return path;
    }
    std::string MakeFile(const std::string& name, const std::string& bytes) {
        WriteFileBytes(Path(name), bytes);
        return Path(name);
    }

    // The values of `field` over the whole dataset, from First.
    static std::vector<std::string> Column(qx::TDataSet& ds, const std::string& field) {
        std::vector<std::string> values;
        for (ds.First(); !ds.Eof(); ds.Next())
            values.push_back(ds.FieldByName(field)->IsNull() ? "<null>"
                                                             : ds.FieldByName(field)->AsString());
        return values;
    }

    // The report text of a template body (without its RTF frame and with
    // the language marks of values dropped); `setup` prepares the report
    // (its variables, say) before the run.
    static std::string Render(const std::string& body, const qx::arrdataset& datasets,
                              const std::function<void(qx::TQxRTF&)>& setup = {}) {
        const std::string head = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard ";
        const std::string doc = head + body + "\\par}";
        qx::TQxRTF report;
        if (setup) setup(report);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        qx::TMemoryStream out;
        report.ExecuteStream(datasets, &out);
        std::string text(reinterpret_cast<const char*>(out.Memory()),
                         static_cast<std::size_t>(out.Size()));
        if (text.rfind(head, 0) != 0 || text.size() < head.size() + 5) return text;
        text = text.substr(head.size(), text.size() - head.size() - 5);
        return text;
    }

    // The message of the EDatabaseError that `run` raises.
    template <typename F>
    static std::string ErrorOf(F run) {
        try {
            run();
        } catch (const qx::EDatabaseError& e) {
            return e.what();
        }
        return "(no error)";
    }
};

}  // namespace qxtest
