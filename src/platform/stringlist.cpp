#include "platform/stringlist.h"

#include "platform/exceptions.h"
#include "platform/internal/unicode.h"

namespace qx {

TStringList::~TStringList() {
    Clear();
}

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
}

void TStringList::ReleaseObject(Item& item) {
    if (FOwnsObjects) delete item.object;
    item.object = nullptr;
}

const std::string& TStringList::LineText(const Item& item, int index) const {
    if (item.pending) {
        MakeValue(index, item.text);
        item.pending = false;
    }
    return item.text;
}

void TStringList::SetValuePending(int index) {
    CheckIndex(index);
    FItems[index].pending = true;
}

void TStringList::MakeValue(int, std::string&) const {}

const std::string& TStringList::Strings(int index) const {
    CheckIndex(index);
    return LineText(FItems[index], index);
}

namespace {

std::string_view NamePart(std::string_view line) {
    return line.substr(0, line.find('='));
}

}  // namespace

void TStringList::SetStrings(int index, const std::string& s) {
    CheckIndex(index);
    Item& item = FItems[index];
    // A new value under the same name keeps lookups by name good.
    if (NamePart(item.text) != NamePart(s)) ++FNamesVersion;
    item.text = s;
    item.pending = false;
}

TObject* TStringList::Objects(int index) const {
    CheckIndex(index);
    return FItems[index].object;
}

void TStringList::SetObjects(int index, TObject* object) {
    CheckIndex(index);
    if (FItems[index].object != object) ReleaseObject(FItems[index]);
    FItems[index].object = object;
}

int TStringList::AddObject(const std::string& s, TObject* object) {
    ++FNamesVersion;
    FItems.push_back({s, object});
    return Count() - 1;
}

void TStringList::Insert(int index, const std::string& s, TObject* object) {
    if (index < 0 || index > Count())
        throw Exception("List index out of bounds (" + std::to_string(index) + ")");
    ++FNamesVersion;
    FItems.insert(FItems.begin() + index, Item{s, object});
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    ReleaseObject(FItems[index]);
    ++FNamesVersion;
    FItems.erase(FItems.begin() + index);
}

void TStringList::Clear() {
    for (Item& item : FItems) ReleaseObject(item);
    ++FNamesVersion;
    FItems.clear();
}

void TStringList::Assign(const TStringList& other) {
    if (&other == this) return;
    Clear();
    FItems.reserve(other.FItems.size());
    for (int i = 0; i < other.Count(); ++i) FItems.push_back({other.Strings(i), nullptr});
}

bool TStringList::SameText(const std::string& a, const std::string& b) const {
    return FCaseSensitive ? a == b : qx::SameText(a, b);
}

int TStringList::IndexOf(const std::string& s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Strings(i), s)) return i;
    return -1;
}

std::string TStringList::Names(int index) const {
    const std::string& line = Strings(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? line : line.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& line = Strings(index);
    const auto eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

int TStringList::IndexOfName(const std::string& name) const {
    for (int i = 0; i < Count(); ++i) {
        // The name part is never out of date, even while the value is.
        const std::string& line = FItems[i].text;
        const auto eq = line.find('=');
        if (eq != std::string::npos && SameText(line.substr(0, eq), name)) return i;
    }
    return -1;
}

std::string TStringList::Values(const std::string& name) const {
    const int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValues(const std::string& name, const std::string& value) {
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i >= 0) {
        SetStrings(i, name + "=" + value);
    } else {
        Add(name + "=" + value);
    }
}

std::string TStringList::Text() const {
    std::string out;
    for (int i = 0; i < Count(); ++i) {
        out += Strings(i);
        out += '\n';
    }
    return out;
}

void TStringList::SetText(const std::string& text) {
    Clear();
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            Add(text.substr(start));
            break;
        }
        Add(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
}

}  // namespace qx
