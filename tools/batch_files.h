// The files a batch writes into its folder: each document and the manifest
// complete under a temporary name of its own first, then given its name at
// once; and the lock that keeps a second run of the same shard out of the
// folder while one runs.
#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interrupt_cleanup.h"

namespace batch {

// `bytes` in a new file of `dir` whose name begins with `prefix` and is
// made unique when it is created (exclusively, so no other process or
// worker can have it), flushed to the disk unless `flush` is false (a
// DurableGroup flushes many at once). Removed when the object goes unless
// it was given its name, and on SIGINT, SIGTERM and SIGHUP.
class TempFile {
  public:
    // Raises qx::Exception naming the file when it cannot be written.
    TempFile(const std::filesystem::path& dir, const std::string& prefix, const std::string& bytes,
             bool flush = true);
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

// Documents written but not yet named, flushed to the disk together and
// only then given their names: a document under its name is complete on
// the disk, as with a flush per document, for one flush of the file
// system per group (a flush waits for the disk, a write does not). A run
// killed before a group is flushed loses only that group's documents,
// which are not named yet; `--resume` writes them again.
class DurableGroup {
  public:
    // Names a flushed file (TempFile::NameAs) and records it; an exception
    // from it fails that document only.
    using Place = std::function<void(TempFile& file)>;
    using Failed = std::function<void(const std::string& error)>;

    // Flushes when `documents` files or `bytes` bytes wait.
    DurableGroup(std::filesystem::path dir, std::size_t documents, std::size_t bytes);
    void Add(std::unique_ptr<TempFile> file, std::size_t size, Place place, Failed failed);
    // Flushes what waits and places it, in the order added. A failed flush
    // fails every document of the group (none of them is named).
    void Flush();

  private:
    struct Pending {
        std::unique_ptr<TempFile> file;
        Place place;
        Failed failed;
    };
    std::filesystem::path FDir;
    std::size_t FMaxDocuments, FMaxBytes, FBytes = 0;
    std::vector<Pending> FPending;
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
