// Runs the qxrtf tool as a user would, from a shell, for the tool's tests.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

extern char** environ;

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

// The lines of a log file a fake program appends to (0 when it never ran).
inline int LinesOf(const std::string& file) {
    if (!std::filesystem::exists(file)) return 0;
    const std::string log = ReadFileBytes(file);
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
}

inline bool HaveCommand(const char* name) {
    return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

// Polls `done` every few milliseconds for at most `limit`; true once it holds.
inline bool WaitFor(const std::function<bool()>& done,
                    std::chrono::milliseconds limit = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// The tool running in the background, its output and errors going to
// `logFile`, started with SIGINT, SIGTERM and SIGHUP at their default
// action whatever the test runner does with them; killed if still running
// when it goes.
class ToolProcess {
  public:
    ToolProcess(const std::vector<std::string>& args, const std::string& logFile) {
        std::vector<std::string> argv{QXRTF_TOOL_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        std::vector<char*> raw;
        for (std::string& a : argv) raw.push_back(a.data());
        raw.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0644);
        posix_spawn_file_actions_adddup2(&actions, 1, 2);
        posix_spawnattr_t attr;
        posix_spawnattr_init(&attr);
        sigset_t signals, none;
        sigemptyset(&signals);
        for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&signals, s);
        sigemptyset(&none);
        posix_spawnattr_setsigdefault(&attr, &signals);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
        if (posix_spawn(&pid_, raw[0], &actions, &attr, raw.data(), environ) != 0) pid_ = -1;
        posix_spawnattr_destroy(&attr);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ToolProcess() {
        if (pid_ > 0 && !ended_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, &status_, 0);
        }
    }
    ToolProcess(const ToolProcess&) = delete;
    ToolProcess& operator=(const ToolProcess&) = delete;

    bool Started() const { return pid_ > 0; }
    void Signal(int signal) const { kill(pid_, signal); }
    // Waits at most `limit` for the tool to end; false when it has not.
    bool Wait(std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        return WaitFor([this] { return ended_ = waitpid(pid_, &status_, WNOHANG) == pid_; }, limit);
    }
    // The exit code, or -signal when a signal ended it.
    int Result() const { return WIFEXITED(status_) ? WEXITSTATUS(status_) : -WTERMSIG(status_); }

  private:
    pid_t pid_ = -1;
    int status_ = 0;
    bool ended_ = false;
};

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
