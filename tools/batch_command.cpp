#include "batch_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "batch_naming.h"
#include "data_options.h"
#include "platform/exceptions.h"
#include "platform/internal/codepage.h"
#include "platform/internal/unicode.h"
#include "platform/streams.h"
#include "qxrtf/internal/report_setup.h"
#include "qxrtf/qxrtf.h"
#include "record_view.h"

namespace fs = std::filesystem;

namespace {

enum ExitCode { kAllWritten = 0, kSomeFailed = 1, kUsage = 2 };

// A command line that cannot run: exit code 2, not 1.
class UsageError : public qx::Exception {
  public:
    using qx::Exception::Exception;
};

struct BatchOptions {
    std::string templateFile, master, outDir, nameExpr, shard, shardKey, manifest;
    bool overwrite = false, resume = false, failFast = false, unicode = false;
    std::vector<std::string> vars, options;
    DataOptions data;
};

struct Shard {
    std::uint64_t index = 0, count = 1;
};

Shard ParseShard(const std::string& text) {
    Shard shard;
    if (text.empty()) return shard;
    const auto slash = text.find('/');
    const auto number = [&](const std::string& part) {
        if (part.empty() || part.size() > 9 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            throw UsageError("--shard must be I/N with 0 <= I < N, not '" + text + "'");
        return std::stoull(part);
    };
    if (slash == std::string::npos)
        throw UsageError("--shard must be I/N with 0 <= I < N, not '" + text + "'");
    shard.index = number(text.substr(0, slash));
    shard.count = number(text.substr(slash + 1));
    if (shard.count == 0 || shard.index >= shard.count)
        throw UsageError("--shard must be I/N with 0 <= I < N, not '" + text + "'");
    return shard;
}

std::shared_ptr<const std::vector<std::uint8_t>> ReadTemplate(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw qx::Exception("Cannot read template file " + file);
    return std::make_shared<const std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                             std::istreambuf_iterator<char>());
}

// The variables and options every report of the batch is given.
void Prepare(qx::TQxRTF& report, const BatchOptions& o) {
    for (const std::string& v : o.vars) qx::DefineVariableFromText(report, v);
    qx::TQxRTFOptions set = report.Options();
    for (const std::string& name : o.options) {
        qx::TQxRTFOption option{};
        if (!qx::RTFOptionFromName(name, option))
            throw UsageError("Unknown RTF option '" + name + "'");
        set.Include(option);
    }
    report.SetOptions(set);
    if (o.unicode) report.SetUnicodeByDefault(true);
}

std::string StreamText(qx::TMemoryStream& out) {
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<std::size_t>(out.Size()));
}

// The text of an expression for the current record, found as the report
// itself finds it: a one-field template rendered and read back as text, so
// names and keys follow the same rules (formats, functions, variables) as
// the documents.
class RecordText {
  public:
    RecordText(const std::string& expression, const BatchOptions& o) : FOptions(o) {
        const std::string doc = "{\\rtf1 \\\\" + expression + "\\\\}";
        FTemplate = std::make_shared<const std::vector<std::uint8_t>>(doc.begin(), doc.end());
    }
    std::string Of(const qx::arrdataset& datasets) const {
        qx::TQxRTF report;
        Prepare(report, FOptions);
        // Every character of the value as \uN, none lost to a code page.
        report.SetUnicodeByDefault(true);
        report.SetTemplateBuffer(FTemplate, static_cast<std::int32_t>(FTemplate->size()));
        qx::TMemoryStream out;
        report.ExecuteStream(datasets, &out);
        return batch::PlainTextOfRtf(StreamText(out), report.CodePage());
    }

  private:
    const BatchOptions& FOptions;
    std::shared_ptr<const std::vector<std::uint8_t>> FTemplate;
};

void WriteAll(int fd, const std::string& bytes, const fs::path& path) {
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw qx::Exception("Cannot write " + path.string() + ": " + std::strerror(errno));
        done += static_cast<std::size_t>(n);
    }
}

// Writes `bytes` to `temp`, flushed to the disk, then gives it the name
// `target`: a document is either there whole or not there at all. Without
// `replace` the name is taken only if free (atomically, so two processes
// naming the same document cannot both succeed); false when it was not.
bool PlaceFile(const fs::path& temp, const fs::path& target, const std::string& bytes,
               bool replace) {
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw qx::Exception("Cannot create " + temp.string() + ": " + std::strerror(errno));
    try {
        WriteAll(fd, bytes, temp);
        if (::fsync(fd) != 0)
            throw qx::Exception("Cannot write " + temp.string() + ": " + std::strerror(errno));
    } catch (...) {
        ::close(fd);
        ::unlink(temp.c_str());
        throw;
    }
    ::close(fd);
    if (replace) {
        if (::rename(temp.c_str(), target.c_str()) != 0) {
            const int error = errno;
            ::unlink(temp.c_str());
            throw qx::Exception("Cannot write " + target.string() + ": " + std::strerror(error));
        }
        return true;
    }
    const int linked = ::link(temp.c_str(), target.c_str());
    const int error = errno;
    ::unlink(temp.c_str());
    if (linked == 0) return true;
    if (error == EEXIST) return false;
    throw qx::Exception("Cannot write " + target.string() + ": " + std::strerror(error));
}

class Batch {
  public:
    explicit Batch(const BatchOptions& o)
        : FO(o),
          FShard(ParseShard(o.shard)),
          FName(o.nameExpr, o),
          FKey(o.shardKey.empty() ? std::string("0") : o.shardKey, o) {}

    int Run();

  private:
    struct Outcome {
        std::string status;  // written, kept or failed
        std::string file, error;
    };
    // Renders the document of the master's current record.
    Outcome Document();
    nlohmann::json Manifest(double seconds) const;
    fs::path ManifestPath() const;
    fs::path TempPath() const;

    const BatchOptions& FO;
    Shard FShard;
    RecordText FName, FKey;
    fs::path FDir;
    std::shared_ptr<const std::vector<std::uint8_t>> FTemplate;
    qx::arrdataset FDatasets;  // the run's, the master replaced by its one-record view
    std::set<std::string> FNamesUsed;
    nlohmann::json FDocuments = nlohmann::json::array();
    int FWritten = 0, FKept = 0, FFailed = 0;
};

fs::path Batch::ManifestPath() const {
    if (!FO.manifest.empty()) return FO.manifest;
    if (FShard.count == 1) return FDir / "manifest.json";
    return FDir / ("manifest-" + std::to_string(FShard.index) + "-of-" +
                   std::to_string(FShard.count) + ".json");
}

// One per shard: each shard is run by one process at a time, so its
// temporary file is its own, and one left by a killed run is reused.
fs::path Batch::TempPath() const {
    return FDir / (".qxrtf-batch-" + std::to_string(FShard.index) + "-of-" +
                   std::to_string(FShard.count) + ".tmp");
}

Batch::Outcome Batch::Document() {
    Outcome outcome;
    const std::string name = batch::SafeFileName(FName.Of(FDatasets), ".rtf");
    if (name.empty()) throw qx::Exception("the name of the document is empty");
    outcome.file = name + ".rtf";
    if (!FNamesUsed.insert(outcome.file).second && !FO.overwrite)
        throw qx::Exception("document " + outcome.file +
                            " is also the document of an earlier record (give --overwrite "
                            "to keep the last)");
    const fs::path target = FDir / outcome.file;
    if (FO.resume && fs::exists(target)) {
        outcome.status = "kept";
        return outcome;
    }
    qx::TQxRTF report;
    Prepare(report, FO);
    report.SetTemplateBuffer(FTemplate, static_cast<std::int32_t>(FTemplate->size()));
    qx::TMemoryStream out;
    report.ExecuteStream(FDatasets, &out);
    if (!PlaceFile(TempPath(), target, StreamText(out), FO.overwrite))
        throw qx::Exception("document " + outcome.file +
                            " exists already (give --overwrite or --resume)");
    outcome.status = "written";
    return outcome;
}

nlohmann::json Batch::Manifest(double seconds) const {
    return {{"template", FO.templateFile},
            {"master", FO.master},
            {"shard", {{"index", FShard.index}, {"count", FShard.count}}},
            {"written", FWritten},
            {"kept", FKept},
            {"failed", FFailed},
            {"seconds", seconds},
            {"documents", FDocuments}};
}

int Batch::Run() {
    const auto start = std::chrono::steady_clock::now();
    {
        qx::TQxRTF probe;  // a wrong option or variable is found before any record
        Prepare(probe, FO);
    }
    FTemplate = ReadTemplate(FO.templateFile);
    DataOptions::Opened opened = FO.data.Open();
    qx::TDataSet* master = nullptr;
    for (qx::TDataSet* ds : opened.datasets)
        if (qx::SameText(ds->Name(), FO.master)) master = ds;
    if (master == nullptr)
        throw UsageError("--master " + FO.master +
                         ": no such dataset (give it with --dataset, --csv or --json)");
    TRecordView view(*master);
    FDatasets = opened.datasets;
    for (qx::TDataSet*& ds : FDatasets)
        if (ds == master) ds = &view;
    FDir = FO.outDir;
    fs::create_directories(FDir);

    std::int64_t record = 0;
    std::string stopped;
    try {
        for (master->First(); !master->Eof(); master->Next()) {
            ++record;
            view.First();
            nlohmann::json entry = {{"record", record}};
            std::string key = std::to_string(record);
            try {
                if (!FO.shardKey.empty()) key = FKey.Of(FDatasets);
            } catch (const std::exception&) {
                // A key that cannot be found is reported once, by the shard
                // the record number falls in.
            }
            if (batch::ShardOfKey(key, FShard.count) != FShard.index) continue;
            entry["key"] = key;
            try {
                const Outcome outcome = Document();
                entry["file"] = outcome.file;
                entry["status"] = outcome.status;
                ++(outcome.status == "kept" ? FKept : FWritten);
            } catch (const std::exception& e) {
                entry["status"] = "failed";
                entry["error"] = e.what();
                ++FFailed;
                std::cerr << "qxrtf batch: record " << record << ": " << e.what() << '\n';
            }
            FDocuments.push_back(std::move(entry));
            if (FFailed > 0 && FO.failFast) break;
        }
    } catch (const std::exception& e) {
        // The master itself failed: what was written stays, and is listed.
        stopped = e.what();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    nlohmann::json manifest = Manifest(seconds);
    if (!stopped.empty()) manifest["stopped"] = stopped;
    const fs::path manifestPath = ManifestPath();
    PlaceFile(fs::path(manifestPath).concat(".tmp"), manifestPath, manifest.dump(2) + "\n", true);
    if (!stopped.empty()) std::cerr << "qxrtf batch: " << stopped << '\n';
    std::cerr << "qxrtf batch: " << FWritten << " documents written, " << FKept << " kept, "
              << FFailed << " failures, " << std::fixed << std::setprecision(2) << seconds
              << " seconds\n";
    return FFailed > 0 || !stopped.empty() ? kSomeFailed : kAllWritten;
}

int RunBatch(const BatchOptions& o, const std::vector<std::string>& extras) {
    try {
        if (!extras.empty()) throw UsageError("Unknown argument " + extras.front());
        for (const auto& [value, option] : {std::pair{&o.templateFile, "TEMPLATE"},
                                            {&o.master, "--master"},
                                            {&o.outDir, "--out-dir"},
                                            {&o.nameExpr, "--name"}})
            if (value->empty()) throw UsageError(std::string(option) + " is required");
        if (o.resume && o.overwrite)
            throw UsageError("--resume and --overwrite exclude each other");
        Batch batch(o);
        return batch.Run();
    } catch (const UsageError& e) {
        std::cerr << "qxrtf batch: " << e.what() << "\nRun with --help for more information.\n";
        return kUsage;
    } catch (const std::exception& e) {
        std::cerr << "qxrtf batch: " << e.what() << '\n';
        return kSomeFailed;
    }
}

}  // namespace

void AddBatchCommand(CLI::App& app) {
    auto o = std::make_shared<BatchOptions>();
    CLI::App* cmd = app.add_subcommand(
        "batch", "Render TEMPLATE once for every record of the master dataset, one file each");
    // Usage errors are found by the command itself, so that they all exit
    // with 2: nothing here is required or typed for the parser.
    cmd->allow_extras();
    struct Text {
        const char* name;
        std::string BatchOptions::*value;
        const char* help;
    };
    static const Text kTexts[] = {
        {"template", &BatchOptions::templateFile, "RTF template file"},
        {"--master", &BatchOptions::master, "the dataset with one record per document"},
        {"--out-dir", &BatchOptions::outDir, "directory the documents are written to"},
        {"--name", &BatchOptions::nameExpr,
         "expression naming a record's document (DIR/<value>.rtf)"},
        {"--shard", &BatchOptions::shard,
         "I/N: render only the records of shard I of N (0 <= I < N)"},
        {"--shard-key", &BatchOptions::shardKey,
         "expression whose text assigns a record to its shard (default: the record number)"},
        {"--manifest", &BatchOptions::manifest,
         "JSON manifest to write (default DIR/manifest.json, or DIR/manifest-I-of-N.json for "
         "a shard)"},
    };
    for (const Text& t : kTexts) cmd->add_option(t.name, (*o).*t.value, t.help);
    struct Flag {
        const char* name;
        bool BatchOptions::*value;
        const char* help;
    };
    static const Flag kFlags[] = {
        {"--overwrite", &BatchOptions::overwrite, "replace documents that exist"},
        {"--resume", &BatchOptions::resume, "keep documents that exist and write the others"},
        {"--fail-fast", &BatchOptions::failFast, "stop at the first record that fails"},
        {"--unicode", &BatchOptions::unicode,
         "write characters above U+00FF as \\u with a fallback"},
    };
    for (const Flag& f : kFlags) cmd->add_flag(f.name, (*o).*f.value, f.help);
    cmd->add_option("--var", o->vars,
                    "variable NAME=VALUE[:number|boolean|date|string] (repeatable)");
    cmd->add_option("--option", o->options,
                    "RTF option by name, e.g. eoClearMissedFields (repeatable)");
    o->data.AddTo(cmd);
    cmd->callback([o, cmd] {
        const int code = RunBatch(*o, cmd->remaining());
        if (code != kAllWritten) throw CLI::RuntimeError(code);
    });
}
