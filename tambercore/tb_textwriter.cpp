#include "tb_textwriter.h"

#include <cstdarg>

#include "tb_string.h"

void TB_TextWriter::WriteText(const tb_char* text) {
    for (const tb_char* p = text; p && *p; ++p) {
        WriteChar(*p);
    }
}

void TB_TextWriter::WriteFormatted(const tb_char* format, va_list args) {
    tb_char* text = TB_FormatV(format, args);
    WriteText(text);
    TB_FreeText(text);
}

void TB_TextWriter::Write(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatted(format, args);
    va_end(args);
}

void TB_TextWriter::WriteLine(const tb_char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteFormatted(format, args);
    va_end(args);
    WriteChar(u'\n');
}

void TB_TextWriter::WriteIndent() {
    for (tb_int i = 0; i < m_indentLevel; ++i) {
        WriteChar(u' ');
        WriteChar(u' ');
    }
}
