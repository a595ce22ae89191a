// A report that leaves every field as typed, so that what remains to check
// is what the scanner and the document tables do to the rest of a template.
#pragma once

#include <string>

#include "qxrtf/qxrtf.h"

namespace qxtest {

class FieldsAsTyped : public qx::TQxRTF {
  protected:
    void CompileField(const std::string&) override { CmSaveBlocItem(); }
};

}  // namespace qxtest
