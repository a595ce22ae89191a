// The application interface on the engine: a Template keeps its bytes and
// the compilations made of them (one per shape of data and settings, each
// made once and only read afterwards), and a render is a fresh report that
// replays one over the application's rows.
#include <unistd.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>

#include "platform/streams.h"
#include "platform/sysutils.h"
#include "platform/warnings.h"
#include "qxbasereport/variables.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/internal/api_data.h"
#include "qxrtf/internal/api_values.h"
#include "qxrtf/qxrtf.h"
#include "qxrtf/report.h"

namespace qxrtf {

std::string Version() {
    return QXRTF_VERSION_TEXT;
}

// ---- functions ---------------------------------------------------------

Functions& Functions::Add(std::string name, int minArgs, int maxArgs, Function fn) {
    if (minArgs < 0 || maxArgs < minArgs || maxArgs > 255)
        throw Error("Function " + name + ": argument counts " + std::to_string(minArgs) + ".." +
                    std::to_string(maxArgs) + " are not a range of 0 to 255");
    FEntries.push_back({std::move(name), minArgs, maxArgs, std::move(fn)});
    return *this;
}

// ---- templates --------------------------------------------------------------------------

struct Template::Impl {
    qx::TQxTemplateBuffer bytes;

    // A compilation and the warnings its compile gave, which every render
    // of it reports.
    struct Compiled {
        std::shared_ptr<const qx::TQxCompiledTemplate> program;
        std::vector<qx::TQxWarning> warnings;
    };
    mutable std::mutex lock;
    mutable std::map<std::string, Compiled> compiled;
};

Template Template::FromBytes(std::span<const std::uint8_t> bytes) {
    auto impl = std::make_shared<Impl>();
    impl->bytes = std::make_shared<const std::vector<std::uint8_t>>(bytes.begin(), bytes.end());
    return Template(std::move(impl));
}

Template Template::FromString(std::string_view rtf) {
    return FromBytes(std::span(reinterpret_cast<const std::uint8_t*>(rtf.data()), rtf.size()));
}

Template Template::FromFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw Error("Cannot open template file " + path);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    return FromBytes(bytes);
}

namespace {

std::optional<Position> PositionOf(const std::optional<qx::TQxErrorPos>& pos) {
    if (!pos) return std::nullopt;
    return Position{pos->line, pos->column, pos->fieldText};
}

Error ErrorOf(const qx::Exception& e) {
    std::vector<RecordPlace> records;
    if (e.Pos())
        for (const qx::TQxRecordPlace& r : e.Pos()->records)
            records.push_back({r.dataset, r.record});
    return Error(e.what(), PositionOf(e.Pos()), std::move(records));
}

void AddWarnings(std::vector<Warning>& to, const std::vector<qx::TQxWarning>& from) {
    for (const qx::TQxWarning& w : from) {
        // A warning of the data names its file.
        Warning warning{PositionOf(w.pos),
                        w.source.empty() ? w.message : w.source + ": " + w.message};
        if (std::find(to.begin(), to.end(), warning) == to.end()) to.push_back(std::move(warning));
    }
}

// One render's engine: the report with the application's settings, its
// datasets and functions, alive for the run.
class Run {
  public:
    Run(const Data& data, const Options& options) : FOptions(options) {
        // Set before the data is read: a loader's warning fails a strict render.
        FWarnings.SetStrict(FOptions.strict);
        OpenContext context([this](const std::string& file, const std::string& message) {
            FWarnings.Add({file, std::nullopt, message});
            FWarnings.CheckStrict();
        });
        FOpened = OpenData(data, context);
        for (const DetailLink& link : data.Links())
            FLinksKey += "M" + link.detail + ":" + link.master + ":" + link.detailField + "=" +
                         link.masterField + '\n';
        Setup();
    }

    // What decides a compilation besides the template: the datasets' names
    // and fields, the functions, the variables and the text settings.
    std::string ShapeKey() const {
        std::string key;
        for (const qx::TDataSet* d : FOpened.datasets) {
            key += "D" + d->Name();
            for (int i = 0; i < d->FieldCount(); ++i)
                key += "|" + d->Fields(i)->FieldName() + ":" +
                       std::to_string(static_cast<int>(d->Fields(i)->DataType()));
            key += '\n';
        }
        key += FLinksKey;
        if (FOptions.functions != nullptr)
            for (const auto& f : FOptions.functions->Entries())
                key += "F" + f.name + ":" + std::to_string(f.minArgs) + "-" +
                       std::to_string(f.maxArgs) + '\n';
        for (const auto& [name, value] : FOptions.variables)
            key += "V" + name + ":" + std::to_string(static_cast<int>(value.GetKind())) + '\n';
        key += "L" + FOptions.locale + "\nC" + std::to_string(FOptions.codePage) + "\nU" +
               (FOptions.unicode ? "1" : "0");
        return key;
    }

    const Template::Impl::Compiled& CompiledFor(const Template::Impl& tpl) {
        FReport.SetTemplateBuffer(tpl.bytes, static_cast<std::int32_t>(tpl.bytes->size()));
        const std::lock_guard<std::mutex> hold(tpl.lock);
        const std::string key = ShapeKey();
        auto it = tpl.compiled.find(key);
        if (it == tpl.compiled.end()) {
            qx::TQxWarningSink sink;
            FReport.SetWarningSink(&sink);
            Template::Impl::Compiled c{FReport.Compile(FOpened.datasets), sink.List()};
            FReport.SetWarningSink(&FWarnings);
            it = tpl.compiled.emplace(key, std::move(c)).first;
        }
        return it->second;
    }

    Result Execute(const Template::Impl& tpl, qx::TStream& out) {
        const auto& compiled = CompiledFor(tpl);
        if (FOptions.strict && !compiled.warnings.empty())
            throw Error("Stopped by the template's warnings: " + compiled.warnings.front().message,
                        PositionOf(compiled.warnings.front().pos));
        FReport.SetCompiledTemplate(compiled.program);
        FReport.ExecuteStream(FOpened.datasets, &out);
        Result result;
        AddWarnings(result.warnings, compiled.warnings);
        AddWarnings(result.warnings, FWarnings.List());
        return result;
    }

    std::vector<Warning> Check(const Template::Impl& tpl) {
        FReport.SetTemplateBuffer(tpl.bytes, static_cast<std::int32_t>(tpl.bytes->size()));
        FReport.Compile(FOpened.datasets);
        std::vector<Warning> warnings;
        AddWarnings(warnings, FWarnings.List());
        return warnings;
    }

  private:
    void Setup() {
        FReport.SetFmtSettings(FOptions.locale.empty()
                                   ? qx::TFormatSettings()
                                   : qx::TFormatSettings::FromLocale(FOptions.locale));
        if (FOptions.codePage != 0) FReport.SetCodePage(FOptions.codePage);
        if (FOptions.unicode) FReport.SetUnicodeByDefault(true);
        if (!FOptions.imageRoot.empty()) FReport.SetImageRoot(FOptions.imageRoot);
        FReport.SetWarningSink(&FWarnings);
        for (const auto& [name, value] : FOptions.variables) DefineVariable(name, value);
        if (FOptions.functions != nullptr) AddFunctions(*FOptions.functions);
        if (FOptions.progress) {
            FReport.SetOnScanRecord([this](qx::TQxScanInfo&) {
                if (!FOptions.progress(++FRecords)) throw qx::Exception("Cancelled");
            });
        }
    }

    void DefineVariable(const std::string& name, const Value& value) {
        switch (value.GetKind()) {
            case Kind::Date:
                FReport.CreateVar(name, EngineDate(value.AsDateTime()), true);
                return;
            case Kind::DateTime:
                FReport.CreateVar(name, EngineDate(value.AsDateTime()), false);
                return;
            case Kind::Bool:
                FReport.CreateVar(name, value.AsBool());
                return;
            case Kind::String:
            case Kind::Null:
                FReport.CreateVar(name, value.IsNull() ? std::string() : value.AsString());
                return;
            default:
                FReport.CreateVar(name, 0.0);
                AssignToVariable(FReport.VarByName(name), value);
        }
    }

    void AddFunctions(const Functions& functions) {
        for (const Functions::Entry& entry : functions.Entries()) {
            qx::TQxUDF* udf = FFunctions.Functions().Add();
            udf->SetName(entry.name);
            udf->SetArgMinCount(static_cast<std::uint16_t>(entry.minArgs));
            udf->SetArgMaxCount(static_cast<std::uint16_t>(entry.maxArgs));
            udf->SetResultType(qx::udfrTQxReportVariable);
            const Function& fn = entry.fn;
            udf->SetOnCalculate([&fn](qx::TObject*, const qx::TQxUDFArgs& args, std::int32_t count,
                                      qx::TObject* result) {
                std::vector<Value> values;
                const auto n = std::min(args.size(), static_cast<std::size_t>(std::max(count, 0)));
                for (std::size_t i = 0; i < n; ++i) values.push_back(ValueOfArgument(args[i]));
                AssignToVariable(*static_cast<qx::TQxReportVariable*>(result), fn(values));
            });
        }
        FReport.SetUDFList(&FFunctions);
    }

    const Options& FOptions;
    qx::TQxWarningSink FWarnings;
    qx::TOpenedDataSets FOpened;
    std::string FLinksKey;
    qx::TQxUDFList FFunctions;
    std::int64_t FRecords = 0;
    // Last: its runs use everything above.
    qx::TQxRTF FReport;
};

// Runs `body` with the engine's errors as the interface's.
template <typename F>
auto Translated(F&& body) {
    try {
        return body();
    } catch (const qx::Exception& e) {
        throw ErrorOf(e);
    } catch (const Error&) {
        throw;
    } catch (const std::exception& e) {
        // The application's own (a RowSource's) and the library's.
        throw Error(e.what());
    }
}

}  // namespace

std::vector<Warning> Template::Check(const Data& data, const Options& options) const {
    return Translated([&] { return Run(data, options).Check(*FImpl); });
}

Result Render(const Template& tpl, const Data& data, const Sink& sink, const Options& options) {
    qx::TMemoryStream out;
    Result result = Translated([&] { return Run(data, options).Execute(tpl.GetImpl(), out); });
    sink(std::string_view(reinterpret_cast<const char*>(out.Memory()),
                          static_cast<std::size_t>(out.Size())));
    return result;
}

Result Render(const Template& tpl, const Data& data, std::ostream& out, const Options& options) {
    Result result = Render(
        tpl, data,
        [&out](std::string_view bytes) {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        },
        options);
    if (!out) throw Error("The report could not be written to its stream");
    return result;
}

std::string RenderToString(const Template& tpl, const Data& data, const Options& options) {
    std::string text;
    Render(
        tpl, data, [&text](std::string_view bytes) { text.append(bytes); }, options);
    return text;
}

Result RenderToFile(const Template& tpl, const Data& data, const std::string& path,
                    const Options& options) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::string pending =
        (target.parent_path() / ("." + target.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(pending.data());
    if (fd < 0) throw Error("Cannot create a file beside " + path);
    ::close(fd);
    try {
        std::ofstream out(pending, std::ios::binary | std::ios::trunc);
        Result result = Render(tpl, data, out, options);
        out.close();
        if (!out) throw Error("Cannot write " + pending);
        fs::rename(pending, target);
        return result;
    } catch (...) {
        std::error_code ignored;
        fs::remove(pending, ignored);
        throw;
    }
}

}  // namespace qxrtf
