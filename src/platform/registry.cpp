#include "platform/internal/registry.h"

#include <algorithm>

namespace qx {

namespace {
struct Entry {
    std::string page;
    TComponentClass cls;
};
std::vector<Entry>& Palette() {
    static std::vector<Entry> palette;
    return palette;
}
}  // namespace

void RegisterComponents(const std::string& page, const std::vector<TComponentClass>& classes) {
    for (const TComponentClass& cls : classes) {
        auto& palette = Palette();
        const auto it = std::find_if(palette.begin(), palette.end(), [&](const Entry& e) {
            return e.cls.className == cls.className;
        });
        if (it != palette.end())
            *it = Entry{page, cls};
        else
            palette.push_back(Entry{page, cls});
    }
}

std::vector<std::string> RegisteredComponents(const std::string& page) {
    std::vector<std::string> names;
    for (const Entry& e : Palette())
        if (e.page == page) names.push_back(e.cls.className);
    return names;
}

std::unique_ptr<TComponent> CreateComponent(const std::string& className, TComponent* owner) {
    for (const Entry& e : Palette())
        if (e.cls.className == className) return e.cls.factory(owner);
    return nullptr;
}

}  // namespace qx
