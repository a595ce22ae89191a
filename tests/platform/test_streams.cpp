#include <gtest/gtest.h>

#include "platform/exceptions.h"
#include "platform/internal/codepage.h"
#include "platform/internal/os.h"
#include "platform/internal/unicode.h"
#include "platform/internal/write_behind_file.h"
#include "platform/streams.h"
#include "platform/stringlist.h"
#include "test_support.h"

using namespace qx;

TEST(MemoryStream, WriteSeekReadAndGrow) {
    TMemoryStream m;
    m.WriteBuffer("hello world", 11);
    EXPECT_EQ(m.Size(), 11);
    m.Seek(-5, TSeekOrigin::soEnd);
    char buf[5];
    m.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "world");
    EXPECT_EQ(m.Read(buf, 5), 0);
    EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
    m.SetPosition(20);  // writing past the end zero-fills the gap
    m.WriteBuffer("!", 1);
    EXPECT_EQ(m.Size(), 21);
    EXPECT_EQ(m.Memory()[15], 0);
}

class FileStreamTest : public qxtest::TempDirTest {};

TEST_F(FileStreamTest, RoundTripAndCopyBetweenKinds) {
    const std::string name = Path("a.bin");
    std::string payload(300000, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 7);
    {
        TFileStream f(name, TFileMode::fmCreate);
        TStringStream src(payload);
        EXPECT_EQ(f.CopyFrom(src, 0), static_cast<std::int64_t>(payload.size()));
        EXPECT_EQ(f.Size(), static_cast<std::int64_t>(payload.size()));
    }
    EXPECT_EQ(qxtest::ReadFileBytes(name), payload);
    TFileStream in(name, TFileMode::fmOpenRead);
    in.Seek(100, TSeekOrigin::soBeginning);
    TMemoryStream copy;
    copy.CopyFrom(in, 1000);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(copy.Memory()), 1000), payload.substr(100, 1000));
    EXPECT_EQ(in.Position(), 1100);
}

TEST_F(FileStreamTest, OpenFailuresRaise) {
    EXPECT_THROW(TFileStream(Path("missing"), TFileMode::fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream(Path("no/such/dir/x"), TFileMode::fmCreate), EFCreateError);
}

TEST_F(FileStreamTest, WriteBehindFileSeesEverythingItWasHanded) {
    // Several times the buffer, in uneven pieces: some pieces cross the
    // point where a full buffer goes to the writer thread.
    const std::string name = Path("w.bin");
    std::string payload(3 * (1 << 20) + 12345, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i * 13 + 1);
    TWriteBehindFile f(name);
    std::size_t at = 0;
    for (std::size_t piece = 1; at < payload.size(); piece = piece * 3 % 700001 + 17) {
        const std::size_t n = std::min(piece, payload.size() - at);
        f.WriteBuffer(payload.data() + at, static_cast<std::int64_t>(n));
        at += n;
        ASSERT_EQ(f.Position(), static_cast<std::int64_t>(at));
    }
    EXPECT_EQ(f.Size(), static_cast<std::int64_t>(payload.size()));
    // Reading back from the middle, overwriting there, then cutting the end.
    f.SetPosition(1 << 20);
    std::string back(1000, '\0');
    f.ReadBuffer(back.data(), 1000);
    EXPECT_EQ(back, payload.substr(1 << 20, 1000));
    f.SetPosition(5);
    f.WriteBuffer("XYZ", 3);
    payload.replace(5, 3, "XYZ");
    f.SetSize(2 * (1 << 20));
    payload.resize(2 * (1 << 20));
    EXPECT_EQ(f.Position(), 8);
    f.Close();
    EXPECT_EQ(qxtest::ReadFileBytes(name), payload);
    EXPECT_THROW(TWriteBehindFile(Path("no/such/dir/x")), EFCreateError);
}

TEST_F(FileStreamTest, TempFilesCarryPrefixAndPrivateMode) {
    const std::string name = CreateTempFile("qxr");
    EXPECT_EQ(name.rfind(tmp_ + "/qxr", 0), 0u) << name;
    EXPECT_TRUE(FileExists(name));
    EXPECT_EQ(std::filesystem::status(name).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
}

TEST(ShellOpen, MissingFileIsReportedWithoutStartingAnything) {
    EXPECT_EQ(ShellOpen("/nonexistent/report.rtf", 1), kShellFileNotFound);
}

TEST(StringList, NameValueLookupIgnoresCaseIncludingNonLatin) {
    TStringList l;
    l.Add("ORDERS=0");
    l.Add("Имя=Иван");
    l.Add("plain line");
    EXPECT_EQ(l.Values("orders"), "0");
    EXPECT_EQ(l.Values("ИМЯ"), "Иван");
    EXPECT_EQ(l.IndexOfName("plain line"), -1);
    EXPECT_EQ(l.Names(2), "plain line");
    l.SetValues("Orders", "5");
    EXPECT_EQ(l.Strings(0), "Orders=5");
    l.SetValues("orders", "");
    EXPECT_EQ(l.Count(), 2);
    EXPECT_THROW(l.Strings(7), Exception);
}

TEST(StringList, TextSplitsEveryLineEndAndOwnsObjectsOnRequest) {
    TStringList l;
    l.SetText("a\r\nb\rc\nd");
    ASSERT_EQ(l.Count(), 4);
    EXPECT_EQ(l.Text(), "a\nb\nc\nd\n");

    struct Tracked : TObject {
        explicit Tracked(int* c) : counter(c) {}
        ~Tracked() override { ++*counter; }
        int* counter;
    };
    int destroyed = 0;
    {
        TStringList owner;
        owner.SetOwnsObjects(true);
        owner.AddObject("x", new Tracked(&destroyed));
        owner.AddObject("y", new Tracked(&destroyed));
        owner.Delete(0);
        EXPECT_EQ(destroyed, 1);
    }
    EXPECT_EQ(destroyed, 2);
}

TEST(Unicode, MalformedInputAlwaysProgresses) {
    const std::string bad = "a\xC3\x28\xE2\x82\xF0\x9F\x98\x80";
    EXPECT_EQ(Utf8ToUtf32(bad), (std::u32string{U'a', 0xFFFD, U'(', 0xFFFD, 0xFFFD, 0x1F600}));
    EXPECT_EQ(UpperCase("ёж déjà"), "ЁЖ DÉJÀ");
    EXPECT_TRUE(SameText("Café", "CAFÉ"));
}

TEST(CodePage, Cp1252EncodesAndDecodesThroughTables) {
    TCodePageCodec cp(1252);
    EXPECT_TRUE(cp.SingleByte());
    EXPECT_EQ(cp.Encode("€ café Ж"), "\x80 caf\xE9 ?");
    EXPECT_EQ(cp.Decode("\x80\xE9\x81"), "€é\xC2\x81");
}

TEST(CodePage, MultiByteAndUnknownPages) {
    TCodePageCodec sjis(932);
    EXPECT_FALSE(sjis.SingleByte());
    const std::string encoded = sjis.Encode("日本 Ж€");
    EXPECT_EQ(sjis.Decode(encoded).substr(0, 7), "日本 ");
    TCodePageCodec cyr(1251);
    EXPECT_EQ(cyr.Encode("Жук"), "\xC6\xF3\xEA");
    EXPECT_THROW(TCodePageCodec(99999), Exception);
}

TEST(CodePage, SingleBytePagesAreSharedAndMultiBytePagesAreNot) {
    // A shared codec must be one whose use changes nothing: a multi-byte
    // codec converts through iconv states, which two reports (or threads)
    // may not use at once.
    const auto first = TCodePageCodec::Shared(1251);
    EXPECT_EQ(TCodePageCodec::Shared(1251), first);
    EXPECT_NE(TCodePageCodec::Shared(1252), first);
    EXPECT_EQ(first->Encode("Жук"), "\xC6\xF3\xEA");
    const auto sjis = TCodePageCodec::Shared(932);
    EXPECT_FALSE(sjis->SingleByte());
    EXPECT_NE(TCodePageCodec::Shared(932), sjis);
    EXPECT_EQ(sjis->Decode(sjis->Encode("日本")), "日本");
    EXPECT_NE(TCodePageCodec::Shared(65001), TCodePageCodec::Shared(65001));
    EXPECT_THROW(TCodePageCodec::Shared(99999), Exception);
    EXPECT_THROW(TCodePageCodec::Shared(99999), Exception);  // an unknown page is not kept either
}
