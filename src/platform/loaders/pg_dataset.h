// PostgreSQL datasets: a query, or every row of a table or view, read
// through a server-side cursor a chunk of rows at a time, so a query of a
// million rows never sits in memory. Column types come from the types the
// server gives its result columns (see PgFieldType), or from the types the
// user gives.
//
// A detail query names the master's fields as parameters :MASTER_FIELD, as
// an SQLite detail does:
//   SELECT * FROM lines WHERE order_id = :ORDERS_ID
// The query is prepared on the server once, with numbered parameters in
// place of the names; each record of the master runs it again with that
// record's values sent apart from the query.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/loaders/column_types.h"
#include "platform/loaders/pg_connection.h"
#include "platform/loaders/stream_dataset.h"

namespace qx {

// int2/int4/int8/oid -> ftLargeint, numeric -> ftBCD, float4/float8 ->
// ftFloat, bool -> ftBoolean, date -> ftDate, time -> ftTime, timestamp and
// timestamptz -> ftDateTime, bytea -> ftBlob; text, varchar, char, name and
// every other type -> ftString (the server's text of the value).
TFieldType PgFieldType(unsigned int typeOid);

// The values of a query's parameters, as the server reads them.
struct TPgParams {
    std::vector<std::string> values;
    std::vector<int> isNull;
    std::vector<int> lengths;
    std::vector<int> binary;  // bytes of a blob go as they are
};

class TPgDataSet : public TStreamDataSet {
  public:
    // `sqlOrTable`: a table or view name, or a query (SELECT, VALUES, WITH
    // ... SELECT). Raises EDatabaseError naming the dataset, with the
    // server's message and where in the query it points, when the query is
    // wrong.
    TPgDataSet(const std::string& name, std::shared_ptr<TPgConnection> connection,
               const std::string& sqlOrTable, const TColumnTypes& types = {});
    ~TPgDataSet() override;

    // Resolves the query's :MASTER_FIELD parameters against `master`'s
    // fields; raises EDatabaseError for one that names no field of it.
    void SetMaster(TDataSet* master) override;
    // Takes the parameters from the master's current record and runs the
    // query again.
    void First() override;
    int MasterParameterCount() const override { return static_cast<int>(FParamNames.size()); }

  protected:
    void MasterMoved() override { First(); }

  private:
    std::string Prepare(const std::string& sql);
    void DefineFields(const std::string& statement, const TColumnTypes& types);
    void BindMaster();

    std::shared_ptr<TPgConnection> FConnection;
    std::string FSql;        // as written, for messages
    std::string FServerSql;  // with numbered parameters
    std::vector<std::string> FParamNames;
    std::vector<TField*> FParamFields;  // the master field of each parameter
    std::shared_ptr<TPgParams> FParams;
};

// The connections a set of datasets shares, by connection string.
using TPgConnections = std::map<std::string, std::shared_ptr<TPgConnection>>;

// Opens dataset `name` reading `sqlOrTable` from the server `conninfo`
// names, over the connection to it in `connections` (made and kept there
// when there is none yet).
std::unique_ptr<TDataSet> OpenPgDataSet(const std::string& name, const std::string& conninfo,
                                        const std::string& sqlOrTable, const TColumnTypes& types,
                                        TPgConnections& connections);

}  // namespace qx
