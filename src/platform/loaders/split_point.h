// Where a large CSV or JSON file may be cut in two, so that a second thread
// reads the part after the cut while the first reads up to it. A cut is a
// guess made from the bytes near the middle alone: the reader of the first
// part checks, once it gets there, that it is at a record boundary, and
// takes the second thread's work only then and only when that work found
// no fault. Otherwise it reads on itself, so results and errors are those
// of one reading from the start.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <system_error>
#include <utility>

namespace qx {

// Files smaller than this are read in one piece: a thread costs more than
// it saves on them.
constexpr std::int64_t kSplitMinBytes = 1024 * 1024;

// The offset of the first line start after the middle of a CSV file (after
// its first "\n" there); -1 when the file is small, unreadable, or has no
// line break in the part of it looked at.
std::int64_t CsvSplitPoint(const std::string& file);

// The offset of a "{" near the middle of a JSON file whose value is an
// array ("[" first): a "{" that comes first on a line, the line before
// ending in ",". A raw line break cannot be inside a string, so the ","
// is one between values, and the "{" starts the next; the reader checks
// that the "," is one between the array's own elements. -1 when the file
// is small or unreadable, is no array, or no such place is found.
std::int64_t JsonSplitPoint(const std::string& file);

// A `Part` made of `args`, which starts a thread; nullptr when no thread
// can be started, and the file is read in one piece.
template <typename Part, typename... Args>
std::unique_ptr<Part> StartSecondPart(Args&&... args) {
    try {
        return std::make_unique<Part>(std::forward<Args>(args)...);
    } catch (const std::system_error&) {
        return nullptr;
    }
}

}  // namespace qx
