// The command stream's exact layout: record sizes, self offsets, the Bloc
// merge, booleans, the string pool and rewriting a field in place.
#include <gtest/gtest.h>

#include <cstring>

#include "qxbasereport/internal/command_stream.h"
#include "qxrtf/qxrtf.h"

using namespace qx;

namespace {

// Exposes the stream operations of the report to the tests.
class StreamProbe : public TQxRTF {
  public:
    StreamProbe() {
        CreateCmStream();
        Fpnt = 1;
    }
    using TQxBaseReport::CmGetString;
    using TQxBaseReport::CmReadExprBeginItem;
    using TQxBaseReport::CmReadField;
    using TQxBaseReport::CmReadIfItem;
    using TQxBaseReport::CmReadItemInfo;
    using TQxBaseReport::CmSaveBegin;
    using TQxBaseReport::CmSaveBlocItem;
    using TQxBaseReport::CmSaveEnd;
    using TQxBaseReport::CmSaveExecuteUDFItem;
    using TQxBaseReport::CmSaveExprBeginItem;
    using TQxBaseReport::CmSaveField;
    using TQxBaseReport::CmSaveIfItem;
    using TQxBaseReport::CmSaveRawItem;
    using TQxBaseReport::CmSaveScanItem;
    using TQxBaseReport::CmSkipItem;
    using TQxBaseReport::CmStoreString;
    using TQxBaseReport::CmUpdateField;
    using TQxBaseReport::SeekToBeginCmStream;
    void SetPnt(std::int32_t p) { Fpnt = p; }
    std::int32_t Pnt() const { return Fpnt; }
    std::int32_t CmPos() const { return FCmPos; }
    std::int32_t LastId() const { return FCmLastId; }
    std::int32_t LastFpnt() const { return FCmLastFpnt; }
    std::int32_t Skip() const { return FCmSkip; }
    std::int64_t StreamPos() { return FCmStream->Position(); }
    std::int64_t CmSize() { return FCmStream->Size(); }
    void SetCmPosition(std::int64_t pos) { FCmStream->SetPosition(pos); }
    std::int32_t IntAt(std::int64_t offset) const {
        std::int32_t v;
        std::memcpy(&v, FCmStream->Memory() + offset, 4);
        return v;
    }
    void PokeInt(std::int64_t offset, std::int32_t v) {
        std::memcpy(FCmStream->Memory() + offset, &v, 4);
    }
    std::string Dump() const {
        return DumpCommandStream(FCmStream->Memory(), static_cast<std::size_t>(FCmStream->Size()),
                                 FCmStrings);
    }
};

TQxRowContent SampleRow() {
    TQxRowContent rc;
    rc.stestf = "\\\\ORDERS.NAME\\\\";
    rc.Dalias = "ORDERS";
    rc.Field = "NAME";
    rc.sout = "\\b0 ";
    rc.fmt = {3, 10, 2};
    rc.ftype = rcdata;
    return rc;
}

}  // namespace

TEST(CommandStream, RecordSizesAndSelfOffsetsChain) {
    StreamProbe p;
    p.CmSaveBegin();
    p.CmSaveField(0, SampleRow());
    p.CmSaveExprBeginItem(SampleRow(), true, false, 3);
    p.CmSaveScanItem("m", "r", 1);
    p.CmSaveIfItem("m", "r", 2, true);
    p.CmSaveExecuteUDFItem(-62, 3, 1, 0, 0);
    p.CmSaveRawItem("\\par ");
    p.CmSaveEnd();

    struct Expected {
        std::int32_t kind;
        std::int32_t skip;
    };
    const Expected expected[] = {{CmKind::Begin, 4}, {0, 42},          {CmKind::ExprBegin, 52},
                                 {CmKind::Scan, 14}, {CmKind::If, 18}, {CmKind::ExecuteUDF, 24},
                                 {CmKind::Raw, 8},   {CmKind::End, 4}};
    std::int64_t offset = 0;
    for (const Expected& e : expected) {
        SCOPED_TRACE(CmKindName(e.kind));
        EXPECT_EQ(p.IntAt(offset), e.kind);
        EXPECT_EQ(p.IntAt(offset + 8), e.skip);
        // The trailer of every record names the record's own start.
        EXPECT_EQ(p.IntAt(offset + 12 + e.skip - 4), offset);
        offset += 12 + e.skip;
    }
    EXPECT_EQ(offset, p.CmSize());
}

TEST(CommandStream, PlainTextStretchesMergeIntoOneBloc) {
    StreamProbe p;
    p.CmSaveBegin();
    p.SetPnt(10);
    p.CmSaveBlocItem();
    p.SetPnt(25);
    p.CmSaveBlocItem();
    p.SetPnt(30);
    p.CmSaveField(0, SampleRow());
    p.SetPnt(40);
    p.CmSaveBlocItem();
    p.CmSaveEnd();
    const std::string dump = p.Dump();
    EXPECT_EQ(dump,
              "0 Begin @1\n"
              "16 Bloc @25\n"
              "32 Field @30 class=0 stestf=\"\\\\\\\\ORDERS.NAME\\\\\\\\\" alias=\"ORDERS\" "
              "field=\"NAME\" sout=\"\\\\b0 \" fmt=3,10,2 ftype=0 nfield=-1 definedtype=0 "
              "defined=0\n"
              "86 Bloc @40\n"
              "102 End @40\n");
}

TEST(CommandStream, ReadingGivesTheTextBetweenRecordsAndRoundTripsPayloads) {
    StreamProbe p;
    p.CmSaveBegin();
    p.SetPnt(8);
    p.CmSaveBlocItem();
    TQxRowContent rc = SampleRow();
    p.SetPnt(20);
    p.CmSaveExprBeginItem(rc, true, true, 7);
    p.CmSaveIfItem("{\\b ", "rest", 4, true);
    p.CmSaveEnd();

    p.SetPnt(0);
    p.SeekToBeginCmStream();
    p.CmReadItemInfo();
    EXPECT_EQ(p.LastId(), CmKind::Begin);
    p.CmSkipItem();
    p.CmReadItemInfo();
    EXPECT_EQ(p.LastId(), CmKind::Bloc);
    EXPECT_EQ(p.LastFpnt(), 1);
    EXPECT_EQ(p.Pnt(), 8);  // template bytes 1..7 lie between Begin and Bloc
    p.CmSkipItem();

    p.CmReadItemInfo();
    TQxRowContent back;
    bool output = false, manage = false;
    std::uint16_t block = 0;
    p.CmReadExprBeginItem(back, output, manage, block);
    EXPECT_EQ(back, rc);
    EXPECT_TRUE(output);
    EXPECT_TRUE(manage);
    EXPECT_EQ(block, 7);

    p.CmReadItemInfo();
    std::string markup, remainder;
    bool elseFlag = false;
    p.CmReadIfItem(markup, remainder, block, elseFlag);
    EXPECT_EQ(markup, "{\\b ");
    EXPECT_EQ(remainder, "rest");
    EXPECT_EQ(block, 4);
    EXPECT_TRUE(elseFlag);
}

TEST(CommandStream, BooleanIsTrueOnlyWhenExactlyOne) {
    StreamProbe p;
    p.CmSaveIfItem("", "", 1, true);
    const std::int64_t elseOffset = 12 + 4 + 4 + 2;
    for (std::int32_t stored : {1, 0, 2, -1}) {
        SCOPED_TRACE(stored);
        p.PokeInt(elseOffset, stored);
        p.SeekToBeginCmStream();
        p.CmReadItemInfo();
        std::string m, r;
        std::uint16_t b = 0;
        bool elseFlag = !(stored == 1);
        p.CmReadIfItem(m, r, b, elseFlag);
        EXPECT_EQ(elseFlag, stored == 1);
    }
}

TEST(CommandStream, StringPoolOutOfRangeIsEmpty) {
    StreamProbe p;
    EXPECT_EQ(p.CmStoreString("a"), 0);
    EXPECT_EQ(p.CmStoreString("b"), 1);
    EXPECT_EQ(p.CmGetString(1), "b");
    EXPECT_EQ(p.CmGetString(-1), "");
    EXPECT_EQ(p.CmGetString(2), "");
}

TEST(CommandStream, UpdateFieldRewritesResolutionInPlace) {
    StreamProbe p;
    p.CmSaveBegin();
    p.SetPnt(5);
    p.CmSaveField(2, SampleRow());
    p.CmSaveEnd();
    const auto before = p.CmSize();

    p.SetPnt(0);
    p.SeekToBeginCmStream();
    p.CmReadItemInfo();
    p.CmSkipItem();
    p.CmReadItemInfo();
    TQxRowContent rc;
    p.CmReadField(rc);
    const std::int32_t fieldStart = p.CmPos();
    EXPECT_EQ(fieldStart, 16);
    const auto recordEnd = p.StreamPos();
    const std::int32_t lastFpnt = p.LastFpnt();

    p.SetPnt(5);
    p.SetCmPosition(fieldStart);
    p.CmUpdateField(4, rcsimple, true);
    EXPECT_EQ(p.StreamPos(), recordEnd);
    EXPECT_EQ(p.CmPos(), fieldStart);
    EXPECT_EQ(p.LastFpnt(), lastFpnt);
    EXPECT_EQ(p.CmSize(), before);

    p.SeekToBeginCmStream();
    p.CmReadItemInfo();
    p.CmSkipItem();
    p.CmReadItemInfo();
    p.CmReadField(rc);
    EXPECT_EQ(rc.NField, 4);
    EXPECT_EQ(rc.DefinedType, rcsimple);
    EXPECT_TRUE(rc.Defined);
    EXPECT_EQ(rc.Field, "NAME");
}
