#include "platform/loaders/pg_dataset.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "platform/internal/unicode.h"
#include "platform/loaders/internal/pg_api.h"
#include "platform/loaders/pg_sql.h"

namespace qx {

namespace {

// Rows fetched from a cursor at once: a few first (a detail's rows mostly
// come in one go), then as many as fit in about kFetchBytes, so rows of
// large pictures are fetched a few at a time, at most kFetchRows.
constexpr int kFirstFetchRows = 16;
constexpr int kFetchRows = 1000;
constexpr std::size_t kFetchBytes = 4 << 20;
// Decimal digits a double gives back as they were written.
constexpr int kExactDoubleDigits = 15;

struct OidType {
    unsigned int oid;  // the type's fixed number in the server's catalog
    TFieldType type;
};
constexpr OidType kOidTypes[] = {
    {16, ftBoolean},     // bool
    {17, ftBlob},        // bytea
    {20, ftLargeint},    // int8
    {21, ftLargeint},    // int2
    {23, ftLargeint},    // int4
    {26, ftLargeint},    // oid
    {700, ftFloat},      // float4
    {701, ftFloat},      // float8
    {1082, ftDate},      // date
    {1083, ftTime},      // time
    {1114, ftDateTime},  // timestamp
    {1184, ftDateTime},  // timestamptz
    {1700, ftBCD},       // numeric
};
constexpr unsigned int kBoolOid = 16;
constexpr unsigned int kByteaOid = 17;

bool IsDecimalType(TFieldType t) {
    return t == ftFloat || t == ftCurrency || t == ftBCD || t == ftFMTBcd;
}

// The digits of a decimal number's value: no leading zeros, no trailing
// zeros of its fraction. -1 when `text` is no plain decimal number.
int SignificantDigits(std::string_view text) {
    std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
    int counted = 0;  // digits from the first that is not 0
    int kept = 0;     // up to the last that is not a trailing 0 of the fraction
    bool point = false, anyDigit = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !point) {
            point = true;
            continue;
        }
        if (c < '0' || c > '9') return -1;
        anyDigit = true;
        if (counted > 0 || c != '0') ++counted;
        if (!point || c != '0') kept = counted;
    }
    return anyDigit ? kept : -1;
}

// A value of a field of `type` from the text the server gives; false when
// the text is none.
bool ValueFromServerText(std::string_view text, TFieldType type, TFieldValue& out) {
    if (IsDecimalType(type)) {
        if (text == "NaN") {
            out = std::numeric_limits<double>::quiet_NaN();
            return true;
        }
        if (text == "Infinity" || text == "-Infinity") {
            out = text[0] == '-' ? -HUGE_VAL : HUGE_VAL;
            return true;
        }
        // A numeric beyond a double's digits keeps them all as text, which
        // the engine writes as it is and reads as a number when it computes.
        if (type == ftBCD && SignificantDigits(text) > kExactDoubleDigits) {
            out = std::string(text);
            return true;
        }
    }
    return ValueFromText(text, type, out);
}

std::string ParamText(const TField& field) {
    const TFieldType type = field.DataType();
    if (IsIntegerType(type)) return std::to_string(field.AsLargeInt());
    if (type == ftBoolean) return field.AsBoolean() ? "true" : "false";
    if (IsDateTimeType(type)) return IsoText(type, field.AsDateTime(), true);
    if (IsDecimalType(type)) {
        const std::string text = field.AsString();
        if (SignificantDigits(text) >= 0) return text;  // all of a long numeric's digits
        char buf[32];
        const auto end = std::to_chars(buf, buf + sizeof buf, field.AsFloat()).ptr;
        return std::string(buf, end);
    }
    return field.AsBytes();
}

// The server's message for the query as written, with the character of it
// the message points at (0: none; the server's own position counts in the
// text it was sent, which is not always the query as written).
[[noreturn]] void FailQuery(const std::string& dataSetName, const TPgConnection& connection,
                            const TPgError& error, const std::string& sql,
                            std::size_t character = 0) {
    std::string why = connection.Label() + ": " + error.message;
    if (character > 0) why += " at character " + std::to_string(character);
    FailDataSet(dataSetName, why + " in the query: " + sql);
}

}  // namespace

TFieldType PgFieldType(unsigned int typeOid) {
    for (const OidType& t : kOidTypes)
        if (t.oid == typeOid) return t.type;
    return ftString;
}

namespace {

// Reads a prepared DECLARE's cursor forward, a chunk at a time. The cursor
// opens on the first read after a rewind, with the parameters as they are
// then.
class TPgCursorReader : public TRecordReader {
  public:
    struct Column {
        std::string name;
        unsigned int oid;
        TFieldType type;
    };

    TPgCursorReader(std::shared_ptr<TPgConnection> connection, std::string dataSetName,
                    std::string sql, std::string declare, std::string cursor,
                    std::shared_ptr<const TPgParams> params, std::vector<Column> columns)
        : FConnection(std::move(connection)),
          FName(std::move(dataSetName)),
          FSql(std::move(sql)),
          FDeclare(std::move(declare)),
          FCursor(std::move(cursor)),
          FParams(std::move(params)),
          FColumns(std::move(columns)) {}
    ~TPgCursorReader() override {
        // The transaction ends with the connection: only a cursor on a
        // connection that others go on using is worth closing.
        if (FOpen && FGeneration == FConnection->Generation())
            Libpq().PQclear(Libpq().PQexec(FConnection->Handle(), ("CLOSE " + FCursor).c_str()));
    }

    void Rewind() override {
        Close();
        FRead = 0;
    }
    void SeekRecord(std::int64_t index) override {
        Close();
        FRead = index;  // the cursor moves past them when it opens
    }
    bool ReadNext(std::vector<TFieldValue>& values) override {
        // A failed command elsewhere started the transaction over and took
        // this cursor with it: open it again where it was.
        if (FOpen && FGeneration != FConnection->Generation()) FOpen = false;
        if (!FOpen) Open();
        if (FRow >= FRows) {
            if (FLastChunk) return false;
            Fetch();
            if (FRows == 0) return false;
        }
        values.resize(FColumns.size());
        for (std::size_t c = 0; c < FColumns.size(); ++c) values[c] = Value(FRow, c);
        ++FRow;
        ++FRead;
        return true;
    }

  private:
    [[noreturn]] void Fail(const TPgError& error) const {
        FailQuery(FName, *FConnection, error, FSql);
    }
    void Run(const std::string& command, TPgResult& result) {
        TPgError error;
        if (!FConnection->Run(command, result, error)) Fail(error);
    }
    void Close() {
        if (FOpen && FGeneration == FConnection->Generation()) {
            TPgResult result;
            Run("CLOSE " + FCursor, result);
        }
        FOpen = false;
        FChunk.reset();
        FRow = FRows = 0;
        FLastChunk = false;
    }
    void Open() {
        const TPgParams& p = *FParams;
        std::vector<const char*> values(p.values.size());
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] = p.isNull[i] ? nullptr : p.values[i].c_str();
        TPgResult result(Libpq().PQexecPrepared(FConnection->Handle(), FDeclare.c_str(),
                                                static_cast<int>(values.size()), values.data(),
                                                p.lengths.data(), p.binary.data(), 0));
        TPgError error;
        if (!FConnection->Check(result, error)) Fail(error);
        FOpen = true;
        FGeneration = FConnection->Generation();
        FChunk.reset();
        FRow = FRows = 0;
        FLastChunk = false;
        FFetchRows = kFirstFetchRows;
        if (FRead > 0) Run("MOVE FORWARD " + std::to_string(FRead) + " IN " + FCursor, result);
    }
    void Fetch() {
        const TLibpq& pq = Libpq();
        Run("FETCH FORWARD " + std::to_string(FFetchRows) + " FROM " + FCursor, FChunk);
        FRow = 0;
        FRows = pq.PQntuples(FChunk.get());
        FLastChunk = FRows < FFetchRows;
        std::size_t bytes = 0;
        for (int r = 0; r < FRows; ++r)
            for (int c = 0; c < pq.PQnfields(FChunk.get()); ++c)
                bytes += static_cast<std::size_t>(pq.PQgetlength(FChunk.get(), r, c));
        const std::size_t perRow = FRows > 0 ? bytes / static_cast<std::size_t>(FRows) + 1 : 1;
        FFetchRows = static_cast<int>(
            std::clamp<std::size_t>(kFetchBytes / perRow, 1, static_cast<std::size_t>(kFetchRows)));
    }
    TFieldValue Value(int row, std::size_t c) const {
        const TLibpq& pq = Libpq();
        const int column = static_cast<int>(c);
        if (pq.PQgetisnull(FChunk.get(), row, column)) return {};
        const Column& col = FColumns[c];
        std::string_view text(pq.PQgetvalue(FChunk.get(), row, column),
                              static_cast<std::size_t>(pq.PQgetlength(FChunk.get(), row, column)));
        std::string decoded;
        if (col.oid == kBoolOid) {
            decoded = text == "t" ? "true" : "false";
            text = decoded;
        } else if (col.oid == kByteaOid) {
            std::size_t length = 0;
            unsigned char* bytes =
                pq.PQunescapeBytea(reinterpret_cast<const unsigned char*>(text.data()), &length);
            if (bytes == nullptr) FailValue(col, "out of memory");
            decoded.assign(reinterpret_cast<const char*>(bytes), length);
            pq.PQfreemem(bytes);
            text = decoded;
        }
        TFieldValue value;
        if (ValueFromServerText(text, col.type, value)) return value;
        if (IsDateTimeType(col.type) || col.type == ftBoolean)
            FailValue(col, "'" + std::string(text) + "' is not " +
                               (col.type == ftBoolean ? "a boolean"
                                                      : "a date or time a report can hold"));
        // Text that is no number in a column given a number type stays text.
        return std::string(text);
    }
    [[noreturn]] void FailValue(const Column& col, const std::string& why) const {
        FailDataSet(FName, FConnection->Label() + ": row " + std::to_string(FRead + 1) +
                               ", field " + col.name + ": " + why);
    }

    std::shared_ptr<TPgConnection> FConnection;
    std::string FName, FSql, FDeclare, FCursor;
    std::shared_ptr<const TPgParams> FParams;
    std::vector<Column> FColumns;
    TPgResult FChunk;
    int FRow = 0, FRows = 0;
    int FFetchRows = kFirstFetchRows;  // in the next FETCH
    bool FLastChunk = false;
    bool FOpen = false;
    std::uint64_t FGeneration = 0;
    std::int64_t FRead = 0;  // records read since the rewind
};

}  // namespace

TPgDataSet::TPgDataSet(const std::string& name, std::shared_ptr<TPgConnection> connection,
                       const std::string& sqlOrTable, const TColumnTypes& types)
    : TStreamDataSet(name),
      FConnection(std::move(connection)),
      FSql(sqlOrTable),
      FParams(std::make_shared<TPgParams>()) {
    if (IsPgTableName(sqlOrTable)) {
        const TLibpq& pq = Libpq();
        const char* value = sqlOrTable.c_str();
        TPgResult found(pq.PQexecParams(FConnection->Handle(), "SELECT to_regclass($1) IS NOT NULL",
                                        1, nullptr, &value, nullptr, nullptr, 0));
        TPgError error;
        if (!FConnection->Check(found, error))
            FailDataSet(name, FConnection->Label() + ": " + error.message);
        if (pq.PQntuples(found.get()) != 1 || *pq.PQgetvalue(found.get(), 0, 0) != 't')
            FailDataSet(name, FConnection->Label() + " has no table or view " + sqlOrTable);
        FSql = "SELECT * FROM " + sqlOrTable;
    }
    const std::string statement = Prepare(FSql);
    DefineFields(statement, types);
    // A detail query waits for its master.
    if (FParamNames.empty()) First();
}

TPgDataSet::~TPgDataSet() = default;

std::string TPgDataSet::Prepare(const std::string& sql) {
    const TPgQuery query = TranslatePgParameters(sql);
    FParamNames = query.params;
    FServerSql = query.sql;
    const std::string statement = FConnection->NewName("qx_query_");
    TPgResult result(
        Libpq().PQprepare(FConnection->Handle(), statement.c_str(), query.sql.c_str(), 0, nullptr));
    TPgError error;
    if (!FConnection->Check(result, error))
        FailQuery(Name(), *FConnection, error, sql, query.OriginalCharacter(sql, error.position));
    return statement;
}

void TPgDataSet::DefineFields(const std::string& statement, const TColumnTypes& types) {
    const TLibpq& pq = Libpq();
    TPgResult described(pq.PQdescribePrepared(FConnection->Handle(), statement.c_str()));
    TPgError error;
    if (!FConnection->Check(described, error)) FailQuery(Name(), *FConnection, error, FSql);
    std::vector<TPgCursorReader::Column> columns;
    for (int c = 0; c < pq.PQnfields(described.get()); ++c) {
        const std::string fieldName = pq.PQfname(described.get(), c);
        const unsigned int oid = pq.PQftype(described.get(), c);
        TFieldType type = GivenType(types, fieldName);
        if (type == ftUnknown) type = PgFieldType(oid);
        AddField(fieldName, type);
        columns.push_back({fieldName, oid, type});
    }
    if (pq.PQnparams(described.get()) != static_cast<int>(FParamNames.size()))
        FailDataSet(Name(), "write a parameter as :MASTER_FIELD, not $1, in the query: " + FSql);
    const std::string cursor = FConnection->NewName("qx_cursor_");
    const std::string declare = FConnection->NewName("qx_declare_");
    const std::string declareSql = "DECLARE " + cursor + " NO SCROLL CURSOR FOR " + FServerSql;
    TPgResult prepared(
        pq.PQprepare(FConnection->Handle(), declare.c_str(), declareSql.c_str(), 0, nullptr));
    if (!FConnection->Check(prepared, error)) FailQuery(Name(), *FConnection, error, FSql);
    SetReader(std::make_unique<TPgCursorReader>(FConnection, Name(), FSql, declare, cursor, FParams,
                                                std::move(columns)));
}

void TPgDataSet::SetMaster(TDataSet* master) {
    std::vector<TField*> fields;
    for (std::size_t i = 0; master != nullptr && i < FParamNames.size(); ++i)
        fields.push_back(MasterFieldOfParameter(Name(), *master, FParamNames[i]));
    TDataSet::SetMaster(master);
    FParamFields = std::move(fields);
    if (master != nullptr) First();
}

void TPgDataSet::BindMaster() {
    if (FParamNames.empty()) return;
    if (Master() == nullptr)
        FailDataSet(Name(), "parameter " + FParamNames.front() + " needs a master dataset");
    // An empty master has no record to bind: the detail has no rows then.
    const bool masterHasRecord = !(Master()->Eof() && Master()->Bof());
    TPgParams& p = *FParams;
    const std::size_t count = FParamNames.size();
    p.values.assign(count, std::string());
    p.isNull.assign(count, 1);
    p.lengths.assign(count, 0);
    p.binary.assign(count, 0);
    for (std::size_t i = 0; i < count && masterHasRecord; ++i) {
        const TField& field = *FParamFields[i];
        if (field.IsNull()) continue;
        p.values[i] = ParamText(field);
        p.isNull[i] = 0;
        p.lengths[i] = static_cast<int>(p.values[i].size());
        p.binary[i] = field.IsBlob() ? 1 : 0;
    }
}

void TPgDataSet::First() {
    if (!FParamNames.empty() || Master() != nullptr) {
        BindMaster();
        ForgetRecords();
    }
    TStreamDataSet::First();
}

std::unique_ptr<TDataSet> OpenPgDataSet(const std::string& name, const std::string& conninfo,
                                        const std::string& sqlOrTable, const TColumnTypes& types,
                                        TPgConnections& connections) {
    auto& connection = connections[conninfo];
    if (!connection) connection = std::make_shared<TPgConnection>(conninfo, name);
    return std::make_unique<TPgDataSet>(name, connection, sqlOrTable, types);
}

}  // namespace qx
