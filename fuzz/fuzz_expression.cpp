// ConvertExpression and ProcessUDFName on arbitrary text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qx::TQxRTF report;
    const std::string text(reinterpret_cast<const char*>(data), size);
    try {
        std::string expr = text;
        report.ConvertExpression(expr, (size & 1) != 0);
    } catch (const qx::Exception&) {
    }
    try {
        std::vector<std::string> args;
        std::int32_t id = 0;
        report.ProcessUDFName(text, args, id);
    } catch (const qx::Exception&) {
    }
    return 0;
}
