// A file that appears under its name only once it is complete, so that a
// reader never finds it half-written, whatever stops the tool.
#pragma once

#include <memory>
#include <string>

#include "interrupt_cleanup.h"

namespace qx {
class Exception;
}

namespace tool {

// Content for `target` is written to Path(), in a folder of its own that
// is made (exclusively, mode 0700) beside the target, so that the name it
// is written under can be neither guessed nor taken over by anyone else
// and the final rename stays on one file system. Commit renames it into
// place; otherwise the file and its folder are removed when the object
// goes, or when SIGINT, SIGTERM or SIGHUP ends the tool.
//
// A target that exists and is neither a regular file nor a folder (a
// device such as /dev/stdout, a named pipe) cannot be replaced by a
// rename: it is written directly, as it always was.
class PendingFile {
  public:
    // Raises qx::EFCreateError, naming the target, when the folder cannot
    // be made or the target is a folder.
    explicit PendingFile(std::string target);
    ~PendingFile();
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;

    const std::string& Path() const { return FPath; }
    // Removes the file that has the target's name now, if it is one that
    // Commit would replace.
    void DiscardTarget() const;
    // Gives the complete file the target's name, replacing what had it.
    void Commit();
    // `error` with the temporary name replaced by the target's, for a
    // message that names the file the user asked for.
    qx::Exception Renamed(const qx::Exception& error) const;

  private:
    std::string FTarget;
    std::string FFolder;  // empty when the target is written directly
    std::string FPath;
    std::unique_ptr<InterruptCleanup> FFolderGuard, FFileGuard;
    bool FCommitted = false;
};

}  // namespace tool
