// The qxrtf command-line tool: renders a report template, or shows how a
// template compiles.
#include <CLI/CLI.hpp>

#include <iostream>
#include <string>

#include "expr_command.h"
#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"

namespace {

struct RenderOptions {
    std::string templateFile;
    std::string outFile;
};

void Render(const RenderOptions& opts) {
    qx::TQxRTF report;
    report.SetInFile(opts.templateFile);
    report.SetOutFile(opts.outFile);
    report.Execute({});
}

void Dump(const std::string& templateFile) {
    qx::TQxRTF report;
    report.SetInFile(templateFile);
    std::cout << report.DumpCompiled();
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"qxrtf: fills report fields of an RTF template and writes the finished report"};
    app.require_subcommand(1);

    RenderOptions render;
    CLI::App* renderCmd = app.add_subcommand("render", "Render TEMPLATE into the report OUT");
    renderCmd->add_option("template", render.templateFile, "RTF template file")->required();
    renderCmd->add_option("-o,--output", render.outFile, "report file to write")->required();

    std::string dumpTemplate;
    CLI::App* dumpCmd =
        app.add_subcommand("dump", "Compile TEMPLATE and print its command stream, one record a line");
    dumpCmd->add_option("template", dumpTemplate, "RTF template file")->required();

    AddExprCommand(app);

    CLI11_PARSE(app, argc, argv);
    try {
        if (*renderCmd) Render(render);
        if (*dumpCmd) Dump(dumpTemplate);
    } catch (const std::exception& e) {
        std::cerr << "qxrtf: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
