// Templates saved by two real word processors from one source
// (tests/data/fields.html): fields in body text, in bold runs split by
// italics, inside typographic quotes, with quoted arguments, and in table
// cells. Regenerate with
//   soffice --headless --convert-to rtf:"Rich Text Format" fields.html
//   pandoc -f html -t rtf -s fields.html -o fields_pandoc.rtf
#include <gtest/gtest.h>

#include <regex>

#include "qxbasereport/scan_probe.h"
#include "test_support.h"

using namespace qx;
using qxtest::ScanProbe;

namespace {

struct Writer {
    const char* file;
    std::string clerkMarkup;  // the markup inside the field split by italics
};

const Writer kWriters[] = {
    {"fields_lo.rtf", "}{\\loch\\i\\b\\loch\n}{\\loch\\b\\loch\n"},
    {"fields_pandoc.rtf", "{\\i }"},
};

// The text of every field, whichever writer saved the template.
const std::vector<std::string> kFieldTexts = {
    "ORDERS.NUMBER",
    "CUSTOMER.NAME",
    "FDATE(ORDERS.DATE,\"dd.mm.yyyy\")",
    "FNUM(ORDERS.TOTAL,10:2)",
    "ORDERS.CLERK",
    "ORDERS.MOTTO",
    "ORDERS.NOTE",
    "IIF(ORDERS.PAID,\"paid\",\"open\")",
    "UPPER(\"a\\b\")",
    "SCAN(ITEMS)",
    "ITEMS.NAME",
    "ITEMS.QTY",
    "ENDSCAN",
    "Item Count",
};

// The template as the report writes it back: every font's charset is the
// report's, and the text between the sub-groups of a table is dropped.
std::string ExpectedOutput(std::string rtf, int charset) {
    for (const char* keyword : {"{\\fonttbl", "{\\colortbl", "{\\stylesheet", "{\\info"}) {
        const std::size_t start = rtf.find(keyword);
        if (start == std::string::npos) continue;
        std::size_t end = start + 1;
        for (int depth = 1; depth > 0; ++end)
            depth += rtf[end] == '{' ? 1 : rtf[end] == '}' ? -1 : 0;
        std::string group = rtf.substr(start, end - start);
        group = std::regex_replace(group, std::regex(R"(\}[\r\n]+)"), "}");
        if (std::string(keyword) == "{\\fonttbl")
            group = std::regex_replace(group, std::regex(R"(\\fcharset\d+)"),
                                       "\\fcharset" + std::to_string(charset));
        rtf.replace(start, end - start, group);
    }
    return rtf;
}

}  // namespace

TEST(RealWriters, FieldsAreFoundAndSplit) {
    for (const Writer& w : kWriters) {
        SCOPED_TRACE(w.file);
        ScanProbe probe(qxtest::ReadFileBytes(qxtest::DataPath(w.file)));
        std::vector<std::string> texts;
        std::string field, text, markup;
        while (!probe.FileEof()) {
            if (!probe.GetNextReportField(field)) continue;
            probe.CutRtString(field, text, markup);
            texts.push_back(text);
            if (text == "ORDERS.CLERK") {
                EXPECT_EQ(markup, w.clerkMarkup);
            }
        }
        EXPECT_EQ(texts, kFieldTexts);
        // The lone backslash in the last paragraph was left as text.
        EXPECT_EQ(probe.SkipCount(), 1);
    }
}

TEST(RealWriters, OutputIsTheTemplateWithItsTablesWrittenBack) {
    for (const Writer& w : kWriters) {
        for (int charset : {0, 204}) {
            SCOPED_TRACE(std::string(w.file) + " charset " + std::to_string(charset));
            const std::string rtf = qxtest::ReadFileBytes(qxtest::DataPath(w.file));
            TQxRTF report;
            report.SetCharset(static_cast<std::uint8_t>(charset));
            report.SetTemplateBuffer(std::vector<std::uint8_t>(rtf.begin(), rtf.end()));
            TStringStream out;
            report.ExecuteStream({}, &out);
            EXPECT_EQ(out.DataString(), ExpectedOutput(rtf, charset));
        }
    }
}
