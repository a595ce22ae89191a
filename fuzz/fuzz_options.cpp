// The tool's reading of its options and of settings documents. Bytes that
// start with "{" are a settings document, loaded into a report that has
// the tool's limits, saved and loaded again into a fresh one. Any other
// bytes are the arguments of `qxrtf render` (one a line), parsed, resolved
// and applied to a report as the tool does before it opens any data.
#include <CLI/CLI.hpp>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"
#include "report_options.h"

namespace {

void LoadSettings(const std::string& text) {
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    if (doc.is_discarded()) return;
    qx::TQxRTF report;
    report.SetMaxScanRepetitions(10'000'000);
    report.SetMaxOutputSize(std::int64_t{2} << 30);
    try {
        report.LoadSettings(doc);
    } catch (const qx::Exception&) {
        return;  // a clear message for a document that does not fit
    }
    nlohmann::json saved;
    report.SaveSettings(saved);
    qx::TQxRTF fresh;
    fresh.LoadSettings(saved);  // what was saved must load
}

// The arguments, one a line; a settings file is never read (a name such as
// /dev/stdin would wait for input): settings documents have their own form.
std::vector<std::string> Arguments(const std::string& text) {
    std::vector<std::string> args;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        args.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    std::vector<std::string> kept;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].rfind("--settings", 0) == 0) {
            if (args[i] == "--settings") ++i;
            continue;
        }
        kept.push_back(args[i]);
    }
    return kept;
}

void ParseCommandLine(const std::string& text) {
    std::vector<std::string> args = Arguments(text);
    CLI::App app{"fuzz"};
    CLI::App* render = app.add_subcommand("render", "");
    std::string templateFile, outFile;
    render->add_option("template", templateFile);
    render->add_option("-o,--output", outFile);
    tool::ReportOptions options;
    options.AddTo(render);
    options.AddStrictTo(render);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    reversed.push_back("render");
    try {
        app.parse(reversed);
        options.Resolve();
    } catch (const CLI::Error&) {
        return;
    } catch (const qx::Exception&) {
        return;
    }
    qx::TQxRTF report;
    try {
        options.Apply(report);
    } catch (const qx::Exception&) {
        // The tool's own answer to a code page or locale it cannot use.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (!text.empty() && text[0] == '{')
        LoadSettings(text);
    else
        ParseCommandLine(text);
    return 0;
}
