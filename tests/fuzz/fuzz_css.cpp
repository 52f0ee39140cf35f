// Style sheets through every entry point of the CSS parser, and the selector and declaration
// helpers the icon reader uses; nothing may crash or hang, whatever the nesting.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tb_css_parser.h"
#include "tb_css_selector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    for (const TB_CssRule& rule : TB_CssParser::ParseStylesheet(text)) {
        TB_CssSelector::ListOf(rule);
        for (const TB_CssDeclaration& declaration : TB_CssParser::DeclarationsOf(rule)) {
            for (const TB_CssComponentValue& value : declaration.Value) {
                value.HashText();
            }
        }
    }
    TB_CssParser::ParseRuleList(text);
    TB_CssParser::ParseDeclarationList(text);
    TB_CssParser::ParseBlockContents(text);
    TB_CssError error = TB_CssError::None;
    TB_CssParser::ParseRule(text, &error);
    TB_CssParser::ParseDeclaration(text, &error);
    TB_CssParser::ParseComponentValue(text, &error);
    TB_CssParser::ParseComponentValueList(text);
    TB_CssParser::ParseCommaSeparatedList(text);
    return 0;
}
