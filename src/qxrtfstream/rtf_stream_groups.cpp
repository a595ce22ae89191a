// Whole groups of a fragment: found by counting braces (escaped braces and
// the data of \binN do not count), then skipped, copied, or read as the
// fragment's font, colour and style tables.
#include <algorithm>
#include <string_view>

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

// The same over bytes in memory.
class TTextCursor {
  public:
    explicit TTextCursor(std::string_view text) : FText(text) {}
    int Peek() const {
        return FPos < FText.size() ? static_cast<unsigned char>(FText[FPos]) : -1;
    }
    int Get() {
        const int c = Peek();
        if (c >= 0) ++FPos;
        return c;
    }
    bool Skip(std::int64_t n) {
        if (n > static_cast<std::int64_t>(FText.size() - FPos)) return false;
        FPos += static_cast<std::size_t>(n);
        return true;
    }
    std::int64_t Position() const { return static_cast<std::int64_t>(FPos); }

  private:
    std::string_view FText;
    std::size_t FPos = 0;
};

bool IsLetter(int c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(int c) {
    return c >= '0' && c <= '9';
}

// After a backslash: passes over the escaped byte or the control word, and
// over the data of \binN, whose place `binary` takes when given. False when
// the source ends inside binary data. "\bin" is taken in any case and a
// negative count is no data, so that the group's end found here and the
// canonical "\binN " a copy writes agree for every reader.
template <class Cursor>
bool PassControl(Cursor& cur, std::vector<TQxStream::TBinaryData>* binary) {
    const std::int64_t wordStart = cur.Position() - 1;
    if (!IsLetter(cur.Peek())) {
        cur.Get();
        return true;
    }
    std::string key;
    while (IsLetter(cur.Peek())) key += static_cast<char>(cur.Get() | 0x20);
    const bool negative = cur.Peek() == '-';
    if (negative) cur.Get();
    std::int64_t count = 0;
    while (IsDigit(cur.Peek())) {
        count = std::min<std::int64_t>(count * 10 + (cur.Get() - '0'), INT64_MAX / 20);
    }
    if (cur.Peek() == ' ') cur.Get();
    if (key != "bin") return true;
    if (negative) count = 0;
    if (binary != nullptr) binary->push_back({wordStart, cur.Position(), count});
    return cur.Skip(count);
}

// Whether `entry` holds a \binN: a table entry never has binary data, and a
// reader would take bytes after it as data where a plain brace count did not.
bool HoldsBinaryData(std::string_view entry) {
    TTextCursor cur(entry);
    std::vector<TQxStream::TBinaryData> binary;
    for (int c = cur.Get(); c >= 0 && binary.empty(); c = cur.Get())
        if (c == '\\' && !PassControl(cur, &binary)) return true;
    return !binary.empty();
}

}  // namespace

std::int64_t TQxStream::GroupEnd(std::int64_t from, int depth, std::vector<TBinaryData>* binary) {
    TSourceCursor cur(*FStream, from, FSize);
    for (;;) {
        const int c = cur.Get();
        if (c < 0) return -1;
        if (c == '\\') {
            if (!PassControl(cur, binary)) return -1;
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
    std::vector<TBinaryData> binary;
    const std::int64_t end = start < FSize ? GroupEnd(start + 1, 1, &binary) : -1;
    FStream->SetPosition(start);
    if (end < 0) return false;
    FlushPending();
    // Copied byte for byte, except that each \binN is written as "\binN "
    // with the count that was passed over: a reader can then take neither
    // fewer nor more bytes as data than were kept out of the brace count.
    // (CopyFrom takes a count of 0 as the whole stream.)
    const auto copy = [this](std::int64_t count) {
        if (count > 0) FOutStream->CopyFrom(*FStream, count);
    };
    std::int64_t at = start;
    for (const TBinaryData& data : binary) {
        copy(data.wordStart - at);
        // No data, no word: a carriage return keeps the word before it delimited.
        const std::string word =
            data.count > 0 ? "\\bin" + std::to_string(data.count) + " " : std::string("\r");
        FOutStream->WriteBuffer(word.data(), static_cast<std::int64_t>(word.size()));
        FStream->SetPosition(data.dataStart);
        copy(data.count);
        at = data.dataStart + data.count;
    }
    copy(end - at);
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
    // Braces are counted as for the group itself, binary data passed over;
    // a sub-group holding binary data is left out.
    std::vector<std::string> groups;
    const std::string_view bytes(reinterpret_cast<const char*>(mem.Mem()),
                                 static_cast<std::size_t>(size));
    TTextCursor cur(bytes);
    std::vector<TBinaryData> binary;
    int depth = 0;
    std::int64_t groupStart = 0;
    std::size_t binaryBefore = 0;
    for (int c = cur.Get(); c >= 0; c = cur.Get()) {
        if (c == '\\') {
            if (!PassControl(cur, &binary)) break;
        } else if (c == '{') {
            if (++depth == 2) {
                groupStart = cur.Position() - 1;
                binaryBefore = binary.size();
            }
        } else if (c == '}') {
            if (depth == 2 && binary.size() == binaryBefore)
                groups.push_back(TableText(mem.Mem() + groupStart,
                                           static_cast<std::size_t>(cur.Position() - groupStart)));
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
        // An entry holding a brace would open or close groups of the report's
        // colour table; it takes its number but no place in the table.
        if (entry.find_first_of("{}") == std::string::npos && !HoldsBinaryData(entry))
            FColorTable.AddNew(number, entry);
        ++number;
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
