// The qxrtf command-line tool: renders a report template with datasets from
// files and typed variables, shows how a template compiles, and checks an
// expression.
#include <CLI/CLI.hpp>

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "batch_command.h"
#include "check_command.h"
#include "data_options.h"
#include "expr_command.h"
#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"
#include "render_output.h"
#include "report_options.h"
#include "template_source.h"
#include "tool_errors.h"

namespace {

// A command that compiles TEMPLATE with data: render, dump and check.
struct TemplateCommand {
    CLI::App* cmd = nullptr;
    std::string templateFile;
    tool::ReportOptions options;

    TemplateCommand(CLI::App& app, const char* name, const char* description) {
        cmd = app.add_subcommand(name, description);
        cmd->add_option("template", templateFile,
                        "template file: RTF, or DOCX, ODT, DOC, flat ODT (converted with "
                        "LibreOffice)")
            ->required();
        options.AddTo(cmd);
    }
    // Datasets keep the order they were given in: a one-letter alias A
    // addresses the first.
    qx::arrdataset Prepare(qx::TQxRTF& report, DataOptions::Opened& owned) {
        options.Resolve();
        options.Apply(report);
        owned = options.data.Open();
        report.SetInFile(
            tool::RtfTemplateOf(templateFile, tool::TemplateCacheDir(options.cacheDir)));
        return owned.datasets;
    }
};

const char* const kExamples = R"(Examples:
  qxrtf render letter.rtf -o out/letter.rtf --json CUSTOMERS=customers.json
  qxrtf render invoice.rtf -o invoice.rtf --csv ORDERS=orders.csv --locale de_DE.UTF-8 --pdf invoice.pdf
  qxrtf render letter.docx -o out/letter.pdf --json CUSTOMERS=customers.json
  qxrtf render memo.rtf -o memo.rtf --var AUTHOR=Ann --var DUE=2024-05-01:date --open
  qxrtf check letter.rtf --json CUSTOMERS=customers.json
  qxrtf dump letter.rtf
  qxrtf expr "PRICE*QTY - DISCOUNT"

Exit codes: 0 success, 1 the report failed (template, data, output), 2 usage error.)";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"qxrtf: fills report fields of an RTF template and writes the finished report"};
    app.require_subcommand(1);
    app.footer(kExamples);

    TemplateCommand render(app, "render", "Render TEMPLATE into the report OUT");
    std::string outFile, pdfFile, outFormat;
    bool openReport = false;
    render.cmd
        ->add_option("-o,--output", outFile,
                     "report file to write: .docx, .odt and .pdf are converted from RTF "
                     "with LibreOffice, anything else is RTF")
        ->required();
    render.cmd->add_option("--to", outFormat,
                           "format of the report whatever OUT's extension: rtf, docx, odt, pdf");
    render.cmd->add_option("--pdf", pdfFile,
                           "also convert the report to this PDF file (needs LibreOffice)");
    render.cmd->add_flag("--open", openReport,
                         "open the finished report with the desktop's default application");
    render.options.AddStrictTo(render.cmd);

    TemplateCommand dump(app, "dump",
                         "Compile TEMPLATE and print its command stream, one record a line");
    TemplateCommand check(app, "check",
                          "Compile TEMPLATE without running it: list its fields, blocks and "
                          "functions, and warn of names the given data does not have");

    const ExprCommand expr = AddExprCommand(app);
    AddBatchCommand(app);

    try {
        app.parse(argc, argv);
    } catch (const CLI::RuntimeError& e) {
        return e.get_exit_code();  // a command that ran during parsing and failed
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? tool::kExitOk : tool::kExitUsageError;
    }
    std::string templateFile;
    for (const TemplateCommand* c : {&render, &dump, &check})
        if (*c->cmd) templateFile = c->templateFile;
    return tool::RunReporting(templateFile, [&] {
        if (*expr.cmd) return expr.Run();
        DataOptions::Opened owned;
        qx::TQxRTF report;
        if (*render.cmd) {
            render.options.PrintWarnings(render.templateFile, std::cerr);
            const tool::RenderTargets targets{render.templateFile, outFile,
                                              tool::OutputFormatOf(outFile, outFormat), pdfFile,
                                              openReport};
            tool::CheckTargetsDiffer(targets);
            tool::RenderToTargets(report, render.Prepare(report, owned), targets);
        } else if (*dump.cmd) {
            std::cout << report.DumpCompiled(dump.Prepare(report, owned));
        } else if (*check.cmd) {
            const qx::TQxTemplateCheck result = report.CheckTemplate(check.Prepare(report, owned));
            tool::PrintCheck(result, check.templateFile, std::cout, std::cerr);
        }
        return tool::kExitOk;
    });
}
