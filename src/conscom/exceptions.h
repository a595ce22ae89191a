// The report engine's own exception classes. Each carries one message text;
// the texts are fixed by the engine and checked word for word in tests.
#pragma once

#include "platform/exceptions.h"

namespace qx {

// The template or one of its tables is not readable RTF.
class EBadRtfFormat : public Exception {
  public:
    using Exception::Exception;
};

// Files, the template buffer during a run, variable definition and lookup,
// opening the output.
class EIOError : public Exception {
  public:
    using Exception::Exception;
};

// Misuse of SCAN, SCANENTRY, SCANFOOTER, ENDSCAN.
class EIllegalScanUse : public Exception {
  public:
    using Exception::Exception;
};

// Functions, expressions, format functions, variables in expressions, dataset
// identifiers and UDFList changes.
class EIllegalFunctionUse : public Exception {
  public:
    using Exception::Exception;
};

// Misuse of IF, ELSIF, ELSE, ENDIF.
class EIllegalIFUse : public Exception {
  public:
    using Exception::Exception;
};

}  // namespace qx
