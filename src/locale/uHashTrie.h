#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <vector>

// String-keyed hash trie: 256-way nodes indexed by successive bytes of the key's hash, with
// short collision chains in the slots. Keys are 8-bit strings; values are untyped in the
// base classes and typed by TStringHashTrie.

// A programming error caught by a trie: adding a present key, indexed access without an
// entry list, an index out of range.
class THashTrieError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TCustomHashTrie;

// Content of a trie slot: a collision chain element or a child node.
class TCustomItem {
public:
    explicit TCustomItem(bool isNode) : IsNode(isNode) {}
    virtual ~TCustomItem() = default;
    TCustomItem(const TCustomItem&) = delete;
    TCustomItem& operator=(const TCustomItem&) = delete;

    const bool IsNode;
};

// One element of a collision chain. Destroying it destroys the rest of its chain; the value
// is released by the trie, never here.
class TCustomLinkedItem final : public TCustomItem {
public:
    TCustomLinkedItem(QByteArray key, void* value)
        : TCustomItem(false), Key(std::move(key)), Value(value) {}
    ~TCustomLinkedItem() override;

    const QByteArray Key; // the trie's own copy
    void* Value = nullptr;
    std::unique_ptr<TCustomLinkedItem> Next;
};

// One trie node. Level 0 is the root; a node of level L indexes its slots by the key hash
// rotated right by 8 × L bits.
class TCustomTreeItem final : public TCustomItem {
public:
    static constexpr int kSlotCount = 256;
    // Chains hold this many keys before the 8th distinct key splits them into a child node.
    static constexpr int kMaxChain = 7;
    // Keys sharing a slot of a level-3 node share all 32 bits of their hash, so splitting
    // there could never separate them: chains on this level grow without bound instead.
    static constexpr int kLastLevel = 3;

    TCustomTreeItem(TCustomHashTrie& owner, int level)
        : TCustomItem(true), Owner(owner), Level(level) {}

    // Null, a chain (IsNode false) or a child node (IsNode true).
    const TCustomItem* SlotAt(int index) const { return Slots[index].get(); }

    TCustomHashTrie& Owner;
    const int Level;

private:
    friend class TCustomHashTrie;

    // h is the key's hash rotated for this node's level. Insert expects a key that is not
    // yet present.
    void Insert(std::unique_ptr<TCustomLinkedItem> item, std::uint32_t h);
    const TCustomLinkedItem* Find(QByteArrayView key, std::uint32_t h) const;
    // Releases every entry below this node through the owner and empties all slots.
    void Clear();

    std::array<std::unique_ptr<TCustomItem>, kSlotCount> Slots;
};

// The trie without a key type: derived classes supply hashing, key comparison and the
// release of an entry. A derived class must call Clear() in its destructor, since the
// release hook is no longer reachable from this destructor.
class TCustomHashTrie {
public:
    explicit TCustomHashTrie(bool withList) : WithList(withList) {}
    virtual ~TCustomHashTrie() = default;
    TCustomHashTrie(const TCustomHashTrie&) = delete;
    TCustomHashTrie& operator=(const TCustomHashTrie&) = delete;

    // Entries added since creation or the last Clear.
    qsizetype Count() const { return FCount; }
    // Releases every entry (a release that throws is skipped over) and empties the cache.
    void Clear();
    const TCustomTreeItem& Root() const { return *FRoot; }

    const bool WithList;

protected:
    friend class TCustomTreeItem;

    virtual std::uint32_t KeyHash(QByteArrayView key) const = 0;
    virtual void ReleaseEntry(const QByteArray& key, void* value) = 0;
    virtual bool KeysEqual(QByteArrayView a, QByteArrayView b) const = 0;

    // Throws THashTrieError when the key is present. Leaves the lookup cache alone.
    void AddValue(QByteArrayView key, void* value);
    // Null when absent.
    void* LookupValue(QByteArrayView key);
    void AddValueById(void* value, std::int64_t id);
    void* LookupValueById(std::int64_t id);
    // Throws THashTrieError without an entry list or for an index out of range.
    void* EntryValueAt(qsizetype index) const;

private:
    const TCustomLinkedItem* Find(QByteArrayView key);

    std::unique_ptr<TCustomTreeItem> FRoot = std::make_unique<TCustomTreeItem>(*this, 0);
    qsizetype FCount = 0;
    std::vector<void*> FEntries;
    // The one-entry lookup cache: LastKey and LastValue are this element's Key and Value.
    const TCustomLinkedItem* FLast = nullptr;
};

// h = h × 131 + c over the key's bytes, modulo 2^32, top bit cleared.
std::uint32_t StringHash(QByteArrayView key);
// The same over the key with ASCII letters folded to lower case.
std::uint32_t FoldedStringHash(QByteArrayView key);
// Equal length and equal bytes.
bool SameKeys(QByteArrayView a, QByteArrayView b);
// Equal length and equal bytes after folding ASCII letters.
bool FoldedKeysEqual(QByteArrayView a, QByteArrayView b);

// Value ownership of a TStringHashTrie. Destroying an object and freeing a plain record are
// both a delete of the typed pointer in C++, so the first two behave alike.
inline constexpr std::uint8_t kOwnObjects = 0;
inline constexpr std::uint8_t kOwnRecords = 1;
inline constexpr std::uint8_t kNotOwned = 2;

// A trie with 8-bit string keys, compared byte for byte or ignoring ASCII letter case, and
// values of type V.
template <class V> class TStringHashTrie : public TCustomHashTrie {
public:
    TStringHashTrie(bool caseSensitive, bool withList, std::uint8_t valueOwnership)
        : TCustomHashTrie(withList), CaseSensitive(caseSensitive), ValueOwnership(valueOwnership) {}
    ~TStringHashTrie() override { Clear(); }

    void Add(QByteArrayView key, V* value) { AddValue(key, value); }
    V* Lookup(QByteArrayView key) { return static_cast<V*>(LookupValue(key)); }
    // The key is the decimal form of id.
    void AddById(V* value, std::int64_t id) { AddValueById(value, id); }
    V* LookupById(std::int64_t id) { return static_cast<V*>(LookupValueById(id)); }
    // The value added in position index.
    V* EntryAt(qsizetype index) const { return static_cast<V*>(EntryValueAt(index)); }

    const bool CaseSensitive;
    const std::uint8_t ValueOwnership;

protected:
    std::uint32_t KeyHash(QByteArrayView key) const override {
        return CaseSensitive ? StringHash(key) : FoldedStringHash(key);
    }
    bool KeysEqual(QByteArrayView a, QByteArrayView b) const override {
        return CaseSensitive ? SameKeys(a, b) : FoldedKeysEqual(a, b);
    }
    void ReleaseEntry(const QByteArray&, void* value) override {
        if (ValueOwnership == kOwnObjects || ValueOwnership == kOwnRecords) {
            delete static_cast<V*>(value);
        }
    }
};
