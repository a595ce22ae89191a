// `qxrtf batch` reading its letters from PostgreSQL, split into four shard
// processes as a scheduler runs them.
#include <map>
#include <nlohmann/json.hpp>
#include <set>

#include "pg/pg_fixture.h"
#include "platform/sysutils.h"
#include "tool/tool_runner.h"

namespace {

// A letter per customer with the amounts of the customer's two orders.
const char* const kLetter =
    "{\\rtf1 Dear \\\\C.NAME\\\\ of \\\\C.CITY\\\\:\\\\SCAN(O)\\\\ "
    "\\\\O.AMOUNT\\\\\\\\ENDSCAN\\\\.}";

class PgBatch : public qxtest::PgTest {
  protected:
    std::string Batch(const std::string& dir, const std::string& options) {
        return "batch '" + Path("t.rtf") + "' --master C --out-dir '" + Path(dir) +
               "' --name C.NAME --pg '" + SocketConnection() +
               "' --dataset 'C=SELECT * FROM letter_customers ORDER BY id'"
               " --dataset 'O=SELECT amount FROM letter_orders WHERE customer_id = :C_ID "
               "ORDER BY id' --detail O=C " +
               options;
    }
    // The amounts as the schema makes them: (id * 3 + k) * 1.25.
    static std::string Amount(int id, int k) { return qx::FloatToStr((id * 3 + k) * 1.25); }
    static std::string Letter(int id) {
        return "{\\rtf1 Dear Customer " + std::to_string(id) + " of City " +
               std::to_string(id % 37) + ": " + Amount(id, 1) + " " +
               Amount(id, 2) + ".}";
    }
    std::map<std::string, std::string> Documents(const std::string& dir) {
        return qxtest::RtfFilesIn(Path(dir));
    }
    // The documents a manifest lists, as (record, file, status).
    std::set<std::tuple<int, std::string, std::string>> Listed(const std::string& manifest) {
        const auto m = nlohmann::json::parse(qxtest::ReadFileBytes(Path(manifest)));
        std::set<std::tuple<int, std::string, std::string>> listed;
        for (const auto& d : m["documents"])
            listed.emplace(d["record"].get<int>(), d.value("file", ""),
                           d["status"].get<std::string>());
        return listed;
    }
};

}  // namespace

TEST_F(PgBatch, FourShardProcessesWriteEachLetterOnce) {
    MakeFile("t.rtf", kLetter);
    const qxtest::ToolResult single = qxtest::RunTool(Batch("one", ""));
    ASSERT_EQ(single.exitCode, 0) << single.output;
    const auto docs = Documents("one");
    ASSERT_EQ(docs.size(), 1000u);
    for (int id = 1; id <= 1000; ++id) {
        SCOPED_TRACE(id);
        const std::string file = "Customer " + std::to_string(id) + ".rtf";
        ASSERT_EQ(docs.count(file), 1u);
        EXPECT_EQ(docs.at(file), Letter(id));
    }

    std::string command;
    for (int i = 0; i < 4; ++i)
        command += std::string(QXRTF_TOOL_PATH) + " " +
                   Batch("sharded", "--shard " + std::to_string(i) + "/4") + " 2>/dev/null & ";
    ASSERT_EQ(std::system((command + "wait").c_str()), 0);
    EXPECT_EQ(Documents("sharded"), docs);
    std::set<std::tuple<int, std::string, std::string>> all;
    std::size_t listedTotal = 0;
    for (int i = 0; i < 4; ++i) {
        const auto listed = Listed("sharded/manifest-" + std::to_string(i) + "-of-4.json");
        EXPECT_GT(listed.size(), 150u);  // a fair share each
        listedTotal += listed.size();
        all.insert(listed.begin(), listed.end());
    }
    EXPECT_EQ(listedTotal, 1000u);  // no letter in two shards
    EXPECT_EQ(all, Listed("one/manifest.json"));

    // What a reader sees in a few of them.
    if (!qxtest::HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    const qxtest::ToolResult txt = qxtest::RunCommand(
        "cd '" + Path("sharded") + "' && soffice --headless -env:UserInstallation=file://" +
        Path("lo") +
        " --convert-to txt:Text 'Customer 1.rtf' 'Customer 538.rtf' 'Customer 1000.rtf' "
        ">/dev/null 2>&1 && cat 'Customer 1.txt' 'Customer 538.txt' 'Customer 1000.txt'");
    ASSERT_EQ(txt.exitCode, 0) << txt.output;
    std::string text = txt.output;
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    for (std::size_t at; (at = text.find("\xEF\xBB\xBF")) != std::string::npos;) text.erase(at, 3);
    EXPECT_EQ(text,
              "Dear Customer 1 of City 1: 5 6.25.\n"
              "Dear Customer 538 of City 20: 2018.75 2020.\n"
              "Dear Customer 1000 of City 1: 3751.25 3752.5.\n");
}
