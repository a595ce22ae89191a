// The user-defined function registry: name rules, limits, lookup and the
// settings-document form.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "conscom/exceptions.h"
#include "qxfunc/udf_list.h"

namespace qx {
namespace {

std::string NameError(TQxUDF& f, const std::string& name) {
    try {
        f.SetName(name);
    } catch (const EIllegalFunctionUse& e) {
        return e.what();
    }
    return "";
}

TEST(TQxUDF, NewItemHasDefaults) {
    TQxUDFList list;
    TQxUDF* f = list.Functions().Add();
    EXPECT_EQ(f->ResultType(), udfrTQxReportVariable);
    EXPECT_EQ(f->ArgMinCount(), 0);
    EXPECT_EQ(f->ArgMaxCount(), 0);
    EXPECT_FALSE(f->OnCalculate());
    EXPECT_EQ(f->Name(), "");
    EXPECT_EQ(f->GetDisplayName(), "TQxUDF");
    EXPECT_EQ(list.Version(), 312);
}

TEST(TQxUDF, NameIsTrimmedCheckedAndUniqueInItsList) {
    TQxUDFList list;
    TQxUDF* total = list.Functions().Add();
    total->SetName("  Total ");
    EXPECT_EQ(total->Name(), "Total");
    EXPECT_EQ(total->GetDisplayName(), "Total");

    TQxUDF* other = list.Functions().Add();
    const struct {
        const char* name;
        const char* error;
    } cases[] = {
        {"TOTAL", "User defined function with name TOTAL already exists"},
        {" total ", "User defined function with name total already exists"},
        {"1x", "Illegal function name 1x"},
        {"x-y", "Illegal function name x-y"},
        {"\xC3\xA4x", "Illegal function name \xC3\xA4x"},
        {"_x", ""},
        {"x1", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string before = other->Name();
        const std::string error = NameError(*other, c.name);
        EXPECT_EQ(error, c.error);
        if (!error.empty()) {
            EXPECT_EQ(other->Name(), before);
        }
    }

    // The lookup finds the item itself, so a case-only rename is refused.
    TQxUDF* abc = list.Functions().Add();
    abc->SetName("abc");
    EXPECT_EQ(NameError(*abc, "ABC"), "User defined function with name ABC already exists");
    EXPECT_EQ(NameError(*abc, "abc"), "");  // unchanged name: nothing to check
}

TEST(TQxUDF, LastSetLimitDragsTheOther) {
    TQxUDFList list;
    TQxUDF* f = list.Functions().Add();
    f->SetArgMinCount(5);
    EXPECT_EQ(f->ArgMaxCount(), 5);
    f->SetArgMaxCount(2);
    EXPECT_EQ(f->ArgMinCount(), 2);
    EXPECT_EQ(f->ArgMaxCount(), 2);
    f->SetArgMaxCount(3);
    f->SetArgMinCount(4);
    EXPECT_EQ(f->ArgMinCount(), 4);
    EXPECT_EQ(f->ArgMaxCount(), 4);
    f->SetArgMinCount(1);
    EXPECT_EQ(f->ArgMinCount(), 1);
    EXPECT_EQ(f->ArgMaxCount(), 4);
}

TEST(TQxUDFList, FindFunctionIgnoresCaseAndBlanks) {
    TQxUDFList list;
    EXPECT_EQ(list.FindFunction("total"), -1);
    list.Functions().Add()->SetName("First");
    list.Functions().Add()->SetName("Total");
    EXPECT_EQ(list.FindFunction("  total "), 1);
    EXPECT_EQ(list.FindFunction("FIRST"), 0);
    EXPECT_EQ(list.FindFunction("Tot"), -1);
    EXPECT_EQ(list.GetCount(), 2);
}

TEST(TQxUDFList, FunctionsAssignmentCopiesItemsWithHandlers) {
    TQxUDFList source;
    TQxUDF* f = source.Functions().Add();
    f->SetName("Twice");
    f->SetArgMaxCount(1);
    f->SetResultType(udfrTMemoryStream);
    int calls = 0;
    f->SetOnCalculate([&calls](TObject*, const TQxUDFArgs&, std::int32_t, TObject*) { ++calls; });

    TQxUDFList target;
    target.Functions().Add()->SetName("Old");
    target.SetFunctions(source.Functions());
    ASSERT_EQ(target.GetCount(), 1);
    const TQxUDF& copy = *target.Functions().Items(0);
    EXPECT_EQ(copy.Name(), "Twice");
    EXPECT_EQ(copy.ArgMaxCount(), 1);
    EXPECT_EQ(copy.ResultType(), udfrTMemoryStream);
    EXPECT_EQ(copy.Collection(), &target.Functions());
    copy.OnCalculate()(nullptr, {}, 0, nullptr);
    EXPECT_EQ(calls, 1);
    EXPECT_THROW(target.Functions().Items(1), Exception);
}

TEST(TQxUDFList, SettingsRoundTripAndRefusedDocumentChangesNothing) {
    TQxUDFList list;
    list.SetName("Functions1");
    TQxUDF* a = list.Functions().Add();
    a->SetName("Area");
    a->SetArgMinCount(2);
    a->SetArgMaxCount(5);
    a->SetResultType(udfrTPicture);
    list.Functions().Add()->SetName("Plain");

    nlohmann::json doc;
    list.SaveSettings(doc);
    TQxUDFList loaded;
    loaded.LoadSettings(doc);
    EXPECT_EQ(loaded.Name(), "Functions1");
    ASSERT_EQ(loaded.GetCount(), 2);
    const TQxUDF& area = *loaded.Functions().Items(0);
    EXPECT_EQ(area.Name(), "Area");
    EXPECT_EQ(area.ArgMinCount(), 2);
    EXPECT_EQ(area.ArgMaxCount(), 5);
    EXPECT_EQ(area.ResultType(), udfrTPicture);
    EXPECT_EQ(loaded.Functions().Items(1)->ResultType(), udfrTQxReportVariable);
    nlohmann::json again;
    loaded.SaveSettings(again);
    EXPECT_EQ(again, doc);

    nlohmann::json bad = doc;
    bad["Functions"][1]["Name"] = "AREA";
    EXPECT_THROW(loaded.LoadSettings(bad), EIllegalFunctionUse);
    EXPECT_EQ(loaded.Functions().Items(1)->Name(), "Plain");
}

}  // namespace
}  // namespace qx
