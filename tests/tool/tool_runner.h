// Runs the built qxrtf tool as a user runs it, from a shell.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <string>

namespace {

struct ToolResult {
    int exitCode = -1;
    std::string output;  // stdout and stderr together
};

ToolResult RunTool(const std::string& args) {
    const std::string command = std::string(QXRTF_TOOL_PATH) + " " + args + " 2>&1";
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

}  // namespace
