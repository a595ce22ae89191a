// The merge tables of an RTF fragment insertion: the report's fonts,
// colours and styles with the fragment's added to them, and for each kind
// the mapping from the fragment's numbers to the merged table's numbers.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/stringlist.h"

namespace qx {

class TQxStream;

// The index of the first entry under each key, so that matching a
// fragment's entry against a table of any size is one lookup.
class TQXFirstIndex {
  public:
    int Find(const std::string& key) const {
        const auto it = FIndex.find(key);
        return it == FIndex.end() ? -1 : it->second;
    }
    // Keeps an earlier entry with the same key.
    void Add(std::string key, int index) { FIndex.emplace(std::move(key), index); }
    void Clear() { FIndex.clear(); }

  private:
    std::unordered_map<std::string, int> FIndex;
};

class TQXReplTable {
  public:
    explicit TQXReplTable(TQxStream* owner) : FOwnerQXS(owner) {}
    virtual ~TQXReplTable() = default;

    // A number the fragment defines twice keeps its first definition.
    void AddRepl(std::int32_t oldNumber, std::int32_t newNumber) {
        FRepl.emplace(oldNumber, newNumber);
    }
    // The merged number for a fragment number; the number itself when the
    // fragment never defined it.
    std::int32_t Old2New(std::int32_t oldNumber) const {
        const auto it = FRepl.find(oldNumber);
        return it == FRepl.end() ? oldNumber : it->second;
    }

  protected:
    TQxStream* FOwnerQXS;

  private:
    std::unordered_map<std::int32_t, std::int32_t> FRepl;
};

struct TQXFontStr {
    std::uint16_t n = 0;
    std::string text;  // the font group after its number, closing brace included
};

class TQXFontStrings : public TQXReplTable {
  public:
    using TQXReplTable::TQXReplTable;

    // A report font "{\fN...}", kept under its number.
    bool Add(const std::string& s);
    // Add for every string of the list; answers the strings that do not have
    // a font's shape.
    std::vector<std::string> AddFromList(const TStringList& list);
    // A fragment font: an identical font keeps its number, a new one is
    // appended after the highest number.
    bool AddNew(const std::string& s);
    int FindNumber(const std::string& text) const;
    std::string GetString(int index) const;

    const std::vector<TQXFontStr>& strings() const { return FStrings; }
    int Count() const { return static_cast<int>(FStrings.size()); }
    int HighNumber() const { return FHighNumber; }

  private:
    std::vector<TQXFontStr> FStrings;
    TQXFirstIndex FIndex;  // by text
    int FHighNumber = -1;
};

class TQXColorStrings : public TQXReplTable {
  public:
    using TQXReplTable::TQXReplTable;

    // A report colour entry; its index is its colour number.
    bool Add(const std::string& s);
    // Fragment colour `number` with entry `s` ("\redR\greenG\blueB;").
    bool AddNew(std::int32_t number, const std::string& s);
    int FindNumber(const std::string& s) const;
    std::string GetString(int index) const;

    const std::vector<std::string>& strings() const { return FStrings; }
    int Count() const { return static_cast<int>(FStrings.size()); }

  private:
    std::vector<std::string> FStrings;
    TQXFirstIndex FIndex;
};

// Style kinds, each written back with its own prefix.
enum TQXStyleKind : std::uint8_t {
    skParagraph = 1,  // {\sN
    skCharacter = 2,  // {\*\csN
    skSection = 3,    // {\dsN
    skTable = 4,      // {\*\tsN
};

struct TQXStyleStr {
    std::uint16_t n = 0;
    TQXStyleKind t = skParagraph;
    std::string text;   // the style group after its number, closing brace included
    bool new_ = false;  // from the fragment, references not yet renumbered
};

class TQXStyleStrings : public TQXReplTable {
  public:
    using TQXReplTable::TQXReplTable;

    // Splits a style group: answers its kind and number (as text) and leaves
    // in `s` what follows the number.
    static TQXStyleKind CutNumber(std::string& s, std::string& number);
    bool Add(const std::string& s);
    bool AddNew(const std::string& s);
    // Renumbers the font, colour and style references of the styles the
    // fragment brought, once all its numbers are known.
    void CorrectNewStyles();
    // The first style whose text equals `text` apart from its \snext clause.
    int FindNumber(const std::string& text) const;
    std::string GetString(int index) const;

    const std::vector<TQXStyleStr>& strings() const { return FStrings; }
    int Count() const { return static_cast<int>(FStrings.size()); }
    int HighNumber() const { return FHighNumber; }

  private:
    bool Split(const std::string& s, TQXStyleStr& style) const;
    // The key styles are matched by: the text without its \snext clause,
    // and whether it had one.
    static std::string MatchKey(const std::string& text);
    void Append(TQXStyleStr style);
    std::vector<TQXStyleStr> FStrings;
    TQXFirstIndex FIndex;  // by MatchKey
    int FHighNumber = -1;
};

}  // namespace qx
