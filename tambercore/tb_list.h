#pragma once

#include <cstdlib>
#include <cstring>
#include <type_traits>

#include "tb_assert.h"
#include "tb_object.h"

// Growable array with room for four elements inside the object, so the many small lists of
// the widget tree never allocate. Elements are plain values or pointers; a list of pointers
// does not own them (see TB_ListAutoRelease).
template <class T>
class TB_List : public TB_Object {
    static_assert(std::is_trivially_copyable_v<T>, "TB_List holds plain values or pointers");

public:
    TB_List() = default;
    TB_List(const TB_List&) = delete;
    TB_List& operator=(const TB_List&) = delete;
    ~TB_List() override { FreeStorage(); }

    tb_int Count() const { return m_count; }
    tb_int Capacity() const { return m_capacity; }
    bool IsEmpty() const { return m_count == 0; }
    T* Items() { return m_items; }
    const T* Items() const { return m_items; }
    bool UsesInlineStorage() const { return m_items == InlineBlock(); }

    void Add(const T& item) {
        if (m_count == m_capacity) {
            Grow();
        }
        m_items[m_count++] = item;
    }

    void Insert(tb_int index, const T& item) {
        TB_ASSERT(0 <= index && index <= m_count, "tambercore/tb_list", "0 <= i && i <= length");
        T copy = item;  // item may live inside the storage that Add moves
        Add(copy);
        std::memmove(static_cast<void*>(m_items + index + 1), m_items + index,
                     sizeof(T) * static_cast<size_t>(m_count - 1 - index));
        m_items[index] = copy;
    }

    void RemoveAt(tb_int index) {
        TB_ASSERT(0 <= index && static_cast<tb_uint>(index) < static_cast<tb_uint>(m_count),
                  "tambercore/tb_list", "0 <= index && index < (tb_uint)length");
        std::memmove(static_cast<void*>(m_items + index), m_items + index + 1,
                     sizeof(T) * static_cast<size_t>(m_count - index - 1));
        --m_count;
    }

    void Remove(const T& item) {
        tb_int index = IndexOf(item);
        if (index >= 0) {
            RemoveAt(index);
        }
    }

    tb_int IndexOf(const T& item) const {
        for (tb_int i = 0; i < m_count; ++i) {
            if (m_items[i] == item) {
                return i;
            }
        }
        return -1;
    }

    bool Contains(const T& item) const { return IndexOf(item) >= 0; }

    void Clear() { m_count = 0; }

    // Bounds-checked read.
    T& Get(tb_int index) {
        TB_ASSERT(0 <= index && static_cast<tb_uint>(index) < static_cast<tb_uint>(m_count),
                  "tambercore/tb_list", "0 <= index && index < (tb_uint)length");
        return m_items[index];
    }
    const T& Get(tb_int index) const { return const_cast<TB_List*>(this)->Get(index); }

    // Element access in loops.
    T& operator[](tb_int i) {
        TB_ASSERT(0 <= i && i < m_count, "tambercore/tb_list", "0 <= i && i < length");
        return m_items[i];
    }
    const T& operator[](tb_int i) const { return (*const_cast<TB_List*>(this))[i]; }

    T* begin() { return m_items; }
    T* end() { return m_items + m_count; }
    const T* begin() const { return m_items; }
    const T* end() const { return m_items + m_count; }

private:
    T* InlineBlock() { return reinterpret_cast<T*>(m_inline); }
    const T* InlineBlock() const { return reinterpret_cast<const T*>(m_inline); }

    void Grow() {
        if (m_capacity == 0) {
            m_capacity = 4;
            m_items = static_cast<T*>(std::malloc(sizeof(T) * 4));
            return;
        }
        tb_int newCapacity = m_capacity * 2;
        if (UsesInlineStorage()) {
            T* heap = static_cast<T*>(std::malloc(sizeof(T) * static_cast<size_t>(newCapacity)));
            std::memcpy(static_cast<void*>(heap), m_items,
                        sizeof(T) * static_cast<size_t>(m_count));
            m_items = heap;
        } else {
            m_items = static_cast<T*>(std::realloc(static_cast<void*>(m_items),
                                                   sizeof(T) * static_cast<size_t>(newCapacity)));
        }
        m_capacity = newCapacity;
    }

    void FreeStorage() {
        if (m_items && !UsesInlineStorage()) {
            std::free(static_cast<void*>(m_items));
        }
        m_items = InlineBlock();
    }

    T* m_items = InlineBlock();
    tb_int m_count = 0;
    tb_int m_capacity = 4;
    alignas(T) unsigned char m_inline[sizeof(T) * 4];
};

// A list that releases every non-null element when it is destroyed.
template <class T>
class TB_ListAutoRelease : public TB_List<T> {
public:
    ~TB_ListAutoRelease() override {
        for (T item : *this) {
            if (item) {
                item->Release();
            }
        }
    }
};

// Releases every element of a list of counted pointers and empties it.
template <class T>
void TB_ReleaseAll(TB_List<T*>& list) {
    for (T* item : list) {
        if (item) {
            item->Release();
        }
    }
    list.Clear();
}
