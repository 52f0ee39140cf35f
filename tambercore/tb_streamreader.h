#pragma once

#include <string>
#include <vector>

#include "tb_stream.h"
#include "tb_string.h"

enum class TB_TextEncoding : tb_int { Utf8 = 0, Utf16 = 1, ShiftJis = 2 };

class TB_ITextReader {
public:
    virtual ~TB_ITextReader() = default;
    virtual TB_String* ReadLine() = 0;
    virtual tb_uint Read() = 0;
    virtual TB_String* ReadToEnd() = 0;
    virtual bool HasMore() = 0;
};

// Line-oriented decoder over a stream (on which it holds one count). Bytes that do not
// decode are skipped. After each call the stream stands right after what was consumed; a
// UTF-8 reader keeps the bytes it read ahead and uses them again as long as nobody moved
// the stream in between.
class TB_StreamReader : public TB_Object, public TB_ITextReader {
public:
    TB_StreamReader(TB_Stream* stream, TB_TextEncoding encoding);
    TB_StreamReader(const TB_StreamReader&) = delete;
    TB_StreamReader& operator=(const TB_StreamReader&) = delete;
    ~TB_StreamReader() override;

    // The next line without its line feed, as a new string the caller releases.
    TB_String* ReadLine() override;
    // The same into the caller's text (emptied first), for readers of many lines.
    void ReadLine(std::u16string& line);
    // One code point (UTF-8) or code unit (UTF-16); 0 at the end, and for Shift_JIS.
    tb_uint Read() override;
    // The rest of the stream as a new string; null for Shift_JIS.
    TB_String* ReadToEnd() override;
    bool HasMore() override;

    void SetKeepCarriageReturns(bool keep) { m_keepCarriageReturns = keep ? 1 : 0; }
    // UTF-8: a line longer than this many code units is cut there and the rest of it skipped
    // unread, so a hostile file costs no more than this per line (0: no limit).
    void SetMaxLineLength(size_t units) { m_maxLineLength = units; }
    // Whether the last line read was cut at the limit.
    bool LastLineCut() const { return m_lastLineCut; }

private:
    void ReadLineUtf8(std::u16string& line);
    // Reads more bytes behind the buffered ones; false at the end of the stream.
    bool FillUtf8Buffer(tb_int64& streamPosition, tb_int64 length);
    void ReadLineUtf16(std::u16string& line);
    void ReadLineShiftJis(std::u16string& line);

    // Set when the stream yields nothing before its recorded length (a file that shrank
    // after it was opened), so HasMore ends the caller's loop.
    bool m_exhausted = false;
    size_t m_maxLineLength = 0;
    bool m_lastLineCut = false;
    tb_int m_keepCarriageReturns = 0;
    TB_TextEncoding m_encoding;
    TB_Stream* m_stream;

    // Read-ahead of the UTF-8 reader: m_buffer[i] is the stream's byte at m_bufferStart + i;
    // [m_begin, m_end) are not consumed yet, and the stream was left at m_begin.
    std::vector<tb_byte> m_buffer;
    size_t m_begin = 0;
    size_t m_end = 0;
    tb_int64 m_bufferStart = -1;
    std::u16string m_line;
};
