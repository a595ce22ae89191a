// TPicture: a picture a user-defined function can return. It holds the
// image file's bytes as loaded; decoding and embedding belong to the
// picture output of the report.
#pragma once

#include <string>

#include "platform/component.h"

namespace qx {

class TPicture : public TObject {
  public:
    bool Empty() const { return FData.empty(); }
    const std::string& Data() const { return FData; }
    void LoadFromBytes(std::string bytes) { FData = std::move(bytes); }

  private:
    std::string FData;
};

}  // namespace qx
