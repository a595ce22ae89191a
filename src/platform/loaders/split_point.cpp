#include "platform/loaders/split_point.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

namespace qx {

namespace {

// Bytes looked at after the middle for a place to cut: a file with no
// suitable place that near it is read in one piece.
constexpr std::size_t kSearchBytes = 64 * 1024;
// Bytes before the middle, for what precedes a place found right after it.
constexpr std::size_t kLookBackBytes = 4 * 1024;

// `size` bytes of `file` from `offset` (fewer at its end).
std::string ReadPart(const std::string& file, std::int64_t offset, std::size_t size) {
    std::string bytes;
    std::FILE* f = std::fopen(file.c_str(), "rb");
    if (f == nullptr) return bytes;
    bytes.resize(size);
    if (std::fseek(f, static_cast<long>(offset), SEEK_SET) == 0)
        bytes.resize(std::fread(bytes.data(), 1, size, f));
    else
        bytes.clear();
    std::fclose(f);
    return bytes;
}

// The size of `file`, or -1 when it is below kSplitMinBytes or unknown.
std::int64_t SplittableSize(const std::string& file) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    if (ec || size < static_cast<std::uintmax_t>(kSplitMinBytes)) return -1;
    return static_cast<std::int64_t>(size);
}

bool IsJsonBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::int64_t CsvSplitPoint(const std::string& file) {
    const std::int64_t size = SplittableSize(file);
    if (size < 0) return -1;
    const std::int64_t middle = size / 2;
    const std::string part = ReadPart(file, middle, kSearchBytes);
    const std::size_t newline = part.find('\n');
    if (newline == std::string::npos || middle + static_cast<std::int64_t>(newline) + 1 >= size)
        return -1;
    return middle + static_cast<std::int64_t>(newline) + 1;
}

std::int64_t JsonSplitPoint(const std::string& file) {
    const std::int64_t size = SplittableSize(file);
    if (size < 0) return -1;
    const std::string start = ReadPart(file, 0, kLookBackBytes);
    std::string_view head = start;
    if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos || head[first] != '[') return -1;

    const std::int64_t middle = size / 2;
    const std::int64_t from = middle - static_cast<std::int64_t>(kLookBackBytes);
    const std::string part = ReadPart(file, from, kLookBackBytes + kSearchBytes);
    for (std::size_t newline = part.find('\n', kLookBackBytes); newline != std::string::npos;
         newline = part.find('\n', newline + 1)) {
        std::size_t next = newline + 1;
        while (next < part.size() && IsJsonBlank(part[next])) ++next;
        if (next == part.size()) return -1;
        std::size_t before = newline;
        while (before > 0 && IsJsonBlank(part[before - 1])) --before;
        if (part[next] == '{' && before > 0 && part[before - 1] == ',')
            return from + static_cast<std::int64_t>(next);
    }
    return -1;
}

}  // namespace qx
