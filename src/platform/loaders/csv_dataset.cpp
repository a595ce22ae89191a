#include "platform/loaders/csv_dataset.h"

#include "platform/loaders/prefetch_reader.h"
#include "platform/loaders/split_point.h"

#include <csv.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <stop_token>
#include <string_view>
#include <thread>

namespace qx {

namespace {

// libcsv's parser state between rows (its ROW_NOT_BEGUN): only there may
// reading start again at a remembered offset.
constexpr int kParserBetweenRows = 0;
// A remembered row offset every this many rows.
constexpr std::int64_t kRowsPerMark = 1024;
// Rows from which a file is parsed ahead on a thread of its own.
constexpr std::int64_t kPrefetchRows = 4096;
// Bytes read from the file at a time.
constexpr std::size_t kBlockBytes = 256 * 1024;
// A file whose rows take no more memory than this is parsed once: the rows
// read when it is opened are kept and the cursor reads them.
constexpr std::size_t kKeptRowBytes = 2 * 1024 * 1024;
constexpr unsigned char kParserOptions = CSV_STRICT | CSV_STRICT_FINI | CSV_EMPTY_IS_NULL;

int IsBlank(unsigned char c) {
    return c == ' ';
}

// One row: its cells' bytes one after another, and where each cell ends.
// A row keeps its storage from row to row (rows pass from the parser to
// the reader by swapping), so reading a file allocates next to nothing
// once the first rows are read.
struct TCsvRow {
    struct TCell {
        std::size_t end;
        bool null;  // an empty field without quotes
    };
    std::string text;
    std::vector<TCell> cells;
    std::int64_t line = 0;  // where the row begins, from 1

    std::size_t Size() const { return cells.size(); }
    std::string_view Text(std::size_t cell) const {
        const std::size_t begin = cell == 0 ? 0 : cells[cell - 1].end;
        return std::string_view(text).substr(begin, cells[cell].end - begin);
    }
    bool Null(std::size_t cell) const { return cells[cell].null; }
    void Clear() {
        text.clear();
        cells.clear();
    }
};

// Rows kept in one piece of memory: the rows of a small file, read once.
class TKeptRows {
  public:
    void Add(const TCsvRow& row) {
        FRows.push_back({FText.size(), FCells.size(), row.line});
        FText += row.text;
        FCells.insert(FCells.end(), row.cells.begin(), row.cells.end());
    }
    std::size_t Bytes() const {
        return FText.capacity() + FCells.capacity() * sizeof(TCsvRow::TCell) +
               FRows.capacity() * sizeof(TKept);
    }
    std::int64_t Count() const { return static_cast<std::int64_t>(FRows.size()); }
    // Adds the rows of `later`, whose line numbers count from `lineBase` + 1.
    void Append(const TKeptRows& later, std::int64_t lineBase) {
        for (const TKept& kept : later.FRows)
            FRows.push_back(
                {FText.size() + kept.text, FCells.size() + kept.cell, lineBase + kept.line});
        FText += later.FText;
        FCells.insert(FCells.end(), later.FCells.begin(), later.FCells.end());
    }
    void Get(std::int64_t index, TCsvRow& row) const {
        const auto i = static_cast<std::size_t>(index);
        const TKept& kept = FRows[i];
        const bool last = i + 1 == FRows.size();
        const std::size_t textEnd = last ? FText.size() : FRows[i + 1].text;
        const std::size_t cellEnd = last ? FCells.size() : FRows[i + 1].cell;
        row.text.assign(FText, kept.text, textEnd - kept.text);
        row.cells.assign(FCells.begin() + static_cast<std::ptrdiff_t>(kept.cell),
                         FCells.begin() + static_cast<std::ptrdiff_t>(cellEnd));
        row.line = kept.line;
    }

  private:
    struct TKept {
        std::size_t text;  // where its bytes begin in FText
        std::size_t cell;  // its first cell in FCells
        std::int64_t line;
    };
    std::string FText;
    std::vector<TCsvRow::TCell> FCells;
    std::vector<TKept> FRows;
};

// Where a row begins in the file.
struct TRowMark {
    long offset;
    std::int64_t line;
    std::int64_t row;  // rows of the file (header included) before it
};

// Reads the rows of a CSV file one at a time. The file is read in large
// blocks; libcsv gets one line at a time from the block, so that it is
// known where each row begins.
class TCsvScanner {
  public:
    TCsvScanner(std::string dataSetName, std::string fileName, char delimiter)
        : FName(std::move(dataSetName)), FFile(std::move(fileName)), FDelimiter(delimiter) {
        FStream = std::fopen(FFile.c_str(), "rb");
        if (FStream == nullptr) FailDataSet(FName, "cannot read " + FFile);
        // The blocks are the buffer: stdio's own would only be copied from.
        std::setvbuf(FStream, nullptr, _IONBF, 0);
        FBlock.resize(kBlockBytes);
        FMarks.push_back({0, 1, 0});
        SeekTo(FMarks.front());
        if (FPos == FEnd) Refill();
        if (FEnd - FPos >= 3 && std::memcmp(FBlock.data() + FPos, "\xEF\xBB\xBF", 3) == 0) {
            FPos += 3;
            FOffset = FMarks.front().offset = 3;
        }
    }
    ~TCsvScanner() {
        csv_free(&FParser);
        if (FStream != nullptr) std::fclose(FStream);
    }
    TCsvScanner(const TCsvScanner&) = delete;
    TCsvScanner& operator=(const TCsvScanner&) = delete;

    // The index of the row NextRow returns next (the header is row 0).
    std::int64_t NextRowIndex() const {
        return FRowsDone - static_cast<std::int64_t>(FDoneEnd - FDoneNext);
    }

    // The next row; false at the end of the file, or where StopAt stops.
    bool NextRow(TCsvRow& row) {
        if (FDoneNext == FDoneEnd) {
            FDoneNext = FDoneEnd = 0;
            while (FDoneEnd == 0 && !FFinished && FOffset != FStopAt)
                if (!FeedLine()) Finish();
            if (FDoneEnd == 0) return false;
        }
        std::swap(row, FDone[FDoneNext++]);
        return true;
    }

    // NextRow gives no row that goes on past `offset` (a line start, or -1:
    // none).
    void StopAt(long offset) { FStopAt = offset; }
    // Whether reading is at the offset given to StopAt, between two rows.
    bool StoppedBetweenRows() const {
        return FOffset == FStopAt && FParser.pstate == kParserBetweenRows &&
               FCurrent.cells.empty() && FDoneNext == FDoneEnd;
    }
    std::int64_t LineNo() const { return FLineNo; }
    long Offset() const { return FOffset; }

    // Reads from `offset` (a line start) on, counting lines and rows from
    // there: line 1, row 0.
    void StartAt(long offset) {
        FMarks.assign(1, {offset, 1, 0});
        SeekTo(FMarks.front());
    }
    // Takes in the offsets remembered by `later`, which started at the
    // line after line `lineBase` of this file, `rowBase` rows into it.
    void AddMarks(const TCsvScanner& later, std::int64_t lineBase, std::int64_t rowBase) {
        for (const TRowMark& m : later.FMarks)
            FMarks.push_back({m.offset, lineBase + m.line, rowBase + m.row});
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

    // Raises the error of a row with other than `fields` fields.
    void CheckWidth(const TCsvRow& row, std::size_t fields) const {
        if (row.Size() != fields)
            Fail(row.line, std::to_string(row.Size()) + " fields where the header has " +
                               std::to_string(fields));
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
        // Within the block read last, no reading is needed.
        if (mark.offset >= FBlockOffset && mark.offset <= FBlockOffset + static_cast<long>(FEnd)) {
            FPos = static_cast<std::size_t>(mark.offset - FBlockOffset);
        } else {
            if (std::fseek(FStream, mark.offset, SEEK_SET) != 0)
                FailDataSet(FName, "cannot read " + FFile);
            FBlockOffset = mark.offset;
            FPos = FEnd = 0;
        }
        FOffset = mark.offset;
        FLineNo = mark.line;
        FRowsDone = mark.row;
        FDoneNext = FDoneEnd = 0;
        FCurrent.Clear();
        FFinished = false;
    }

    // Reads the next block; false at the end of the file.
    bool Refill() {
        FBlockOffset += static_cast<long>(FEnd);
        FPos = 0;
        FEnd = std::fread(FBlock.data(), 1, FBlock.size(), FStream);
        if (FEnd == 0 && std::ferror(FStream)) FailDataSet(FName, "cannot read " + FFile);
        return FEnd != 0;
    }

    // Gives libcsv the rest of the current line, or as much of it as the
    // block holds; false at the end of the file.
    bool FeedLine() {
        if (FPos == FEnd && !Refill()) return false;
        const char* begin = FBlock.data() + FPos;
        const auto* newline = static_cast<const char*>(std::memchr(begin, '\n', FEnd - FPos));
        const std::size_t length =
            newline != nullptr ? static_cast<std::size_t>(newline - begin) + 1 : FEnd - FPos;
        if (FParser.pstate == kParserBetweenRows && FCurrent.cells.empty()) FCurrent.line = FLineNo;
        if (csv_parse(&FParser, begin, length, OnField, OnRow, this) != length)
            Fail(FLineNo,
                 "misplaced quote (" + std::string(csv_strerror(csv_error(&FParser))) + ")");
        FPos += length;
        FOffset += static_cast<long>(length);
        if (newline != nullptr) ++FLineNo;
        if (FParser.pstate == kParserBetweenRows && FRowsDone - FMarks.back().row >= kRowsPerMark)
            FMarks.push_back({FOffset, FLineNo, FRowsDone});
        return true;
    }

    void Finish() {
        if (csv_fini(&FParser, OnField, OnRow, this) != 0)
            Fail(FCurrent.line, "quoted field not closed before the end of the file");
        FFinished = true;
    }

    static void OnField(void* data, std::size_t length, void* self) {
        TCsvRow& row = static_cast<TCsvScanner*>(self)->FCurrent;
        if (data != nullptr) row.text.append(static_cast<const char*>(data), length);
        row.cells.push_back({row.text.size(), data == nullptr});
    }
    static void OnRow(int, void* self) {
        auto* s = static_cast<TCsvScanner*>(self);
        const std::int64_t line = s->FCurrent.line;
        if (s->FDoneEnd == s->FDone.size()) s->FDone.emplace_back();
        std::swap(s->FCurrent, s->FDone[s->FDoneEnd++]);
        s->FCurrent.Clear();
        s->FCurrent.line = line;
        ++s->FRowsDone;
    }

    std::string FName;
    std::string FFile;
    char FDelimiter;
    std::FILE* FStream = nullptr;
    csv_parser FParser{};
    bool FParserReady = false;
    std::vector<char> FBlock;
    long FBlockOffset = 0;  // of FBlock[0] in the file
    std::size_t FPos = 0;   // the next byte of the block to parse
    std::size_t FEnd = 0;   // the bytes in the block
    long FOffset = 0;       // of FBlock[FPos]
    std::int64_t FLineNo = 1;
    std::int64_t FRowsDone = 0;  // rows completed by the parser
    long FStopAt = -1;
    TCsvRow FCurrent;  // the row being parsed
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

// Reads the cell `column` of `row` into `value` (its storage reused).
void CellValue(const TCsvScanner& scanner, const TCsvRow& row, std::size_t column,
               const std::string& fieldName, TFieldType type, TFieldValue& value,
               char decimalSeparator) {
    const std::string_view text = row.Text(column);
    if (row.Null(column) || (text.empty() && !IsTextType(type))) {
        value = {};
        return;
    }
    if (!ValueFromText(text, type, value, decimalSeparator))
        scanner.Fail(row.line, "'" + std::string(text) + "' in field " + fieldName + " is not " +
                                   TypeWord(type));
}

// What reading rows when the file is opened finds: whether each row is
// whole and each value fits a given type, what the values tell of the
// other columns' types, how many rows there are, and the rows themselves
// while they are few.
class TCsvSurvey {
  public:
    TCsvSurvey(const std::vector<std::string>& names, const std::vector<TFieldType>& types,
               char decimalSeparator)
        : FNames(names),
          FTypes(types),
          FDecimalSeparator(decimalSeparator),
          FGuesses(names.size(), TTextTypeGuess(decimalSeparator)) {}

    // Reads the rows the scanner gives, until `stop` asks it to stop.
    void Read(TCsvScanner& scanner, std::stop_token stop = {}) {
        TCsvRow row;
        TFieldValue checked;
        while (!stop.stop_requested() && scanner.NextRow(row)) {
            scanner.CheckWidth(row, FNames.size());
            for (std::size_t c = 0; c < FNames.size(); ++c) {
                if (FTypes[c] != ftUnknown)
                    CellValue(scanner, row, c, FNames[c], FTypes[c], checked, FDecimalSeparator);
                else if (!row.Text(c).empty())
                    FGuesses[c].See(row.Text(c), row.line);
            }
            if (FKept) {
                FKept->Add(row);
                if (FKept->Bytes() > kKeptRowBytes) FKept.reset();
            }
            ++FCount;
        }
    }
    // Takes in the survey of the rows that follow, whose line numbers
    // count from `lineBase` + 1.
    void Append(TCsvSurvey& later, std::int64_t lineBase) {
        for (std::size_t c = 0; c < FGuesses.size(); ++c)
            FGuesses[c].Merge(later.FGuesses[c], lineBase);
        FCount += later.FCount;
        if (FKept && later.FKept) FKept->Append(*later.FKept, lineBase);
        if (FKept && (!later.FKept || FKept->Bytes() > kKeptRowBytes)) FKept.reset();
    }

    std::int64_t Count() const { return FCount; }
    TFieldType GuessedType(std::size_t column) const { return FGuesses[column].Type(); }
    const TTextTypeGuess& Guess(std::size_t column) const { return FGuesses[column]; }
    char DecimalSeparator() const { return FDecimalSeparator; }
    // Every row, or nullptr when they take too much memory to keep.
    std::unique_ptr<TKeptRows> TakeKept() { return std::move(FKept); }

  private:
    const std::vector<std::string>& FNames;
    const std::vector<TFieldType>& FTypes;  // given, or ftUnknown
    char FDecimalSeparator;
    std::vector<TTextTypeGuess> FGuesses;
    std::unique_ptr<TKeptRows> FKept = std::make_unique<TKeptRows>();
    std::int64_t FCount = 0;
};

// The rows of a file from a line start on, surveyed on a thread of their
// own while the rows before are surveyed on the caller's.
class TCsvSecondPart {
  public:
    TCsvSecondPart(const std::string& dataSetName, const std::string& fileName, char delimiter,
                   long start, const std::vector<std::string>& names,
                   const std::vector<TFieldType>& types, char decimalSeparator)
        : FSurvey(names, types, decimalSeparator),
          FThread([this, dataSetName, fileName, delimiter, start](std::stop_token stop) {
              try {
                  FScanner = std::make_unique<TCsvScanner>(dataSetName, fileName, delimiter);
                  FScanner->StartAt(start);
                  FSurvey.Read(*FScanner, stop);
                  FSurveyed = !stop.stop_requested();
              } catch (...) {
                  // Read again on the caller's thread, the fault is raised
                  // there with its place in the whole file.
              }
          }) {}

    void Cancel() { FThread.request_stop(); }
    // Waits for the thread; false when it met a fault.
    bool Wait() {
        FThread.join();
        return FSurveyed;
    }
    TCsvSurvey& Survey() { return FSurvey; }
    const TCsvScanner& Scanner() const { return *FScanner; }

  private:
    TCsvSurvey FSurvey;
    std::unique_ptr<TCsvScanner> FScanner;
    bool FSurveyed = false;
    std::jthread FThread;  // last: it works on the members above
};

// Surveys the rows after the header. In a large file, those from a line
// start near the middle on are surveyed on a second thread meanwhile;
// reading here stops there, and takes that survey if the line start is
// one between rows (not inside a quoted value) and the second thread met
// no fault. Any other way, reading goes on here, so that a fault is
// raised where a reading from the start raises it.
void SurveyRows(TCsvScanner& scanner, const std::string& dataSetName, const std::string& fileName,
                char delimiter, TCsvSurvey& survey, const std::vector<std::string>& names,
                const std::vector<TFieldType>& types) {
    const long split = CsvSplitPoint(fileName);
    std::unique_ptr<TCsvSecondPart> second;
    if (split > scanner.Offset())
        second = StartSecondPart<TCsvSecondPart>(dataSetName, fileName, delimiter, split, names,
                                                 types, survey.DecimalSeparator());
    if (!second) {
        survey.Read(scanner);
        return;
    }
    scanner.StopAt(split);
    survey.Read(scanner);
    const bool atSplit = scanner.StoppedBetweenRows();
    scanner.StopAt(-1);
    if (!atSplit) second->Cancel();
    if (atSplit && second->Wait()) {
        const std::int64_t lineBase = scanner.LineNo() - 1;
        survey.Append(second->Survey(), lineBase);
        scanner.AddMarks(second->Scanner(), lineBase, scanner.NextRowIndex());
        return;
    }
    survey.Read(scanner);
}

class TCsvReader : public TRecordReader {
  public:
    // With `kept` holding every row of the file, the file is not read again.
    TCsvReader(std::unique_ptr<TCsvScanner> scanner, std::unique_ptr<TKeptRows> kept,
               std::vector<std::string> names, std::vector<TFieldType> types, std::int64_t count,
               char decimalSeparator)
        : FScanner(std::move(scanner)),
          FKept(std::move(kept)),
          FNames(std::move(names)),
          FTypes(std::move(types)),
          FCount(count),
          FDecimalSeparator(decimalSeparator) {
        Rewind();
    }

    void Rewind() override { SeekRecord(0); }
    void SeekRecord(std::int64_t index) override {
        if (FKept)
            FNextKept = index;
        else
            FScanner->SeekRow(index + 1);
    }
    std::int64_t KnownCount() const override { return FCount; }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        if (!FKept) {
            if (!FScanner->NextRow(FRow)) return false;
            // The file may have changed since it was opened.
            FScanner->CheckWidth(FRow, FTypes.size());
        } else if (FNextKept < FKept->Count()) {
            FKept->Get(FNextKept++, FRow);
        } else {
            return false;
        }
        values.resize(FTypes.size());
        for (std::size_t c = 0; c < FTypes.size(); ++c)
            CellValue(*FScanner, FRow, c, FNames[c], FTypes[c], values[c], FDecimalSeparator);
        return true;
    }

  private:
    std::unique_ptr<TCsvScanner> FScanner;
    std::unique_ptr<TKeptRows> FKept;
    std::int64_t FNextKept = 0;
    std::vector<std::string> FNames;
    std::vector<TFieldType> FTypes;
    std::int64_t FCount;
    char FDecimalSeparator;
    TCsvRow FRow;
};

}  // namespace

TCsvDataSet::TCsvDataSet(const std::string& name, const std::string& fileName,
                         const TCsvOptions& options, const TGuessOptions& guess)
    : TStreamDataSet(name) {
    auto scanner = std::make_unique<TCsvScanner>(name, fileName, options.delimiter);
    TCsvRow row;
    if (!scanner->NextRow(row)) FailDataSet(name, fileName + " has no header row");
    std::vector<std::string> names;
    std::vector<TFieldType> types;
    for (std::size_t c = 0; c < row.Size(); ++c) {
        if (row.Text(c).empty()) scanner->Fail(row.line, "a field of the header has no name");
        names.emplace_back(row.Text(c));
        types.push_back(GivenType(options.types, names.back()));
    }
    // The first pass checks every row and reads the types of the columns
    // not given, so a broken row fails before a report is written. The rows
    // of a small file are kept, so that it is parsed only once.
    const char separator = guess.decimalSeparator;
    TCsvSurvey survey(names, types, separator);
    SurveyRows(*scanner, name, fileName, options.delimiter, survey, names, types);
    for (std::size_t c = 0; c < names.size(); ++c) {
        if (types[c] == ftUnknown) {
            types[c] = survey.GuessedType(c);
            const std::string warning =
                types[c] == ftString ? survey.Guess(c).Votes().GivenUpWarning("line", names[c])
                                     : std::string();
            if (!warning.empty() && guess.warn) guess.warn(fileName, warning);
        }
        AddField(names[c], types[c]);
    }
    const std::int64_t count = survey.Count();
    auto reader =
        std::make_unique<TCsvReader>(std::move(scanner), survey.TakeKept(), std::move(names),
                                     std::move(types), count, separator);
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
