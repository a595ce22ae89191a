// Datasets read from files and databases, for Data::Add:
//
//     qxrtf::Data data;
//     data.Add(qxrtf::SqliteQuery("ORDERS", "shop.db", "orders"))
//         .Add(qxrtf::SqliteQuery("LINES", "shop.db",
//                                 "SELECT * FROM lines WHERE order_id = :ORDERS_ID"))
//         .Link("LINES", "ORDERS");
//
// A dataset here is a description: every render opens it afresh (a file
// reader, database connection and cursor of its own), so one Data may serve
// renders on many threads at once. They live in the loader library
// (CMake qxrtf::loaders, pkg-config qxrtf-loaders), which links SQLite and
// libcsv; libpq is loaded when a PostgreSQL dataset is first opened.
#pragma once

#include <map>
#include <string>

#include "qxrtf/report.h"

namespace qxrtf {

// Kinds of named columns (names case-insensitive) instead of those read
// from the data.
using ColumnKinds = std::map<std::string, Kind>;

struct FileOptions {
    ColumnKinds kinds;
    // The field delimiter of a CSV file.
    char delimiter = ',';
    // Numbers may also be written with this decimal separator ("249,00");
    // "." always is one.
    char decimalSeparator = '.';
};

// A CSV file whose first row names the columns; each column's kind is read
// from its values unless given. A column whose values mostly fit one kind
// but for a few is read as text, with a warning in the render's Result.
Dataset CsvFile(std::string name, std::string path, FileOptions options = {});

// An array of objects in a JSON file, one record each: `source` is FILE, or
// FILE#/json/pointer for an array inside the document. Arrays nested in the
// records are details (Data::Link("LINES", "ORDERS")).
Dataset JsonFile(std::string name, std::string source, FileOptions options = {});

// A table or view of an SQLite database file (opened read-only), or a
// query; a detail's query names its master's fields as :MASTER_FIELD
// parameters (Data::Link).
Dataset SqliteQuery(std::string name, std::string databaseFile, std::string queryOrTable,
                    ColumnKinds kinds = {});

// A table, view or query of a PostgreSQL server: `conninfo` is a libpq
// connection string ("host=... dbname=..." or postgresql://...; "" takes
// everything from the PG* environment variables).
Dataset PostgresQuery(std::string name, std::string conninfo, std::string queryOrTable,
                      ColumnKinds kinds = {});

}  // namespace qxrtf
