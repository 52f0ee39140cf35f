#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "tb_css_rule.h"

// Why a parse that yields one thing yielded nothing.
enum class TB_CssError : std::uint8_t {
    None,
    Empty,       // only whitespace and comments
    ExtraInput,  // something other than whitespace followed the one rule or value
    Invalid,     // not a rule or declaration at all
};

// An entry of a declaration list or of a block's contents, in source order.
using TB_CssBlockItem = std::variant<TB_CssDeclaration, TB_CssRule>;

// What a parse reads: CSS text (UTF-8), or component values from an earlier parse, such as a
// rule's prelude or block.
class TB_CssInput {
public:
    TB_CssInput(std::string_view text);
    TB_CssInput(const char* text) : TB_CssInput(std::string_view(text)) {}
    TB_CssInput(const std::string& text) : TB_CssInput(std::string_view(text)) {}
    TB_CssInput(std::vector<TB_CssComponentValue> values) : m_values(std::move(values)) {}

private:
    friend class TB_CssParser;
    std::vector<TB_CssComponentValue> m_values;
};

// The entry points of the CSS syntax, with its error recovery: an invalid rule or
// declaration is dropped and reading goes on after it.
//
// `dropped`, where offered, receives one entry per dropped rule or declaration: the number of
// entries the result held at that point, so the place of every error can be told.
//
// Blocks and functions nest at most kMaxNesting deep. Deeper ones are kept as flat preserved
// tokens (their brackets included) inside the innermost allowed level, so hostile input
// cannot exhaust the stack of the parser or of whoever walks the result.
class TB_CssParser {
public:
    static constexpr int kMaxNesting = 128;

    // A whole style sheet: its rules, skipping "<!--" and "-->" between them. Text starting
    // with a UTF-8 byte order mark has it removed, as decoding a style sheet file would.
    static std::vector<TB_CssRule> ParseStylesheet(std::string_view text,
                                                   std::vector<std::size_t>* dropped = nullptr);
    // Rules, where "<!--" and "-->" are not special (the contents of a rule's block).
    static std::vector<TB_CssRule> ParseRuleList(TB_CssInput input,
                                                 std::vector<std::size_t>* dropped = nullptr);
    // Exactly one rule, with only whitespace around it.
    static std::optional<TB_CssRule> ParseRule(TB_CssInput input, TB_CssError* error = nullptr);
    // Declarations and at-rules separated by ";". Anything else up to the next ";" is dropped.
    static std::vector<TB_CssBlockItem> ParseDeclarationList(
        TB_CssInput input, std::vector<std::size_t>* dropped = nullptr);
    // The contents of a style rule's block, which may hold nested rules besides declarations
    // and at-rules: "a:hover {..}" is a rule there, "a: b" a declaration.
    static std::vector<TB_CssBlockItem> ParseBlockContents(
        TB_CssInput input, std::vector<std::size_t>* dropped = nullptr);
    // Exactly one declaration; its value runs to the end of the input.
    static std::optional<TB_CssDeclaration> ParseDeclaration(TB_CssInput input,
                                                             TB_CssError* error = nullptr);
    // Exactly one component value, with only whitespace around it.
    static std::optional<TB_CssComponentValue> ParseComponentValue(TB_CssInput input,
                                                                   TB_CssError* error = nullptr);
    static std::vector<TB_CssComponentValue> ParseComponentValueList(TB_CssInput input);
    // Split at top-level commas; empty input gives one empty list.
    static std::vector<std::vector<TB_CssComponentValue>> ParseCommaSeparatedList(
        TB_CssInput input);

    // The declarations of a rule's block in source order; nested rules, at-rules and invalid
    // declarations left out. Empty for a rule without a block.
    static std::vector<TB_CssDeclaration> DeclarationsOf(const TB_CssRule& rule);
};
