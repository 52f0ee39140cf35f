#include "tb_css_parser.h"

#include <utility>

namespace {

using Values = std::vector<TB_CssComponentValue>;
using Type = TB_CssTokenType;

bool Opens(Type type) {
    return type == Type::OpenCurly || type == Type::OpenSquare || type == Type::OpenParen ||
           type == Type::Function;
}

Type Closer(Type open) {
    switch (open) {
        case Type::OpenCurly:
            return Type::CloseCurly;
        case Type::OpenSquare:
            return Type::CloseSquare;
        default:
            return Type::CloseParen;
    }
}

bool IsImportant(const TB_CssComponentValue& value) {
    if (!value.Is(Type::Ident) || value.Token.Value.size() != 9) {
        return false;
    }
    static constexpr char kImportant[] = "important";
    for (std::size_t i = 0; i < 9; ++i) {
        char c = value.Token.Value[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
        if (c != kImportant[i]) {
            return false;
        }
    }
    return true;
}

// "!important" at the end sets the flag and goes; then trailing whitespace goes.
void FinishValue(TB_CssDeclaration& decl) {
    Values& value = decl.Value;
    std::size_t last = value.size();
    while (last > 0 && value[last - 1].IsWhitespace()) {
        --last;
    }
    if (last > 0 && IsImportant(value[last - 1])) {
        std::size_t bang = last - 1;
        while (bang > 0 && value[bang - 1].IsWhitespace()) {
            --bang;
        }
        if (bang > 0 && value[bang - 1].IsDelim('!')) {
            decl.Important = true;
            value.erase(value.begin() + static_cast<std::ptrdiff_t>(bang - 1), value.end());
        }
    }
    while (!value.empty() && value.back().IsWhitespace()) {
        value.pop_back();
    }
}

void Drop(std::vector<std::size_t>* dropped, std::size_t at) {
    if (dropped) {
        dropped->push_back(at);
    }
}

class Stream {
public:
    explicit Stream(Values items) : m_items(std::move(items)) {}

    bool AtEnd() const { return m_pos >= m_items.size(); }
    bool NextIs(Type type) const { return !AtEnd() && m_items[m_pos].Is(type); }
    const TB_CssComponentValue& Peek() const { return m_items[m_pos]; }
    const TB_CssComponentValue& Take() { return m_items[m_pos++]; }
    std::size_t Mark() const { return m_pos; }
    void Restore(std::size_t mark) { m_pos = mark; }
    void SkipWhitespace() {
        while (NextIs(Type::Whitespace)) {
            ++m_pos;
        }
    }

    // Appends the next component value to `out`; `depth` is how deeply `out` is nested.
    void ConsumeComponentValue(Values& out, int depth) {
        const TB_CssComponentValue& item = Take();
        if (item.Kind != TB_CssValueKind::Token || !Opens(item.Token.Type)) {
            out.push_back(item);
            return;
        }
        if (depth >= TB_CssParser::kMaxNesting) {
            ConsumeFlat(item, out);
            return;
        }
        TB_CssComponentValue nested;
        nested.Kind =
            item.Token.Type == Type::Function ? TB_CssValueKind::Function : TB_CssValueKind::Block;
        nested.Token = item.Token;
        ConsumeUntilCloser(nested.Values, Closer(item.Token.Type), depth + 1);
        out.push_back(std::move(nested));
    }

    // Block contents up to and including the closer; the end of input closes it too.
    void ConsumeUntilCloser(Values& out, Type closer, int depth) {
        while (!AtEnd()) {
            if (NextIs(closer)) {
                ++m_pos;
                return;
            }
            ConsumeComponentValue(out, depth);
        }
    }

    // Tokens of a block past the nesting limit, tracking brackets with a list instead of the
    // call stack so the block still ends where it would have.
    void ConsumeFlat(const TB_CssComponentValue& open, Values& out) {
        std::vector<Type> closers{Closer(open.Token.Type)};
        out.push_back(open);
        while (!closers.empty() && !AtEnd()) {
            const TB_CssComponentValue& item = Take();
            if (item.Kind == TB_CssValueKind::Token) {
                if (item.Token.Type == closers.back()) {
                    closers.pop_back();
                } else if (Opens(item.Token.Type)) {
                    closers.push_back(Closer(item.Token.Type));
                }
            }
            out.push_back(item);
        }
    }

    void SkipComponentValue() {
        m_scratch.clear();
        ConsumeComponentValue(m_scratch, 0);
    }

    // `nested`: inside a block's contents, where a "}" ends the rule.
    TB_CssRule ConsumeAtRule(bool nested) {
        TB_CssRule rule;
        rule.Kind = TB_CssRuleKind::At;
        rule.Name = Take().Token.Value;
        while (!AtEnd()) {
            const TB_CssComponentValue& next = Peek();
            if (next.Is(Type::Semicolon)) {
                ++m_pos;
                return rule;
            }
            if (nested && next.Is(Type::CloseCurly)) {
                return rule;
            }
            if (TakeBlock(rule)) {
                return rule;
            }
            ConsumeComponentValue(rule.Prelude, 0);
        }
        return rule;
    }

    // `nested` as for at-rules; `stopAtSemicolon` where a ";" ends a would-be declaration.
    std::optional<TB_CssRule> ConsumeQualifiedRule(bool nested, bool stopAtSemicolon) {
        TB_CssRule rule;
        while (!AtEnd()) {
            const TB_CssComponentValue& next = Peek();
            if ((stopAtSemicolon && next.Is(Type::Semicolon)) ||
                (nested && next.Is(Type::CloseCurly))) {
                return std::nullopt;
            }
            if (TakeBlock(rule)) {
                return rule;
            }
            ConsumeComponentValue(rule.Prelude, 0);
        }
        return std::nullopt;
    }

    bool TakeBlock(TB_CssRule& rule) {
        const TB_CssComponentValue& next = Peek();
        if (next.Is(Type::OpenCurly)) {
            ++m_pos;
            ConsumeUntilCloser(rule.Block, Type::CloseCurly, 1);
        } else if (next.IsBlock(Type::OpenCurly)) {
            ++m_pos;
            rule.Block = next.Values;
        } else {
            return false;
        }
        rule.HasBlock = true;
        return true;
    }

    // A declaration starting at an ident, its value running to the next ";" (when
    // `stopAtSemicolon`) or the end. Leaves the ";" in place.
    std::optional<TB_CssDeclaration> ConsumeDeclaration(bool stopAtSemicolon) {
        TB_CssDeclaration decl;
        decl.Name = Take().Token.Value;
        SkipWhitespace();
        bool valid = NextIs(Type::Colon);
        if (valid) {
            ++m_pos;
            SkipWhitespace();
        }
        while (!AtEnd() && !(stopAtSemicolon && NextIs(Type::Semicolon))) {
            if (valid) {
                ConsumeComponentValue(decl.Value, 0);
            } else {
                SkipComponentValue();
            }
        }
        if (!valid) {
            return std::nullopt;
        }
        FinishValue(decl);
        return decl;
    }

    // A declaration inside a block's contents, where it may also turn out to be a nested
    // rule; its value ends at ";" or "}".
    std::optional<TB_CssDeclaration> ConsumeNestedDeclaration() {
        if (!NextIs(Type::Ident)) {
            ConsumeBadDeclaration();
            return std::nullopt;
        }
        TB_CssDeclaration decl;
        decl.Name = Take().Token.Value;
        SkipWhitespace();
        if (!NextIs(Type::Colon)) {
            ConsumeBadDeclaration();
            return std::nullopt;
        }
        ++m_pos;
        SkipWhitespace();
        while (!AtEnd() && !NextIs(Type::Semicolon) && !NextIs(Type::CloseCurly)) {
            ConsumeComponentValue(decl.Value, 0);
        }
        FinishValue(decl);
        // A "{}" block beside other values reads as a rule's prelude and block; custom
        // properties may hold anything.
        bool custom = decl.Name.size() >= 2 && decl.Name[0] == '-' && decl.Name[1] == '-';
        if (!custom) {
            bool curly = false;
            bool other = false;
            for (const TB_CssComponentValue& value : decl.Value) {
                if (value.IsBlock(Type::OpenCurly)) {
                    curly = true;
                } else if (!value.IsWhitespace()) {
                    other = true;
                }
            }
            if (curly && other) {
                return std::nullopt;
            }
        }
        return decl;
    }

    void ConsumeBadDeclaration() {
        while (!AtEnd()) {
            if (NextIs(Type::Semicolon)) {
                ++m_pos;
                return;
            }
            if (NextIs(Type::CloseCurly)) {
                return;
            }
            SkipComponentValue();
        }
    }

    std::vector<TB_CssRule> ConsumeRuleList(bool topLevel, std::vector<std::size_t>* dropped) {
        std::vector<TB_CssRule> rules;
        while (!AtEnd()) {
            const TB_CssComponentValue& next = Peek();
            if (next.IsWhitespace() || (topLevel && (next.Is(Type::Cdo) || next.Is(Type::Cdc)))) {
                ++m_pos;
            } else if (next.Is(Type::AtKeyword)) {
                rules.push_back(ConsumeAtRule(false));
            } else if (auto rule = ConsumeQualifiedRule(false, false)) {
                rules.push_back(std::move(*rule));
            } else {
                Drop(dropped, rules.size());
            }
        }
        return rules;
    }

    std::vector<TB_CssBlockItem> ConsumeDeclarationList(std::vector<std::size_t>* dropped) {
        std::vector<TB_CssBlockItem> items;
        while (!AtEnd()) {
            const TB_CssComponentValue& next = Peek();
            if (next.IsWhitespace() || next.Is(Type::Semicolon)) {
                ++m_pos;
            } else if (next.Is(Type::AtKeyword)) {
                items.emplace_back(ConsumeAtRule(false));
            } else if (next.Is(Type::Ident)) {
                if (auto decl = ConsumeDeclaration(true)) {
                    items.emplace_back(std::move(*decl));
                } else {
                    Drop(dropped, items.size());
                }
            } else {
                Drop(dropped, items.size());
                while (!AtEnd() && !NextIs(Type::Semicolon)) {
                    SkipComponentValue();
                }
            }
        }
        return items;
    }

    std::vector<TB_CssBlockItem> ConsumeBlockContents(std::vector<std::size_t>* dropped) {
        std::vector<TB_CssBlockItem> items;
        while (!AtEnd()) {
            const TB_CssComponentValue& next = Peek();
            if (next.IsWhitespace() || next.Is(Type::Semicolon)) {
                ++m_pos;
            } else if (next.Is(Type::CloseCurly)) {
                // Ends the block whose contents these are.
                break;
            } else if (next.Is(Type::AtKeyword)) {
                items.emplace_back(ConsumeAtRule(true));
            } else {
                std::size_t mark = Mark();
                if (auto decl = ConsumeNestedDeclaration()) {
                    items.emplace_back(std::move(*decl));
                    continue;
                }
                Restore(mark);
                if (auto rule = ConsumeQualifiedRule(true, true)) {
                    items.emplace_back(std::move(*rule));
                } else {
                    Drop(dropped, items.size());
                }
            }
        }
        return items;
    }

private:
    Values m_items;
    std::size_t m_pos = 0;
    Values m_scratch;
};

void SetError(TB_CssError* error, TB_CssError value) {
    if (error) {
        *error = value;
    }
}

}  // namespace

TB_CssInput::TB_CssInput(std::string_view text) {
    TB_CssTokenizer tokenizer(text);
    for (;;) {
        TB_CssComponentValue value;
        value.Token = tokenizer.Next();
        if (value.Token.Type == Type::Eof) {
            return;
        }
        m_values.push_back(std::move(value));
    }
}

std::vector<TB_CssRule> TB_CssParser::ParseStylesheet(std::string_view text,
                                                      std::vector<std::size_t>* dropped) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Stream stream(std::move(TB_CssInput(text).m_values));
    return stream.ConsumeRuleList(true, dropped);
}

std::vector<TB_CssRule> TB_CssParser::ParseRuleList(TB_CssInput input,
                                                    std::vector<std::size_t>* dropped) {
    Stream stream(std::move(input.m_values));
    return stream.ConsumeRuleList(false, dropped);
}

std::optional<TB_CssRule> TB_CssParser::ParseRule(TB_CssInput input, TB_CssError* error) {
    Stream stream(std::move(input.m_values));
    stream.SkipWhitespace();
    if (stream.AtEnd()) {
        SetError(error, TB_CssError::Empty);
        return std::nullopt;
    }
    std::optional<TB_CssRule> rule;
    if (stream.NextIs(Type::AtKeyword)) {
        rule = stream.ConsumeAtRule(false);
    } else {
        rule = stream.ConsumeQualifiedRule(false, false);
        if (!rule) {
            SetError(error, TB_CssError::Invalid);
            return std::nullopt;
        }
    }
    stream.SkipWhitespace();
    if (!stream.AtEnd()) {
        SetError(error, TB_CssError::ExtraInput);
        return std::nullopt;
    }
    SetError(error, TB_CssError::None);
    return rule;
}

std::vector<TB_CssBlockItem> TB_CssParser::ParseDeclarationList(TB_CssInput input,
                                                                std::vector<std::size_t>* dropped) {
    Stream stream(std::move(input.m_values));
    return stream.ConsumeDeclarationList(dropped);
}

std::vector<TB_CssBlockItem> TB_CssParser::ParseBlockContents(TB_CssInput input,
                                                              std::vector<std::size_t>* dropped) {
    Stream stream(std::move(input.m_values));
    return stream.ConsumeBlockContents(dropped);
}

std::optional<TB_CssDeclaration> TB_CssParser::ParseDeclaration(TB_CssInput input,
                                                                TB_CssError* error) {
    Stream stream(std::move(input.m_values));
    stream.SkipWhitespace();
    if (stream.AtEnd()) {
        SetError(error, TB_CssError::Empty);
        return std::nullopt;
    }
    std::optional<TB_CssDeclaration> decl;
    if (stream.NextIs(Type::Ident)) {
        decl = stream.ConsumeDeclaration(false);
    }
    SetError(error, decl ? TB_CssError::None : TB_CssError::Invalid);
    return decl;
}

std::optional<TB_CssComponentValue> TB_CssParser::ParseComponentValue(TB_CssInput input,
                                                                      TB_CssError* error) {
    Stream stream(std::move(input.m_values));
    stream.SkipWhitespace();
    if (stream.AtEnd()) {
        SetError(error, TB_CssError::Empty);
        return std::nullopt;
    }
    Values values;
    stream.ConsumeComponentValue(values, 0);
    stream.SkipWhitespace();
    if (!stream.AtEnd()) {
        SetError(error, TB_CssError::ExtraInput);
        return std::nullopt;
    }
    SetError(error, TB_CssError::None);
    return std::move(values.front());
}

std::vector<TB_CssComponentValue> TB_CssParser::ParseComponentValueList(TB_CssInput input) {
    Stream stream(std::move(input.m_values));
    Values values;
    while (!stream.AtEnd()) {
        stream.ConsumeComponentValue(values, 0);
    }
    return values;
}

std::vector<std::vector<TB_CssComponentValue>> TB_CssParser::ParseCommaSeparatedList(
    TB_CssInput input) {
    Stream stream(std::move(input.m_values));
    std::vector<Values> lists(1);
    while (!stream.AtEnd()) {
        if (stream.NextIs(Type::Comma)) {
            stream.Take();
            lists.emplace_back();
        } else {
            stream.ConsumeComponentValue(lists.back(), 0);
        }
    }
    return lists;
}

std::vector<TB_CssDeclaration> TB_CssParser::DeclarationsOf(const TB_CssRule& rule) {
    std::vector<TB_CssDeclaration> declarations;
    if (!rule.HasBlock) {
        return declarations;
    }
    for (TB_CssBlockItem& item : ParseBlockContents(rule.Block)) {
        if (auto* decl = std::get_if<TB_CssDeclaration>(&item)) {
            declarations.push_back(std::move(*decl));
        }
    }
    return declarations;
}
