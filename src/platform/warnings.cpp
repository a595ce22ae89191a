#include "platform/warnings.h"

#include <algorithm>

namespace qx {

void TQxWarningSink::Add(TQxWarning warning) {
    const std::lock_guard<std::mutex> hold(FLock);
    if (std::find(FList.begin(), FList.end(), warning) != FList.end()) return;
    FList.push_back(std::move(warning));
    if (FOnWarning) FOnWarning(FList.back());
}

void TQxWarningSink::CheckStrict() const {
    std::size_t n = 0;
    {
        const std::lock_guard<std::mutex> hold(FLock);
        n = FList.size();
    }
    if (!FStrict || n == 0) return;
    throw EStrictWarnings("Stopped by " + std::to_string(n) + (n == 1 ? " warning" : " warnings") +
                          ": warnings are errors in a strict run");
}

}  // namespace qx
