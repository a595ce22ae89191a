// Operating-system services of the host layer: temporary files and opening a
// document with the desktop's default application.
#pragma once

#include <cstdint>
#include <string>

namespace qx {

// Shell-open result codes. Values above 32 mean success; the failures keep
// the classic numbers so that callers and messages can map them.
inline constexpr std::uintptr_t kShellFileNotFound = 2;
inline constexpr std::uintptr_t kShellNoAssociation = 31;
inline constexpr std::uintptr_t kShellAssociationIncomplete = 27;
inline constexpr std::uintptr_t kShellSuccess = 42;

// Creates an empty file with a unique name in $TMPDIR (or /tmp), mode 0600,
// whose name begins with `prefix`; answers its full path. Raises
// EFCreateError when no file can be made.
std::string CreateTempFile(const std::string& prefix);
// The directory CreateTempFile uses.
std::string TempDirectory();

// Opens a file with xdg-open and maps the outcome to the codes above:
// a missing file 2, no xdg-open or no handler 31, another failure 27,
// success 42. `showCmd` has no meaning on this system and is ignored.
std::uintptr_t ShellOpen(const std::string& fileName, int showCmd);

}  // namespace qx
