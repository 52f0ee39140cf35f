#pragma once

#include <xxhash.h>

#include "tb_list.h"
#include "tb_string.h"

// Hash of a key: XXH32 with seed 107 over the UTF-16 units as little-endian bytes.
tb_uint TB_MapHash(const TB_String* key);

template <class T>
struct TB_MapPair {
    tb_uint Hash;
    TB_String Key;
    T Value;
};

// String-keyed map with a fixed 17 buckets; the map owns its pairs and keys but never
// releases values that are objects (owners walk the map to release them first).
template <class T>
class TB_Map : public TB_Object {
public:
    static constexpr tb_uint kBucketCount = 17;

    TB_Map() : m_buckets(new TB_List<TB_MapPair<T>*>[kBucketCount]) {}
    TB_Map(const TB_Map&) = delete;
    TB_Map& operator=(const TB_Map&) = delete;
    ~TB_Map() override {
        for (tb_uint b = 0; b < kBucketCount; ++b) {
            for (TB_MapPair<T>* pair : m_buckets[b]) {
                delete pair;
            }
        }
        delete[] m_buckets;
    }

    tb_int Count() const { return m_itemCount; }

    // Never replaces: an existing key answers false.
    bool Add(const TB_String& key, const T& value) {
        if (Find(&key)) {
            return false;
        }
        tb_uint hash = TB_MapHash(&key);
        m_buckets[hash % kBucketCount].Add(new TB_MapPair<T>{hash, key, value});
        ++m_itemCount;
        return true;
    }

    // A null key matches the pair whose key is empty.
    TB_MapPair<T>* Find(const TB_String* key) const {
        tb_uint hash = TB_MapHash(key);
        for (TB_MapPair<T>* pair : m_buckets[hash % kBucketCount]) {
            if (key ? pair->Key.Equals(*key) : pair->Key.IsEmpty()) {
                return pair;
            }
        }
        return nullptr;
    }
    TB_MapPair<T>* Find(const TB_String& key) const { return Find(&key); }

    void Remove(const TB_String& key) {
        TB_MapPair<T>* pair = Find(&key);
        if (!pair) {
            return;
        }
        m_buckets[pair->Hash % kBucketCount].Remove(pair);
        delete pair;
        --m_itemCount;
    }

    // Bucket 0 to 16, insertion order within a bucket.
    template <class F>
    void ForEach(F&& visit) const {
        for (tb_uint b = 0; b < kBucketCount; ++b) {
            for (TB_MapPair<T>* pair : m_buckets[b]) {
                visit(*pair);
            }
        }
    }

    const TB_List<TB_MapPair<T>*>& Bucket(tb_uint index) const { return m_buckets[index]; }

private:
    TB_List<TB_MapPair<T>*>* m_buckets;
    tb_int m_itemCount = 0;
};
