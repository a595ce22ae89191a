// TJsonStore: a parsed JSON document held compactly for the JSON datasets.
// Every value is one 16-byte node, in document order: a container's node
// comes before those of its members and elements and knows where they end,
// so the values of a record lie side by side. Strings lie in large blocks
// of text; object keys are kept once and named by number.
//
// An object whose key comes again keeps the key where it first came, with
// the last value given for it.
#pragma once

#include <cstdint>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qx {

class TJsonStore {
  public:
    using TRef = std::uint64_t;  // a node, by its place in document order
    static constexpr TRef kRoot = 0;
    static constexpr TRef kNone = ~TRef{0};
    static constexpr std::uint32_t kNoKey = ~std::uint32_t{0};

    enum class TKind : std::uint8_t {
        Null,
        False,
        True,
        Integer,     // within 64-bit signed
        BigInteger,  // beyond 64-bit signed: its digits as written (Text)
        Float,
        String,
        Array,
        Object,
    };

    // Parses `file`, read a block at a time; a large array's second half
    // on a thread of its own meanwhile (see split_point.h). Raises
    // EDatabaseError naming the dataset and the file (and the line and
    // column of a syntax error).
    static std::shared_ptr<const TJsonStore> FromFile(const std::string& dataSetName,
                                                      const std::string& file);
    // A document already in memory.
    static std::shared_ptr<const TJsonStore> FromJson(const nlohmann::json& doc);

    TJsonStore();
    ~TJsonStore();
    TJsonStore(const TJsonStore&) = delete;
    TJsonStore& operator=(const TJsonStore&) = delete;

    TKind Kind(TRef node) const { return Node(node).kind; }
    bool IsObject(TRef node) const { return Kind(node) == TKind::Object; }
    bool IsArray(TRef node) const { return Kind(node) == TKind::Array; }
    std::int64_t Integer(TRef node) const { return Node(node).integer; }
    double Float(TRef node) const { return Node(node).number; }
    std::string_view Text(TRef node) const;

    std::size_t KeyCount() const { return FKeys.size(); }
    const std::string& Key(std::uint32_t key) const { return FKeys[key]; }

    // Calls visit(key, value) for each member of `object`, in order.
    template <typename Visit>
    void ForEachMember(TRef object, Visit visit) const {
        const TRef end = Node(object).end;
        for (TRef i = object + 1; i < end; i = Next(i)) {
            const TNode& n = Node(i);
            if (n.hidden) continue;
            visit(n.key, n.replaced ? FReplaced.at(i) : i);
        }
    }
    // Calls visit(value) for each element of `array`, in order.
    template <typename Visit>
    void ForEachElement(TRef array, Visit visit) const {
        const TRef end = Node(array).end;
        for (TRef i = array + 1; i < end; i = Next(i))
            if (!Node(i).hidden) visit(i);
    }

    // The member `key` of `object`, matched exactly or else (the first
    // one) case-insensitively; kNone when there is none.
    TRef FindKey(TRef object, std::string_view key) const;
    // The value at a JSON pointer ("/a/0/b"); kNone when there is none.
    TRef AtPointer(std::string_view pointer) const;
    // `node` as JSON text, as the document's own form would write it.
    std::string Dump(TRef node) const;

  private:
    friend class TJsonStoreBuilder;

    struct TNode {
        std::uint32_t key;  // a member's key, kNoKey for any other value
        TKind kind;
        // A member whose key came again before (see FReplaced), or a gap
        // where the parts of a document parsed apart were joined: an
        // array node that Next steps over.
        bool hidden;
        bool replaced;  // a member whose value is a later one's (FReplaced)
        union {
            std::int64_t integer;
            double number;
            const char* text;  // its length, then its bytes
            TRef end;          // of an array or object: the node after its last
        };
    };
    static constexpr unsigned kChunkBits = 15;
    static constexpr TRef kChunkNodes = TRef{1} << kChunkBits;

    const TNode& Node(TRef node) const {
        return FChunks[node >> kChunkBits][node & (kChunkNodes - 1)];
    }
    TNode& Node(TRef node) { return FChunks[node >> kChunkBits][node & (kChunkNodes - 1)]; }
    TRef Next(TRef node) const {
        const TNode& n = Node(node);
        return n.kind == TKind::Array || n.kind == TKind::Object ? n.end : node + 1;
    }
    TRef Append(std::uint32_t key, TKind kind);
    // Appends the elements of the array `other` is, emptying it.
    void AppendElementsOf(TJsonStore& other);
    // Makes node `at` a gap up to `end`.
    void MakeGap(TRef at, TRef end);
    const char* StoreText(std::string_view text);
    std::uint32_t KeyId(const std::string& key);
    nlohmann::ordered_json ToJson(TRef node) const;

    std::vector<std::unique_ptr<TNode[]>> FChunks;
    TRef FCount = 0;
    // Text blocks; a string longer than a block has one of its own.
    std::vector<std::unique_ptr<char[]>> FTextBlocks;
    std::size_t FTextUsed = 0;
    std::size_t FTextSize = 0;
    std::vector<std::string> FKeys;
    std::unordered_map<std::string, std::uint32_t> FKeyIds;
    // A member whose key came again: the node of the value it has now.
    std::unordered_map<TRef, TRef> FReplaced;
};

}  // namespace qx
