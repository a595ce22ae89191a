// The expression compiler's containers: the operand/operator record, the
// infix and postfix lists, the operator stack, and a stack of integers that
// the field-text scanner also uses for its nesting state.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qxbasereport/internal/codes.h"

namespace qx {

struct TQxOperand {
    std::string Text;  // token as read; after rewriting, the call text
    bool IsOperand = false;
    std::int32_t ArgsNeed = 0;  // operands an operator takes; 0 for operands and brackets
    bool ReqBoolArg = false;
    bool AllowBoolArg = false;
    bool RetBoolRes = false;
    std::int32_t Priority = 0;  // binding strength; 0 for operands and "("
    std::int32_t Fldnum = 0;    // an operand's token code
};

class TQxExpression {
  public:
    void Add(const std::string& MText, bool MIsOperand, std::int32_t MArgsNeed, bool MReqBoolArg,
             bool MAllowBoolArg, bool MRetBoolRes, std::int32_t MPriority, std::int32_t MFldnum);
    // Refuses an operator that requires boolean operands but does not allow them.
    void Add(const TQxOperand& MOperand);
    TQxOperand GetOperand(std::int32_t index) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(FExpression.size()); }

  private:
    std::vector<TQxOperand> FExpression;
};

class TQxOperationStack {
  public:
    void Push(const TQxOperand& MOperand);
    // The top element, removed; raises on an empty stack.
    TQxOperand Pop();
    // Element `index` counted from the bottom (0).
    TQxOperand GetOperation(std::int32_t index) const;
    std::int32_t Count() const { return static_cast<std::int32_t>(FExpression.size()); }

  private:
    std::vector<TQxOperand> FExpression;
};

// Grows as needed and never shrinks; Pop on an empty stack answers 0, which
// callers rely on to survive unbalanced input.
class TQxIntStack {
  public:
    void Clear() { FCount = 0; }
    void Push(std::int32_t i);
    std::int32_t Pop();
    std::int32_t Count() const { return FCount; }

  private:
    std::vector<std::int32_t> FArray;
    std::int32_t FCount = 0;
};

}  // namespace qx
