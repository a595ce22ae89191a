#include "batch_command.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "batch_files.h"
#include "batch_naming.h"
#include "data_options.h"
#include "office_convert.h"
#include "office_group.h"
#include "platform/exceptions.h"
#include "platform/internal/codepage.h"
#include "platform/internal/unicode.h"
#include "platform/streams.h"
#include "qxrtf/qxrtf.h"
#include "record_view.h"
#include "render_output.h"
#include "report_options.h"
#include "template_source.h"
#include "tool_errors.h"

namespace fs = std::filesystem;

namespace {

enum ExitCode { kAllWritten = 0, kSomeFailed = 1, kUsage = 2 };

using tool::UsageError;

struct BatchOptions {
    std::string templateFile, master, outDir, nameExpr, shard, shardKey, manifest, jobs, to, group;
    bool overwrite = false, resume = false, failFast = false, pdf = false;
    // What every report of the batch is given, as render takes it.
    tool::ReportOptions report;
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

// A count option such as --jobs J: `fallback` when not given, else a
// number from 1 to `max`.
int ParseCount(const char* option, const std::string& text, int fallback, int max) {
    if (text.empty()) return fallback;
    if (text.size() > std::to_string(max).size() ||
        text.find_first_not_of("0123456789") != std::string::npos || std::stoi(text) < 1 ||
        std::stoi(text) > max)
        throw UsageError(std::string(option) + " must be a number from 1 to " +
                         std::to_string(max) + ", not '" + text + "'");
    return std::stoi(text);
}

qx::TQxTemplateBuffer ReadTemplate(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw qx::Exception("Cannot read template file " + file);
    return std::make_shared<const std::vector<std::uint8_t>>(std::istreambuf_iterator<char>(in),
                                                             std::istreambuf_iterator<char>());
}

qx::TQxTemplateBuffer BufferOf(const std::string& text) {
    return std::make_shared<const std::vector<std::uint8_t>>(text.begin(), text.end());
}

std::string ReadFileText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) throw qx::Exception("Cannot read " + file.string());
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string StreamText(qx::TMemoryStream& out) {
    return std::string(reinterpret_cast<const char*>(out.Memory()),
                       static_cast<std::size_t>(out.Size()));
}

// A template of the batch, compiled once for the whole run and rendered by
// a fresh report for each record, so that what one document's run changes
// (its variables) never reaches the next. Workers render it at the same
// time: the compiled template is only read.
class BatchTemplate {
  public:
    // `unicode`: every character above U+00FF as \uN, whatever --unicode says.
    BatchTemplate(const BatchOptions& o, bool unicode) : FOptions(o), FUnicode(unicode) {}

    // Compiles `bytes` for datasets named as `ds`; raises the engine's
    // error, with its position, when the template does not compile. The
    // template's warnings go to the run's sink, or with `ownWarnings` are
    // answered instead.
    std::vector<qx::TQxWarning> Compile(qx::TQxTemplateBuffer bytes, const qx::arrdataset& ds,
                                        bool ownWarnings = false) {
        qx::TQxRTF report;
        Setup(report);
        if (ownWarnings) report.SetWarningSink(nullptr);
        report.SetTemplateBuffer(bytes, static_cast<std::int32_t>(bytes->size()));
        FCompiled = report.Compile(ds);
        return ownWarnings ? report.Warnings() : std::vector<qx::TQxWarning>();
    }
    std::string Render(const qx::arrdataset& ds, int* codePage = nullptr) const {
        qx::TQxRTF report;
        Setup(report);
        report.SetCompiledTemplate(FCompiled);
        qx::TMemoryStream out;
        report.ExecuteStream(ds, &out);
        if (codePage != nullptr) *codePage = report.OutputCodePage();
        return StreamText(out);
    }

  private:
    void Setup(qx::TQxRTF& report) const {
        FOptions.report.Apply(report);
        if (FUnicode) report.SetUnicodeByDefault(true);
    }

    const BatchOptions& FOptions;
    bool FUnicode;
    std::shared_ptr<const qx::TQxCompiledTemplate> FCompiled;
};

// The text of an expression for the current record, found as the report
// itself finds it: a one-field template rendered and read back as text, so
// names and keys follow the same rules (formats, functions, variables) as
// the documents.
class RecordText {
  public:
    RecordText(const std::string& option, const std::string& expression, const BatchOptions& o)
        : FOption(option), FExpression(expression), FTemplate(o, true) {}
    // An expression that does not compile, or names what the data does not
    // have, is a mistake of the command line: every record would get the
    // expression as typed for its name.
    void Compile(const qx::arrdataset& ds) {
        std::vector<qx::TQxWarning> warnings;
        try {
            warnings =
                FTemplate.Compile(BufferOf("{\\rtf1 \\\\" + FExpression + "\\\\}"), ds, true);
        } catch (const qx::Exception& e) {
            throw UsageError(FOption + " " + FExpression + ": " + e.what());
        }
        if (!warnings.empty())
            throw UsageError(FOption + " " + FExpression + ": " + warnings.front().message);
    }
    std::string Of(const qx::arrdataset& ds) const {
        int codePage = 0;
        const std::string rtf = FTemplate.Render(ds, &codePage);
        return batch::PlainTextOfRtf(rtf, codePage);
    }

  private:
    std::string FOption, FExpression;
    BatchTemplate FTemplate;
};

// What the workers of a run share. The options and templates are only
// read while they run; the rest is behind its lock.
struct BatchRun {
    explicit BatchRun(const BatchOptions& o)
        : options(o),
          shard(ParseShard(o.shard)),
          jobs(ParseCount("--jobs", o.jobs, 1, 256)),
          officeGroup(static_cast<std::size_t>(ParseCount("--group", o.group, 50, 10000))),
          dir(o.outDir),
          document(o, false),
          name("--name", o.nameExpr, o),
          key("--shard-key", o.shardKey, o),
          namedBelow(static_cast<std::size_t>(jobs), 0) {}

    // The temporary files and the lock of this shard start so. One process
    // at a time runs a shard in a folder (it holds the lock), so the
    // temporary files are its own, and what a killed run left is removed
    // when the shard runs again.
    std::string TempPrefix() const {
        return ".qxrtf-batch-" + std::to_string(shard.index) + "-of-" + std::to_string(shard.count);
    }
    fs::path LockPath() const { return dir / (TempPrefix() + ".lock"); }

    const BatchOptions& options;
    const Shard shard;
    const int jobs;
    // The documents go to LibreOffice in groups of this many per worker
    // (--group): few starts of it, and little to redo after a killed run.
    const std::size_t officeGroup;
    const fs::path dir;
    tool::DocFormat format = tool::DocFormat::kRtf;  // --to
    std::string office;  // the LibreOffice launcher, when documents are converted
    BatchTemplate document;
    RecordText name, key;

    std::atomic<bool> stop{false};  // --fail-fast: a record failed
    std::mutex reportLock;          // one line of stderr at a time

    // The names of the documents, claimed in record order across the
    // workers: each name's first record, and for each worker the record
    // number below which it has named all its records.
    std::mutex nameLock;
    std::condition_variable named;
    std::map<std::string, std::int64_t> firstRecordOfName;
    std::vector<std::int64_t> namedBelow;
    std::mutex placeLock;
    // With --overwrite: the latest record whose document has taken each
    // name, so that the last record's document stays, as in a run that
    // writes them one after the other.
    std::map<std::string, std::int64_t> lastPlaced;
};

// One worker of a batch, with datasets, reports and a temporary file of its
// own. It walks the whole master and renders the records of the shard that
// are dealt to it: record k of the shard goes to worker k % J. A worker
// names a record before rendering it and waits, before placing the
// document, until every earlier record is named, so that a name two records
// share is the later one's failure, as in a run with one worker.
class Worker {
  public:
    // Opens the datasets (a connection, a file reader of its own).
    Worker(BatchRun& run, int index);
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    const qx::arrdataset& DataSets() const { return FDatasets; }
    // Renders the worker's records; never raises: a failure of the master
    // itself ends the walk and is kept in `stopped`.
    void Run();

    std::vector<nlohmann::json> documents;  // in record order
    int written = 0, kept = 0, failed = 0;
    std::string stopped;
    std::int64_t stoppedAt = 0;  // the record the master failed on

  private:
    void Walk();
    // Moves the master to its first or next record. A detail that cannot
    // follow it (its query fails for this record's values) fails that one
    // record: its error is answered ("" when every detail followed). An
    // error of the master itself is raised and ends the walk.
    std::string MoveMaster(bool first);
    // The file name of the master's current record; raises when it has none.
    std::string FileName();
    // Every record of this worker below `record` is named.
    void NamedBelow(std::int64_t record);
    // Claims `file` (empty: the record has none) for `record`.
    void ClaimName(std::int64_t record, const std::string& file);
    // Waits until every earlier record of the shard is named, by whichever
    // worker; true when one of them has the name `file`.
    bool EarlierRecordHas(std::int64_t record, const std::string& file);
    // Renders the document of the master's current record, whose manifest
    // entry is documents[entry]. A document that LibreOffice converts is
    // placed when its group is.
    void Document(std::int64_t record, const std::string& file, std::size_t entry);
    // Places the converted document of `record`, and queues its PDF copy.
    void Converted(std::int64_t record, const std::string& file, std::size_t entry,
                   const std::string& rtf, const fs::path& converted, const std::string& error);
    // Names `bytes` `file` in the output folder; raises when it exists.
    // Writes the document `bytes` and hands it to the durable group, which
    // names it `file` once it is on the disk; only then it counts as
    // written (and goes on to its PDF, made from `rtf`).
    void PlaceDocument(std::int64_t record, const std::string& file, std::size_t entry,
                       const std::string& bytes, const std::string& rtf);
    // Names the written temporary file `file`; false when it exists already.
    bool Place(std::int64_t record, const std::string& file, batch::TempFile& temp);
    void Failed(std::int64_t record, const std::string& error, nlohmann::json& entry);
    // With --pdf: the PDF copy of the placed document `file`, beside it,
    // made from `bytes` in `from` when the PDF group is converted.
    fs::path PdfPathOf(const std::string& file) const;
    void AddPdf(std::int64_t record, const std::string& file, std::size_t entry,
                const std::string& bytes, tool::DocFormat from);
    // Converts what waits in the groups.
    void ConvertGroups();

    BatchRun& FRun;
    const BatchOptions& FO;
    const int FIndex;
    DataOptions::Opened FOpened;
    qx::TDataSet* FMaster = nullptr;
    std::unique_ptr<TRecordView> FView;
    qx::arrdataset FDatasets;  // the worker's, the master replaced by its one-record view
    std::unique_ptr<tool::OfficeGroup> FConvert, FPdf;  // --to and --pdf
    // Documents are flushed to the disk this many (or this many bytes) at
    // a time: few waits for the disk, and little to write again after a
    // killed run.
    static constexpr std::size_t kDurableDocuments = 256;
    static constexpr std::size_t kDurableBytes = std::size_t{16} << 20;
    batch::DurableGroup FDurable;
};

Worker::Worker(BatchRun& run, int index)
    : FRun(run),
      FO(run.options),
      FIndex(index),
      FOpened(run.options.report.data.Open()),
      FDurable(run.dir, kDurableDocuments, kDurableBytes) {
    for (qx::TDataSet* ds : FOpened.datasets)
        if (qx::SameText(ds->Name(), FO.master)) FMaster = ds;
    if (FMaster == nullptr)
        throw UsageError("--master " + FO.master +
                         ": no such dataset (give it with --dataset, --csv or --json)");
    FView = std::make_unique<TRecordView>(*FMaster);
    FDatasets = FOpened.datasets;
    for (qx::TDataSet*& ds : FDatasets)
        if (ds == FMaster) ds = FView.get();
    if (run.format != tool::DocFormat::kRtf)
        FConvert = std::make_unique<tool::OfficeGroup>(run.office, run.format, run.officeGroup);
    if (FO.pdf)
        FPdf =
            std::make_unique<tool::OfficeGroup>(run.office, tool::DocFormat::kPdf, run.officeGroup);
}

std::string Worker::FileName() {
    const std::string extension = std::string(".") + tool::ExtensionOf(FRun.format);
    const std::string name = batch::SafeFileName(FRun.name.Of(FDatasets), extension);
    if (name.empty()) throw qx::Exception("the name of the document is empty");
    return name + extension;
}

void Worker::NamedBelow(std::int64_t record) {
    const std::lock_guard<std::mutex> lock(FRun.nameLock);
    FRun.namedBelow[static_cast<std::size_t>(FIndex)] = record;
    FRun.named.notify_all();
}

void Worker::ClaimName(std::int64_t record, const std::string& file) {
    const std::lock_guard<std::mutex> lock(FRun.nameLock);
    if (!file.empty()) {
        const auto [it, fresh] = FRun.firstRecordOfName.emplace(file, record);
        if (!fresh && record < it->second) it->second = record;
    }
    FRun.namedBelow[static_cast<std::size_t>(FIndex)] = record + 1;
    FRun.named.notify_all();
}

bool Worker::EarlierRecordHas(std::int64_t record, const std::string& file) {
    std::unique_lock<std::mutex> lock(FRun.nameLock);
    FRun.named.wait(lock, [&] {
        return FRun.stop || std::all_of(FRun.namedBelow.begin(), FRun.namedBelow.end(),
                                        [&](std::int64_t below) { return below >= record; });
    });
    return FRun.firstRecordOfName[file] < record;
}

void Worker::Document(std::int64_t record, const std::string& file, std::size_t entry) {
    const bool keep = FO.resume && fs::exists(FRun.dir / file);
    // Rendered while the workers of earlier records may still be naming
    // them: a worker waits for their names only before placing its document.
    std::string bytes;
    std::exception_ptr renderError;
    if (!keep) {
        try {
            bytes = FRun.document.Render(FDatasets);
        } catch (...) {
            renderError = std::current_exception();
        }
    }
    if (!FO.overwrite && EarlierRecordHas(record, file))
        throw qx::Exception("document " + file +
                            " is also the document of an earlier record (give --overwrite to "
                            "keep the last)");
    if (renderError) std::rethrow_exception(renderError);
    documents[entry]["file"] = file;
    if (keep) {
        documents[entry]["status"] = "kept";
        ++kept;
        // A run killed between a document and its PDF left the PDF to do.
        if (FO.pdf && !fs::exists(PdfPathOf(file)))
            AddPdf(record, file, entry, ReadFileText(FRun.dir / file), FRun.format);
        return;
    }
    if (FConvert) {
        // Before it is added: a full group converts at once, this one too.
        documents[entry]["status"] = "converting";
        FConvert->Add(bytes, tool::DocFormat::kRtf,
                      [this, record, file, entry, bytes](const fs::path& converted,
                                                         const std::string& error) {
                          Converted(record, file, entry, bytes, converted, error);
                      });
        return;
    }
    PlaceDocument(record, file, entry, bytes, bytes);
}

void Worker::Converted(std::int64_t record, const std::string& file, std::size_t entry,
                       const std::string& rtf, const fs::path& converted,
                       const std::string& error) {
    try {
        if (converted.empty()) throw qx::Exception(error);
        PlaceDocument(record, file, entry, ReadFileText(converted), rtf);
    } catch (const std::exception& e) {
        Failed(record, e.what(), documents[entry]);
    }
}

void Worker::PlaceDocument(std::int64_t record, const std::string& file, std::size_t entry,
                           const std::string& bytes, const std::string& rtf) {
    auto temp = std::make_unique<batch::TempFile>(FRun.dir, FRun.TempPrefix(), bytes, false);
    documents[entry]["status"] = "writing";
    FDurable.Add(
        std::move(temp), bytes.size(),
        [this, record, file, entry, pdfFrom = FO.pdf ? rtf : std::string()](batch::TempFile& t) {
            if (!Place(record, file, t))
                throw qx::Exception("document " + file +
                                    " exists already (give --overwrite or --resume)");
            documents[entry]["status"] = "written";
            ++written;
            if (FO.pdf) AddPdf(record, file, entry, pdfFrom, tool::DocFormat::kRtf);
        },
        [this, record, entry](const std::string& error) {
            Failed(record, error, documents[entry]);
        });
}

fs::path Worker::PdfPathOf(const std::string& file) const {
    return FRun.dir / fs::path(file).replace_extension(".pdf");
}

void Worker::AddPdf(std::int64_t record, const std::string& file, std::size_t entry,
                    const std::string& bytes, tool::DocFormat from) {
    FPdf->Add(bytes, from,
              [this, record, file, entry](const fs::path& pdf, const std::string& error) {
                  try {
                      if (pdf.empty()) throw qx::Exception(error);
                      batch::TempFile(FRun.dir, FRun.TempPrefix(), ReadFileText(pdf))
                          .NameAs(PdfPathOf(file), true);
                  } catch (const std::exception& e) {
                      // The document is there, but the record is not done without its PDF.
                      --(documents[entry]["status"] == "kept" ? kept : written);
                      Failed(record, e.what(), documents[entry]);
                  }
              });
}

void Worker::ConvertGroups() {
    if (FConvert) FConvert->Convert();
    // The PDFs are made from documents once they are placed.
    FDurable.Flush();
    if (FPdf) FPdf->Convert();
}

bool Worker::Place(std::int64_t record, const std::string& file, batch::TempFile& temp) {
    if (!FO.overwrite) return temp.NameAs(FRun.dir / file, false);
    const std::lock_guard<std::mutex> lock(FRun.placeLock);
    std::int64_t& last = FRun.lastPlaced[file];
    if (last > record) {
        // A later record's document has the name: it is the one to keep.
        return true;
    }
    last = record;
    return temp.NameAs(FRun.dir / file, true);
}

void Worker::Failed(std::int64_t record, const std::string& error, nlohmann::json& entry) {
    entry["status"] = "failed";
    entry["error"] = error;
    ++failed;
    if (FO.failFast) {
        FRun.stop = true;
        NamedBelow(record + 1);  // wakes the workers waiting for names
    }
    const std::lock_guard<std::mutex> lock(FRun.reportLock);
    std::cerr << "qxrtf batch: record " << record << ": " << tool::EscapeControls(error) << '\n';
}

void Worker::Run() {
    try {
        Walk();
    } catch (const std::exception& e) {
        // The master itself failed: what was written stays, and is listed.
        stopped = e.what();
    } catch (...) {
        stopped = "Unknown exception raised while reading the master dataset.";
    }
    // What was rendered is converted and placed, however the walk ended.
    try {
        ConvertGroups();
    } catch (const std::exception& e) {
        if (stopped.empty()) stopped = e.what();
    }
    // No more names from this worker: none of the others waits for it.
    NamedBelow(INT64_MAX);
}

std::string Worker::MoveMaster(bool first) {
    if (first) {
        // Its details were run for the first record when they were linked
        // (a failure there ends the batch before any record).
        FMaster->First();
        return {};
    }
    const qx::TBookmark before = FMaster->GetBookmark();
    try {
        FMaster->Next();
        return {};
    } catch (const std::exception& e) {
        // The details are told once the master stands on its new record:
        // a master that moved failed in one of them.
        if (FMaster->Eof() || FMaster->GetBookmark() == before) throw;
        return e.what();
    }
}

void Worker::Walk() {
    std::int64_t record = 0, ofShard = 0;
    for (std::string detailError = MoveMaster(true); !FMaster->Eof();
         detailError = MoveMaster(false)) {
        if (FRun.stop) break;
        stoppedAt = ++record;
        FView->First();
        std::string key = std::to_string(record);
        try {
            if (!FO.shardKey.empty()) key = FRun.key.Of(FDatasets);
        } catch (const std::exception&) {
            // A key that cannot be found is reported once, by the shard
            // the record number falls in.
        }
        if (batch::ShardOfKey(key, FRun.shard.count) != FRun.shard.index) continue;
        if (ofShard++ % FRun.jobs != FIndex) continue;
        NamedBelow(record);
        std::string file, nameError = detailError;
        try {
            if (detailError.empty()) file = FileName();
        } catch (const std::exception& e) {
            nameError = e.what();
        }
        ClaimName(record, file);
        const std::size_t entry = documents.size();
        documents.push_back({{"record", record}, {"key", key}});
        try {
            if (!nameError.empty()) throw qx::Exception(nameError);
            Document(record, file, entry);
        } catch (const std::exception& e) {
            Failed(record, e.what(), documents[entry]);
        }
    }
    stoppedAt = 0;
}

class Batch {
  public:
    Batch(const BatchOptions& o, tool::DocFormat format, const std::string& office) : FRun(o) {
        FRun.format = format;
        FRun.office = office;
    }
    int Run();

  private:
    // Compiles the document's template and the name and key expressions,
    // once for the whole run.
    void Compile();
    nlohmann::json Manifest(double seconds) const;
    fs::path ManifestPath() const;
    // Why a second run of the shard into the same folder is refused.
    std::string BusyMessage() const;

    BatchRun FRun;
    std::vector<std::unique_ptr<Worker>> FWorkers;
    std::vector<nlohmann::json> FDocuments;
    int FWritten = 0, FKept = 0, FFailed = 0;
};

fs::path Batch::ManifestPath() const {
    const BatchOptions& o = FRun.options;
    if (!o.manifest.empty()) return o.manifest;
    if (FRun.shard.count == 1) return FRun.dir / "manifest.json";
    return FRun.dir / ("manifest-" + std::to_string(FRun.shard.index) + "-of-" +
                       std::to_string(FRun.shard.count) + ".json");
}

void Batch::Compile() {
    const BatchOptions& o = FRun.options;
    const qx::arrdataset& ds = FWorkers.front()->DataSets();
    try {
        FRun.document.Compile(ReadTemplate(tool::RtfTemplateOf(
                                  o.templateFile, tool::TemplateCacheDir(o.report.cacheDir))),
                              ds);
    } catch (const qx::EStrictWarnings& e) {
        throw qx::Exception(std::string(e.what()) + " (--strict); no document was written");
    } catch (const qx::Exception& e) {
        if (!e.Pos()) throw;
        const std::string note = tool::ParagraphNote(o.templateFile, *e.Pos());
        throw qx::Exception(tool::PositionPrefix(o.templateFile, *e.Pos()) + e.what() +
                            (note.empty() ? std::string() : "\n    " + note));
    }
    FRun.name.Compile(ds);
    if (!o.shardKey.empty()) FRun.key.Compile(ds);
}

std::string Batch::BusyMessage() const {
    const std::string what = FRun.shard.count == 1
                                 ? std::string("another batch")
                                 : "another run of shard " + std::to_string(FRun.shard.index) +
                                       "/" + std::to_string(FRun.shard.count);
    return what + " is writing into " + FRun.dir.string() + " (it holds " +
           FRun.LockPath().string() + "); wait for it to end or give another --out-dir";
}

nlohmann::json Batch::Manifest(double seconds) const {
    const BatchOptions& o = FRun.options;
    return {{"template", o.templateFile},
            {"master", o.master},
            {"shard", {{"index", FRun.shard.index}, {"count", FRun.shard.count}}},
            {"written", FWritten},
            {"kept", FKept},
            {"failed", FFailed},
            {"seconds", seconds},
            {"documents", FDocuments}};
}

int Batch::Run() {
    const auto start = std::chrono::steady_clock::now();
    // Each worker opens the data for itself: nothing of one is touched by another.
    for (int k = 0; k < FRun.jobs; ++k) FWorkers.push_back(std::make_unique<Worker>(FRun, k));
    Compile();
    fs::create_directories(FRun.dir);
    const batch::ShardLock lock(FRun.LockPath(), BusyMessage());
    batch::RemoveLeftTempFiles(FRun.dir, FRun.TempPrefix());

    if (FRun.jobs == 1) {
        FWorkers.front()->Run();
    } else {
        std::vector<std::thread> threads;
        for (auto& w : FWorkers) threads.emplace_back([&w] { w->Run(); });
        for (std::thread& t : threads) t.join();
    }

    // The master is read alike by every worker: its failure is reported
    // once, at the first record it happened on.
    std::string stopped;
    std::int64_t stoppedAt = 0;
    for (const auto& w : FWorkers) {
        FWritten += w->written;
        FKept += w->kept;
        FFailed += w->failed;
        for (nlohmann::json& d : w->documents) FDocuments.push_back(std::move(d));
        if (!w->stopped.empty() && (stopped.empty() || w->stoppedAt < stoppedAt))
            stopped = w->stopped, stoppedAt = w->stoppedAt;
    }
    std::stable_sort(FDocuments.begin(), FDocuments.end(), [](const auto& a, const auto& b) {
        return a["record"].template get<std::int64_t>() < b["record"].template get<std::int64_t>();
    });
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    nlohmann::json manifest = Manifest(seconds);
    if (!stopped.empty()) manifest["stopped"] = stopped;
    const fs::path manifestPath = ManifestPath();
    const fs::path manifestDir = manifestPath.has_parent_path() ? manifestPath.parent_path() : ".";
    batch::TempFile(manifestDir, FRun.TempPrefix(), manifest.dump(2) + "\n")
        .NameAs(manifestPath, true);
    if (!stopped.empty()) std::cerr << "qxrtf batch: " << tool::EscapeControls(stopped) << '\n';
    std::cerr << "qxrtf batch: " << FWritten << " documents written, " << FKept << " kept, "
              << FFailed << " failures, " << std::fixed << std::setprecision(2) << seconds
              << " seconds\n";
    return FFailed > 0 || !stopped.empty() ? kSomeFailed : kAllWritten;
}

int RunBatch(BatchOptions& o, const std::vector<std::string>& extras) {
    try {
        if (!extras.empty()) throw UsageError("Unknown argument " + extras.front());
        for (const auto& [value, option] : {std::pair{&o.templateFile, "TEMPLATE"},
                                            {&o.master, "--master"},
                                            {&o.outDir, "--out-dir"},
                                            {&o.nameExpr, "--name"}})
            if (value->empty()) throw UsageError(std::string(option) + " is required");
        if (o.resume && o.overwrite)
            throw UsageError("--resume and --overwrite exclude each other");
        // A wrong option or variable is found before any record.
        o.report.Resolve();
        o.report.PrintWarnings(o.templateFile, std::cerr);
        const tool::DocFormat format = tool::OutputFormatOf("", o.to);
        if (o.pdf && format == tool::DocFormat::kPdf)
            throw UsageError("--pdf and --to pdf: the documents are PDF already");
        std::string office;
        if (format != tool::DocFormat::kRtf) office = tool::RequireOffice("--to " + o.to);
        if (o.pdf) office = tool::RequireOffice("--pdf");
        Batch batch(o, format, office);
        return batch.Run();
    } catch (const UsageError& e) {
        std::cerr << "qxrtf batch: " << tool::EscapeControls(e.what())
                  << "\nRun with --help for more information.\n";
        return kUsage;
    } catch (const qx::EStrictWarnings& e) {
        // The data's warnings stop a strict batch while its data is opened.
        std::cerr << "qxrtf batch: " << e.what() << " (--strict); no document was written\n";
        return kSomeFailed;
    } catch (const std::exception& e) {
        std::cerr << "qxrtf batch: " << tool::EscapeControls(e.what()) << '\n';
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
        {"template", &BatchOptions::templateFile,
         "template file: RTF, or DOCX, ODT, DOC, flat ODT (converted with LibreOffice)"},
        {"--master", &BatchOptions::master, "the dataset with one record per document"},
        {"--out-dir", &BatchOptions::outDir, "directory the documents are written to"},
        {"--name", &BatchOptions::nameExpr,
         "expression naming a record's document (DIR/<value>.rtf, or the --to format's "
         "extension)"},
        {"--to", &BatchOptions::to,
         "format of the documents: rtf (the default), docx, odt, pdf (converted with "
         "LibreOffice, one start per worker for each group of documents)"},
        {"--shard", &BatchOptions::shard,
         "I/N: render only the records of shard I of N (0 <= I < N)"},
        {"--shard-key", &BatchOptions::shardKey,
         "expression whose text assigns a record to its shard (default: the record number)"},
        {"--jobs", &BatchOptions::jobs,
         "J: render with J worker threads, each with its own datasets (default 1)"},
        {"--group", &BatchOptions::group,
         "N: with --to or --pdf, convert N documents per LibreOffice start in each worker "
         "(default 50)"},
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
        {"--pdf", &BatchOptions::pdf,
         "also convert each document to DIR/<name>.pdf (needs LibreOffice)"},
    };
    for (const Flag& f : kFlags) cmd->add_flag(f.name, (*o).*f.value, f.help);
    o->report.AddTo(cmd);
    o->report.AddStrictTo(cmd);
    cmd->callback([o, cmd] {
        const int code = RunBatch(*o, cmd->remaining());
        if (code != kAllWritten) throw CLI::RuntimeError(code);
    });
}
