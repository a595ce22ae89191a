// A name for a file's content: the converted template is kept under it, so
// that the same bytes are converted once whatever the file is called, and
// changed bytes never find the conversion of the old ones.
#pragma once

#include <string>
#include <string_view>

namespace tool {

// SHA-256 of `bytes`, as 64 lowercase hex digits.
std::string Sha256Hex(std::string_view bytes);

}  // namespace tool
