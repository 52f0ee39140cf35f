#include "tb_css_tokenizer.h"

#include <cfloat>
#include <charconv>
#include <cstdlib>
#include <system_error>

namespace {

// Past the last code point; outside Unicode so it never equals a real one.
constexpr char32_t kEof = 0xFFFFFFFF;
constexpr char32_t kReplacement = 0xFFFD;

bool IsDigit(char32_t c) {
    return c >= '0' && c <= '9';
}
bool IsHexDigit(char32_t c) {
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int HexValue(char32_t c) {
    if (IsDigit(c)) {
        return static_cast<int>(c - '0');
    }
    return static_cast<int>((c | 0x20) - 'a' + 10);
}
bool IsLetter(char32_t c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool IsIdentStart(char32_t c) {
    return IsLetter(c) || c == '_' || (c >= 0x80 && c != kEof);
}
bool IsIdentChar(char32_t c) {
    return IsIdentStart(c) || IsDigit(c) || c == '-';
}
bool IsWhitespace(char32_t c) {
    return c == '\n' || c == '\t' || c == ' ';
}
bool IsNonPrintable(char32_t c) {
    return c <= 0x08 || c == 0x0B || (c >= 0x0E && c <= 0x1F) || c == 0x7F;
}

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// Each maximal malformed subsequence becomes one U+FFFD, the way every web decoder counts
// them, so broken bytes give the same identifiers everywhere.
std::u32string DecodeUtf8(std::string_view bytes) {
    std::u32string out;
    out.reserve(bytes.size());
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out += lead;
            ++i;
            continue;
        }
        int need = 0;
        unsigned char lower = 0x80;
        unsigned char upper = 0xBF;
        char32_t c = 0;
        if (lead >= 0xC2 && lead <= 0xDF) {
            need = 1;
            c = lead & 0x1F;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            need = 2;
            c = lead & 0x0F;
            lower = lead == 0xE0 ? 0xA0 : 0x80;
            upper = lead == 0xED ? 0x9F : 0xBF;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            need = 3;
            c = lead & 0x07;
            lower = lead == 0xF0 ? 0x90 : 0x80;
            upper = lead == 0xF4 ? 0x8F : 0xBF;
        } else {
            out += kReplacement;
            ++i;
            continue;
        }
        std::size_t j = i + 1;
        bool complete = true;
        for (int k = 0; k < need; ++k, ++j) {
            if (j >= bytes.size()) {
                complete = false;
                break;
            }
            auto next = static_cast<unsigned char>(bytes[j]);
            if (next < lower || next > upper) {
                complete = false;
                break;
            }
            c = (c << 6) | (next & 0x3F);
            lower = 0x80;
            upper = 0xBF;
        }
        out += complete ? c : kReplacement;
        i = j;
    }
    return out;
}

std::u32string Preprocess(std::string_view utf8) {
    std::u32string decoded = DecodeUtf8(utf8);
    std::u32string out;
    out.reserve(decoded.size());
    for (std::size_t i = 0; i < decoded.size(); ++i) {
        char32_t c = decoded[i];
        if (c == '\r') {
            if (i + 1 < decoded.size() && decoded[i + 1] == '\n') {
                ++i;
            }
            c = '\n';
        } else if (c == '\f') {
            c = '\n';
        } else if (c == 0 || (c >= 0xD800 && c <= 0xDFFF)) {
            c = kReplacement;
        }
        out += c;
    }
    return out;
}

// from_chars cannot report a value it cannot represent, so an out-of-range number is
// clamped by the power of ten of its first significant digit.
double OutOfRange(std::string_view text) {
    bool negative = text[0] == '-';
    std::size_t start = (text[0] == '-' || text[0] == '+') ? 1 : 0;
    std::size_t e = text.find_first_of("eE");
    std::string_view mantissa = text.substr(start, e == std::string_view::npos ? e : e - start);
    std::size_t point = mantissa.find('.');
    std::string_view whole = mantissa.substr(0, point);
    std::string_view fraction =
        point == std::string_view::npos ? std::string_view() : mantissa.substr(point + 1);
    long long magnitude = 0;
    std::size_t firstDigit = whole.find_first_not_of('0');
    if (firstDigit != std::string_view::npos) {
        magnitude = static_cast<long long>(whole.size() - firstDigit);
    } else {
        std::size_t zeros = fraction.find_first_not_of('0');
        magnitude = -static_cast<long long>(zeros == std::string_view::npos ? 0 : zeros);
    }
    long long exponent = 0;
    if (e != std::string_view::npos) {
        std::size_t k = e + 1;
        bool negativeExponent = text[k] == '-';
        if (text[k] == '-' || text[k] == '+') {
            ++k;
        }
        // Saturates: anything this far out clamps the same way.
        for (; k < text.size() && exponent < 1000000000000LL; ++k) {
            exponent = exponent * 10 + (text[k] - '0');
        }
        if (negativeExponent) {
            exponent = -exponent;
        }
    }
    double value = magnitude + exponent > 0 ? DBL_MAX : 0.0;
    return negative ? -value : value;
}

double ToNumber(std::string_view text) {
    std::string_view digits = !text.empty() && text[0] == '+' ? text.substr(1) : text;
    double value = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        return OutOfRange(text);
    }
    return value;
}

bool EqualsAsciiNoCase(std::string_view text, std::string_view lower) {
    if (text.size() != lower.size()) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != lower[i]) {
            return false;
        }
    }
    return true;
}

TB_CssToken Simple(TB_CssTokenType type) {
    TB_CssToken token;
    token.Type = type;
    return token;
}

TB_CssToken MakeDelim(char32_t c) {
    TB_CssToken token = Simple(TB_CssTokenType::Delim);
    token.Delim = static_cast<char>(c);
    return token;
}

}  // namespace

TB_CssTokenizer::TB_CssTokenizer(std::string_view utf8) : m_input(Preprocess(utf8)) {}

std::vector<TB_CssToken> TB_CssTokenizer::Tokenize(std::string_view utf8) {
    TB_CssTokenizer tokenizer(utf8);
    std::vector<TB_CssToken> tokens;
    for (;;) {
        TB_CssToken token = tokenizer.Next();
        if (token.Type == TB_CssTokenType::Eof) {
            return tokens;
        }
        tokens.push_back(std::move(token));
    }
}

char32_t TB_CssTokenizer::At(std::size_t ahead) const {
    std::size_t index = m_pos + ahead;
    return index < m_input.size() ? m_input[index] : kEof;
}

void TB_CssTokenizer::ConsumeComments() {
    while (At(0) == '/' && At(1) == '*') {
        m_pos += 2;
        while (At(0) != kEof && !(At(0) == '*' && At(1) == '/')) {
            ++m_pos;
        }
        if (At(0) != kEof) {
            m_pos += 2;
        }
    }
}

bool TB_CssTokenizer::IsValidEscape(std::size_t ahead) const {
    return At(ahead) == '\\' && At(ahead + 1) != '\n';
}

bool TB_CssTokenizer::StartsIdent(std::size_t ahead) const {
    char32_t c = At(ahead);
    if (c == '-') {
        char32_t next = At(ahead + 1);
        return IsIdentStart(next) || next == '-' || IsValidEscape(ahead + 1);
    }
    if (c == '\\') {
        return IsValidEscape(ahead);
    }
    return IsIdentStart(c);
}

bool TB_CssTokenizer::StartsNumber(std::size_t ahead) const {
    char32_t c = At(ahead);
    if (c == '+' || c == '-') {
        char32_t next = At(ahead + 1);
        return IsDigit(next) || (next == '.' && IsDigit(At(ahead + 2)));
    }
    if (c == '.') {
        return IsDigit(At(ahead + 1));
    }
    return IsDigit(c);
}

char32_t TB_CssTokenizer::ConsumeEscape() {
    char32_t c = At(0);
    if (c == kEof) {
        return kReplacement;
    }
    ++m_pos;
    if (!IsHexDigit(c)) {
        return c;
    }
    char32_t value = static_cast<char32_t>(HexValue(c));
    for (int count = 1; count < 6 && IsHexDigit(At(0)); ++count) {
        value = value * 16 + static_cast<char32_t>(HexValue(At(0)));
        ++m_pos;
    }
    if (IsWhitespace(At(0))) {
        ++m_pos;
    }
    if (value == 0 || (value >= 0xD800 && value <= 0xDFFF) || value > 0x10FFFF) {
        return kReplacement;
    }
    return value;
}

std::string TB_CssTokenizer::ConsumeIdentSequence() {
    std::string out;
    for (;;) {
        char32_t c = At(0);
        if (IsIdentChar(c)) {
            AppendUtf8(out, c);
            ++m_pos;
        } else if (IsValidEscape(0)) {
            ++m_pos;
            AppendUtf8(out, ConsumeEscape());
        } else {
            return out;
        }
    }
}

TB_CssToken TB_CssTokenizer::ConsumeNumeric() {
    std::string text;
    bool isInteger = true;
    auto takeDigits = [&] {
        while (IsDigit(At(0))) {
            text += static_cast<char>(At(0));
            ++m_pos;
        }
    };
    if (At(0) == '+' || At(0) == '-') {
        text += static_cast<char>(At(0));
        ++m_pos;
    }
    takeDigits();
    if (At(0) == '.' && IsDigit(At(1))) {
        isInteger = false;
        text += '.';
        ++m_pos;
        takeDigits();
    }
    if ((At(0) == 'e' || At(0) == 'E') &&
        (IsDigit(At(1)) || ((At(1) == '+' || At(1) == '-') && IsDigit(At(2))))) {
        isInteger = false;
        text += static_cast<char>(At(0));
        ++m_pos;
        if (At(0) == '+' || At(0) == '-') {
            text += static_cast<char>(At(0));
            ++m_pos;
        }
        takeDigits();
    }
    TB_CssToken token;
    token.Number = ToNumber(text);
    token.IsInteger = isInteger;
    token.Representation = std::move(text);
    if (StartsIdent(0)) {
        token.Type = TB_CssTokenType::Dimension;
        token.Unit = ConsumeIdentSequence();
    } else if (At(0) == '%') {
        ++m_pos;
        token.Type = TB_CssTokenType::Percentage;
    } else {
        token.Type = TB_CssTokenType::Number;
    }
    return token;
}

TB_CssToken TB_CssTokenizer::ConsumeIdentLike() {
    TB_CssToken token;
    token.Value = ConsumeIdentSequence();
    if (At(0) != '(') {
        token.Type = TB_CssTokenType::Ident;
        return token;
    }
    ++m_pos;
    token.Type = TB_CssTokenType::Function;
    if (!EqualsAsciiNoCase(token.Value, "url")) {
        return token;
    }
    while (IsWhitespace(At(0)) && IsWhitespace(At(1))) {
        ++m_pos;
    }
    auto isQuote = [](char32_t c) { return c == '"' || c == '\''; };
    if (isQuote(At(0)) || (IsWhitespace(At(0)) && isQuote(At(1)))) {
        return token;
    }
    return ConsumeUrl();
}

TB_CssToken TB_CssTokenizer::ConsumeString(char32_t ending) {
    TB_CssToken token = Simple(TB_CssTokenType::String);
    for (;;) {
        char32_t c = At(0);
        if (c == kEof) {
            token.EndedByEof = true;
            return token;
        }
        ++m_pos;
        if (c == ending) {
            return token;
        }
        if (c == '\n') {
            // The newline is left for the next token.
            --m_pos;
            return Simple(TB_CssTokenType::BadString);
        }
        if (c == '\\') {
            if (At(0) == kEof) {
                continue;
            }
            if (At(0) == '\n') {
                ++m_pos;
                continue;
            }
            AppendUtf8(token.Value, ConsumeEscape());
            continue;
        }
        AppendUtf8(token.Value, c);
    }
}

TB_CssToken TB_CssTokenizer::ConsumeUrl() {
    TB_CssToken token = Simple(TB_CssTokenType::Url);
    while (IsWhitespace(At(0))) {
        ++m_pos;
    }
    for (;;) {
        char32_t c = At(0);
        if (c == kEof) {
            token.EndedByEof = true;
            return token;
        }
        ++m_pos;
        if (c == ')') {
            return token;
        }
        if (IsWhitespace(c)) {
            while (IsWhitespace(At(0))) {
                ++m_pos;
            }
            if (At(0) == ')') {
                ++m_pos;
                return token;
            }
            if (At(0) == kEof) {
                token.EndedByEof = true;
                return token;
            }
            ConsumeBadUrlRemnants();
            return Simple(TB_CssTokenType::BadUrl);
        }
        if (c == '"' || c == '\'' || c == '(' || IsNonPrintable(c)) {
            ConsumeBadUrlRemnants();
            return Simple(TB_CssTokenType::BadUrl);
        }
        if (c == '\\') {
            if (At(0) == '\n') {
                ConsumeBadUrlRemnants();
                return Simple(TB_CssTokenType::BadUrl);
            }
            AppendUtf8(token.Value, ConsumeEscape());
            continue;
        }
        AppendUtf8(token.Value, c);
    }
}

void TB_CssTokenizer::ConsumeBadUrlRemnants() {
    for (;;) {
        char32_t c = At(0);
        if (c == kEof) {
            return;
        }
        if (IsValidEscape(0)) {
            // An escaped ")" does not end the bad URL.
            ++m_pos;
            ConsumeEscape();
            continue;
        }
        ++m_pos;
        if (c == ')') {
            return;
        }
    }
}

TB_CssToken TB_CssTokenizer::Next() {
    ConsumeComments();
    char32_t c = At(0);
    if (c == kEof) {
        return Simple(TB_CssTokenType::Eof);
    }
    switch (c) {
        case '\n':
        case '\t':
        case ' ':
            while (IsWhitespace(At(0))) {
                ++m_pos;
            }
            return Simple(TB_CssTokenType::Whitespace);
        case '"':
        case '\'':
            ++m_pos;
            return ConsumeString(c);
        case '#':
            if (IsIdentChar(At(1)) || IsValidEscape(1)) {
                ++m_pos;
                TB_CssToken token = Simple(TB_CssTokenType::Hash);
                token.IsId = StartsIdent(0);
                token.Value = ConsumeIdentSequence();
                return token;
            }
            break;
        case '(':
            ++m_pos;
            return Simple(TB_CssTokenType::OpenParen);
        case ')':
            ++m_pos;
            return Simple(TB_CssTokenType::CloseParen);
        case '[':
            ++m_pos;
            return Simple(TB_CssTokenType::OpenSquare);
        case ']':
            ++m_pos;
            return Simple(TB_CssTokenType::CloseSquare);
        case '{':
            ++m_pos;
            return Simple(TB_CssTokenType::OpenCurly);
        case '}':
            ++m_pos;
            return Simple(TB_CssTokenType::CloseCurly);
        case ',':
            ++m_pos;
            return Simple(TB_CssTokenType::Comma);
        case ':':
            ++m_pos;
            return Simple(TB_CssTokenType::Colon);
        case ';':
            ++m_pos;
            return Simple(TB_CssTokenType::Semicolon);
        case '+':
        case '.':
            if (StartsNumber(0)) {
                return ConsumeNumeric();
            }
            break;
        case '-':
            if (StartsNumber(0)) {
                return ConsumeNumeric();
            }
            if (At(1) == '-' && At(2) == '>') {
                m_pos += 3;
                return Simple(TB_CssTokenType::Cdc);
            }
            if (StartsIdent(0)) {
                return ConsumeIdentLike();
            }
            break;
        case '<':
            if (At(1) == '!' && At(2) == '-' && At(3) == '-') {
                m_pos += 4;
                return Simple(TB_CssTokenType::Cdo);
            }
            break;
        case '@':
            if (StartsIdent(1)) {
                ++m_pos;
                TB_CssToken token = Simple(TB_CssTokenType::AtKeyword);
                token.Value = ConsumeIdentSequence();
                return token;
            }
            break;
        case '\\':
            if (IsValidEscape(0)) {
                return ConsumeIdentLike();
            }
            break;
        default:
            if (IsDigit(c)) {
                return ConsumeNumeric();
            }
            if (IsIdentStart(c)) {
                return ConsumeIdentLike();
            }
            break;
    }
    ++m_pos;
    return MakeDelim(c);
}
