// The application interface's file and database datasets (qxrtf/datasets.h):
// each remembers what to read and opens the loader's dataset for every
// render, sharing a database file or server connection among the datasets
// of one render that read it.
#include "qxrtf/datasets.h"

#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/json_dataset.h"
#include "platform/loaders/pg_dataset.h"
#include "platform/loaders/sqlite_dataset.h"
#include "qxrtf/internal/api_data.h"
#include "qxrtf/internal/api_values.h"

namespace qxrtf {

namespace {

qx::TColumnTypes TypesOf(const ColumnKinds& kinds) {
    qx::TColumnTypes types;
    for (const auto& [column, kind] : kinds) types.emplace_back(column, FieldTypeOf(kind));
    return types;
}

qx::TGuessOptions GuessOf(const FileOptions& options, const OpenContext& context) {
    return {options.decimalSeparator, context.Warn()};
}

// A file to read and how.
struct FileImpl : Dataset::Impl {
    FileImpl(std::string name, std::string path, FileOptions options)
        : Impl(std::move(name)), path(std::move(path)), options(std::move(options)) {}
    std::string path;  // a JSON file's may end in #/pointer
    FileOptions options;
};

struct CsvImpl : FileImpl {
    using FileImpl::FileImpl;
    std::unique_ptr<qx::TDataSet> Open(OpenContext& context) const override {
        return std::make_unique<qx::TCsvDataSet>(
            name, path, qx::TCsvOptions{options.delimiter, TypesOf(options.kinds)},
            GuessOf(options, context));
    }
};

struct JsonImpl : FileImpl {
    using FileImpl::FileImpl;
    std::unique_ptr<qx::TDataSet> Open(OpenContext& context) const override {
        return qx::TJsonDataSet::Open(name, path, TypesOf(options.kinds),
                                      GuessOf(options, context));
    }
};

// A query or table of a database: where the database is, what to read.
struct QueryImpl : Dataset::Impl {
    QueryImpl(std::string name, std::string database, std::string query, const ColumnKinds& kinds)
        : Impl(std::move(name)),
          database(std::move(database)),
          query(std::move(query)),
          types(TypesOf(kinds)) {}
    std::string database, query;  // database: a file, or a connection string
    qx::TColumnTypes types;
};

struct SqliteImpl : QueryImpl {
    using QueryImpl::QueryImpl;
    std::unique_ptr<qx::TDataSet> Open(OpenContext& context) const override {
        auto db = context.Shared<qx::TSqliteDatabase>(
            "sqlite:" + database, [&] { return new qx::TSqliteDatabase(database, name); });
        return std::make_unique<qx::TSqliteDataSet>(name, db, query, types);
    }
};

struct PostgresImpl : QueryImpl {
    using QueryImpl::QueryImpl;
    std::unique_ptr<qx::TDataSet> Open(OpenContext& context) const override {
        auto connections =
            context.Shared<qx::TPgConnections>("postgres", [] { return new qx::TPgConnections; });
        return qx::OpenPgDataSet(name, database, query, types, *connections);
    }
};

}  // namespace

Dataset CsvFile(std::string name, std::string path, FileOptions options) {
    return Dataset(std::make_shared<CsvImpl>(std::move(name), std::move(path), std::move(options)));
}

Dataset JsonFile(std::string name, std::string source, FileOptions options) {
    return Dataset(
        std::make_shared<JsonImpl>(std::move(name), std::move(source), std::move(options)));
}

Dataset SqliteQuery(std::string name, std::string databaseFile, std::string queryOrTable,
                    ColumnKinds kinds) {
    return Dataset(std::make_shared<SqliteImpl>(std::move(name), std::move(databaseFile),
                                                std::move(queryOrTable), kinds));
}

Dataset PostgresQuery(std::string name, std::string conninfo, std::string queryOrTable,
                      ColumnKinds kinds) {
    return Dataset(std::make_shared<PostgresImpl>(std::move(name), std::move(conninfo),
                                                  std::move(queryOrTable), kinds));
}

}  // namespace qxrtf
