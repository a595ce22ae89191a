// The memo of a report's last search for a command's paragraph mark, and of
// the text last seen before a command. Many commands in a row on one long
// line would each search the rest of the line and look at all the text on
// the way, which is quadratic in the number of commands; a search that
// starts inside the stretch the last one read ends the same way, so its
// result is reused. The memo holds positions in one template, so the
// scanner forgets it whenever it starts on a template.
#pragma once

#include <cstdint>

namespace qx {

struct TParagraphSearch {
    const void* report = nullptr;  // whose search this was; nullptr: none
    std::int32_t from = 0;         // the search read [from, stop)
    std::int32_t stop = 0;
    std::int32_t at = -1;         // the mark's position, -1: none of its own
    std::int32_t blankFrom = -1;  // [blankFrom, at) shows no text; -1: unknown
    // [visibleFrom, visibleTo) shows text, and so does every longer stretch
    // from the same place: after a line's first text, the commands that
    // follow need not look at it again.
    std::int32_t visibleFrom = -1;
    std::int32_t visibleTo = -1;
};

// The memo of the calling thread (a report compiles in one thread).
TParagraphSearch& LastParagraphSearch();

}  // namespace qx
