#include "qxbasereport/internal/expression.h"

#include "platform/exceptions.h"

namespace qx {

void TQxExpression::Add(const std::string& MText, bool MIsOperand, std::int32_t MArgsNeed,
                        bool MReqBoolArg, bool MAllowBoolArg, bool MRetBoolRes,
                        std::int32_t MPriority, std::int32_t MFldnum) {
    Add(TQxOperand{MText, MIsOperand, MArgsNeed, MReqBoolArg, MAllowBoolArg, MRetBoolRes, MPriority,
                   MFldnum});
}

void TQxExpression::Add(const TQxOperand& MOperand) {
    if (MOperand.ReqBoolArg && !MOperand.AllowBoolArg)
        throw Exception(
            "TQxExpression Add  - cannot set AllowBoolArg to false when ReqBoolArg is true");
    FExpression.push_back(MOperand);
}

TQxOperand TQxExpression::GetOperand(std::int32_t index) const {
    if (index < 0 || index >= Count())
        throw Exception("TQxExpression GetOperand " + std::to_string(index) +
                        " - invalid index of operand");
    return FExpression[static_cast<std::size_t>(index)];
}

void TQxOperationStack::Push(const TQxOperand& MOperand) {
    FExpression.push_back(MOperand);
}

TQxOperand TQxOperationStack::Pop() {
    TQxOperand top = GetOperation(Count() - 1);
    FExpression.pop_back();
    return top;
}

TQxOperand TQxOperationStack::GetOperation(std::int32_t index) const {
    if (index < 0 || index >= Count())
        throw Exception("TQxOperationStack GetOperation " + std::to_string(index) +
                        " - invalid index of operation");
    return FExpression[static_cast<std::size_t>(index)];
}

void TQxIntStack::Push(std::int32_t i) {
    if (static_cast<std::size_t>(FCount) == FArray.size())
        FArray.push_back(i);
    else
        FArray[static_cast<std::size_t>(FCount)] = i;
    ++FCount;
}

std::int32_t TQxIntStack::Pop() {
    if (FCount == 0) return 0;
    return FArray[static_cast<std::size_t>(--FCount)];
}

}  // namespace qx
