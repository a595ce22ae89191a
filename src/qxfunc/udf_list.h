// TQxUDFList: the component through which an application hands the report
// its user-defined functions. A report links one list through its UDFList
// property and is told when the list is destroyed.
#pragma once

#include "platform/component.h"

namespace qx {

// Version shared by the report and the function list; a list of another
// version is refused when linked.
inline constexpr int kQxVersion = 312;

class TQxUDFList : public TComponent {
public:
    using TComponent::TComponent;
    virtual int Version() const { return kQxVersion; }
};

}  // namespace qx
