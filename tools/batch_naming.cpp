#include "batch_naming.h"

#include <algorithm>
#include <cctype>

#include "platform/internal/codepage.h"
#include "platform/internal/unicode.h"

namespace batch {

namespace {

// Characters no file name may hold on Windows file systems (besides the
// control characters), so documents can be copied there as they are.
constexpr std::string_view kRefusedInNames = "/\\:*?\"<>|";
// Bytes a name may take with its suffix (NAME_MAX of the common file systems).
constexpr std::size_t kMaxNameBytes = 255;

bool IsHexDigit(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// A control word at `at` (just after its backslash): its letters, its
// numeric parameter, and the position after it and its delimiting space.
struct ControlWord {
    std::string_view word;
    long parameter = 0;
    bool hasParameter = false;
    std::size_t end = 0;
};

ControlWord ReadControlWord(std::string_view rtf, std::size_t at) {
    ControlWord cw;
    std::size_t i = at;
    while (i < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[i]))) ++i;
    cw.word = rtf.substr(at, i - at);
    const bool negative = i < rtf.size() && rtf[i] == '-';
    std::size_t digits = negative ? i + 1 : i;
    long value = 0;
    while (digits < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[digits])) &&
           value < 1000000) {
        value = value * 10 + (rtf[digits] - '0');
        ++digits;
    }
    if (digits > (negative ? i + 1 : i)) {
        cw.hasParameter = true;
        cw.parameter = negative ? -value : value;
        i = digits;
    }
    if (i < rtf.size() && rtf[i] == ' ') ++i;
    cw.end = i;
    return cw;
}

}  // namespace

std::string PlainTextOfRtf(std::string_view rtf, int codePage) {
    const std::shared_ptr<const qx::TCodePageCodec> shared = qx::TCodePageCodec::Shared(codePage);
    const qx::TCodePageCodec& codec = *shared;
    std::string text, bytes;  // bytes: code-page text not yet decoded
    const auto flush = [&] {
        text += codec.Decode(bytes);
        bytes.clear();
    };
    int fallbackLength = 1;  // \ucN
    int toSkip = 0;          // fallback characters after a \uN still to drop
    for (std::size_t i = 0; i < rtf.size();) {
        const char c = rtf[i];
        if (c == '{' || c == '}' || c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        if (c != '\\') {
            if (toSkip > 0)
                --toSkip;
            else
                bytes += c;
            ++i;
            continue;
        }
        if (i + 1 >= rtf.size()) break;
        const char next = rtf[i + 1];
        if (next == '\'' && i + 3 < rtf.size() && IsHexDigit(rtf[i + 2]) &&
            IsHexDigit(rtf[i + 3])) {
            if (toSkip > 0)
                --toSkip;
            else
                bytes +=
                    static_cast<char>(std::stoi(std::string(rtf.substr(i + 2, 2)), nullptr, 16));
            i += 4;
            continue;
        }
        if (!std::isalpha(static_cast<unsigned char>(next))) {
            // A control symbol: \\, \{ and \} stand for themselves; \~ is a
            // non-breaking space; the rest (\-, \_, \*) carry no text.
            if (next == '\\' || next == '{' || next == '}') bytes += next;
            if (next == '~') bytes += ' ';
            i += 2;
            continue;
        }
        const ControlWord cw = ReadControlWord(rtf, i + 1);
        i = cw.end;
        if (cw.word == "uc" && cw.hasParameter) {
            fallbackLength = static_cast<int>(cw.parameter);
        } else if (cw.word == "u" && cw.hasParameter) {
            flush();
            const long cp = cw.parameter < 0 ? cw.parameter + 65536 : cw.parameter;
            qx::Utf8Append(text, static_cast<char32_t>(cp));
            toSkip = fallbackLength;
        } else if (cw.word == "tab") {
            bytes += '\t';
        }
    }
    flush();
    return text;
}

std::string SafeFileName(std::string_view name, std::string_view suffix) {
    std::string safe;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        safe +=
            (u < 0x20 || u == 0x7F || kRefusedInNames.find(c) != std::string_view::npos) ? '_' : c;
    }
    std::size_t from = 0, to = safe.size();
    while (from < to && (safe[from] == ' ' || safe[from] == '.')) ++from;
    while (to > from && (safe[to - 1] == ' ' || safe[to - 1] == '.')) --to;
    safe = safe.substr(from, to - from);
    const std::size_t limit = kMaxNameBytes - std::min(suffix.size(), kMaxNameBytes);
    if (safe.size() > limit) {
        // Cut on a character boundary, never inside a UTF-8 sequence.
        std::size_t cut = limit;
        while (cut > 0 && (static_cast<unsigned char>(safe[cut]) & 0xC0) == 0x80) --cut;
        safe.resize(cut);
        while (!safe.empty() && (safe.back() == ' ' || safe.back() == '.')) safe.pop_back();
    }
    return safe;
}

std::uint64_t ShardOfKey(std::string_view key, std::uint64_t count) {
    std::uint64_t hash = 14695981039346656037ULL;
    for (const char c : key) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 1099511628211ULL;
    }
    return count == 0 ? 0 : hash % count;
}

}  // namespace batch
