// The compile pass: walks the template with the scanner and records it in
// the command stream.
#include "qxrtf/qxrtf.h"

namespace qx {

void TQxRTF::CompilePass() {
    ResetScanner();
    std::string field;
    while (!FileEof()) {
        if (!GetNextReportField(field)) continue;
        // Fields are not compiled yet: each stays in the output as typed.
        CmSaveBlocItem();
    }
}

}  // namespace qx
