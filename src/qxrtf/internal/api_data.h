// The application interface's datasets on the engine's side: how each is
// opened for a render, and the render's opened datasets with their links.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/dataset.h"
#include "platform/loaders/detail_link.h"
#include "qxrtf/report.h"

namespace qxrtf {

// What the datasets of one render share while they are opened: a database
// file or server connection opened once for all the datasets that read it,
// and where the loaders' warnings about the data go.
class OpenContext {
  public:
    explicit OpenContext(
        std::function<void(const std::string& file, const std::string& message)> warn = nullptr)
        : FWarn(std::move(warn)) {}

    const auto& Warn() const { return FWarn; }

    // The resource of `key`, made by `make` when first asked for.
    template <typename T, typename Make>
    std::shared_ptr<T> Shared(const std::string& key, Make&& make) {
        std::shared_ptr<void>& slot = FShared[key];
        if (!slot) slot = std::shared_ptr<T>(make());
        return std::static_pointer_cast<T>(slot);
    }

  private:
    std::function<void(const std::string&, const std::string&)> FWarn;
    std::map<std::string, std::shared_ptr<void>> FShared;
};

struct Dataset::Impl {
    explicit Impl(std::string name) : name(std::move(name)) {}
    virtual ~Impl() = default;
    // A dataset of its own for one render, named `name`; raises
    // qx::Exception (or an Error) with a message for the user.
    virtual std::unique_ptr<qx::TDataSet> Open(OpenContext& context) const = 0;

    std::string name;
};

// The datasets of `data`, opened and linked for one render.
qx::TOpenedDataSets OpenData(const Data& data, OpenContext& context);

}  // namespace qxrtf
