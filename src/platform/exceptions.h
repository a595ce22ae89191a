// Exception classes of the host layer. qx::Exception is the base class that
// every entry point of the library catches; anything not derived from it
// (std::bad_alloc, logic errors) passes through untouched.
#pragma once

#include <stdexcept>
#include <string>

namespace qx {

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }
};

// Text-to-value conversion failures ("'abc' is not a valid floating point value").
class EConvertError : public Exception {
  public:
    using Exception::Exception;
};

// A value read as a type it cannot be read as.
class EInvalidCast : public Exception {
  public:
    using Exception::Exception;
};

// Stream and file failures of the host layer (reading past the end, a file
// that cannot be created or opened).
class EStreamError : public Exception {
  public:
    using Exception::Exception;
};
class EFCreateError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};
class EReadError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
  public:
    using EStreamError::EStreamError;
};

// Floating-point failures: an operation without a real result ("Invalid
// floating point operation"), a division by zero, a result too large.
class EMathError : public Exception {
  public:
    using Exception::Exception;
};
class EInvalidOp : public EMathError {
  public:
    using EMathError::EMathError;
};
class EZeroDivide : public EMathError {
  public:
    using EMathError::EMathError;
};
class EOverflow : public EMathError {
  public:
    using EMathError::EMathError;
};

}  // namespace qx
