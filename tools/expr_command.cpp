#include "expr_command.h"

#include <iostream>
#include <memory>
#include <string>

#include "platform/exceptions.h"
#include "qxbasereport/base_rtf_report.h"
#include "tool_errors.h"

int ExprCommand::Run() const {
    qx::TQxBaseRTFReport report;
    // Follow the report's own default, in which alias.field reads as alias:field.
    const bool dotAsColon = report.Options().Contains(qx::eoDotAsColon) && !opts->keepDots;
    std::string expr = opts->expression;
    std::cout << report.ConvertExpression(expr, dotAsColon) << '\n';
    return tool::kExitOk;
}

ExprCommand AddExprCommand(CLI::App& app) {
    ExprCommand command;
    const auto opts = command.opts;
    CLI::App* cmd = app.add_subcommand(
        "expr", "Rewrite an infix EXPRESSION as the nested function calls the report evaluates");
    CLI::Option* expression =
        cmd->add_option("expression", opts->expression, "expression, e.g. 'a+b*2' or '-a'");
    cmd->add_flag("--keep-dots", opts->keepDots,
                  "read alias.field as typed (a report without eoDotAsColon)");
    // An expression may begin with a unary minus ('-a'), which the parser
    // takes for an unknown option: accept it as the expression.
    cmd->allow_extras();
    cmd->callback([opts, cmd, expression] {
        std::vector<std::string> extras;
        for (const std::string& arg : cmd->remaining())
            if (arg != "--") extras.push_back(arg);  // the parser keeps the separator
        if (expression->count() == 0 && extras.size() == 1 && extras[0].rfind("--", 0) != 0) {
            opts->expression = extras[0];
            extras.clear();
        } else if (expression->count() == 0 && extras.empty()) {
            throw CLI::RequiredError(expression->get_name());
        }
        if (!extras.empty()) throw CLI::ExtrasError(cmd->get_name(), extras);
    });
    command.cmd = cmd;
    return command;
}
