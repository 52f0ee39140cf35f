#include "tb_svg_textlex.h"

#include <cstdlib>

#include "tb_error.h"

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

}  // namespace

tb_int64 TB_SvgTextLex::NextToken(TB_SvgToken& token) {
    while (m_text[Position] == '\t' || m_text[Position] == '\n' || m_text[Position] == '\r' ||
           m_text[Position] == ' ') {
        ++Position;
    }
    tb_int64 start = Position;
    token.Text.clear();
    char c = m_text[Position];
    if (c == '\0') {
        token.Type = TB_SVG_TYPE_END;
        return start;
    }
    if (c == ',' || c == ':' || c == ';') {
        token.Text.assign(1, c);
        token.Type = TB_SVG_TYPE_SEPARATOR;
        ++Position;
        return start;
    }
    if (c == '-' || c == '.' || IsDigit(c)) {
        if (c != '.') {
            token.Text.push_back(c);
            ++Position;
        }
        while (IsDigit(m_text[Position])) {
            token.Text.push_back(m_text[Position++]);
        }
        if (m_text[Position] == '.') {
            token.Text.push_back(m_text[Position++]);
            while (IsDigit(m_text[Position])) {
                token.Text.push_back(m_text[Position++]);
            }
        }
        token.Type = TB_SVG_TYPE_NUMBER;
        return start;
    }
    if (IsLetter(c)) {
        token.Text.assign(1, c);
        token.Type = TB_SVG_TYPE_LETTER;
        ++Position;
        return start;
    }
    TB_Error::ReportFailedCheck(TB_SOURCE_NAME, __LINE__);
    ++Position;
    token.Type = TB_SVG_TYPE_END;
    return start;
}

tb_int64 TB_SvgTextLex::NextValue(TB_SvgToken& token) {
    tb_int64 start = NextToken(token);
    while (token.Type == TB_SVG_TYPE_SEPARATOR) {
        start = NextToken(token);
    }
    return start;
}

tb_int TB_SvgTextLex::PeekType() {
    TB_SvgToken token;
    Position = NextToken(token);
    return token.Type;
}

float TB_SvgNumber(const std::string& text) {
    constexpr double kLimit = 1e9;
    double value = std::atof(text.c_str());
    return static_cast<float>(value > kLimit ? kLimit : value < -kLimit ? -kLimit : value);
}
