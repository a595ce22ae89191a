#include "render_extras.h"

#include <unistd.h>

#include <cstdio>

#include "qxrtf/qxrtf.h"

namespace tool {

ProgressLine::ProgressLine(qx::TQxRTF& report) {
    if (::isatty(STDERR_FILENO) == 0) return;
    report.SetOnScanRecord([this](qx::TQxScanInfo& info) { OnRecord(info); });
}

ProgressLine::~ProgressLine() {
    if (FShown) std::fputs("\r\x1b[K", stderr);
}

void ProgressLine::OnRecord(const qx::TQxScanInfo& info) {
    // The outermost scan is the one at the lowest level; a later scan at
    // that level starts a new count.
    if (FLevel == 0 || info.ScanLevel() < FLevel ||
        (info.ScanLevel() == FLevel && info.Number() != FNumber)) {
        FLevel = info.ScanLevel();
        FNumber = info.Number();
        FCount = 0;
        FTotal = info.DataSet() != nullptr ? info.DataSet()->RecordCount() : -1;
    }
    if (info.Number() != FNumber) return;
    ++FCount;
    const Clock::time_point now = Clock::now();
    if (now - FStart < std::chrono::seconds(1) || now - FLastShown < std::chrono::milliseconds(200))
        return;
    FLastShown = now;
    Show();
}

void ProgressLine::Show() {
    if (FTotal >= 0)
        std::fprintf(stderr, "\rqxrtf: %lld of %lld records\x1b[K", static_cast<long long>(FCount),
                     static_cast<long long>(FTotal));
    else
        std::fprintf(stderr, "\rqxrtf: %lld records\x1b[K", static_cast<long long>(FCount));
    std::fflush(stderr);
    FShown = true;
}

}  // namespace tool
