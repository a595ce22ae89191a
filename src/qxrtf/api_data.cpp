// The application interface's datasets: the application's records (Rows,
// and a RowSource read forward) as the engine's record cursors, and the
// datasets of a render opened and linked to their masters.
#include <utility>

#include "platform/internal/unicode.h"
#include "platform/loaders/stream_dataset.h"
#include "qxrtf/internal/api_data.h"
#include "qxrtf/internal/api_values.h"

namespace qxrtf {

namespace {

// Takes `record` as the `number`-th record of dataset `name`: one value a
// column, each null or of its column's kind (an Integer becomes a Number, a
// Date a DateTime, for columns of those kinds). Raises Error otherwise.
void FitRecord(const std::string& name, const std::vector<Column>& columns,
               std::vector<Value>& record, std::int64_t number) {
    if (record.size() != columns.size())
        throw Error(name + ": a record of " + std::to_string(record.size()) + " values for " +
                    std::to_string(columns.size()) + " columns");
    for (std::size_t i = 0; i < record.size(); ++i) {
        const Kind have = record[i].GetKind();
        const Kind want = columns[i].kind;
        if (have == want || have == Kind::Null) continue;
        if (want == Kind::Number && have == Kind::Integer) {
            record[i] = record[i].AsNumber();
        } else if (want == Kind::DateTime && have == Kind::Date) {
            record[i] = record[i].AsDateTime();
        } else {
            throw Error(name + ": record " + std::to_string(number) + ", column " +
                        columns[i].name + ": the value is not of the column's kind");
        }
    }
}

void ToFieldValues(const std::vector<Value>& record, std::vector<qx::TFieldValue>& values) {
    values.clear();
    for (const Value& v : record) values.push_back(FieldValueOf(v));
}

// The application's records as a record cursor, which a keyed link can
// also make a detail of.
class ApplicationRecords : public qx::TStreamDataSet {
  public:
    ApplicationRecords(const std::string& name, const std::vector<Column>& columns,
                       std::unique_ptr<qx::TRecordReader> reader)
        : TStreamDataSet(name) {
        for (const Column& c : columns) AddField(c.name, FieldTypeOf(c.kind));
        SetReader(std::move(reader));
    }
};

class RowsReader : public qx::TRecordReader {
  public:
    explicit RowsReader(std::shared_ptr<const Rows> rows) : FRows(std::move(rows)) {}
    void Rewind() override { FNext = 0; }
    bool ReadNext(std::vector<qx::TFieldValue>& values) override {
        if (FNext >= FRows->Records().size()) return false;
        ToFieldValues(FRows->Records()[FNext++], values);
        return true;
    }
    void SeekRecord(std::int64_t index) override { FNext = static_cast<std::size_t>(index); }
    std::int64_t KnownCount() const override {
        return static_cast<std::int64_t>(FRows->Records().size());
    }

  private:
    std::shared_ptr<const Rows> FRows;
    std::size_t FNext = 0;
};

class SourceReader : public qx::TRecordReader {
  public:
    SourceReader(std::string name, std::vector<Column> columns, std::unique_ptr<RowSource> source)
        : FName(std::move(name)), FColumns(std::move(columns)), FSource(std::move(source)) {}
    void Rewind() override {
        FSource->Rewind();
        FRead = 0;
    }
    bool ReadNext(std::vector<qx::TFieldValue>& values) override {
        FRecord.clear();
        if (!FSource->Next(FRecord)) return false;
        FitRecord(FName, FColumns, FRecord, ++FRead);
        ToFieldValues(FRecord, values);
        return true;
    }

  private:
    std::string FName;
    std::vector<Column> FColumns;
    std::unique_ptr<RowSource> FSource;
    std::vector<Value> FRecord;
    std::int64_t FRead = 0;
};

struct RowsImpl : Dataset::Impl {
    explicit RowsImpl(Rows rows)
        : Impl(rows.Name()), rows(std::make_shared<const Rows>(std::move(rows))) {}
    std::unique_ptr<qx::TDataSet> Open(OpenContext&) const override {
        return std::make_unique<ApplicationRecords>(name, rows->Columns(),
                                                    std::make_unique<RowsReader>(rows));
    }
    std::shared_ptr<const Rows> rows;
};

struct SourceImpl : Dataset::Impl {
    SourceImpl(std::string name, std::function<std::unique_ptr<RowSource>()> make)
        : Impl(std::move(name)), make(std::move(make)) {}
    std::unique_ptr<qx::TDataSet> Open(OpenContext&) const override {
        std::unique_ptr<RowSource> source = make();
        if (source == nullptr) throw Error(name + ": no row source was made");
        std::vector<Column> columns = source->Columns();
        auto reader = std::make_unique<SourceReader>(name, columns, std::move(source));
        return std::make_unique<ApplicationRecords>(name, columns, std::move(reader));
    }
    std::function<std::unique_ptr<RowSource>()> make;
};

}  // namespace

Rows::Rows(std::string name, std::vector<Column> columns)
    : FName(std::move(name)), FColumns(std::move(columns)) {}

Rows& Rows::Add(std::vector<Value> record) {
    FitRecord(FName, FColumns, record, static_cast<std::int64_t>(FRecords.size()) + 1);
    FRecords.push_back(std::move(record));
    return *this;
}

Dataset::Dataset(Rows rows) : FImpl(std::make_shared<RowsImpl>(std::move(rows))) {}

Dataset::Dataset(std::string name, std::function<std::unique_ptr<RowSource>()> make)
    : FImpl(std::make_shared<SourceImpl>(std::move(name), std::move(make))) {}

const std::string& Dataset::Name() const {
    return FImpl->name;
}

Data& Data::Add(Dataset set) {
    for (const Dataset& d : FSets)
        if (qx::SameText(d.Name(), set.Name()))
            throw Error("Dataset " + set.Name() + " is given twice");
    FSets.push_back(std::move(set));
    return *this;
}

Data& Data::Link(std::string detail, std::string master) {
    FLinks.push_back({std::move(detail), std::move(master), "", ""});
    return *this;
}

Data& Data::Link(std::string detail, std::string master, std::string detailField,
                 std::string masterField) {
    if (detailField.empty() || masterField.empty())
        throw Error("Detail " + detail + ": give both key fields to link it to " + master);
    FLinks.push_back(
        {std::move(detail), std::move(master), std::move(detailField), std::move(masterField)});
    return *this;
}

qx::TOpenedDataSets OpenData(const Data& data, OpenContext& context) {
    qx::TOpenedDataSets opened;
    for (const Dataset& set : data.Sets()) opened.Add(set.GetImpl().Open(context));
    for (const DetailLink& link : data.Links())
        qx::LinkDetail({link.detail, link.master, link.detailField, link.masterField}, opened);
    opened.OpenUnlinked();
    return opened;
}

}  // namespace qxrtf
