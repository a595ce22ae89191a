// Renders small templates in memory: fields are typed as \\FIELD\\ in the
// body, datasets are in-memory ones.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/mem_dataset.h"
#include "qxrtf/qxrtf.h"

namespace qxtest {

inline std::string Doc(const std::string& body) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard " + body + "\\par}";
}

// The report with its evaluator entry points opened, so that tests can call
// a built-in as a compiled expression would.
class EvaluatorProbe : public qx::TQxRTF {
  public:
    using qx::TQxRTF::DoFunctions;
    using qx::TQxRTF::ExecUDF;
    using qx::TQxRTF::InitFunctions;
};

class EngineTest : public ::testing::Test {
  protected:
    qx::TMemDataSet* AddDataSet(const std::string& name,
                                const std::vector<std::pair<std::string, qx::TFieldType>>& fields,
                                const std::vector<std::vector<qx::TFieldValue>>& rows) {
        auto ds = std::make_unique<qx::TMemDataSet>(name);
        for (const auto& [f, t] : fields) ds->AddField(f, t);
        for (const auto& r : rows) ds->AppendRecord(r);
        datasets.push_back(std::move(ds));
        return datasets.back().get();
    }
    qx::arrdataset DataSets() const {
        qx::arrdataset out;
        for (const auto& d : datasets) out.push_back(d.get());
        for (const auto& d : otherDatasets) out.push_back(d.get());
        return out;
    }
    // The document body the run produced for `body` (between the header we
    // wrote and the closing "\par}").
    std::string Render(const std::string& body) {
        const std::string doc = Doc(body);
        report.SetTemplateBuffer(std::vector<std::uint8_t>(doc.begin(), doc.end()));
        qx::TMemoryStream out;
        report.ExecuteStream(DataSets(), &out);
        std::string text(reinterpret_cast<const char*>(out.Memory()),
                         static_cast<std::size_t>(out.Size()));
        const std::string head = "{\\rtf1\\ansi{\\fonttbl{\\f0 Times;}}\\pard ";
        EXPECT_EQ(text.rfind(head, 0), 0u) << text;
        EXPECT_GE(text.size(), head.size() + 5) << text;
        if (text.size() < head.size() + 5) return text;
        return text.substr(head.size(), text.size() - head.size() - 5);
    }

    EvaluatorProbe report;
    std::vector<std::unique_ptr<qx::TMemDataSet>> datasets;
    // Datasets of other kinds (a detail that follows its master), given to
    // the run after `datasets`.
    std::vector<std::unique_ptr<qx::TDataSet>> otherDatasets;
};

}  // namespace qxtest
