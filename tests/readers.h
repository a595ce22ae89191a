// Two independent word processors read rendered documents back: the office
// suite (soffice) and AbiWord. A result that only one of them accepts is a
// fault of ours, not of the reader. Each is optional on a developer's
// machine (the tests that need it skip), CI installs both.
#pragma once

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace qxtest {

inline bool HasProgram(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

// The document's text without a leading byte-order mark.
inline std::string WithoutByteOrderMark(std::string text) {
    if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
    return text;
}

// Converts every file to `format` with the office suite in one call (one
// start of it), using a profile of its own under `dir`: parallel tests each
// need their own. Answers the converted files' paths, in the files' order
// (empty strings for files it did not convert).
inline std::vector<std::string> OfficeConvert(const std::string& dir,
                                              const std::vector<std::string>& files,
                                              const std::string& format,
                                              const std::string& extension) {
    const std::string outDir = dir + "/office-" + extension;
    std::string command = "soffice -env:UserInstallation=file://" + dir +
                          "/office-profile --headless --convert-to '" + format + "' --outdir '" +
                          outDir + "'";
    for (const std::string& f : files) command += " '" + f + "'";
    EXPECT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    std::vector<std::string> out;
    for (const std::string& f : files) {
        const std::string converted =
            outDir + "/" + std::filesystem::path(f).stem().string() + "." + extension;
        out.push_back(std::filesystem::exists(converted) ? converted : std::string());
    }
    return out;
}

// The UTF-8 text the office suite shows for each file.
inline std::vector<std::string> OfficeTexts(const std::string& dir,
                                            const std::vector<std::string>& files) {
    std::vector<std::string> texts;
    for (const std::string& path : OfficeConvert(dir, files, "txt:Text (encoded):UTF8", "txt"))
        texts.push_back(path.empty() ? std::string() : WithoutByteOrderMark(ReadFileBytes(path)));
    return texts;
}

// The tables of an HTML page (as the office suite exports a document) as
// the number of cells in each row, in document order.
inline std::vector<std::vector<int>> HtmlTables(std::string html) {
    std::transform(html.begin(), html.end(), html.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    std::vector<std::vector<int>> tables;
    const auto tagAt = [&](std::size_t pos, const char* tag) {
        const std::size_t n = std::char_traits<char>::length(tag);
        return html.compare(pos, n, tag) == 0 &&
               (html[pos + n] == '>' || html[pos + n] == ' ' || html[pos + n] == '\n');
    };
    for (std::size_t pos = html.find('<'); pos != std::string::npos;
         pos = html.find('<', pos + 1)) {
        if (tagAt(pos, "<table")) {
            tables.emplace_back();
        } else if (tagAt(pos, "<tr") && !tables.empty()) {
            tables.back().push_back(0);
        } else if ((tagAt(pos, "<td") || tagAt(pos, "<th")) && !tables.empty() &&
                   !tables.back().empty()) {
            ++tables.back().back();
        }
    }
    return tables;
}

// AbiWord's conversion of `file` into `extension` ("txt" gives UTF-8 text,
// "abw" its own XML with every run's properties).
inline std::string AbiWordConvert(const std::string& file, const std::string& extension) {
    const std::string out =
        (std::filesystem::path(file).parent_path() /
         (std::filesystem::path(file).stem().string() + ".abiword." + extension))
            .string();
    const std::string command =
        "abiword --to=" + extension + " --to-name='" + out + "' '" + file + "' >/dev/null 2>&1";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return WithoutByteOrderMark(ReadFileBytes(out));
}

// The value of attribute `name` in the XML tag that starts at `tag`, or "".
inline std::string XmlAttribute(const std::string& xml, std::size_t tag, const std::string& name) {
    const std::size_t end = xml.find('>', tag);
    const std::size_t at = xml.find(" " + name + "=\"", tag);
    if (at == std::string::npos || at > end) return {};
    const std::size_t from = at + name.size() + 3;
    return xml.substr(from, xml.find('"', from) - from);
}

// A stretch of text a reader shows and one property of its formatting.
using TextRun = std::pair<std::string, std::string>;

// Every stretch of text of an office document saved as flat XML ("fodt")
// with the text property `property` (e.g. "fo:language") of the span it
// stands in: "" outside spans and for styles that do not set it.
inline std::vector<TextRun> OfficeTextRuns(const std::string& xml, const std::string& property) {
    std::map<std::string, std::string> styleValue;
    for (std::size_t at = xml.find("<style:style "); at != std::string::npos;
         at = xml.find("<style:style ", at + 1)) {
        const std::size_t end = xml.find("</style:style>", at);
        const std::size_t props = xml.find("<style:text-properties", at);
        if (props != std::string::npos && props < end)
            styleValue[XmlAttribute(xml, at, "style:name")] = XmlAttribute(xml, props, property);
    }
    std::vector<TextRun> runs;
    std::string span;
    const std::size_t body = xml.find("<office:text");
    for (std::size_t at = xml.find('<', body); at != std::string::npos;) {
        const std::size_t end = xml.find('>', at);
        if (xml.compare(at, 11, "<text:span ") == 0 && xml[end - 1] != '/')
            span = XmlAttribute(xml, at, "text:style-name");
        else if (xml.compare(at, 12, "</text:span>") == 0)
            span.clear();
        const std::size_t next = xml.find('<', end);
        const std::string text = xml.substr(end + 1, next - end - 1);
        if (text.find_first_not_of(" \r\n") != std::string::npos)
            runs.emplace_back(text, span.empty() ? std::string() : styleValue[span]);
        at = next;
    }
    return runs;
}

// Every run of text of an AbiWord document ("abw") with its properties.
inline std::vector<TextRun> AbiWordTextRuns(const std::string& abw) {
    std::vector<TextRun> runs;
    for (std::size_t at = abw.find("<c props=\""); at != std::string::npos;
         at = abw.find("<c props=\"", at + 1)) {
        const std::size_t text = abw.find('>', at) + 1;
        runs.emplace_back(abw.substr(text, abw.find('<', text) - text),
                          XmlAttribute(abw, at, "props"));
    }
    return runs;
}

}  // namespace qxtest
