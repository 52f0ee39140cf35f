#include "tb_css_selector.h"

#include "tb_css_parser.h"

namespace {

using Values = std::vector<TB_CssComponentValue>;
using Type = TB_CssTokenType;

void Trim(Values& values) {
    while (!values.empty() && values.back().IsWhitespace()) {
        values.pop_back();
    }
    std::size_t first = 0;
    while (first < values.size() && values[first].IsWhitespace()) {
        ++first;
    }
    values.erase(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(first));
}

const TB_CssComponentValue* At(const Values& values, std::size_t index) {
    return index < values.size() ? &values[index] : nullptr;
}

bool IsNamePart(const TB_CssComponentValue* value) {
    return value && (value->Is(Type::Ident) || value->IsDelim('*'));
}

std::string NameOf(const TB_CssComponentValue& value) {
    return value.Is(Type::Ident) ? value.Token.Value : std::string("*");
}

// Reads "name", "*", "ns|name", "*|name" or "|name" at the start; returns the element or
// attribute name part, or nothing. In an attribute selector "a|=" is a name and an operator.
const TB_CssComponentValue* ReadQualifiedName(const Values& values, bool attribute,
                                              std::optional<std::string>& ns) {
    const TB_CssComponentValue* first = At(values, 0);
    const TB_CssComponentValue* second = At(values, 1);
    const TB_CssComponentValue* third = At(values, 2);
    if (IsNamePart(first) && second && second->IsDelim('|')) {
        if (IsNamePart(third)) {
            ns = NameOf(*first);
            return third;
        }
        bool operatorFollows = attribute && third && third->IsDelim('=');
        return operatorFollows ? first : nullptr;
    }
    if (first && first->IsDelim('|') && IsNamePart(second)) {
        ns = std::string();
        return second;
    }
    return IsNamePart(first) ? first : nullptr;
}

bool ReadPseudo(const TB_CssComponentValue* value, TB_CssSelector& selector) {
    if (!value) {
        return false;
    }
    if (value->Is(Type::Ident)) {
        selector.Name = value->Token.Value;
        return true;
    }
    if (value->IsFunction()) {
        selector.Name = value->Token.Value;
        selector.IsFunctional = true;
        return true;
    }
    return false;
}

void Describe(TB_CssSelector& selector) {
    const Values& values = selector.Values;
    const TB_CssComponentValue* first = At(values, 0);
    const TB_CssComponentValue* second = At(values, 1);
    if (!first) {
        return;
    }
    if (first->Is(Type::Hash)) {
        // "#0a" is a hash token but no identifier, so no id selector.
        if (first->Token.IsId) {
            selector.Match = TB_CssSelectorMatch::Id;
            selector.Name = first->Token.Value;
        }
        return;
    }
    if (first->IsDelim('.')) {
        if (second && second->Is(Type::Ident)) {
            selector.Match = TB_CssSelectorMatch::Class;
            selector.Name = second->Token.Value;
        }
        return;
    }
    if (first->Is(Type::Colon)) {
        if (second && second->Is(Type::Colon)) {
            if (ReadPseudo(At(values, 2), selector)) {
                selector.Match = TB_CssSelectorMatch::PseudoElement;
            }
        } else if (ReadPseudo(second, selector)) {
            selector.Match = TB_CssSelectorMatch::PseudoClass;
        }
        return;
    }
    if (first->IsBlock(Type::OpenSquare)) {
        Values inside = first->Values;
        Trim(inside);
        std::optional<std::string> ns;
        const TB_CssComponentValue* name = ReadQualifiedName(inside, true, ns);
        if (name && name->Is(Type::Ident)) {
            selector.Match = TB_CssSelectorMatch::Attribute;
            selector.Name = name->Token.Value;
            selector.Namespace = std::move(ns);
        }
        return;
    }
    std::optional<std::string> ns;
    if (const TB_CssComponentValue* name = ReadQualifiedName(values, false, ns)) {
        selector.Match =
            name->Is(Type::Ident) ? TB_CssSelectorMatch::Type : TB_CssSelectorMatch::Universal;
        selector.Name = NameOf(*name);
        selector.Namespace = std::move(ns);
    }
}

}  // namespace

TB_CssSelector TB_CssSelector::FromValues(std::vector<TB_CssComponentValue> values) {
    TB_CssSelector selector;
    selector.Values = std::move(values);
    Trim(selector.Values);
    Describe(selector);
    return selector;
}

std::vector<TB_CssSelector> TB_CssSelector::ListOf(const TB_CssRule& rule) {
    std::vector<TB_CssSelector> selectors;
    if (!rule.IsQualified()) {
        return selectors;
    }
    for (auto& values : TB_CssParser::ParseCommaSeparatedList(rule.Prelude)) {
        selectors.push_back(FromValues(std::move(values)));
    }
    return selectors;
}
