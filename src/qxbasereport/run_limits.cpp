// The limits on the memory a run's values take: one value, and all report
// variables together.
#include <algorithm>

#include "conscom/exceptions.h"
#include "qxbasereport/base_report.h"

namespace qx {

void TQxBaseReport::ValueSizeExceeded(std::size_t size, const std::string& what) const {
    throw EIllegalFunctionUse(what + " of " + std::to_string(size) + " bytes is larger than the " +
                              std::to_string(FMaxValueSize) +
                              " bytes a value may have (MaxValueSize)");
}

void TQxBaseReport::StartCountingVariables() {
    FVariablesSize = 0;
    for (int i = 0; i < FVarList->Count(); ++i)
        FVariablesSize += static_cast<std::int64_t>(FVarList->CountedSize(i));
    FCountingVariables = true;
}

void TQxBaseReport::CountVariableWrite(const std::string& name, std::size_t oldSize,
                                       std::size_t newSize) {
    if (!FCountingVariables) return;
    CheckValueSize(newSize - std::min(newSize, name.size() + 1), "Report variable " + name);
    const std::int64_t total = FVariablesSize - static_cast<std::int64_t>(oldSize) +
                               static_cast<std::int64_t>(newSize);
    if (FMaxVariablesSize != 0 && total > FMaxVariablesSize && newSize > oldSize)
        throw EIllegalFunctionUse("Report variables of " + std::to_string(total) +
                                  " bytes together, setting " + name + ", are more than the " +
                                  std::to_string(FMaxVariablesSize) +
                                  " bytes they may hold (MaxVariablesSize)");
    FVariablesSize = total;
}

}  // namespace qx
