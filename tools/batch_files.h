// The files a batch writes into its folder: each document and the manifest
// complete under a temporary name of its own first, then given its name at
// once; and the lock that keeps a second run of the same shard out of the
// folder while one runs.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "interrupt_cleanup.h"

namespace batch {

// `bytes` in a new file of `dir` whose name begins with `prefix` and is
// made unique when it is created (exclusively, so no other process or
// worker can have it), flushed to the disk. Removed when the object goes
// unless it was given its name, and on SIGINT, SIGTERM and SIGHUP.
class TempFile {
  public:
    // Raises qx::Exception naming the file when it cannot be written.
    TempFile(const std::filesystem::path& dir, const std::string& prefix,
             const std::string& bytes);
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    // Gives the file the name `target`. With `replace` a file that has the
    // name is replaced; without, the name is taken only if free (two
    // processes naming the same document cannot both succeed): false when
    // it was not.
    bool NameAs(const std::filesystem::path& target, bool replace);

  private:
    std::string FPath;
    std::unique_ptr<tool::InterruptCleanup> FCleanup;
    bool FNamed = false;
};

// Removes the files of `dir` that a killed run left under `prefix`; call
// it only while holding the ShardLock of the prefix.
void RemoveLeftTempFiles(const std::filesystem::path& dir, const std::string& prefix);

// An exclusive lock (flock) on `file`, created if need be, held for as
// long as the object lives; the file is removed when it goes, so a
// finished batch leaves no lock file behind. Raises qx::Exception with
// `busy` when another process holds it.
class ShardLock {
  public:
    ShardLock(const std::filesystem::path& file, const std::string& busy);
    ~ShardLock();
    ShardLock(const ShardLock&) = delete;
    ShardLock& operator=(const ShardLock&) = delete;

  private:
    std::string FPath;
    int FFd = -1;
    std::unique_ptr<tool::InterruptCleanup> FCleanup;
};

}  // namespace batch
