#include "platform/loaders/sqlite_dataset.h"

#include <sqlite3.h>

#include <fstream>

#include "platform/internal/unicode.h"
#include "platform/loaders/pg_sql.h"
#include "platform/loaders/internal/sqlite_read_only.h"
#include "platform/sysutils.h"

namespace qx {

namespace {

// Days between SQLite's epochs and ours (1899-12-30).
constexpr double kJulianDayOfOurEpoch = 2415018.5;
// The Julian day of 9999-12-31: a larger number in a date column is Unix
// time. (SQLite stores a whole Julian day in a DATE column as an integer,
// so the storage class cannot tell the two apart.)
constexpr double kLastJulianDay = 5373484.5;
constexpr double kUnixEpochDay = 25569.0;
constexpr double kSecondsPerDay = 86400.0;

struct DeclaredType {
    const char* part;  // found anywhere in the declared type, upper case
    TFieldType type;
};
// Checked in order: DATETIME before DATE and TIME, POINT is an INT as in
// SQLite's own affinity rules.
constexpr DeclaredType kDeclaredTypes[] = {
    {"BOOL", ftBoolean}, {"DATETIME", ftDateTime}, {"TIMESTAMP", ftDateTime}, {"DATE", ftDate},
    {"TIME", ftTime},    {"INT", ftLargeint},      {"CHAR", ftString},        {"CLOB", ftString},
    {"TEXT", ftString},  {"BLOB", ftBlob},         {"REAL", ftFloat},         {"FLOA", ftFloat},
    {"DOUB", ftFloat},   {"MONEY", ftCurrency},    {"CURRENCY", ftCurrency},  {"NUM", ftBCD},
    {"DEC", ftBCD},
};

std::string QuoteIdentifier(const std::string& name) {
    std::string quoted = "\"";
    for (char c : name) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

void BindField(sqlite3_stmt* st, int index, const TField& field) {
    if (field.IsNull()) {
        sqlite3_bind_null(st, index);
        return;
    }
    const TFieldType type = field.DataType();
    if (IsIntegerType(type)) {
        sqlite3_bind_int64(st, index, field.AsLargeInt());
    } else if (type == ftFloat || type == ftCurrency || type == ftBCD || type == ftFMTBcd) {
        sqlite3_bind_double(st, index, field.AsFloat());
    } else if (type == ftBoolean) {
        sqlite3_bind_int(st, index, field.AsBoolean() ? 1 : 0);
    } else if (IsDateTimeType(type)) {
        sqlite3_bind_text(st, index, IsoText(type, field.AsDateTime()).c_str(), -1,
                          SQLITE_TRANSIENT);
    } else {
        const std::string bytes = field.AsBytes();
        if (field.IsBlob())
            sqlite3_bind_blob64(st, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
        else
            sqlite3_bind_text64(st, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT,
                                SQLITE_UTF8);
    }
}

// A number in a date column, in one of SQLite's own forms: a Julian day
// number (julianday()) or Unix seconds (unixepoch()).
TDateTime DateFromNumber(double n) {
    if (n <= kLastJulianDay) return n - kJulianDayOfOurEpoch;
    return n / kSecondsPerDay + kUnixEpochDay;
}

TFieldType TypeOfStoredValue(int storageClass) {
    switch (storageClass) {
        case SQLITE_INTEGER:
            return ftLargeint;
        case SQLITE_FLOAT:
            return ftFloat;
        case SQLITE_BLOB:
            return ftBlob;
        default:
            return ftString;
    }
}

}  // namespace

// A prepared statement and what its errors name.
class TSqliteStatement {
  public:
    TSqliteStatement(std::shared_ptr<TSqliteDatabase> db, std::string dataSetName, std::string sql)
        : FDb(std::move(db)), FName(std::move(dataSetName)), FSql(std::move(sql)) {
        FDb->Guard().Clear();
        const char* tail = nullptr;
        const int prepared = sqlite3_prepare_v2(FDb->Handle(), FSql.c_str(), -1, &FStmt, &tail);
        const std::string refused = FDb->Guard().Why(prepared == SQLITE_OK ? FStmt : nullptr);
        if (!refused.empty()) {
            sqlite3_finalize(FStmt);
            FailDataSet(FName, FDb->FileName() + ": only reading is allowed, not " + refused +
                                   ", in the query: " + FSql);
        }
        if (prepared != SQLITE_OK) {
            const int offset = sqlite3_error_offset(FDb->Handle());
            std::string why = FDb->FileName() + ": " + sqlite3_errmsg(FDb->Handle());
            if (offset >= 0) why += " at character " + std::to_string(offset + 1);
            sqlite3_finalize(FStmt);
            FailDataSet(FName, why + " in the query: " + FSql);
        }
        if (FStmt == nullptr) FailDataSet(FName, "the query is empty");
        // SQLite would run the first statement and silently drop the rest.
        if (HasAnotherStatement(tail)) {
            sqlite3_finalize(FStmt);
            FailDataSet(FName, "the query holds more than one statement: " + FSql);
        }
    }
    ~TSqliteStatement() { sqlite3_finalize(FStmt); }
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    sqlite3_stmt* Handle() const { return FStmt; }
    const std::string& DataSetName() const { return FName; }
    // True for a row, false at the end; raises SQLite's message otherwise.
    bool Step() {
        const int rc = sqlite3_step(FStmt);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        FailDataSet(FName, FDb->FileName() + ": " + sqlite3_errmsg(FDb->Handle()));
    }
    void Reset() { sqlite3_reset(FStmt); }
    [[noreturn]] void FailValue(std::int64_t row, int column, const std::string& why) const {
        FailDataSet(FName, FDb->FileName() + ": row " + std::to_string(row + 1) + ", field " +
                               sqlite3_column_name(FStmt, column) + ": " + why);
    }

  private:
    // True when `rest` holds more than blanks, comments and empty statements.
    bool HasAnotherStatement(const char* rest) const {
        while (rest != nullptr && *rest != '\0') {
            sqlite3_stmt* next = nullptr;
            const char* after = nullptr;
            const int prepared = sqlite3_prepare_v2(FDb->Handle(), rest, -1, &next, &after);
            sqlite3_finalize(next);
            if (prepared != SQLITE_OK || next != nullptr) return true;
            if (after == nullptr || after <= rest) return false;
            rest = after;
        }
        return false;
    }

    std::shared_ptr<TSqliteDatabase> FDb;
    std::string FName;
    std::string FSql;
    sqlite3_stmt* FStmt = nullptr;
};

namespace {

class TSqliteReader : public TRecordReader {
  public:
    TSqliteReader(std::shared_ptr<TSqliteStatement> statement, std::vector<TFieldType> types,
                  std::int64_t knownCount)
        : FStatement(std::move(statement)), FTypes(std::move(types)), FKnownCount(knownCount) {}

    void Rewind() override {
        FStatement->Reset();
        FRow = 0;
    }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        if (!FStatement->Step()) return false;
        values.resize(FTypes.size());
        for (std::size_t c = 0; c < FTypes.size(); ++c)
            values[c] = Value(static_cast<int>(c), FTypes[c]);
        ++FRow;
        return true;
    }
    std::int64_t KnownCount() const override { return FKnownCount; }

  private:
    TFieldValue Value(int column, TFieldType type) const {
        sqlite3_stmt* st = FStatement->Handle();
        switch (sqlite3_column_type(st, column)) {
            case SQLITE_NULL:
                return {};
            case SQLITE_INTEGER: {
                const std::int64_t i = sqlite3_column_int64(st, column);
                if (type == ftBoolean) return i != 0;
                if (IsDateTimeType(type)) return DateFromNumber(static_cast<double>(i));
                return i;
            }
            case SQLITE_FLOAT: {
                const double d = sqlite3_column_double(st, column);
                if (type == ftBoolean) return d != 0;
                if (IsDateTimeType(type)) return DateFromNumber(d);
                return d;
            }
            case SQLITE_BLOB: {
                const auto* bytes = static_cast<const char*>(sqlite3_column_blob(st, column));
                return std::string(bytes == nullptr ? "" : bytes,
                                   static_cast<std::size_t>(sqlite3_column_bytes(st, column)));
            }
            default:
                return TextValue(column, type);
        }
    }
    TFieldValue TextValue(int column, TFieldType type) const {
        sqlite3_stmt* st = FStatement->Handle();
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, column));
        const std::string_view s(text == nullptr ? "" : text,
                                 static_cast<std::size_t>(sqlite3_column_bytes(st, column)));
        TFieldValue value;
        if (IsDateTimeType(type) || type == ftBoolean) {
            if (s.empty()) return {};
            if (!ValueFromText(s, type, value))
                FStatement->FailValue(FRow, column,
                                      "'" + std::string(s) + "' is not " +
                                          (type == ftBoolean ? "a boolean (true/false, 1/0)"
                                                             : "an ISO-8601 date or time"));
            return value;
        }
        // Text in a number column stays text, as SQLite keeps it.
        return std::string(s);
    }

    std::shared_ptr<TSqliteStatement> FStatement;
    std::vector<TFieldType> FTypes;
    std::int64_t FKnownCount;
    std::int64_t FRow = 0;
};

}  // namespace

TSqliteDatabase::TSqliteDatabase(const std::string& fileName, const std::string& dataSetName)
    : FFileName(fileName) {
    // SQLite would create a missing file; a dataset only reads.
    if (!std::ifstream(fileName, std::ios::binary))
        FailDataSet(dataSetName, "cannot read " + fileName);
    // A dataset and its connection serve one thread at a time: SQLite's
    // own locking of every call would be spent for nothing.
    if (sqlite3_open_v2(fileName.c_str(), &FDb, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX,
                        nullptr) != SQLITE_OK) {
        const std::string why = FDb ? sqlite3_errmsg(FDb) : "out of memory";
        sqlite3_close(FDb);
        FDb = nullptr;
        FailDataSet(dataSetName, fileName + ": " + why);
    }
    // Opening is lazy: read the schema now, so that a file that is no
    // database fails here and not in the middle of a report. Rows are read
    // forward once, so a small page cache (512 KB, also what a sort keeps
    // in memory before it spills to a file) loses nothing and keeps a large
    // query's memory close to a small one's.
    if (sqlite3_exec(FDb, "PRAGMA cache_size = -512; SELECT count(*) FROM sqlite_master", nullptr,
                     nullptr, nullptr) != SQLITE_OK) {
        const std::string why = sqlite3_errmsg(FDb);
        sqlite3_close(FDb);
        FDb = nullptr;
        FailDataSet(dataSetName, fileName + ": " + why);
    }
    FGuard = std::make_unique<TSqliteReadOnlyGuard>(FDb);
}

TSqliteDatabase::~TSqliteDatabase() {
    sqlite3_close(FDb);
}

bool TSqliteDatabase::HasTable(const std::string& name) const {
    sqlite3_stmt* st = nullptr;
    const char* sql =
        "SELECT 1 FROM sqlite_master WHERE type IN ('table', 'view') AND name = ?1 "
        "COLLATE NOCASE";
    bool found = false;
    if (sqlite3_prepare_v2(FDb, sql, -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, name.c_str(), -1, SQLITE_TRANSIENT);
        found = sqlite3_step(st) == SQLITE_ROW;
    }
    sqlite3_finalize(st);
    return found;
}

std::string TSqliteDatabase::TableNames() const {
    sqlite3_stmt* st = nullptr;
    std::string names;
    if (sqlite3_prepare_v2(FDb,
                           "SELECT name FROM sqlite_master WHERE type IN ('table', 'view') AND "
                           "name NOT LIKE 'sqlite_%' ORDER BY name",
                           -1, &st, nullptr) == SQLITE_OK)
        while (sqlite3_step(st) == SQLITE_ROW)
            names += (names.empty() ? "" : ", ") +
                     std::string(reinterpret_cast<const char*>(sqlite3_column_text(st, 0)));
    sqlite3_finalize(st);
    return names;
}

TFieldType FieldTypeFromDeclared(const std::string& declared) {
    const std::string upper = UpperCase(declared);
    for (const DeclaredType& d : kDeclaredTypes)
        if (upper.find(d.part) != std::string::npos) return d.type;
    return ftUnknown;
}

TSqliteDataSet::TSqliteDataSet(const std::string& name, std::shared_ptr<TSqliteDatabase> db,
                               const std::string& sqlOrTable, const TColumnTypes& types)
    : TStreamDataSet(name), FDb(std::move(db)), FGivenTypes(types) {
    const bool isTable = FDb->HasTable(sqlOrTable);
    // A lone name is meant as a table: a misspelt one is told as such, not
    // as SQLite's syntax error at its first character.
    if (!isTable && IsPgTableName(sqlOrTable)) {
        const std::string tables = FDb->TableNames();
        FailDataSet(name, FDb->FileName() + " has no table or view " + sqlOrTable +
                              (tables.empty() ? " (it has none)" : " (it has " + tables + ")"));
    }
    const std::string sql = isTable ? "SELECT * FROM " + QuoteIdentifier(sqlOrTable) : sqlOrTable;
    FStatement = std::make_shared<TSqliteStatement>(FDb, name, sql);
    if (isTable) {
        TSqliteStatement counter(FDb, name, "SELECT count(*) FROM " + QuoteIdentifier(sqlOrTable));
        if (counter.Step()) FKnownCount = sqlite3_column_int64(counter.Handle(), 0);
    }
    DefineFields();
    // A detail query waits for its master.
    if (sqlite3_bind_parameter_count(FStatement->Handle()) == 0) First();
}

TSqliteDataSet::~TSqliteDataSet() = default;

void TSqliteDataSet::DefineFields() {
    ClearFields();
    FTypesFromValues = false;
    sqlite3_stmt* st = FStatement->Handle();
    const int columns = sqlite3_column_count(st);
    // A column of an expression has no declared type: its first value
    // decides (SQLite itself types values, not columns).
    bool stepped = false, hasRow = false;
    for (int c = 0; c < columns; ++c) {
        const std::string fieldName = sqlite3_column_name(st, c);
        TFieldType type = GivenType(FGivenTypes, fieldName);
        if (type == ftUnknown) {
            const char* declared = sqlite3_column_decltype(st, c);
            type = FieldTypeFromDeclared(declared == nullptr ? "" : declared);
        }
        if (type == ftUnknown) {
            if (!stepped) {
                FStatement->Reset();
                hasRow = FStatement->Step();
                stepped = true;
            }
            type = TypeOfStoredValue(hasRow ? sqlite3_column_type(st, c) : SQLITE_TEXT);
            FTypesFromValues = true;
        }
        AddField(fieldName, type);
    }
    FStatement->Reset();
    std::vector<TFieldType> fieldTypes;
    for (int i = 0; i < FieldCount(); ++i) fieldTypes.push_back(Fields(i)->DataType());
    SetReader(std::make_unique<TSqliteReader>(FStatement, std::move(fieldTypes), FKnownCount));
}

void TSqliteDataSet::SetMaster(TDataSet* master) {
    std::vector<TField*> fields;
    sqlite3_stmt* st = FStatement->Handle();
    for (int i = 1; master != nullptr && i <= sqlite3_bind_parameter_count(st); ++i) {
        const char* raw = sqlite3_bind_parameter_name(st, i);
        fields.push_back(MasterFieldOfParameter(Name(), *master, raw == nullptr ? "?" : raw));
    }
    TDataSet::SetMaster(master);
    FParamFields = std::move(fields);
    if (master == nullptr) return;
    if (FTypesFromValues) {
        BindMaster();
        DefineFields();
    }
    First();
}

int TSqliteDataSet::MasterParameterCount() const {
    return sqlite3_bind_parameter_count(FStatement->Handle());
}

void TSqliteDataSet::BindMaster() {
    sqlite3_stmt* st = FStatement->Handle();
    const int count = sqlite3_bind_parameter_count(st);
    if (count == 0) return;
    if (Master() == nullptr) {
        const char* raw = sqlite3_bind_parameter_name(st, 1);
        FailDataSet(Name(), "parameter " + std::string(raw == nullptr ? "?" : raw) +
                                " needs a master dataset");
    }
    FStatement->Reset();
    // An empty master has no record to bind: the detail has no rows then.
    const bool masterHasRecord = !(Master()->Eof() && Master()->Bof());
    for (int i = 1; i <= count; ++i) {
        if (masterHasRecord)
            BindField(st, i, *FParamFields[static_cast<std::size_t>(i - 1)]);
        else
            sqlite3_bind_null(st, i);
    }
}

void TSqliteDataSet::First() {
    if (sqlite3_bind_parameter_count(FStatement->Handle()) > 0 || Master() != nullptr) {
        BindMaster();
        ForgetRecords();
    }
    TStreamDataSet::First();
}

}  // namespace qx
