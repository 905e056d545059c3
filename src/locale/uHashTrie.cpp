#include "uHashTrie.h"

#include <bit>
#include <charconv>
#include <cstring>
#include <string>

namespace {

constexpr std::array<std::uint8_t, 256> MakeFoldTable() {
    std::array<std::uint8_t, 256> table{};
    for (int c = 0; c < 256; ++c) {
        table[c] = static_cast<std::uint8_t>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
    }
    return table;
}

// ASCII only: folding other bytes would break multi-byte UTF-8 sequences.
constexpr std::array<std::uint8_t, 256> kFold = MakeFoldTable();

constexpr std::uint32_t kTopBitClear = 0x7FFFFFFF;

template <bool Fold> std::uint32_t Byte(const char* p) {
    const auto byte = static_cast<std::uint8_t>(*p);
    return Fold ? kFold[byte] : byte;
}

// h = h * 131 + c, four bytes a step: h * 131^4 + (c0 * 131^3 + c1 * 131^2 + c2 * 131 + c3)
// gives the same value modulo 2^32 with a quarter of the dependent multiplications.
template <bool Fold> std::uint32_t Hash(QByteArrayView key) {
    constexpr std::uint32_t k1 = 131;
    constexpr std::uint32_t k2 = k1 * k1;
    constexpr std::uint32_t k3 = k2 * k1;
    constexpr std::uint32_t k4 = k3 * k1;
    std::uint32_t h = 0;
    const char* p = key.data();
    const char* const end = p + key.size();
    for (; end - p >= 4; p += 4) {
        h = h * k4 + (Byte<Fold>(p) * k3 + Byte<Fold>(p + 1) * k2 + Byte<Fold>(p + 2) * k1 +
                      Byte<Fold>(p + 3));
    }
    for (; p != end; ++p) {
        h = h * k1 + Byte<Fold>(p);
    }
    return h & kTopBitClear;
}

template <class T> T Load(const char* p) {
    T value;
    std::memcpy(&value, p, sizeof value);
    return value;
}

// Formats id in decimal into buffer and returns the text.
QByteArrayView IdKey(std::int64_t id, std::array<char, 24>& buffer) {
    const auto result = std::to_chars(buffer.data(), buffer.data() + buffer.size(), id);
    return QByteArrayView(buffer.data(), result.ptr - buffer.data());
}

} // namespace

std::uint32_t StringHash(QByteArrayView key) {
    return Hash<false>(key);
}

std::uint32_t FoldedStringHash(QByteArrayView key) {
    return Hash<true>(key);
}

bool SameKeys(QByteArrayView a, QByteArrayView b) {
    const qsizetype n = a.size();
    if (n != b.size()) {
        return false;
    }
    // Keys are mostly short texts: two overlapping loads compare them without a call.
    const char* p = a.data();
    const char* q = b.data();
    if (n < 4) {
        for (qsizetype i = 0; i < n; ++i) {
            if (p[i] != q[i]) {
                return false;
            }
        }
        return true;
    }
    if (n < 8) {
        return Load<std::uint32_t>(p) == Load<std::uint32_t>(q) &&
               Load<std::uint32_t>(p + n - 4) == Load<std::uint32_t>(q + n - 4);
    }
    if (n <= 16) {
        return Load<std::uint64_t>(p) == Load<std::uint64_t>(q) &&
               Load<std::uint64_t>(p + n - 8) == Load<std::uint64_t>(q + n - 8);
    }
    return std::memcmp(p, q, n) == 0;
}

bool FoldedKeysEqual(QByteArrayView a, QByteArrayView b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (qsizetype i = 0; i < a.size(); ++i) {
        if (kFold[static_cast<std::uint8_t>(a[i])] != kFold[static_cast<std::uint8_t>(b[i])]) {
            return false;
        }
    }
    return true;
}

TCustomLinkedItem::~TCustomLinkedItem() {
    // Unlinks one element at a time: a long chain must not recurse once per element.
    auto next = std::move(Next);
    while (next) {
        next = std::move(next->Next);
    }
}

void TCustomTreeItem::Insert(std::unique_ptr<TCustomLinkedItem> item, std::uint32_t h) {
    std::unique_ptr<TCustomItem>& slot = Slots[h & 0xFF];
    if (!slot) {
        slot = std::move(item);
        return;
    }
    if (slot->IsNode) {
        static_cast<TCustomTreeItem*>(slot.get())->Insert(std::move(item), std::rotr(h, 8));
        return;
    }
    int length = 0;
    if (Level < kLastLevel) {
        for (auto* e = static_cast<const TCustomLinkedItem*>(slot.get()); e; e = e->Next.get()) {
            ++length;
        }
    }
    if (length < kMaxChain) {
        item->Next.reset(static_cast<TCustomLinkedItem*>(slot.release()));
        slot = std::move(item);
        return;
    }
    // The chain is full: move its elements, in chain order, into a new child node.
    auto child = std::make_unique<TCustomTreeItem>(Owner, Level + 1);
    std::unique_ptr<TCustomLinkedItem> chain(static_cast<TCustomLinkedItem*>(slot.release()));
    while (chain) {
        std::unique_ptr<TCustomLinkedItem> rest = std::move(chain->Next);
        const std::uint32_t hash = std::rotr(Owner.KeyHash(chain->Key), 8 * child->Level);
        child->Insert(std::move(chain), hash);
        chain = std::move(rest);
    }
    child->Insert(std::move(item), std::rotr(h, 8));
    slot = std::move(child);
}

const TCustomLinkedItem* TCustomTreeItem::Find(QByteArrayView key, std::uint32_t h) const {
    const TCustomTreeItem* node = this;
    for (;;) {
        const TCustomItem* item = node->Slots[h & 0xFF].get();
        if (!item) {
            return nullptr;
        }
        if (!item->IsNode) {
            for (auto* e = static_cast<const TCustomLinkedItem*>(item); e; e = e->Next.get()) {
                // Equal keys have equal lengths in either mode: a cheap test first.
                if (e->Key.size() == key.size() && Owner.KeysEqual(key, e->Key)) {
                    return e;
                }
            }
            return nullptr;
        }
        node = static_cast<const TCustomTreeItem*>(item);
        h = std::rotr(h, 8);
    }
}

void TCustomTreeItem::Clear() {
    for (std::unique_ptr<TCustomItem>& slot : Slots) {
        if (slot && slot->IsNode) {
            static_cast<TCustomTreeItem*>(slot.get())->Clear();
        } else if (slot) {
            for (auto* e = static_cast<TCustomLinkedItem*>(slot.get()); e; e = e->Next.get()) {
                try {
                    Owner.ReleaseEntry(e->Key, e->Value);
                } catch (...) {
                    // One failing release must not keep the others from being released.
                }
            }
        }
        slot.reset();
    }
}

void TCustomHashTrie::Clear() {
    FLast = nullptr;
    FEntries.clear();
    FRoot->Clear();
    FCount = 0;
}

const TCustomLinkedItem* TCustomHashTrie::Find(QByteArrayView key) {
    if (FLast && FLast->Key.size() == key.size() && KeysEqual(key, FLast->Key)) {
        return FLast;
    }
    const TCustomLinkedItem* found = FRoot->Find(key, KeyHash(key));
    if (found) {
        FLast = found;
    }
    return found;
}

void TCustomHashTrie::AddValue(QByteArrayView key, void* value) {
    // Presence is decided by the element, not the value, so a null value is still a key.
    if (FRoot->Find(key, KeyHash(key))) {
        throw THashTrieError("重复的关键字 [" + key.toByteArray().toStdString() + "]");
    }
    auto item = std::make_unique<TCustomLinkedItem>(key.toByteArray(), value);
    const std::uint32_t hash = KeyHash(item->Key);
    FRoot->Insert(std::move(item), hash);
    ++FCount;
    if (WithList) {
        FEntries.push_back(value);
    }
}

void* TCustomHashTrie::LookupValue(QByteArrayView key) {
    const TCustomLinkedItem* found = Find(key);
    return found ? found->Value : nullptr;
}

void TCustomHashTrie::AddValueById(void* value, std::int64_t id) {
    std::array<char, 24> buffer;
    AddValue(IdKey(id, buffer), value);
}

void* TCustomHashTrie::LookupValueById(std::int64_t id) {
    std::array<char, 24> buffer;
    return LookupValue(IdKey(id, buffer));
}

void* TCustomHashTrie::EntryValueAt(qsizetype index) const {
    if (!WithList) {
        throw THashTrieError("no list support");
    }
    if (index < 0 || index >= static_cast<qsizetype>(FEntries.size())) {
        throw THashTrieError("list index out of bounds (" + std::to_string(index) + ")");
    }
    return FEntries[index];
}
