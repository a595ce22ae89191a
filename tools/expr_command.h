// `qxrtf expr EXPRESSION`: shows how the report compiles an infix
// expression, as the nested calls of operator functions the run evaluates.
#pragma once

#include <memory>
#include <string>

#include <CLI/CLI.hpp>

// The `expr` subcommand as parsed. Like the other subcommands it runs from
// the tool's main dispatch, so its errors are reported the same way
// ("qxrtf: " and the compiler's exact message, exit code 1).
struct ExprCommand {
    struct Options {
        std::string expression;
        bool keepDots = false;
    };
    CLI::App* cmd = nullptr;
    std::shared_ptr<Options> opts = std::make_shared<Options>();

    // Prints the rewritten call text on stdout.
    int Run() const;
};

ExprCommand AddExprCommand(CLI::App& app);
