// Block commands that act on whole table rows. A word processor lets an
// author type a command only inside a cell, yet repeating or dropping part
// of a row breaks the table. So when a block's commands stand in different
// cells or rows (or its closing command in the paragraph right after the
// table), the block spans whole rows: each of its commands is moved to a
// row boundary, the opening command to the start of its row (its row
// definition), a later one to the start of its row when nothing visible
// precedes it there, else to the end of its row (after \row), and one in
// the paragraph after a table (nothing visible between) to that table's
// last \row. The field keeps its own markup at its place, so the cells stay
// as the author wrote them.
#include "qxrtf/qxrtf.h"

namespace qx {

TQxRTF::TRowPlace TQxRTF::CurrentRowPlace() {
    TRowPlace place;
    place.rowsBefore = FRows.count;
    if (FRows.open) {
        place.row = FRows.count;
        place.cell = FRows.cells;
        place.rowStartCm = FRows.startCm;
        place.rowStartPnt = FRows.startPnt;
        place.textBefore = HasVisibleText(FRows.startPnt, FKwdPnt);
    } else if (FRows.endedRow > 0 && FRows.fieldsAfterEnd == 1 &&
               !HasVisibleText(FRows.textAfterEndPnt, FKwdPnt)) {
        // Empty paragraphs between count as nothing: some writers put one
        // after every table.
        place.afterRow = FRows.endedRow;
    }
    return place;
}

void TQxRTF::PlaceRowCommand(const TRowCommand& command, TRowRole role) {
    if (role == TRowRole::Opens) {
        FRowBlocks.push_back(TRowBlock{{command}, false});
        return;
    }
    if (FRowBlocks.empty()) return;
    TRowBlock& block = FRowBlocks.back();
    block.commands.push_back(command);
    const TRowPlace& first = block.commands.front().place;
    const TRowPlace& now = command.place;
    if (!block.wholeRow) {
        const bool otherCell =
            first.row > 0 && now.row > 0 && (now.row != first.row || now.cell != first.cell);
        const int firstRow = first.row > 0 ? first.row : first.rowsBefore + 1;
        block.wholeRow = otherCell || (now.afterRow > 0 && now.afterRow >= firstRow);
    }
    if (block.wholeRow) {
        // Moves change offsets: the block is looked up again after each.
        const std::size_t depth = FRowBlocks.size() - 1;
        for (std::size_t i = 0; i < FRowBlocks[depth].commands.size(); ++i)
            if (!FRowBlocks[depth].commands[i].placed) AnchorRowCommand(depth, i);
    }
    if (role == TRowRole::Closes) FRowBlocks.pop_back();
}

void TQxRTF::AnchorRowCommand(std::size_t depth, std::size_t index) {
    TRowCommand& command = FRowBlocks[depth].commands[index];
    command.placed = true;
    const TRowPlace place = command.place;
    const int firstRow = FRowBlocks[depth].commands.front().place.row;
    if (place.row > 0) {
        if (index == 0 || (!place.textBefore && place.row != firstRow)) {
            MoveRowCommand(command, place.rowStartCm, place.rowStartPnt);
        } else if (FRows.open && place.row == FRows.count) {
            FRowEndCommands.push_back(command);
        } else if (place.row <= static_cast<int>(FRowEnds.size())) {
            const TRowEnd end = FRowEnds[static_cast<std::size_t>(place.row - 1)];
            MoveRowCommand(command, end.cm, end.pnt);
        }
    } else if (place.afterRow > 0) {
        const TRowEnd end = FRowEnds[static_cast<std::size_t>(place.afterRow - 1)];
        MoveRowCommand(command, end.cm, end.pnt);
        // Now part of the row's end: a closing command after it in the same
        // paragraph still stands right after the table.
        if (place.afterRow == FRows.endedRow) {
            --FRows.fieldsAfterEnd;
            FRows.textAfterEndPnt = command.pntAfter;
        }
    }
}

// Moves a command's records before offset `dest` and keeps every offset
// the compile pass remembers pointing where it did.
void TQxRTF::MoveRowCommand(TRowCommand& command, std::int32_t dest, std::int32_t pnt) {
    const TCmMove move = CmMoveRecords(command.cmFrom, command.cmFrom + command.cmLength, dest, pnt,
                                       command.placeholder);
    const std::int32_t from = command.cmFrom;
    const auto record = [&](std::int32_t x) { return move.Map(x, false); };
    const auto follow = [&](TRowCommand& c) {
        c.cmFrom = record(c.cmFrom);
        c.place.rowStartCm = move.Map(c.place.rowStartCm, true);
    };
    for (TRowBlock& block : FRowBlocks)
        for (TRowCommand& c : block.commands) follow(c);
    for (TRowCommand& c : FRowEndCommands) follow(c);
    for (TRowEnd& end : FRowEnds) end.cm = record(end.cm);
    FRows.startCm = move.Map(FRows.startCm, true);
    FRows.endCm = record(FRows.endCm);
    FScs->RecordsMoved(from, command.cmLength, pnt, record);
}

void TQxRTF::RowEnded() {
    // The commands waiting for this row's end go after it, in the order
    // they were typed.
    for (std::size_t i = 0; i < FRowEndCommands.size(); ++i)
        MoveRowCommand(FRowEndCommands[i], FCmPos, FRows.endPnt);
    FRowEndCommands.clear();
    FRows.endCm = FCmPos;
    FRowEnds.push_back(TRowEnd{FCmPos, FRows.endPnt});
}

}  // namespace qx
