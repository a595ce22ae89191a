// The fragment merger's token loop: each token of the fragment is read,
// and the keyword table decides what of it reaches the report.
#include <algorithm>
#include <limits>

#include "platform/exceptions.h"
#include "platform/internal/codepage.h"
#include "platform/sysutils.h"
#include "qxbasereport/base_rtf_report.h"
#include "qxrtfstream/internal/qxrtfstream.h"

namespace qx {

namespace {

// Bytes a token is read from at most.
constexpr std::int64_t kTokenWindow = 100;

bool IsLetter(std::uint8_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(std::uint8_t c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string Lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

// Control words that stand for characters: written after the last "\par",
// they make it no final paragraph mark.
constexpr std::string_view kCharacterKeywords[] = {
    "\\bullet", "\\emdash", "\\emspace", "\\endash",    "\\enspace", "\\ldblquote",
    "\\line",   "\\lquote", "\\qmspace", "\\rdblquote", "\\rquote",  "\\tab",
    "\\u",      "\\zwbo",   "\\zwj",     "\\zwnbo",     "\\zwnj",
};

bool IsCharacterKeyword(const std::string& lowerKey) {
    return std::find(std::begin(kCharacterKeywords), std::end(kCharacterKeywords), lowerKey) !=
           std::end(kCharacterKeywords);
}

// A control word's parameter as a reader takes it: a number beyond 32 bits
// is the nearest one that fits, so that no parameter can fail a merge.
// `clamped` tells whether it was beyond.
std::int32_t ClampedParameter(const std::string& digits, bool& clamped) {
    const bool negative = !digits.empty() && digits[0] == '-';
    std::int64_t magnitude = 0;
    for (std::size_t i = negative ? 1 : 0; i < digits.size(); ++i) {
        magnitude = magnitude * 10 + (digits[i] - '0');
        if (magnitude > std::int64_t{1} << 31) break;
    }
    const std::int64_t value = negative ? -magnitude : magnitude;
    const std::int64_t fitting = std::clamp<std::int64_t>(
        value, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max());
    clamped = fitting != value;
    return static_cast<std::int32_t>(fitting);
}

}  // namespace

TQxStream::TQxStream(TQxBaseRTFReport& owner, TStream& source)
    : FStream(&source),
      FOwner(&owner),
      FSize(source.Size()),
      FStyleTable(this),
      FFontTable(this),
      FColorTable(this) {}

std::string TQxStream::TableText(const std::uint8_t* bytes, std::size_t count) const {
    const std::string_view text(reinterpret_cast<const char*>(bytes), count);
    // Tables are nearly always 7-bit RTF, which every code page reads as it is.
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
        return std::string(text);
    if (!FCodec) FCodec = TCodePageCodec::Shared(FOwner->OutputCodePage());
    return FCodec->Decode(text);
}

void TQxStream::FlushPending() {
    if (FPreWrite.empty()) return;
    FOutStream->WriteBuffer(FPreWrite.data(), static_cast<std::int64_t>(FPreWrite.size()));
    FPreWrite.clear();
}

void TQxStream::Write(const std::string& s) {
    FlushPending();
    if (!s.empty()) FOutStream->WriteBuffer(s.data(), static_cast<std::int64_t>(s.size()));
}

std::int64_t TQxStream::OutPosition() {
    return FOutStream->Position();
}

TQXkwType TQxStream::ReadNext() {
    FLastRead.clear();
    FLastKey.clear();
    FLastParam.clear();
    FLastDelimeter.clear();
    const std::int64_t start = FStream->Position();
    if (start >= FSize) return Fkw = kwNone;
    std::uint8_t b[kTokenWindow];
    const std::int64_t n = FStream->Read(b, kTokenWindow);
    const auto text = [&](std::int64_t count) {
        FLastRead.assign(reinterpret_cast<const char*>(b), static_cast<std::size_t>(count));
    };
    if (n <= 0) return Fkw = kwNone;
    if (b[0] == 0) {
        Fkw = kwNone;
    } else if (b[0] == '{' || b[0] == '}') {
        text(1);
        Fkw = b[0] == '{' ? kwOpen : kwClose;
    } else if (b[0] != '\\') {
        text(1);
        Fkw = kwChar;
    } else if (n == 1) {
        text(1);
        Fkw = kwNone;
    } else if (IsLetter(b[1])) {
        ReadControlWord(start, b, n);
        return Fkw = kwKeyWord;
    } else if (b[1] == '\'') {
        // Without two hex digits the escape is incomplete: it is no character.
        const bool complete = n >= 4 && IsHexDigit(b[2]) && IsHexDigit(b[3]);
        text(complete ? 4 : std::min<std::int64_t>(n, 2));
        Fkw = complete ? kwHexChar : kwNone;
    } else if (b[1] == '*') {
        text(2);
        Fkw = kwKeyDest;
    } else {
        text(2);
        Fkw = std::string_view("-\\_{}~").find(static_cast<char>(b[1])) != std::string_view::npos
                  ? kwKeyChar
                  : kwNone;
    }
    FStream->SetPosition(start + static_cast<std::int64_t>(FLastRead.size()));
    return Fkw;
}

std::int64_t TQxStream::PassDigits(std::int64_t from, std::string& digits) {
    const std::size_t first = digits.find_first_not_of("-0");
    std::size_t significant = first == std::string::npos ? 0 : digits.size() - first;
    std::uint8_t b[kTokenWindow];
    std::int64_t count = 0;
    for (;;) {
        FStream->SetPosition(from + count);
        const std::int64_t n = FStream->Read(b, kTokenWindow);
        std::int64_t i = 0;
        for (; i < n && IsDigit(b[i]); ++i) {
            // Leading zeros add nothing; past 12 digits the number is out of range anyway.
            if (significant >= 12 || (significant == 0 && b[i] == '0')) continue;
            digits += static_cast<char>(b[i]);
            ++significant;
        }
        count += i;
        if (i < n || n <= 0) return count;
    }
}

void TQxStream::ReadControlWord(std::int64_t start, const std::uint8_t* b, std::int64_t n) {
    std::int64_t i = 1;
    while (i < n && IsLetter(b[i])) ++i;
    FLastKey.assign(reinterpret_cast<const char*>(b), static_cast<std::size_t>(i));
    const std::int64_t paramStart = i;
    if (i + 1 < n && b[i] == '-' && IsDigit(b[i + 1])) ++i;
    while (i < n && IsDigit(b[i])) ++i;
    FLastParam.assign(reinterpret_cast<const char*>(b + paramStart),
                      static_cast<std::size_t>(i - paramStart));
    std::int64_t end = start + i;
    // Digits running past the window belong to the parameter too.
    const bool longParam = i == n && i > paramStart && IsDigit(b[i - 1]);
    if (longParam) end += PassDigits(end, FLastParam);
    std::uint8_t next = 0;
    if (end - start < n) {
        next = b[end - start];
    } else {
        FStream->SetPosition(end);
        if (FStream->Read(&next, 1) != 1) next = 0;
    }
    if (next == ' ') {
        FLastDelimeter = " ";
        ++end;
    }
    bool clamped = false;
    const std::int32_t value = ClampedParameter(FLastParam, clamped);
    // Written as the number a reader takes it for.
    if (clamped || longParam) FLastParam = std::to_string(value);
    FLastRead = FLastKey + FLastParam + FLastDelimeter;
    FStream->SetPosition(end);
}

int TQxStream::FindKeyWord() const {
    const std::string key = Lower(FLastKey);
    int l = 0;
    int u = static_cast<int>(kwtable.size()) - 1;
    while (u - l >= 2) {
        const int m = l + (u - l + 1) / 2;
        if (kwtable[static_cast<std::size_t>(m)].n == key) return m;
        if (key < kwtable[static_cast<std::size_t>(m)].n)
            u = m;
        else
            l = m;
    }
    if (kwtable[static_cast<std::size_t>(l)].n == key) return l;
    if (kwtable[static_cast<std::size_t>(u)].n == key) return u;
    return -1;
}

bool TQxStream::Push() {
    FPositionStack.push_back(FStream->Position() - 1);
    return true;
}

std::int64_t TQxStream::Pop() {
    if (FPositionStack.empty()) return -1;
    const std::int64_t top = FPositionStack.back();
    FPositionStack.pop_back();
    return top;
}

std::int32_t TQxStream::Param() const {
    // A reader takes a missing number as 0; ReadNext brought any other into range.
    bool clamped = false;
    return ClampedParameter(FLastParam, clamped);
}

std::string TQxStream::Renumbered(TQXReplTable& table) const {
    return std::to_string(table.Old2New(Param()));
}

void TQxStream::DropKeyWord() {
    // A carriage return in place of the word's space keeps the control word
    // written before it delimited; RTF readers ignore it.
    if (FLastDelimeter == " ") Write("\r");
}

void TQxStream::ProcessKeyWord() {
    const int row = FindKeyWord();
    if (row < 0) {
        DropKeyWord();
        return;
    }
    const TQXkwAction& kw = kwtable[static_cast<std::size_t>(row)];
    switch (kw.a) {
        case amSkip:
            DropKeyWord();
            return;
        case amSave:
            Write(FLastRead);
            if (IsCharacterKeyword(Lower(FLastKey))) ContentWritten();
            return;
        case amSaveChange:
            SaveChange(kw.proc);
            return;
        case amSaveRun:
            SaveRun(kw.proc);
            return;
        case amSkipRun:
            if (kw.proc == KwProc::Deff) FDefFont = FLastParam;
            return;
        case amSkipBlock:
        case amSaveBlock:
        case amReadBlockRun:
            BlockAction(kw.a, kw.proc);
            return;
        case amSkipInTable:
            if (FOwner->InTable())
                DropKeyWord();
            else
                Write(FLastRead);
            return;
    }
}

void TQxStream::SaveChange(std::uint16_t proc) {
    const std::string& d = FLastDelimeter;
    const bool inTable = FOwner->InTable();
    switch (proc) {
        case KwProc::Font:
            Write("\\f" + Renumbered(FFontTable) + d);
            return;
        case KwProc::Cb:
            Write("\\cb" + Renumbered(FColorTable) + d);
            return;
        case KwProc::Colour:
            Write(FLastKey + Renumbered(FColorTable) + d);
            return;
        case KwProc::Style:
            Write("\\s" + Renumbered(FStyleTable) + d);
            return;
        case KwProc::CharStyle:
            Write("\\cs" + Renumbered(FStyleTable) + d);
            return;
        case KwProc::SectionStyle:
            Write("\\ds" + Renumbered(FStyleTable) + d);
            return;
        case KwProc::TableStyle:
            Write("\\ts" + Renumbered(FStyleTable) + d);
            return;
        case KwProc::Plain:
            // The fragment's default font made explicit: the report's is another.
            Write("\\plain\\f" + FNewDefFont + d);
            return;
        case KwProc::Highlight:
            Write("\\highlight" + Renumbered(FColorTable) + d);
            return;
        case KwProc::Row:
            // A report table cell cannot hold a table: its rows become lines.
            Write((inTable ? "\\line" : "\\row") + d);
            if (inTable) ContentWritten();
            return;
        case KwProc::Pnf:
            Write("\\pnf" + Renumbered(FFontTable) + d);
            return;
        case KwProc::Pard:
            Write((inTable ? "\\pard\\intbl" : "\\pard") + d);
            return;
        case KwProc::CellColour:
            if (inTable)
                DropKeyWord();
            else
                Write(FLastKey + Renumbered(FColorTable) + d);
            return;
        default:
            return;
    }
}

void TQxStream::SaveRun(std::uint16_t proc) {
    if (proc == KwProc::Par) {
        // Pending text first, so that the position is that of "\par" itself.
        FlushPending();
        FLastParPosition = OutPosition();
        FLastParDelimeter = FLastDelimeter;
        Write("\\par" + FLastDelimeter);
    } else if (proc == KwProc::Bin) {
        CopyBinaryData();
    }
}

void TQxStream::CopyBinaryData() {
    // The data are bytes, not RTF: copied as they are, and never more than
    // the fragment holds, whatever the count says. A count of 0 or less is
    // no data, and the word goes (a reader may refuse an empty \bin).
    const std::int64_t remaining = FSize - FStream->Position();
    std::int64_t count = 0;
    if (!FLastParam.empty() && FLastParam[0] != '-') {
        for (const char c : FLastParam) {
            count = count * 10 + (c - '0');
            if (count >= remaining) break;
        }
    }
    count = std::min(count, remaining);
    if (count <= 0) {
        DropKeyWord();
        return;
    }
    Write("\\bin" + std::to_string(count) + " ");
    FOutStream->CopyFrom(*FStream, count);
    ContentWritten();
}

void TQxStream::BlockAction(TQXkwActionMethod action, std::uint16_t proc) {
    if (FPreWrite.empty()) {
        // The group's brace is already out: the keyword is not its first, and
        // only the rest of the group can be dealt with.
        if (action == amSaveBlock) {
            Write(FLastRead);
            ContentWritten();
        } else {
            SkipRestOfGroup();
        }
        return;
    }
    const std::int64_t start = Pop();
    FPreWrite.clear();
    if (start < 0) return;
    FStream->SetPosition(start);
    switch (action) {
        case amSaveBlock:
            if (SaveGroup()) ContentWritten();
            break;
        case amReadBlockRun:
            if (proc == KwProc::FontTable)
                ReadFontTable();
            else if (proc == KwProc::ColorTable)
                ReadColorTable();
            else if (proc == KwProc::StyleSheet)
                ReadStyleSheet();
            else
                SkipGroup();
            break;
        default:
            SkipGroup();
            break;
    }
    // A group left open runs to the end of the fragment: nothing is left to read.
    if (FStream->Position() == start) FStream->SetPosition(FSize);
}

void TQxStream::SkipRestOfGroup() {
    const std::int64_t end = GroupEnd(FStream->Position(), 1);
    // Stop on the group's "}", which closes the group as usual.
    FStream->SetPosition(end < 0 ? FSize : end - 1);
}

void TQxStream::ProcessDestination() {
    const std::int64_t at = FStream->Position();
    if (ReadNext() != kwKeyWord) {
        // A "\*" before no control word marks nothing: dropped.
        FStream->SetPosition(at);
        return;
    }
    const int row = FindKeyWord();
    const TQXkwActionMethod action = row < 0 ? amSkip : kwtable[static_cast<std::size_t>(row)].a;
    if (action == amSkipBlock || action == amSaveBlock || action == amReadBlockRun) {
        ProcessKeyWord();
        return;
    }
    const std::uint16_t proc = row < 0 ? 0 : kwtable[static_cast<std::size_t>(row)].proc;
    const bool inTable = FOwner->InTable();
    const bool written = action == amSave ||
                         (action == amSaveChange && !(proc == KwProc::CellColour && inTable)) ||
                         (action == amSaveRun && (proc == KwProc::Par || proc == KwProc::Bin)) ||
                         (action == amSkipInTable && !inTable);
    if (!written) {
        // An ignorable destination this merger does not keep: its text is not
        // document text, so the whole group goes.
        BlockAction(amSkipBlock, 0);
        return;
    }
    if (!FPreWrite.empty())
        FPreWrite += "\\*";
    else
        Write("\\*");
    ProcessKeyWord();
}

void TQxStream::ProcessNone() {
    if (FLastRead.empty()) {
        // A NUL byte: no RTF, passed over.
        FStream->Seek(1, TSeekOrigin::soCurrent);
        return;
    }
    // A control symbol this merger does not know ("\|", "\:", a backslash
    // before a line break) is still RTF and is kept; an escape cut short
    // would swallow the bytes written after it, and is dropped.
    if (FLastRead.size() == 2 && FLastRead[1] != '\'') Write(FLastRead);
}

void TQxStream::ProcessTextToken() {
    Write(FLastRead);
    const auto c = static_cast<std::uint8_t>(FLastRead[0]);
    if (Fkw != kwChar || c > ' ') ContentWritten();
}

bool TQxStream::Process() {
    if (FOutStream == nullptr) return false;
    FStream->SetPosition(0);
    while (FStream->Position() < FSize) {
        const TQXkwType kind = ReadNext();
        if (FPositionStack.empty() && !FOuterGroupOpen && kind != kwOpen && kind != kwClose &&
            !(kind == kwChar && static_cast<std::uint8_t>(FLastRead[0]) <= ' ')) {
            Write("{");
            FOuterGroupOpen = true;
        }
        switch (kind) {
            case kwOpen:
                // Held back: a group that turns out to be dropped or copied
                // whole must leave no brace behind.
                FlushPending();
                Push();
                FPreWrite = "{";
                break;
            case kwClose:
                // A brace that closes nothing of the fragment would close a
                // group of the report.
                if (Pop() >= 0) Write("}");
                break;
            case kwKeyDest:
                ProcessDestination();
                break;
            case kwKeyWord:
                ProcessKeyWord();
                break;
            case kwNone:
                ProcessNone();
                break;
            default:
                ProcessTextToken();
                break;
        }
    }
    // Groups the fragment left open are closed: the report stays balanced.
    while (Pop() >= 0) Write("}");
    if (FOuterGroupOpen) Write("}");
    return true;
}

}  // namespace qx
