// The application interface's values in the engine's terms: dataset fields
// and their types, report variables, and the arguments of user functions.
#pragma once

#include "platform/value_field.h"
#include "qxrtf/report.h"

namespace qx {
class TObject;
class TQxReportVariable;
}  // namespace qx

namespace qxrtf {

// Dates as the engine keeps them: days since 1899-12-30, the time of day as
// the fraction (counting forward from midnight also before that day).
double EngineDate(DateTime t);
DateTime FromEngineDate(double value);

qx::TFieldType FieldTypeOf(Kind kind);
qx::TFieldValue FieldValueOf(const Value& v);
void AssignToVariable(qx::TQxReportVariable& target, const Value& v);
// A user function's argument: a dataset field or a report variable.
Value ValueOfArgument(const qx::TObject* arg);

}  // namespace qxrtf
