#pragma once

#include <cstdlib>
#include <cstring>

#include "tb_string.h"

// Growable text buffer; capacity starts at 16 and doubles until the text and its
// terminator fit.
template <class TChar>
class TB_StringBuilderT : public TB_Object {
public:
    TB_StringBuilderT() : m_buffer(static_cast<TChar*>(std::malloc(sizeof(TChar) * 16))) {
        m_buffer[0] = 0;
    }
    TB_StringBuilderT(const TB_StringBuilderT&) = delete;
    TB_StringBuilderT& operator=(const TB_StringBuilderT&) = delete;
    ~TB_StringBuilderT() override { std::free(m_buffer); }

    void Append(const TChar* text) {
        if (!text) {
            return;
        }
        size_t n = 0;
        while (text[n] != 0) {
            ++n;
        }
        Append(text, n);
    }
    void Append(const TChar* text, size_t n) {
        Reserve(m_length + n);
        std::memcpy(m_buffer + m_length, text, sizeof(TChar) * n);
        m_length += n;
        m_buffer[m_length] = 0;
    }
    void Append(TChar c) { Append(&c, 1); }

    size_t Length() const { return m_length; }
    size_t Capacity() const { return m_capacity; }
    const TChar* Chars() const { return m_buffer; }

    // A new string with count 1 holding the text so far.
    TB_String* ToString() const { return new TB_String(m_buffer, static_cast<tb_int>(m_length)); }

private:
    void Reserve(size_t length) {
        if (m_capacity >= length + 1) {
            return;
        }
        while (m_capacity < length + 1) {
            m_capacity *= 2;
        }
        m_buffer = static_cast<TChar*>(std::realloc(m_buffer, sizeof(TChar) * m_capacity));
    }

    TChar* m_buffer;
    size_t m_capacity = 16;
    size_t m_length = 0;
};

using TB_StringBuilder = TB_StringBuilderT<tb_char>;
