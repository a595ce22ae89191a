// Runs the qxrtf tool as a user would, from a shell, for the tool's tests.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>

#include "test_support.h"

namespace qxtest {

struct ToolResult {
    int exitCode = -1;
    std::string output;
};

// Runs a shell command line and answers its standard output.
inline ToolResult RunShell(const std::string& command) {
    ToolResult result;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return result;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0) result.output.append(buf, n);
    const int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// Runs a shell command line with its standard error joined to its output.
inline ToolResult RunCommand(const std::string& commandLine) {
    return RunShell(commandLine + " 2>&1");
}

inline ToolResult RunTool(const std::string& args) {
    return RunCommand(std::string(QXRTF_TOOL_PATH) + " " + args);
}

// The RTF documents of a directory: file name to contents.
inline std::map<std::string, std::string> RtfFilesIn(const std::string& dir) {
    std::map<std::string, std::string> docs;
    for (const auto& e : std::filesystem::directory_iterator(dir))
        if (e.path().extension() == ".rtf")
            docs[e.path().filename().string()] = ReadFileBytes(e.path().string());
    return docs;
}

inline bool HaveCommand(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

class ToolTest : public TempDirTest {
  protected:
    // Runs the tool with its standard error kept apart in `err`.
    ToolResult RunSplit(const std::string& args, std::string& err) {
        const ToolResult r =
            RunShell(std::string(QXRTF_TOOL_PATH) + " " + args + " 2>'" + Path("stderr.txt") + "'");
        err = ReadFileBytes(Path("stderr.txt"));
        return r;
    }
};

}  // namespace qxtest
