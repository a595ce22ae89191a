// The state of one expression block while it runs: the value stack and the
// objects the block owns. A report keeps its states and reuses them, with
// their report variables, from block to block: a scanned block evaluates
// its expressions once per record, and making these anew each time was a
// large part of a run.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "qxbasereport/field_format.h"
#include "qxbasereport/variables.h"
#include "qxfunc/udf_list.h"

namespace qx {

struct TQxExprState {
    std::vector<TObject*> stack;
    TQxUDFArgs args;                              // the arguments of the call being made
    std::vector<std::unique_ptr<TObject>> owned;  // pictures, streams
    std::vector<std::unique_ptr<TQxReportVariable>> variables;
    std::size_t variablesUsed = 0;
    std::vector<std::int32_t> taken;  // IIF numbers whose test came out true
    std::string expr;
    TQxRowContent row;   // the ExprBegin item
    TQxRowContent item;  // the block's items, one after the other

    // Ready for the next block: everything it made is free again.
    void Clear() {
        stack.clear();
        owned.clear();
        variablesUsed = 0;
        taken.clear();
    }
    // A variable of `owner`'s, as new: reused from an earlier block when
    // there is one.
    TQxReportVariable* NextVariable(TQxBaseReport* owner) {
        if (variablesUsed == variables.size())
            variables.push_back(std::make_unique<TQxReportVariable>(owner));
        else
            variables[variablesUsed]->Renew();
        return variables[variablesUsed++].get();
    }
    template <typename T>
    T* Own(std::unique_ptr<T> object) {
        T* raw = object.get();
        owned.push_back(std::move(object));
        return raw;
    }
    bool Taken(std::int32_t iif) const {
        return std::find(taken.begin(), taken.end(), iif) != taken.end();
    }
    // The top `n` values, in the block's argument list (which keeps its
    // storage from call to call): valid until the next call of TopArgs.
    TQxUDFArgs& TopArgs(std::int32_t n) {
        const std::size_t count = std::min(stack.size(), static_cast<std::size_t>(std::max(n, 0)));
        args.assign(stack.end() - static_cast<std::ptrdiff_t>(count), stack.end());
        return args;
    }
    void Pop(std::int32_t n) {
        const std::size_t count = std::min(stack.size(), static_cast<std::size_t>(std::max(n, 0)));
        stack.resize(stack.size() - count);
    }
};

}  // namespace qx
