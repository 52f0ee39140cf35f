#include "tc_jsonpath.h"

namespace {

// The escape of one unit, as RapidJSON's writer makes it; empty for a unit written as is.
std::string Escape(tb_char unit) {
    static const char kHex[] = "0123456789ABCDEF";
    static const char kLowerHex[] = "0123456789abcdef";
    if (TB_IsEscapedByte(unit)) {
        return std::string("\\udc") + kLowerHex[(unit >> 4) & 0xF] + kLowerHex[unit & 0xF];
    }
    switch (unit) {
        case u'"':
            return "\\\"";
        case u'\\':
            return "\\\\";
        case u'\b':
            return "\\b";
        case u'\f':
            return "\\f";
        case u'\n':
            return "\\n";
        case u'\r':
            return "\\r";
        case u'\t':
            return "\\t";
        default:
            break;
    }
    if (unit < 0x20) {
        return std::string("\\u00") + kHex[unit >> 4] + kHex[unit & 0xF];
    }
    return std::string();
}

}  // namespace

std::string TC_JsonPathLiteral(const TB_String& text) {
    std::u16string_view view = text.View();
    std::string literal = "\"";
    size_t plain = 0;  // start of the run written as UTF-8 (surrogate pairs stay whole)
    for (size_t i = 0; i < view.size(); ++i) {
        std::string escape = Escape(view[i]);
        if (!escape.empty()) {
            TB_AppendUtf8(literal, view.substr(plain, i - plain));
            literal += escape;
            plain = i + 1;
        }
    }
    TB_AppendUtf8(literal, view.substr(plain));
    literal.push_back('"');
    return literal;
}

TB_String TC_JsonPathText(const rapidjson::Value& value) {
    return value.IsString() ? TB_TextFromEscapedUtf8(value.GetString(),
                                                     static_cast<tb_int64>(value.GetStringLength()))
                            : TB_String();
}
