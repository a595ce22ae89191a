// qxrtf: fill the fields of an RTF template with data and get the finished
// report. The small interface for applications:
//
//     auto tpl = qxrtf::Template::FromFile("letter.rtf");
//     qxrtf::Data data;
//     data.Add(qxrtf::Rows("ORDERS", {{"NAME", qxrtf::Kind::String}})
//                  .Add({"Ada"}));
//     std::string rtf = qxrtf::RenderToString(tpl, data);
//
// A Template is compiled once and only read afterwards, so any number of
// threads may render it at the same time; each render opens its own
// datasets from the Data it is given. Nothing of the engine's machinery is
// visible here; files and databases are datasets of <qxrtf/datasets.h>,
// and the component interface (<qxrtf/component.h>) stays for applications
// that want its events and properties.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace qxrtf {

// The library's version, as its CMake package gives it ("0.1.0").
std::string Version();

// ---- values ------------------------------------------------------------

// A decimal number kept as the text of its digits ("12345678901234567890.25"),
// for sources that have more digits than a double holds.
struct Decimal {
    std::string digits;
    bool operator==(const Decimal&) const = default;
};

// The bytes of a picture file (PNG, JPEG, GIF, BMP, metafiles).
struct Picture {
    std::vector<std::uint8_t> bytes;
    bool operator==(const Picture&) const = default;
};

using Date = std::chrono::year_month_day;
using DateTime = std::chrono::sys_time<std::chrono::milliseconds>;

enum class Kind { Null, Bool, Integer, Number, Decimal, String, Date, DateTime, Picture };

class Value {
  public:
    Value() = default;  // null
    Value(std::nullptr_t) {}
    Value(bool v) : FValue(v) {}
    Value(int v) : FValue(std::int64_t{v}) {}
    Value(std::int64_t v) : FValue(v) {}
    Value(double v) : FValue(v) {}
    Value(Decimal v) : FValue(std::move(v)) {}
    Value(std::string v) : FValue(std::move(v)) {}
    Value(std::string_view v) : FValue(std::string(v)) {}
    Value(const char* v) : FValue(std::string(v)) {}
    Value(Date v) : FValue(v) {}
    Value(DateTime v) : FValue(v) {}
    Value(Picture v) : FValue(std::move(v)) {}

    Kind GetKind() const { return static_cast<Kind>(FValue.index()); }
    bool IsNull() const { return GetKind() == Kind::Null; }
    // Each raises Error when the value is of another kind.
    bool AsBool() const;
    std::int64_t AsInteger() const;
    double AsNumber() const;  // Integer, Number and Decimal
    const Decimal& AsDecimal() const;
    const std::string& AsString() const;
    Date AsDate() const;
    DateTime AsDateTime() const;  // Date and DateTime
    const Picture& AsPicture() const;

    bool operator==(const Value&) const = default;

  private:
    std::variant<std::monostate, bool, std::int64_t, double, Decimal, std::string, Date, DateTime,
                 Picture>
        FValue;
};

// ---- errors and warnings -----------------------------------------------------

// Where in the template a field stands: 1-based line and byte column of its
// opening backslashes, and its text as typed.
struct Position {
    int line = 0;
    int column = 0;
    std::string field;
    bool operator==(const Position&) const = default;
};

// A dataset a run was scanning and the 1-based record it had reached.
struct RecordPlace {
    std::string dataset;
    std::int64_t record = 0;
    bool operator==(const RecordPlace&) const = default;
};

// Every failure of the library: the message as the engine words it, with
// the field and records where known (also for an exception a user function
// threw).
class Error : public std::runtime_error {
  public:
    explicit Error(const std::string& message, std::optional<Position> position = std::nullopt,
                   std::vector<RecordPlace> records = {})
        : std::runtime_error(message),
          FPosition(std::move(position)),
          FRecords(std::move(records)) {}
    const std::optional<Position>& GetPosition() const { return FPosition; }
    const std::vector<RecordPlace>& Records() const { return FRecords; }

  private:
    std::optional<Position> FPosition;
    std::vector<RecordPlace> FRecords;
};

// A mistake that did not stop the report: a field the data does not have,
// an unknown function or variable, a picture file that is missing.
struct Warning {
    std::optional<Position> position;
    std::string message;
    bool operator==(const Warning&) const = default;
};

// ---- data ------------------------------------------------------------------

struct Column {
    std::string name;
    Kind kind = Kind::String;
};

// A dataset of the application's own records, addressed in the template by
// its name (ORDERS.NAME).
class Rows {
  public:
    Rows(std::string name, std::vector<Column> columns);
    // A record: one value a column, each null or of its column's kind (an
    // Integer is taken for a Number column). Error otherwise.
    Rows& Add(std::vector<Value> record);

    const std::string& Name() const { return FName; }
    const std::vector<Column>& Columns() const { return FColumns; }
    const std::vector<std::vector<Value>>& Records() const { return FRecords; }

  private:
    std::string FName;
    std::vector<Column> FColumns;
    std::vector<std::vector<Value>> FRecords;
};

// An application's own records read forward, for data too large to hold
// as Rows or made as they are read. A render may read them more than once:
// each scan of the dataset starts again after Rewind.
class RowSource {
  public:
    virtual ~RowSource() = default;
    // Asked once, before any record is read.
    virtual std::vector<Column> Columns() = 0;
    // Back before the first record.
    virtual void Rewind() = 0;
    // The next record into `record` (one value a column, each null or of its
    // column's kind, as Rows::Add takes them); false after the last.
    virtual bool Next(std::vector<Value>& record) = 0;
};

// A dataset that each render opens for itself: the application's Rows (its
// records shared by every render), a RowSource made for each render, or a
// file or database dataset of the loader library (<qxrtf/datasets.h>).
class Dataset {
  public:
    Dataset(Rows rows);  // NOLINT(google-explicit-constructor): Rows are a dataset
    // `make` is called by every render, so that renders on several threads
    // each read a source of their own.
    Dataset(std::string name, std::function<std::unique_ptr<RowSource>()> make);
    const std::string& Name() const;

    // How the dataset is opened: the engine's side.
    struct Impl;
    explicit Dataset(std::shared_ptr<const Impl> impl) : FImpl(std::move(impl)) {}
    const Impl& GetImpl() const { return *FImpl; }

  private:
    std::shared_ptr<const Impl> FImpl;
};

// A detail dataset shows, for each record of its master, only the records
// that belong to it.
struct DetailLink {
    std::string detail;
    // MASTER, or MASTER.KEY for the arrays KEY nested in a JSON master's
    // records when no dataset `detail` is given (KEY defaults to `detail`).
    std::string master;
    // Both empty for a query or a nested array; else the records whose
    // `detailField` holds the value of the master's `masterField`.
    std::string detailField;
    std::string masterField;
};

// The datasets of one render, in the order given (a one-letter alias A
// names the first), and how details follow their masters. Copies share
// the Rows and the loaders' settings, so one Data may serve renders on many
// threads at once.
class Data {
  public:
    Data& Add(Dataset set);
    // `detail` follows `master` through the :MASTER_FIELD parameters of its
    // query (SELECT * FROM lines WHERE order_id = :ORDERS_ID), or is the
    // nested array of a JSON master. A detail query left unlinked fails the
    // render, as does a link that would list every record of the detail
    // under every record of the master.
    Data& Link(std::string detail, std::string master);
    // `detail` (records without a query: Rows, a RowSource, a CSV or JSON
    // file) shows those records whose `detailField` equals the master's
    // `masterField`.
    Data& Link(std::string detail, std::string master, std::string detailField,
               std::string masterField);

    const std::vector<Dataset>& Sets() const { return FSets; }
    const std::vector<DetailLink>& Links() const { return FLinks; }

  private:
    std::vector<Dataset> FSets;
    std::vector<DetailLink> FLinks;
};

// ---- functions, options, results -----------------------------------------------

using Function = std::function<Value(std::span<const Value> args)>;

// Functions a template may call besides the built-ins. A function is called
// with between `minArgs` and `maxArgs` arguments (the engine refuses other
// counts with a message naming the field); throwing from it ends the render
// with an Error at the calling field.
class Functions {
  public:
    Functions& Add(std::string name, int args, Function fn) {
        return Add(std::move(name), args, args, std::move(fn));
    }
    Functions& Add(std::string name, int minArgs, int maxArgs, Function fn);

    struct Entry {
        std::string name;
        int minArgs = 0;
        int maxArgs = 0;
        Function fn;
    };
    const std::vector<Entry>& Entries() const { return FEntries; }

  private:
    std::vector<Entry> FEntries;
};

struct Options {
    // Report variables (\NAME\ in the template).
    std::map<std::string, Value> variables;
    // Number, currency and date forms of a system locale ("de_DE.UTF-8");
    // empty: the library's defaults (1,234.50; 3/7/2024).
    std::string locale;
    // Code page of the text written (0: the one the template declares).
    int codePage = 0;
    // Every character above U+00FF as \uN with a fallback.
    bool unicode = false;
    // Folder picture files named in the template or data must lie in.
    std::string imageRoot;
    // Any warning makes the render fail with an Error (nothing is written).
    bool strict = false;
    const Functions* functions = nullptr;
    // Called for each record a scan reaches, with the count so far; return
    // false to cancel the render (it fails with "Cancelled").
    std::function<bool(std::int64_t records)> progress;
};

struct Result {
    std::vector<Warning> warnings;
};

// ---- templates and rendering ---------------------------------------------------

class Template {
  public:
    static Template FromFile(const std::string& path);
    static Template FromString(std::string_view rtf);
    static Template FromBytes(std::span<const std::uint8_t> bytes);

    // What `qxrtf check` finds: the warnings of compiling the template for
    // datasets shaped like `data`'s (which are opened, but no scan runs).
    std::vector<Warning> Check(const Data& data = {}, const Options& options = {}) const;

    struct Impl;
    const Impl& GetImpl() const { return *FImpl; }

  private:
    explicit Template(std::shared_ptr<Impl> impl) : FImpl(std::move(impl)) {}
    std::shared_ptr<Impl> FImpl;
};

// Receives the report's bytes in order as they are made.
using Sink = std::function<void(std::string_view bytes)>;

Result Render(const Template& tpl, const Data& data, const Sink& sink, const Options& options = {});
Result Render(const Template& tpl, const Data& data, std::ostream& out,
              const Options& options = {});
std::string RenderToString(const Template& tpl, const Data& data, const Options& options = {});
// The file appears complete or not at all (written beside `path`, then
// renamed).
Result RenderToFile(const Template& tpl, const Data& data, const std::string& path,
                    const Options& options = {});

}  // namespace qxrtf
