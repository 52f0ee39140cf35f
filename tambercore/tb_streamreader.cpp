#include "tb_streamreader.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "tb_shiftjis.h"

namespace {

constexpr tb_int64 kChunk = 256;
// Read-ahead reads end at multiples of this many bytes of the stream, so a buffered file
// stream (whose buffer is a multiple of it) never refills in the middle of one of them, and
// seeking back to the end of a line stays inside its buffer.
constexpr tb_int64 kReadAhead = 16 * 1024;
// The longest UTF-8 sequence less one: bytes that may start a sequence still being read.
constexpr size_t kSequenceTail = 3;

void AppendUnit(std::u16string& line, tb_uint cp) {
    if (cp > 0x10FFFF) {
        return;
    }
    if (cp > 0xFFFF) {
        line.push_back(static_cast<tb_char>(((cp - 0x10000) >> 10) + 0xD800));
        line.push_back(static_cast<tb_char>((cp & 0x3FF) + 0xDC00));
    } else {
        line.push_back(static_cast<tb_char>(cp));
    }
}

TB_String* NewString(const std::u16string& text) {
    return new TB_String(text.c_str(), static_cast<tb_int>(text.size()));
}

// Decodes the UTF-8 bytes from p on into line, stopping before the first sequence that
// starts at or after stop; the bytes up to end may complete a sequence. NUL, byte-order
// marks, code points above U+10FFFF, bytes that do not decode and (unless kept) carriage
// returns give nothing. Returns where decoding stopped.
const tb_byte* DecodeUtf8(std::u16string& line, const tb_byte* p, const tb_byte* stop,
                          const tb_byte* end, bool keepCarriageReturns) {
    // No sequence gives more units than it has bytes, so the line grows once and the units
    // are written in place.
    size_t at = line.size();
    line.resize(at + static_cast<size_t>(end - p));
    tb_char* out = line.data() + at;
    constexpr std::uint64_t kHigh = 0x8080808080808080u;
    constexpr std::uint64_t kSpace = 0x2020202020202020u;
    while (p < stop) {
        // Plain ASCII, the bulk of most tables, eight bytes at a time.
        while (stop - p >= 8) {
            std::uint64_t word;
            std::memcpy(&word, p, 8);
            if ((word & kHigh) != 0 || ((word - kSpace) & ~word & kHigh) != 0) {
                break;  // a byte above 0x7F or below 0x20 (or a false alarm after one)
            }
            for (int k = 0; k < 8; ++k) {
                out[k] = p[k];
            }
            out += 8;
            p += 8;
        }
        if (p >= stop) {
            break;
        }
        tb_byte b = *p;
        if (b < 0x80) {
            ++p;
            if (b >= 0x20 || (b != 0 && (b != 0x0D || keepCarriageReturns))) {
                *out++ = b;
            }
            continue;
        }
        if (b >= 0xE0 && b <= 0xEF && end - p >= 3 && (p[1] & 0xC0) == 0x80 &&
            (p[2] & 0xC0) == 0x80 && (b != 0xE0 || p[1] >= 0xA0) && (b != 0xED || p[1] < 0xA0)) {
            // Three bytes: kana and kanji. Overlong forms and surrogates are left to the
            // general decoder, which refuses them.
            tb_char unit =
                static_cast<tb_char>(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            if (unit != 0xFEFF) {
                *out++ = unit;
            }
            p += 3;
            continue;
        }
        tb_uint cp;
        int used;
        bool valid = TB_DecodeUtf8(p, end - p, cp, used);
        p += used;
        if (!valid || cp == 0xFEFF || cp > 0x10FFFF) {
            continue;
        }
        if (cp > 0xFFFF) {
            *out++ = static_cast<tb_char>(((cp - 0x10000) >> 10) + 0xD800);
            *out++ = static_cast<tb_char>((cp & 0x3FF) + 0xDC00);
        } else {
            *out++ = static_cast<tb_char>(cp);
        }
    }
    line.resize(static_cast<size_t>(out - line.data()));
    return p;
}

}  // namespace

TB_StreamReader::TB_StreamReader(TB_Stream* stream, TB_TextEncoding encoding)
    : m_encoding(encoding), m_stream(stream) {
    if (m_stream) {
        m_stream->AddRef();
    }
}

TB_StreamReader::~TB_StreamReader() {
    if (m_stream) {
        m_stream->Release();
    }
}

bool TB_StreamReader::HasMore() {
    return m_stream && !m_exhausted && m_stream->GetPosition() < m_stream->GetLength();
}

tb_uint TB_StreamReader::Read() {
    if (!m_stream) {
        return 0;
    }
    if (m_encoding == TB_TextEncoding::Utf16) {
        tb_byte bytes[2];
        if (m_stream->Read(bytes, 2) < 2) {
            return 0;
        }
        return static_cast<tb_uint>(bytes[0] | (bytes[1] << 8));
    }
    if (m_encoding == TB_TextEncoding::ShiftJis) {
        return 0;
    }
    tb_byte bytes[4];
    tb_int64 n = m_stream->Read(bytes, 4);
    if (n <= 0) {
        return 0;
    }
    tb_uint cp;
    int used;
    bool valid = TB_DecodeUtf8(bytes, n, cp, used);
    m_stream->Seek(used - n, TB_SeekOrigin::Current);
    return valid ? cp : 0;
}

TB_String* TB_StreamReader::ReadLine() {
    ReadLine(m_line);
    return NewString(m_line);
}

void TB_StreamReader::ReadLine(std::u16string& line) {
    line.clear();
    m_lastLineCut = false;
    if (!m_stream) {
        return;
    }
    switch (m_encoding) {
        case TB_TextEncoding::Utf8:
            ReadLineUtf8(line);
            break;
        case TB_TextEncoding::Utf16:
            ReadLineUtf16(line);
            break;
        case TB_TextEncoding::ShiftJis:
            ReadLineShiftJis(line);
            break;
    }
}

bool TB_StreamReader::FillUtf8Buffer(tb_int64& streamPosition, tb_int64 length) {
    if (m_begin > 0) {
        std::memmove(m_buffer.data(), m_buffer.data() + m_begin, m_end - m_begin);
        m_end -= m_begin;
        m_bufferStart += static_cast<tb_int64>(m_begin);
        m_begin = 0;
    }
    tb_int64 next = m_bufferStart + static_cast<tb_int64>(m_end);
    tb_int64 want = kReadAhead - next % kReadAhead;
    if (want > length - next) {
        want = length - next;
    }
    if (want <= 0) {
        return false;
    }
    // What is left over is at most a sequence that was cut: the buffer never grows.
    m_buffer.resize(static_cast<size_t>(kReadAhead) + kSequenceTail + 1);
    if (streamPosition != next) {
        m_stream->Seek(next - streamPosition, TB_SeekOrigin::Current);
        streamPosition = next;
    }
    tb_int64 n = m_stream->Read(m_buffer.data() + m_end, want);
    if (n <= 0) {
        m_exhausted = true;  // the file shrank after it was opened
        return false;
    }
    streamPosition += n;
    m_end += static_cast<size_t>(n);
    return true;
}

void TB_StreamReader::ReadLineUtf8(std::u16string& line) {
    tb_int64 length = m_stream->GetLength();
    tb_int64 position = m_stream->GetPosition();
    if (position != m_bufferStart + static_cast<tb_int64>(m_begin)) {
        m_begin = 0;  // the stream was moved: what was read ahead is not what follows
        m_end = 0;
        m_bufferStart = position;
    }
    tb_int64 streamPosition = position;
    bool keep = m_keepCarriageReturns != 0;
    // Past the limit the rest of the line is skipped: found and dropped, never decoded.
    bool cut = false;
    auto limit = [&] {
        if (m_maxLineLength > 0 && line.size() > m_maxLineLength) {
            line.resize(m_maxLineLength);
            cut = true;
        }
    };
    while (true) {
        const tb_byte* data = m_buffer.data();
        const tb_byte* begin = data + m_begin;
        const tb_byte* end = data + m_end;
        const auto* feed = static_cast<const tb_byte*>(
            m_begin == m_end ? nullptr : std::memchr(begin, '\n', m_end - m_begin));
        if (feed) {
            // A line feed is never part of a longer sequence, so nothing before it is cut.
            if (!cut) {
                DecodeUtf8(line, begin, feed, feed, keep);
                limit();
            }
            m_begin = static_cast<size_t>(feed + 1 - data);
            break;
        }
        if (cut) {
            m_begin = m_end;
        } else if (m_end - m_begin > kSequenceTail) {
            begin = DecodeUtf8(line, begin, end - kSequenceTail, end, keep);
            m_begin = static_cast<size_t>(begin - data);
            limit();
        }
        if (!FillUtf8Buffer(streamPosition, length)) {
            data = m_buffer.data();
            if (!cut) {
                DecodeUtf8(line, data + m_begin, data + m_end, data + m_end, keep);
                limit();
            }
            m_begin = m_end;
            break;
        }
    }
    m_lastLineCut = cut;
    tb_int64 consumed = m_bufferStart + static_cast<tb_int64>(m_begin);
    if (streamPosition != consumed) {
        m_stream->Seek(consumed - streamPosition, TB_SeekOrigin::Current);
    }
}

void TB_StreamReader::ReadLineUtf16(std::u16string& line) {
    while (m_stream->GetPosition() < m_stream->GetLength()) {
        tb_int64 before = m_stream->GetPosition();
        tb_uint unit = Read();
        if (m_stream->GetPosition() - before < 2) {
            m_exhausted = true;  // an odd byte at the end, or a short read
            break;
        }
        if (unit == 0x0A) {
            break;
        }
        if (unit == 0x0D && !m_keepCarriageReturns) {
            continue;
        }
        line.push_back(static_cast<tb_char>(unit));
    }
}

void TB_StreamReader::ReadLineShiftJis(std::u16string& line) {
    const tb_uint* table = TB_ShiftJisTable();
    tb_byte chunk[kChunk];
    bool done = false;
    auto emit = [&](tb_uint entry) {
        tb_uint cp = TB_ShiftJisCodePoint(entry);
        if (cp == 0) {
            return;  // undefined code
        }
        AppendUnit(line, cp);
        if (tb_uint mark = TB_ShiftJisMark(entry)) {
            AppendUnit(line, mark);
        }
    };
    while (!done && m_stream->GetPosition() < m_stream->GetLength()) {
        tb_int64 e = m_stream->Read(chunk, kChunk);
        if (e <= 0) {
            m_exhausted = true;
            break;
        }
        tb_int64 offset = 0;
        while (offset < e) {
            tb_byte b = chunk[offset];
            if (TB_IsShiftJisLead(b)) {
                if (offset + 1 >= e) {
                    // A lead byte at the chunk end is read again with its trail byte; alone
                    // at the very end of the stream it is dropped.
                    if (offset == 0) {
                        offset = 1;
                    }
                    break;
                }
                tb_byte trail = chunk[offset + 1];
                if (TB_IsShiftJisTrail(trail)) {
                    emit(table[b * 256u + trail]);
                    offset += 2;
                } else {
                    offset += 1;  // a lead without a trail: the next byte stands on its own
                }
                continue;
            }
            tb_uint entry = table[b];
            offset += 1;
            if (entry == 0x0A) {
                done = true;
                break;
            }
            if (entry == 0x0D && !m_keepCarriageReturns) {
                continue;
            }
            emit(entry);
        }
        m_stream->Seek(offset - e, TB_SeekOrigin::Current);
    }
}

TB_String* TB_StreamReader::ReadToEnd() {
    if (!m_stream) {
        return new TB_String();
    }
    if (m_encoding == TB_TextEncoding::ShiftJis) {
        return nullptr;
    }
    if (m_encoding == TB_TextEncoding::Utf16) {
        std::u16string text;
        while (m_stream->GetPosition() < m_stream->GetLength()) {
            tb_int64 before = m_stream->GetPosition();
            tb_uint unit = Read();
            if (m_stream->GetPosition() - before < 2) {
                break;
            }
            text.push_back(static_cast<tb_char>(unit));
        }
        return NewString(text);
    }
    tb_int64 remaining = m_stream->GetLength() - m_stream->GetPosition();
    std::vector<char> bytes(static_cast<size_t>(remaining > 0 ? remaining : 0));
    tb_int64 n = bytes.empty() ? 0 : m_stream->Read(bytes.data(), remaining);
    return new TB_String(bytes.data(), n);
}
