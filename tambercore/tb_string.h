#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "tb_array.h"
#include "tb_list.h"
#include "tb_object.h"

class TB_StringUTF8;

// Owned, NUL-terminated UTF-16 text. Every assignment copies; an embedded 0 unit ends the
// text. Chars() is null only for a string built from a null pointer.
class TB_String : public TB_Object {
public:
    TB_String();
    TB_String(const tb_char* text);  // NOLINT: implicit from literals is the common use
    TB_String(const tb_char* text, tb_int count);
    TB_String(const char* utf8);  // NOLINT
    TB_String(const char* utf8, tb_int64 byteCount);
    TB_String(const TB_String& other);
    TB_String(TB_String&& other) noexcept;
    ~TB_String() override;

    TB_String& operator=(const tb_char* text);
    TB_String& operator=(const TB_String& other);
    TB_String& operator=(TB_String&& other) noexcept;

    const tb_char* Chars() const { return m_chars; }
    tb_int Length() const { return m_length; }
    bool IsEmpty() const { return m_length == 0; }
    tb_char operator[](tb_int i) const { return m_chars[i]; }

    // Replaces the content with formatted text (see TB_FormatV for the conversions).
    void Format(const tb_char* format, ...);
    void FormatV(const tb_char* format, va_list args);
    // A new string with count 1.
    static TB_String* CreateFormat(const tb_char* format, ...);

    TB_StringUTF8 ToUtf8() const;
    std::string ToStdString() const;
    std::u16string_view View() const {
        return std::u16string_view(m_chars ? m_chars : u"", m_length);
    }

    // n + 1 new strings for n separators; empty pieces are kept.
    TB_Array<TB_String*>* Split(tb_char separator) const;
    // Appends the pieces between U+0020 characters (empty ones too) to the caller's list.
    void SplitAtSpaces(TB_List<TB_String*>& pieces) const;

    bool Equals(const TB_String& other) const;
    bool Equals(const tb_char* text) const;
    bool operator==(const TB_String& other) const { return Equals(other); }
    bool operator==(const tb_char* text) const { return Equals(text); }

    // Takes over a buffer from TB_Alloc*; the length is measured.
    void AdoptBuffer(tb_char* buffer);

private:
    void Measure();

    tb_char* m_chars = nullptr;
    tb_int m_length = 0;
};

// Owned NUL-terminated UTF-8 bytes.
class TB_StringUTF8 : public TB_Object {
public:
    TB_StringUTF8();
    explicit TB_StringUTF8(const TB_String& text);
    TB_StringUTF8(const TB_StringUTF8& other);
    TB_StringUTF8(TB_StringUTF8&& other) noexcept;
    ~TB_StringUTF8() override;
    TB_StringUTF8& operator=(const TB_StringUTF8&) = delete;

    const char* Chars() const { return m_chars; }

private:
    char* m_chars;
};

// Raw text helpers on heap buffers (allocated with malloc, freed with TB_FreeText).
tb_int TB_TextLength(const tb_char* text);
tb_char* TB_DuplicateText(const tb_char* text);
char* TB_DuplicateText8(const char* text);
tb_char* TB_ConcatText(const tb_char* first, const tb_char* second);
tb_char* TB_ReplaceChar(const tb_char* text, tb_char from, const tb_char* to);
void TB_FreeText(void* text);

// Decodes one UTF-8 sequence at bytes[0..available). Always consumes at least one byte when
// one is available; answers false (no character) for a byte that starts no valid sequence,
// a bad continuation byte, an overlong form, an encoded surrogate (ED A0-BF) or a sequence
// cut off by the end.
bool TB_DecodeUtf8(const tb_byte* bytes, tb_int64 available, tb_uint& codePoint, int& used);

// UTF-8 to UTF-16 conversion; stops at the first invalid sequence. byteCount < 0 means
// NUL-terminated input. Returns a new buffer.
tb_char* TB_Utf8ToUtf16(const char* utf8, tb_int64 byteCount);
// UTF-16 to UTF-8 (see TB_AppendUtf8). Returns a new buffer.
char* TB_Utf16ToUtf8(const tb_char* text);
// Appends the UTF-8 form of text. An escaped file-name byte (TB_IsEscapedByte) becomes that
// byte again; any other unpaired surrogate is written as its own three-byte value, so no
// unit is ever lost and the text after it is kept.
void TB_AppendUtf8(std::string& out, std::u16string_view text);

// File names on Linux are bytes that need not be UTF-8 (Shift_JIS names from archives made
// on Windows are common). In the UTF-16 text such a byte 0x80-0xFF is kept as the unpaired
// unit U+DC80-U+DCFF (byte + 0xDC00, the "surrogateescape" of PEP 383), and a backslash
// byte as U+DC5C, because a location text reads a backslash as a separator. The conversion
// to UTF-8 undoes both, so an operating-system path survives the round trip byte for byte.
inline bool TB_IsEscapedByte(tb_char unit) {
    return unit == 0xDC5C || (unit >= 0xDC80 && unit <= 0xDCFF);
}
// Text from bytes the operating system gave (file names, paths, the environment): valid
// UTF-8 is decoded; a backslash and every byte that does not decode are escaped.
// byteCount < 0 means NUL-terminated.
TB_String TB_TextFromNative(const char* bytes, tb_int64 byteCount = -1);
// Text from UTF-8 that may carry escaped bytes as the three-byte form of their unit (what a
// JSON escape of the unit parses to); a plain backslash stays a backslash and other bytes
// that do not decode are escaped.
TB_String TB_TextFromEscapedUtf8(const char* bytes, tb_int64 byteCount);
// True when the text holds an escaped byte.
bool TB_HasEscapedBytes(std::u16string_view text);
// The text as people should read it: each '/'-separated part that holds escaped bytes is
// decoded again from its bytes, as Shift_JIS when they are valid Shift_JIS, otherwise as
// UTF-8 with U+FFFD for each byte that does not decode. Other text is returned as it is.
TB_String TB_DisplayText(const TB_String& text);

// The framework formatter: %d %i %u %x %X %c %C %f %s (UTF-8) %S (UTF-16) %T (TB_String*).
// The first flag character is the padding character; digits after it give the width.
tb_char* TB_FormatV(const tb_char* format, va_list args);
tb_char* TB_FormatText(const tb_char* format, ...);
