// `qxrtf expr EXPRESSION`: shows how the report compiles an infix
// expression, as the nested calls of operator functions the run evaluates.
#pragma once

#include <CLI/CLI.hpp>

// Adds the `expr` subcommand to the tool. It prints the rewritten call text
// on stdout, or the compiler's exact error message on stderr after "qxrtf: ", with exit code 1.
void AddExprCommand(CLI::App& app);
