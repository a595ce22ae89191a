// The qxrtf command-line tool: renders a report template with datasets from
// files and typed variables, shows how a template compiles, and checks an
// expression.
#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "batch_command.h"
#include "check_command.h"
#include "data_options.h"
#include "expr_command.h"
#include "platform/exceptions.h"
#include "qxrtf/internal/report_setup.h"
#include "qxrtf/qxrtf.h"
#include "render_extras.h"
#include "tool_errors.h"

namespace {

// What render and dump share: the datasets, variables and options of a run.
struct RunSetup {
    DataOptions data;
    std::vector<std::string> vars;
    std::vector<std::string> options;
    std::string settings;
    bool unicode = false;
    int codePage = 1252;
    // A template whose scan never ends fails instead of filling the disk.
    std::int64_t maxRepetitions = 10'000'000;
    std::int64_t maxOutput = std::int64_t{2} << 30;

    void AddTo(CLI::App* cmd) {
        data.AddTo(cmd);
        cmd->add_option("--var", vars,
                        "variable NAME=VALUE[:number|boolean|date|string] (repeatable)");
        cmd->add_option("--option", options,
                        "RTF option by name, e.g. eoClearMissedFields (repeatable)");
        cmd->add_option("--settings", settings,
                        "JSON settings document of the report (its published properties)");
        cmd->add_flag("--unicode", unicode, "write characters above U+00FF as \\u with a fallback");
        cmd->add_option("--codepage", codePage, "code page of the output text (default 1252)");
        cmd->add_option("--max-repetitions", maxRepetitions,
                        "most passes one scan may make each time it runs (0: no limit)")
            ->capture_default_str()
            ->check(CLI::NonNegativeNumber);
        cmd->add_option("--max-output", maxOutput, "most bytes a report may have (0: no limit)")
            ->capture_default_str()
            ->check(CLI::NonNegativeNumber);
    }
    // Datasets keep the order they were given in: a one-letter alias A
    // addresses the first.
    qx::arrdataset Apply(qx::TQxRTF& report, DataOptions::Opened& opened) const {
        report.SetMaxScanRepetitions(maxRepetitions);
        report.SetMaxOutputSize(maxOutput);
        if (!settings.empty()) {
            std::ifstream in(settings, std::ios::binary);
            if (!in) throw qx::Exception("Cannot read settings file " + settings);
            nlohmann::json doc;
            try {
                doc = nlohmann::json::parse(in);
            } catch (const nlohmann::json::exception& e) {
                throw qx::Exception("Settings file " + settings +
                                    " is not valid JSON: " + e.what());
            }
            report.LoadSettings(doc);
        }
        opened = data.Open();
        for (const std::string& v : vars) qx::DefineVariableFromText(report, v);
        qx::TQxRTFOptions set = report.Options();
        for (const std::string& o : options) {
            qx::TQxRTFOption option{};
            if (!qx::RTFOptionFromName(o, option))
                throw qx::Exception("Unknown RTF option '" + o + "'");
            set.Include(option);
        }
        report.SetOptions(set);
        if (unicode) report.SetUnicodeByDefault(true);
        if (codePage != 1252 || settings.empty()) report.SetCodePage(codePage);
        return opened.datasets;
    }
};

// Options every command that compiles the template takes besides its data.
struct ReportOptions {
    std::string locale;

    void AddTo(CLI::App* cmd) {
        cmd->add_option("--locale", locale,
                        "number, currency and date formats of a system locale, e.g. de_DE.UTF-8");
    }
    void Apply(qx::TQxRTF& report) const {
        if (locale.empty()) return;
        try {
            report.SetFmtSettings(qx::TFormatSettings::FromLocale(locale));
        } catch (const qx::Exception& e) {
            throw tool::UsageError(e.what());
        }
    }
};

// A command that compiles TEMPLATE with data: render, dump and check.
struct TemplateCommand {
    CLI::App* cmd = nullptr;
    std::string templateFile;
    RunSetup setup;
    ReportOptions options;

    TemplateCommand(CLI::App& app, const char* name, const char* description) {
        cmd = app.add_subcommand(name, description);
        cmd->add_option("template", templateFile, "RTF template file")->required();
        setup.AddTo(cmd);
        options.AddTo(cmd);
    }
    qx::arrdataset Prepare(qx::TQxRTF& report, DataOptions::Opened& owned) const {
        const qx::arrdataset datasets = setup.Apply(report, owned);
        options.Apply(report);
        report.SetInFile(templateFile);
        return datasets;
    }
};

const char* const kExamples = R"(Examples:
  qxrtf render letter.rtf -o out/letter.rtf --json CUSTOMERS=customers.json
  qxrtf render invoice.rtf -o invoice.rtf --csv ORDERS=orders.csv --locale de_DE.UTF-8 --pdf invoice.pdf
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
    std::string outFile, pdfFile;
    bool openReport = false;
    render.cmd->add_option("-o,--output", outFile, "report file to write")->required();
    render.cmd->add_option("--pdf", pdfFile,
                           "also convert the report to this PDF file (needs LibreOffice)");
    render.cmd->add_flag("--open", openReport,
                         "open the finished report with the desktop's default application");

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
            const qx::arrdataset datasets = render.Prepare(report, owned);
            report.SetOutFile(outFile);
            const tool::ProgressLine progress(report);
            if (openReport)
                report.ExecuteOpen(datasets, 1);
            else
                report.Execute(datasets);
            if (!pdfFile.empty()) tool::ConvertToPdf(outFile, pdfFile);
        } else if (*dump.cmd) {
            std::cout << report.DumpCompiled(dump.Prepare(report, owned));
        } else if (*check.cmd) {
            const qx::TQxTemplateCheck result = report.CheckTemplate(check.Prepare(report, owned));
            tool::PrintCheck(result, check.templateFile, std::cout, std::cerr);
        }
        return tool::kExitOk;
    });
}
