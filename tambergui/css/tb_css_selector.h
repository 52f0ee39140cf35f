#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tb_css_rule.h"

enum class TB_CssSelectorMatch : std::uint8_t {
    Class,          // .name
    Id,             // #name
    Type,           // name
    Universal,      // *
    Attribute,      // [name ...]
    PseudoClass,    // :name or :name(...)
    PseudoElement,  // ::name or ::name(...)
    Unknown,        // none of these: empty, a leading combinator, "&", an invalid "#0a", ...
};

// One selector of a style rule's selector list, described by its first simple selector.
struct TB_CssSelector {
    TB_CssSelectorMatch Match = TB_CssSelectorMatch::Unknown;
    // As written, escapes resolved: the class, id, element, attribute or pseudo name;
    // "*" for the universal selector.
    std::string Name;
    // The namespace prefix written before a type, universal or attribute name: "*" for any,
    // "" for none ("|a"); nothing when no prefix was written.
    std::optional<std::string> Namespace;
    // A functional pseudo-class or pseudo-element such as ":not(.a)".
    bool IsFunctional = false;
    // The whole selector, without surrounding whitespace.
    std::vector<TB_CssComponentValue> Values;

    // The selectors of a qualified rule's prelude, split at top-level commas; empty for an
    // at-rule. A selector of kind Unknown makes the whole list invalid by the selector
    // rules; whether to drop the rule is the caller's decision.
    static std::vector<TB_CssSelector> ListOf(const TB_CssRule& rule);
    // Describes one selector given as component values.
    static TB_CssSelector FromValues(std::vector<TB_CssComponentValue> values);
};
