// A readable listing of a compiled command stream, one record a line.
#include <sstream>

#include "qxbasereport/internal/command_stream.h"

namespace qx {

namespace {

class RecordReader {
  public:
    RecordReader(const std::uint8_t* data, std::size_t size, std::size_t pos)
        : FData(data), FSize(size), FPos(pos) {}
    bool Has(std::size_t n) const { return FPos + n <= FSize; }
    std::size_t Pos() const { return FPos; }
    std::int32_t Int() {
        std::uint32_t u = 0;
        for (int i = 3; i >= 0; --i) u = (u << 8) | FData[FPos + i];
        FPos += 4;
        return static_cast<std::int32_t>(u);
    }
    std::uint16_t Word() {
        const auto v = static_cast<std::uint16_t>(FData[FPos] | (FData[FPos + 1] << 8));
        FPos += 2;
        return v;
    }
    std::uint8_t Byte() { return FData[FPos++]; }

  private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos;
};

std::string Quoted(const std::vector<std::string>& pool, std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) >= pool.size())
        return "#" + std::to_string(index);
    std::string out = "\"";
    for (unsigned char c : pool[static_cast<std::size_t>(index)]) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void DumpRowContent(RecordReader& r, const std::vector<std::string>& pool, std::ostream& os) {
    os << " stestf=" << Quoted(pool, r.Int());
    os << " alias=" << Quoted(pool, r.Int());
    os << " field=" << Quoted(pool, r.Int());
    os << " sout=" << Quoted(pool, r.Int());
    const std::int32_t fmtnumber = r.Int(), precision = r.Int(), decimals = r.Int();
    os << " fmt=" << fmtnumber << ',' << precision << ',' << decimals;
    os << " ftype=" << int(r.Byte());
    os << " nfield=" << r.Int();
    os << " definedtype=" << int(r.Byte());
    os << " defined=" << r.Int();
}

void DumpPayload(std::int32_t kind, RecordReader& r, const std::vector<std::string>& pool,
                 std::ostream& os) {
    if (IsBlockItemKind(kind)) {
        os << " markup=" << Quoted(pool, r.Int());
        os << " remainder=" << Quoted(pool, r.Int());
        os << " block=" << r.Word();
        if (kind == CmKind::If) os << " else=" << r.Int();
        return;
    }
    switch (kind) {
        case CmKind::Raw:
            os << ' ' << Quoted(pool, r.Int());
            return;
        case CmKind::ScanSkip:
        case CmKind::ScanFirst:
            os << " block=" << r.Word();
            return;
        case CmKind::ExprBegin:
            DumpRowContent(r, pool, os);
            os << " output=" << r.Int();
            os << " manage=" << r.Int();
            os << " block=" << r.Word();
            return;
        case CmKind::ExecuteUDF: {
            static constexpr const char* kNames[] = {"id", "args", "iif", "argpos", "parent"};
            for (const char* name : kNames) os << ' ' << name << '=' << r.Int();
            return;
        }
        default:
            if (IsFieldKind(kind)) {
                os << " class=" << kind;
                DumpRowContent(r, pool, os);
            }
            return;
    }
}

}  // namespace

std::string DumpCommandStream(const std::uint8_t* data, std::size_t size,
                              const std::vector<std::string>& pool) {
    std::ostringstream os;
    std::size_t pos = 0;
    while (pos + kCmHeaderSize <= size) {
        RecordReader r(data, size, pos);
        const std::int32_t kind = r.Int();
        const std::int32_t templatePos = r.Int();
        const std::int32_t skip = r.Int();
        if (skip < kCmTrailerSize || !r.Has(static_cast<std::size_t>(skip))) {
            os << pos << " <truncated record>\n";
            break;
        }
        os << pos << ' ' << CmKindName(kind) << " @" << templatePos;
        DumpPayload(kind, r, pool, os);
        os << '\n';
        pos += kCmHeaderSize + static_cast<std::size_t>(skip);
        if (kind == CmKind::End) break;
    }
    return os.str();
}

}  // namespace qx
