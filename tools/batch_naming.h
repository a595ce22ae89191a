// What a batch makes of the text of a record: the plain text of a value the
// report wrote as RTF, a file name safe on every common file system, and the
// shard a key falls in.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace batch {

// The text of an RTF fragment as a reader sees it, in UTF-8: control words
// dropped, escaped symbols, \'hh bytes (read through `codePage`) and \uN
// characters (with their fallbacks skipped) decoded.
std::string PlainTextOfRtf(std::string_view rtf, int codePage);

// `name` as one file name: path separators, characters that Windows file
// systems refuse and control characters become '_', surrounding blanks and
// dots are dropped, a leading dot too (names starting with one are the
// batch's own temporary files), and the name is cut to fit the file
// system's limit together with `suffix`. Empty when nothing is left.
std::string SafeFileName(std::string_view name, std::string_view suffix);

// The shard of `count` a key falls in: FNV-1a (64 bits) of its bytes,
// modulo the count, the same on every machine and in every run.
std::uint64_t ShardOfKey(std::string_view key, std::uint64_t count);

}  // namespace batch
