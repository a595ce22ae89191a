// Moving a run of records to another place in the command stream, for the
// commands that act on whole table rows: a command typed inside a row is
// compiled where it stands and moved to the row's start or end once it is
// known that its block spans whole rows.
#include <cstring>

#include <algorithm>

#include "qxbasereport/base_report.h"
#include "qxbasereport/internal/command_stream.h"

namespace qx {

namespace {

void WriteLe32(std::uint8_t* p, std::int32_t v) {
    const auto u = static_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(u >> (8 * i));
}

// Header: kind, template position, skip (payload + trailer).
constexpr std::size_t kPosField = 4;
constexpr std::size_t kSkipField = 8;
constexpr std::size_t kHeader = kCmHeaderSize;

}  // namespace

std::int32_t TQxBaseReport::TCmMove::Map(std::int32_t x, bool anchor) const {
    const std::int32_t length = to - from;
    if (dest <= from) {
        if (x < dest || (anchor && x == dest)) return x;
        if (x < from) return x + length;
        if (x < to) return dest + (x - from);
        return x + added;
    }
    if (x < from) return x;
    if (x < to) return dest - length + added + (x - from);
    if (x < dest || (anchor && x == dest)) return x - length + added;
    return x + added;
}

TQxBaseReport::TCmMove TQxBaseReport::CmMoveRecords(std::int32_t from, std::int32_t to,
                                                    std::int32_t dest, std::int32_t templatePos,
                                                    const std::string& placeholder) {
    const std::uint8_t* data = FCmStream->Memory();
    const auto size = static_cast<std::size_t>(FCmStream->Size());
    const auto at = [&](std::int32_t offset) { return data + offset; };

    // The records leave a Raw record behind that writes what the command's
    // field stood for and consumes its template bytes, as the moved
    // records did there.
    std::int32_t lastPos = 0;
    for (std::int32_t p = from; p < to; p += static_cast<std::int32_t>(CmRecordSize(at(p))))
        lastPos = CmIntAt(at(p) + kPosField);
    std::vector<std::uint8_t> raw(kHeader + 8);
    WriteLe32(raw.data(), CmKind::Raw);
    WriteLe32(raw.data() + kPosField, lastPos);
    WriteLe32(raw.data() + kSkipField, 4 + FSzi);
    WriteLe32(raw.data() + kHeader, CmStoreString(placeholder));

    // The moved command items write nothing of their own: their markup
    // and remainder belong to the place of the field, in the placeholder.
    std::vector<std::uint8_t> moved(at(from), at(to));
    const std::int32_t empty = CmStoreString(std::string());
    for (std::size_t p = 0; p < moved.size(); p += CmRecordSize(moved.data() + p)) {
        std::uint8_t* record = moved.data() + p;
        WriteLe32(record + kPosField, templatePos);
        if (!IsBlockItemKind(CmIntAt(record))) continue;
        WriteLe32(record + kHeader, empty);
        WriteLe32(record + kHeader + 4, empty);
    }

    std::vector<std::uint8_t> out;
    out.reserve(size + raw.size());
    const auto append = [&](const std::uint8_t* b, const std::uint8_t* e) {
        out.insert(out.end(), b, e);
    };
    if (dest <= from) {
        append(data, at(dest));
        append(moved.data(), moved.data() + moved.size());
        append(at(dest), at(from));
        append(raw.data(), raw.data() + raw.size());
        append(at(to), data + size);
    } else {
        append(data, at(from));
        append(raw.data(), raw.data() + raw.size());
        append(at(to), at(dest));
        append(moved.data(), moved.data() + moved.size());
        append(at(dest), data + size);
    }
    // Every record ends with its own offset; the last one's kind decides
    // whether following text may still merge into it.
    std::int32_t lastKind = FCmLastId;
    for (std::size_t p = 0; p < out.size(); p += CmRecordSize(out.data() + p)) {
        lastKind = CmIntAt(out.data() + p);
        WriteLe32(out.data() + p + CmRecordSize(out.data() + p) - 4, static_cast<std::int32_t>(p));
    }
    FCmStream->SetPosition(0);
    FCmStream->WriteBuffer(out.data(), static_cast<std::int64_t>(out.size()));
    FCmPos = static_cast<std::int32_t>(out.size());
    FCmLastId = lastKind;
    const TCmMove move{from, to, dest, static_cast<std::int32_t>(raw.size())};
    // The fields' spans follow their records, so that an error still finds
    // the field it comes from; a span without records stays between them.
    for (TQxFieldSpan& span : FCmFieldSpans) {
        const std::int32_t length = span.cmEnd - span.cmBegin;
        span.cmBegin = move.Map(span.cmBegin, length == 0);
        span.cmEnd = span.cmBegin + length;
    }
    std::stable_sort(
        FCmFieldSpans.begin(), FCmFieldSpans.end(),
        [](const TQxFieldSpan& a, const TQxFieldSpan& b) { return a.cmBegin < b.cmBegin; });
    return move;
}

}  // namespace qx
