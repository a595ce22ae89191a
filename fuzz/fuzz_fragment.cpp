// InsertRtfMemo on arbitrary fragments.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/exceptions.h"
#include "qxrtf/qxrtf.h"
#include "qxrtfstream/internal/qxrtfstream.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static qx::TQxRTF report;
    const std::string source(reinterpret_cast<const char*>(data), size);
    qx::TMemoryStream dest;
    try {
        if (size > 0 && (data[0] & 1) != 0)
            qx::InsertRtfMemoPar(report, dest, source);
        else
            qx::InsertRtfMemo(report, dest, source);
    } catch (const qx::Exception&) {
    }
    return 0;
}
