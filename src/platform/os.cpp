#include "platform/internal/os.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/exceptions.h"
#include "platform/streams.h"

extern char** environ;

namespace qx {

std::string TempDirectory() {
    const char* dir = std::getenv("TMPDIR");
    return (dir != nullptr && *dir != '\0') ? dir : "/tmp";
}

std::string CreateTempFile(const std::string& prefix) {
    std::string dir = TempDirectory();
    if (dir.back() != '/') dir += '/';
    std::string path = dir + prefix + "XXXXXX";
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    const int fd = mkstemp(name.data());  // mode 0600 by definition
    if (fd < 0)
        throw EFCreateError("Cannot create temporary file in \"" + dir + "\". " +
                            std::strerror(errno));
    ::close(fd);
    return std::string(name.data());
}

std::uintptr_t ShellOpen(const std::string& fileName, int /*showCmd*/) {
    if (!FileExists(fileName)) return kShellFileNotFound;
    std::vector<char> program{'x', 'd', 'g', '-', 'o', 'p', 'e', 'n', '\0'};
    std::vector<char> arg(fileName.begin(), fileName.end());
    arg.push_back('\0');
    char* argv[] = {program.data(), arg.data(), nullptr};
    pid_t pid = 0;
    if (posix_spawnp(&pid, program.data(), nullptr, nullptr, argv, environ) != 0)
        return kShellNoAssociation;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return kShellAssociationIncomplete;
    }
    if (!WIFEXITED(status)) return kShellAssociationIncomplete;
    // xdg-open: 0 success, 2 file missing, 3 no tool found, 4 action failed.
    switch (WEXITSTATUS(status)) {
        case 0:
            return kShellSuccess;
        case 2:
            return kShellFileNotFound;
        case 3:
        case 4:
        case 127:  // the shell could not run it
            return kShellNoAssociation;
        default:
            return kShellAssociationIncomplete;
    }
}

}  // namespace qx
