// TStringList: an ordered list of UTF-8 strings, each with an optional
// attached object, plus the name=value conventions that the engine uses for
// report variables and dataset aliases. Name lookups ignore case the way a
// user expects (Unicode simple case folding, not just ASCII).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/component.h"

namespace qx {

class TStringList : public TObject {
  public:
    TStringList() = default;
    ~TStringList() override;
    TStringList(const TStringList&) = delete;
    TStringList& operator=(const TStringList&) = delete;

    // When set, attached objects are deleted when their line goes away.
    bool OwnsObjects() const { return FOwnsObjects; }
    void SetOwnsObjects(bool owns) { FOwnsObjects = owns; }
    bool CaseSensitive() const { return FCaseSensitive; }
    void SetCaseSensitive(bool value) { FCaseSensitive = value; }

    int Count() const { return static_cast<int>(FItems.size()); }
    const std::string& Strings(int index) const;
    void SetStrings(int index, const std::string& s);
    TObject* Objects(int index) const;
    void SetObjects(int index, TObject* object);

    int Add(const std::string& s) { return AddObject(s, nullptr); }
    int AddObject(const std::string& s, TObject* object);
    void Insert(int index, const std::string& s, TObject* object = nullptr);
    virtual void Delete(int index);
    virtual void Clear();
    // Copies the lines (not the objects) of another list.
    void Assign(const TStringList& other);

    int IndexOf(const std::string& s) const;
    int IndexOfName(const std::string& name) const;
    // The part before the first "=" (the whole line when there is none).
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    std::string Values(const std::string& name) const;
    // Sets name=value, adding the line when missing; an empty value deletes it.
    void SetValues(const std::string& name, const std::string& value);

    // Lines joined with "\n" (each line followed by one), and the reverse;
    // SetText accepts "\n", "\r\n" and "\r" line ends.
    std::string Text() const;
    void SetText(const std::string& text);

    // Changes whenever a line's name (the part before the first "=") may
    // have changed or lines were added, removed or moved: a lookup by name
    // may be remembered while this stays the same.
    std::uint64_t NamesVersion() const { return FNamesVersion; }

  protected:
    // A line whose value is made only when something reads it: a list that
    // is written far more often than read (an accumulator set once per
    // record) then skips making texts nobody looks at. The line keeps its
    // name (the part before the first "=") meanwhile; MakeValue must write
    // the whole line with that name. Any write of the line cancels it.
    void SetValuePending(int index);
    bool ValuePending(int index) const { return FItems[index].pending; }
    virtual void MakeValue(int index, std::string& line) const;
    // The line as stored, its value possibly out of date: for name lookups.
    const std::string& StoredText(int index) const { return FItems[index].text; }

  private:
    struct Item {
        mutable std::string text;
        TObject* object = nullptr;
        mutable bool pending = false;
    };
    const std::string& LineText(const Item& item, int index) const;
    bool SameText(const std::string& a, const std::string& b) const;
    void CheckIndex(int index) const;
    void ReleaseObject(Item& item);

    std::vector<Item> FItems;
    std::uint64_t FNamesVersion = 0;
    bool FOwnsObjects = false;
    bool FCaseSensitive = false;
};

}  // namespace qx
