#include "interrupt_cleanup.h"

#include <unistd.h>

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
static_assert(std::atomic<const char*>::is_always_lock_free);

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

Slots& SlotsOf(InterruptCleanup::Kind kind) {
    return kind == InterruptCleanup::Kind::kFile ? gFiles : gFolders;
}

extern "C" void OnInterrupt(int signal) {
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

}  // namespace tool
