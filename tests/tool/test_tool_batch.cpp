// `qxrtf batch`: one document per master record, written whole or not at
// all, split into shards that together write every document once.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <thread>

#include "loaders/loader_fixture.h"
#include "tool_runner.h"

namespace fs = std::filesystem;

namespace {

// A letter per customer that lists the customer's orders (a detail).
const char* const kLetter =
    "{\\rtf1 Dear \\\\C.NAME\\\\:\\\\SCAN(O)\\\\ \\\\O.ITEM\\\\\\\\ENDSCAN\\\\.}";

class ToolBatch : public qxtest::LoaderTest {
  protected:
    // `count` customers "Customer 0001".. with two orders each.
    std::string MakeShop(int count) {
        return MakeDb("shop.db",
                      "CREATE TABLE c (id INTEGER, name TEXT);"
                      "CREATE TABLE o (cid INTEGER, item TEXT);"
                      "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                          std::to_string(count) +
                          ") INSERT INTO c SELECT i, printf('Customer %04d', i) FROM n;"
                          "INSERT INTO o SELECT id, 'pen-' || id FROM c;"
                          "INSERT INTO o SELECT id, 'ink-' || id FROM c;");
    }
    std::string Data(const std::string& db) {
        return "--db '" + db +
               "' --dataset C=c --dataset O='SELECT item FROM o WHERE cid = :C_ID ORDER BY "
               "item DESC' --detail O=C";
    }
    std::string Batch(const std::string& dir, const std::string& options) {
        return "batch '" + Path("t.rtf") + "' --master C --out-dir '" + Path(dir) + "' " + options;
    }
    static std::string Letter(int id) {
        char name[32];
        std::snprintf(name, sizeof name, "Customer %04d", id);
        const std::string n = std::to_string(id);
        return std::string("{\\rtf1 Dear \\lang0 ") + name + ": \\lang0 pen-" + n +
               " \\lang0 ink-" + n + ".}";
    }
    // The documents of a directory: file name to contents.
    std::map<std::string, std::string> Documents(const std::string& dir) {
        std::map<std::string, std::string> docs;
        for (const auto& e : fs::directory_iterator(Path(dir)))
            if (e.path().extension() == ".rtf")
                docs[e.path().filename().string()] = qxtest::ReadFileBytes(e.path().string());
        return docs;
    }
    std::vector<std::string> HiddenFiles(const std::string& dir) {
        std::vector<std::string> hidden;
        for (const auto& e : fs::directory_iterator(Path(dir)))
            if (e.path().filename().string()[0] == '.') hidden.push_back(e.path().string());
        return hidden;
    }
    nlohmann::json Manifest(const std::string& file) {
        return nlohmann::json::parse(qxtest::ReadFileBytes(Path(file)));
    }
};

}  // namespace

TEST_F(ToolBatch, OneDocumentPerRecordWithItsDetails) {
    MakeFile("t.rtf", kLetter);
    const ToolResult r = RunTool(Batch("out", "--name C.NAME " + Data(MakeShop(3))));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("qxrtf batch: 3 documents written, 0 kept, 0 failures, "),
              std::string::npos)
        << r.output;
    const auto docs = Documents("out");
    ASSERT_EQ(docs.size(), 3u);
    for (int id = 1; id <= 3; ++id) {
        SCOPED_TRACE(id);
        const std::string file = "Customer 000" + std::to_string(id) + ".rtf";
        ASSERT_TRUE(docs.count(file));
        EXPECT_EQ(docs.at(file), Letter(id));
    }
    EXPECT_TRUE(HiddenFiles("out").empty());
    const nlohmann::json m = Manifest("out/manifest.json");
    EXPECT_EQ(m["written"], 3);
    EXPECT_EQ(m["failed"], 0);
    ASSERT_EQ(m["documents"].size(), 3u);
    EXPECT_EQ(m["documents"][1]["file"], "Customer 0002.rtf");
    EXPECT_EQ(m["documents"][1]["record"], 2);
    EXPECT_EQ(m["documents"][1]["status"], "written");
}

TEST_F(ToolBatch, AScanOfTheMasterSeesOnlyTheDocumentsRecord) {
    MakeFile("t.rtf", "{\\rtf1 \\\\SCAN(C)\\\\[\\\\C.ID\\\\]\\\\ENDSCAN\\\\}");
    const ToolResult r = RunTool(Batch("out", "--name C.ID " + Data(MakeShop(3))));
    ASSERT_EQ(r.exitCode, 0) << r.output;
    const auto docs = Documents("out");
    ASSERT_EQ(docs.size(), 3u);
    EXPECT_EQ(docs.at("2.rtf"), "{\\rtf1 [\\lang0 2]}");
}

TEST_F(ToolBatch, NamesAreMadeSafeForFileSystems) {
    const std::string db = MakeDb("n.db",
                                  "CREATE TABLE c (id INTEGER, name TEXT);"
                                  "INSERT INTO c VALUES (1, 'a/b\\c: \"x\"?'), (2, '  ..hidden. '),"
                                  "(3, 'Zoë Ωmega 中'), (4, '../../escape'), (5, '...'),"
                                  "(6, printf('%.300c', 'y'));");
    MakeFile("t.rtf", "{\\rtf1 \\\\C.ID\\\\}");
    const ToolResult r = RunTool(Batch("out", "--name C.NAME --db '" + db + "' --dataset C=c"));
    EXPECT_EQ(r.exitCode, 1) << r.output;  // record 5 has no name left
    EXPECT_NE(r.output.find("qxrtf batch: record 5: the name of the document is empty"),
              std::string::npos)
        << r.output;
    const std::map<std::string, std::string> expected = {
        {"a_b_c_ _x__.rtf", "1"},
        {"hidden.rtf", "2"},
        {"Zoë Ωmega 中.rtf", "3"},
        {"_.._escape.rtf", "4"},
        {std::string(251, 'y') + ".rtf", "6"},
    };
    const auto docs = Documents("out");
    EXPECT_EQ(docs.size(), expected.size());
    for (const auto& [file, id] : expected) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(docs.count(file));
        EXPECT_EQ(docs.at(file), "{\\rtf1 \\lang0 " + id + "}");
    }
    EXPECT_FALSE(fs::exists(Path("escape.rtf")));
}

TEST_F(ToolBatch, CollisionsFailUnlessOverwriteAndTheBatchGoesOn) {
    const std::string db = MakeDb("d.db",
                                  "CREATE TABLE c (id INTEGER, name TEXT);"
                                  "INSERT INTO c VALUES (1, 'same'), (2, 'same'), (3, 'other');");
    MakeFile("t.rtf", "{\\rtf1 \\\\C.ID\\\\}");
    const std::string data = "--name C.NAME --db '" + db + "' --dataset C=c";

    const ToolResult first = RunTool(Batch("out", data));
    EXPECT_EQ(first.exitCode, 1);
    EXPECT_NE(first.output.find("qxrtf batch: record 2: document same.rtf is also the document "
                                "of an earlier record (give --overwrite to keep the last)"),
              std::string::npos)
        << first.output;
    EXPECT_NE(first.output.find("1 failures"), std::string::npos);
    EXPECT_EQ(Documents("out").size(), 2u);  // record 3 was still written
    EXPECT_EQ(Manifest("out/manifest.json")["documents"][1]["status"], "failed");

    const ToolResult failFast = RunTool(Batch("ff", data + " --fail-fast"));
    EXPECT_EQ(failFast.exitCode, 1);
    EXPECT_EQ(Documents("ff").size(), 1u);  // stopped before record 3
    EXPECT_EQ(Manifest("ff/manifest.json")["documents"].size(), 2u);

    const ToolResult again = RunTool(Batch("out", data + " --overwrite"));
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out/same.rtf")), "{\\rtf1 \\lang0 2}");

    const ToolResult exists = RunTool(Batch("out", "--name C.ID --db '" + db + "' --dataset C=c"));
    MakeFile("t.rtf", "{\\rtf1 changed}");
    const ToolResult refused =
        RunTool(Batch("out", "--name C.NAME --db '" + db + "' --dataset C=c"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find(
                  "record 3: document other.rtf exists already (give --overwrite or --resume)"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out/other.rtf")), "{\\rtf1 \\lang0 3}");
    EXPECT_EQ(exists.exitCode, 0) << exists.output;
}

TEST_F(ToolBatch, UsageErrorsExitWithTwo) {
    const std::string db = MakeShop(2);
    MakeFile("t.rtf", kLetter);
    const std::string data = Data(db);
    struct Case {
        std::string args, message;
    };
    const Case cases[] = {
        {"batch '" + Path("t.rtf") + "' --out-dir d --name C.ID " + data, "--master is required"},
        {Batch("d", data), "--name is required"},
        {Batch("d", "--name C.ID --shard 4/4 " + data),
         "--shard must be I/N with 0 <= I < N, not '4/4'"},
        {Batch("d", "--name C.ID --shard x " + data),
         "--shard must be I/N with 0 <= I < N, not 'x'"},
        {Batch("d", "--name C.ID --bogus " + data), "Unknown argument --bogus"},
        {Batch("d", "--name C.ID --resume --overwrite " + data),
         "--resume and --overwrite exclude each other"},
        {Batch("d", "--name C.ID --option eoNoSuch " + data), "Unknown RTF option 'eoNoSuch'"},
        {"batch '" + Path("t.rtf") + "' --master X --out-dir d --name C.ID " + data,
         "--master X: no such dataset (give it with --dataset, --csv or --json)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.output.find("qxrtf batch: " + c.message + "\n"), std::string::npos) << r.output;
    }
    EXPECT_FALSE(fs::exists(Path("d")));
}
