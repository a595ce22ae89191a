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
#include "tool/tool_runner.h"

using qxtest::RunTool;
using qxtest::ToolResult;

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
    static std::string CustomerName(int id) {
        char name[32];
        std::snprintf(name, sizeof name, "Customer %04d", id);
        return name;
    }
    static std::string Letter(int id) {
        const std::string n = std::to_string(id);
        return "{\\rtf1 Dear " + CustomerName(id) + ": pen-" + n + " ink-" + n + ".}";
    }
    // The documents of a directory: file name to contents.
    std::map<std::string, std::string> Documents(const std::string& dir) {
        return qxtest::RtfFilesIn(Path(dir));
    }
    std::size_t DocumentCount(const std::string& dir) {
        std::error_code ec;
        std::size_t n = 0;
        for (auto it = fs::directory_iterator(Path(dir), ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            n += it->path().extension() == ".rtf";
        return n;
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
    EXPECT_EQ(docs.at("2.rtf"), "{\\rtf1 [2]}");
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
        EXPECT_EQ(docs.at(file), "{\\rtf1 " + id + "}");
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
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out/same.rtf")), "{\\rtf1 2}");

    const ToolResult exists = RunTool(Batch("out", "--name C.ID --db '" + db + "' --dataset C=c"));
    MakeFile("t.rtf", "{\\rtf1 changed}");
    const ToolResult refused =
        RunTool(Batch("out", "--name C.NAME --db '" + db + "' --dataset C=c"));
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.output.find(
                  "record 3: document other.rtf exists already (give --overwrite or --resume)"),
              std::string::npos)
        << refused.output;
    EXPECT_EQ(qxtest::ReadFileBytes(Path("out/other.rtf")), "{\\rtf1 3}");
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
        {Batch("d", "--name C.ID --option eoNoSuch " + data),
         "--option eoNoSuch: no such RTF option (the options are eoGraphicsWmfCompatible, "
         "eoGraphicsBinary, eoClearMissedFields, eoDotAsColon, eoNumericFormatClearZero, "
         "eoKeepFrtfPar, eoProcessFormFields)"},
        {"batch '" + Path("t.rtf") + "' --master X --out-dir d --name C.ID " + data,
         "--master X: no such dataset (give it with --dataset, --csv or --json)"},
        {Batch("d", "--name C.ID --jobs 0 " + data),
         "--jobs must be a number from 1 to 256, not '0'"},
        {Batch("d", "--name C.ID --jobs two " + data),
         "--jobs must be a number from 1 to 256, not 'two'"},
        {Batch("d", "--name C.ID --jobs 257 " + data),
         "--jobs must be a number from 1 to 256, not '257'"},
        {Batch("d", "--name C.ID --group 0 " + data),
         "--group must be a number from 1 to 10000, not '0'"},
        {Batch("d", "--name C.ID --group 10001 " + data),
         "--group must be a number from 1 to 10000, not '10001'"},
        {Batch("d", "--name 'SCAN(C)' " + data),
         "--name SCAN(C): Nesting error - endscan expected, but end of document found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolResult r = RunTool(c.args);
        EXPECT_EQ(r.exitCode, 2);
        EXPECT_NE(r.output.find("qxrtf batch: " + c.message + "\n"), std::string::npos) << r.output;
    }
    EXPECT_FALSE(fs::exists(Path("d")));
}

namespace {

// The documents a manifest lists, as (record, file, status).
std::set<std::tuple<int, std::string, std::string>> Listed(const nlohmann::json& manifest) {
    std::set<std::tuple<int, std::string, std::string>> listed;
    for (const auto& d : manifest["documents"])
        listed.emplace(d["record"].get<int>(), d.value("file", ""), d["status"].get<std::string>());
    return listed;
}

}  // namespace

TEST_F(ToolBatch, FourShardProcessesWriteEveryDocumentOnce) {
    MakeFile("t.rtf", kLetter);
    const std::string data = Data(MakeShop(1000));
    const ToolResult single = RunTool(Batch("one", "--name C.NAME " + data));
    ASSERT_EQ(single.exitCode, 0) << single.output;

    for (const std::string key : {"", "--shard-key C.NAME "}) {
        SCOPED_TRACE(key);
        const std::string dir = key.empty() ? "byrecord" : "byname";
        // Four processes at once into one directory, as a scheduler runs them.
        std::string command;
        for (int i = 0; i < 4; ++i)
            command +=
                std::string(QXRTF_TOOL_PATH) + " " +
                Batch(dir, "--name C.NAME --shard " + std::to_string(i) + "/4 " + key + data) +
                " 2>/dev/null & ";
        ASSERT_EQ(std::system((command + "wait").c_str()), 0);

        EXPECT_EQ(Documents(dir), Documents("one"));
        std::set<std::tuple<int, std::string, std::string>> all;
        std::size_t listedTotal = 0;
        for (int i = 0; i < 4; ++i) {
            const nlohmann::json m =
                Manifest(dir + "/manifest-" + std::to_string(i) + "-of-4.json");
            EXPECT_EQ(m["failed"], 0);
            EXPECT_GT(m["written"].get<int>(), 150);  // a fair share each
            const auto listed = Listed(m);
            listedTotal += listed.size();
            all.insert(listed.begin(), listed.end());
        }
        EXPECT_EQ(listedTotal, 1000u);  // no document in two shards
        EXPECT_EQ(all, Listed(Manifest("one/manifest.json")));
        EXPECT_TRUE(HiddenFiles(dir).empty());
    }
    const auto docs = Documents("one");
    ASSERT_EQ(docs.size(), 1000u);
    for (int id : {1, 417, 1000}) EXPECT_EQ(docs.at(CustomerName(id) + ".rtf"), Letter(id));

    // As a reader sees them: each its own customer and orders.
    if (!qxtest::HaveCommand("soffice")) GTEST_SKIP() << "LibreOffice is not installed";
    const int ids[] = {1, 2, 417, 999, 1000};
    std::string files;
    for (int id : ids) files += " '" + Path("byname/" + CustomerName(id) + ".rtf") + "'";
    const ToolResult txt = qxtest::RunCommand("soffice --headless -env:UserInstallation=file://" +
                                              Path("lo") + " --convert-to txt:Text --outdir '" +
                                              Path("txt") + "'" + files + " >/dev/null 2>&1");
    ASSERT_EQ(txt.exitCode, 0) << txt.output;
    for (int id : ids) {
        SCOPED_TRACE(id);
        const std::string text = qxtest::ReadFileBytes(Path("txt/" + CustomerName(id) + ".txt"));
        const std::string n = std::to_string(id);
        EXPECT_NE(text.find("Dear " + CustomerName(id) + ": pen-" + n + " ink-" + n + "."),
                  std::string::npos)
            << text;
    }
}

TEST_F(ToolBatch, AKilledRunLeavesOnlyWholeDocumentsAndResumeFinishesIt) {
    MakeFile("t.rtf", kLetter);
    const int count = 1500;
    const std::string data = Data(MakeShop(count));
    // Killed without warning at several points of the run: as soon as the
    // first documents have their names (the first group flushed), midway
    // and near the end (documents are named a group at a time).
    for (const std::size_t killAt : {1u, 600u, 1200u}) {
        SCOPED_TRACE("killed after " + std::to_string(killAt) + " documents");
        const std::string dir = "out" + std::to_string(killAt);
        const std::string args = Batch(dir, "--name C.NAME " + data);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            execl("/bin/sh", "sh", "-c",
                  ("exec " + std::string(QXRTF_TOOL_PATH) + " " + args + " 2>/dev/null").c_str(),
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline && DocumentCount(dir) < killAt)
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the batch ended before it was killed";

        const auto present = Documents(dir);
        ASSERT_LT(present.size(), static_cast<std::size_t>(count));
        for (const auto& [file, text] : present) {
            const int id = std::stoi(file.substr(9, 4));
            ASSERT_EQ(text, Letter(id)) << file;
        }
        EXPECT_FALSE(fs::exists(Path(dir + "/manifest.json")));

        const ToolResult resumed = RunTool(args + " --resume");
        ASSERT_EQ(resumed.exitCode, 0) << resumed.output;
        const auto all = Documents(dir);
        ASSERT_EQ(all.size(), static_cast<std::size_t>(count));
        for (const auto& [file, text] : all) ASSERT_EQ(text, Letter(std::stoi(file.substr(9, 4))));
        const nlohmann::json m = Manifest(dir + "/manifest.json");
        EXPECT_EQ(m["kept"].get<std::size_t>(), present.size());
        EXPECT_EQ(m["written"].get<std::size_t>(), count - present.size());
        EXPECT_TRUE(HiddenFiles(dir).empty());
    }
}

TEST_F(ToolBatch, ATemplateThatDoesNotCompileStopsTheBatchBeforeAnyRecord) {
    MakeFile("t.rtf", "{\\rtf1 \\\\SCAN(X)\\\\ \\\\ENDSCAN\\\\}");
    const ToolResult r = RunTool(Batch("out", "--name C.NAME " + Data(MakeShop(3))));
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.output.find("qxrtf batch: " + Path("t.rtf") + ":1:8: Scan Alias not found: X\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(r.output.find("record 1"), std::string::npos) << r.output;
    EXPECT_FALSE(fs::exists(Path("out")));
}

namespace {

std::size_t Count(const std::string& text, const std::string& part) {
    std::size_t n = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

}  // namespace

TEST_F(ToolBatch, JobsWriteWhatOneWorkerWrites) {
    MakeFile("t.rtf", kLetter);
    const std::string db = MakeShop(300);
    // Two records take an earlier record's name, and one has none.
    MakeDb("shop.db",
           "UPDATE c SET name = 'Customer 0007' WHERE id IN (40, 41);"
           "UPDATE c SET name = '' WHERE id = 90;");
    for (const std::string mode : {"", "--overwrite "}) {
        SCOPED_TRACE(mode);
        const std::string one = mode.empty() ? "one" : "one-overwrite";
        const std::string three = mode.empty() ? "three" : "three-overwrite";
        const ToolResult single = RunTool(Batch(one, "--name C.NAME " + mode + Data(db)));
        // What a killed run with more workers left goes.
        fs::create_directories(Path(three));
        MakeFile(three + "/.qxrtf-batch-0-of-1.4.tmp", "half a document");
        const ToolResult jobs = RunTool(Batch(three, "--jobs 3 --name C.NAME " + mode + Data(db)));
        EXPECT_EQ(single.exitCode, 1) << single.output;
        EXPECT_EQ(jobs.exitCode, 1) << jobs.output;

        const auto docs = Documents(three);
        EXPECT_EQ(docs, Documents(one));
        EXPECT_EQ(docs.size(), 297u);
        EXPECT_EQ(docs.at("Customer 0300.rtf"), Letter(300));
        // The later record's document stays, whichever worker wrote it.
        ASSERT_TRUE(docs.count("Customer 0007.rtf"));
        EXPECT_NE(docs.at("Customer 0007.rtf").find(mode.empty() ? "pen-7 " : "pen-41 "),
                  std::string::npos);
        EXPECT_TRUE(HiddenFiles(three).empty());

        nlohmann::json fromOne = Manifest(one + "/manifest.json");
        nlohmann::json fromThree = Manifest(three + "/manifest.json");
        EXPECT_EQ(fromThree["documents"], fromOne["documents"]);
        for (const char* count : {"written", "kept", "failed"})
            EXPECT_EQ(fromThree[count], fromOne[count]) << count;

        // Each failure reported once, and one summary line.
        const std::vector<int> failing =
            mode.empty() ? std::vector<int>{40, 41, 90} : std::vector<int>{90};
        EXPECT_EQ(fromThree["failed"], failing.size());
        for (int record : failing)
            EXPECT_EQ(Count(jobs.output, "qxrtf batch: record " + std::to_string(record) + ": "),
                      1u)
                << jobs.output;
        EXPECT_EQ(Count(jobs.output, "qxrtf batch: record "), failing.size()) << jobs.output;
        EXPECT_EQ(Count(jobs.output, " documents written, "), 1u) << jobs.output;
    }
}

TEST_F(ToolBatch, JobsWithinAShardWriteThatShardsDocuments) {
    MakeFile("t.rtf", kLetter);
    const std::string data = Data(MakeShop(200));
    ASSERT_EQ(RunTool(Batch("one", "--name C.NAME " + data)).exitCode, 0);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        const std::string shard = "--shard " + std::to_string(i) + "/2 --shard-key C.NAME ";
        const std::string manifest = "/manifest-" + std::to_string(i) + "-of-2.json";
        const ToolResult ref = RunTool(Batch("ref", "--name C.NAME " + shard + data));
        const ToolResult jobs = RunTool(Batch("jobs", "--jobs 2 --name C.NAME " + shard + data));
        ASSERT_EQ(ref.exitCode, 0) << ref.output;
        ASSERT_EQ(jobs.exitCode, 0) << jobs.output;
        EXPECT_EQ(Manifest("jobs" + manifest)["documents"],
                  Manifest("ref" + manifest)["documents"]);
    }
    EXPECT_EQ(Documents("jobs"), Documents("one"));
    EXPECT_TRUE(HiddenFiles("jobs").empty());
}

TEST_F(ToolBatch, FailFastStopsEveryWorker) {
    MakeFile("t.rtf", kLetter);
    const std::string db = MakeShop(300);
    MakeDb("shop.db", "UPDATE c SET name = '' WHERE id >= 5;");
    const ToolResult r = RunTool(Batch("out", "--jobs 3 --fail-fast --name C.NAME " + Data(db)));
    EXPECT_EQ(r.exitCode, 1) << r.output;
    const nlohmann::json m = Manifest("out/manifest.json");
    // Each of the three workers meets a failing record among 5..7 at the
    // latest, and none goes past it.
    EXPECT_GE(m["failed"].get<int>(), 1);
    EXPECT_LE(m["failed"].get<int>(), 3);
    EXPECT_LE(m["written"].get<int>(), 4);
    for (const auto& d : m["documents"]) EXPECT_LE(d["record"].get<int>(), 7) << d;
    EXPECT_EQ(Documents("out").size(), m["written"].get<std::size_t>());
    EXPECT_EQ(m["documents"].size(),
              m["written"].get<std::size_t>() + m["failed"].get<std::size_t>());
}

// A retried job overlapping the first: the second run of the shard is
// refused while the first holds the folder, and the first writes every
// customer's own letter.
TEST_F(ToolBatch, ASecondRunOfTheSameShardIsRefusedWhileOneRuns) {
    MakeFile("t.rtf", kLetter);
    const int count = 2000;
    const std::string db = MakeShop(count);
    const std::string out = Path("out");
    qxtest::ToolProcess first(
        {"batch", Path("t.rtf"), "--master", "C", "--out-dir", out, "--name", "C.NAME", "--db", db,
         "--dataset", "C=c", "--dataset",
         "O=SELECT item FROM o WHERE cid = :C_ID ORDER BY item DESC", "--detail", "O=C"},
        Path("first.log"));
    ASSERT_TRUE(first.Started());
    ASSERT_TRUE(qxtest::WaitFor([&] { return fs::exists(out) && !Documents("out").empty(); }))
        << qxtest::ReadFileBytes(Path("first.log"));
    for (const std::string mode : {"", "--resume ", "--overwrite "}) {
        SCOPED_TRACE(mode);
        const ToolResult second = RunTool(Batch("out", mode + "--name C.NAME " + Data(db)));
        EXPECT_EQ(second.exitCode, 1);
        EXPECT_EQ(second.output, "qxrtf batch: another batch is writing into " + out +
                                     " (it holds " + out +
                                     "/.qxrtf-batch-0-of-1.lock); wait for it to end or give "
                                     "another --out-dir\n");
    }
    ASSERT_FALSE(first.Wait(std::chrono::milliseconds(0)))
        << "the first run ended before the second was tried: make it longer";
    ASSERT_TRUE(first.Wait());
    EXPECT_EQ(first.Result(), 0) << qxtest::ReadFileBytes(Path("first.log"));
    const auto docs = Documents("out");
    ASSERT_EQ(docs.size(), static_cast<std::size_t>(count));
    for (const auto& [file, text] : docs) ASSERT_EQ(text, Letter(std::stoi(file.substr(9, 4))));
    EXPECT_EQ(Manifest("out/manifest.json")["written"], count);
    EXPECT_TRUE(HiddenFiles("out").empty());

    // Once it has ended, the shard runs again.
    const ToolResult again = RunTool(Batch("out", "--resume --name C.NAME " + Data(db)));
    EXPECT_EQ(again.exitCode, 0) << again.output;
    EXPECT_EQ(Manifest("out/manifest.json")["kept"], count);
    EXPECT_TRUE(HiddenFiles("out").empty());
}

// A detail query that fails for some master records (here the second and
// the fourth, whose ids are in `bad`) fails those records only; --resume
// retries them once the data is right.
TEST_F(ToolBatch, ADetailThatFailsFailsItsRecordAndTheBatchGoesOn) {
    MakeFile("t.rtf", kLetter);
    const std::string db = MakeShop(5);
    MakeDb("shop.db", "CREATE TABLE bad (cid INTEGER); INSERT INTO bad VALUES (2), (4);");
    const std::string data =
        "--db '" + db +
        "' --dataset C=c --dataset O='SELECT item FROM o WHERE cid = :C_ID AND CASE WHEN "
        "EXISTS (SELECT 1 FROM bad WHERE cid = :C_ID) THEN json_extract(\"{\", \"$\") ELSE 1 "
        "END ORDER BY item DESC' --detail O=C";
    const std::string error = "Dataset O: " + db + ": malformed JSON";
    const std::string args = "--name C.NAME --shard-key C.NAME " + data;

    const ToolResult r = RunTool(Batch("out", args));
    EXPECT_EQ(r.exitCode, 1);
    for (int record : {2, 4})
        EXPECT_NE(
            r.output.find("qxrtf batch: record " + std::to_string(record) + ": " + error + "\n"),
            std::string::npos)
            << r.output;
    const nlohmann::json m = Manifest("out/manifest.json");
    EXPECT_FALSE(m.contains("stopped")) << m;
    EXPECT_EQ(m["written"], 3);
    EXPECT_EQ(m["failed"], 2);
    ASSERT_EQ(m["documents"].size(), 5u);
    for (int record : {2, 4}) {
        SCOPED_TRACE(record);
        const nlohmann::json expected = {{"record", record},
                                         {"key", CustomerName(record)},
                                         {"status", "failed"},
                                         {"error", error}};
        EXPECT_EQ(m["documents"][record - 1], expected);
    }
    const auto docs = Documents("out");
    EXPECT_EQ(docs.size(), 3u);
    for (int id : {1, 3, 5}) EXPECT_EQ(docs.at(CustomerName(id) + ".rtf"), Letter(id));

    const ToolResult fast = RunTool(Batch("fast", "--fail-fast " + args));
    EXPECT_EQ(fast.exitCode, 1);
    EXPECT_EQ(Manifest("fast/manifest.json")["documents"].size(), 2u);
    EXPECT_EQ(Documents("fast").size(), 1u);

    MakeDb("shop.db", "DELETE FROM bad;");
    const ToolResult resumed = RunTool(Batch("out", "--resume " + args));
    EXPECT_EQ(resumed.exitCode, 0) << resumed.output;
    const nlohmann::json after = Manifest("out/manifest.json");
    EXPECT_EQ(after["kept"], 3);
    EXPECT_EQ(after["written"], 2);
    EXPECT_EQ(Documents("out").size(), 5u);
    EXPECT_EQ(Documents("out").at(CustomerName(4) + ".rtf"), Letter(4));
}
