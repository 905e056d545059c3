#include "uHashTrie.h"

#include <QList>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using testing::StrEq;
using testing::ThrowsMessage;

namespace {

// Counts hashing (a lookup that hashes nothing was answered by the cache) and can fail
// the release of one key.
class TProbeTrie : public TStringHashTrie<int> {
public:
    using TStringHashTrie::TStringHashTrie;
    ~TProbeTrie() override { Clear(); }

    mutable int Hashes = 0;
    QByteArray FailingKey;
    int Released = 0;

protected:
    std::uint32_t KeyHash(QByteArrayView key) const override {
        ++Hashes;
        return TStringHashTrie::KeyHash(key);
    }
    void ReleaseEntry(const QByteArray& key, void* value) override {
        ++Released;
        if (key == FailingKey) {
            throw std::runtime_error("release failed");
        }
        TStringHashTrie::ReleaseEntry(key, value);
    }
};

struct TCounted {
    explicit TCounted(int* destroyed) : Destroyed(destroyed) {}
    ~TCounted() { ++*Destroyed; }
    int* Destroyed;
};

// Keys whose hashes agree in the bits of mask.
QList<QByteArray> KeysSharing(std::uint32_t mask, int count) {
    QList<QByteArray> keys;
    const std::uint32_t target = StringHash("k0") & mask;
    for (int i = 0; keys.size() < count; ++i) {
        const QByteArray key = "k" + QByteArray::number(i);
        if ((StringHash(key) & mask) == target) {
            keys.append(key);
        }
    }
    return keys;
}

// 2^blocks keys of one full hash: 'A' * 131 + 0xC8 == 'B' * 131 + 'E', so each two-byte
// block may be either.
QList<QByteArray> KeysOfOneHash(int blocks) {
    QList<QByteArray> keys;
    for (int bits = 0; bits < (1 << blocks); ++bits) {
        QByteArray key;
        for (int b = 0; b < blocks; ++b) {
            key += (bits >> b) & 1 ? "BE" : "A\xC8";
        }
        keys.append(key);
    }
    return keys;
}

int DeepestLevel(const TCustomTreeItem& node) {
    int deepest = node.Level;
    for (int i = 0; i < TCustomTreeItem::kSlotCount; ++i) {
        if (const TCustomItem* item = node.SlotAt(i); item && item->IsNode) {
            deepest = std::max(deepest, DeepestLevel(*static_cast<const TCustomTreeItem*>(item)));
        }
    }
    return deepest;
}

} // namespace

TEST(HashTrie, HashesAndComparesEveryByte) {
    // Every length around the word sizes that hashing and comparing step by.
    for (int length = 0; length <= 40; ++length) {
        QByteArray key(length, Qt::Uninitialized);
        std::uint32_t expected = 0;
        for (int i = 0; i < length; ++i) {
            key[i] = char(0xA0 + i * 7);
            expected = expected * 131 + std::uint8_t(key[i]);
        }
        EXPECT_EQ(StringHash(key), expected & 0x7FFFFFFF) << length;
        EXPECT_EQ(FoldedStringHash(key.toUpper()), FoldedStringHash(key.toLower())) << length;
        EXPECT_TRUE(SameKeys(key, QByteArray(key)));
        for (int i = 0; i < length; ++i) {
            QByteArray other = key;
            other[i] = char(other[i] ^ 1);
            EXPECT_FALSE(SameKeys(key, other)) << length << " differ at " << i;
        }
    }
}

TEST(HashTrie, SplitsAFullChainIntoAChildNodeOnTheEighthKey) {
    TStringHashTrie<int> trie(true, true, kNotOwned);
    const QList<QByteArray> keys = KeysSharing(0xFF, 8);
    const int slot = StringHash(keys[0]) & 0xFF;
    int values[8];
    for (int i = 0; i < 8; ++i) {
        trie.Add(keys[i], &values[i]);
        ASSERT_NE(trie.Root().SlotAt(slot), nullptr);
        EXPECT_EQ(trie.Root().SlotAt(slot)->IsNode, i == 7) << "after key " << i;
    }
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(trie.Lookup(keys[i]), &values[i]);
        EXPECT_EQ(trie.EntryAt(i), &values[i]);
    }
}

class CollidingKeys : public testing::TestWithParam<QList<QByteArray>> {};

// The last key is left out: a colliding key that was never added must not be found.
TEST_P(CollidingKeys, AreAllStoredAndFound) {
    std::vector<QByteArray> keys(GetParam().cbegin(), GetParam().cend());
    TStringHashTrie<QByteArray> trie(true, false, kNotOwned);
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        trie.Add(keys[i], &keys[i]);
    }
    EXPECT_EQ(trie.Count(), qsizetype(keys.size()) - 1);
    for (std::size_t i = 0; i + 1 < keys.size(); ++i) {
        ASSERT_EQ(trie.Lookup(keys[i]), &keys[i]) << keys[i].toHex().toStdString();
    }
    EXPECT_EQ(trie.Lookup(keys.back()), nullptr);
    // Four levels use up the 32 hash bits: a deeper node could separate nothing.
    EXPECT_LE(DeepestLevel(trie.Root()), 3);
}

INSTANTIATE_TEST_SUITE_P(HashTrie, CollidingKeys,
                         testing::Values(KeysSharing(0xFF, 60), KeysSharing(0xFFFF, 20),
                                         KeysOfOneHash(3), KeysOfOneHash(11)));

TEST(HashTrie, CaseFoldedModeFoldsAsciiLettersOnly) {
    TStringHashTrie<int> folded(false, false, kNotOwned);
    int a = 1;
    folded.Add("Read", &a);
    folded.Add("\xC3\x89", &a); // UTF-8 "É" and "é" stay apart
    EXPECT_EQ(folded.Lookup("rEAD"), &a);
    EXPECT_EQ(folded.Lookup("\xC3\xA9"), nullptr);
    EXPECT_THROW(folded.Add("READ", &a), THashTrieError);
    TStringHashTrie<int> exact(true, false, kNotOwned);
    exact.Add("Read", &a);
    EXPECT_EQ(exact.Lookup("read"), nullptr);
}

TEST(HashTrie, GuardFailuresThrow) {
    TStringHashTrie<int> listed(true, true, kNotOwned);
    int v = 0;
    listed.AddById(&v, -3);
    EXPECT_THAT([&] { listed.Add("-3", &v); },
                ThrowsMessage<THashTrieError>(StrEq("重复的关键字 [-3]")));
    // Presence belongs to the key, so a null value still guards it.
    listed.Add("null", nullptr);
    EXPECT_THROW(listed.Add("null", &v), THashTrieError);
    EXPECT_THROW(listed.EntryAt(2), THashTrieError);
    EXPECT_THROW(listed.EntryAt(-1), THashTrieError);
    TStringHashTrie<int> unlisted(true, false, kNotOwned);
    EXPECT_THAT([&] { unlisted.EntryAt(0); },
                ThrowsMessage<THashTrieError>(StrEq("no list support")));
}

TEST(HashTrie, CacheAnswersRepeatsUntilClearWhichGoesOnPastAFailingRelease) {
    TProbeTrie trie(true, true, kNotOwned);
    int a = 0;
    trie.Add("a", &a);
    trie.Hashes = 0;
    EXPECT_EQ(trie.Lookup("a"), &a);
    EXPECT_EQ(trie.Lookup("a"), &a);
    EXPECT_EQ(trie.Hashes, 1);
    trie.Add("b", &a);
    EXPECT_EQ(trie.Lookup("c"), nullptr); // a miss keeps the cache too
    trie.Hashes = 0;
    EXPECT_EQ(trie.Lookup("a"), &a);
    EXPECT_EQ(trie.Hashes, 0);
    // A failing release does not stop the others.
    trie.FailingKey = "a";
    trie.Clear();
    EXPECT_EQ(trie.Released, 2);
    EXPECT_EQ(trie.Count(), 0);
    EXPECT_EQ(trie.Lookup("a"), nullptr); // a stale cache would still answer
}

TEST(HashTrie, ClearAndDestructionReleaseOwnedValuesOnly) {
    for (const std::uint8_t ownership : {kOwnObjects, kOwnRecords, kNotOwned}) {
        const int owned = ownership == kNotOwned ? 0 : 1;
        int destroyed = 0;
        std::vector<std::unique_ptr<TCounted>> kept;
        {
            TStringHashTrie<TCounted> trie(true, true, ownership);
            const QList<QByteArray> keys = KeysSharing(0xFF, 21);
            for (const QByteArray& key : keys) {
                kept.push_back(std::make_unique<TCounted>(&destroyed));
                trie.Add(key, owned ? kept.back().release() : kept.back().get());
                if (trie.Count() == 20) {
                    trie.Clear();
                    EXPECT_EQ(destroyed, owned * 20);
                    EXPECT_EQ(trie.Lookup(keys[0]), nullptr);
                }
            }
        }
        EXPECT_EQ(destroyed, owned * 21) << "ownership " << int(ownership);
    }
}
