// The options of a report run that every command filling a template takes
// (render, dump, check and batch), defined once so that each means the
// same in all of them: the data, variables, RTF options, settings file,
// locale, output encoding, limits, picture folder and picture sizes.
#pragma once

#include <CLI/CLI.hpp>

#include <cstdint>
#include <mutex>
#include <nlohmann/json.hpp>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "data_options.h"
#include "platform/sysutils.h"
#include "qxrtf/qxrtf.h"

namespace tool {

class ReportOptions {
  public:
    void AddTo(CLI::App* cmd);

    // Reads what the options name (the settings file, the locale, the RTF
    // option names, the variables) once for the whole run, so that a
    // mistake in them is found before any data is read or document
    // written. Raises UsageError for a wrong command line and qx::Exception
    // for a settings file that cannot be read.
    void Resolve();

    // Sets `report` up as the options say (everything but the data); call
    // Resolve first. Cheap enough to run for every document of a batch.
    // Every report set up so gives its warnings to Warnings().
    void Apply(qx::TQxRTF& report) const;

    // --strict, for the commands that write reports (render and batch).
    void AddStrictTo(CLI::App* cmd);
    // The sink of the run's warnings, the templates' and the data's: each
    // is printed on `err` as it comes, a template's with its place in
    // `templateFile`; under --strict any of them fails the run.
    void PrintWarnings(const std::string& templateFile, std::ostream& err);
    qx::TQxWarningSink& Warnings() const { return FWarnings; }

    DataOptions data;
    // --cache DIR: where templates converted from DOCX, ODT, DOC or flat
    // ODT are kept (template_source.h); empty for the default.
    std::string cacheDir;

  private:
    // Prints a warning of the data once, however many workers open it.
    void WarnOfData(const std::string& file, const std::string& message) const;
    void ResolvePictures();

    std::vector<std::string> FVars;
    std::vector<std::string> FOptionNames;
    std::string FSettingsFile;
    std::string FLocale;
    bool FUnicode = false;
    int FCodePage = 0;  // 0: the one the template declares
    // A template whose scan never ends fails instead of filling the disk.
    std::int64_t FMaxRepetitions = 10'000'000;
    std::int64_t FMaxOutput = std::int64_t{2} << 30;
    // Nor does one that loops without writing, or doubles a text.
    std::int64_t FMaxSteps = 1'000'000'000;
    std::int64_t FMaxValue = std::int64_t{64} << 20;
    std::int64_t FMaxVariables = std::int64_t{256} << 20;
    std::string FImageRoot;
    std::vector<std::string> FPictureSizings;  // "N=SIZE"
    std::string FPictureForm;

    // What Resolve read of the picture options.
    std::vector<std::pair<int, std::string>> FPictures;

    // What Resolve read.
    std::optional<nlohmann::json> FSettings;
    std::optional<qx::TFormatSettings> FFormats;
    qx::TQxRTFOptions FOptions;
    mutable std::mutex FWarnedLock;
    mutable std::set<std::string> FWarned;
    bool FStrict = false;
    // Shared by the reports of the run, which add to it from their threads.
    mutable qx::TQxWarningSink FWarnings;
};

}  // namespace tool
