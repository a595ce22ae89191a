// Runs built-in functions through real template fields and compares what
// the report writes: a table of expressions with the value each writes, and
// a table of expressions with the error each raises.
#pragma once

#include <gtest/gtest.h>

#include <span>
#include <string>

#include "conscom/exceptions.h"
#include "platform/sysutils.h"
#include "qxfunc/udf_list.h"
#include "qxrtf/engine_fixture.h"

namespace qxtest {

struct ValueCase {
    std::string expr;   // the field's text, without the backslashes
    std::string value;  // the plain text it writes
};

// Which class the error is of: the platform's base class (type checks), a
// platform conversion or arithmetic error, or one of the engine's own.
enum class ErrorKind { Base, Convert, Math, Function };

struct ErrorCase {
    std::string expr;  // written without blanks, as messages quote it
    ErrorKind kind;
    std::string message;
};

// Settings fixed for every test (never the machine's locale), a user
// function PIC whose result is no value, and Unicode output so that any
// character can be compared.
class BuiltinTest : public EngineTest {
  protected:
    void SetUp() override {
        saved_ = qx::FormatSettings();
        qx::FormatSettings() = qx::TFormatSettings{};
        report.SetFmtSettings(qx::TFormatSettings{});
        report.SetUnicodeByDefault(true);
        qx::TQxUDF* pic = udfs.Functions().Add();
        pic->SetName("PIC");
        pic->SetResultType(qx::udfrTPicture);
        report.SetUDFList(&udfs);
    }
    void TearDown() override { qx::FormatSettings() = saved_; }

    // What the report writes for the field \\expr\\.
    std::string Written(const std::string& expr) { return Render("\\\\" + expr + "\\\\"); }
    // What the report writes for a value with this plain text.
    std::string Expected(const std::string& text) { return report.txt2rtf(text); }

    void CheckValues(std::span<const ValueCase> cases) {
        for (const ValueCase& c : cases) {
            SCOPED_TRACE(c.expr);
            try {
                EXPECT_EQ(Written(c.expr), Expected(c.value));
            } catch (const qx::Exception& e) {
                ADD_FAILURE() << "raised: " << e.what();
            }
        }
    }

    void CheckErrors(std::span<const ErrorCase> cases) {
        for (const ErrorCase& c : cases) {
            SCOPED_TRACE(c.expr);
            ErrorKind kind = ErrorKind::Base;
            std::string message;
            try {
                Written(c.expr);
                ADD_FAILURE() << "no error";
                continue;
            } catch (const qx::EIllegalFunctionUse& e) {
                kind = ErrorKind::Function;
                message = e.what();
            } catch (const qx::EConvertError& e) {
                kind = ErrorKind::Convert;
                message = e.what();
            } catch (const qx::EMathError& e) {
                kind = ErrorKind::Math;
                message = e.what();
            } catch (const qx::Exception& e) {
                message = e.what();
            }
            EXPECT_EQ(kind, c.kind);
            EXPECT_EQ(message, c.message);
            EXPECT_FALSE(report.ExecuteSuccessful());
            EXPECT_EQ(report.LastErrMsg(), c.message);
        }
    }

    qx::TQxUDFList udfs;

  private:
    qx::TFormatSettings saved_;
};

}  // namespace qxtest
