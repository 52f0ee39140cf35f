#pragma once

#include <string>

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

// Line-oriented decoder over a stream (on which it holds one count). Text is read in
// 256-byte chunks with one seek-back per chunk. Bytes that do not decode are skipped.
class TB_StreamReader : public TB_Object, public TB_ITextReader {
public:
    TB_StreamReader(TB_Stream* stream, TB_TextEncoding encoding);
    TB_StreamReader(const TB_StreamReader&) = delete;
    TB_StreamReader& operator=(const TB_StreamReader&) = delete;
    ~TB_StreamReader() override;

    // The next line without its line feed, as a new string the caller releases.
    TB_String* ReadLine() override;
    // One code point (UTF-8) or code unit (UTF-16); 0 at the end, and for Shift_JIS.
    tb_uint Read() override;
    // The rest of the stream as a new string; null for Shift_JIS.
    TB_String* ReadToEnd() override;
    bool HasMore() override;

    void SetKeepCarriageReturns(bool keep) { m_keepCarriageReturns = keep ? 1 : 0; }

private:
    void ReadLineUtf8(std::u16string& line);
    void ReadLineUtf16(std::u16string& line);
    void ReadLineShiftJis(std::u16string& line);

    // Set when the stream yields nothing before its recorded length (a file that shrank
    // after it was opened), so HasMore ends the caller's loop.
    bool m_exhausted = false;
    tb_int m_keepCarriageReturns = 0;
    TB_TextEncoding m_encoding;
    TB_Stream* m_stream;
};
