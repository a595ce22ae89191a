// Plain text to RTF, and fresh output file names.
#include <sys/stat.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <thread>

#include "conscom/exceptions.h"
#include "platform/internal/codepage.h"
#include "platform/internal/unicode.h"
#include "qxbasereport/base_rtf_report.h"

namespace qx {

namespace {

void AppendHexEscape(std::string& out, unsigned byte) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    const char escape[] = {'\\', '\'', kHex[(byte >> 4) & 0xF], kHex[byte & 0xF]};
    out.append(escape, sizeof escape);
}

// The control words that stand for ASCII characters of a value; the other
// ASCII characters are written as they are.
const char* AsciiEscape(char c) {
    switch (c) {
        case '\t':
            return "\\tab ";
        case '\v':
            return "\\line ";
        case '\f':
            return "\\page ";
        case '\\':
            return "\\\\";
        case '{':
            return "\\{";
        case '}':
            return "\\}";
        default:
            return nullptr;
    }
}

// Bytes written as they are: printable 7-bit ASCII but the RTF specials.
// A table, since every byte of every value is looked up.
constexpr std::array<bool, 256> kPlainBytes = [] {
    std::array<bool, 256> plain{};
    for (unsigned b = 0x20; b < 0x80; ++b) plain[b] = b != '\\' && b != '{' && b != '}';
    return plain;
}();

// The bytes of one character in a code page; empty when the code page
// lacks it (or is UTF-8, whose bytes no RTF reader takes as \'hh text).
std::string CodePageBytesOf(const TCodePageCodec& codec, std::string_view utf8Char) {
    if (codec.CodePage() == 65001) return {};
    std::string bytes = codec.Encode(utf8Char);
    if (bytes == "?" && utf8Char != "?") return {};
    return bytes;
}

}  // namespace

std::string TQxBaseRTFReport::CodePageBytes(std::string_view utf8Char) {
    return CodePageBytesOf(Codec(), utf8Char);
}

// Unix (LF), Windows (CR LF) and old Mac (CR) line ends each give one line
// break, so a value reads the same whichever system wrote it. A character
// is written as its code-page byte when the code page has it, and as \u
// with a '?' fallback when it does not, so none is lost or changed; with
// UnicodeByDefault every character above U+00FF is written as \u with its
// code-page byte (or '?') as the fallback.
std::string TQxBaseRTFReport::txt2rtf(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    AppendRtfText(out, s);
    return out;
}

void TQxBaseRTFReport::AppendRtfText(std::string& out, std::string_view s) {
    AppendRtfText(out, s, Codec());
}

void TQxBaseRTFReport::AppendRtfText(std::string& out, std::string_view s,
                                     const TCodePageCodec& codec) {
    const std::size_t start = out.size();
    bool wroteUnicode = false;
    // Characters beyond the 16-bit range go as their two UTF-16 halves.
    const auto writeUnicode = [&](char32_t cp, const std::string& fallback) {
        const auto writeUnit = [&](unsigned unit, unsigned char fb) {
            out += "\\u" + std::to_string(unit) + " ";
            AppendHexEscape(out, fb);
        };
        if (cp > 0xFFFF) {
            const char32_t v = cp - 0x10000;
            writeUnit(0xD800 + (v >> 10), '?');
            writeUnit(0xDC00 + (v & 0x3FF), '?');
        } else {
            writeUnit(cp, fallback.size() == 1 ? static_cast<unsigned char>(fallback[0]) : '?');
        }
        wroteUnicode = true;
    };
    for (std::size_t pos = 0; pos < s.size();) {
        // Runs of plain text, the bulk of most values, go in one piece.
        std::size_t plainEnd = pos;
        while (plainEnd < s.size() && kPlainBytes[static_cast<unsigned char>(s[plainEnd])])
            ++plainEnd;
        if (plainEnd > pos) {
            out.append(s.substr(pos, plainEnd - pos));
            pos = plainEnd;
            continue;
        }
        const unsigned char b = static_cast<unsigned char>(s[pos]);
        if (b < 0x80) {  // 7-bit: the common case, no decoding needed
            ++pos;
            if (b == '\r' || b == '\n') {
                if (b == '\r' && pos < s.size() && s[pos] == '\n') ++pos;
                out += "\\line ";
            } else if (const char* escape = AsciiEscape(static_cast<char>(b))) {
                out += escape;
            } else if (b < 0x20) {
                // Other control bytes (NUL, escape...) would be lost or cut
                // the document short in a reader: written as the characters
                // they are.
                AppendHexEscape(out, b);
            } else {
                out += static_cast<char>(b);
            }
            continue;
        }
        const std::size_t start = pos;
        const char32_t cp = Utf8Next(s, pos);
        const std::string bytes = CodePageBytesOf(codec, s.substr(start, pos - start));
        if (FUnicodeByDefault && cp > 0xFF) {
            writeUnicode(cp, bytes);
        } else if (!bytes.empty()) {
            for (char byte : bytes) AppendHexEscape(out, static_cast<unsigned char>(byte));
        } else {
            writeUnicode(cp, std::string());
        }
    }
    if (wroteUnicode) {
        out.insert(start, "{\\uc1 ");
        out += '}';
    }
}

std::string TQxBaseRTFReport::CreateFileName(const std::string& directory,
                                             const std::string& prefix) {
    return CreateFileName(directory, prefix, ".doc");
}

std::string TQxBaseRTFReport::CreateFileName(const std::string& directory,
                                             const std::string& prefix,
                                             const std::string& extension) {
    std::string dir = directory;
    if (!dir.empty()) {
        struct stat st {};
        if (::stat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
            throw EIOError("CreateFileName: directory " + directory + " does not exist");
        if (dir.back() != '/') dir += '/';
    }
    std::string ext = extension;
    if (!ext.empty() && ext.front() != '.') ext.insert(ext.begin(), '.');

    const auto ticks =
        static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                       std::chrono::steady_clock::now().time_since_epoch())
                                       .count());
    // One generator per thread: reports run in threads of their own share
    // nothing, and two threads never draw the same sequence.
    thread_local std::mt19937 random(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count() ^
        static_cast<long long>(std::hash<std::thread::id>()(std::this_thread::get_id()))));
    const unsigned chance = std::uniform_int_distribution<unsigned>(0, 65534)(random);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%X%04X", ticks, chance);
    return dir + prefix + buf + ext;
}

}  // namespace qx
