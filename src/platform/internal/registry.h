// The component palette: component class names registered on named pages,
// each with a factory, so that a host (or a settings file) can create a
// component by its class name.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/component.h"

namespace qx {

using TComponentFactory = std::function<std::unique_ptr<TComponent>(TComponent* owner)>;

struct TComponentClass {
    std::string className;
    TComponentFactory factory;
};

// Registers the classes on `page`; a class registered again keeps one
// entry, with the newer factory.
void RegisterComponents(const std::string& page, const std::vector<TComponentClass>& classes);
// The class names on `page`, in order of registration.
std::vector<std::string> RegisteredComponents(const std::string& page);
// A new component of a registered class, or nullptr when none has the name.
std::unique_ptr<TComponent> CreateComponent(const std::string& className,
                                            TComponent* owner = nullptr);

}  // namespace qx
