// The malformed-template corpus: every folder under tests/malformed holds a
// template.rtf and a case.json stating the tool's exit code, its exact
// message and the seconds the render may take. The tool runs as a child
// process under a kill timer, so a hang or a crash fails the case instead
// of the suite.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>

#include "test_support.h"

namespace {

const std::string kCorpus = std::string(QXRTF_TEST_SOURCE_DIR) + "/malformed";

std::vector<std::string> CaseNames() {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(kCorpus))
        if (e.is_directory()) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

struct Outcome {
    int status = -1;
    std::string output;  // stdout and stderr together
};

Outcome RunWithKillTimer(const std::string& args, int seconds) {
    const std::string command = "cd '" + kCorpus + "' && timeout -s KILL " +
                                std::to_string(seconds) + " " + std::string(QXRTF_TOOL_PATH) + " " +
                                args + " 2>&1";
    Outcome outcome;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return outcome;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) outcome.output.append(buf, n);
    outcome.status = pclose(pipe);
    return outcome;
}

class Malformed : public qxtest::TempDirTest, public ::testing::WithParamInterface<std::string> {};

TEST_P(Malformed, GivesItsExpectedResultInTime) {
    const std::string dir = kCorpus + "/" + GetParam();
    const nlohmann::json expected =
        nlohmann::json::parse(qxtest::ReadFileBytes(dir + "/case.json"));
    const int seconds = expected.at("seconds").get<int>();
    const Outcome r =
        // Named from the corpus folder, so that messages quote the template
        // as CASE/template.rtf wherever the tests run.
        RunWithKillTimer("render '" + GetParam() + "/template.rtf' -o '" + Path("out.rtf") + "'",
                         seconds);
    ASSERT_TRUE(WIFEXITED(r.status)) << "crashed: " << r.output;
    // 137: the timer killed it; 124 never happens with KILL.
    ASSERT_NE(WEXITSTATUS(r.status), 137) << "no result within " << seconds << " s";
    EXPECT_EQ(WEXITSTATUS(r.status), expected.at("exit").get<int>()) << r.output;
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
