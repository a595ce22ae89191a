#include "platform/loaders/json_store.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stop_token>
#include <thread>

#include "platform/internal/unicode.h"
#include "platform/loaders/column_types.h"
#include "platform/loaders/split_point.h"

namespace qx {

namespace {

using Json = nlohmann::json;

constexpr std::size_t kTextBlockBytes = 256 * 1024;
constexpr std::size_t kReadBlockBytes = 256 * 1024;
// Members of one object looked through one by one for a key that comes
// again; past this many, a map of them is kept.
constexpr std::size_t kMembersScanned = 16;

// Thrown out of the parser on a thread whose work is no longer wanted.
struct TParseCancelled {};

// The bytes of a file as the parser reads them, a block at a time: the
// document is never in memory as text. Reading may start at an offset,
// after a few bytes that are not in the file, and may stop once at an
// offset to look at the parse so far.
class TFileBytes {
  public:
    TFileBytes(const std::string& dataSetName, const std::string& file)
        : FName(dataSetName), FPath(file), FStream(std::fopen(file.c_str(), "rb")) {
        if (FStream == nullptr) FailDataSet(FName, "cannot read " + FPath);
        std::setvbuf(FStream, nullptr, _IONBF, 0);
        FBlock.resize(kReadBlockBytes);
    }
    ~TFileBytes() { std::fclose(FStream); }
    TFileBytes(const TFileBytes&) = delete;
    TFileBytes& operator=(const TFileBytes&) = delete;

    // Reading starts at `offset`, after `prefix` (which must outlive it).
    void Start(std::int64_t offset, std::string_view prefix) {
        if (std::fseek(FStream, static_cast<long>(offset), SEEK_SET) != 0)
            FailDataSet(FName, "cannot read " + FPath);
        FOffset = offset;
        FPrefix = prefix;
    }
    // `onStop` runs once, before the byte at `offset` is read; it may end
    // the parse by throwing.
    void StopAt(std::int64_t offset, std::function<void()> onStop) {
        FStopAt = offset;
        FOnStop = std::move(onStop);
    }
    // Reading throws TParseCancelled once `token` asks it to stop.
    void CancelWith(std::stop_token token) { FCancel = std::move(token); }

    // The next bytes, [begin, end); false at the end of the file.
    bool Next(const char*& begin, const char*& end) {
        if (!FPrefix.empty()) {
            begin = FPrefix.data();
            end = begin + FPrefix.size();
            FPrefix = {};
            return true;
        }
        if (FCancel.stop_requested()) throw TParseCancelled{};
        if (FOffset == FStopAt) {
            FStopAt = -1;
            FOnStop();
        }
        std::size_t want = FBlock.size();
        if (FStopAt > FOffset)
            want = static_cast<std::size_t>(
                std::min<std::int64_t>(FStopAt - FOffset, static_cast<std::int64_t>(want)));
        const std::size_t n = std::fread(FBlock.data(), 1, want, FStream);
        if (n == 0 && std::ferror(FStream)) FailDataSet(FName, "cannot read " + FPath);
        FOffset += static_cast<std::int64_t>(n);
        begin = FBlock.data();
        end = begin + n;
        return n != 0;
    }

  private:
    std::string FName;
    std::string FPath;
    std::FILE* FStream;
    std::vector<char> FBlock;
    std::int64_t FOffset = 0;  // of the next byte read from the file
    std::string_view FPrefix;
    std::int64_t FStopAt = -1;
    std::function<void()> FOnStop;
    std::stop_token FCancel;
};

// The parser's input, as its input adapters give it: a byte at a time
// from the block at hand, which the lexer's inner loop inlines.
class TJsonInput {
  public:
    using char_type = char;
    explicit TJsonInput(TFileBytes& bytes) : FBytes(&bytes) {}
    std::char_traits<char>::int_type get_character() {
        if (FAt == FEnd && !FBytes->Next(FAt, FEnd)) return std::char_traits<char>::eof();
        return std::char_traits<char>::to_int_type(*FAt++);
    }

  private:
    TFileBytes* FBytes;
    const char* FAt = nullptr;
    const char* FEnd = nullptr;
};

// Parses the bytes into the builder's store, as one JSON value.
template <typename Builder>
void ParseBytes(TFileBytes& bytes, Builder& builder) {
    nlohmann::detail::parser<Json, TJsonInput>(TJsonInput(bytes)).sax_parse(&builder, true);
}

// Line and column (from 1) of byte `offset` (from 1) of `file`.
std::string LineAndColumn(const std::string& file, std::size_t offset) {
    std::size_t line = 1, column = 1, at = 0;
    if (std::FILE* f = std::fopen(file.c_str(), "rb")) {
        char block[65536];
        std::size_t n = 0;
        while (at + 1 < offset && (n = std::fread(block, 1, sizeof block, f)) > 0)
            for (std::size_t i = 0; i < n && at + 1 < offset; ++i, ++at) {
                if (block[i] == '\n') {
                    ++line;
                    column = 1;
                } else {
                    ++column;
                }
            }
        std::fclose(f);
    }
    return std::to_string(line) + ":" + std::to_string(column);
}

// nlohmann's message without its "[json.exception.<kind>.<id>] " prefix.
std::string ExceptionReason(const std::string& what) {
    const std::size_t end = what.find("] ");
    return what.starts_with("[json.exception.") && end != std::string::npos ? what.substr(end + 2)
                                                                            : what;
}

// The reason in a parse error's text, without its place (given apart).
std::string ParseReason(const std::string& what) {
    const std::size_t column = what.find("column ");
    const std::size_t colon = what.find(": ", column == std::string::npos ? 0 : column);
    return colon == std::string::npos ? what : what.substr(colon + 2);
}

}  // namespace

// Takes the parser's events into a store.
class TJsonStoreBuilder {
  public:
    explicit TJsonStoreBuilder(TJsonStore& store) : FStore(store) {}

    bool null() { return Scalar(TJsonStore::TKind::Null); }
    bool boolean(bool v) { return Scalar(v ? TJsonStore::TKind::True : TJsonStore::TKind::False); }
    bool number_integer(Json::number_integer_t v) {
        FStore.Node(Put(TJsonStore::TKind::Integer)).integer = v;
        return true;
    }
    bool number_unsigned(Json::number_unsigned_t v) {
        if (v <= static_cast<std::uint64_t>(INT64_MAX))
            return number_integer(static_cast<std::int64_t>(v));
        return BigInteger(std::to_string(v));
    }
    bool number_float(Json::number_float_t v, const Json::string_t& written) {
        // The parser reads an integer beyond 64 bits as a float: its digits
        // as written are kept instead, so that no digit is lost.
        if (IsIntegerText(written)) return BigInteger(written);
        FStore.Node(Put(TJsonStore::TKind::Float)).number = v;
        return true;
    }
    bool string(Json::string_t& v) {
        const char* text = FStore.StoreText(v);
        FStore.Node(Put(TJsonStore::TKind::String)).text = text;
        return true;
    }
    bool binary(Json::binary_t&) { return Scalar(TJsonStore::TKind::Null); }
    bool start_object(std::size_t) { return Open(TJsonStore::TKind::Object); }
    bool start_array(std::size_t) { return Open(TJsonStore::TKind::Array); }
    bool end_object() { return Close(); }
    bool end_array() { return Close(); }
    bool key(Json::string_t& k) {
        TLevel& level = FLevels[FDepth - 1];
        const std::size_t position = level.members.size();
        // Records mostly give their keys in the order of the one before.
        const auto& before = level.membersBefore;
        FKey = position < before.size() && FStore.FKeys[before[position].key] == k
                   ? before[position].key
                   : FStore.KeyId(k);
        FKeyCameBefore = FindMember(level, FKey);
        return true;
    }
    // Whether the document is an array and the parse is between two of its
    // elements (or before the first).
    bool BetweenRootElements() const { return FDepth == 1 && !FLevels[0].object; }
    // The elements of the array `rest`'s root hold (their nodes moved out of
    // it) end the array open now, the document's root.
    void EndWith(TJsonStore& rest) {
        FStore.AppendElementsOf(rest);
        Close();
    }

    // The parser's own exception, of its own type, as its DOM parser raises.
    template <typename Exception>
    bool parse_error(std::size_t, const std::string&, const Exception& e) {
        throw e;
    }

  private:
    struct TMember {
        std::uint32_t key;
        TJsonStore::TRef node;
    };
    struct TLevel {
        TJsonStore::TRef container = 0;
        bool object = false;
        std::vector<TMember> members;        // of the object open at this level
        std::vector<TMember> membersBefore;  // of the last object closed at it
        std::unordered_map<std::uint32_t, TJsonStore::TRef> memberMap;  // for large objects
    };

    TJsonStore::TRef FindMember(TLevel& level, std::uint32_t key) {
        if (level.members.size() <= kMembersScanned) {
            for (const TMember& m : level.members)
                if (m.key == key) return m.node;
            return TJsonStore::kNone;
        }
        if (level.memberMap.empty())
            for (const TMember& m : level.members) level.memberMap.emplace(m.key, m.node);
        const auto found = level.memberMap.find(key);
        return found == level.memberMap.end() ? TJsonStore::kNone : found->second;
    }

    bool BigInteger(std::string_view digits) {
        const char* text = FStore.StoreText(digits);
        FStore.Node(Put(TJsonStore::TKind::BigInteger)).text = text;
        return true;
    }

    bool Scalar(TJsonStore::TKind kind) {
        Put(kind);
        return true;
    }

    // A new value's node, a member of the open object or an element.
    TJsonStore::TRef Put(TJsonStore::TKind kind) {
        const bool member = FDepth > 0 && FLevels[FDepth - 1].object;
        const TJsonStore::TRef node = FStore.Append(member ? FKey : TJsonStore::kNoKey, kind);
        if (!member) return node;
        TLevel& level = FLevels[FDepth - 1];
        if (FKeyCameBefore == TJsonStore::kNone) {
            level.members.push_back({FKey, node});
            if (!level.memberMap.empty()) level.memberMap.emplace(FKey, node);
        } else {
            // The key keeps its first place and takes the last value.
            FStore.Node(node).hidden = true;
            FStore.Node(FKeyCameBefore).replaced = true;
            FStore.FReplaced[FKeyCameBefore] = node;
        }
        return node;
    }

    bool Open(TJsonStore::TKind kind) {
        const TJsonStore::TRef node = Put(kind);
        if (FDepth == FLevels.size()) FLevels.emplace_back();
        TLevel& level = FLevels[FDepth++];
        level.container = node;
        level.object = kind == TJsonStore::TKind::Object;
        level.members.clear();
        level.memberMap.clear();
        return true;
    }

    bool Close() {
        TLevel& level = FLevels[--FDepth];
        FStore.Node(level.container).end = FStore.FCount;
        if (level.object) std::swap(level.members, level.membersBefore);
        return true;
    }

    TJsonStore& FStore;
    std::vector<TLevel> FLevels;
    std::size_t FDepth = 0;
    std::uint32_t FKey = TJsonStore::kNoKey;
    TJsonStore::TRef FKeyCameBefore = TJsonStore::kNone;
};

namespace {

// Thrown out of the parser where the part of the file parsed on a second
// thread begins.
struct TFirstPartDone {};

// The elements of a document's root array from `split` on, parsed on a
// thread of their own into a store of their own, as the elements of an
// array that the parse opens itself.
class TJsonSecondPart {
  public:
    TJsonSecondPart(const std::string& dataSetName, const std::string& file, std::int64_t split)
        : FThread([this, dataSetName, file, split](std::stop_token cancel) {
              try {
                  TFileBytes bytes(dataSetName, file);
                  bytes.Start(split, "[");
                  bytes.CancelWith(std::move(cancel));
                  TJsonStoreBuilder builder(FStore);
                  ParseBytes(bytes, builder);
                  FParsed = true;
              } catch (...) {
                  // The parse of the whole file meets the same fault and
                  // reports it.
              }
          }) {}

    void Cancel() { FThread.request_stop(); }
    // Waits for the thread: the elements' store, nullptr when the parse
    // met a fault.
    TJsonStore* Parsed() {
        FThread.join();
        return FParsed ? &FStore : nullptr;
    }

  private:
    TJsonStore FStore;
    bool FParsed = false;
    std::jthread FThread;  // last: it works on the members above
};

void ParseWhole(TJsonStore& store, const std::string& dataSetName, const std::string& file) {
    TFileBytes bytes(dataSetName, file);
    TJsonStoreBuilder builder(store);
    ParseBytes(bytes, builder);
}

// Parses `file` into `store`, a large array whose elements from `split`
// (see JsonSplitPoint) on are parsed on a second thread meanwhile: the
// parse here stops where they begin, if that is between two of the
// array's own elements, and takes them when the second thread parsed them
// without fault. False when that thread met a fault (or could not be
// started): the file is to be parsed again from the start, so that the
// fault is reported as such a parse reports it (its text tells what was
// read before it). A fault before the stop is raised as it is. Stopping
// only between the array's own elements (after a ",") is what makes the
// second part's parse one of the rest: elsewhere, text that is no valid
// rest of the document may still parse as an array to the end.
bool ParseInParts(TJsonStore& store, const std::string& dataSetName, const std::string& file,
                  std::int64_t split) {
    TJsonStoreBuilder builder(store);
    TFileBytes bytes(dataSetName, file);
    const auto second = StartSecondPart<TJsonSecondPart>(dataSetName, file, split);
    if (!second) return false;
    bool atSplit = false;
    bytes.StopAt(split, [&] {
        if (!builder.BetweenRootElements()) {  // inside a record: read on
            second->Cancel();
            return;
        }
        atSplit = true;
        throw TFirstPartDone{};
    });
    try {
        ParseBytes(bytes, builder);
    } catch (const TFirstPartDone&) {
    }
    if (!atSplit) return true;
    TJsonStore* rest = second->Parsed();
    if (rest == nullptr) return false;
    builder.EndWith(*rest);
    return true;
}

}  // namespace

TJsonStore::TJsonStore() = default;
TJsonStore::~TJsonStore() = default;

std::shared_ptr<const TJsonStore> TJsonStore::FromFile(const std::string& dataSetName,
                                                       const std::string& file) {
    auto store = std::make_shared<TJsonStore>();
    try {
        const std::int64_t split = JsonSplitPoint(file);
        if (split < 0 || !ParseInParts(*store, dataSetName, file, split)) {
            store = std::make_shared<TJsonStore>();
            ParseWhole(*store, dataSetName, file);
        }
    } catch (const Json::parse_error& e) {
        FailDataSet(dataSetName, file + ":" + LineAndColumn(file, e.byte) +
                                     ": invalid JSON: " + ParseReason(e.what()));
    } catch (const Json::out_of_range& e) {
        // A number beyond double's range; the parser gives no position.
        FailDataSet(dataSetName, file + ": invalid JSON: " + ExceptionReason(e.what()));
    }
    return store;
}

std::shared_ptr<const TJsonStore> TJsonStore::FromJson(const nlohmann::json& doc) {
    auto store = std::make_shared<TJsonStore>();
    const std::string text = doc.dump();
    TJsonStoreBuilder builder(*store);
    Json::sax_parse(text.begin(), text.end(), &builder);
    return store;
}

TJsonStore::TRef TJsonStore::Append(std::uint32_t key, TKind kind) {
    if ((FCount & (kChunkNodes - 1)) == 0)
        FChunks.push_back(std::make_unique_for_overwrite<TNode[]>(kChunkNodes));
    TNode& n = Node(FCount);
    n.key = key;
    n.kind = kind;
    n.hidden = n.replaced = false;
    n.end = 0;
    return FCount++;
}

void TJsonStore::AppendElementsOf(TJsonStore& other) {
    // Node i of `other` becomes node start + i here, `start` the first of
    // a chunk, so that its chunks move over as they are. Its root (node 0)
    // and the rest of this store's last chunk become gaps.
    const TRef start = (FCount + kChunkNodes - 1) & ~(kChunkNodes - 1);
    if (FCount < start) MakeGap(FCount, start);
    FChunks.insert(FChunks.end(), std::make_move_iterator(other.FChunks.begin()),
                   std::make_move_iterator(other.FChunks.end()));
    FCount = start + other.FCount;
    MakeGap(start, start + 1);
    std::vector<std::uint32_t> keyOf(other.FKeys.size());
    for (std::size_t k = 0; k < keyOf.size(); ++k) keyOf[k] = KeyId(other.FKeys[k]);
    for (TRef i = start + 1; i < FCount; ++i) {
        TNode& node = Node(i);
        if (node.key != kNoKey) node.key = keyOf[node.key];
        if (node.kind == TKind::Array || node.kind == TKind::Object) node.end += start;
    }
    for (const auto& [from, to] : other.FReplaced) FReplaced.emplace(from + start, to + start);
    // Text is named by address: its blocks move as they are, ahead of this
    // store's own, whose last one is the one with room left.
    FTextBlocks.insert(FTextBlocks.begin(), std::make_move_iterator(other.FTextBlocks.begin()),
                       std::make_move_iterator(other.FTextBlocks.end()));
    other.FTextBlocks.clear();
    other.FChunks.clear();
    other.FReplaced.clear();
    other.FCount = 0;
}

void TJsonStore::MakeGap(TRef at, TRef end) {
    TNode& gap = Node(at);
    gap.key = kNoKey;
    gap.kind = TKind::Array;
    gap.hidden = true;
    gap.replaced = false;
    gap.end = end;
}

const char* TJsonStore::StoreText(std::string_view text) {
    if (text.size() > UINT32_MAX) throw std::length_error("JSON string too long");
    const std::uint32_t length = static_cast<std::uint32_t>(text.size());
    const std::size_t need = sizeof length + text.size();
    char* at = nullptr;
    if (need > kTextBlockBytes / 4) {
        // A long string has a block of its own, put before the current one.
        FTextBlocks.push_back(std::make_unique_for_overwrite<char[]>(need));
        at = FTextBlocks.back().get();
        if (FTextBlocks.size() > 1)
            std::swap(FTextBlocks.back(), FTextBlocks[FTextBlocks.size() - 2]);
    } else {
        if (FTextUsed + need > FTextSize || FTextBlocks.empty()) {
            FTextBlocks.push_back(std::make_unique_for_overwrite<char[]>(kTextBlockBytes));
            FTextUsed = 0;
            FTextSize = kTextBlockBytes;
        }
        at = FTextBlocks.back().get() + FTextUsed;
        FTextUsed += need;
    }
    std::memcpy(at, &length, sizeof length);
    std::memcpy(at + sizeof length, text.data(), text.size());
    return at;
}

std::string_view TJsonStore::Text(TRef node) const {
    const char* at = Node(node).text;
    std::uint32_t length = 0;
    std::memcpy(&length, at, sizeof length);
    return {at + sizeof length, length};
}

std::uint32_t TJsonStore::KeyId(const std::string& key) {
    const auto [it, added] = FKeyIds.emplace(key, static_cast<std::uint32_t>(FKeys.size()));
    if (added) FKeys.push_back(key);
    return it->second;
}

TJsonStore::TRef TJsonStore::FindKey(TRef object, std::string_view key) const {
    if (!IsObject(object)) return kNone;
    TRef exact = kNone, folded = kNone;
    ForEachMember(object, [&](std::uint32_t k, TRef value) {
        if (exact != kNone) return;
        if (FKeys[k] == key)
            exact = value;
        else if (folded == kNone && SameText(FKeys[k], key))
            folded = value;
    });
    return exact != kNone ? exact : folded;
}

TJsonStore::TRef TJsonStore::AtPointer(std::string_view pointer) const {
    // The rules of JSON pointers: "/" before each reference token, "~1"
    // for "/" and "~0" for "~" in it; array indexes in decimal without
    // leading zeros.
    if (!pointer.empty() && pointer[0] != '/') return kNone;
    TRef at = kRoot;
    while (!pointer.empty()) {
        pointer.remove_prefix(1);
        const std::size_t slash = pointer.find('/');
        const std::string_view raw = pointer.substr(0, slash);
        pointer = slash == std::string_view::npos ? std::string_view() : pointer.substr(slash);
        std::string token;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] != '~') {
                token += raw[i];
                continue;
            }
            if (i + 1 == raw.size() || (raw[i + 1] != '0' && raw[i + 1] != '1')) return kNone;
            token += raw[++i] == '0' ? '~' : '/';
        }
        TRef next = kNone;
        if (IsObject(at)) {
            ForEachMember(at, [&](std::uint32_t k, TRef value) {
                if (next == kNone && FKeys[k] == token) next = value;
            });
        } else if (IsArray(at)) {
            if (token.empty() || token.size() > 18 || (token.size() > 1 && token[0] == '0') ||
                token.find_first_not_of("0123456789") != std::string::npos)
                return kNone;
            std::uint64_t index = std::stoull(token);
            ForEachElement(at, [&](TRef element) {
                if (index-- == 0) next = element;
            });
        }
        if (next == kNone) return kNone;
        at = next;
    }
    return at;
}

nlohmann::ordered_json TJsonStore::ToJson(TRef node) const {
    using Ordered = nlohmann::ordered_json;
    switch (Kind(node)) {
        case TKind::Null:
            return nullptr;
        case TKind::False:
            return false;
        case TKind::True:
            return true;
        case TKind::Integer:
            return Integer(node);
        case TKind::BigInteger: {
            // Exact where the library holds it (up to 2^64 - 1); inside a
            // nested value written as text, a larger one becomes a float.
            const std::string_view digits = Text(node);
            std::uint64_t n = 0;
            const auto [end, error] =
                std::from_chars(digits.data(), digits.data() + digits.size(), n);
            if (error == std::errc() && end == digits.data() + digits.size()) return n;
            return std::strtod(std::string(digits).c_str(), nullptr);
        }
        case TKind::Float:
            return Float(node);
        case TKind::String:
            return std::string(Text(node));
        case TKind::Array: {
            Ordered array = Ordered::array();
            ForEachElement(node, [&](TRef element) { array.push_back(ToJson(element)); });
            return array;
        }
        case TKind::Object:
            break;
    }
    Ordered object = Ordered::object();
    ForEachMember(node, [&](std::uint32_t k, TRef value) { object[FKeys[k]] = ToJson(value); });
    return object;
}

std::string TJsonStore::Dump(TRef node) const {
    if (Kind(node) == TKind::BigInteger) return std::string(Text(node));
    return ToJson(node).dump();
}

}  // namespace qx
