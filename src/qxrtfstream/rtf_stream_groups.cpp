// Whole groups of a fragment: found by counting braces (escaped braces and
// the data of \binN do not count), then skipped, copied, or read as the
// fragment's font, colour and style tables.
#include <algorithm>

#include "platform/sysutils.h"
#include "qxrtfstream/internal/qxrtfstream.h"

namespace qx {

namespace {

// Bytes read at a time while scanning a group.
constexpr std::int64_t kScanWindow = 1000;

// Reads a stream forwards through a window, byte by byte.
class TSourceCursor {
  public:
    TSourceCursor(TStream& source, std::int64_t from, std::int64_t size)
        : FSource(source), FPos(from), FSize(size) {}
    // The next byte, -1 at the end.
    int Peek() {
        if (FPos >= FSize) return -1;
        if (FPos < FBufStart || FPos >= FBufStart + FBufLen) Fill();
        return FBufLen > 0 ? FBuf[FPos - FBufStart] : -1;
    }
    int Get() {
        const int c = Peek();
        if (c >= 0) ++FPos;
        return c;
    }
    // False when fewer than `n` bytes remain.
    bool Skip(std::int64_t n) {
        if (n > FSize - FPos) return false;
        FPos += n;
        return true;
    }
    std::int64_t Position() const { return FPos; }

  private:
    void Fill() {
        FSource.SetPosition(FPos);
        FBufStart = FPos;
        FBufLen = std::max<std::int64_t>(0, FSource.Read(FBuf, kScanWindow));
    }
    TStream& FSource;
    std::int64_t FPos;
    std::int64_t FSize;
    std::uint8_t FBuf[kScanWindow] = {};
    std::int64_t FBufStart = 0;
    std::int64_t FBufLen = 0;
};

bool IsLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// After a backslash: passes over the escaped byte or the control word, and
// over the data of \binN. False when the source ends inside binary data.
bool PassControl(TSourceCursor& cur) {
    if (!IsLetter(cur.Peek())) {
        cur.Get();
        return true;
    }
    std::string key;
    while (IsLetter(cur.Peek())) key += static_cast<char>(cur.Get());
    if (cur.Peek() == '-') cur.Get();
    std::int64_t count = 0;
    while (IsDigit(cur.Peek())) {
        count = std::min<std::int64_t>(count * 10 + (cur.Get() - '0'), INT64_MAX / 20);
    }
    if (cur.Peek() == ' ') cur.Get();
    return key != "bin" || cur.Skip(count);
}

}  // namespace

std::int64_t TQxStream::GroupEnd(std::int64_t from, int depth) {
    TSourceCursor cur(*FStream, from, FSize);
    for (;;) {
        const int c = cur.Get();
        if (c < 0) return -1;
        if (c == '\\') {
            if (!PassControl(cur)) return -1;
        } else if (c == '{') {
            ++depth;
        } else if (c == '}' && --depth == 0) {
            return cur.Position();
        }
    }
}

bool TQxStream::ReadGroup(std::unique_ptr<TQxGetMem>& mem, std::int64_t& size) {
    const std::int64_t start = FStream->Position();
    if (start >= FSize) return false;
    const std::int64_t end = GroupEnd(start + 1, 1);
    FStream->SetPosition(start);
    if (end < 0) return false;
    size = end - start;
    mem = std::make_unique<TQxGetMem>(static_cast<std::size_t>(size) + 1);
    FStream->ReadBuffer(mem->Mem(), size);
    mem->SetItem(static_cast<std::size_t>(size), 0);
    return true;
}

bool TQxStream::SkipGroup() {
    const std::int64_t start = FStream->Position();
    const std::int64_t end = start < FSize ? GroupEnd(start + 1, 1) : -1;
    FStream->SetPosition(end < 0 ? start : end);
    return end >= 0;
}

bool TQxStream::SaveGroup() {
    const std::int64_t start = FStream->Position();
    const std::int64_t end = start < FSize ? GroupEnd(start + 1, 1) : -1;
    FStream->SetPosition(start);
    if (end < 0) return false;
    FlushPending();
    FOutStream->CopyFrom(*FStream, end - start);
    return true;
}

bool TQxStream::SeekStr(const std::string& s) {
    const auto len = static_cast<std::int64_t>(s.size());
    if (len == 0 || len > FSize) return false;
    const std::int64_t start = FStream->Position();
    // Windows overlap by one byte less than the text, so that a match across
    // two windows is seen in the second.
    std::vector<char> window(static_cast<std::size_t>(kScanWindow + len - 1));
    for (std::int64_t at = start; at + len <= FSize; at += kScanWindow) {
        FStream->SetPosition(at);
        const std::int64_t got = FStream->Read(window.data(), kScanWindow + len - 1);
        const auto end = window.begin() + got;
        const auto hit = std::search(window.begin(), end, s.begin(), s.end());
        if (hit != end) {
            FStream->SetPosition(at + (hit - window.begin()));
            return true;
        }
    }
    FStream->SetPosition(start);
    return false;
}

std::vector<std::string> TQxStream::SubGroups(const TQxGetMem& mem, std::int64_t size) const {
    std::vector<std::string> groups;
    const auto* bytes = reinterpret_cast<const char*>(mem.Mem());
    int depth = 0;
    std::int64_t groupStart = 0;
    for (std::int64_t i = 0; i < size; ++i) {
        const char c = bytes[i];
        if (c == '\\') {
            ++i;
        } else if (c == '{') {
            if (++depth == 2) groupStart = i;
        } else if (c == '}') {
            if (depth == 2)
                groups.push_back(TableText(mem.Mem() + groupStart,
                                           static_cast<std::size_t>(i + 1 - groupStart)));
            --depth;
        }
    }
    return groups;
}

std::unique_ptr<TQxGetMem> TQxStream::ReadTableGroup(std::int64_t smallest, std::int64_t& size) {
    std::unique_ptr<TQxGetMem> mem;
    if (!ReadGroup(mem, size) || size <= smallest) return nullptr;
    return mem;
}

bool TQxStream::ReadFontTable() {
    std::int64_t size = 0;
    const std::unique_ptr<TQxGetMem> mem = ReadTableGroup(16, size);
    if (!mem) return false;
    for (const std::string& font : SubGroups(*mem, size)) FFontTable.AddNew(font);
    const std::string deff = FDefFont.empty() ? "0" : FDefFont;
    FNewDefFont = std::to_string(FFontTable.Old2New(static_cast<std::int32_t>(
        std::clamp<std::int64_t>(StrToInt64(deff), INT32_MIN, INT32_MAX))));
    return true;
}

bool TQxStream::ReadColorTable() {
    std::int64_t size = 0;
    const std::unique_ptr<TQxGetMem> mem = ReadTableGroup(11, size);
    if (!mem) return false;
    const std::string table = TableText(mem->Mem(), static_cast<std::size_t>(size - 1));
    const std::string keyword = "\\colortbl";
    std::size_t at = table.find(keyword);
    if (at == std::string::npos) return false;
    at += keyword.size();
    if (at < table.size() && table[at] == ' ') ++at;  // the keyword's delimiter
    std::string entry;
    std::int32_t number = 0;
    for (; at < table.size(); ++at) {
        const char c = table[at];
        if (c == '\r' || c == '\n') continue;  // line breaks are no part of RTF text
        entry += c;
        if (c != ';') continue;
        FColorTable.AddNew(number++, entry);
        entry.clear();
    }
    return true;
}

bool TQxStream::ReadStyleSheet() {
    std::int64_t size = 0;
    const std::unique_ptr<TQxGetMem> mem = ReadTableGroup(17, size);
    if (!mem) return false;
    for (const std::string& style : SubGroups(*mem, size)) FStyleTable.AddNew(style);
    FStyleTable.CorrectNewStyles();
    return true;
}

}  // namespace qx
