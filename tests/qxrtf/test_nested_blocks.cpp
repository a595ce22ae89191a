// Scans nested in scans, with IF, ELSIF and ELSE parts at every level: the
// totals each part keeps, and the groups of the document when bold or
// italic groups stand around the commands (the output must read as the
// whole report, in the test reader and in LibreOffice).
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/loaders/json_dataset.h"
#include "qxrtf/engine_fixture.h"
#include "rtf_text.h"
#include "test_support.h"

using namespace qx;

namespace {

// Groups G and, nested in each, its lines L (group C has none).
const char* const kGroups = R"([
  {"G": "A", "N": 1, "L": [{"AMT": 5}, {"AMT": 1}]},
  {"G": "B", "N": 2, "L": [{"AMT": 1}, {"AMT": 7}]},
  {"G": "C", "N": 4, "L": []},
  {"G": "D", "N": 8, "L": [{"AMT": 3}]}
])";

// G with its detail L, plus R (two records, to enter G twice), E (empty)
// and D (N = 1 to 5).
std::vector<std::unique_ptr<TDataSet>> NestedData() {
    std::vector<std::unique_ptr<TDataSet>> sets;
    auto groups = DataSetFromJson("G", nlohmann::json::parse(kGroups));
    sets.push_back(std::make_unique<TJsonDataSet>("L", *groups, "L"));
    sets.push_back(std::move(groups));
    auto twice = std::make_unique<TMemDataSet>("R");
    twice->AddField("K", ftInteger);
    for (std::int64_t k : {1, 2}) twice->AppendRecord({k});
    sets.push_back(std::move(twice));
    auto empty = std::make_unique<TMemDataSet>("E");
    empty->AddField("K", ftInteger);
    sets.push_back(std::move(empty));
    auto numbers = std::make_unique<TMemDataSet>("D");
    numbers->AddField("N", ftInteger);
    for (std::int64_t n = 1; n <= 5; ++n) numbers->AppendRecord({n});
    sets.push_back(std::move(numbers));
    return sets;
}

// What a reader shows of a rendered body (7-bit text), without the last
// paragraph mark.
std::string Shown(const std::string& body) {
    std::string shown;
    for (char32_t c : qxtest::RtfText(qxtest::Doc(body))) shown.push_back(static_cast<char>(c));
    if (!shown.empty() && shown.back() == '\r') shown.pop_back();
    return shown;
}

// Whether the body closes every group it opens and no group it did not
// open (a stray "}" would end the document early).
bool GroupsBalance(const std::string& body) {
    int depth = 0;
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '\\') {
            ++i;
        } else if (body[i] == '{') {
            ++depth;
        } else if (body[i] == '}' && --depth < 0) {
            return false;
        }
    }
    return depth == 0;
}

class NestedBlocks : public qxtest::EngineTest {
  protected:
    void SetUp() override { otherDatasets = NestedData(); }

    struct Case {
        std::string body;
        std::string shown;
    };
    void ExpectShown(const Case& c) {
        SCOPED_TRACE(c.body);
        report.ClearVars();
        const std::string body = Render(c.body);
        EXPECT_TRUE(GroupsBalance(body)) << body;
        EXPECT_EQ(Shown(body), c.shown) << body;
    }
};

}  // namespace

TEST_F(NestedBlocks, TotalsInIfPartsRestartWithTheirScan) {
    const Case cases[] = {
        // The first line of group B fails the condition: B's total is its own.
        {R"(\\SCAN(G)\\\\G.G\\:\\SCAN(L), NOEOF\\\\IF(L.AMT > 2)\\\\SUM(L.AMT,T)\\)"
         R"(\\ENDIF\\\\ENDSCAN\\T=\\T\\;\\ENDSCAN\\)",
         "A:T=5;B:T=7;C:T=0;D:T=3;"},
        // In the ELSE part; group D never reaches it and has no such lines.
        {R"(\\SCAN(G)\\\\G.G\\:\\SCAN(L), NOEOF\\\\IF(L.AMT > 2)\\\\ELSE\\)"
         R"(\\SUM(L.AMT,T)\\\\ENDIF\\\\ENDSCAN\\\\T\\;\\ENDSCAN\\)",
         "A:1;B:1;C:0;D:0;"},
        // One total in each part of an IF, ELSIF, ELSE chain.
        {R"(\\SCAN(G)\\\\G.G\\:\\SCAN(L), NOEOF\\\\IF(L.AMT > 6)\\\\CTN(L.AMT,BIG)\\)"
         R"(\\ELSIF(L.AMT > 2)\\\\SUM(L.AMT,MID)\\\\ELSE\\\\SUM(L.AMT,LOW)\\\\ENDIF\\)"
         R"(\\ENDSCAN\\\\BIG\\/\\MID\\/\\LOW\\;\\ENDSCAN\\)",
         "A:0/5/1;B:1/0/1;C:0/0/0;D:0/3/0;"},
        // One total fed by both parts: it accumulates over the scan.
        {R"(\\SCAN(G)\\\\G.G\\:\\SCAN(L), NOEOF\\\\IF(L.AMT > 2)\\\\SUM(L.AMT,T)\\)"
         R"(\\ELSE\\\\CTN(L.AMT,T)\\\\ENDIF\\\\ENDSCAN\\\\T\\;\\ENDSCAN\\)",
         "A:6;B:8;C:0;D:3;"},
        // An IF in the middle scan of three: G is entered once per record of R.
        {R"(\\SCAN(R)\\\\SCAN(G)\\\\IF(G.N > 1)\\\\SUM(G.N,T)\\\\ENDIF\\\\ENDSCAN\\)"
         R"(\\T\\;\\ENDSCAN\\)",
         "14;14;"},
        // NORESET keeps counting over every entry.
        {R"(\\SCAN(G)\\\\SCAN(L), NOEOF\\\\IF(L.AMT > 2)\\\\SUM(L.AMT,T,NORESET)\\)"
         R"(\\ENDIF\\\\ENDSCAN\\\\ENDSCAN\\\\T\\)",
         "15"},
        // A scan nested in a skipped one restarts its totals too.
        {R"(\\SCAN(G)\\\\SCAN(L), NOEOF\\\\SUM(L.AMT,T)\\\\ENDSCAN\\\\T\\)"
         R"(\\SCAN(E), NOEOF\\\\SCAN(L)\\\\SUM(L.AMT,T)\\\\ENDSCAN\\\\ENDSCAN\\=\\T\\;)"
         R"(\\ENDSCAN\\)",
         "6=0;8=0;0=0;3=0;"},
        // Outside nested scans: the ELSE part's total over the whole scan.
        {R"(\\SCAN(D)\\\\IF(D.N > 2)\\+\\ELSE\\\\SUM(D.N,T)\\-\\ENDIF\\\\ENDSCAN\\T=\\T\\)",
         "--+++T=3"},
    };
    for (const Case& c : cases) ExpectShown(c);
}

namespace {

// A template made of commands and the text between them; each command may
// stand in a group of its own (as a word processor writes a bold command)
// or be split over two groups (bold, then italic, inside the command).
struct Skeleton {
    std::vector<std::string> commands;
    std::vector<std::string> texts;  // before each command, then the tail
    std::string shown;

    enum Style { kPlain, kGroup, kSplit };
    std::string Body(const std::vector<Style>& styles) const {
        std::string body;
        for (std::size_t i = 0; i < commands.size(); ++i) {
            const std::string& cmd = commands[i];
            body += texts[i];
            switch (styles[i]) {
                case kPlain:
                    body += R"(\\)" + cmd + R"(\\)";
                    break;
                case kGroup:
                    body += (i % 2 == 0 ? R"({\b \\)" : R"({\i \\)") + cmd + R"(\\})";
                    break;
                case kSplit:
                    body += R"({\b \\)" + cmd.substr(0, 2) + R"(}{\i )" + cmd.substr(2) + R"(\\})";
                    break;
            }
        }
        return body + texts.back();
    }
};

const Skeleton kIfChains{
    {"SCAN(G)", "IF(G.N > 1)", "ELSE", "ENDIF", "SCAN(L), NOEOF", "IF(L.AMT > 6)",
     "ELSIF(L.AMT > 2)", "ELSE", "ENDIF", "ENDSCAN", "ENDSCAN"},
    {"", R"(\\G.G\\:)", "+", "-", "", "", "big", "mid", "low", ",", ";", " END"},
    "A:-mid,low,;B:+low,big,;C:+;D:+mid,; END"};

const Skeleton kHeadersAndFooters{
    {"SCAN(G)", "SCANENTRY", "SCAN(L), NOEOF", "SCANENTRY", "IF(L.AMT > 2)", "ENDIF",
     "SCANFOOTER", "ENDSCAN", "ENDSCAN"},
    {"", "<", R"(\\G.G\\)", "(", R"(\\L.AMT\\)", "!", "", ")", "", ">"},
    "<A(5!1)B(17!)CD(3!)>"};

}  // namespace

TEST_F(NestedBlocks, GroupsAroundCommandsKeepTheDocumentWhole) {
    // The case as reported: the inner scan's text closes the bold group
    // that its command opened.
    ExpectShown({R"(\\SCAN(G)\\[{\b \\SCAN(L)\\}\\L.AMT\\\\ENDSCAN\\]\\ENDSCAN\\ END)",
                 "[51][17][ ][3] END"});
    ExpectShown({R"(\\SCAN(G)\\[\\SCAN(L)\\\\L.AMT\\{\b \\ENDSCAN\\}]\\ENDSCAN\\ END)",
                 "[51][17][ ][3] END"});
    for (const Skeleton* skeleton : {&kIfChains, &kHeadersAndFooters}) {
        const std::size_t n = skeleton->commands.size();
        // Every choice of commands in a group of their own.
        for (std::size_t mask = 0; mask < (std::size_t{1} << n); ++mask) {
            std::vector<Skeleton::Style> styles(n, Skeleton::kPlain);
            for (std::size_t i = 0; i < n; ++i)
                if (mask & (std::size_t{1} << i)) styles[i] = Skeleton::kGroup;
            ExpectShown({skeleton->Body(styles), skeleton->shown});
        }
        // Each command split over two groups, then all of them.
        for (std::size_t i = 0; i <= n; ++i) {
            std::vector<Skeleton::Style> styles(n, i == n ? Skeleton::kSplit : Skeleton::kPlain);
            if (i < n) styles[i] = Skeleton::kSplit;
            ExpectShown({skeleton->Body(styles), skeleton->shown});
        }
    }
}

namespace {

class NestedBlocksInLibreOffice : public qxtest::TempDirTest {};

}  // namespace

TEST_F(NestedBlocksInLibreOffice, ReadsTheWholeReport) {
    if (std::system("command -v soffice >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "soffice is not installed";
    const std::vector<Skeleton::Style> grouped(kIfChains.commands.size(), Skeleton::kGroup);
    const struct {
        const char* name;
        std::string body;
        const char* shown;
    } reports[] = {
        {"reported", R"(\\SCAN(G)\\[{\b \\SCAN(L)\\}\\L.AMT\\\\ENDSCAN\\]\\ENDSCAN\\ END\par Next)",
         "[51][17][ ][3] END\nNext"},
        {"chains", kIfChains.Body(grouped) + R"(\par Next)",
         "A:-mid,low,;B:+low,big,;C:+;D:+mid,; END\nNext"},
    };
    const auto data = NestedData();
    arrdataset datasets;
    for (const auto& d : data) datasets.push_back(d.get());
    std::string command = "soffice -env:UserInstallation=file://" + dir_ +
                          "/profile --headless --convert-to 'txt:Text (encoded):UTF8' --outdir '" +
                          dir_ + "/txt'";
    for (const auto& r : reports) {
        TQxRTF report;
        qxtest::WriteFileBytes(Path(std::string(r.name) + "-template.rtf"), qxtest::Doc(r.body));
        report.SetInFile(Path(std::string(r.name) + "-template.rtf"));
        report.SetOutFile(Path(std::string(r.name) + ".rtf"));
        report.Execute(datasets);
        command += " '" + Path(std::string(r.name) + ".rtf") + "'";
    }
    ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    for (const auto& r : reports) {
        SCOPED_TRACE(r.name);
        std::string text = qxtest::ReadFileBytes(dir_ + "/txt/" + r.name + ".txt");
        if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);  // the byte order mark
        std::erase(text, '\r');
        while (!text.empty() && text.back() == '\n') text.pop_back();
        EXPECT_EQ(text, r.shown);
    }
}
