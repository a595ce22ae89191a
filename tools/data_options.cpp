#include "data_options.h"

#include <algorithm>
#include <map>

#include "platform/internal/unicode.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/detail_link.h"
#include "platform/loaders/json_dataset.h"
#include "platform/loaders/pg_dataset.h"
#include "platform/loaders/sqlite_dataset.h"
#include "tool_errors.h"

namespace {

// NAME=VALUE, both parts non-empty.
std::pair<std::string, std::string> SplitNamed(const std::string& item, const char* form) {
    const auto eq = item.find('=');
    if (eq == std::string::npos || eq == 0 || eq + 1 == item.size())
        throw qx::Exception("Dataset '" + item + "' must be given as " + form);
    return {item.substr(0, eq), item.substr(eq + 1)};
}

char DelimiterFromText(const std::string& text) {
    if (text == "tab" || text == "\\t") return '\t';
    if (text.size() != 1 || text == "\"" || text == "\n" || text == "\r")
        throw qx::Exception("The CSV delimiter must be one character or 'tab', not '" + text + "'");
    return text[0];
}

// --type NAME.FIELD=TYPE options, by dataset name (upper case).
std::map<std::string, qx::TColumnTypes> ColumnTypesFrom(const std::vector<std::string>& given) {
    std::map<std::string, qx::TColumnTypes> types;
    for (const std::string& item : given) {
        const auto eq = item.find('=');
        const auto dot = item.find('.');
        if (eq == std::string::npos || dot == std::string::npos || dot == 0 || dot + 1 >= eq)
            throw tool::UsageError("--type " + item + ": give it as NAME.FIELD=TYPE");
        qx::TFieldType type = qx::ftUnknown;
        const std::string typeName = item.substr(eq + 1);
        if (!qx::FieldTypeFromName(typeName, type))
            throw tool::UsageError("--type " + item + ": unknown field type '" + typeName +
                                   "' (known: " + qx::FieldTypeNames() + ")");
        types[qx::UpperCase(item.substr(0, dot))].emplace_back(item.substr(dot + 1, eq - dot - 1),
                                                               type);
    }
    return types;
}

// A --type for a dataset or column the data does not have would be
// ignored, and the column read with the type its values suggest.
void CheckTypedColumns(const std::vector<std::string>& given, const qx::arrdataset& datasets) {
    for (const std::string& item : given) {
        const auto dot = item.find('.');
        const std::string name = item.substr(0, dot);
        const std::string field = item.substr(dot + 1, item.find('=') - dot - 1);
        const auto ds = std::find_if(datasets.begin(), datasets.end(), [&](const qx::TDataSet* d) {
            return qx::SameText(d->Name(), name);
        });
        if (ds == datasets.end())
            throw tool::UsageError("--type " + item + ": no dataset " + name + " is given");
        if ((*ds)->FindField(field) == nullptr) {
            std::string fields;
            for (int i = 0; i < (*ds)->FieldCount(); ++i)
                fields += (i > 0 ? ", " : "") + (*ds)->Fields(i)->FieldName();
            throw tool::UsageError("--type " + item + ": " + name + " has no column " + field +
                                   " (its columns: " + fields + ")");
        }
    }
}

}  // namespace

void DataOptions::AddTo(CLI::App* cmd) {
    const auto add = [&](const char* name, Kind kind, const char* help) {
        cmd->add_option_function<std::string>(
               name, [this, kind](const std::string& v) { Keep(kind, v); }, help)
            ->trigger_on_parse()
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    add("--json", Kind::Json,
        "dataset NAME=FILE[#/pointer] from a JSON array of objects (repeatable)");
    add("--csv", Kind::Csv, "dataset NAME=FILE from a CSV file with a header row (repeatable)");
    const auto source = [&](const char* name, bool postgres, const char* help) {
        cmd->add_option_function<std::string>(
               name,
               [this, postgres](const std::string& v) {
                   FSources.push_back({postgres, v});
               },
               help)
            ->trigger_on_parse()
            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
    };
    source("--db", false, "SQLite database FILE that the --dataset options after it read");
    source("--pg", true,
           "PostgreSQL server that the --dataset options after it read: a libpq connection "
           "string (\"host=... dbname=...\" or postgresql://...); \"\" takes all from the PG* "
           "environment variables");
    add("--dataset", Kind::Sql,
        "dataset NAME=QUERY or NAME=TABLE from the --db database or --pg server (repeatable)");
    add("--detail", Kind::Detail,
        "make NAME a detail of MASTER, showing only the records of the master's current record: "
        "NAME=MASTER for an SQLite or PostgreSQL dataset whose query names :MASTER_FIELD "
        "parameters; NAME=MASTER:NAME_FIELD=MASTER_FIELD for a CSV or JSON file, whose records "
        "whose NAME_FIELD equals the master's MASTER_FIELD belong to it; NAME=MASTER[.KEY] for "
        "the nested array KEY (default NAME) of a JSON master's records (repeatable)");
    cmd->add_option("--delimiter", FDelimiter,
                    "field delimiter of the CSV files: one character or 'tab' (default ,)");
    cmd->add_option("--type", FTypes,
                    "type of a column, NAME.FIELD=TYPE, instead of the one read from the data: " +
                        qx::FieldTypeNames() + " (repeatable)")
        ->allow_extra_args(false);
}

void DataOptions::Keep(Kind kind, const std::string& text) {
    // A --dataset reads the --db or --pg given last before it, or the
    // first one given at all (Open checks there is one).
    FItems.push_back({kind, text, static_cast<int>(FSources.size()) - 1});
}

void DataOptions::LinkDetail(const std::string& option, const std::string& name,
                             const std::string& value, Opened& opened,
                             const std::function<qx::TColumnTypes(const std::string&)>& typesOf) {
    const std::string where = "--detail " + option + ": ";
    // MASTER, MASTER.KEY (a JSON master's nested arrays) or
    // MASTER:DETAIL_FIELD=MASTER_FIELD (a file's records linked by a key).
    const auto colon = value.find(':');
    qx::TDetailLink link{name, value.substr(0, colon), "", ""};
    if (colon != std::string::npos) {
        const std::string key = value.substr(colon + 1);
        const auto eq = key.find('=');
        if (eq == std::string::npos || eq == 0 || eq + 1 == key.size())
            throw tool::UsageError(where + "give the key as " + name + "=" + link.master + ":" +
                                   name + "_FIELD=" + link.master + "_FIELD");
        link.detailField = key.substr(0, eq);
        link.masterField = key.substr(eq + 1);
    }
    try {
        qx::LinkDetail(link, opened, typesOf(name));
    } catch (const qx::ELinkError& e) {
        // Where the command line can say what to type, the message does.
        switch (e.Fault()) {
            case qx::TLinkFault::NoMaster:
                throw qx::Exception(e.what() + std::string(" before it"));
            case qx::TLinkFault::NoDetail:
                throw qx::Exception("Detail " + name +
                                    ": give it first with --dataset, --csv or --json (" +
                                    link.master.substr(0, link.master.find('.')) +
                                    " is no JSON dataset with nested arrays)");
            case qx::TLinkFault::NeedsKey:
                throw tool::UsageError(where + name +
                                       " is read from a file: give the fields that link it to " +
                                       link.master + ", as --detail " + name + "=" + link.master +
                                       ":" + name + "_FIELD=" + link.master + "_FIELD");
            default:
                throw tool::UsageError(where + e.Reason());
        }
    }
}

DataOptions::Opened DataOptions::Open() const {
    Opened opened;
    const char delimiter = DelimiterFromText(FDelimiter);
    const auto types = ColumnTypesFrom(FTypes);
    const auto typesOf = [&](const std::string& name) {
        const auto it = types.find(qx::UpperCase(name));
        return it == types.end() ? qx::TColumnTypes{} : it->second;
    };
    std::map<std::string, std::shared_ptr<qx::TSqliteDatabase>> databases;
    qx::TPgConnections connections;
    for (const Item& item : FItems) {
        const char* form = item.kind == Kind::Sql      ? "NAME=QUERY or NAME=TABLE"
                           : item.kind == Kind::Detail ? "NAME=MASTER"
                                                       : "NAME=FILE";
        const auto [name, value] = SplitNamed(item.text, form);
        if (item.kind == Kind::Detail) {
            LinkDetail(item.text, name, value, opened, typesOf);
            continue;
        }
        if (opened.Find(name) != nullptr)
            throw qx::Exception("Dataset " + name + " is given twice");
        if (item.kind == Kind::Json) {
            opened.Add(qx::TJsonDataSet::Open(name, value, typesOf(name), FGuess));
        } else if (item.kind == Kind::Csv) {
            opened.Add(std::make_unique<qx::TCsvDataSet>(
                name, value, qx::TCsvOptions{delimiter, typesOf(name)}, FGuess));
        } else {
            if (FSources.empty())
                throw qx::Exception("Dataset " + name +
                                    ": no --db database or --pg server to read from");
            const Source& from = FSources[static_cast<std::size_t>(std::max(item.source, 0))];
            if (from.postgres) {
                opened.Add(qx::OpenPgDataSet(name, from.text, value, typesOf(name), connections));
            } else {
                auto& db = databases[from.text];
                if (!db) db = std::make_shared<qx::TSqliteDatabase>(from.text, name);
                opened.Add(std::make_unique<qx::TSqliteDataSet>(name, db, value, typesOf(name)));
            }
        }
    }
    CheckTypedColumns(FTypes, opened.datasets);
    opened.OpenUnlinked();
    return opened;
}
