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

// What a report run makes of a template without fields: the template with
// its document tables written back, every font's \fcharset set to the
// report's Charset and the text between the tables' sub-groups dropped.
inline std::string WithTablesWrittenBack(std::string rtf, int charset = 1) {
    for (const char* keyword : {"{\\fonttbl", "{\\colortbl", "{\\stylesheet", "{\\info"}) {
        const std::size_t start = rtf.find(keyword);
        if (start == std::string::npos) continue;
        std::size_t end = start + 1;
        for (int depth = 1; depth > 0 && end < rtf.size(); ++end)
            depth += rtf[end] == '{' ? 1 : rtf[end] == '}' ? -1 : 0;
        const bool fonts = std::string(keyword) == "{\\fonttbl";
        std::string group;
        for (std::size_t i = start; i < end; ++i) {
            const char c = rtf[i];
            if ((c == '\r' || c == '\n') && group.back() == '}') continue;
            group += c;
            if (fonts && group.ends_with("\\fcharset")) {
                group += std::to_string(charset);
                while (i + 1 < end && std::isdigit(static_cast<unsigned char>(rtf[i + 1]))) ++i;
            }
        }
        rtf.replace(start, end - start, group);
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
