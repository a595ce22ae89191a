// What an interrupted run leaves behind: nothing of its own. SIGINT,
// SIGTERM and SIGHUP remove the files and folders registered here and end
// the tool with exit code 128 + the signal's number.
#pragma once

#include <string>

namespace tool {

// Installs the handler for the three signals, once; a signal the tool was
// started with ignored (nohup, a background job of a script) stays ignored.
void RemoveFilesOnInterrupt();

// Registers one path for removal on interrupt, for as long as it lives.
// The child processes registered below are ended first, then files are
// removed before folders, so a folder holding registered files goes too
// once they are gone; a tree (a LibreOffice profile and work folder) goes
// with everything in it.
class InterruptCleanup {
  public:
    enum class Kind { kFile, kFolder, kTree };
    InterruptCleanup(std::string path, Kind kind);
    ~InterruptCleanup();
    InterruptCleanup(const InterruptCleanup&) = delete;
    InterruptCleanup& operator=(const InterruptCleanup&) = delete;

  private:
    const std::string FPath;  // its bytes are what the handler reads
    Kind FKind;
    int FSlot = -1;
};

// Registers a child process, the leader of a process group of its own, to
// be ended with its group (SIGTERM, waited for) on interrupt, for as long as
// it lives: a LibreOffice conversion would otherwise go on writing into the
// folders the handler removes.
class InterruptChild {
  public:
    explicit InterruptChild(int pid);
    ~InterruptChild();
    InterruptChild(const InterruptChild&) = delete;
    InterruptChild& operator=(const InterruptChild&) = delete;

  private:
    int FSlot = -1;
};

}  // namespace tool
