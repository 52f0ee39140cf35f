#include "tb_css_rule.h"

std::optional<std::string_view> TB_CssComponentValue::HashText() const {
    if (!Is(TB_CssTokenType::Hash)) {
        return std::nullopt;
    }
    return std::string_view(Token.Value);
}
