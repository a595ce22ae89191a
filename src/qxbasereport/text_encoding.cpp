// Plain text to RTF, and fresh output file names.
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <random>

#include "conscom/exceptions.h"
#include "platform/unicode.h"
#include "qxbasereport/base_rtf_report.h"

namespace qx {

namespace {

void AppendHexEscape(std::string& out, unsigned byte) {
    char buf[8];
    std::snprintf(buf, sizeof buf, "\\'%02X", byte & 0xFF);
    out += buf;
}

}  // namespace

std::string TQxBaseRTFReport::txt2rtf(const std::string& s) {
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    bool wroteUnicode = false;
    for (std::size_t pos = 0; pos < s.size();) {
        const unsigned char b = static_cast<unsigned char>(s[pos]);
        if (b < 0x80) {  // 7-bit: the common case, no decoding needed
            ++pos;
            switch (b) {
                case '\t':
                    out += "\\tab ";
                    break;
                case '\v':
                    out += "\\line ";
                    break;
                case '\f':
                    out += "\\page ";
                    break;
                case '\r':
                    out += "\\par ";
                    break;
                case '\\':
                    out += "\\\\";
                    break;
                case '{':
                    out += "\\{";
                    break;
                case '}':
                    out += "\\}";
                    break;
                default:
                    // Other control bytes (NUL, escape...) would be lost or
                    // cut the document short in a reader: written as the
                    // characters they are. A line feed stays: readers skip
                    // it, as they skip the one after a carriage return.
                    if (b < 0x20 && b != '\n')
                        AppendHexEscape(out, b);
                    else
                        out += static_cast<char>(b);
            }
            continue;
        }
        const std::size_t start = pos;
        const char32_t cp = Utf8Next(s, pos);
        if (cp <= 0xFF) {
            AppendHexEscape(out, cp);
        } else if (!FUnicodeByDefault) {
            // The byte writer converts it to the code page ('?' if absent).
            out.append(s, start, pos - start);
        } else {
            const std::string fallback = Codec().Encode(s.substr(start, pos - start));
            // Characters beyond the 16-bit range go as their two UTF-16 halves.
            const auto writeUnit = [&](unsigned unit, unsigned char fb) {
                out += "\\u" + std::to_string(unit) + " ";
                AppendHexEscape(out, fb);
            };
            if (cp > 0xFFFF) {
                const char32_t v = cp - 0x10000;
                writeUnit(0xD800 + (v >> 10), '?');
                writeUnit(0xDC00 + (v & 0x3FF), '?');
            } else {
                writeUnit(cp, fallback.empty() ? '?' : static_cast<unsigned char>(fallback[0]));
            }
            wroteUnicode = true;
        }
    }
    return wroteUnicode ? "{\\uc1 " + out + "}" : out;
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
    static std::mt19937 random(static_cast<std::mt19937::result_type>(
        std::chrono::system_clock::now().time_since_epoch().count()));
    const unsigned chance = std::uniform_int_distribution<unsigned>(0, 65534)(random);
    char buf[24];
    std::snprintf(buf, sizeof buf, "%X%04X", ticks, chance);
    return dir + prefix + buf + ext;
}

}  // namespace qx
