#include <gtest/gtest.h>

#include "platform/mem_dataset.h"
#include "platform/sysutils.h"

using namespace qx;

namespace {
void FillOrders(TMemDataSet& ds) {
    ds.AddField("Name", ftString);
    ds.AddField("Total", ftFloat);
    ds.AddField("Qty", ftInteger);
    ds.AddField("Paid", ftBoolean);
    ds.AddField("Due", ftDate);
    ds.AppendRecord({std::string("Smith"), 12.5, std::int64_t{3}, true, EncodeDate(2024, 3, 7)});
    ds.AppendRecord({std::string("Jones"), TFieldValue{}, std::int64_t{-1}, false, TFieldValue{}});
}
}  // namespace

TEST(MemDataSet, NavigationFlagsAndBookmarks) {
    TMemDataSet ds("ORDERS");
    FillOrders(ds);
    EXPECT_EQ(ds.RecordCount(), 2);
    ds.First();
    EXPECT_TRUE(ds.Bof());
    EXPECT_FALSE(ds.Eof());
    const TBookmark first = ds.GetBookmark();
    ds.Next();
    EXPECT_EQ(ds.FieldByName("name")->AsString(), "Jones");
    ds.Next();
    EXPECT_TRUE(ds.Eof());  // moving past the last record sets Eof, stays on it
    EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Jones");
    ds.GotoBookmark(first);
    EXPECT_FALSE(ds.Eof());
    EXPECT_EQ(ds.Fields(0)->AsString(), "Smith");
    ds.Prior();
    EXPECT_TRUE(ds.Bof());
    ds.Last();
    EXPECT_TRUE(ds.Eof());
    EXPECT_THROW(ds.GotoBookmark("7"), EDatabaseError);
    EXPECT_THROW(ds.GotoBookmark("x"), EDatabaseError);
    try {
        ds.FieldByName("Missing");
        ADD_FAILURE();
    } catch (const EDatabaseError& e) {
        EXPECT_STREQ(e.what(), "Field 'Missing' not found");
    }

    TMemDataSet empty("E");
    empty.AddField("A", ftString);
    empty.First();
    EXPECT_TRUE(empty.Eof());
    EXPECT_TRUE(empty.Fields(0)->IsNull());
    EXPECT_EQ(empty.Fields(0)->AsString(), "");
}

TEST(MemDataSet, TypedAccessorsConvertLikeTypedFields) {
    TMemDataSet ds("ORDERS");
    FillOrders(ds);
    ds.First();
    EXPECT_EQ(ds.FieldByName("Total")->AsString(), "12.5");
    EXPECT_EQ(ds.FieldByName("Total")->AsInteger(), 13);  // rounded, as float fields do
    EXPECT_DOUBLE_EQ(ds.FieldByName("Qty")->AsFloat(), 3.0);
    EXPECT_EQ(ds.FieldByName("Paid")->AsString(), "True");
    EXPECT_EQ(ds.FieldByName("Due")->AsString(), "3/7/2024");
    EXPECT_DOUBLE_EQ(ds.FieldByName("Due")->AsDateTime(), EncodeDate(2024, 3, 7));
    EXPECT_THROW(ds.FieldByName("Paid")->AsFloat(), EDatabaseError);
    EXPECT_THROW(ds.FieldByName("Name")->AsFloat(), EConvertError);
    ds.Next();
    EXPECT_TRUE(ds.FieldByName("Total")->IsNull());
    EXPECT_EQ(ds.FieldByName("Total")->AsString(), "");
    EXPECT_EQ(ds.FieldByName("Qty")->AsString(), "-1");
    EXPECT_FALSE(ds.FieldByName("Paid")->AsBoolean());
}

TEST(MemDataSet, DefinitionErrors) {
    TMemDataSet ds("ORDERS");
    FillOrders(ds);
    EXPECT_THROW(ds.AddField("Late", ftString), EDatabaseError);
    EXPECT_THROW(ds.AppendRecord({std::string("too few")}), EDatabaseError);
    TMemDataSet fresh("F");
    fresh.AddField("A", ftString);
    EXPECT_THROW(fresh.AddField("a", ftInteger), EDatabaseError);
}
