#include <gtest/gtest.h>

#include <xxhash.h>

#include "tb_color.h"
#include "tb_list.h"
#include "tb_map.h"
#include "tb_rectangle.h"
#include "tb_stringbuilder.h"

namespace {

// Counts destructions so ownership rules can be checked.
class Probe : public TB_Object {
public:
    explicit Probe(int* destroyed) : m_destroyed(destroyed) {}
    ~Probe() override { ++*m_destroyed; }

private:
    int* m_destroyed;
};

TEST(List, StaysInlineUpToFourThenMovesToTheHeapAndKeepsIt) {
    TB_List<int> list;
    EXPECT_EQ(list.Capacity(), 4);
    for (int i = 0; i < 4; ++i) {
        list.Add(i);
    }
    EXPECT_TRUE(list.UsesInlineStorage());
    list.Add(4);
    EXPECT_FALSE(list.UsesInlineStorage());
    EXPECT_EQ(list.Capacity(), 8);
    for (int i = 5; i < 17; ++i) {
        list.Add(i);
    }
    EXPECT_EQ(list.Capacity(), 32);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(list[i], i);
    }
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 32);
    list.Add(99);
    EXPECT_FALSE(list.UsesInlineStorage());
    EXPECT_EQ(list.Get(0), 99);
}

TEST(List, InsertRemoveAndSearch) {
    TB_List<int> list;
    list.Insert(0, 1);
    list.Insert(1, 3);  // at count: appends
    list.Insert(1, 2);
    list.Insert(0, 0);
    list.Insert(4, 4);  // crosses into heap storage while inserting
    ASSERT_EQ(list.Count(), 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(list[i], i);
    }
    list.Add(2);
    EXPECT_EQ(list.IndexOf(2), 2);
    list.Remove(2);  // first occurrence only
    EXPECT_EQ(list.IndexOf(2), 4);
    list.Remove(42);  // absent: no effect
    EXPECT_EQ(list.Count(), 5);
    EXPECT_FALSE(list.Contains(42));

    TB_List<int> single;
    single.Add(7);
    single.RemoveAt(0);
    EXPECT_TRUE(single.IsEmpty());
}

TEST(List, InsertOfAnElementOfTheSameListSurvivesGrowth) {
    TB_List<TB_Rectangle<float>*> list;
    TB_Rectangle<float> a, b;
    for (int i = 0; i < 4; ++i) {
        list.Add(&a);
    }
    list.Insert(2, list[3]);
    list.Insert(0, &b);
    EXPECT_EQ(list.Count(), 6);
    EXPECT_EQ(list[0], &b);
    EXPECT_EQ(list[3], &a);
}

using ListDeathTest = ::testing::Test;

TEST_F(ListDeathTest, OutOfRangeIndexesAreNeverAccepted) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TB_List<int> list;
    list.Add(1);
    EXPECT_DEATH(list.Get(1), "0 <= index && index < \\(tb_uint\\)length");
    EXPECT_DEATH(list.Get(-1), "tambercore/tb_list");
    EXPECT_DEATH(list.RemoveAt(1), "0 <= index && index < \\(tb_uint\\)length");
    EXPECT_DEATH(list[1], "0 <= i && i < length");
    EXPECT_DEATH(list.Insert(2, 0), "0 <= i && i <= length");
}

TEST(List, PlainListNeverReleasesAndAutoReleaseReleasesOnce) {
    int destroyed = 0;
    auto* kept = new Probe(&destroyed);
    {
        TB_List<Probe*> plain;
        plain.Add(kept);
    }
    EXPECT_EQ(destroyed, 0);
    kept->Release();
    EXPECT_EQ(destroyed, 1);

    destroyed = 0;
    {
        TB_ListAutoRelease<Probe*> owned;
        for (int i = 0; i < 6; ++i) {
            owned.Add(new Probe(&destroyed));
        }
        owned.Add(nullptr);
    }
    EXPECT_EQ(destroyed, 6);
}

struct Owner : public TB_Object {
    TB_ListAutoRelease<TB_String*> names;
};

TEST(List, OwnerReleaseFreesEachStringOfItsAutoReleaseMember) {
    auto* owner = new Owner();
    auto* shared = new TB_String(u"shared");
    shared->AddRef();
    owner->names.Add(shared);
    owner->names.Add(new TB_String(u"own"));
    owner->Release();
    EXPECT_EQ(shared->RefCount(), 1);
    shared->Release();
}

TEST(Map, AddNeverReplacesAndFindRemoveWork) {
    TB_Map<int> map;
    EXPECT_TRUE(map.Add(TB_String(u"a"), 1));
    EXPECT_FALSE(map.Add(TB_String(u"a"), 2));
    EXPECT_EQ(map.Find(TB_String(u"a"))->Value, 1);
    EXPECT_EQ(map.Count(), 1);
    EXPECT_EQ(map.Find(TB_String(u"A")), nullptr);
    EXPECT_EQ(map.Find(nullptr), nullptr);
    EXPECT_TRUE(map.Add(TB_String(u""), 5));
    ASSERT_NE(map.Find(nullptr), nullptr);
    EXPECT_EQ(map.Find(nullptr)->Value, 5);
    map.Remove(TB_String(u"a"));
    EXPECT_EQ(map.Find(TB_String(u"a")), nullptr);
    EXPECT_EQ(map.Count(), 1);
    map.Remove(TB_String(u"missing"));
    EXPECT_EQ(map.Count(), 1);
}

TEST(Map, HashIsXxh32Seed107OverLittleEndianUnitsAndBucketsIterateInOrder) {
    const unsigned char bytes[] = {'a', 0, 0x42, 0x30};  // "a" then U+3042
    TB_String key(u"a\u3042");
    EXPECT_EQ(TB_MapHash(&key), XXH32(bytes, sizeof bytes, 107));

    TB_Map<int> map;
    std::vector<std::u16string> names;
    for (int i = 0; i < 60; ++i) {
        TB_String name;
        name.Format(u"key%d", i);
        map.Add(name, i);
    }
    // Walk order: bucket 0 to 16, and insertion order inside a bucket.
    tb_uint lastBucket = 0;
    int lastInBucket = -1;
    int visited = 0;
    map.ForEach([&](const TB_MapPair<int>& pair) {
        tb_uint bucket = pair.Hash % 17;
        EXPECT_GE(bucket, lastBucket);
        if (bucket != lastBucket) {
            lastInBucket = -1;
        }
        EXPECT_GT(pair.Value, lastInBucket);
        lastBucket = bucket;
        lastInBucket = pair.Value;
        ++visited;
    });
    EXPECT_EQ(visited, 60);
}

TEST(StringBuilder, DoublesUntilTextAndTerminatorFit) {
    TB_StringBuilder builder;
    EXPECT_EQ(builder.Capacity(), 16u);
    builder.Append(u"0123456789abcde");  // 15 + terminator = 16
    EXPECT_EQ(builder.Capacity(), 16u);
    builder.Append(u'f');
    EXPECT_EQ(builder.Capacity(), 32u);
    builder.Append(u"0123456789012345678901234567890123456789");
    EXPECT_EQ(builder.Capacity(), 64u);
    TB_Ref<TB_String> text = TB_Ref<TB_String>::Adopt(builder.ToString());
    EXPECT_EQ(text->Length(), 56);
    EXPECT_TRUE(text->Equals(builder.Chars()));
}

TEST(Color, PredefinedColoursAreFilledWithFourDecimals) {
    TB_Color::InitPredefined();
    EXPECT_EQ(TB_Color::PredefinedCount(), 141);
    EXPECT_EQ(TB_Color::Transparent, (TB_Color{1, 1, 1, 0}));
    EXPECT_FLOAT_EQ(TB_Color::DarkSeaGreen.r, 0.5608f);
    EXPECT_FLOAT_EQ(TB_Color::DarkSeaGreen.g, 0.7373f);
    EXPECT_FLOAT_EQ(TB_Color::DarkSeaGreen.b, 0.5451f);
    EXPECT_FLOAT_EQ(TB_Color::FloralWhite.g, 0.9804f);
    EXPECT_EQ(TB_Color::White, (TB_Color{1, 1, 1, 1}));
    EXPECT_EQ(TB_Color().a, 1.0f);
    EXPECT_EQ(TB_Color::FindPredefined("Teal"), &TB_Color::Teal);
    EXPECT_EQ(TB_Color::FindPredefined("NoSuchColour"), nullptr);
}

TEST(Color, ChannelsAreTruncatedNotRounded) {
    EXPECT_EQ((TB_Color{1.0f, 0.999f, 0, 1}).ToArgb(), 0xFFFFFE00u);
    EXPECT_EQ((TB_Color{0.5f, 0.5f, 0.5f, 0.5f}).ToArgb(), 0x7F7F7F7Fu);
    // Native bytes clamp out-of-range channels instead of wrapping.
    EXPECT_EQ((TB_Color{2.0f, -1.0f, 0.25f, 1}).ToNativeBgra(), 0xFFFF003Fu);
}

}  // namespace
