#pragma once

#include <string>
#include <vector>

#include "tb_canvas.h"
#include "tb_scrollbar.h"

// A read-only view of a long multi-line text: scroll bars in both directions, the wheel
// (with Shift: sideways), the arrow and paging keys, selection with the pointer (Shift extends it)
// and Ctrl+A, and Ctrl+C to copy the selection. The text is kept line by line; CR LF and LF both
// end a line.
class LV_TextView : public TB_NativeContainer {
public:
    LV_TextView();
    ~LV_TextView() override;

    void ApplyText() override;

    // A position in the text: a line and a UTF-16 unit within it.
    struct Position {
        tb_int Line = 0;
        tb_int Column = 0;
        bool operator==(const Position&) const = default;
        auto operator<=>(const Position&) const = default;
    };

    tb_int LineCount() const { return static_cast<tb_int>(m_lines.size()); }
    // The first line shown.
    tb_int TopLine() const { return m_scrollBar->Value; }
    void ScrollTo(tb_int line);
    // The selected text, lines joined with LF; empty when nothing is selected.
    TB_String SelectedText() const;
    void Select(Position anchor, Position caret);
    void SelectAll() { Select({0, 0}, EndOfText()); }
    // Puts the selection on the clipboard; nothing happens without one.
    void CopySelection();
    // The text position under a point of the view's client area.
    Position PositionAt(float x, float y);
    float LineHeight();

    // The first pixel column shown.
    tb_int LeftOffset() const { return m_hScrollBar->Value; }
    void ScrollHorizontallyTo(tb_int offset);

    TB_ScrollBar* GetScrollBar() const { return m_scrollBar; }
    TB_ScrollBar* GetHorizontalScrollBar() const { return m_hScrollBar; }

private:
    class Page;
    Position EndOfText() const;
    void Layout();
    void UpdateScrollRange();
    void OnKey(TB_KeyEventArg& arg);
    float WidestLine();

    std::vector<std::u16string> m_lines;
    Page* m_page;
    TB_ScrollBar* m_scrollBar;
    TB_ScrollBar* m_hScrollBar;
    Position m_anchor;
    Position m_caret;
    float m_lineHeight = 0;
    float m_widestLine = -1;  // measured on first need
};
