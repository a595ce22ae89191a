// What a template holds, for a template author's lint: its fields, its
// blocks and its function calls with their positions, and the fields that
// name a dataset, dataset field or variable the given data does not have.
#pragma once

#include <string>
#include <vector>

#include "platform/exceptions.h"

namespace qx {

struct TQxCheckField {
    TQxErrorPos pos;
    std::string kind;  // "dataset field", "variable", "constant", "expression", "command"
};

struct TQxCheckBlock {
    int number = 0;
    std::string kind;    // "scan", "while scan", "if", "elsif", "else"
    std::string detail;  // the dataset of a scan, the condition of an if or while
    TQxErrorPos open;    // the command that opens the block
    TQxErrorPos close;   // the command that closes it
};

struct TQxCheckFunction {
    TQxErrorPos pos;  // the field the call stands in
    std::string name;
};

struct TQxCheckWarning {
    TQxErrorPos pos;
    std::string message;
};

struct TQxTemplateCheck {
    std::vector<TQxCheckField> fields;
    std::vector<TQxCheckBlock> blocks;
    std::vector<TQxCheckFunction> functions;
    std::vector<TQxCheckWarning> warnings;
};

}  // namespace qx
