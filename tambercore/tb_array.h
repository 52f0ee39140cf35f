#pragma once

#include "tb_object.h"

// Fixed-size array produced by splitting a string; the caller releases every element and
// then the array.
template <class T>
class TB_Array : public TB_Object {
public:
    explicit TB_Array(tb_int64 length)
        : m_items(new T[static_cast<size_t>(length)]()), m_length(length) {}
    TB_Array(const TB_Array&) = delete;
    TB_Array& operator=(const TB_Array&) = delete;
    ~TB_Array() override { delete[] m_items; }

    tb_int64 Length() const { return m_length; }
    T& operator[](tb_int64 i) { return m_items[i]; }
    const T& operator[](tb_int64 i) const { return m_items[i]; }
    T* begin() { return m_items; }
    T* end() { return m_items + m_length; }

private:
    T* m_items;
    tb_int64 m_length;
};
