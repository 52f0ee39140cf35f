#include "tb_streamreader.h"

#include <vector>

#include "tb_shiftjis.h"

namespace {

constexpr tb_int64 kChunk = 256;

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
    std::u16string line;
    if (m_stream) {
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
    return NewString(line);
}

void TB_StreamReader::ReadLineUtf8(std::u16string& line) {
    tb_byte chunk[kChunk];
    line.reserve(kChunk);
    bool done = false;
    while (!done && m_stream->GetPosition() < m_stream->GetLength()) {
        tb_int64 e = m_stream->Read(chunk, kChunk);
        if (e <= 0) {
            m_exhausted = true;  // the file shrank after it was opened
            break;
        }
        if (e < 5) {
            // Near the end: one character at a time, so no sequence is cut.
            m_stream->Seek(-e, TB_SeekOrigin::Current);
            tb_int64 before = m_stream->GetPosition();
            tb_uint cp = Read();
            if (m_stream->GetPosition() == before) {
                m_exhausted = true;
                break;
            }
            if (cp == 0x0A) {
                done = true;
            } else if (cp == 0 || cp == 0xFEFF || (cp == 0x0D && !m_keepCarriageReturns)) {
                // no character, a byte-order mark, or a dropped carriage return
            } else {
                AppendUnit(line, cp);
            }
            continue;
        }
        tb_int64 offset = 0;
        while (offset < e - 4) {
            tb_byte b = chunk[offset];
            if (b >= 0x20 && b < 0x80) {  // plain ASCII, the bulk of most tables
                line.push_back(b);
                ++offset;
                continue;
            }
            if (b == 0xEF && chunk[offset + 1] == 0xBB && chunk[offset + 2] == 0xBF) {
                offset += 3;
                continue;
            }
            tb_uint cp;
            int used;
            bool valid = TB_DecodeUtf8(chunk + offset, e - offset, cp, used);
            offset += used;
            if (!valid) {
                continue;
            }
            if (cp == 0x0A) {
                done = true;
                break;
            }
            if (cp == 0 || (cp == 0x0D && !m_keepCarriageReturns)) {
                continue;  // a NUL would end the text early
            }
            AppendUnit(line, cp);
        }
        m_stream->Seek(offset - e, TB_SeekOrigin::Current);
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
