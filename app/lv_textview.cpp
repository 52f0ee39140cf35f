#include "lv_textview.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <utility>

#include "tb_globalstyle.h"
#include "tb_gui.h"
#include "tb_message.h"

namespace {

constexpr float kPadding = 4;
constexpr tb_int kWheelLines = 3;
constexpr tb_int kLongestLinesMeasured = 32;
constexpr size_t kTabWidth = 8;

TB_String ToText(std::u16string_view text) {
    return TB_String(text.data(), static_cast<tb_int>(text.size()));
}

// The platform's text drawing does not expand tabs; the text itself keeps them, so a copy
// gives back what was shown.
std::u16string ExpandTabs(std::u16string_view text) {
    std::u16string out;
    for (char16_t unit : text) {
        if (unit == u'\t') {
            out.append(kTabWidth - out.size() % kTabWidth, u' ');
        } else {
            out += unit;
        }
    }
    return out;
}

// Prefix widths with a guard character: the platform's measure leaves out trailing blanks.
float Advance(TB_Graphics& graphics, std::u16string_view text) {
    if (text.empty()) {
        return 0;
    }
    std::u16string guarded = ExpandTabs(text);
    guarded += u'|';
    return graphics.MeasureString(ToText(guarded)).x - graphics.MeasureString(u"|").x;
}

}  // namespace

// The drawn lines; input goes to the view.
class LV_TextView::Page : public TB_Canvas {
public:
    explicit Page(LV_TextView& view) : m_view(view) {
        TabStop = true;
        FocusOnPress = true;
        Paint.Add([this](TB_PaintEventArg& arg) { OnPaintHandler(arg); });
        MouseDown.Add([this](TB_MouseEventArg& arg) {
            if (arg.Left) {
                Position at = m_view.PositionAt(arg.X, arg.Y);
                m_view.Select(arg.Shift ? m_view.m_anchor : at, at);
                m_selecting = true;
            }
        });
        MouseMove.Add([this](TB_MouseEventArg& arg) {
            if (m_selecting) {
                m_view.Select(m_view.m_anchor, m_view.PositionAt(arg.X, arg.Y));
            }
        });
        MouseUp.Add([this](TB_MouseEventArg&) { m_selecting = false; });
        MouseWheel.Add([this](TB_MouseEventArg& arg) {
            auto steps = static_cast<tb_int>(std::lround(arg.WheelDelta * kWheelLines));
            if (arg.Shift) {
                m_view.ScrollHorizontallyTo(m_view.LeftOffset() -
                                            steps * static_cast<tb_int>(m_view.LineHeight()));
            } else {
                m_view.ScrollTo(m_view.TopLine() - steps);
            }
        });
        KeyDown.Add([this](TB_KeyEventArg& arg) { m_view.OnKey(arg); });
        Resized.Add([this](TB_EventArg&) { Invalidate(); });
    }

private:
    void OnPaintHandler(TB_PaintEventArg& arg) {
        TB_Graphics& g = *arg.Graphics;
        const TB_GlobalStyle& style = TB_GetGlobalStyle();
        g.Clear(style.TextBoxBackground);
        TB_Font* before = g.Font;
        TB_Brush* brushBefore = g.Brush;
        TB_Pen* penBefore = g.Pen;
        g.Font = g.DefaultFont;
        float lineHeight = m_view.LineHeight();
        auto text = TB_Ref<TB_SolidBrush>::Adopt(new TB_SolidBrush(style.TextBoxForeColor));
        auto selection =
            TB_Ref<TB_SolidBrush>::Adopt(new TB_SolidBrush(style.ContentsSelectedBackground));
        Position from = std::min(m_view.m_anchor, m_view.m_caret);
        Position to = std::max(m_view.m_anchor, m_view.m_caret);
        tb_int first = m_view.TopLine();
        tb_int visible = static_cast<tb_int>(std::ceil(Height / lineHeight)) + 1;
        float left0 = kPadding - static_cast<float>(m_view.LeftOffset());
        g.Pen = nullptr;
        for (tb_int line = first; line < m_view.LineCount() && line < first + visible; ++line) {
            const std::u16string& content = m_view.m_lines[static_cast<size_t>(line)];
            float y = kPadding + static_cast<float>(line - first) * lineHeight;
            if (from != to && line >= from.Line && line <= to.Line) {
                tb_int start = line == from.Line ? from.Column : 0;
                tb_int end = line == to.Line ? to.Column : static_cast<tb_int>(content.size());
                std::u16string_view view(content);
                float left = left0 + Advance(g, view.substr(0, static_cast<size_t>(start)));
                float right = left0 + Advance(g, view.substr(0, static_cast<size_t>(end)));
                if (line != to.Line) {
                    right += lineHeight / 3;  // shows that the line end is selected too
                }
                g.Brush = selection.Get();
                g.DrawRectangle(TB_Rectangle<float>{left, y, right - left, lineHeight});
            }
            g.Brush = text.Get();
            g.DrawString(ToText(ExpandTabs(content)), TB_Vector2{left0, y});
        }
        g.Font = before;
        g.Brush = brushBefore;
        g.Pen = penBefore;
    }

    LV_TextView& m_view;
    bool m_selecting = false;
};

LV_TextView::LV_TextView() {
    m_lines.emplace_back();
    m_page = new Page(*this);
    m_scrollBar = new TB_ScrollBar(TB_Orientation::Vertical);
    m_scrollBar->SmallChange = 1;
    m_scrollBar->ValueChanged.Add([this](TB_EventArg&) { m_page->Invalidate(); });
    m_hScrollBar = new TB_ScrollBar(TB_Orientation::Horizontal);
    m_hScrollBar->ValueChanged.Add([this](TB_EventArg&) { m_page->Invalidate(); });
    AddChild(m_page);
    AddChild(m_scrollBar);
    AddChild(m_hScrollBar);
    Resized.Add([this](TB_EventArg&) { Layout(); });
}

LV_TextView::~LV_TextView() = default;

void LV_TextView::ApplyText() {
    TB_NativeContainer::ApplyText();
    m_lines.assign(1, std::u16string());
    for (tb_char unit : Text.View()) {
        if (unit == u'\n') {
            if (!m_lines.back().empty() && m_lines.back().back() == u'\r') {
                m_lines.back().pop_back();
            }
            m_lines.emplace_back();
        } else {
            m_lines.back() += unit;
        }
    }
    m_anchor = m_caret = Position{};
    m_widestLine = -1;
    UpdateScrollRange();
    m_scrollBar->SetValue(0);
    m_hScrollBar->SetValue(0);
    m_page->Invalidate();
}

float LV_TextView::LineHeight() {
    if (m_lineHeight <= 0) {
        TB_Graphics* graphics = TB_GetMeasureGraphics();
        if (graphics) {
            TB_Font* before = graphics->Font;
            graphics->Font = graphics->DefaultFont;
            m_lineHeight = std::ceil(graphics->MeasureString(u"Ag漢").y);
            graphics->Font = before;
        }
        if (m_lineHeight <= 0) {
            m_lineHeight = 16;
        }
    }
    return m_lineHeight;
}

// Measuring every line of a long text takes long; the widest line is among the longest.
float LV_TextView::WidestLine() {
    if (m_widestLine >= 0) {
        return m_widestLine;
    }
    m_widestLine = 0;
    TB_Graphics* graphics = TB_GetMeasureGraphics();
    if (!graphics) {
        return m_widestLine;
    }
    std::vector<std::pair<size_t, size_t>> lengths;  // expanded length, line
    for (size_t line = 0; line < m_lines.size(); ++line) {
        lengths.emplace_back(ExpandTabs(m_lines[line]).size(), line);
    }
    size_t count = std::min<size_t>(lengths.size(), kLongestLinesMeasured);
    std::partial_sort(lengths.begin(), lengths.begin() + static_cast<std::ptrdiff_t>(count),
                      lengths.end(), std::greater<>());
    TB_Font* before = graphics->Font;
    graphics->Font = graphics->DefaultFont;
    for (size_t i = 0; i < count; ++i) {
        m_widestLine = std::max(m_widestLine, Advance(*graphics, m_lines[lengths[i].second]));
    }
    graphics->Font = before;
    return m_widestLine;
}

void LV_TextView::Layout() {
    float bar = TB_GetGlobalStyle().ScrollBarWidth;
    float width = std::max(0.0f, Width - bar);
    float height = std::max(0.0f, Height - bar);
    m_page->SetBounds(0, 0, width, height);
    m_scrollBar->SetBounds(width, 0, bar, height);
    m_hScrollBar->SetBounds(0, height, width, bar);
    UpdateScrollRange();
}

void LV_TextView::ScrollHorizontallyTo(tb_int offset) {
    tb_int last = std::max<tb_int>(0, m_hScrollBar->Max - m_hScrollBar->LargeChange);
    m_hScrollBar->SetValue(std::clamp<tb_int>(offset, 0, last));
}

void LV_TextView::UpdateScrollRange() {
    tb_int page =
        std::max<tb_int>(1, static_cast<tb_int>((m_page->Height - 2 * kPadding) / LineHeight()));
    m_scrollBar->Min = 0;
    m_scrollBar->Max = LineCount();
    m_scrollBar->LargeChange = page;
    m_scrollBar->Refresh();
    ScrollTo(TopLine());  // a taller view may show the last page with fewer lines above
    m_hScrollBar->Min = 0;
    m_hScrollBar->Max = static_cast<tb_int>(std::ceil(WidestLine() + 2 * kPadding));
    m_hScrollBar->LargeChange = std::max<tb_int>(1, static_cast<tb_int>(m_page->Width));
    m_hScrollBar->SmallChange = static_cast<tb_int>(LineHeight());
    m_hScrollBar->Refresh();
    ScrollHorizontallyTo(LeftOffset());
}

void LV_TextView::ScrollTo(tb_int line) {
    tb_int last = std::max<tb_int>(0, m_scrollBar->Max - m_scrollBar->LargeChange);
    m_scrollBar->SetValue(std::clamp<tb_int>(line, 0, last));
}

LV_TextView::Position LV_TextView::EndOfText() const {
    return Position{LineCount() - 1, static_cast<tb_int>(m_lines.back().size())};
}

LV_TextView::Position LV_TextView::PositionAt(float x, float y) {
    tb_int line = TopLine() + static_cast<tb_int>(std::floor((y - kPadding) / LineHeight()));
    if (line < 0) {
        return Position{};
    }
    if (line >= LineCount()) {
        return EndOfText();
    }
    const std::u16string& content = m_lines[static_cast<size_t>(line)];
    TB_Graphics* graphics = TB_GetMeasureGraphics();
    if (!graphics) {
        return Position{line, 0};
    }
    TB_Font* before = graphics->Font;
    graphics->Font = graphics->DefaultFont;
    // The boundary nearest to x: before a character when x lies in its left half.
    tb_int column = 0;
    float previous = 0;
    std::u16string_view view(content);
    float along = x - kPadding + static_cast<float>(LeftOffset());
    for (size_t end = 1; end <= view.size(); ++end) {
        float edge = Advance(*graphics, view.substr(0, end));
        if (along < (previous + edge) / 2) {
            break;
        }
        column = static_cast<tb_int>(end);
        previous = edge;
    }
    graphics->Font = before;
    return Position{line, column};
}

void LV_TextView::Select(Position anchor, Position caret) {
    auto clampTo = [this](Position p) {
        p.Line = std::clamp<tb_int>(p.Line, 0, LineCount() - 1);
        p.Column = std::clamp<tb_int>(
            p.Column, 0, static_cast<tb_int>(m_lines[static_cast<size_t>(p.Line)].size()));
        return p;
    };
    m_anchor = clampTo(anchor);
    m_caret = clampTo(caret);
    m_page->Invalidate();
}

TB_String LV_TextView::SelectedText() const {
    Position from = std::min(m_anchor, m_caret);
    Position to = std::max(m_anchor, m_caret);
    std::u16string out;
    for (tb_int line = from.Line; line <= to.Line; ++line) {
        const std::u16string& content = m_lines[static_cast<size_t>(line)];
        size_t start = line == from.Line ? static_cast<size_t>(from.Column) : 0;
        size_t end = line == to.Line ? static_cast<size_t>(to.Column) : content.size();
        out.append(content, start, end - start);
        if (line != to.Line) {
            out += u'\n';
        }
    }
    return ToText(out);
}

void LV_TextView::CopySelection() {
    TB_String selected = SelectedText();
    if (!selected.IsEmpty()) {
        TB_GetPlatform().SetClipboardText(selected);
    }
}

void LV_TextView::OnKey(TB_KeyEventArg& arg) {
    tb_int page = m_scrollBar->LargeChange;
    if (arg.Control && arg.KeyCode == TB_VK_A) {
        SelectAll();
    } else if (arg.Control && (arg.KeyCode == 'C' || arg.KeyCode == TB_VK_INSERT)) {
        CopySelection();
    } else if (arg.KeyCode == TB_VK_LEFT) {
        ScrollHorizontallyTo(LeftOffset() - m_hScrollBar->SmallChange);
    } else if (arg.KeyCode == TB_VK_RIGHT) {
        ScrollHorizontallyTo(LeftOffset() + m_hScrollBar->SmallChange);
    } else if (arg.KeyCode == TB_VK_UP) {
        ScrollTo(TopLine() - 1);
    } else if (arg.KeyCode == TB_VK_DOWN) {
        ScrollTo(TopLine() + 1);
    } else if (arg.KeyCode == TB_VK_PRIOR) {
        ScrollTo(TopLine() - page);
    } else if (arg.KeyCode == TB_VK_NEXT) {
        ScrollTo(TopLine() + page);
    } else if (arg.Control && arg.KeyCode == TB_VK_HOME) {
        ScrollTo(0);
    } else if (arg.Control && arg.KeyCode == TB_VK_END) {
        ScrollTo(LineCount());
    } else {
        return;
    }
    arg.Handled = true;
}
