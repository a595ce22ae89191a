#include "platform/internal/codepage.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <mutex>
#include <vector>

#include "platform/exceptions.h"
#include "platform/internal/unicode.h"

namespace qx {

namespace {

std::string IconvName(int codePage) {
    switch (codePage) {
        case 65001:
            return "UTF-8";
        case 20127:
            return "ASCII";
        case 28591:
            return "ISO-8859-1";
        case 10000:  // Mac Roman, which iconv knows by the platform's name
            return "MACINTOSH";
        default:
            return "CP" + std::to_string(codePage);
    }
}

// Runs one iconv conversion over the whole input. On a character that has no
// place in the target, `onBad` appends the replacement and tells how many
// input bytes to step over, so conversion always makes progress.
template <typename OnBad>
std::string Convert(iconv_t cd, std::string_view in, OnBad onBad) {
    std::string out;
    out.reserve(in.size() + in.size() / 2 + 16);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    std::vector<char> chunk(4096);
    while (inLeft > 0) {
        char* outPtr = chunk.data();
        std::size_t outLeft = chunk.size();
        const std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(chunk.data(), chunk.size() - outLeft);
        if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
            const std::size_t skip = std::min(inLeft, onBad(std::string_view(inPtr, inLeft), out));
            inPtr += skip;
            inLeft -= skip;
        }
    }
    return out;
}

}  // namespace

struct TCodePageCodec::IconvPair {
    iconv_t toUtf8 = reinterpret_cast<iconv_t>(-1);
    iconv_t fromUtf8 = reinterpret_cast<iconv_t>(-1);
    ~IconvPair() {
        if (toUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(toUtf8);
        if (fromUtf8 != reinterpret_cast<iconv_t>(-1)) iconv_close(fromUtf8);
    }
};

TCodePageCodec::TCodePageCodec(int codePage) : FCodePage(codePage) {
    auto pair = std::make_unique<IconvPair>();
    const std::string name = IconvName(codePage);
    pair->toUtf8 = iconv_open("UTF-8", name.c_str());
    pair->fromUtf8 = iconv_open(name.c_str(), "UTF-8");
    if (pair->toUtf8 == reinterpret_cast<iconv_t>(-1) ||
        pair->fromUtf8 == reinterpret_cast<iconv_t>(-1))
        throw Exception("Unsupported code page " + std::to_string(codePage));

    // Probe every byte alone: a code page where each byte stands for at most
    // one character is handled through two tables, without iconv per call.
    FSingleByte = codePage != 65001;
    for (int b = 0; b < 256 && FSingleByte; ++b) {
        char in = static_cast<char>(b);
        char* inPtr = &in;
        std::size_t inLeft = 1;
        char outBuf[8];
        char* outPtr = outBuf;
        std::size_t outLeft = sizeof outBuf;
        iconv(pair->toUtf8, nullptr, nullptr, nullptr, nullptr);
        const std::size_t rc = iconv(pair->toUtf8, &inPtr, &inLeft, &outPtr, &outLeft);
        if (rc == static_cast<std::size_t>(-1)) {
            if (errno == EINVAL) {
                FSingleByte = false;  // a lead byte of a multi-byte sequence
                break;
            }
            // A byte with no character keeps its own value, as the platform
            // this format comes from does for the gaps of 1252.
            FDecodeTable[b] = static_cast<char32_t>(b);
            continue;
        }
        std::string_view utf8(outBuf, sizeof outBuf - outLeft);
        std::size_t pos = 0;
        FDecodeTable[b] = utf8.empty() ? static_cast<char32_t>(b) : Utf8Next(utf8, pos);
    }
    if (FSingleByte) {
        for (int b = 255; b >= 0; --b) FEncodeTable[FDecodeTable[b]] = static_cast<std::uint8_t>(b);
    } else {
        FIconv = std::move(pair);
    }
}

TCodePageCodec::~TCodePageCodec() = default;

std::shared_ptr<const TCodePageCodec> TCodePageCodec::Shared(int codePage) {
    static std::mutex lock;
    static std::map<int, std::shared_ptr<const TCodePageCodec>> singleByte;
    {
        const std::lock_guard<std::mutex> guard(lock);
        const auto it = singleByte.find(codePage);
        if (it != singleByte.end()) return it->second;
    }
    auto codec = std::make_shared<const TCodePageCodec>(codePage);
    if (codec->SingleByte()) {
        const std::lock_guard<std::mutex> guard(lock);
        return singleByte.emplace(codePage, codec).first->second;
    }
    return codec;
}

std::string TCodePageCodec::Encode(std::string_view utf8) const {
    if (FCodePage == 65001) return std::string(utf8);
    if (FSingleByte) {
        std::string out;
        out.reserve(utf8.size());
        for (std::size_t pos = 0; pos < utf8.size();) {
            const unsigned char c = static_cast<unsigned char>(utf8[pos]);
            if (c < 0x80 && FDecodeTable[c] == c) {  // the common 7-bit case
                out.push_back(static_cast<char>(c));
                ++pos;
                continue;
            }
            const auto it = FEncodeTable.find(Utf8Next(utf8, pos));
            out.push_back(it == FEncodeTable.end() ? '?' : static_cast<char>(it->second));
        }
        return out;
    }
    return Convert(FIconv->fromUtf8, utf8, [](std::string_view rest, std::string& out) {
        out.push_back('?');
        std::size_t pos = 0;
        Utf8Next(rest, pos);
        return pos;
    });
}

std::string TCodePageCodec::EncodeRtf(std::string_view utf8) const {
    // No byte of a non-ASCII character is ASCII in these.
    if (FSingleByte || FCodePage == 65001) return Encode(utf8);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    out.reserve(utf8.size() * 2);
    for (std::size_t pos = 0; pos < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[pos]);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
            ++pos;
            continue;
        }
        const std::size_t start = pos;
        Utf8Next(utf8, pos);
        for (const char byte : Encode(utf8.substr(start, pos - start))) {
            const auto b = static_cast<unsigned char>(byte);
            out += "\\'";
            out.push_back(kHex[b >> 4]);
            out.push_back(kHex[b & 15]);
        }
    }
    return out;
}

std::string TCodePageCodec::Decode(std::string_view bytes) const {
    if (FCodePage == 65001) return Utf32ToUtf8(Utf8ToUtf32(bytes));
    if (FSingleByte) {
        std::string out;
        out.reserve(bytes.size());
        for (char c : bytes) Utf8Append(out, FDecodeTable[static_cast<unsigned char>(c)]);
        return out;
    }
    return Convert(FIconv->toUtf8, bytes, [](std::string_view, std::string& out) {
        Utf8Append(out, 0xFFFD);
        return std::size_t{1};
    });
}

}  // namespace qx
