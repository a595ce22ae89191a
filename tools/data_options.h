// The data options of the tool's commands: datasets from JSON and CSV files,
// SQLite databases and PostgreSQL servers, in the order given on the command line (so that a
// one-letter alias A means the first), and master-detail links.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/dataset.h"
#include "platform/loaders/column_types.h"
#include "platform/loaders/detail_link.h"
#include "qxrtf/qxrtf.h"

class DataOptions {
  public:
    void AddTo(CLI::App* cmd);

    // The datasets, opened afresh on every call: each set has connections,
    // file readers and cursors of its own and shares nothing with another,
    // so each worker thread of a batch opens one for itself. Raises
    // qx::Exception (or EDatabaseError) with a message for the user.
    using Opened = qx::TOpenedDataSets;
    Opened Open() const;

    // How the file datasets read the types of their columns: the locale's
    // decimal separator, and where a column given up as text is told.
    void SetGuess(qx::TGuessOptions guess) { FGuess = std::move(guess); }

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
    // Links the detail of --detail `option` (NAME=VALUE) to its master.
    static void LinkDetail(const std::string& option, const std::string& name,
                           const std::string& value, Opened& opened,
                           const std::function<qx::TColumnTypes(const std::string&)>& typesOf);

    std::vector<Item> FItems;
    std::vector<Source> FSources;
    std::string FDelimiter = ",";
    std::vector<std::string> FTypes;
    qx::TGuessOptions FGuess;
};
