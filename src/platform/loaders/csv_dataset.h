// CSV datasets: a file whose first row names the fields, read with libcsv.
// A UTF-8 byte-order mark before the header is skipped. Opening reads the
// file through once: every row must have as many fields as the header (a
// row that does not, or bad quoting, is an error naming the file and line),
// each column's type is read from its values unless given, and the number
// of rows becomes known. The rows of a small file (up to 2 MiB of them in
// memory) are kept then and not parsed again. Those of a larger one are
// read forward from the file as the cursor moves, on a thread of their own;
// going back starts again from a remembered row offset, one every so many
// rows, so memory does not grow with the file. A row read again that no
// longer matches the header (the file changed) is an error like any other.
// A large file is read at opening in two parts at once, the second on a
// thread of its own (see split_point.h).
//
// Values: an empty unquoted field is NULL; "" (quoted) is an empty string in
// a string column and NULL in any other. Numbers use "." as the decimal
// separator, or the one of the guess options; a number with a leading zero (a
// code such as 007) is text. A column whose values mostly fit one type but
// for a few is read as text, and the first of those few is told to the
// guess options' warn (file, "line 9, field PRICE: \"249,00\" is not a number;
// the column is read as text").
#pragma once

#include <string>

#include "platform/loaders/column_types.h"
#include "platform/loaders/stream_dataset.h"

namespace qx {

struct TCsvOptions {
    char delimiter = ',';
    // Types of named columns; the other columns' types are read from their
    // values (integer, float, boolean, date, date-time, else string).
    TColumnTypes types;
};

class TCsvDataSet : public TStreamDataSet {
  public:
    TCsvDataSet(const std::string& name, const std::string& fileName,
                const TCsvOptions& options = {}, const TGuessOptions& guess = {});
    ~TCsvDataSet() override;
};

}  // namespace qx
