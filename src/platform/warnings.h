// Warnings: mistakes that do not stop a report but make it differ from what
// its author meant (a field the data does not have, a picture file that is
// missing, a column whose values do not fit one type). A report and the
// dataset loaders hand theirs to a warning sink; the application reads the
// list after the run or is told of each as it comes, and a strict sink
// turns them into an error so that no output is written.
#pragma once

#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace qx {

struct TQxWarning {
    // The file the warning is about (a data file; empty for the template,
    // whose name the application knows).
    std::string source;
    // The template field it comes from; none for warnings of the data.
    std::optional<TQxErrorPos> pos;
    std::string message;
    bool operator==(const TQxWarning&) const = default;
};

// Raised by a strict sink's CheckStrict when warnings were given.
class EStrictWarnings : public Exception {
  public:
    using Exception::Exception;
};

class TQxWarningSink {
  public:
    using TOnWarning = std::function<void(const TQxWarning&)>;

    // Records a warning and tells the handler, unless the same warning was
    // given before (a field warns once, however many records run it).
    // Reports running in several threads may share a sink: Add and
    // CheckStrict take a lock, and the handler is called under it.
    void Add(TQxWarning warning);
    // The warnings so far; read it when no run is adding to it.
    const std::vector<TQxWarning>& List() const { return FList; }
    void Clear() {
        const std::lock_guard<std::mutex> hold(FLock);
        FList.clear();
    }

    // Called for each new warning as it is given.
    const TOnWarning& OnWarning() const { return FOnWarning; }
    void SetOnWarning(TOnWarning handler) { FOnWarning = std::move(handler); }

    // A strict sink makes warnings errors: CheckStrict raises
    // EStrictWarnings when the list is not empty. The report calls it once
    // the template is compiled and at every warning of the run; a loader
    // once its dataset is open.
    bool Strict() const { return FStrict; }
    void SetStrict(bool value) { FStrict = value; }
    void CheckStrict() const;

  private:
    mutable std::mutex FLock;
    std::vector<TQxWarning> FList;
    TOnWarning FOnWarning;
    bool FStrict = false;
};

}  // namespace qx
