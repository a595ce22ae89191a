#include "platform/loaders/pg_sql.h"

#include "platform/internal/unicode.h"

namespace qx {

namespace {

bool IsIdentStart(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
           static_cast<unsigned char>(c) >= 0x80;
}

bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9') || c == '$';
}

// Copies the query's text while remembering where each byte came from.
class TTranslation {
  public:
    explicit TTranslation(const std::string& sql) : FIn(sql) {}

    TPgQuery Run() {
        while (FPos < FIn.size()) Step();
        return std::move(FOut);
    }

  private:
    char At(std::size_t i) const { return i < FIn.size() ? FIn[i] : '\0'; }
    void Copy(std::size_t count) {
        for (std::size_t i = 0; i < count && FPos < FIn.size(); ++i, ++FPos) {
            FOut.sql += FIn[FPos];
            FOut.origin.push_back(FPos);
        }
    }
    // Copies up to and including `end`, or to the end of the text.
    void CopyThrough(std::size_t end) {
        Copy(end == std::string::npos ? FIn.size() : end + 1 - FPos);
    }

    void Step() {
        const char c = FIn[FPos];
        if (c == '\'')
            return Quoted('\'', FPos > 0 && (At(FPos - 1) == 'E' || At(FPos - 1) == 'e') &&
                                    (FPos < 2 || !IsIdentChar(At(FPos - 2))));
        if (c == '"') return Quoted('"', false);
        if (c == '-' && At(FPos + 1) == '-') return CopyThrough(FIn.find('\n', FPos));
        if (c == '/' && At(FPos + 1) == '*') return BlockComment();
        if (c == '$' && (FPos == 0 || !IsIdentChar(At(FPos - 1)))) return DollarQuoted();
        if (c == ':' && At(FPos + 1) == ':') return Copy(2);
        if (c == ':' && IsIdentStart(At(FPos + 1)) && (FPos == 0 || !IsIdentChar(At(FPos - 1))))
            return Parameter();
        if (IsIdentChar(c)) {
            // A whole word: a ':' right after it is no parameter's start.
            std::size_t end = FPos;
            while (end < FIn.size() && IsIdentChar(FIn[end])) ++end;
            return Copy(end - FPos);
        }
        Copy(1);
    }

    void Quoted(char quote, bool backslashEscapes) {
        Copy(1);
        while (FPos < FIn.size()) {
            const char c = FIn[FPos];
            if (backslashEscapes && c == '\\') {
                Copy(2);
            } else if (c == quote) {
                Copy(1);
                if (At(FPos) != quote) return;  // a doubled quote stays inside
                Copy(1);
            } else {
                Copy(1);
            }
        }
    }

    void BlockComment() {
        int depth = 0;
        while (FPos < FIn.size()) {
            if (FIn[FPos] == '/' && At(FPos + 1) == '*') {
                ++depth;
                Copy(2);
            } else if (FIn[FPos] == '*' && At(FPos + 1) == '/') {
                Copy(2);
                if (--depth == 0) return;
            } else {
                Copy(1);
            }
        }
    }

    // $tag$...$tag$ (tag empty or a name); "$1" is a numbered parameter.
    void DollarQuoted() {
        std::size_t end = FPos + 1;
        if (At(end) != '$') {
            if (!IsIdentStart(At(end))) return Copy(1);
            while (end < FIn.size() && IsIdentChar(FIn[end]) && FIn[end] != '$') ++end;
            if (At(end) != '$') return Copy(end - FPos);
        }
        const std::string tag = FIn.substr(FPos, end + 1 - FPos);
        const std::size_t close = FIn.find(tag, end + 1);
        CopyThrough(close == std::string::npos ? close : close + tag.size() - 1);
    }

    void Parameter() {
        std::size_t end = FPos + 1;
        while (end < FIn.size() && IsIdentChar(FIn[end]) && FIn[end] != '$') ++end;
        const std::string name = FIn.substr(FPos, end - FPos);
        std::size_t number = 0;
        while (number < FOut.params.size() && !SameText(FOut.params[number], name)) ++number;
        if (number == FOut.params.size()) FOut.params.push_back(name);
        const std::string placeholder = "$" + std::to_string(number + 1);
        FOut.sql += placeholder;
        FOut.origin.insert(FOut.origin.end(), placeholder.size(), FPos);
        FPos = end;
    }

    const std::string& FIn;
    std::size_t FPos = 0;
    TPgQuery FOut;
};

}  // namespace

std::size_t TPgQuery::OriginalCharacter(const std::string& written, int position) const {
    if (position <= 0) return 0;
    // The server counts characters, the origins are bytes.
    const std::u32string chars = Utf8ToUtf32(sql);
    if (static_cast<std::size_t>(position) > chars.size()) return 0;
    const std::size_t byte =
        Utf32ToUtf8(chars.substr(0, static_cast<std::size_t>(position - 1))).size();
    return Utf8ToUtf32(written.substr(0, origin[byte])).size() + 1;
}

TPgQuery TranslatePgParameters(const std::string& sql) {
    return TTranslation(sql).Run();
}

bool IsPgTableName(const std::string& text) {
    bool partStart = true;
    for (char c : text) {
        if (c == '.') {
            if (partStart) return false;
            partStart = true;
        } else if (partStart) {
            if (!IsIdentStart(c)) return false;
            partStart = false;
        } else if (!IsIdentChar(c)) {
            return false;
        }
    }
    return !partStart;
}

}  // namespace qx
