#include "tb_string.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "tb_shiftjis.h"

namespace {

tb_char* AllocText(size_t units) {
    return static_cast<tb_char*>(std::malloc(sizeof(tb_char) * (units + 1)));
}

tb_char* CopyToBuffer(const std::u16string& text) {
    tb_char* buffer = AllocText(text.size());
    std::memcpy(buffer, text.data(), sizeof(tb_char) * text.size());
    buffer[text.size()] = 0;
    return buffer;
}

void AppendCodePoint(std::u16string& out, tb_uint cp) {
    if (cp > 0xFFFF) {
        out.push_back(static_cast<tb_char>((cp >> 10) + 0xD7C0));
        out.push_back(static_cast<tb_char>((cp & 0x3FF) | 0xDC00));
    } else {
        out.push_back(static_cast<tb_char>(cp));
    }
}

void AppendUtf8(std::string& out, tb_uint cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::u16string Utf8ToUtf16(const char* utf8, tb_int64 byteCount) {
    std::u16string out;
    if (!utf8) {
        return out;
    }
    const auto* bytes = reinterpret_cast<const tb_byte*>(utf8);
    tb_int64 length = byteCount >= 0 ? byteCount : static_cast<tb_int64>(std::strlen(utf8));
    for (tb_int64 i = 0; i < length;) {
        tb_uint cp;
        int used;
        if (!TB_DecodeUtf8(bytes + i, length - i, cp, used)) {
            break;  // the text before the first invalid sequence
        }
        i += used;
        if (cp <= 0x10FFFF) {
            AppendCodePoint(out, cp);
        }
    }
    return out;
}

std::string Utf16ToUtf8(const tb_char* text) {
    std::string out;
    if (text) {
        TB_AppendUtf8(out, std::u16string_view(text));
    }
    return out;
}

// The three bytes ED B1 9C and ED B2 80 - ED B3 BF: the UTF-8 form of an escaped byte's unit.
bool IsEncodedEscape(const tb_byte* bytes, tb_int64 available) {
    if (available < 3 || bytes[0] != 0xED) {
        return false;
    }
    if (bytes[1] == 0xB1) {
        return bytes[2] == 0x9C;
    }
    return (bytes[1] == 0xB2 || bytes[1] == 0xB3) && bytes[2] >= 0x80 && bytes[2] <= 0xBF;
}

TB_String TextFromBytes(const char* text, tb_int64 byteCount, bool fromJson) {
    if (!text) {
        return TB_String();
    }
    const auto* bytes = reinterpret_cast<const tb_byte*>(text);
    tb_int64 length = byteCount >= 0 ? byteCount : static_cast<tb_int64>(std::strlen(text));
    std::u16string out;
    out.reserve(static_cast<size_t>(length));
    for (tb_int64 i = 0; i < length;) {
        tb_byte b = bytes[i];
        if (b < 0x80 && (b != '\\' || fromJson)) {
            out.push_back(b);
            ++i;
            continue;
        }
        if (b == '\\') {
            out.push_back(0xDC5C);
            ++i;
            continue;
        }
        if (fromJson && IsEncodedEscape(bytes + i, length - i)) {
            out.push_back(static_cast<tb_char>(0xD000 | ((bytes[i + 1] & 0x3F) << 6) |
                                               (bytes[i + 2] & 0x3F)));
            i += 3;
            continue;
        }
        tb_uint cp;
        int used;
        if (TB_DecodeUtf8(bytes + i, length - i, cp, used) && cp <= 0x10FFFF) {
            AppendCodePoint(out, cp);
            i += used;
            continue;
        }
        for (int k = 0; k < used; ++k) {  // every byte of what does not decode is >= 0x80
            out.push_back(static_cast<tb_char>(0xDC00 | bytes[i + k]));
        }
        i += used;
    }
    return TB_String(out.c_str(), static_cast<tb_int>(out.size()));
}

bool IsValidUtf8(const std::string& bytes) {
    const auto* data = reinterpret_cast<const tb_byte*>(bytes.data());
    auto length = static_cast<tb_int64>(bytes.size());
    for (tb_int64 i = 0; i < length;) {
        tb_uint cp;
        int used;
        if (!TB_DecodeUtf8(data + i, length - i, cp, used) || cp > 0x10FFFF) {
            return false;
        }
        i += used;
    }
    return true;
}

// Decodes a file name's bytes as Shift_JIS; false when they are not valid Shift_JIS.
// Bytes below 0x80 stay ASCII: names written on Windows mean a backslash and a tilde there.
bool DecodeShiftJisName(const std::string& bytes, std::u16string& out) {
    const tb_uint* table = TB_ShiftJisTable();
    std::u16string decoded;
    for (size_t i = 0; i < bytes.size(); ++i) {
        auto b = static_cast<tb_byte>(bytes[i]);
        tb_uint entry;
        if (b < 0x80) {
            entry = b;
        } else if (TB_IsShiftJisLead(b) && i + 1 < bytes.size() &&
                   TB_IsShiftJisTrail(static_cast<tb_byte>(bytes[i + 1]))) {
            entry = table[b * 256u + static_cast<tb_byte>(bytes[i + 1])];
            ++i;
        } else {
            entry = table[b];  // 0 for a lead without its trail and for undefined bytes
        }
        tb_uint cp = TB_ShiftJisCodePoint(entry);
        if (cp == 0) {
            return false;
        }
        AppendCodePoint(decoded, cp);
        if (tb_uint mark = TB_ShiftJisMark(entry)) {
            AppendCodePoint(decoded, mark);
        }
    }
    out += decoded;
    return true;
}

void DecodeUtf8Replacing(const std::string& bytes, std::u16string& out) {
    const auto* data = reinterpret_cast<const tb_byte*>(bytes.data());
    auto length = static_cast<tb_int64>(bytes.size());
    for (tb_int64 i = 0; i < length;) {
        tb_uint cp;
        int used;
        bool valid = TB_DecodeUtf8(data + i, length - i, cp, used) && cp <= 0x10FFFF;
        AppendCodePoint(out, valid ? cp : 0xFFFD);
        i += used;
    }
}

void AppendText(std::u16string& out, const tb_char* text) {
    if (text) {
        out.append(text);
    }
}

void AppendPadded(std::u16string& out, const std::u16string& digits, bool negative, tb_char pad,
                  int width) {
    int padding = width - static_cast<int>(digits.size()) - (negative ? 1 : 0);
    for (int k = 0; k < padding; ++k) {
        out.push_back(pad);
    }
    if (negative) {
        out.push_back(u'-');
    }
    out.append(digits);
}

std::u16string Digits(tb_uint64 value, unsigned base, bool upper) {
    const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string digits;
    do {
        digits.insert(digits.begin(), static_cast<tb_char>(set[value % base]));
        value /= base;
    } while (value != 0);
    return digits;
}

bool IsConversion(tb_char c) {
    switch (c) {
        case u'd':
        case u'i':
        case u'u':
        case u'x':
        case u'X':
        case u'c':
        case u'C':
        case u'f':
        case u's':
        case u'S':
        case u'T':
            return true;
        default:
            return false;
    }
}

}  // namespace

bool TB_DecodeUtf8(const tb_byte* bytes, tb_int64 available, tb_uint& codePoint, int& used) {
    used = available > 0 ? 1 : 0;
    codePoint = 0;
    if (available <= 0) {
        return false;
    }
    tb_byte lead = bytes[0];
    int size;
    tb_uint cp;
    if (lead < 0x80) {
        codePoint = lead;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        size = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        size = 3;
        cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
        size = 4;
        cp = lead & 0x07;
    } else {
        return false;
    }
    if (available < size) {
        return false;
    }
    for (int k = 1; k < size; ++k) {
        if (bytes[k] < 0x80 || bytes[k] > 0xBF) {
            return false;
        }
        cp = (cp << 6) | (bytes[k] & 0x3F);
    }
    if ((lead == 0xE0 && bytes[1] < 0xA0) || (lead == 0xF0 && bytes[1] < 0x90)) {
        return false;  // overlong
    }
    if (lead == 0xED && bytes[1] >= 0xA0) {
        return false;  // a surrogate is no character: decoding it would make a lone unit
    }
    used = size;
    codePoint = cp;
    return true;
}

tb_char* TB_FormatV(const tb_char* format, va_list args) {
    std::u16string out;
    if (!format) {
        return CopyToBuffer(out);
    }
    for (size_t i = 0; format[i] != 0; ++i) {
        tb_char c = format[i];
        if (c != u'%') {
            out.push_back(c);
            continue;
        }
        if (format[i + 1] == u'%') {
            out.push_back(u'%');
            ++i;
            continue;
        }
        std::u16string flags;
        size_t j = i + 1;
        while (format[j] != 0 && !IsConversion(format[j])) {
            if (flags.size() < 15) {
                flags.push_back(format[j]);
            }
            ++j;
        }
        if (format[j] == 0) {
            break;  // no conversion letter: the rest is dropped
        }
        tb_char pad = flags.empty() ? u' ' : flags[0];
        int width = 0;
        for (size_t k = 1; k < flags.size(); ++k) {
            if (flags[k] >= u'0' && flags[k] <= u'9' && width < 100000) {
                width = width * 10 + (flags[k] - u'0');
            }
        }
        switch (format[j]) {
            case u'd':
            case u'i': {
                tb_int value = va_arg(args, tb_int);
                tb_int64 wide = value;
                bool negative = wide < 0;
                AppendPadded(out,
                             Digits(static_cast<tb_uint64>(negative ? -wide : wide), 10, false),
                             negative, pad, width);
                break;
            }
            case u'u':
                AppendPadded(out, Digits(va_arg(args, tb_uint), 10, false), false, pad, width);
                break;
            case u'x':
            case u'X':
                AppendPadded(out, Digits(va_arg(args, tb_uint), 16, format[j] == u'X'), false, pad,
                             width);
                break;
            case u'c': {
                auto byte = static_cast<signed char>(va_arg(args, int) & 0xFF);
                out.push_back(static_cast<tb_char>(static_cast<std::int16_t>(byte)));
                break;
            }
            case u'C':
                out.push_back(static_cast<tb_char>(va_arg(args, int) & 0xFFFF));
                break;
            case u'f': {
                std::string conversion = "%";
                for (tb_char f : flags) {
                    if (f < 0x80) {
                        conversion.push_back(static_cast<char>(f));
                    }
                }
                conversion.push_back('f');
                char buffer[128];
                double value = va_arg(args, double);
                std::snprintf(buffer, sizeof buffer, conversion.c_str(), value);
                for (char* p = buffer; *p; ++p) {
                    out.push_back(static_cast<unsigned char>(*p));
                }
                break;
            }
            case u's':
                out.append(Utf8ToUtf16(va_arg(args, const char*), -1));
                break;
            case u'S':
                AppendText(out, va_arg(args, const tb_char*));
                break;
            case u'T': {
                const TB_String* text = va_arg(args, const TB_String*);
                if (text) {
                    AppendText(out, text->Chars());
                }
                break;
            }
            default:
                break;
        }
        i = j;
    }
    return CopyToBuffer(out);
}

tb_char* TB_FormatText(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    tb_char* text = TB_FormatV(format, args);
    va_end(args);
    return text;
}

tb_int TB_TextLength(const tb_char* text) {
    if (!text) {
        return 0;
    }
    tb_int n = 0;
    while (text[n] != 0) {
        ++n;
    }
    return n;
}

tb_char* TB_DuplicateText(const tb_char* text) {
    if (!text) {
        return nullptr;
    }
    size_t n = static_cast<size_t>(TB_TextLength(text));
    tb_char* copy = AllocText(n);
    std::memcpy(copy, text, sizeof(tb_char) * (n + 1));
    return copy;
}

char* TB_DuplicateText8(const char* text) {
    if (!text) {
        return nullptr;
    }
    size_t n = std::strlen(text);
    char* copy = static_cast<char*>(std::malloc(n + 1));
    std::memcpy(copy, text, n + 1);
    return copy;
}

tb_char* TB_ConcatText(const tb_char* first, const tb_char* second) {
    std::u16string joined;
    AppendText(joined, first);
    AppendText(joined, second);
    return CopyToBuffer(joined);
}

tb_char* TB_ReplaceChar(const tb_char* text, tb_char from, const tb_char* to) {
    std::u16string out;
    for (const tb_char* p = text; p && *p; ++p) {
        if (*p == from) {
            AppendText(out, to);
        } else {
            out.push_back(*p);
        }
    }
    return CopyToBuffer(out);
}

void TB_FreeText(void* text) {
    std::free(text);
}

tb_char* TB_Utf8ToUtf16(const char* utf8, tb_int64 byteCount) {
    return CopyToBuffer(Utf8ToUtf16(utf8, byteCount));
}

char* TB_Utf16ToUtf8(const tb_char* text) {
    std::string utf8 = Utf16ToUtf8(text);
    return TB_DuplicateText8(utf8.c_str());
}

void TB_AppendUtf8(std::string& out, std::u16string_view text) {
    size_t n = text.size();
    out.reserve(out.size() + n);
    for (size_t i = 0; i < n; ++i) {
        tb_uint unit = text[i];
        if (unit < 0x80) {
            out.push_back(static_cast<char>(unit));
        } else if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < n && text[i + 1] >= 0xDC00 &&
                   text[i + 1] <= 0xDFFF) {
            AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else if (TB_IsEscapedByte(static_cast<tb_char>(unit))) {
            out.push_back(static_cast<char>(unit & 0xFF));
        } else {
            AppendUtf8(out, unit);
        }
    }
}

TB_String TB_TextFromNative(const char* bytes, tb_int64 byteCount) {
    return TextFromBytes(bytes, byteCount, false);
}

TB_String TB_TextFromEscapedUtf8(const char* bytes, tb_int64 byteCount) {
    return TextFromBytes(bytes, byteCount, true);
}

bool TB_HasEscapedBytes(std::u16string_view text) {
    for (tb_char unit : text) {
        if (TB_IsEscapedByte(unit)) {
            return true;
        }
    }
    return false;
}

TB_String TB_DisplayText(const TB_String& text) {
    std::u16string_view view = text.View();
    if (!TB_HasEscapedBytes(view)) {
        return text;
    }
    std::u16string out;
    size_t start = 0;
    while (start <= view.size()) {
        size_t slash = view.find(u'/', start);
        size_t end = slash == std::u16string_view::npos ? view.size() : slash;
        std::u16string_view part = view.substr(start, end - start);
        if (TB_HasEscapedBytes(part)) {
            // The name is judged whole: a Shift_JIS name can hold bytes that happen to form
            // valid UTF-8 sequences between the ones that do not.
            std::string bytes;
            TB_AppendUtf8(bytes, part);
            if (IsValidUtf8(bytes) || !DecodeShiftJisName(bytes, out)) {
                DecodeUtf8Replacing(bytes, out);
            }
        } else {
            out.append(part);
        }
        if (slash == std::u16string_view::npos) {
            break;
        }
        out.push_back(u'/');
        start = slash + 1;
    }
    return TB_String(out.c_str(), static_cast<tb_int>(out.size()));
}

// ---- TB_String ----

namespace {

// The text of every empty string that was not given a buffer of its own: a model of many
// clips default-constructs (and moves from) strings by the hundred thousand, and each
// would otherwise hold a heap block for nothing. It is never written and never freed.
tb_char g_emptyText[1] = {0};

void FreeChars(tb_char* chars) {
    if (chars != g_emptyText) {
        std::free(chars);
    }
}

// A copy of the first length units (the whole text); null stays null.
tb_char* CopyChars(const tb_char* chars, tb_int length) {
    if (!chars) {
        return nullptr;
    }
    if (length == 0) {
        return g_emptyText;
    }
    tb_char* copy = AllocText(static_cast<size_t>(length));
    std::memcpy(copy, chars, sizeof(tb_char) * static_cast<size_t>(length));
    copy[length] = 0;
    return copy;
}

}  // namespace

TB_String::TB_String() : m_chars(g_emptyText) {}

TB_String::TB_String(const tb_char* text) : m_chars(TB_DuplicateText(text)) {
    Measure();
}

TB_String::TB_String(const tb_char* text, tb_int count) {
    if (!text || count < 0) {
        count = 0;
    }
    // The text ends at an embedded 0 unit; looking for one four units at a time keeps the
    // many strings a loader makes from lines cheap.
    tb_int length = 0;
    for (; length + 4 <= count; length += 4) {
        std::uint64_t units;
        std::memcpy(&units, text + length, sizeof units);
        if (((units - 0x0001000100010001u) & ~units & 0x8000800080008000u) != 0) {
            break;
        }
    }
    while (length < count && text[length] != 0) {
        ++length;
    }
    if (length == 0) {
        m_chars = g_emptyText;
        return;
    }
    m_chars = AllocText(static_cast<size_t>(length));
    std::memcpy(m_chars, text, sizeof(tb_char) * static_cast<size_t>(length));
    m_chars[length] = 0;
    m_length = length;
}

TB_String::TB_String(const char* utf8) : m_chars(TB_Utf8ToUtf16(utf8, -1)) {
    Measure();
}

TB_String::TB_String(const char* utf8, tb_int64 byteCount)
    : m_chars(TB_Utf8ToUtf16(utf8, utf8 ? byteCount : 0)) {
    Measure();
}

TB_String::TB_String(const TB_String& other)
    : TB_Object(other),
      m_chars(CopyChars(other.m_chars, other.m_length)),
      m_length(other.m_length) {}

TB_String::TB_String(TB_String&& other) noexcept
    : TB_Object(other), m_chars(other.m_chars), m_length(other.m_length) {
    other.m_chars = g_emptyText;
    other.m_length = 0;
}

TB_String::~TB_String() {
    FreeChars(m_chars);
}

TB_String& TB_String::operator=(const tb_char* text) {
    if (text == m_chars) {
        return *this;
    }
    tb_char* copy = TB_DuplicateText(text);
    FreeChars(m_chars);
    m_chars = copy;
    Measure();
    return *this;
}

TB_String& TB_String::operator=(const TB_String& other) {
    if (this != &other) {
        tb_char* copy = CopyChars(other.m_chars, other.m_length);
        FreeChars(m_chars);
        m_chars = copy;
        m_length = other.m_length;
    }
    return *this;
}

TB_String& TB_String::operator=(TB_String&& other) noexcept {
    if (this != &other) {
        std::swap(m_chars, other.m_chars);
        std::swap(m_length, other.m_length);
    }
    return *this;
}

void TB_String::Measure() {
    m_length = TB_TextLength(m_chars);
}

void TB_String::AdoptBuffer(tb_char* buffer) {
    FreeChars(m_chars);
    m_chars = buffer;
    Measure();
}

void TB_String::Format(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
}

void TB_String::FormatV(const tb_char* format, va_list args) {
    AdoptBuffer(TB_FormatV(format, args));
}

TB_String* TB_String::CreateFormat(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    auto* text = new TB_String();
    text->FormatV(format, args);
    va_end(args);
    return text;
}

TB_StringUTF8 TB_String::ToUtf8() const {
    return TB_StringUTF8(*this);
}

std::string TB_String::ToStdString() const {
    return Utf16ToUtf8(m_chars);
}

TB_Array<TB_String*>* TB_String::Split(tb_char separator) const {
    tb_int separators = 0;
    for (tb_int i = 0; i < m_length; ++i) {
        if (m_chars[i] == separator) {
            ++separators;
        }
    }
    auto* pieces = new TB_Array<TB_String*>(separators + 1);
    tb_int start = 0;
    tb_int64 next = 0;
    for (tb_int i = 0; i <= m_length; ++i) {
        if (i == m_length || m_chars[i] == separator) {
            (*pieces)[next++] = new TB_String(m_chars ? m_chars + start : nullptr, i - start);
            start = i + 1;
        }
    }
    return pieces;
}

void TB_String::SplitAtSpaces(TB_List<TB_String*>& pieces) const {
    tb_int start = 0;
    for (tb_int i = 0; i <= m_length; ++i) {
        if (i == m_length || m_chars[i] == u' ') {
            pieces.Add(new TB_String(m_chars ? m_chars + start : nullptr, i - start));
            start = i + 1;
        }
    }
}

bool TB_String::Equals(const TB_String& other) const {
    return View() == other.View();
}

bool TB_String::Equals(const tb_char* text) const {
    return View() == std::u16string_view(text ? text : u"");
}

// ---- TB_StringUTF8 ----

TB_StringUTF8::TB_StringUTF8() : m_chars(TB_DuplicateText8("")) {}

TB_StringUTF8::TB_StringUTF8(const TB_String& text) : m_chars(TB_Utf16ToUtf8(text.Chars())) {}

TB_StringUTF8::TB_StringUTF8(const TB_StringUTF8& other)
    : TB_Object(other), m_chars(TB_DuplicateText8(other.m_chars)) {}

TB_StringUTF8::TB_StringUTF8(TB_StringUTF8&& other) noexcept
    : TB_Object(other), m_chars(other.m_chars) {
    other.m_chars = TB_DuplicateText8("");
}

TB_StringUTF8::~TB_StringUTF8() {
    std::free(m_chars);
}
