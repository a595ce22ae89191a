// The malformed-template corpus: every folder under tests/malformed holds a
// template.rtf and a case.json stating the tool's exit code, its exact
// message and the seconds the render may take. A template too large to keep
// in the repository is described instead by "generate" in case.json: a list
// of [text, times] pairs whose repetitions, joined, make it; it is written
// at test time. The tool runs as a child process under a kill timer, so a
// hang or a crash fails the case instead of the suite.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "test_support.h"
#include "tool/tool_runner.h"

namespace {

const std::string kCorpus = std::string(QXRTF_TEST_SOURCE_DIR) + "/malformed";

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(kCorpus))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// The tool under a kill timer, run from `folder`; stdout and stderr together.
qxtest::ToolResult RunWithKillTimer(const std::string& folder, const std::string& args,
                                    int seconds) {
    return qxtest::RunCommand("cd '" + folder + "' && timeout -s KILL " + std::to_string(seconds) +
                              " " + std::string(QXRTF_TOOL_PATH) + " " + args);
}

// Writes the template a "generate" list describes to `path`, piece by piece.
void Generate(const nlohmann::json& pieces, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    for (const nlohmann::json& piece : pieces) {
        const std::string text = piece.at(0).get<std::string>();
        for (std::int64_t n = piece.at(1).get<std::int64_t>(); n > 0; --n) out << text;
    }
    ASSERT_TRUE(out.good()) << path;
}

class Malformed : public qxtest::TempDirTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Malformed, GivesItsExpectedResultInTime) {
    const std::string dir = kCorpus + "/" + GetParam();
    const nlohmann::json expected =
        nlohmann::json::parse(qxtest::ReadFileBytes(dir + "/case.json"));
    const int seconds = expected.at("seconds").get<int>();
    // A generated template goes into CASE/template.rtf under the test's own
    // folder, and the tool runs from there.
    std::string folder = kCorpus;
    if (expected.contains("generate")) {
        folder = Path("corpus");
        std::filesystem::create_directories(folder + "/" + GetParam());
        ASSERT_NO_FATAL_FAILURE(
            Generate(expected.at("generate"), folder + "/" + GetParam() + "/template.rtf"));
    }
    const qxtest::ToolResult r =
        // Named from the corpus folder, so that messages quote the template
        // as CASE/template.rtf wherever the tests run.
        RunWithKillTimer(folder,
                         "render '" + GetParam() + "/template.rtf' -o '" + Path("out.rtf") + "'",
                         seconds);
    ASSERT_NE(r.exitCode, -1) << "crashed: " << r.output;
    // 137: the timer killed it; 124 never happens with KILL.
    ASSERT_NE(r.exitCode, 137) << "no result within " << seconds << " s";
    EXPECT_EQ(r.exitCode, expected.at("exit").get<int>()) << r.output;
    EXPECT_EQ(r.output, expected.at("stderr").get<std::string>());
    // A failed render leaves no report behind.
    if (expected.at("exit").get<int>() != 0) {
        EXPECT_FALSE(std::filesystem::exists(Path("out.rtf")));
    }
    EXPECT_TRUE(TempFiles().empty());
}

INSTANTIATE_TEST_SUITE_P(Corpus, Malformed, ::testing::ValuesIn(CaseNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             return info.param;
                         });

}  // namespace
