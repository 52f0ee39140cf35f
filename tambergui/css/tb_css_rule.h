#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tb_css_tokenizer.h"

enum class TB_CssValueKind : std::uint8_t {
    Token,     // a preserved token
    Function,  // Token is the function token (name in Token.Value), Values its arguments
    Block,     // Token is the opening "{", "[" or "(", Values the contents
};

// One component value: a token, or a function or simple block with the values inside.
struct TB_CssComponentValue {
    TB_CssValueKind Kind = TB_CssValueKind::Token;
    TB_CssToken Token;
    std::vector<TB_CssComponentValue> Values;

    // True for a preserved token of the type (never for a function or block).
    bool Is(TB_CssTokenType type) const {
        return Kind == TB_CssValueKind::Token && Token.Type == type;
    }
    bool IsDelim(char c) const { return Kind == TB_CssValueKind::Token && Token.IsDelim(c); }
    bool IsBlock(TB_CssTokenType open) const {
        return Kind == TB_CssValueKind::Block && Token.Type == open;
    }
    bool IsFunction() const { return Kind == TB_CssValueKind::Function; }
    bool IsWhitespace() const { return Is(TB_CssTokenType::Whitespace); }

    // The text of a hash token ("f00" for "#f00"); nothing for any other value. The view
    // lives as long as this value.
    std::optional<std::string_view> HashText() const;
};

struct TB_CssDeclaration {
    std::string Name;
    // Without the "!important" and without leading or trailing whitespace.
    std::vector<TB_CssComponentValue> Value;
    bool Important = false;
};

enum class TB_CssRuleKind : std::uint8_t { Qualified, At };

// A qualified rule (a style rule at the top level: prelude = the selector list) or an at-rule.
// The block's contents are kept as component values; the parser reads them as declarations
// or rules on request, since only the rule knows what its block holds.
struct TB_CssRule {
    TB_CssRuleKind Kind = TB_CssRuleKind::Qualified;
    std::string Name;  // at-rules: the name without "@"
    std::vector<TB_CssComponentValue> Prelude;
    // Qualified rules always have a block; an at-rule ended by ";" or the input has none.
    bool HasBlock = false;
    std::vector<TB_CssComponentValue> Block;

    bool IsQualified() const { return Kind == TB_CssRuleKind::Qualified; }
};
