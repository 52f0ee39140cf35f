#pragma once

#include <cstdarg>

#include "tb_color.h"
#include "tb_object.h"

// Text output one UTF-16 unit at a time; formatting goes through the framework formatter.
class TB_TextWriter : public TB_Object {
public:
    virtual void WriteChar(tb_char ch) = 0;
    virtual void Write(tb_char ch) { WriteChar(ch); }
    virtual void Write(const tb_char* format, ...);
    virtual void WriteLine(const tb_char* format, ...);
    virtual void WriteLine() { WriteChar(u'\n'); }
    virtual void Indent() { ++m_indentLevel; }
    virtual void Unindent() { --m_indentLevel; }
    // Two spaces per indent level.
    virtual void WriteIndent();
    // Console foreground value: 1 blue, 2 green, 4 red, 8 intensity. Nothing here.
    virtual void SetColor(tb_int color) { (void)color; }
    virtual void ResetColor() {}

    tb_int IndentLevel() const { return m_indentLevel; }

protected:
    void WriteText(const tb_char* text);
    void WriteFormatted(const tb_char* format, va_list args);

private:
    tb_int m_indentLevel = 0;
};
