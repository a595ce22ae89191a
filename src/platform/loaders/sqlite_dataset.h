// SQLite datasets: a query, or every row of a table or view, of a database
// file opened read-only. Column types come from the declared type of the
// column (see FieldTypeFromDeclared), else from the first value the query
// gives, or from the types the user gives. Rows are stepped from the
// statement as the cursor moves; going back re-runs it.
//
// A detail query names the master's fields as parameters :MASTER_FIELD
// (the master's name, an underscore, a field of the master), for example
//   SELECT * FROM lines WHERE order_id = :ORDERS_ID
// and is run again for each record of the master.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/loaders/column_types.h"
#include "platform/loaders/stream_dataset.h"

struct sqlite3;
struct sqlite3_stmt;

namespace qx {

class TSqliteReadOnlyGuard;

// One open database file, shared by the datasets that read it. Its
// statements may only read: anything that would write (a file, the
// database, the connection's state) is refused when it is prepared.
class TSqliteDatabase {
  public:
    // Raises EDatabaseError (naming `dataSetName`) when the file cannot be
    // read or is no database.
    TSqliteDatabase(const std::string& fileName, const std::string& dataSetName);
    ~TSqliteDatabase();
    TSqliteDatabase(const TSqliteDatabase&) = delete;
    TSqliteDatabase& operator=(const TSqliteDatabase&) = delete;

    sqlite3* Handle() const { return FDb; }
    const std::string& FileName() const { return FFileName; }
    TSqliteReadOnlyGuard& Guard() const { return *FGuard; }
    // True when `name` is a table or view of the database.
    bool HasTable(const std::string& name) const;
    // The tables and views, by name, for a message that names a missing one.
    std::string TableNames() const;

  private:
    sqlite3* FDb = nullptr;
    std::string FFileName;
    std::unique_ptr<TSqliteReadOnlyGuard> FGuard;
};

// INTEGER/INT... -> ftLargeint, REAL/FLOAT/DOUBLE -> ftFloat,
// NUMERIC/DECIMAL -> ftBCD, MONEY/CURRENCY -> ftCurrency, BOOLEAN/BOOL ->
// ftBoolean, DATE -> ftDate, TIME -> ftTime, DATETIME/TIMESTAMP ->
// ftDateTime, TEXT/CHAR/CLOB -> ftString, BLOB -> ftBlob; anything else
// (or no declared type) ftUnknown.
TFieldType FieldTypeFromDeclared(const std::string& declared);

class TSqliteStatement;

class TSqliteDataSet : public TStreamDataSet {
  public:
    // `sqlOrTable`: a table or view name, or an SQL query.
    TSqliteDataSet(const std::string& name, std::shared_ptr<TSqliteDatabase> db,
                   const std::string& sqlOrTable, const TColumnTypes& types = {});
    ~TSqliteDataSet() override;

    // Resolves the query's :MASTER_FIELD parameters against `master`'s
    // fields; raises EDatabaseError for one that names no field of it.
    void SetMaster(TDataSet* master) override;
    // Binds the parameters from the master's current record and runs the
    // query again.
    void First() override;
    int MasterParameterCount() const override;

  protected:
    void MasterMoved() override { First(); }

  private:
    // Fields and the reader; types not declared nor given are read from
    // the first row the query gives with its current parameters.
    void DefineFields();
    void BindMaster();

    std::shared_ptr<TSqliteDatabase> FDb;
    std::shared_ptr<TSqliteStatement> FStatement;
    TColumnTypes FGivenTypes;
    std::int64_t FKnownCount = -1;
    bool FTypesFromValues = false;
    std::vector<TField*> FParamFields;  // the master field of each parameter
};

}  // namespace qx
