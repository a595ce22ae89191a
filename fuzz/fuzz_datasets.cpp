// The CSV, JSON and SQLite dataset readers on arbitrary file contents: the
// first byte picks the reader ('0' CSV, '1' JSON, '2' SQLite, by its value
// modulo 3), the rest is the file. Every record of the dataset (of every
// table, for a database) is read, every field in every form.
#include <sqlite3.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "platform/exceptions.h"

#include "platform/dataset.h"
#include "platform/loaders/csv_dataset.h"
#include "platform/loaders/json_dataset.h"
#include "platform/loaders/sqlite_dataset.h"

namespace {

// Reading stops here: a database view may give rows without end, and that
// is the database's doing, not the reader's.
constexpr int kMaxRecords = 10000;

template <class Read>
void TryRead(Read read) {
    try {
        (void)read();
    } catch (const qx::Exception&) {
    }
}

void ReadEveryRecord(qx::TDataSet& ds) {
    (void)ds.RecordCount();
    int n = 0;
    for (ds.First(); !ds.Eof() && n < kMaxRecords; ds.Next(), ++n) {
        for (int i = 0; i < ds.FieldCount(); ++i) {
            const qx::TField& f = *ds.Fields(i);
            if (f.IsNull()) continue;
            (void)f.AsString();
            (void)f.AsBytes();
            // Conversions a field's type does not allow raise an error;
            // each is tried on its own.
            TryRead([&] { return f.AsLargeInt(); });
            TryRead([&] { return f.AsFloat(); });
            TryRead([&] { return f.AsBoolean(); });
            TryRead([&] { return f.AsDateTime(); });
        }
    }
    // Going back exercises the readers' rewinding.
    if (n > 0) {
        ds.Last();
        ds.Prior();
        const qx::TBookmark mark = ds.GetBookmark();
        ds.First();
        ds.GotoBookmark(mark);
    }
}

std::vector<std::string> TableNames(const qx::TSqliteDatabase& db) {
    std::vector<std::string> names;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db.Handle(), "SELECT name FROM sqlite_schema WHERE type='table'", -1,
                           &st, nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* text = sqlite3_column_text(st, 0);
            if (text != nullptr) names.emplace_back(reinterpret_cast<const char*>(text));
        }
    }
    sqlite3_finalize(st);
    return names;
}

void ReadDatabase(const std::string& path) {
    auto db = std::make_shared<qx::TSqliteDatabase>(path, "D");
    for (const std::string& table : TableNames(*db)) {
        try {
            qx::TSqliteDataSet ds("D", db, table);
            ReadEveryRecord(ds);
        } catch (const qx::Exception&) {
            // One broken table does not hide the others.
        }
    }
}

// The readers take a file name: each input is written to this file. The
// journal files SQLite keeps beside a database that declares write-ahead
// logging go before each input, so that no input reads another's, and
// everything goes when the process ends.
struct TScratchFile {
    const std::string path = "/tmp/qxrtf-fuzz-dataset-" + std::to_string(getpid());
    ~TScratchFile() {
        RemoveJournals();
        std::remove(path.c_str());
    }
    void RemoveJournals() const {
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            std::remove((path + suffix).c_str());
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    static const TScratchFile scratch;
    const std::string& path = scratch.path;
    scratch.RemoveJournals();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return 0;
    std::fwrite(data + 1, 1, size - 1, f);
    std::fclose(f);
    try {
        switch (data[0] % 3) {
            case 0: {
                qx::TCsvDataSet ds("D", path);
                ReadEveryRecord(ds);
                break;
            }
            case 1:
                ReadEveryRecord(*qx::TJsonDataSet::Open("D", path));
                break;
            default:
                ReadDatabase(path);
                break;
        }
    } catch (const qx::Exception&) {
        // The readers answer bad files with an error; only crashes, leaks,
        // undefined behaviour and hangs are findings here.
    }
    return 0;
}
