// A TDateTime taken apart once, for the formatting and decoding routines.
#pragma once

#include "platform/sysutils.h"

namespace qx::conv {

inline constexpr long long kMSecsPerDay = 86400000;

struct DateTimeParts {
    int days = 0;  // whole days since 1899-12-30
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0, msec = 0;
    int dayOfWeek = 0;  // 1 = Sunday .. 7 = Saturday
};

// False for NaN, infinities and values outside 0001-01-01 .. 9999-12-31.
bool TrySplitDateTime(TDateTime dt, DateTimeParts& out);
// As above; raises EConvertError "'<value>' is not a valid date and time".
DateTimeParts SplitDateTime(TDateTime dt);

}  // namespace qx::conv
