// A small RTF reader for tests: the text a reader shows for a document,
// written apart from the engine so that it checks the engine's escaping
// instead of repeating it. Paragraph, line, page and tab marks come back
// as \r, \v, \f and \t; destinations (tables, \* groups) are skipped.
#pragma once

#include <iconv.h>

#include <cctype>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qxtest {

// Code points of the document's text; throws std::runtime_error when the
// groups do not balance. With `decodeBytes`, each run of \'hh bytes is
// text in a code page and becomes what that function makes of it (a
// double-byte character is two such bytes); without it each byte is the
// code point of its value.
inline std::u32string RtfText(
    const std::string& rtf,
    const std::function<std::u32string(const std::string&)>& decodeBytes = nullptr) {
    struct Group {
        bool skip = false;
        int uc = 1;
    };
    std::vector<Group> groups{{}};
    std::u32string text;
    std::string bytes;     // \'hh bytes not yet decoded
    int fallbackLeft = 0;  // characters after \uN still to skip
    const auto flush = [&] {
        if (!bytes.empty()) text += decodeBytes(bytes);
        bytes.clear();
    };
    const auto emit = [&](char32_t c) {
        if (fallbackLeft > 0) {
            --fallbackLeft;
            return;
        }
        flush();
        if (!groups.back().skip) text.push_back(c);
    };
    const auto emitByte = [&](unsigned byte) {
        if (!decodeBytes || fallbackLeft > 0) return emit(byte);
        if (!groups.back().skip) bytes.push_back(static_cast<char>(byte));
    };
    bool groupStart = false;
    for (std::size_t i = 0; i < rtf.size();) {
        const unsigned char c = static_cast<unsigned char>(rtf[i]);
        if (c == '{') {
            flush();
            groups.push_back(groups.back());
            groupStart = true;
            fallbackLeft = 0;
            ++i;
            continue;
        }
        if (c == '}') {
            flush();
            if (groups.size() == 1) throw std::runtime_error("unbalanced '}'");
            groups.pop_back();
            fallbackLeft = 0;
            groupStart = false;
            ++i;
            continue;
        }
        if (c == '\r' || c == '\n') {
            ++i;
            continue;
        }
        const bool atStart = groupStart;
        groupStart = false;
        if (c != '\\') {
            emit(c);  // the tests write 7-bit text outside escapes
            ++i;
            continue;
        }
        if (i + 1 >= rtf.size()) throw std::runtime_error("backslash at end");
        const unsigned char n = static_cast<unsigned char>(rtf[i + 1]);
        if (n == '\\' || n == '{' || n == '}') {
            emit(n);
            i += 2;
            continue;
        }
        if (n == '\'') {
            emitByte(
                static_cast<unsigned>(std::strtoul(rtf.substr(i + 2, 2).c_str(), nullptr, 16)));
            i += 4;
            continue;
        }
        if (n == '*') {
            groups.back().skip = true;
            i += 2;
            continue;
        }
        if (!std::isalpha(n)) {  // other control symbols carry no text here
            i += 2;
            continue;
        }
        std::size_t j = i + 1;
        while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j]))) ++j;
        const std::string word = rtf.substr(i + 1, j - i - 1);
        std::size_t k = j;
        if (k < rtf.size() && rtf[k] == '-') ++k;
        while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k]))) ++k;
        const bool hasParam = k > j;
        const long param = hasParam ? std::strtol(rtf.substr(j, k - j).c_str(), nullptr, 10) : 0;
        if (k < rtf.size() && rtf[k] == ' ') ++k;
        i = k;
        if (atStart &&
            (word == "fonttbl" || word == "colortbl" || word == "stylesheet" || word == "info"))
            groups.back().skip = true;
        else if (word == "par")
            emit('\r');
        else if (word == "line")
            emit('\v');
        else if (word == "page")
            emit('\f');
        else if (word == "tab")
            emit('\t');
        else if (word == "uc")
            groups.back().uc = static_cast<int>(param);
        else if (word == "u") {
            emit(static_cast<char32_t>(param < 0 ? param + 65536 : param));
            fallbackLeft = groups.back().uc;
        }
    }
    flush();
    if (groups.size() != 1) throw std::runtime_error("unclosed '{'");
    return text;
}

// Bytes of a code page as code points, through iconv rather than the engine:
// a `decodeBytes` for RtfText.
inline std::u32string IconvDecode(const char* charset, const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-32LE", charset);
    if (cd == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error("iconv lacks a charset");
    std::string in = bytes;
    std::u32string out(bytes.size() + 1, U'\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(char32_t);
    const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1)) return U"<undecodable>";
    out.resize(out.size() - outLeft / sizeof(char32_t));
    return out;
}

}  // namespace qxtest
