// What `qxrtf render` does around the run itself: a progress line for long
// renders.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace qx {
class TQxRTF;
class TQxScanInfo;
}  // namespace qx

namespace tool {

// A line on stderr counting the records of the outermost scan ("qxrtf:
// 1200 of 5000 records"), shown only when stderr is a terminal and only
// once the render has taken a second, rewritten a few times a second and
// erased at the end.
class ProgressLine {
  public:
    explicit ProgressLine(qx::TQxRTF& report);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

  private:
    void OnRecord(const qx::TQxScanInfo& info);
    void Show();

    using Clock = std::chrono::steady_clock;
    Clock::time_point FStart = Clock::now();
    Clock::time_point FLastShown{};
    bool FShown = false;
    int FLevel = 0;           // nesting level of the scan being counted, 0 for none yet
    int FNumber = 0;          // its block number
    std::int64_t FCount = 0;  // its records so far
    std::int64_t FTotal = -1;
};

}  // namespace tool
