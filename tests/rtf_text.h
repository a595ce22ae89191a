// A small RTF reader for tests: the text a reader shows for a document,
// written apart from the engine so that it checks the engine's escaping
// instead of repeating it. Paragraph, line, page and tab marks come back
// as \r, \v, \f and \t; destinations (tables, \* groups) are skipped.
#pragma once

#include <cctype>
#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

namespace qxtest {

// Code points of the document's text; throws std::runtime_error when the
// groups do not balance.
inline std::u32string RtfText(const std::string& rtf) {
    struct Group {
        bool skip = false;
        int uc = 1;
    };
    std::vector<Group> groups{{}};
    std::u32string text;
    int fallbackLeft = 0;  // characters after \uN still to skip
    const auto emit = [&](char32_t c) {
        if (fallbackLeft > 0) {
            --fallbackLeft;
            return;
        }
        if (!groups.back().skip) text.push_back(c);
    };
    bool groupStart = false;
    for (std::size_t i = 0; i < rtf.size();) {
        const unsigned char c = static_cast<unsigned char>(rtf[i]);
        if (c == '{') {
            groups.push_back(groups.back());
            groupStart = true;
            fallbackLeft = 0;
            ++i;
            continue;
        }
        if (c == '}') {
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
            emit(static_cast<char32_t>(std::strtoul(rtf.substr(i + 2, 2).c_str(), nullptr, 16)));
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
    if (groups.size() != 1) throw std::runtime_error("unclosed '{'");
    return text;
}

}  // namespace qxtest
