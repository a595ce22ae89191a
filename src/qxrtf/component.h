// The component interface: TQxRTF with its properties, events and entry
// points, the datasets, variables and user functions it takes, and its JSON
// settings functions (whose headers need nlohmann_json's). Applications
// that only fill templates with data want the smaller qxrtf/report.h.
#pragma once

#include "qxrtf/qxrtf.h"
