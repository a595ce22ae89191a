// The data options of the tool's commands: datasets from JSON and CSV files,
// SQLite databases and PostgreSQL servers, in the order given on the command line (so that a
// one-letter alias A means the first), and master-detail links.
#pragma once

#include <CLI/CLI.hpp>

#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "qxrtf/qxrtf.h"

class DataOptions {
  public:
    void AddTo(CLI::App* cmd);

    // The datasets, opened; raises qx::Exception (or EDatabaseError) with a
    // message for the user.
    struct Opened {
        std::vector<std::unique_ptr<qx::TDataSet>> owned;
        qx::arrdataset datasets;  // in the order given
    };
    Opened Open() const;

  private:
    enum class Kind { Json, Csv, Sql, Detail };
    // What a --dataset reads: an SQLite file (--db) or a PostgreSQL
    // connection string (--pg).
    struct Source {
        bool postgres = false;
        std::string text;
    };
    struct Item {
        Kind kind;
        std::string text;  // NAME=...
        int source;        // --dataset: the --db or --pg given before it, or -1
    };
    void Keep(Kind kind, const std::string& text);

    std::vector<Item> FItems;
    std::vector<Source> FSources;
    std::string FDelimiter = ",";
    std::vector<std::string> FTypes;
};
