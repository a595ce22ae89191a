// Templates saved by two real word processors from one source
// (tests/data/fields.html): fields in body text, in bold runs split by
// italics, inside typographic quotes, with quoted arguments, and in table
// cells. Regenerate with
//   soffice --headless --convert-to rtf:"Rich Text Format" fields.html
//   pandoc -f html -t rtf -s fields.html -o fields_pandoc.rtf
#include <gtest/gtest.h>

#include <map>

#include "conscom/exceptions.h"
#include "qxrtf/fields_as_typed.h"
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
            qxtest::FieldsAsTyped report;
            report.SetCharset(static_cast<std::uint8_t>(charset));
            report.SetTemplateBuffer(std::vector<std::uint8_t>(rtf.begin(), rtf.end()));
            TStringStream out;
            report.ExecuteStream({}, &out);
            EXPECT_EQ(out.DataString(), qxtest::WithTablesWrittenBack(rtf, charset));
        }
    }
}

// Every prefix of a real template, as a truncated file would give it, is
// scanned without reading past its end; only the tables' own errors occur,
// and only for the prefixes that cut a table.
TEST(RealWriters, TruncatedTemplatesFailCleanly) {
    const std::string rtf = qxtest::ReadFileBytes(qxtest::DataPath("fields_lo.rtf"));
    std::map<std::string, int> errors;
    for (std::size_t size = 1; size < rtf.size(); ++size) {
        ScanProbe probe(rtf.substr(0, size));
        try {
            std::string field, text, markup;
            while (!probe.FileEof()) {
                if (!probe.GetNextReportField(field)) continue;
                probe.CutRtString(field, text, markup);
                probe.KillPar(markup);
            }
        } catch (const EBadRtfFormat& e) {
            ++errors[e.what()];
        }
    }
    // A table is read once its keyword is complete, and fails until its
    // closing brace is there.
    const std::size_t fonts = rtf.find("{\\fonttbl");
    const std::size_t fontsEnd = rtf.find("}}", fonts) + 2;
    const std::size_t colors = rtf.find("{\\colortbl");
    const std::size_t colorsEnd = rtf.find('}', colors) + 1;
    EXPECT_EQ(
        errors,
        (std::map<std::string, int>{
            {"Can't read font table from input file", static_cast<int>(fontsEnd - fonts - 9)},
            {"Can't read color table from input file", static_cast<int>(colorsEnd - colors - 10)},
        }));
}
