#include "platform/warnings.h"

#include <algorithm>

namespace qx {

void TQxWarningSink::Add(TQxWarning warning) {
    if (std::find(FList.begin(), FList.end(), warning) != FList.end()) return;
    FList.push_back(std::move(warning));
    if (FOnWarning) FOnWarning(FList.back());
}

void TQxWarningSink::CheckStrict() const {
    if (!FStrict || FList.empty()) return;
    const std::size_t n = FList.size();
    throw EStrictWarnings(std::to_string(n) + (n == 1 ? " warning" : " warnings") +
                          ", and warnings are errors in a strict run");
}

}  // namespace qx
