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

#include "expr_command.h"
#include "platform/exceptions.h"
#include "platform/loaders/file_datasets.h"
#include "qxrtf/qxrtf.h"
#include "qxrtf/report_setup.h"

namespace {

// What render and dump share: the datasets, variables and options of a run.
struct RunSetup {
    std::vector<std::string> json;
    std::vector<std::string> csv;
    std::vector<std::string> vars;
    std::vector<std::string> options;
    std::string settings;
    bool unicode = false;
    int codePage = 1252;
    // A template whose scan never ends fails instead of filling the disk.
    std::int64_t maxRepetitions = 10'000'000;
    std::int64_t maxOutput = std::int64_t{2} << 30;
    std::vector<std::pair<std::string, std::string>> order;  // (kind, NAME=FILE) as given

    void AddTo(CLI::App* cmd) {
        cmd->add_option_function<std::vector<std::string>>(
               "--json", [this](const std::vector<std::string>& v) { Keep("json", v); },
               "dataset NAME=FILE from a JSON array of objects (repeatable)")
            ->take_all();
        cmd->add_option_function<std::vector<std::string>>(
               "--csv", [this](const std::vector<std::string>& v) { Keep("csv", v); },
               "dataset NAME=FILE from a CSV file with a header row (repeatable)")
            ->take_all();
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
    void Keep(const char* kind, const std::vector<std::string>& items) {
        for (const std::string& s : items) order.emplace_back(kind, s);
    }

    // Datasets keep the order they were given in: a one-letter alias A
    // addresses the first.
    qx::arrdataset Apply(qx::TQxRTF& report,
                         std::vector<std::unique_ptr<qx::TMemDataSet>>& owned) const {
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
        qx::arrdataset datasets;
        for (const auto& [kind, item] : order) {
            const auto eq = item.find('=');
            if (eq == std::string::npos || eq == 0)
                throw qx::Exception("Dataset '" + item + "' must be given as NAME=FILE");
            const std::string name = item.substr(0, eq), file = item.substr(eq + 1);
            owned.push_back(kind == std::string("json") ? qx::LoadJsonDataSet(name, file)
                                                        : qx::LoadCsvDataSet(name, file));
            datasets.push_back(owned.back().get());
        }
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
        return datasets;
    }
};

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"qxrtf: fills report fields of an RTF template and writes the finished report"};
    app.require_subcommand(1);

    std::string templateFile, outFile;
    RunSetup renderSetup;
    CLI::App* renderCmd = app.add_subcommand("render", "Render TEMPLATE into the report OUT");
    renderCmd->add_option("template", templateFile, "RTF template file")->required();
    renderCmd->add_option("-o,--output", outFile, "report file to write")->required();
    renderSetup.AddTo(renderCmd);

    std::string dumpTemplate;
    RunSetup dumpSetup;
    CLI::App* dumpCmd = app.add_subcommand(
        "dump", "Compile TEMPLATE and print its command stream, one record a line");
    dumpCmd->add_option("template", dumpTemplate, "RTF template file")->required();
    dumpSetup.AddTo(dumpCmd);

    AddExprCommand(app);

    CLI11_PARSE(app, argc, argv);
    try {
        std::vector<std::unique_ptr<qx::TMemDataSet>> owned;
        qx::TQxRTF report;
        if (*renderCmd) {
            const qx::arrdataset datasets = renderSetup.Apply(report, owned);
            report.SetInFile(templateFile);
            report.SetOutFile(outFile);
            report.Execute(datasets);
        }
        if (*dumpCmd) {
            const qx::arrdataset datasets = dumpSetup.Apply(report, owned);
            report.SetInFile(dumpTemplate);
            std::cout << report.DumpCompiled(datasets);
        }
    } catch (const std::exception& e) {
        std::cerr << "qxrtf: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
