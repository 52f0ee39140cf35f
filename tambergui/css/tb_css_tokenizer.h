#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Plain standard C++ only, so the CSS reader can be built and fuzzed on its own.

enum class TB_CssTokenType : std::uint8_t {
    Ident,
    Function,
    AtKeyword,
    Hash,
    String,
    BadString,
    Url,
    BadUrl,
    Delim,
    Number,
    Percentage,
    Dimension,
    Whitespace,
    Cdo,
    Cdc,
    Colon,
    Semicolon,
    Comma,
    OpenSquare,
    CloseSquare,
    OpenParen,
    CloseParen,
    OpenCurly,
    CloseCurly,
    Eof,
};

struct TB_CssToken {
    TB_CssTokenType Type = TB_CssTokenType::Eof;
    // UTF-8: the ident, function name (without "("), at-keyword name (without "@"), hash text
    // (without "#"), string contents (quotes and escapes resolved) or URL.
    std::string Value;
    // Delim tokens only. Every code point that becomes a delim is ASCII.
    char Delim = 0;
    // Number, percentage and dimension tokens: the value, the source text of the number
    // (sign, digits, fraction, exponent; never the unit or "%"), the "integer" type flag, and
    // the unit of a dimension with escapes resolved.
    double Number = 0;
    std::string Representation;
    bool IsInteger = false;
    std::string Unit;
    // Hash tokens: the "id" type flag, set when the text would be a valid identifier.
    bool IsId = false;
    // String and URL tokens that the end of input closed instead of their closing quote or
    // ")"; still valid tokens, but the source was cut short.
    bool EndedByEof = false;

    bool Is(TB_CssTokenType type) const { return Type == type; }
    bool IsDelim(char c) const { return Type == TB_CssTokenType::Delim && Delim == c; }
};

// Splits CSS text into tokens. The text is UTF-8; malformed sequences read as U+FFFD. Line
// ends are unified and NUL becomes U+FFFD before tokenizing, as the syntax requires.
class TB_CssTokenizer {
public:
    explicit TB_CssTokenizer(std::string_view utf8);

    // The next token; an Eof token at the end, and again on every later call.
    TB_CssToken Next();

    // Every token of the text, without the final Eof token.
    static std::vector<TB_CssToken> Tokenize(std::string_view utf8);

private:
    char32_t At(std::size_t ahead) const;
    void ConsumeComments();
    bool IsValidEscape(std::size_t ahead) const;
    bool StartsIdent(std::size_t ahead) const;
    bool StartsNumber(std::size_t ahead) const;
    char32_t ConsumeEscape();
    std::string ConsumeIdentSequence();
    TB_CssToken ConsumeNumeric();
    TB_CssToken ConsumeIdentLike();
    TB_CssToken ConsumeString(char32_t ending);
    TB_CssToken ConsumeUrl();
    void ConsumeBadUrlRemnants();

    std::u32string m_input;
    std::size_t m_pos = 0;
};
