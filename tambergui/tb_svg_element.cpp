#include "tb_svg_element.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "css/tb_css_parser.h"
#include "css/tb_css_selector.h"
#include "tb_brush.h"
#include "tb_consolewriter.h"
#include "tb_error.h"
#include "tb_svg_textlex.h"

namespace {

constexpr float kKappa = 0.55227995f;

bool NameIs(const char* name, const char* expected) {
    return strcasecmp(name, expected) == 0;
}

// A required attribute as a number; false when it is missing.
bool ReadNumber(const tinyxml2::XMLElement& element, const char* name, float& value) {
    const char* text = element.Attribute(name);
    if (!text) {
        return false;
    }
    value = TB_SvgNumber(text);
    return true;
}

int HexDigit(char c) {
    return c >= '0' && c <= '9'   ? c - '0'
           : c >= 'a' && c <= 'f' ? c - 'a' + 10
           : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                  : 0;  // not a hex digit: counts as 0
}

// "#rgb" or "#rrggbb"; any other length gives no colour.
TB_Color* HashColor(std::string_view hex) {
    int channels[3];
    if (hex.size() == 3) {
        for (int i = 0; i < 3; ++i) {
            channels[i] = HexDigit(hex[i]) * 17;
        }
    } else if (hex.size() == 6) {
        for (int i = 0; i < 3; ++i) {
            channels[i] = HexDigit(hex[i * 2]) * 16 + HexDigit(hex[i * 2 + 1]);
        }
    } else {
        return nullptr;
    }
    return new TB_Color{channels[0] / 255.0f, channels[1] / 255.0f, channels[2] / 255.0f, 1.0f};
}

void PrintUnsupported(const char* name) {
    if (TB_ConsoleWriter* console = TB_ConsoleWriter::Shared()) {
        console->SetColor(14);
        console->WriteLine(u"Svg : Unsupported tag : %s", name);
        console->ResetColor();
    }
    TB_Error::ReportFailedCheck(TB_SOURCE_NAME, __LINE__);
}

}  // namespace

// ---- rules ----

void TB_CssStyleRule::AddClassName(std::u16string_view name) {
    ClassNames.Add(new TB_String(name.data(), static_cast<tb_int>(name.size())));
    m_names.emplace(name);
}

// ---- render context ----

void TB_SvgRenderContext::PushRule(TB_CssStyleRule* rule) {
    if (rule->FillColor) {
        for (const TB_String* name : rule->ClassNames) {
            FillsByClass[std::u16string(name->View())].push_back(Rules.Count());
        }
    }
    Rules.Add(rule);
}

void TB_SvgRenderContext::PopRules(tb_int count) {
    while (Rules.Count() > count) {
        TB_CssStyleRule* rule = Rules[Rules.Count() - 1];
        if (rule->FillColor) {
            // The rule was the last one pushed: its positions are the last of their lists.
            for (const TB_String* name : rule->ClassNames) {
                auto found = FillsByClass.find(std::u16string(name->View()));
                if (found != FillsByClass.end()) {
                    found->second.pop_back();
                    if (found->second.empty()) {
                        FillsByClass.erase(found);
                    }
                }
            }
        }
        Rules.RemoveAt(Rules.Count() - 1);
    }
}

// ---- element ----

bool TB_SvgElement::ReadClass(const tinyxml2::XMLElement& element) {
    const char* names = element.Attribute("class");
    if (!names) {
        return true;
    }
    const char* start = names;
    for (const char* p = names;; ++p) {
        if (*p == ' ' || *p == '\0') {
            ClassNames.Add(new TB_String(start, static_cast<tb_int64>(p - start)));
            if (*p == '\0') {
                break;
            }
            start = p + 1;
        }
    }
    return true;
}

bool TB_SvgElement::Parse(const tinyxml2::XMLElement& element) {
    return ReadClass(element);
}

void TB_SvgElement::RenderStyled(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                                 TB_SvgRenderContext& context) {
    if (!context.UseStyles) {
        Render(renderable, mapping, context);
        return;
    }
    TB_Pen* pen = renderable.GetPen();
    TB_Brush* brush = renderable.GetBrush();
    // The brush is the fill of the last rule in match order: the element's class names in
    // order, and for each the rules in scope order that no earlier name matched already. So
    // the winner is found from the end: the last name with such a rule, its last such rule.
    auto namedEarlier = [this](const TB_CssStyleRule* rule, tb_int place) {
        for (tb_int i = 0; i < place; ++i) {
            if (rule->Names(ClassNames[i]->View())) {
                return true;
            }
        }
        return false;
    };
    const TB_CssStyleRule* winner = nullptr;
    std::u16string key;
    for (tb_int place = ClassNames.Count() - 1; place >= 0 && !winner; --place) {
        key.assign(ClassNames[place]->View());
        auto rules = context.FillsByClass.find(key);
        if (rules == context.FillsByClass.end()) {
            continue;
        }
        for (auto at = rules->second.rbegin(); at != rules->second.rend(); ++at) {
            const TB_CssStyleRule* rule = context.Rules[*at];
            if (!namedEarlier(rule, place)) {
                winner = rule;
                break;
            }
        }
    }
    TB_SolidBrush* fill = winner ? new TB_SolidBrush(*winner->FillColor) : nullptr;
    if (fill) {
        renderable.SetBrush(fill);
    }
    Render(renderable, mapping, context);
    renderable.SetPen(pen);
    renderable.SetBrush(brush);
    if (fill) {
        fill->Release();
    }
}

// ---- group ----

TB_SvgGropuData::~TB_SvgGropuData() {
    for (TB_SvgElement* child : Children) {
        delete child;
    }
}

bool TB_SvgGropuData::Parse(const tinyxml2::XMLElement& element) {
    return ReadClass(element) && ParseChildren(element);
}

bool TB_SvgGropuData::ParseChildren(const tinyxml2::XMLElement& element) {
    for (const tinyxml2::XMLElement* child = element.FirstChildElement(); child;
         child = child->NextSiblingElement()) {
        const char* name = child->Name();
        TB_SvgElement* parsed = nullptr;
        if (NameIs(name, "path")) {
            parsed = new TB_SvgPathData();
        } else if (NameIs(name, "g")) {
            parsed = new TB_SvgGropuData();
        } else if (NameIs(name, "rect")) {
            parsed = new TB_SvgRectData();
        } else if (NameIs(name, "polygon")) {
            parsed = new TB_SvgPolygonData();
        } else if (NameIs(name, "line")) {
            parsed = new TB_SvgLineData();
        } else if (NameIs(name, "ellipse")) {
            parsed = new TB_SvgEllipseData();
        } else if (NameIs(name, "circle")) {
            parsed = new TB_SvgCircleData();
        } else if (NameIs(name, "style")) {
            const tinyxml2::XMLNode* text = child->FirstChild();
            if (text && text->ToText()) {
                AddStyleRules(text->Value());
            }
            continue;
        } else {
            PrintUnsupported(name);
            continue;
        }
        if (!parsed->Parse(*child)) {
            delete parsed;
            return false;
        }
        Children.Add(parsed);
    }
    return true;
}

void TB_SvgGropuData::AddStyleRules(const char* css) {
    std::string_view text = css ? css : "";
    // An icon's style is a few rules; a style text of megabytes is no icon, and reading it
    // whole costs about a hundred times its size.
    constexpr size_t kMaxStyleText = 256 * 1024;
    if (text.size() > kMaxStyleText) {
        if (TB_ConsoleWriter* console = TB_ConsoleWriter::Shared()) {
            console->WriteLine(u"Svg : a style of %d bytes is left unread",
                               static_cast<tb_int>(std::min<size_t>(text.size(), INT32_MAX)));
        }
        TB_Error::Report(2, 13, u"An icon's style text over 256 KiB was left unread",
                         TB_SOURCE_NAME, __LINE__);
        return;
    }
    for (const TB_CssRule& rule : TB_CssParser::ParseStylesheet(text)) {
        auto* styleRule = new TB_CssStyleRule();
        Rules.Add(styleRule);
        if (!rule.IsQualified()) {
            continue;  // at-rules stay empty
        }
        for (const TB_CssSelector& selector : TB_CssSelector::ListOf(rule)) {
            if (selector.Match == TB_CssSelectorMatch::Class) {
                TB_String name(selector.Name.c_str(), static_cast<tb_int64>(selector.Name.size()));
                styleRule->AddClassName(name.View());
            }
        }
        for (const TB_CssDeclaration& declaration : TB_CssParser::DeclarationsOf(rule)) {
            if (declaration.Name != "fill" || declaration.Value.size() != 1) {
                continue;
            }
            std::optional<std::string_view> hex = declaration.Value[0].HashText();
            if (!hex) {
                continue;
            }
            if (TB_Color* color = HashColor(*hex)) {
                delete styleRule->FillColor;
                styleRule->FillColor = color;
            }
        }
    }
}

void TB_SvgGropuData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                             TB_SvgRenderContext& context) {
    tb_int before = context.Rules.Count();
    for (TB_CssStyleRule* rule : Rules) {
        context.PushRule(rule);
    }
    for (TB_SvgElement* child : Children) {
        child->RenderStyled(renderable, mapping, context);
    }
    context.PopRules(before);
}

// ---- root ----

bool TB_SvgData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    if (const char* viewBox = element.Attribute("viewBox")) {
        TB_SvgTextLex lex(viewBox);
        float* fields[4] = {&ViewBoxX, &ViewBoxY, &ViewBoxWidth, &ViewBoxHeight};
        for (float* field : fields) {
            TB_SvgToken token;
            lex.NextValue(token);
            if (token.Type == TB_SVG_TYPE_END) {
                break;  // a short view box: the rest stays 0, and nothing is drawn
            }
            *field = TB_SvgNumber(token.Text);
        }
    }
    return ParseChildren(element);
}

// ---- path ----

TB_SvgPathData::~TB_SvgPathData() {
    for (TB_Path_Command* command : Commands) {
        delete command;
    }
}

bool TB_SvgPathData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    const char* data = element.Attribute("d");
    return !data || ParseData(data);
}

bool TB_SvgPathData::ParseData(const char* data) {
    TB_SvgTextLex lex(data);
    TB_SvgToken token;
    char letter = 0;
    // Reads count numbers; false when the data ends or a command letter comes first: the
    // command is then dropped, and reading goes on with that letter (so "1e-3" fails at the
    // letter e) or ends with the data.
    auto numbers = [&](float* out[], int count) {
        for (int i = 0; i < count; ++i) {
            tb_int64 at = lex.NextValue(token);
            if (token.Type == TB_SVG_TYPE_END) {
                return false;
            }
            if (token.Type == TB_SVG_TYPE_LETTER) {
                lex.Position = at;
                return false;
            }
            *out[i] = TB_SvgNumber(token.Text);
        }
        return true;
    };
    for (;;) {
        tb_int64 start = lex.NextToken(token);
        if (token.Type == TB_SVG_TYPE_END) {
            return true;
        }
        if (token.Type == TB_SVG_TYPE_LETTER) {
            letter = token.Text[0];
        } else {
            lex.Position = start;  // a number or separator repeats the current command
        }
        bool relative = letter >= 'a' && letter <= 'z';
        TB_Path_Command* command = nullptr;
        bool complete = true;
        switch (letter) {
            case 'M':
            case 'm':
            case 'L':
            case 'l': {
                float x = 0, y = 0;
                float* out[] = {&x, &y};
                complete = numbers(out, 2);
                if (letter == 'M' || letter == 'm') {
                    auto* move = new TB_Path_MoveTo();
                    move->x = x;
                    move->y = y;
                    command = move;
                } else {
                    auto* line = new TB_Path_LineTo();
                    line->x = x;
                    line->y = y;
                    command = line;
                }
                break;
            }
            case 'H':
            case 'h': {
                auto* horizon = new TB_Path_Horizon();
                float* out[] = {&horizon->x};
                complete = numbers(out, 1);
                command = horizon;
                break;
            }
            case 'V':
            case 'v': {
                auto* vertical = new TB_Path_Vertical();
                float* out[] = {&vertical->y};
                complete = numbers(out, 1);
                command = vertical;
                break;
            }
            case 'C':
            case 'c': {
                auto* curve = new TB_Path_Beizer();
                float* out[] = {&curve->x1, &curve->y1, &curve->x2,
                                &curve->y2, &curve->x,  &curve->y};
                complete = numbers(out, 6);
                command = curve;
                break;
            }
            case 'S':
            case 's': {
                auto* curve = new TB_Path_BeizerSmooth();
                float* out[] = {&curve->x2, &curve->y2, &curve->x, &curve->y};
                complete = numbers(out, 4);
                command = curve;
                break;
            }
            case 'A':
            case 'a': {
                auto* arc = new TB_Path_Arc();
                float rotation = 0, large = 0, sweep = 0;
                float* out[] = {&arc->rx, &arc->ry, &rotation, &large, &sweep, &arc->x, &arc->y};
                complete = numbers(out, 7);
                arc->rotation = static_cast<tb_int64>(rotation);
                arc->largeArc = static_cast<tb_int>(large);
                arc->sweep = static_cast<tb_int>(sweep);
                command = arc;
                if (complete && arc->rx != arc->ry) {
                    if (TB_ConsoleWriter* console = TB_ConsoleWriter::Shared()) {
                        console->SetColor(14);
                        console->WriteLine(
                            u"Svg : Find Unsupported path's A Command! This "
                            u"command will not be rendered accurately");
                        console->WriteLine(u"\t%c %f %f %f %d %d %f %f", letter, arc->rx, arc->ry,
                                           static_cast<double>(rotation), arc->largeArc, arc->sweep,
                                           arc->x, arc->y);
                        console->ResetColor();
                    }
                }
                break;
            }
            case 'Z':
            case 'z':
                command = new TB_Path_MoveTo();
                if (token.Type != TB_SVG_TYPE_LETTER) {
                    // Z takes no numbers: a number after it would repeat it forever.
                    lex.NextToken(token);
                }
                break;
            default:
                if (TB_ConsoleWriter* console = TB_ConsoleWriter::Shared()) {
                    console->WriteLine(u"Unknown : %s", token.Text.c_str());
                    console->WriteLine(u"%s", data);
                }
                return false;
        }
        command->Relative = relative;
        if (!complete) {
            delete command;
            continue;
        }
        Commands.Add(command);
    }
}

void TB_SvgPathData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                            TB_SvgRenderContext&) {
    renderable.DiscardPath();
    TB_Vector2 current{0, 0};
    for (TB_Path_Command* command : Commands) {
        command->Apply(renderable, current, *this, mapping);
    }
    renderable.FillAndStroke();
}

// ---- shapes ----

bool TB_SvgRectData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    return ReadNumber(element, "x", x) && ReadNumber(element, "y", y) &&
           ReadNumber(element, "width", width) && ReadNumber(element, "height", height);
}

void TB_SvgRectData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                            TB_SvgRenderContext&) {
    renderable.BeginPath(mapping.Map({x, y}));
    renderable.LineTo(mapping.Map({x + width, y}));
    renderable.LineTo(mapping.Map({x + width, y + height}));
    renderable.LineTo(mapping.Map({x, y + height}));
    renderable.ClosePath();
    renderable.FillAndStroke();
}

bool TB_SvgPolygonData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    const char* points = element.Attribute("points");
    if (!points) {
        return false;
    }
    TB_SvgTextLex lex(points);
    TB_SvgToken token;
    while (lex.PeekType() != TB_SVG_TYPE_END) {
        float xy[2];
        for (float& value : xy) {
            lex.NextValue(token);
            if (token.Type == TB_SVG_TYPE_END) {
                return true;  // a last point without its y is dropped
            }
            value = TB_SvgNumber(token.Text);
        }
        Points.Add(TB_Vector2{xy[0], xy[1]});
    }
    return true;
}

void TB_SvgPolygonData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                               TB_SvgRenderContext&) {
    if (Points.Count() < 2) {
        return;
    }
    renderable.BeginPath(mapping.Map(Points[0]));
    for (tb_int i = 1; i < Points.Count(); ++i) {
        renderable.LineTo(mapping.Map(Points[i]));
    }
    renderable.ClosePath();
    renderable.FillAndStroke();
}

bool TB_SvgLineData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    float values[4];
    if (!ReadNumber(element, "x1", values[0]) || !ReadNumber(element, "y1", values[1]) ||
        !ReadNumber(element, "x2", values[2]) || !ReadNumber(element, "y2", values[3])) {
        return false;
    }
    x1 = static_cast<tb_int>(values[0]);
    y1 = static_cast<tb_int>(values[1]);
    x2 = static_cast<tb_int>(values[2]);
    y2 = static_cast<tb_int>(values[3]);
    return true;
}

void TB_SvgLineData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                            TB_SvgRenderContext&) {
    renderable.BeginPath(mapping.Map({static_cast<float>(x1), static_cast<float>(y1)}));
    renderable.LineTo(mapping.Map({static_cast<float>(x2), static_cast<float>(y2)}));
    renderable.FillAndStroke();
}

bool TB_SvgEllipseData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    return ReadNumber(element, "cx", cx) && ReadNumber(element, "cy", cy) &&
           ReadNumber(element, "rx", rx) && ReadNumber(element, "ry", ry);
}

void TB_SvgEllipseData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                               TB_SvgRenderContext&) {
    TB_Vector2 c = mapping.Map({cx, cy});
    float rX = rx * mapping.ScaleX();
    float rY = ry * mapping.ScaleY();
    float kx = kKappa * rX;
    float ky = kKappa * rY;
    renderable.BeginPath({c.x, c.y + rY});
    renderable.BezierTo({c.x + kx, c.y + rY}, {c.x + rX, c.y + ky}, {c.x + rX, c.y});
    renderable.BezierTo({c.x + rX, c.y - ky}, {c.x + kx, c.y - rY}, {c.x, c.y - rY});
    renderable.BezierTo({c.x - kx, c.y - rY}, {c.x - rX, c.y - ky}, {c.x - rX, c.y});
    renderable.BezierTo({c.x - rX, c.y + ky}, {c.x - kx, c.y + rY}, {c.x, c.y + rY});
    renderable.ClosePath();
    renderable.FillAndStroke();
}

bool TB_SvgCircleData::Parse(const tinyxml2::XMLElement& element) {
    ReadClass(element);
    return ReadNumber(element, "cx", cx) && ReadNumber(element, "cy", cy) &&
           ReadNumber(element, "r", r);
}

void TB_SvgCircleData::Render(TB_IPathRenderable& renderable, const TB_SvgMapping& mapping,
                              TB_SvgRenderContext&) {
    TB_Vector2 c = mapping.Map({cx, cy});
    float radius = r * mapping.ScaleX();
    renderable.BeginPath({c.x + radius, c.y});
    renderable.ArcTo(c, radius, 0, 6.28318);
    renderable.ClosePath();
    renderable.FillAndStroke();
}
