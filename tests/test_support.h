// Shared helpers for the test suites: a private temporary directory per
// test (also used as $TMPDIR, so temporary files of a run can be counted),
// and whole-file reading and writing.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace qxtest {

inline std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

inline void WriteFileBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

inline std::string DataPath(const std::string& name) {
    return std::string(QXRTF_TEST_DATA_DIR) + "/" + name;
}

// A document with its font charsets and the line breaks between table
// groups taken out: what a run may change in a template without fields
// (it forces the report's charset on every font and writes the tables
// back group by group).
inline std::string WithoutCharsetsAndLineBreaks(const std::string& rtf) {
    std::string out;
    const std::string key = "\\fcharset";
    for (std::size_t i = 0; i < rtf.size(); ++i) {
        if (rtf[i] == '\n' || rtf[i] == '\r') continue;
        if (rtf.compare(i, key.size(), key) == 0) {
            out += key + "#";
            i += key.size();
            while (i < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[i]))) ++i;
            --i;
            continue;
        }
        out += rtf[i];
    }
    return out;
}

// A font group of a font table as a run writes it: a forced character set
// (not 1) replaces every set but the symbol set (2); a font without one is
// left so.
inline std::string FontWithCharset(std::string font, int charset) {
    const std::string key = "\\fcharset";
    const std::size_t at = font.find(key);
    if (at == std::string::npos || charset == 1) return font;
    std::size_t end = at + key.size();
    while (end < font.size() && std::isdigit(static_cast<unsigned char>(font[end]))) ++end;
    if (font.substr(at + key.size(), end - at - key.size()) != "2")
        font.replace(at + key.size(), end - at - key.size(), std::to_string(charset));
    return font;
}

// What a report run makes of a template without fields: the template with
// its document tables written back. The colour table keeps its entries
// (line breaks between them go); the other tables keep their sub-groups
// and drop the text between them, but a font without braces of its own
// (up to its semicolon) is kept as a group; each font's character set is
// as FontWithCharset makes it.
inline std::string WithTablesWrittenBack(std::string rtf, int charset = 1) {
    for (const std::string keyword : {"{\\fonttbl", "{\\colortbl", "{\\stylesheet", "{\\info"}) {
        const std::size_t start = rtf.find(keyword);
        if (start == std::string::npos) continue;
        std::size_t end = start + 1;
        for (int depth = 1; depth > 0 && end < rtf.size(); ++end)
            depth += rtf[end] == '{' ? 1 : rtf[end] == '}' ? -1 : 0;
        const bool fonts = keyword == "{\\fonttbl";
        std::string group = keyword;
        std::string loose;  // a font without braces, so far
        for (std::size_t i = start + keyword.size(); i + 1 < end; ++i) {
            const char c = rtf[i];
            if (keyword == "{\\colortbl") {
                if ((c != '\r' && c != '\n') || group.back() != ';') group += c;
                continue;
            }
            if (c == '{') {
                std::size_t close = i + 1;
                for (int depth = 1; depth > 0; ++close)
                    depth += rtf[close] == '{' ? 1 : rtf[close] == '}' ? -1 : 0;
                const std::string sub = rtf.substr(i, close - i);
                group += fonts ? FontWithCharset(sub, charset) : sub;
                i = close - 1;
            } else if (fonts && c != '\r' && c != '\n' && (c != ' ' || !loose.empty())) {
                loose += c;
                if (c == ';') {
                    group += FontWithCharset("{" + loose + "}", charset);
                    loose.clear();
                }
            }
        }
        rtf.replace(start, end - start, group + "}");
    }
    return rtf;
}

// A fresh directory for one test, removed afterwards; while the test runs
// it is also $TMPDIR.
class TempDirTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "qxtestXXXXXX").string();
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        ASSERT_NE(mkdtemp(buf.data()), nullptr);
        dir_ = buf.data();
        const char* old = std::getenv("TMPDIR");
        oldTmp_ = old ? old : "";
        hadTmp_ = old != nullptr;
        tmp_ = dir_ + "/tmp";
        std::filesystem::create_directory(tmp_);
        setenv("TMPDIR", tmp_.c_str(), 1);
    }
    void TearDown() override {
        if (hadTmp_)
            setenv("TMPDIR", oldTmp_.c_str(), 1);
        else
            unsetenv("TMPDIR");
        std::error_code ec;
        std::filesystem::remove_all(dir_, ec);
    }
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }
    // Files currently in the private $TMPDIR.
    std::vector<std::string> TempFiles() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(tmp_))
            names.push_back(e.path().filename().string());
        return names;
    }

    std::string dir_;
    std::string tmp_;

  private:
    std::string oldTmp_;
    bool hadTmp_ = false;
};

}  // namespace qxtest
