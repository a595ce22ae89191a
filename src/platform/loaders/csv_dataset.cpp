#include "platform/loaders/csv_dataset.h"

#include "platform/loaders/prefetch_reader.h"

#include <csv.h>

#include <cstdio>
#include <memory>

namespace qx {

namespace {

// libcsv's parser state between rows (its ROW_NOT_BEGUN): only there may
// reading start again at a remembered offset.
constexpr int kParserBetweenRows = 0;
// A remembered row offset every this many rows.
constexpr std::int64_t kRowsPerMark = 1024;
// Rows from which a file is parsed ahead on a thread of its own.
constexpr std::int64_t kPrefetchRows = 4096;
constexpr unsigned char kParserOptions = CSV_STRICT | CSV_STRICT_FINI | CSV_EMPTY_IS_NULL;

int IsBlank(unsigned char c) {
    return c == ' ';
}

struct TCsvCell {
    std::string text;
    bool null = false;  // an empty field without quotes
};

struct TCsvRow {
    std::vector<TCsvCell> cells;
    std::int64_t line = 0;  // where the row begins, from 1
};

// Rows pass from the parser to the reader by swapping: a row's cells keep
// their storage from row to row, so reading a file allocates next to
// nothing once the first rows are read.

// Where a row begins in the file.
struct TRowMark {
    long offset;
    std::int64_t line;
    std::int64_t row;  // rows of the file (header included) before it
};

// Reads the rows of a CSV file one at a time, feeding libcsv one line at a
// time so that it knows where each row begins.
class TCsvScanner {
  public:
    TCsvScanner(std::string dataSetName, std::string fileName, char delimiter)
        : FName(std::move(dataSetName)), FFile(std::move(fileName)), FDelimiter(delimiter) {
        FStream = std::fopen(FFile.c_str(), "rb");
        if (FStream == nullptr) FailDataSet(FName, "cannot read " + FFile);
        long start = 0;
        char bom[3] = {};
        if (std::fread(bom, 1, 3, FStream) == 3 && bom[0] == '\xEF' && bom[1] == '\xBB' &&
            bom[2] == '\xBF')
            start = 3;
        FMarks.push_back({start, 1, 0});
        SeekTo(FMarks.front());
    }
    ~TCsvScanner() {
        csv_free(&FParser);
        std::free(FLine);
        if (FStream != nullptr) std::fclose(FStream);
    }
    TCsvScanner(const TCsvScanner&) = delete;
    TCsvScanner& operator=(const TCsvScanner&) = delete;

    const std::string& FileName() const { return FFile; }
    // The index of the row NextRow returns next (the header is row 0).
    std::int64_t NextRowIndex() const {
        return FRowsDone - static_cast<std::int64_t>(FDoneEnd - FDoneNext);
    }

    bool NextRow(TCsvRow& row) {
        if (FDoneNext == FDoneEnd) {
            FDoneNext = FDoneEnd = 0;
            while (FDoneEnd == 0 && !FFinished) ReadLine();
            if (FDoneEnd == 0) return false;
        }
        std::swap(row, FDone[FDoneNext++]);
        return true;
    }

    // Positions on `row` (the header is row 0), from the nearest mark.
    void SeekRow(std::int64_t row) {
        const TRowMark* mark = &FMarks.front();
        for (const TRowMark& m : FMarks)
            if (m.row <= row) mark = &m;
        SeekTo(*mark);
        TCsvRow skipped;
        while (NextRowIndex() < row && NextRow(skipped)) {
        }
    }

    [[noreturn]] void Fail(std::int64_t line, const std::string& why) const {
        FailDataSet(FName, FFile + ":" + std::to_string(line) + ": " + why);
    }

  private:
    void SeekTo(const TRowMark& mark) {
        if (FParserReady) csv_free(&FParser);
        FParserReady = csv_init(&FParser, kParserOptions) == 0;
        if (!FParserReady) FailDataSet(FName, "cannot start the CSV reader");
        csv_set_delim(&FParser, static_cast<unsigned char>(FDelimiter));
        // libcsv's own test for blanks (space and tab) is inline: a function
        // is given only where a tab is the delimiter.
        if (FDelimiter == '\t') csv_set_space_func(&FParser, IsBlank);
        if (std::fseek(FStream, mark.offset, SEEK_SET) != 0)
            FailDataSet(FName, "cannot read " + FFile);
        FOffset = mark.offset;
        FLineNo = mark.line;
        FRowsDone = mark.row;
        FDoneNext = FDoneEnd = 0;
        FCells = 0;
        FFinished = false;
    }

    void ReadLine() {
        const ssize_t n = getline(&FLine, &FLineCapacity, FStream);
        if (n <= 0) {
            if (std::ferror(FStream)) FailDataSet(FName, "cannot read " + FFile);
            Finish();
            return;
        }
        if (FParser.pstate == kParserBetweenRows && FCells == 0) FCurrent.line = FLineNo;
        const std::size_t length = static_cast<std::size_t>(n);
        if (csv_parse(&FParser, FLine, length, OnField, OnRow, this) != length)
            Fail(FLineNo,
                 "misplaced quote (" + std::string(csv_strerror(csv_error(&FParser))) + ")");
        FOffset += static_cast<long>(n);
        if (FLine[n - 1] == '\n') ++FLineNo;
        if (FParser.pstate == kParserBetweenRows && FRowsDone - FMarks.back().row >= kRowsPerMark)
            FMarks.push_back({FOffset, FLineNo, FRowsDone});
    }

    void Finish() {
        if (csv_fini(&FParser, OnField, OnRow, this) != 0)
            Fail(FCurrent.line, "quoted field not closed before the end of the file");
        FFinished = true;
    }

    static void OnField(void* data, std::size_t length, void* self) {
        auto* s = static_cast<TCsvScanner*>(self);
        std::vector<TCsvCell>& cells = s->FCurrent.cells;
        if (s->FCells == cells.size()) cells.emplace_back();
        TCsvCell& cell = cells[s->FCells++];
        cell.null = data == nullptr;
        if (data != nullptr)
            cell.text.assign(static_cast<const char*>(data), length);
        else
            cell.text.clear();
    }
    static void OnRow(int, void* self) {
        auto* s = static_cast<TCsvScanner*>(self);
        const std::int64_t line = s->FCurrent.line;
        s->FCurrent.cells.resize(s->FCells);
        if (s->FDoneEnd == s->FDone.size()) s->FDone.emplace_back();
        std::swap(s->FCurrent, s->FDone[s->FDoneEnd++]);
        s->FCells = 0;
        s->FCurrent.line = line;
        ++s->FRowsDone;
    }

    std::string FName;
    std::string FFile;
    char FDelimiter;
    std::FILE* FStream = nullptr;
    csv_parser FParser{};
    bool FParserReady = false;
    char* FLine = nullptr;
    std::size_t FLineCapacity = 0;
    long FOffset = 0;
    std::int64_t FLineNo = 1;
    std::int64_t FRowsDone = 0;  // rows completed by the parser
    TCsvRow FCurrent;            // the row being parsed
    std::size_t FCells = 0;      // its cells so far (FCurrent.cells may hold spare ones)
    // Rows completed by the parser: FDone[FDoneNext, FDoneEnd) are not yet
    // returned; the rest are storage for the next ones.
    std::vector<TCsvRow> FDone;
    std::size_t FDoneNext = 0;
    std::size_t FDoneEnd = 0;
    std::vector<TRowMark> FMarks;
    bool FFinished = false;
};

const char* TypeWord(TFieldType type) {
    switch (type) {
        case ftBoolean:
            return "a boolean";
        case ftDate:
        case ftDateTime:
        case ftTime:
            return "an ISO-8601 date or time";
        case ftFloat:
        case ftCurrency:
            return "a number";
        default:
            return "an integer";
    }
}

TFieldValue CellValue(const TCsvScanner& scanner, const TCsvRow& row, std::size_t column,
                      const std::string& fieldName, TFieldType type) {
    const TCsvCell& cell = row.cells[column];
    if (cell.null || (cell.text.empty() && !IsTextType(type))) return {};
    TFieldValue value;
    if (!ValueFromText(cell.text, type, value))
        scanner.Fail(row.line,
                     "'" + cell.text + "' in field " + fieldName + " is not " + TypeWord(type));
    return value;
}

class TCsvReader : public TRecordReader {
  public:
    TCsvReader(std::unique_ptr<TCsvScanner> scanner, std::vector<std::string> names,
               std::vector<TFieldType> types, std::int64_t count)
        : FScanner(std::move(scanner)),
          FNames(std::move(names)),
          FTypes(std::move(types)),
          FCount(count) {
        Rewind();
    }

    void Rewind() override { FScanner->SeekRow(1); }
    void SeekRecord(std::int64_t index) override { FScanner->SeekRow(index + 1); }
    std::int64_t KnownCount() const override { return FCount; }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        if (!FScanner->NextRow(FRow)) return false;
        values.resize(FTypes.size());
        for (std::size_t c = 0; c < FTypes.size(); ++c)
            values[c] = CellValue(*FScanner, FRow, c, FNames[c], FTypes[c]);
        return true;
    }

  private:
    std::unique_ptr<TCsvScanner> FScanner;
    std::vector<std::string> FNames;
    std::vector<TFieldType> FTypes;
    std::int64_t FCount;
    TCsvRow FRow;
};

}  // namespace

TCsvDataSet::TCsvDataSet(const std::string& name, const std::string& fileName,
                         const TCsvOptions& options)
    : TStreamDataSet(name) {
    auto scanner = std::make_unique<TCsvScanner>(name, fileName, options.delimiter);
    TCsvRow row;
    if (!scanner->NextRow(row)) FailDataSet(name, fileName + " has no header row");
    std::vector<std::string> names;
    std::vector<TFieldType> types;
    for (const TCsvCell& cell : row.cells) {
        if (cell.text.empty()) scanner->Fail(row.line, "a field of the header has no name");
        names.push_back(cell.text);
        types.push_back(GivenType(options.types, cell.text));
    }
    // The first pass checks every row and reads the types of the columns
    // not given, so a broken row fails before a report is written.
    std::vector<TTextTypeGuess> guesses(names.size());
    std::int64_t count = 0;
    for (; scanner->NextRow(row); ++count) {
        if (row.cells.size() != names.size())
            scanner->Fail(row.line, std::to_string(row.cells.size()) +
                                        " fields where the header has " +
                                        std::to_string(names.size()));
        for (std::size_t c = 0; c < names.size(); ++c) {
            if (types[c] != ftUnknown)
                CellValue(*scanner, row, c, names[c], types[c]);
            else if (!row.cells[c].text.empty())
                guesses[c].See(row.cells[c].text);
        }
    }
    for (std::size_t c = 0; c < names.size(); ++c) {
        if (types[c] == ftUnknown) types[c] = guesses[c].Type();
        AddField(names[c], types[c]);
    }
    auto reader =
        std::make_unique<TCsvReader>(std::move(scanner), std::move(names), std::move(types), count);
    // A large file is parsed on a thread of its own while the report runs;
    // for a small one, starting the thread would cost more than it saves.
    if (count >= kPrefetchRows)
        SetReader(std::make_unique<TPrefetchReader>(std::move(reader)));
    else
        SetReader(std::move(reader));
    First();
}

TCsvDataSet::~TCsvDataSet() = default;

}  // namespace qx
