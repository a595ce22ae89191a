// The command stream: what the compile pass records and the run pass
// replays, once per dataset record for a scanned stretch.
//
// Record format (every integer 32-bit signed little-endian, "word" 16-bit
// unsigned little-endian, a boolean a 32-bit integer read as true only when
// it is exactly 1, a string a 32-bit index into the string pool):
//
//   offset 0   kind            the record kind (CmKind below)
//   offset 4   template pos    the template read pointer Fpnt when written
//   offset 8   skip            payload length + 4
//   offset 12  payload         per kind, below
//   then       self offset     the stream offset where this record begins
//
// A reader just after the header reaches the next record by skipping "skip"
// bytes; one that has read a record knows where it began (to rewrite it).
// The template bytes between two records are positions FCmLastFpnt to
// Fpnt - 1 of the template: Bloc and BalancedBloc records copy them.
//
//   kind                         payload
//   Begin -9999, End -10000      none
//   Bloc -5, BalancedBloc -10    none
//   TableBegin -6, TableEnd -7   none
//   Raw -16                      string
//   FontTable -17, ColorTable -18, StyleSheet -19, DocInfo -20: none
//   Scan -3, ScanWhile -21, ScanEntry -11, ScanFooter -12, EndScan -4,
//   EndIf -24                    markup string, remainder string, word block
//   If -23                       markup, remainder, word block, boolean else
//   ScanSkip -22, ScanFirst -26  word block
//   Field 0,2,3,4,5,-1,-2        row content (38 bytes, below)
//   ExprBegin -13                row content, boolean output, boolean manage,
//                                word block (48 bytes)
//   ExprEnd -14                  none
//   ExecuteUDF -15               five integers: function id, argument count,
//                                IIF number, argument position, parent id
//
// Row content: stestf, Dalias, Field, sout (4 strings), fmtnumber,
// precision, decimals (3 integers), ftype (1 byte), NField (integer),
// DefinedType (1 byte), Defined (boolean).
//
// Only two things ever change a record after it is written: a Bloc that is
// followed by more plain text takes the later template position (so a run
// of text stays one record), and CmUpdateField stores a field's dataset
// resolution so that it happens once per run, not once per record.
//
// Field positions. The records keep their fixed layout; beside the stream
// the compile pass keeps a side table with one entry per report field
// (TQxFieldSpan below): the stream offsets of the first record the field
// compiled to and of the record after its last one, the template positions
// of its delimiters, and its text as typed. The spans are appended in
// stream order and never overlap, so the field of any record (the one a
// run-time error came from) is found by a binary search on the offset. A
// field that wrote no record of its own has an empty span.
// Records written by the scanner between fields (Bloc, BalancedBloc, Table*,
// the document tables) belong to no span.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "qxbasereport/field_format.h"
#include "qxbasereport/internal/codes.h"

namespace qx {

// True for the kinds a Field record takes (the field's class).
bool IsFieldKind(std::int32_t kind);
// True for the scan and if records that carry markup, remainder and a
// block number (Scan, ScanWhile, ScanEntry, ScanFooter, EndScan, If, EndIf).
bool IsBlockItemKind(std::int32_t kind);
// "Bloc", "Scan", ... ; "Field" for field kinds; "?" for an unknown kind.
const char* CmKindName(std::int32_t kind);

// Payload and record sizes that the layout above fixes.
inline constexpr int kCmHeaderSize = 12;
inline constexpr int kCmTrailerSize = 4;
inline constexpr int kCmRowContentSize = 38;
inline constexpr int kCmExprBeginSize = kCmRowContentSize + 4 + 4 + 2;
inline constexpr int kCmBlockItemSize = 4 + 4 + 2;
inline constexpr int kCmIfItemSize = kCmBlockItemSize + 4;
inline constexpr int kCmExecuteUDFSize = 5 * 4;

// The 32-bit little-endian integer at `p`, as the records hold them.
inline std::int32_t CmIntAt(const std::uint8_t* p) {
    return static_cast<std::int32_t>(
        static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
        (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
}
// The size of the record that starts at `p`: header, payload and trailer.
inline std::size_t CmRecordSize(const std::uint8_t* p) {
    return static_cast<std::size_t>(kCmHeaderSize) + static_cast<std::size_t>(CmIntAt(p + 8));
}

// Prints a compiled stream one record a line:
//   offset kind-name @template-pos payload...
// with pooled strings shown quoted. Used by `qxrtf dump` and by tests that
// compare compiled templates.
std::string DumpCommandStream(const std::uint8_t* data, std::size_t size,
                              const std::vector<std::string>& pool);

}  // namespace qx
