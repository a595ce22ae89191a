#include "report_options.h"

#include <fstream>
#include <iostream>
#include <iterator>

#include "platform/exceptions.h"
#include "qxrtf/internal/report_setup.h"
#include "tool_errors.h"

namespace tool {

namespace {

std::string RTFOptionNames() {
    std::string names;
    for (const char* name : qx::kQxRTFOptionNames)
        names += (names.empty() ? "" : ", ") + std::string(name);
    return names;
}

nlohmann::json ReadSettings(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw qx::Exception("Cannot read settings file " + file);
    try {
        return nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception& e) {
        throw qx::Exception("Settings file " + file + " is not valid JSON: " + e.what());
    }
}

}  // namespace

void ReportOptions::AddTo(CLI::App* cmd) {
    data.AddTo(cmd);
    cmd->add_option("--cache", cacheDir,
                    "folder of the RTF conversions of DOCX, ODT, DOC and flat ODT templates "
                    "(default $XDG_CACHE_HOME/qxrtf or ~/.cache/qxrtf)");
    cmd->add_option("--var", FVars,
                    "variable NAME=VALUE[:number|boolean|date|string] (repeatable; end a value "
                    "that holds a colon with :string)");
    cmd->add_option("--option", FOptionNames,
                    "RTF option by name (repeatable): " + RTFOptionNames());
    cmd->add_option("--settings", FSettingsFile,
                    "JSON settings document of the report (its published properties; the keys "
                    "are listed in docs/tool.md)");
    cmd->add_option("--locale", FLocale,
                    "number, currency and date formats of a system locale, e.g. de_DE.UTF-8");
    cmd->add_flag("--unicode", FUnicode, "write characters above U+00FF as \\u with a fallback");
    cmd->add_option("--codepage", FCodePage,
                    "code page of the output text (default: the template's own)");
    // The limits on a run's work, each 0 for no limit.
    const struct {
        const char* name;
        std::int64_t* value;
        const char* help;
    } limits[] = {
        {"--max-repetitions", &FMaxRepetitions, "most passes one scan may make in a run"},
        {"--max-output", &FMaxOutput, "most bytes a report may have"},
        {"--max-steps", &FMaxSteps, "most function and operator calls a run may evaluate"},
        {"--max-value", &FMaxValue, "most bytes one value a run makes may have"},
        {"--max-variables", &FMaxVariables, "most bytes the report variables may hold together"},
    };
    for (const auto& limit : limits)
        cmd->add_option(limit.name, *limit.value, std::string(limit.help) + " (0: no limit)")
            ->capture_default_str()
            ->check(CLI::NonNegativeNumber);
    cmd->add_option("--image-root", FImageRoot,
                    "folder picture files named in the template or data must lie in")
        ->check(CLI::ExistingDirectory);
    cmd->add_option("--picture", FPictureSizings,
                    "size and border of the pictures of format index N (FIMG's second argument), "
                    "e.g. 1=40mm, 2=50%, 3=30mmx20mm, 1=40mm,border=single:1pt (repeatable)");
    cmd->add_option("--pictures", FPictureForm,
                    "how pictures are embedded: native (PNG and JPEG as they are, the default) "
                    "or metafile")
        ->check(CLI::IsMember({"native", "metafile"}));
}

void ReportOptions::ResolvePictures() {
    FPictures.clear();
    qx::TQxRTF probe;  // each format is read once aside, as the variables are
    for (const std::string& given : FPictureSizings) {
        const std::size_t equals = given.find('=');
        try {
            if (equals == std::string::npos)
                throw qx::Exception("a picture format is N=SIZE (for example 1=40mm)");
            const int index = qx::PictureFormatIndex(given.substr(0, equals));
            probe.SetPictureSizing(index, given.substr(equals + 1));
            FPictures.emplace_back(index, given.substr(equals + 1));
        } catch (const qx::Exception& e) {
            throw UsageError("--picture " + given + ": " + e.what());
        }
    }
}

void ReportOptions::Resolve() {
    FOptions = {};
    for (const std::string& name : FOptionNames) {
        qx::TQxRTFOption option{};
        if (!qx::RTFOptionFromName(name, option))
            throw UsageError("--option " + name + ": no such RTF option (the options are " +
                             RTFOptionNames() + ")");
        FOptions.Include(option);
    }
    {
        // Each variable is defined once aside, so that a value that does
        // not convert is found now and named with its option.
        qx::TQxRTF probe;
        for (const std::string& v : FVars) {
            try {
                qx::DefineVariableFromText(probe, v);
            } catch (const std::exception& e) {
                throw UsageError("--var " + v + ": " + e.what());
            }
        }
    }
    ResolvePictures();
    qx::TGuessOptions guess;
    if (!FLocale.empty()) {
        try {
            FFormats = qx::TFormatSettings::FromLocale(FLocale);
        } catch (const qx::Exception& e) {
            throw UsageError(e.what());
        }
        // Numbers in the data may be written as the locale writes them.
        if (FFormats->DecimalSeparator.size() == 1)
            guess.decimalSeparator = FFormats->DecimalSeparator[0];
    }
    guess.warn = [this](const std::string& file, const std::string& message) {
        WarnOfData(file, message);
    };
    data.SetGuess(std::move(guess));
    if (!FSettingsFile.empty()) {
        FSettings = ReadSettings(FSettingsFile);
        qx::TQxRTF probe;  // a key with a wrong value is found before any data is read
        probe.LoadSettings(*FSettings);
    }
}

void ReportOptions::WarnOfData(const std::string& file, const std::string& message) const {
    // A run that tells its warnings (render, batch) gets the data's in the
    // same list, so that --strict stops on them too, before the report is
    // written; a loader that gives one while the run goes on stops it there.
    if (FWarnings.OnWarning()) {
        FWarnings.Add({file, std::nullopt, message});
        FWarnings.CheckStrict();
        return;
    }
    const std::lock_guard<std::mutex> hold(FWarnedLock);
    std::string line = file + ": warning: " + message;
    if (FWarned.insert(line).second) std::cerr << EscapeControls(line) << '\n';
}

void ReportOptions::AddStrictTo(CLI::App* cmd) {
    cmd->add_flag("--strict", FStrict,
                  "make every warning an error: no report is written for a template or data "
                  "with warnings");
}

void ReportOptions::PrintWarnings(const std::string& templateFile, std::ostream& err) {
    FWarnings.SetStrict(FStrict);
    FWarnings.SetOnWarning(
        [templateFile, &err](const qx::TQxWarning& w) { PrintWarning(err, w, templateFile); });
}

void ReportOptions::Apply(qx::TQxRTF& report) const {
    report.SetWarningSink(&FWarnings);
    report.SetMaxScanRepetitions(FMaxRepetitions);
    report.SetMaxOutputSize(FMaxOutput);
    report.SetMaxEvaluationSteps(FMaxSteps);
    report.SetMaxValueSize(FMaxValue);
    report.SetMaxVariablesSize(FMaxVariables);
    report.SetImageRoot(FImageRoot);
    // The settings come after the limits and the picture folder, which
    // they may tighten but never lift, and before the command line's own
    // options, which win.
    if (FSettings) report.LoadSettings(*FSettings);
    for (const std::string& v : FVars) qx::DefineVariableFromText(report, v);
    report.SetOptions(qx::TQxRTFOptions::FromByte(report.Options().Byte() | FOptions.Byte()));
    if (FUnicode) report.SetUnicodeByDefault(true);
    if (FCodePage != 0) report.SetCodePage(FCodePage);
    if (FFormats) report.SetFmtSettings(*FFormats);
    if (!FPictureForm.empty()) report.SetPictureForm(*qx::PictureFormNamed(FPictureForm));
    for (const auto& [index, sizing] : FPictures) report.SetPictureSizing(index, sizing);
}

}  // namespace tool
