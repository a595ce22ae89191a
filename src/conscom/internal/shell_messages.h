// Texts for the result codes of opening a finished report with the desktop.
#pragma once

#include <cstdint>

namespace qx {

// The text for a failed result (32 or less); "Reason unknown." for a code
// the table does not hold.
const char* ShellOpenErrorText(std::uintptr_t code);

}  // namespace qx
