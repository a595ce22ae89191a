// Scan events, NOEOF, IIF branches with user functions, aggregates.
#include <gtest/gtest.h>

#include "conscom/exceptions.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/engine_fixture.h"

using namespace qx;

namespace {
class RunEvents : public qxtest::EngineTest {
  protected:
    struct Counts {
        int before = 0, record = 0, eof = 0;
    } counts;
    void CountEvents() {
        report.SetOnScanBefore([this](TQxScanInfo&) { ++counts.before; });
        report.SetOnScanRecord([this](TQxScanInfo&) { ++counts.record; });
        report.SetOnScanEof([this](TQxScanInfo&) { ++counts.eof; });
    }
};
}  // namespace

TEST_F(RunEvents, ScanOverRecordsFiresEachEventAtItsMoment) {
    AddDataSet("ORDERS", {{"NAME", ftString}}, {{std::string("a")}, {std::string("b")}});
    CountEvents();
    EXPECT_EQ(Render("\\\\SCAN(ORDERS)\\\\[\\\\ORDERS.NAME\\\\]\\\\ENDSCAN\\\\"),
              "[a][b]");
    EXPECT_EQ(counts.before, 1);
    EXPECT_EQ(counts.record, 2);
    EXPECT_EQ(counts.eof, 1);
}

TEST_F(RunEvents, EmptyDatasetWithAndWithoutNoEof) {
    AddDataSet("ORDERS", {{"NAME", ftString}}, {});
    CountEvents();
    // Without NOEOF the body runs once, its dataset fields written blank.
    EXPECT_EQ(Render("<\\\\SCAN(ORDERS)\\\\[\\\\ORDERS.NAME\\\\]\\\\ENDSCAN\\\\>"), "<[ ]>");
    EXPECT_EQ(counts.before, 1);
    EXPECT_EQ(counts.record, 1);
    EXPECT_EQ(counts.eof, 1);
    counts = {};
    // Skipped, the block leaves only the braces that keep the groups
    // balanced: here the one that closes the group opened before it.
    EXPECT_EQ(Render("<\\\\SCAN(ORDERS), NOEOF\\\\[{\\b \\\\ORDERS.NAME\\\\}]\\\\ENDSCAN\\\\>"),
              "<>");
    EXPECT_EQ(Render("<{\\b \\\\SCAN(ORDERS), NOEOF\\\\x} y\\\\ENDSCAN\\\\>"), "<{\\b }>");
    EXPECT_EQ(counts.before, 2);
    EXPECT_EQ(counts.record, 0);
    EXPECT_EQ(counts.eof, 2);
}

TEST_F(RunEvents, SelectedRowsLimitTheScan) {
    TMemDataSet* ds = AddDataSet("T", {{"N", ftInteger}},
                                 {{std::int64_t{1}}, {std::int64_t{2}}, {std::int64_t{3}}});
    TBookmarkList selected;
    ds->First();
    ds->Next();
    selected.Add(ds->GetBookmark());
    ds->Next();
    selected.Add(ds->GetBookmark());
    report.SetOnScanBefore([&](TQxScanInfo& info) {
        info.SetSelectedRows(&selected);
        info.SetUseSelectedRows(true);
    });
    EXPECT_EQ(Render("\\\\SCAN(T)\\\\\\\\T.N\\\\;\\\\ENDSCAN\\\\"), "2;3;");
    report.SetOnScanBefore([&](TQxScanInfo& info) { info.SetUseSelectedRows(true); });
    EXPECT_EQ(Render("<\\\\SCAN(T), NOEOF\\\\\\\\T.N\\\\;\\\\ENDSCAN\\\\>"), "<>");
}

TEST_F(RunEvents, IifCallsOnlyTheTakenBranch) {
    TQxUDFList udfs;
    int xCalls = 0, yCalls = 0;
    for (const char* name : {"X", "Y"}) {
        TQxUDF* f = udfs.Functions().Add();
        f->SetName(name);
        f->SetResultType(udfrTQxReportVariable);
        int* counter = std::string(name) == "X" ? &xCalls : &yCalls;
        const std::string value = std::string("from ") + name;
        f->SetOnCalculate(
            [counter, value](TObject*, const TQxUDFArgs&, std::int32_t, TObject* result) {
                ++*counter;
                static_cast<TQxReportVariable*>(result)->SetAsString(value);
            });
    }
    report.SetUDFList(&udfs);
    report.CreateVar("A", 1.0);
    EXPECT_EQ(Render("\\\\IIF(A > 0, X(), Y())\\\\"), "from X");
    EXPECT_EQ(xCalls, 1);
    EXPECT_EQ(yCalls, 0);
    report.VarByName("A").SetAsFloat(0);
    EXPECT_EQ(Render("\\\\IIF(A > 0, X(), Y())\\\\"), "from Y");
    EXPECT_EQ(xCalls, 1);
    EXPECT_EQ(yCalls, 1);
    // A nested IIF in the untaken branch is not run and does not disturb
    // the outer choice.
    EXPECT_EQ(Render("\\\\IIF(A = 0, Y(), IIF(A = 0, X(), X()))\\\\"), "from Y");
    EXPECT_EQ(xCalls, 1);
    EXPECT_EQ(yCalls, 2);
}

TEST_F(RunEvents, UserFunctionsSeeArgumentsInWrittenOrder) {
    TQxUDFList udfs;
    TQxUDF* f = udfs.Functions().Add();
    f->SetName("JOIN");
    f->SetArgMaxCount(3);
    f->SetResultType(udfrTQxReportVariable);
    f->SetOnCalculate(
        [this](TObject* sender, const TQxUDFArgs& args, std::int32_t count, TObject* result) {
            EXPECT_EQ(sender, &report);
            std::string text = std::to_string(count) + ":";
            for (TObject* a : args) {
                TQxReportVariable v(&report);
                v.SetLocal(true);
                report.UDFArg2Var(a, v, qxdtString);
                text += v.AsString() + ",";
            }
            static_cast<TQxReportVariable*>(result)->SetAsString(text);
        });
    report.SetUDFList(&udfs);
    AddDataSet("D", {{"F", ftString}}, {{std::string("field")}});
    EXPECT_EQ(Render("\\\\JOIN('a', D.F, 'c')\\\\"), "3:a,field,c,");
    try {
        Render("\\\\JOIN(NOVAR)\\\\");
        ADD_FAILURE() << "no error";
    } catch (const EIllegalFunctionUse& e) {
        EXPECT_STREQ(e.what(),
                     "Illegal function use: JOIN(NOVAR) - report variable NOVAR not found");
    }
}

TEST_F(RunEvents, AggregatesResetPerEntryUnlessNoReset) {
    AddDataSet("OUTER", {{"K", ftInteger}}, {{std::int64_t{1}}, {std::int64_t{2}}});
    AddDataSet("INNER", {{"V", ftFloat}}, {{1.0}, {0.0}, {2.5}});
    const std::string body =
        "\\\\SCAN(OUTER)\\\\\\\\SCAN(INNER), SUM(INNER.V, S), SUM(INNER.V, R, NORESET), "
        "CTN(INNER.V, N)\\\\"
        "\\\\ENDSCAN\\\\\\\\S\\\\/\\\\R\\\\/\\\\N\\\\;\\\\ENDSCAN\\\\";
    EXPECT_EQ(Render(body), "3.5/3.5/2;3.5/7/2;");
    // Outside every block each evaluation starts from 0.
    report.ClearVars();
    EXPECT_EQ(Render("\\\\VAR(T)\\\\\\\\SUM(5, T)\\\\\\\\SUM(2, T)\\\\\\\\T\\\\"), "2");
}
