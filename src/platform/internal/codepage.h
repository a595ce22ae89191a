// Conversion between UTF-8 text and a Windows-style single- or multi-byte
// code page (1252 by default). Output text is written in the report's code
// page, and template bytes 0x80-0xFF are read through it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qx {

class TCodePageCodec {
  public:
    // Raises qx::Exception "Unsupported code page N" when iconv does not know it.
    explicit TCodePageCodec(int codePage = 1252);
    ~TCodePageCodec();
    TCodePageCodec(const TCodePageCodec&) = delete;
    TCodePageCodec& operator=(const TCodePageCodec&) = delete;

    // A codec for `codePage`: of a single-byte code page, the one codec the
    // whole process shares (it is only tables, read by any thread, and
    // building its tables asks iconv 256 times, which a report per
    // document would repeat); of a multi-byte one, a codec of the caller's
    // own (its iconv handles keep state between calls).
    static std::shared_ptr<const TCodePageCodec> Shared(int codePage);

    int CodePage() const { return FCodePage; }
    bool SingleByte() const { return FSingleByte; }
    // UTF-8 to code page; a character the code page lacks becomes '?'.
    std::string Encode(std::string_view utf8) const;
    // UTF-8 to code page for RTF text: in a double-byte code page (932,
    // 936, 949, 950) the second byte of a character may be '\\', '{' or '}',
    // which a reader would take as markup, so every byte of a non-ASCII
    // character is written as \'hh there; other code pages as Encode.
    std::string EncodeRtf(std::string_view utf8) const;
    // Code page to UTF-8; a byte sequence with no character becomes U+FFFD.
    std::string Decode(std::string_view bytes) const;
    // One byte of a single-byte code page (the code point it stands for).
    char32_t DecodeByte(std::uint8_t byte) const { return FDecodeTable[byte]; }

  private:
    struct IconvPair;
    int FCodePage;
    bool FSingleByte = false;
    std::array<char32_t, 256> FDecodeTable{};
    std::unordered_map<char32_t, std::uint8_t> FEncodeTable;
    std::unique_ptr<IconvPair> FIconv;  // multi-byte code pages only
};

}  // namespace qx
