#include "interrupt_cleanup.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include <array>
#include <atomic>
#include <csignal>
#include <stdexcept>

namespace tool {

namespace {

// Enough for every worker of the largest batch with its document and the
// manifest; the handler only reads lock-free atomics, which is safe in a
// signal handler.
constexpr std::size_t kSlots = 1024;
using Slots = std::array<std::atomic<const char*>, kSlots>;
Slots gFiles{};
Slots gFolders{};
Slots gTrees{};
std::array<std::atomic<pid_t>, kSlots> gChildren{};
static_assert(std::atomic<const char*>::is_always_lock_free);
static_assert(std::atomic<pid_t>::is_always_lock_free);

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

Slots& SlotsOf(InterruptCleanup::Kind kind) {
    switch (kind) {
        case InterruptCleanup::Kind::kFile:
            return gFiles;
        case InterruptCleanup::Kind::kFolder:
            return gFolders;
        default:
            return gTrees;
    }
}

void WaitFor(pid_t pid) {
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// fork, execve and waitpid are safe in a signal handler; a recursive walk
// of the folder in the handler itself would not be.
void RemoveTree(const char* path) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const char* const argv[] = {"rm", "-rf", "--", path, nullptr};
        const char* const env[] = {nullptr};
        ::execve("/bin/rm", const_cast<char* const*>(argv), const_cast<char* const*>(env));
        ::_exit(127);
    }
    if (pid > 0) WaitFor(pid);
}

extern "C" void OnInterrupt(int signal) {
    for (const auto& slot : gChildren)
        if (const pid_t pid = slot.load(); pid > 0) {
            ::kill(-pid, SIGTERM);
            WaitFor(pid);
        }
    for (const auto& slot : gTrees)
        if (const char* path = slot.load()) RemoveTree(path);
    for (const auto& slot : gFiles)
        if (const char* path = slot.load()) ::unlink(path);
    for (const auto& slot : gFolders)
        if (const char* path = slot.load()) ::rmdir(path);
    ::_exit(128 + signal);
}

}  // namespace

void RemoveFilesOnInterrupt() {
    static const bool installed = [] {
        for (int signal : kSignals) {
            struct sigaction old {};
            if (::sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
            struct sigaction action {};
            action.sa_handler = OnInterrupt;
            sigfillset(&action.sa_mask);  // one handler at a time
            ::sigaction(signal, &action, nullptr);
        }
        return true;
    }();
    (void)installed;
}

InterruptCleanup::InterruptCleanup(std::string path, Kind kind)
    : FPath(std::move(path)), FKind(kind) {
    Slots& slots = SlotsOf(kind);
    for (std::size_t i = 0; i < slots.size(); ++i) {
        const char* free = nullptr;
        if (slots[i].compare_exchange_strong(free, FPath.c_str())) {
            FSlot = static_cast<int>(i);
            break;
        }
    }
    if (FSlot < 0) throw std::logic_error("more temporary files at once than the tool expects");
}

InterruptCleanup::~InterruptCleanup() {
    SlotsOf(FKind)[static_cast<std::size_t>(FSlot)].store(nullptr);
}

InterruptChild::InterruptChild(int pid) {
    for (std::size_t i = 0; i < gChildren.size(); ++i) {
        pid_t free = 0;
        if (gChildren[i].compare_exchange_strong(free, pid)) {
            FSlot = static_cast<int>(i);
            return;
        }
    }
    throw std::logic_error("more child processes at once than the tool expects");
}

InterruptChild::~InterruptChild() {
    gChildren[static_cast<std::size_t>(FSlot)].store(0);
}

}  // namespace tool
