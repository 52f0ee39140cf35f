#pragma once

#include <string>

#include "tb_object.h"

enum : tb_int {
    TB_SVG_TYPE_LETTER = 0,
    TB_SVG_TYPE_SEPARATOR = 1,
    TB_SVG_TYPE_NUMBER = 2,
    TB_SVG_TYPE_END = 3,
};

struct TB_SvgToken {
    std::string Text;
    tb_int Type = TB_SVG_TYPE_END;
};

// Reads the numbers, letters and separators of path data, point lists and view boxes.
// Numbers have no exponent: "1e-5" is 1, the letter e, then -5.
class TB_SvgTextLex : public TB_Object {
public:
    explicit TB_SvgTextLex(const char* text) : m_text(text ? text : "") {}

    // Reads the next token and returns the position it started from, so a caller can peek
    // by setting the position back.
    tb_int64 NextToken(TB_SvgToken& token);
    // The next token that is not a separator.
    tb_int64 NextValue(TB_SvgToken& token);
    // Peeks at the type of the next token.
    tb_int PeekType();

    tb_int64 Position = 0;

private:
    const char* m_text;  // not owned
};

// The standard conversion of a token's text, kept within a range no icon needs to leave,
// so later arithmetic cannot overflow into infinities.
float TB_SvgNumber(const std::string& text);
