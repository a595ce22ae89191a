// The compile pass: walks the template and records it in the command stream.
#include "qxrtf/qxrtf.h"

namespace qx {

void TQxRTF::CompilePass() {
    // Until fields are recognised the whole template is one stretch of text.
    Fpnt = Flent + 1;
    CmSaveBlocItem();
}

}  // namespace qx
