// Pictures and hyperlinks in the output. These outputs are
// not available in this version of the engine: a template that asks for
// them fails with a clear message instead of producing a wrong document.
#include "conscom/exceptions.h"
#include "platform/picture.h"
#include "qxrtf/qxrtf.h"

namespace qx {

namespace {
[[noreturn]] void NotAvailable(const char* what) {
    throw EIllegalFunctionUse(std::string(what) + " output is not available in this version");
}
}  // namespace

void TQxRTF::WritePictureFile(const std::string&, const TQxFieldFormat&, const std::string&) {
    NotAvailable("Picture (FIMG)");
}
void TQxRTF::WritePictureField(TField&, const TQxFieldFormat&, const std::string&) {
    NotAvailable("Picture (FIMG)");
}
void TQxRTF::WritePicture(TPicture&, const TQxFieldFormat&) {
    NotAvailable("Picture");
}
void TQxRTF::WriteHyperlink(const std::string&, const std::string&) {
    NotAvailable("Hyperlink (FLNK)");
}

}  // namespace qx
