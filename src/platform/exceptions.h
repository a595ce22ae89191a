// Exception classes of the host layer. qx::Exception is the base class that
// every entry point of the library catches; anything not derived from it
// (std::bad_alloc, logic errors) passes through untouched.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace qx {

// A scanned dataset and the 1-based number of the record a run had reached
// in it (counted from the scan's start, so a detail counts anew for each
// master record).
struct TQxRecordPlace {
    std::string dataset;
    std::int64_t record = 0;
    bool operator==(const TQxRecordPlace&) const = default;
};

// Where in a template the field or command that caused an error stands.
struct TQxErrorPos {
    std::int64_t offset = 0;  // 0-based byte offset of the field's opening delimiter
    int line = 0;             // 1-based line of the RTF source
    int column = 0;           // 1-based byte column within that line
    std::string fieldText;    // the field's text as typed, without its delimiters
    // For an error while running: the records of the scans being run,
    // outermost first; empty outside scans and for compile errors.
    std::vector<TQxRecordPlace> records;
    bool operator==(const TQxErrorPos&) const = default;
};

// "ORDERS record 3, LINES record 2" for the records of a position.
inline std::string RecordPlacesText(const std::vector<TQxRecordPlace>& records) {
    std::string text;
    for (const TQxRecordPlace& r : records)
        text += (text.empty() ? "" : ", ") + r.dataset + " record " + std::to_string(r.record);
    return text;
}

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    std::string Message() const { return what(); }

    // The template position of the field that caused the error, when the
    // error came from compiling or running one; the message stays as it is.
    const std::optional<TQxErrorPos>& Pos() const { return FPos; }
    // Keeps the innermost position: a field's position is attached where
    // the field is known and not replaced on the way out.
    void SetPosIfNone(const TQxErrorPos& pos) {
        if (!FPos) FPos = pos;
    }
    // Adds the records being run to the position, once.
    void SetRecordsIfNone(std::vector<TQxRecordPlace> records) {
        if (FPos && FPos->records.empty()) FPos->records = std::move(records);
    }

  private:
    std::optional<TQxErrorPos> FPos;
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
