// The corpus of templates real writers made (tests/data/writers/, listed in
// corpus.json; scripts/writer-corpus.sh remakes the ones word processors
// write, the others reproduce other writers' patterns by hand). Each holds
// a line in its script, a bold field NAME in a body run and, most of them,
// a table whose body row is scanned over ITEMS. Each must pass through
// with its text and tables unchanged, and show the values where the fields
// were, in the formatting of the field, in both readers.
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/mem_dataset.h"
#include "qxrtf/fields_as_typed.h"
#include "qxrtf/qxrtf.h"
#include "readers.h"
#include "test_support.h"

using namespace qx;

namespace {

const std::string kName = "Zoë Ørsted";
const std::vector<std::pair<std::string, std::string>> kItems = {{"Äpfel", "3"}, {"Birnen", "5"}};
const std::string kScanCell = "\\SCAN(ITEMS)\\\\ITEMS.NAME\\";
const std::string kEndCell = "\\ITEMS.QTY\\\\ENDSCAN\\";

struct CorpusDocument {
    std::string file;
    std::string rtf;
};

std::vector<CorpusDocument> Corpus() {
    std::vector<CorpusDocument> docs;
    const auto list =
        nlohmann::json::parse(qxtest::ReadFileBytes(qxtest::DataPath("writers/corpus.json")));
    for (const auto& entry : list) {
        CorpusDocument doc;
        doc.file = entry.at("file").get<std::string>();
        doc.rtf = qxtest::ReadFileBytes(qxtest::DataPath("writers/" + doc.file));
        docs.push_back(std::move(doc));
    }
    return docs;
}

std::string Run(TQxRTF& report, const std::string& rtf, const arrdataset& ds) {
    report.SetTemplateBuffer(std::vector<std::uint8_t>(rtf.begin(), rtf.end()));
    TStringStream out;
    report.ExecuteStream(ds, &out);
    return out.DataString();
}

std::string PassedThrough(const std::string& rtf) {
    qxtest::FieldsAsTyped report;
    return Run(report, rtf, {});
}

std::string Rendered(const std::string& rtf) {
    TMemDataSet items("ITEMS");
    items.AddField("NAME", ftString);
    items.AddField("QTY", ftInteger);
    for (const auto& [name, qty] : kItems) items.AppendRecord({name, std::stoll(qty)});
    TQxRTF report;
    report.CreateVar("NAME", kName);
    return Run(report, rtf, {&items});
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (auto at = s.find(from); at != std::string::npos; at = s.find(from, at + to.size()))
        s.replace(at, from.size(), to);
}

// The lines a reader shows, trimmed, without empty ones: readers differ in
// the blank lines they put between paragraphs and cells. The invisible
// direction marks one reader puts where runs change direction go too.
std::vector<std::string> Lines(std::string text) {
    for (const char* mark : {"\u202A", "\u202B", "\u202C", "\u202D", "\u202E"})
        ReplaceAll(text, mark, "");
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        const auto b = line.find_first_not_of(" \t\r");
        if (b == std::string::npos) continue;
        lines.push_back(line.substr(b, line.find_last_not_of(" \t\r") - b + 1));
    }
    return lines;
}

// What a reader should show for the rendered template, from what it shows
// for the template: the value in place of \NAME\, the scanned row (the
// lines from its first cell to its last) once per item.
std::vector<std::string> ExpectedLines(std::vector<std::string> lines) {
    for (std::string& line : lines) ReplaceAll(line, "\\NAME\\", kName);
    const auto first = std::find(lines.begin(), lines.end(), kScanCell);
    const auto last = std::find(lines.begin(), lines.end(), kEndCell);
    if (first == lines.end() || last == lines.end()) return lines;
    const std::vector<std::string> row(first, last + 1);
    std::vector<std::string> rows;
    for (const auto& [name, qty] : kItems) {
        for (std::string line : row) {
            ReplaceAll(line, kScanCell, name);
            ReplaceAll(line, kEndCell, qty);
            rows.push_back(line);
        }
    }
    const auto at = lines.erase(first, last + 1);
    lines.insert(at, rows.begin(), rows.end());
    return lines;
}

}  // namespace

// Without fields the output is the template, the tables written back (its
// fonts' character sets kept).
TEST(WriterCorpus, PassesThroughUnchanged) {
    for (const CorpusDocument& doc : Corpus()) {
        SCOPED_TRACE(doc.file);
        EXPECT_EQ(PassedThrough(doc.rtf), qxtest::WithTablesWrittenBack(doc.rtf));
    }
}

// The value takes the field's place in its run: the bytes around the field
// are the template's, the markup inside the field follows the value.
TEST(WriterCorpus, AValueTakesTheFieldsPlace) {
    for (const CorpusDocument& doc : Corpus()) {
        SCOPED_TRACE(doc.file);
        const std::string out = Rendered(doc.rtf);
        const std::size_t field = doc.rtf.find("\\\\NAME\\\\");
        if (field == std::string::npos) continue;  // split by the writer
        const std::string before = doc.rtf.substr(field > 40 ? field - 40 : 0, field > 40 ? 40 : field);
        const std::string after = doc.rtf.substr(field + 10, 20);
        const std::size_t at = out.find(before);
        ASSERT_NE(at, std::string::npos);
        EXPECT_NE(out.find(after, at + before.size()), std::string::npos);
        EXPECT_EQ(out.find("\\lang0"), std::string::npos);
        EXPECT_EQ(out.find("\\\\NAME\\\\"), std::string::npos);
    }
}

class WriterCorpusReaders : public qxtest::TempDirTest {
  protected:
    struct Files {
        std::string original, passed, rendered;
    };
    std::vector<Files> WriteAll(const std::vector<CorpusDocument>& docs) {
        std::vector<Files> files;
        for (const CorpusDocument& doc : docs) {
            const std::string stem = Path(std::filesystem::path(doc.file).stem().string());
            files.push_back({stem + ".rtf", stem + "-passed.rtf", stem + "-rendered.rtf"});
            qxtest::WriteFileBytes(files.back().original, doc.rtf);
            qxtest::WriteFileBytes(files.back().passed, PassedThrough(doc.rtf));
            qxtest::WriteFileBytes(files.back().rendered, Rendered(doc.rtf));
        }
        return files;
    }
    // The value's run is bold, as the field was.
    static void ExpectBoldValue(const std::vector<qxtest::TextRun>& runs, const char* bold) {
        bool found = false;
        for (const auto& [text, property] : runs) {
            if (text.find(kName) == std::string::npos) continue;
            found = true;
            EXPECT_NE(property.find(bold), std::string::npos) << text << ": " << property;
        }
        EXPECT_TRUE(found);
    }
};

TEST_F(WriterCorpusReaders, TheOfficeSuiteShowsEveryDocument) {
    if (!qxtest::HasProgram("soffice")) GTEST_SKIP() << "soffice is not installed";
    const std::vector<CorpusDocument> docs = Corpus();
    const std::vector<Files> files = WriteAll(docs);
    std::vector<std::string> all, rendered;
    for (const Files& f : files) {
        all.insert(all.end(), {f.original, f.passed, f.rendered});
        rendered.push_back(f.rendered);
    }
    const std::vector<std::string> texts = qxtest::OfficeTexts(dir_, all);
    const std::vector<std::string> xml = qxtest::OfficeConvert(dir_, rendered, "fodt", "fodt");
    for (std::size_t i = 0; i < docs.size(); ++i) {
        SCOPED_TRACE(docs[i].file);
        const std::vector<std::string> original = Lines(texts[3 * i]);
        ASSERT_FALSE(original.empty());
        EXPECT_EQ(Lines(texts[3 * i + 1]), original);
        EXPECT_EQ(Lines(texts[3 * i + 2]), ExpectedLines(original));
        ExpectBoldValue(qxtest::OfficeTextRuns(qxtest::ReadFileBytes(xml[i]), "fo:font-weight"),
                        "bold");
    }
}

TEST_F(WriterCorpusReaders, AbiWordShowsEveryDocument) {
    if (!qxtest::HasProgram("abiword")) GTEST_SKIP() << "abiword is not installed";
    const std::vector<CorpusDocument> docs = Corpus();
    const std::vector<Files> files = WriteAll(docs);
    for (std::size_t i = 0; i < docs.size(); ++i) {
        SCOPED_TRACE(docs[i].file);
        const std::vector<std::string> original =
            Lines(qxtest::AbiWordConvert(files[i].original, "txt"));
        ASSERT_FALSE(original.empty());
        EXPECT_EQ(Lines(qxtest::AbiWordConvert(files[i].passed, "txt")), original);
        EXPECT_EQ(Lines(qxtest::AbiWordConvert(files[i].rendered, "txt")),
                  ExpectedLines(original));
        ExpectBoldValue(qxtest::AbiWordTextRuns(qxtest::AbiWordConvert(files[i].rendered, "abw")),
                        "font-weight:bold");
    }
}
